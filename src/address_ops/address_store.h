// Keeping the selected adapter's addresses across restarts: its IP addresses and masks are
// written to the adapter's TCP/IP interface key.
#pragma once

#include <string>

#include "app/adapter_model.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces\" + GUID name.
std::string InterfaceKeyPath(const std::string& adapterName);

// Writes the target adapter's IPAddress and SubnetMask (REG_MULTI_SZ) from its own entries of the
// current snapshot, both values in one change, with log lines. Writes nothing when the snapshot
// does not hold that adapter, when DHCP is on for it (the system does not use the static lists
// then), or when it shows no address (cable unplugged, no lease): the stored lists stay as they
// are, and a log line says why.
void StoreAddressList(app::AppContext& context, const app::ChangeTarget& target);

}  // namespace corvane::address_ops

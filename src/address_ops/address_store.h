// Keeping the selected adapter's addresses across restarts: its IP addresses and masks are
// written to the adapter's TCP/IP interface key.
#pragma once

#include <string>

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces\" + GUID name.
std::string InterfaceKeyPath(const std::string& adapterName);

// Writes IPAddress and SubnetMask (REG_MULTI_SZ) from the current snapshot, with log lines.
void StoreAddressList(app::AppContext& context);

}  // namespace corvane::address_ops

// The chosen adapter's present addressing state, asked afresh when the TCP/IPv4 dialog opens:
// whether it uses DHCP, and its gateway from its TCP/IP interface key.
#pragma once

#include <string>

#include "config/registry_access.h"
#include "platform/platform.h"

namespace corvane::config {

// The interface key of an adapter: this path followed by its GUID name.
inline constexpr char kInterfacesKeyPath[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

// 1 when the adapter whose friendly name (converted to GBK) equals `name` byte for byte has DHCP
// enabled; the last entry bearing the name decides. 0 otherwise and on every failure.
int IsDhcpEnabledForConnection(platform::IpHelper& ipHelper, platform::Kernel& kernel, const std::string& name);

// The multi-string value of the adapter's interface key as text, CR LF for every zero byte;
// empty when the key or the value cannot be read.
std::string ReadInterfaceGateway(RegistryAccess& registry, const std::string& adapterName,
                                 const std::string& valueName);

}  // namespace corvane::config

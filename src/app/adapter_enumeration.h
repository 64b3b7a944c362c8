// Reading the machine's adapters from the IP helper service.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/adapter_model.h"
#include "platform/platform.h"

namespace corvane::app {

struct ConnectionNameEntry {
  uint32_t interfaceIndex = 0;
  std::string interfaceName;
  std::string connectionName;
  std::string guid;
};

// Two uppercase hexadecimal digits per byte, separated by "-"; empty for length 0.
std::string FormatPhysicalAddress(const uint8_t* bytes, uint32_t length);

// The connection name of every interface, in the order the service lists the interfaces.
// `routerHandle` is the router administration handle; it is connected on first use and kept.
std::vector<ConnectionNameEntry> ReadConnectionNames(platform::IpHelper& ipHelper, platform::RouterAdmin& router,
                                                     platform::Kernel& kernel, uintptr_t& routerHandle);

// First and second DNS server of an adapter; empty texts when the service has none.
std::pair<std::string, std::string> ReadDnsServers(platform::IpHelper& ipHelper, uint32_t adapterIndex);

// One enumeration: every adapter and every address of the machine. Empty when the service fails.
std::shared_ptr<const AdapterSnapshot> EnumerateAdapters(platform::IpHelper& ipHelper, platform::RouterAdmin& router,
                                                         platform::Kernel& kernel, uintptr_t& routerHandle);

}  // namespace corvane::app

#include "config/addressing_state.h"

#include <vector>

namespace corvane::config {

int IsDhcpEnabledForConnection(platform::IpHelper& ipHelper, platform::Kernel& kernel, const std::string& name) {
  std::vector<platform::AdapterAddresses> entries;
  uint32_t flag = 0;
  if (ipHelper.GetAdaptersAddresses(platform::kAfUnspec, platform::kGaaFlagIncludePrefix, &entries) ==
      platform::kNoError) {
    for (const auto& entry : entries) {
      if (kernel.WideToMultiByte(entry.FriendlyName, platform::kCodePageGbk) == name)
        flag = entry.Flags & platform::kIpAdapterDhcpEnabled;
    }
  }
  return flag == platform::kIpAdapterDhcpEnabled ? 1 : 0;
}

std::string ReadInterfaceGateway(RegistryAccess& registry, const std::string& adapterName,
                                 const std::string& valueName) {
  return registry.ReadMultiStringText(kInterfacesKeyPath + adapterName, valueName);
}

}  // namespace corvane::config

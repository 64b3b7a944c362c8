// The simulated IP helper service and router administration.
//
// Result codes follow the Windows documentation of each function:
// - GetAdaptersInfo / GetPerAdapterInfo: ERROR_BUFFER_OVERFLOW (111) with the size; no adapters:
//   ERROR_NO_DATA (232); GetPerAdapterInfo of an unknown index: ERROR_INVALID_PARAMETER (87).
// - GetInterfaceInfo: ERROR_INSUFFICIENT_BUFFER (122) with the size; ERROR_NO_DATA (232) when no
//   adapter has IPv4 enabled.
// - GetAdapterIndex: ERROR_DEV_NOT_EXIST (55) for a name that names no adapter, ERROR_NO_DATA
//   (232) when there are no adapters at all.
// - GetIfEntry: ERROR_INVALID_DATA (13) for index 0, which is never an interface index;
//   ERROR_NOT_FOUND (1168) for an index that names no interface.
// - AddIPAddress: ERROR_INVALID_PARAMETER (87) for null outputs and for an address that cannot be
//   a unicast address (0.0.0.0, 255.255.255.255 as inet_addr's INADDR_NONE, 127/8, multicast and
//   class E) or a mask that is not contiguous; ERROR_DEV_NOT_EXIST (55) for an unknown interface;
//   ERROR_OBJECT_ALREADY_EXISTS (5010) for an address already on the machine. Since Vista the
//   function adds a unicast address entry and passes on that entry's answer for a duplicate, which
//   is 5010, not the ERROR_DUP_DOMAINNAME the older documentation names. The documentation says
//   nothing of an adapter whose cable is unplugged; the address is added to it as to any other
//   (and, like its configured ones, not listed by GetAdaptersInfo until the cable is back).
// - DeleteIPAddress removes only an address that AddIPAddress created in this run. For any other
//   context (an address the adapter is configured with, static or DHCP; a context that names no
//   address, 0 included) it takes no action and answers ERROR_INVALID_PARAMETER (87), the code the
//   documentation gives for an input it does not act on.
// - ICMP echo: answered by every address of the loopback range 127.0.0.0/8, by every address bound
//   to an adapter of the machine (configured or added), and by the registered responders.
// - Interface names passed in are read as their fixed field: at most 128 wide characters.
#include <algorithm>
#include <cstring>

#include "platform/sim/sim_state.h"

namespace corvane::sim {

using platform::IpAdapterInfo;
using platform::IpAddrString;

namespace {

constexpr char16_t kDevicePrefix[] = u"\\DEVICE\\TCPIP_";

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The nodes of one address list: the embedded first node and the further ones. An empty list is
// one embedded node with `emptyText` as address and mask and context 0.
std::vector<SimAddress> ListNodes(const std::vector<SimAddress>& list, const char* emptyText) {
  if (!list.empty()) return list;
  return {SimAddress{emptyText, emptyText, 0}};
}

void FillNode(IpAddrString& node, const SimAddress& a) {
  node.Next = nullptr;
  CopyText(node.IpAddress.String, a.address);
  CopyText(node.IpMask.String, a.mask);
  node.Context = a.context;
}

std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", v);
  return buffer;
}

bool IsUnicastCandidate(uint32_t h) {
  const uint32_t first = h >> 24;
  return h != 0 && h != 0xFFFFFFFFu && first != 0 && first != 127 && first < 224;
}

}  // namespace

uint32_t IpHelperSim::GetAdaptersInfo(void* buffer, uint32_t* size) {
  s_.Delay("GetAdaptersInfo");
  std::lock_guard lock(s_.mutex);
  const std::string args = buffer == nullptr ? "null" : std::to_string(size ? *size : 0);
  auto finish = [&](uint32_t code) {
    s_.Record("GetAdaptersInfo(" + args + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetAdaptersInfo")) return finish(*f);
  if (size == nullptr) return finish(platform::kErrorInvalidParameter);
  if (s_.adapters.empty()) return finish(platform::kErrorNoData);
  s_.SettleAddresses();

  // Records first, then every further node of every list.
  size_t extraNodes = 0;
  for (const auto& a : s_.adapters) {
    const bool disconnected = !MediaConnected(a);
    for (const auto* list : {&a.ipAddresses, &a.gateways, &a.dhcpServers, &a.primaryWins, &a.secondaryWins}) {
      if (disconnected && (list == &a.ipAddresses || list == &a.gateways)) continue;
      if (list->size() > 1) extraNodes += list->size() - 1;
    }
  }
  const size_t needed = s_.adapters.size() * sizeof(IpAdapterInfo) + extraNodes * sizeof(IpAddrString);
  if (buffer == nullptr || *size < needed) {
    *size = static_cast<uint32_t>(needed);
    return finish(platform::kErrorBufferOverflow);
  }

  auto* base = static_cast<unsigned char*>(buffer);
  std::memset(base, 0, needed);
  size_t nodeOffset = s_.adapters.size() * sizeof(IpAdapterInfo);
  for (size_t i = 0; i < s_.adapters.size(); ++i) {
    const SimAdapter& a = s_.adapters[i];
    IpAdapterInfo info;
    std::memset(&info, 0, sizeof info);
    info.Next = i + 1 < s_.adapters.size()
                    ? reinterpret_cast<IpAdapterInfo*>(base + (i + 1) * sizeof(IpAdapterInfo))
                    : nullptr;
    info.ComboIndex = 0;
    CopyText(info.AdapterName, a.guid);
    CopyText(info.Description, a.description);
    info.AddressLength =
        static_cast<uint32_t>(std::min(a.physicalAddress.size(), platform::kMaxAdapterAddressLength));
    std::memcpy(info.Address, a.physicalAddress.data(), info.AddressLength);
    info.Index = a.index;
    info.Type = a.type;
    info.DhcpEnabled = a.dhcpEnabled;
    info.CurrentIpAddress = nullptr;
    info.HaveWins = a.haveWins;
    info.LeaseObtained = static_cast<platform::LeaseTime>(a.leaseObtained);
    info.LeaseExpires = static_cast<platform::LeaseTime>(a.leaseExpires);

    auto lay = [&](IpAddrString& embedded, const std::vector<SimAddress>& list, const char* emptyText) {
      std::vector<SimAddress> nodes = ListNodes(list, emptyText);
      FillNode(embedded, nodes[0]);
      IpAddrString* previousNext = &embedded;  // the node whose Next gets the following node
      size_t previousOffset = SIZE_MAX;        // where that node lives in the buffer (embedded: none)
      for (size_t k = 1; k < nodes.size(); ++k) {
        auto* address = reinterpret_cast<IpAddrString*>(base + nodeOffset);
        if (previousOffset == SIZE_MAX) {
          previousNext->Next = address;
        } else {
          std::memcpy(base + previousOffset + offsetof(IpAddrString, Next), &address, sizeof address);
        }
        IpAddrString node;
        std::memset(&node, 0, sizeof node);
        FillNode(node, nodes[k]);
        std::memcpy(base + nodeOffset, &node, sizeof node);
        previousOffset = nodeOffset;
        nodeOffset += sizeof(IpAddrString);
      }
    };
    // With the cable unplugged the system releases the adapter's addresses and gateways; its
    // configuration stays in the interface key.
    const bool disconnected = !MediaConnected(a);
    // A duplicate address stays in the list, as the all-zero address with its context (the
    // system's documented answer for an address another host holds).
    std::vector<SimAddress> ips = disconnected ? std::vector<SimAddress>{} : a.ipAddresses;
    for (SimAddress& address : ips)
      if (address.dadState == platform::kIpDadStateDuplicate) address.address = address.mask = "0.0.0.0";
    lay(info.IpAddressList, ips, "0.0.0.0");
    lay(info.GatewayList, disconnected ? std::vector<SimAddress>{} : a.gateways, "");
    lay(info.DhcpServer, a.dhcpServers, "");
    lay(info.PrimaryWinsServer, a.primaryWins, "");
    lay(info.SecondaryWinsServer, a.secondaryWins, "");
    std::memcpy(base + i * sizeof(IpAdapterInfo), &info, sizeof info);
  }
  *size = static_cast<uint32_t>(needed);
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::GetInterfaceInfo(void* buffer, uint32_t* size) {
  std::lock_guard lock(s_.mutex);
  const std::string args = buffer == nullptr ? "null" : std::to_string(size ? *size : 0);
  auto finish = [&](uint32_t code) {
    s_.Record("GetInterfaceInfo(" + args + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetInterfaceInfo")) return finish(*f);
  if (size == nullptr) return finish(platform::kErrorInvalidParameter);
  if (s_.adapters.empty()) return finish(platform::kErrorNoData);
  const size_t needed =
      offsetof(platform::IpInterfaceInfo, Adapter) + s_.adapters.size() * sizeof(platform::IpAdapterIndexMap);
  if (buffer == nullptr || *size < needed) {
    *size = static_cast<uint32_t>(needed);
    return finish(platform::kErrorInsufficientBuffer);
  }
  auto* base = static_cast<unsigned char*>(buffer);
  std::memset(base, 0, needed);
  const int32_t count = static_cast<int32_t>(s_.adapters.size());
  std::memcpy(base, &count, sizeof count);
  for (size_t i = 0; i < s_.adapters.size(); ++i) {
    platform::IpAdapterIndexMap map;
    std::memset(&map, 0, sizeof map);
    map.Index = s_.adapters[i].index;
    std::u16string name = kDevicePrefix + CodePageToWide(s_.adapters[i].guid, platform::kCodePageGbk);
    std::copy_n(name.begin(), std::min(name.size(), std::size(map.Name) - 1), map.Name);
    std::memcpy(base + offsetof(platform::IpInterfaceInfo, Adapter) + i * sizeof map, &map, sizeof map);
  }
  *size = static_cast<uint32_t>(needed);
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::GetPerAdapterInfo(uint32_t ifIndex, void* buffer, uint32_t* size) {
  std::lock_guard lock(s_.mutex);
  const std::string args =
      std::to_string(ifIndex) + ", " + (buffer == nullptr ? "null" : std::to_string(size ? *size : 0));
  auto finish = [&](uint32_t code) {
    s_.Record("GetPerAdapterInfo(" + args + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetPerAdapterInfo")) return finish(*f);
  if (size == nullptr) return finish(platform::kErrorInvalidParameter);
  const SimAdapter* a = s_.FindAdapter(ifIndex);
  if (a == nullptr) return finish(platform::kErrorInvalidParameter);
  const size_t servers = a->dnsServers.size();
  const size_t needed =
      sizeof(platform::IpPerAdapterInfo) + (servers > 1 ? servers - 1 : 0) * sizeof(IpAddrString);
  if (buffer == nullptr || *size < needed) {
    *size = static_cast<uint32_t>(needed);
    return finish(platform::kErrorBufferOverflow);
  }
  auto* base = static_cast<unsigned char*>(buffer);
  std::memset(base, 0, needed);
  platform::IpPerAdapterInfo info;
  std::memset(&info, 0, sizeof info);
  info.AutoconfigEnabled = 1;
  info.AutoconfigActive = 0;
  info.CurrentDnsServer = nullptr;
  if (servers > 0) FillNode(info.DnsServerList, SimAddress{a->dnsServers[0], "", 0});
  size_t offset = sizeof(platform::IpPerAdapterInfo);
  size_t previousOffset = SIZE_MAX;
  for (size_t k = 1; k < servers; ++k) {
    auto* address = reinterpret_cast<IpAddrString*>(base + offset);
    if (previousOffset == SIZE_MAX)
      info.DnsServerList.Next = address;
    else
      std::memcpy(base + previousOffset + offsetof(IpAddrString, Next), &address, sizeof address);
    IpAddrString node;
    std::memset(&node, 0, sizeof node);
    FillNode(node, SimAddress{a->dnsServers[k], "", 0});
    std::memcpy(base + offset, &node, sizeof node);
    previousOffset = offset;
    offset += sizeof(IpAddrString);
  }
  std::memcpy(base, &info, sizeof info);
  *size = static_cast<uint32_t>(needed);
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::GetAdaptersAddresses(uint32_t family, uint32_t flags,
                                           std::vector<platform::AdapterAddresses>* out) {
  s_.Delay("GetAdaptersAddresses");
  std::lock_guard lock(s_.mutex);
  auto finish = [&](uint32_t code) {
    s_.Record("GetAdaptersAddresses(" + std::to_string(family) + ", " + Hex(flags) + ") -> " +
              std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetAdaptersAddresses")) return finish(*f);
  if (out == nullptr) return finish(platform::kErrorInvalidParameter);
  out->clear();
  if (s_.adapters.empty()) return finish(platform::kErrorNoData);
  s_.SettleAddresses();
  for (const auto& a : s_.adapters) {
    platform::AdapterAddresses e;
    e.IfIndex = a.index;
    e.AdapterName = a.guid;
    if ((flags & platform::kGaaFlagSkipFriendlyName) == 0) e.FriendlyName = a.connectionName;
    e.Description = CodePageToWide(a.description, platform::kCodePageGbk);
    e.Flags = a.dhcpEnabled != 0 ? platform::kIpAdapterDhcpEnabled : 0;
    e.OperStatus = a.operStatus;
    e.Mtu = a.mtu;
    // An unplugged adapter has released its addresses.
    if (MediaConnected(a) && (family == platform::kAfInet || family == platform::kAfUnspec)) {
      for (const auto& address : a.ipAddresses) {
        uint32_t h = 0;
        if (address.context == 0 || !ParseDotted(address.address, &h)) continue;
        e.Unicast.push_back(platform::UnicastAddress{HostToNetwork(h), address.dadState});
      }
    }
    out->push_back(std::move(e));
  }
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::GetAdapterIndex(const std::u16string& adapterName, uint32_t* ifIndex) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](uint32_t code) {
    s_.Record("GetAdapterIndex(" + WideForRecord(adapterName) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetAdapterIndex")) return finish(*f);
  if (ifIndex == nullptr) return finish(platform::kErrorInvalidParameter);
  if (s_.adapters.empty()) return finish(platform::kErrorNoData);
  const std::string name = WideToCodePage(adapterName, platform::kCodePageGbk);
  const std::string prefix = WideToCodePage(kDevicePrefix, platform::kCodePageGbk);
  if (name.size() > prefix.size() && EqualsIgnoreCase(name.substr(0, prefix.size()), prefix)) {
    const std::string guid = name.substr(prefix.size());
    for (const auto& a : s_.adapters) {
      if (EqualsIgnoreCase(a.guid, guid)) {
        *ifIndex = a.index;
        return finish(platform::kNoError);
      }
    }
  }
  return finish(kErrorDevNotExist);
}

uint32_t IpHelperSim::GetIfEntry(uint32_t ifIndex, platform::IfRow* row) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](uint32_t code) {
    s_.Record("GetIfEntry(" + std::to_string(ifIndex) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("GetIfEntry")) return finish(*f);
  if (row == nullptr) return finish(platform::kErrorInvalidParameter);
  if (ifIndex == 0) return finish(kErrorInvalidData);
  const SimAdapter* a = s_.FindAdapter(ifIndex);
  if (a == nullptr) return finish(kErrorNotFound);
  row->Index = a->index;
  row->Type = a->type;
  row->Mtu = a->mtu;
  row->Speed = static_cast<uint32_t>(std::min<uint64_t>(a->speed, 0xFFFFFFFFu));
  row->OperStatus = a->operStatus;
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::AddIPAddress(uint32_t address, uint32_t mask, uint32_t ifIndex, uint32_t* nteContext,
                                   uint32_t* nteInstance) {
  s_.Delay("AddIPAddress");
  std::lock_guard lock(s_.mutex);
  const uint32_t h = NetworkToHost(address);
  const uint32_t m = NetworkToHost(mask);
  auto finish = [&](uint32_t code) {
    s_.Record("AddIPAddress(" + FormatDotted(h) + ", " + FormatDotted(m) + ", " + std::to_string(ifIndex) +
              ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("AddIPAddress")) return finish(*f);
  if (nteContext == nullptr || nteInstance == nullptr) return finish(platform::kErrorInvalidParameter);
  if (!IsUnicastCandidate(h) || !IsContiguousMask(m)) return finish(platform::kErrorInvalidParameter);
  SimAdapter* target = s_.FindAdapter(ifIndex);
  if (target == nullptr) return finish(kErrorDevNotExist);
  const std::string text = FormatDotted(h);
  if (s_.AddressBound(h)) return finish(platform::kErrorObjectAlreadyExists);
  // An adapter without an address lists the all-zero placeholder; the new address replaces it.
  auto& list = target->ipAddresses;
  list.erase(std::remove_if(list.begin(), list.end(), [](const SimAddress& a) { return a.context == 0; }),
             list.end());
  const uint32_t context = s_.FreshContext();
  // Bound at once; the system then asks the segment whether another host holds the address.
  SimAddress added{text, FormatDotted(m), context};
  auto neighbours = s_.neighbours.find(ifIndex);
  added.heldElsewhere = neighbours != s_.neighbours.end() && neighbours->second.count(h) > 0;
  auto detection = s_.latencies.find("DuplicateAddressDetection");
  const int64_t period = detection == s_.latencies.end() ? 0 : detection->second;
  added.dadState = period > 0 ? platform::kIpDadStateTentative
                              : (added.heldElsewhere ? platform::kIpDadStateDuplicate : platform::kIpDadStatePreferred);
  added.settlesAtMs = SteadyMilliseconds() + period;
  list.push_back(added);
  s_.addedContexts.insert(context);
  *nteContext = context;
  *nteInstance = s_.nextInstance++;
  return finish(platform::kNoError);
}

uint32_t IpHelperSim::DeleteIPAddress(uint32_t nteContext) {
  s_.Delay("DeleteIPAddress");
  std::lock_guard lock(s_.mutex);
  auto finish = [&](uint32_t code) {
    s_.Record("DeleteIPAddress(" + std::to_string(nteContext) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("DeleteIPAddress")) return finish(*f);
  if (nteContext != 0 && s_.addedContexts.count(nteContext) > 0) {
    for (auto& a : s_.adapters) {
      auto& list = a.ipAddresses;
      for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->context == nteContext) {
          list.erase(it);
          s_.addedContexts.erase(nteContext);
          return finish(platform::kNoError);
        }
      }
    }
  }
  return finish(platform::kErrorInvalidParameter);
}

bool IpHelperSim::SendEcho(uint32_t address, uint32_t timeoutMs) {
  s_.Delay("IcmpSendEcho");
  bool reply = false;
  bool timed = false;
  {
    std::lock_guard lock(s_.mutex);
    const uint32_t h = NetworkToHost(address);
    if (!s_.TakeFailure("IcmpSendEcho"))
      reply = (h >> 24) == 127 || s_.echoResponders.count(h) > 0 || s_.AddressBound(h);
    s_.Record("IcmpSendEcho(" + FormatDotted(h) + ", " + std::to_string(timeoutMs) + ") -> " +
              (reply ? "1" : "0"));
    timed = s_.windowsTimings;
  }
  // Nobody answers: the call waits out its whole timeout, as IcmpSendEcho does.
  if (timed && !reply) s_.WaitUnlessEnded(timeoutMs);
  return reply;
}

// --- router administration ---

uint32_t RouterAdminSim::ConfigServerConnect(uintptr_t* handle) {
  std::lock_guard lock(s_.mutex);
  uint32_t code = platform::kNoError;
  uintptr_t h = 0;
  if (auto f = s_.TakeFailure("MprConfigServerConnect")) {
    code = *f;
  } else if (!s_.routerAdminAvailable) {
    code = platform::kErrorNotSupported;
  } else {
    h = s_.nextRouterHandle;
    s_.nextRouterHandle += 4;
    s_.routerHandles.insert(h);
  }
  if (handle != nullptr) *handle = h;
  s_.Record("MprConfigServerConnect() -> " + std::to_string(code));
  return code;
}

uint32_t RouterAdminSim::ConfigGetFriendlyName(uintptr_t handle, const char16_t* interfaceName,
                                               char16_t* buffer, uint32_t bufferBytes) {
  std::lock_guard lock(s_.mutex);
  std::u16string name;
  if (interfaceName != nullptr) name = platform::InterfaceNameText(interfaceName);
  auto finish = [&](uint32_t code) {
    s_.Record("MprConfigGetFriendlyName(" + WideForRecord(name) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("MprConfigGetFriendlyName")) return finish(*f);
  if (handle == 0 || s_.routerHandles.count(handle) == 0) return finish(kErrorInvalidHandle);
  if (interfaceName == nullptr || buffer == nullptr) return finish(platform::kErrorInvalidParameter);
  const std::string text = WideToCodePage(name, platform::kCodePageGbk);
  const std::string prefix = WideToCodePage(kDevicePrefix, platform::kCodePageGbk);
  if (text.size() > prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix)) {
    const std::string guid = text.substr(prefix.size());
    for (const auto& a : s_.adapters) {
      if (!EqualsIgnoreCase(a.guid, guid) || a.connectionName.empty()) continue;
      const size_t bytes = (a.connectionName.size() + 1) * sizeof(char16_t);
      if (bytes > bufferBytes) return finish(platform::kErrorInsufficientBuffer);
      std::memcpy(buffer, a.connectionName.c_str(), bytes);
      return finish(platform::kNoError);
    }
  }
  return finish(platform::kErrorFileNotFound);
}

}  // namespace corvane::sim

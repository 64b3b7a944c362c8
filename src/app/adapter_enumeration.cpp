#include "app/adapter_enumeration.h"

#include <cstring>

#include "common/text.h"

namespace corvane::app {

using platform::IpAdapterInfo;
using platform::IpAddrString;

namespace {

// A zero-filled buffer aligned for the records the service writes into it.
class RecordBuffer {
 public:
  explicit RecordBuffer(uint32_t bytes) : words_((bytes + 7) / 8, 0), bytes_(bytes) {}
  void* data() { return words_.data(); }
  uint32_t size() const { return bytes_; }
  // True when [p, p + length) lies inside the buffer: every link the service wrote must.
  bool Holds(const void* p, size_t length) const {
    auto begin = reinterpret_cast<uintptr_t>(words_.data());
    auto at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at - begin <= bytes_ && length <= bytes_ - (at - begin);
  }

 private:
  std::vector<uint64_t> words_;
  uint32_t bytes_;
};

std::string FixedText(const char* field, size_t capacity) { return std::string(field, strnlen(field, capacity)); }

std::string AddressText(const platform::IpAddressText& a) { return FixedText(a.String, sizeof(a.String)); }

std::u16string WideField(const char16_t* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != 0) ++n;
  return std::u16string(field, n);
}

// Walks one address chain; every node with a nonzero context goes into the table. Returns the
// number of nodes taken.
uint32_t TakeChain(const RecordBuffer& buffer, const IpAddrString& first, uint32_t adapterIndex,
                   AddressTable& table, std::vector<AddressRow>* own = nullptr) {
  uint32_t count = 0;
  for (const IpAddrString* node = &first; node != nullptr; node = node->Next) {
    if (node != &first && !buffer.Holds(node, sizeof(IpAddrString))) break;
    if (node->Context == 0) continue;
    AddressRow row;
    row.address = AddressText(node->IpAddress);
    row.mask = AddressText(node->IpMask);
    row.context = node->Context;
    row.next = reinterpret_cast<uintptr_t>(node->Next);
    row.adapterIndex = adapterIndex;
    std::string key = row.address;
    if (own != nullptr) own->push_back(row);
    table.Put(key, std::move(row));
    ++count;
  }
  return count;
}

}  // namespace

const char* KindText(AddressKind kind) {
  switch (kind) {
    case AddressKind::Ip:
      return "IP-地址";
    case AddressKind::Gateway:
      return "IP-网关";
    case AddressKind::DhcpServer:
      return "DHCP-IP";
    case AddressKind::PrimaryWins:
      return " 主-WINS-IP";
    case AddressKind::SecondaryWins:
      return "辅-WINS-IP";
  }
  return "";
}

std::string FormatPhysicalAddress(const uint8_t* bytes, uint32_t length) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint32_t i = 0; i < length; ++i) {
    if (i > 0) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

std::vector<ConnectionNameEntry> ReadConnectionNames(platform::IpHelper& ipHelper, platform::RouterAdmin& router,
                                                     platform::Kernel& kernel, uintptr_t& routerHandle) {
  std::vector<ConnectionNameEntry> entries;
  if (routerHandle == 0) router.ConfigServerConnect(&routerHandle);

  uint32_t size = 0;
  if (ipHelper.GetInterfaceInfo(nullptr, &size) != platform::kErrorInsufficientBuffer) return entries;
  if (size < sizeof(int32_t)) return entries;
  RecordBuffer buffer(size);
  if (ipHelper.GetInterfaceInfo(buffer.data(), &size) != platform::kNoError) return entries;

  const auto* info = static_cast<const platform::IpInterfaceInfo*>(buffer.data());
  int32_t count = info->NumAdapters;
  for (int32_t i = 0; i < count; ++i) {
    const platform::IpAdapterIndexMap& map = info->Adapter[i];
    if (!buffer.Holds(&map, sizeof(map))) break;
    char16_t name[128] = {};
    router.ConfigGetFriendlyName(routerHandle, map.Name, name, sizeof(name));

    ConnectionNameEntry entry;
    entry.interfaceIndex = map.Index;
    entry.interfaceName =
        kernel.WideToMultiByte(platform::InterfaceNameText(map.Name), platform::kCodePageGbk);
    entry.connectionName = kernel.WideToMultiByte(WideField(name, std::size(name)), platform::kCodePageGbk);
    int brace = text::Find(entry.interfaceName, "{");
    entry.guid = brace > 0 ? text::Middle(entry.interfaceName, brace) : entry.interfaceName;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::pair<std::string, std::string> ReadDnsServers(platform::IpHelper& ipHelper, uint32_t adapterIndex) {
  std::pair<std::string, std::string> servers;
  uint32_t size = 0;
  if (ipHelper.GetPerAdapterInfo(adapterIndex, nullptr, &size) != platform::kErrorBufferOverflow) return servers;
  RecordBuffer buffer(size);
  if (size < sizeof(platform::IpPerAdapterInfo) ||
      ipHelper.GetPerAdapterInfo(adapterIndex, buffer.data(), &size) != platform::kNoError)
    return servers;

  const auto* info = static_cast<const platform::IpPerAdapterInfo*>(buffer.data());
  const IpAddrString* first = &info->DnsServerList;
  servers.first = AddressText(first->IpAddress);
  const IpAddrString* second = first->Next;
  if (second != nullptr && buffer.Holds(second, sizeof(IpAddrString))) servers.second = AddressText(second->IpAddress);
  return servers;
}

namespace {

// What the adapter list cannot tell: whether each adapter is up, and which of its addresses another
// host holds. One query for all adapters; an adapter it does not list keeps status 0 (not known).
void ReadAdapterStates(platform::IpHelper& ipHelper, AdapterSnapshot& snapshot) {
  if (snapshot.adapters.Size() == 0) return;
  std::vector<platform::AdapterAddresses> entries;
  if (ipHelper.GetAdaptersAddresses(platform::kAfInet, platform::kGaaFlagSkipFriendlyName, &entries) !=
      platform::kNoError)
    return;
  AdapterTable updated;
  for (const auto& [index, found] : snapshot.adapters) {
    AdapterRecord record = found;
    for (const platform::AdapterAddresses& entry : entries) {
      if (entry.AdapterName != record.adapterName) continue;
      record.operStatus = entry.OperStatus;
      for (const platform::UnicastAddress& unicast : entry.Unicast)
        if (unicast.DadState == platform::kIpDadStateDuplicate) record.duplicateAddresses.push_back(unicast.Address);
      break;
    }
    updated.Put(index, std::move(record));
  }
  snapshot.adapters = std::move(updated);
}

}  // namespace

std::shared_ptr<const AdapterSnapshot> EnumerateAdapters(platform::IpHelper& ipHelper, platform::RouterAdmin& router,
                                                         platform::Kernel& kernel, uintptr_t& routerHandle) {
  auto snapshot = std::make_shared<AdapterSnapshot>();
  std::vector<ConnectionNameEntry> names = ReadConnectionNames(ipHelper, router, kernel, routerHandle);

  uint32_t size = 0;
  if (ipHelper.GetAdaptersInfo(nullptr, &size) != platform::kErrorBufferOverflow) return snapshot;
  if (size < sizeof(IpAdapterInfo)) return snapshot;
  RecordBuffer buffer(size);
  if (ipHelper.GetAdaptersInfo(buffer.data(), &size) != platform::kNoError) return snapshot;

  for (const auto* info = static_cast<const IpAdapterInfo*>(buffer.data()); info != nullptr; info = info->Next) {
    if (!buffer.Holds(info, sizeof(IpAdapterInfo))) break;
    AdapterRecord record;
    for (const auto& entry : names) {
      if (entry.interfaceIndex == info->Index) {
        record.connectionName = entry.connectionName;
        break;
      }
    }
    record.adapterName = FixedText(info->AdapterName, sizeof(info->AdapterName));
    record.description = FixedText(info->Description, sizeof(info->Description));
    uint32_t addressLength = info->AddressLength;
    if (addressLength > sizeof(info->Address)) addressLength = sizeof(info->Address);
    record.physicalAddress = FormatPhysicalAddress(info->Address, addressLength);
    record.adapterType = info->Type;
    record.dhcpEnabled = info->DhcpEnabled;
    std::vector<AddressRow>& own = snapshot->adapterIps[info->Index];
    own.clear();  // an index listed twice keeps the addresses of its last record, as the tables do
    record.ipCount = TakeChain(buffer, info->IpAddressList, info->Index, snapshot->table(AddressKind::Ip), &own);
    record.gatewayCount = TakeChain(buffer, info->GatewayList, info->Index, snapshot->table(AddressKind::Gateway));
    record.dhcpServerCount =
        TakeChain(buffer, info->DhcpServer, info->Index, snapshot->table(AddressKind::DhcpServer));
    record.haveWins = info->HaveWins;
    record.primaryWinsCount =
        TakeChain(buffer, info->PrimaryWinsServer, info->Index, snapshot->table(AddressKind::PrimaryWins));
    record.secondaryWinsCount =
        TakeChain(buffer, info->SecondaryWinsServer, info->Index, snapshot->table(AddressKind::SecondaryWins));
    record.leaseObtained = info->LeaseObtained;
    record.leaseExpires = info->LeaseExpires;
    std::tie(record.preferredDns, record.alternateDns) = ReadDnsServers(ipHelper, info->Index);
    snapshot->adapters.Put(info->Index, std::move(record));
  }
  ReadAdapterStates(ipHelper, *snapshot);
  return snapshot;
}

}  // namespace corvane::app

// The IP helper and router administration services over the real system functions, as the Wine
// loader answers them on the machine's own interfaces.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/ip_helper.h"
#include "platform/win32/services.h"

namespace corvane {
namespace {

using platform::AdapterAddresses;
using platform::IpAdapterInfo;
using platform::IpAddrString;
using platform::IpInterfaceInfo;
using platform::IpPerAdapterInfo;

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Field(const char* text, size_t capacity) { return std::string(text, strnlen(text, capacity)); }

// 8-byte aligned storage for the records the service writes.
struct RecordBuffer {
  explicit RecordBuffer(uint32_t bytes) : storage(bytes / sizeof(uint64_t) + 1, 0) {}
  void* data() { return storage.data(); }
  std::vector<uint64_t> storage;
};

class WineIpHelper : public ::testing::Test {
 protected:
  std::unique_ptr<platform::IpHelper> ipHelper = win32::MakeIpHelper();

  // The adapter records of GetAdaptersInfo, read by the two-call protocol.
  std::vector<IpAdapterInfo> Adapters() {
    uint32_t size = 0;
    EXPECT_EQ(ipHelper->GetAdaptersInfo(nullptr, &size), platform::kErrorBufferOverflow);
    RecordBuffer buffer(size);
    EXPECT_EQ(ipHelper->GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
    std::vector<IpAdapterInfo> adapters;
    for (auto* info = static_cast<const IpAdapterInfo*>(buffer.data()); info; info = info->Next) {
      adapters.push_back(*info);
      adapters.back().Next = nullptr;
    }
    return adapters;
  }
};

TEST_F(WineIpHelper, GetAdaptersInfoTwoCallProtocolOnWineAdapters) {
  uint32_t size = 0;
  ASSERT_EQ(ipHelper->GetAdaptersInfo(nullptr, &size), platform::kErrorBufferOverflow);
  ASSERT_GE(size, sizeof(IpAdapterInfo));

  // A buffer one byte short is refused with the same size.
  RecordBuffer shortBuffer(size);
  uint32_t shortSize = size - 1;
  EXPECT_EQ(ipHelper->GetAdaptersInfo(shortBuffer.data(), &shortSize), platform::kErrorBufferOverflow);
  EXPECT_EQ(shortSize, size);

  RecordBuffer buffer(size);
  ASSERT_EQ(ipHelper->GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
  int count = 0;
  for (auto* info = static_cast<const IpAdapterInfo*>(buffer.data()); info; info = info->Next) {
    ++count;
    const std::string name = Field(info->AdapterName, sizeof(info->AdapterName));
    SCOPED_TRACE(name);
    // The chain stays inside the buffer and each record is one of the mirror's size.
    const auto* begin = static_cast<const char*>(buffer.data());
    const auto* at = reinterpret_cast<const char*>(info);
    EXPECT_GE(at, begin);
    EXPECT_LE(at + sizeof(IpAdapterInfo), begin + size);
    EXPECT_EQ(name.front(), '{');
    EXPECT_EQ(name.back(), '}');
    EXPECT_EQ(name.size(), 38u);
    EXPECT_NE(info->Index, 0u);
    EXPECT_LE(info->AddressLength, platform::kMaxAdapterAddressLength);
    EXPECT_EQ(info->CurrentIpAddress, nullptr);
    // Wine reports every adapter as DHCP-enabled and lists its addresses with context 0.
    EXPECT_EQ(info->DhcpEnabled, 1u);
    for (const IpAddrString* node = &info->IpAddressList; node; node = node->Next) {
      EXPECT_EQ(node->Context, 0u) << Field(node->IpAddress.String, 16);
      EXPECT_NE(Field(node->IpAddress.String, 16), "");
      EXPECT_NE(Field(node->IpMask.String, 16), "");
    }
  }
  EXPECT_GE(count, 1);
}

TEST_F(WineIpHelper, GetInterfaceInfoNamesEveryAdapterByGuid) {
  uint32_t size = 0;
  ASSERT_EQ(ipHelper->GetInterfaceInfo(nullptr, &size), platform::kErrorInsufficientBuffer);
  ASSERT_GE(size, sizeof(int32_t));
  RecordBuffer buffer(size);
  ASSERT_EQ(ipHelper->GetInterfaceInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const IpInterfaceInfo*>(buffer.data());
  ASSERT_GE(info->NumAdapters, 1);
  ASSERT_GE(size, sizeof(int32_t) + info->NumAdapters * sizeof(platform::IpAdapterIndexMap));

  for (const IpAdapterInfo& adapter : Adapters()) {
    const std::u16string expected =
        u"\\DEVICE\\TCPIP_" + Widen(Field(adapter.AdapterName, sizeof(adapter.AdapterName)));
    bool found = false;
    for (int32_t i = 0; i < info->NumAdapters; ++i) {
      if (info->Adapter[i].Index != adapter.Index) continue;
      found = true;
      EXPECT_EQ(std::u16string(info->Adapter[i].Name), expected);
    }
    EXPECT_TRUE(found) << adapter.Index;
  }
}

TEST_F(WineIpHelper, GetPerAdapterInfoTwoCallProtocol) {
  for (const IpAdapterInfo& adapter : Adapters()) {
    SCOPED_TRACE(adapter.Index);
    uint32_t size = 0;
    ASSERT_EQ(ipHelper->GetPerAdapterInfo(adapter.Index, nullptr, &size), platform::kErrorBufferOverflow);
    ASSERT_GE(size, sizeof(IpPerAdapterInfo));
    RecordBuffer buffer(size);
    ASSERT_EQ(ipHelper->GetPerAdapterInfo(adapter.Index, buffer.data(), &size), platform::kNoError);
    const auto* info = static_cast<const IpPerAdapterInfo*>(buffer.data());
    for (const IpAddrString* node = &info->DnsServerList; node; node = node->Next) {
      const auto* begin = static_cast<const char*>(buffer.data());
      const auto* at = reinterpret_cast<const char*>(node);
      EXPECT_TRUE(at >= begin && at + sizeof(IpAddrString) <= begin + size);
    }
  }
}

TEST_F(WineIpHelper, GetAdaptersAddressesMatchesAdapterRecords) {
  std::vector<AdapterAddresses> entries;
  ASSERT_EQ(ipHelper->GetAdaptersAddresses(platform::kAfUnspec, platform::kGaaFlagIncludePrefix, &entries),
            platform::kNoError);
  ASSERT_FALSE(entries.empty());
  for (const IpAdapterInfo& adapter : Adapters()) {
    const std::string guid = Field(adapter.AdapterName, sizeof(adapter.AdapterName));
    SCOPED_TRACE(guid);
    const AdapterAddresses* match = nullptr;
    for (const auto& entry : entries) {
      if (entry.AdapterName == guid) match = &entry;
    }
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->IfIndex, adapter.Index);
    EXPECT_FALSE(match->FriendlyName.empty());
    EXPECT_NE(match->Mtu, 0u);
    // Wine's two tables disagree here: the adapter record says DHCP, the entry flags do not.
    EXPECT_EQ(adapter.DhcpEnabled, 1u);
    EXPECT_EQ(match->Flags & platform::kIpAdapterDhcpEnabled, 0u);
  }
}

// Wine lists every IPv4 address as preferred: no duplicate address detection runs there (nor does
// its AddIPAddress, which answers 50), so an addition under Wine waits for no probe.
TEST_F(WineIpHelper, EveryIpv4AddressIsListedAsPreferred) {
  std::vector<AdapterAddresses> entries;
  ASSERT_EQ(ipHelper->GetAdaptersAddresses(platform::kAfInet, platform::kGaaFlagSkipFriendlyName, &entries),
            platform::kNoError);
  int addresses = 0;
  for (const auto& entry : entries) {
    for (const auto& unicast : entry.Unicast) {
      ++addresses;
      EXPECT_NE(unicast.Address, 0u);
      EXPECT_EQ(unicast.DadState, platform::kIpDadStatePreferred) << entry.AdapterName;
    }
  }
  EXPECT_GT(addresses, 0);
  // The adapter list's addresses are among them.
  for (const IpAdapterInfo& adapter : Adapters()) {
    const std::string address = Field(adapter.IpAddressList.IpAddress.String, 16);
    if (address == "0.0.0.0") continue;
    const std::string guid = Field(adapter.AdapterName, sizeof(adapter.AdapterName));
    bool listed = false;
    for (const auto& entry : entries) {
      if (entry.AdapterName != guid) continue;
      for (const auto& unicast : entry.Unicast) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&unicast.Address);
        listed = listed || address == std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
                                          std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
      }
    }
    EXPECT_TRUE(listed) << guid << " " << address;
  }
}

TEST_F(WineIpHelper, GetAdapterIndexAndIfEntryAgreeWithAdapterAddresses) {
  std::vector<AdapterAddresses> entries;
  ASSERT_EQ(ipHelper->GetAdaptersAddresses(platform::kAfUnspec, platform::kGaaFlagIncludePrefix, &entries),
            platform::kNoError);
  for (const IpAdapterInfo& adapter : Adapters()) {
    const std::string guid = Field(adapter.AdapterName, sizeof(adapter.AdapterName));
    SCOPED_TRACE(guid);
    uint32_t index = 0;
    ASSERT_EQ(ipHelper->GetAdapterIndex(u"\\DEVICE\\TCPIP_" + Widen(guid), &index), platform::kNoError);
    EXPECT_EQ(index, adapter.Index);

    platform::IfRow row;
    ASSERT_EQ(ipHelper->GetIfEntry(index, &row), platform::kNoError);
    EXPECT_EQ(row.Index, index);
    EXPECT_EQ(row.Type, adapter.Type);
    for (const auto& entry : entries) {
      if (entry.AdapterName == guid) {
        EXPECT_EQ(row.Mtu, entry.Mtu);
      }
    }
  }
}

TEST_F(WineIpHelper, GetAdapterIndexAndIfEntryRejectUnknownInterfaces) {
  uint32_t index = 12345;
  EXPECT_NE(ipHelper->GetAdapterIndex(u"\\DEVICE\\TCPIP_{00000000-0000-0000-0000-000000000000}", &index),
            platform::kNoError);
  EXPECT_EQ(index, 12345u);
  platform::IfRow row;
  EXPECT_NE(ipHelper->GetIfEntry(0x7FFFFFF0u, &row), platform::kNoError);
}

TEST_F(WineIpHelper, AddIPAddressIsNotSupported) {
  const std::vector<IpAdapterInfo> adapters = Adapters();
  ASSERT_FALSE(adapters.empty());
  uint32_t context = 77;
  uint32_t instance = 77;
  // 192.0.2.200 / 255.255.255.0 in network byte order.
  const uint32_t address = 192u | 0u << 8 | 2u << 16 | 200u << 24;
  const uint32_t mask = 0x00FFFFFFu;
  EXPECT_EQ(ipHelper->AddIPAddress(address, mask, adapters.front().Index, &context, &instance),
            platform::kErrorNotSupported);
}

TEST_F(WineIpHelper, DeleteIPAddressIsNotSupported) {
  EXPECT_EQ(ipHelper->DeleteIPAddress(12345), platform::kErrorNotSupported);
}

TEST_F(WineIpHelper, SendEchoToLoopbackAnswers) {
  const uint32_t loopback = 127u | 1u << 24;  // 127.0.0.1, network byte order
  EXPECT_TRUE(ipHelper->SendEcho(loopback, 30));
}

// The loopback network's broadcast address: the route stays on the loopback interface, and the
// system refuses to send there from a socket that may not broadcast, as Wine's ICMP socket may
// not (it would ignore a broadcast echo anyway). Nothing leaves the machine and no reply comes.
TEST_F(WineIpHelper, SendEchoToTheLoopbackBroadcastAddressGetsNoReply) {
  const uint32_t broadcast = 127u | 255u << 8 | 255u << 16 | 255u << 24;  // 127.255.255.255, network byte order
  EXPECT_FALSE(ipHelper->SendEcho(broadcast, 30));
}

TEST(WineRouterAdmin, ServerConnectAnswersNotSupportedWithoutHandle) {
  auto router = win32::MakeRouterAdmin();
  uintptr_t handle = 1234;
  EXPECT_EQ(router->ConfigServerConnect(&handle), platform::kErrorNotSupported);
  EXPECT_EQ(handle, 0u);
}

TEST(WineRouterAdmin, FriendlyNameWithoutHandleComesFromAdapterAddresses) {
  auto ipHelper = win32::MakeIpHelper();
  auto router = win32::MakeRouterAdmin();
  std::vector<AdapterAddresses> entries;
  ASSERT_EQ(ipHelper->GetAdaptersAddresses(platform::kAfUnspec, 0, &entries), platform::kNoError);

  uint32_t size = 0;
  ASSERT_EQ(ipHelper->GetInterfaceInfo(nullptr, &size), platform::kErrorInsufficientBuffer);
  RecordBuffer buffer(size);
  ASSERT_EQ(ipHelper->GetInterfaceInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const IpInterfaceInfo*>(buffer.data());
  ASSERT_GE(info->NumAdapters, 1);
  for (int32_t i = 0; i < info->NumAdapters; ++i) {
    const platform::IpAdapterIndexMap& map = info->Adapter[i];
    SCOPED_TRACE(map.Index);
    std::u16string expected;
    for (const auto& entry : entries) {
      if (entry.IfIndex == map.Index) expected = entry.FriendlyName;
    }
    ASSERT_FALSE(expected.empty());

    char16_t name[128] = {};
    ASSERT_EQ(router->ConfigGetFriendlyName(0, map.Name, name, sizeof(name)), platform::kNoError);
    EXPECT_EQ(std::u16string(name), expected);

    // The GUID text matches in any case.
    std::u16string lowered(map.Name);
    for (char16_t& c : lowered) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    char16_t again[128] = {};
    ASSERT_EQ(router->ConfigGetFriendlyName(0, lowered.c_str(), again, sizeof(again)), platform::kNoError);
    EXPECT_EQ(std::u16string(again), expected);

    // A buffer without room for the name and its NUL is refused and left alone.
    char16_t tiny[2] = {u'x', u'y'};
    if (expected.size() >= 2) {
      EXPECT_EQ(router->ConfigGetFriendlyName(0, map.Name, tiny, sizeof(tiny)), platform::kErrorInsufficientBuffer);
      EXPECT_EQ(tiny[0], u'x');
    }
  }
}

TEST(WineRouterAdmin, AnInterfaceNameFillingItsFieldIsNeverReadPastIt) {
  // The field ends where a page ends and the next page cannot be read: a read that looked for a
  // NUL beyond the 128 characters would fault.
  SYSTEM_INFO system;
  ::GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  auto* base = static_cast<unsigned char*>(::VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(base, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(::VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
  auto* field = reinterpret_cast<char16_t*>(base + page) - platform::kMaxInterfaceNameLength;
  for (size_t i = 0; i < platform::kMaxInterfaceNameLength; ++i) field[i] = u'A';

  auto router = win32::MakeRouterAdmin();
  char16_t name[128] = {u'x'};
  EXPECT_EQ(router->ConfigGetFriendlyName(0, field, name, sizeof(name)), platform::kErrorFileNotFound);
  EXPECT_EQ(name[0], u'x');
  ::VirtualFree(base, 0, MEM_RELEASE);
}

TEST(WineRouterAdmin, FriendlyNameOfUnknownInterfaceIsNotFound) {
  auto router = win32::MakeRouterAdmin();
  char16_t name[128] = {u'x'};
  EXPECT_EQ(router->ConfigGetFriendlyName(0, u"\\DEVICE\\TCPIP_{01234567-89AB-CDEF-0123-456789ABCDEF}", name,
                                          sizeof(name)),
            platform::kErrorFileNotFound);
  EXPECT_EQ(name[0], u'x');
}

}  // namespace
}  // namespace corvane

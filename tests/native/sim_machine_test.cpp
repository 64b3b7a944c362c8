// The simulated machine answers like the system services the program relies on.
#include "platform/sim/machine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

namespace corvane::sim {
namespace {

using platform::IpAdapterInfo;
using platform::IpAddrString;
using Strings = std::vector<std::string>;

// Network byte order, as inet_addr gives it.
uint32_t Net(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  uint32_t v = 0;
  std::memcpy(&v, bytes, 4);
  return v;
}

SimAddress Addr(const std::string& address, const std::string& mask, uint32_t context) {
  return SimAddress{address, mask, context};
}

SimAdapter Adapter(uint32_t index, std::u16string name, std::vector<SimAddress> addresses) {
  SimAdapter a;
  a.index = index;
  char guid[64];
  std::snprintf(guid, sizeof guid, "{ABCD%04X-1111-2222-3333-444455556666}", index);
  a.guid = guid;
  a.description = "Test Adapter " + std::to_string(index);
  a.connectionName = std::move(name);
  a.physicalAddress = {0x00, 0x11, 0x22, 0x33, 0x44, static_cast<uint8_t>(index)};
  a.ipAddresses = std::move(addresses);
  return a;
}

std::string Text(const platform::IpAddressText& t) {
  return std::string(t.String, strnlen(t.String, 16));
}

// A zero-filled, aligned buffer of `size` bytes.
struct Buffer {
  explicit Buffer(uint32_t size) : words((size + 7) / 8, 0), bytes(size) {}
  void* data() { return words.data(); }
  bool Holds(const void* p) const {
    auto begin = reinterpret_cast<uintptr_t>(words.data());
    auto at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at < begin + bytes;
  }
  std::vector<uint64_t> words;
  uint32_t bytes;
};

class SimMachineTest : public ::testing::Test {
 protected:
  Strings CallsStartingWith(const std::string& prefix) {
    Strings out;
    for (const auto& c : machine.Calls())
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }
  Machine machine;
};

// --- GetAdaptersInfo ---

TEST_F(SimMachineTest, AdaptersInfoTakesTwoCallsAndChainsRecordsAndNodesInsideTheBuffer) {
  SimAdapter a = Adapter(7, u"A",
                         {Addr("10.0.0.1", "255.0.0.0", 701), Addr("10.0.0.2", "255.0.0.0", 702),
                          Addr("10.0.0.3", "255.255.0.0", 703)});
  a.gateways = {Addr("10.0.0.254", "255.255.255.255", 790)};
  a.dhcpEnabled = 1;
  a.leaseObtained = 1765000000;
  a.leaseExpires = 1765086400;
  a.description = std::string(200, 'd');
  a.physicalAddress = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  machine.AddAdapter(a);
  machine.AddAdapter(Adapter(9, u"B", {}));

  uint32_t size = 0;
  ASSERT_EQ(machine.ipHelper().GetAdaptersInfo(nullptr, &size), platform::kErrorBufferOverflow);
  // Two records and the two further nodes of the first adapter's address list.
  EXPECT_EQ(size, 2 * sizeof(IpAdapterInfo) + 2 * sizeof(IpAddrString));
  uint32_t shortSize = size - 1;
  Buffer shortBuffer(shortSize);
  EXPECT_EQ(machine.ipHelper().GetAdaptersInfo(shortBuffer.data(), &shortSize),
            platform::kErrorBufferOverflow);
  EXPECT_EQ(shortSize, size);

  Buffer buffer(size);
  ASSERT_EQ(machine.ipHelper().GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
  const auto* first = static_cast<const IpAdapterInfo*>(buffer.data());
  ASSERT_TRUE(buffer.Holds(first->Next));
  const IpAdapterInfo* second = first->Next;
  EXPECT_EQ(second->Next, nullptr);

  EXPECT_EQ(first->Index, 7u);
  EXPECT_EQ(std::string(first->AdapterName), a.guid);
  EXPECT_EQ(std::string(first->Description), std::string(131, 'd'));  // truncated to the field
  EXPECT_EQ(first->AddressLength, 8u);
  EXPECT_EQ(first->Address[7], 8);
  EXPECT_EQ(first->DhcpEnabled, 1u);
  EXPECT_EQ(first->LeaseObtained, 1765000000);
  EXPECT_EQ(first->LeaseExpires, 1765086400);
  EXPECT_EQ(first->ComboIndex, 0u);
  EXPECT_EQ(first->CurrentIpAddress, nullptr);

  Strings addresses;
  for (const IpAddrString* n = &first->IpAddressList; n != nullptr; n = n->Next) {
    if (n != &first->IpAddressList) {
      EXPECT_TRUE(buffer.Holds(n));
    }
    addresses.push_back(Text(n->IpAddress) + "/" + Text(n->IpMask) + "/" + std::to_string(n->Context));
  }
  EXPECT_EQ(addresses,
            (Strings{"10.0.0.1/255.0.0.0/701", "10.0.0.2/255.0.0.0/702", "10.0.0.3/255.255.0.0/703"}));
  EXPECT_EQ(Text(first->GatewayList.IpAddress), "10.0.0.254");
  EXPECT_EQ(first->GatewayList.Context, 790u);
  EXPECT_EQ(first->GatewayList.Next, nullptr);
  EXPECT_EQ(first->DhcpServer.Context, 0u);

  // Without an address the embedded node holds the all-zero address with context 0.
  EXPECT_EQ(Text(second->IpAddressList.IpAddress), "0.0.0.0");
  EXPECT_EQ(Text(second->IpAddressList.IpMask), "0.0.0.0");
  EXPECT_EQ(second->IpAddressList.Context, 0u);
  EXPECT_EQ(second->IpAddressList.Next, nullptr);

  EXPECT_EQ(
      CallsStartingWith("GetAdaptersInfo"),
      (Strings{"GetAdaptersInfo(null) -> 111", "GetAdaptersInfo(" + std::to_string(size - 1) + ") -> 111",
               "GetAdaptersInfo(" + std::to_string(size) + ") -> 0"}));
}

TEST_F(SimMachineTest, NoAdaptersAnswerNoDataEverywhere) {
  uint32_t size = 0;
  EXPECT_EQ(machine.ipHelper().GetAdaptersInfo(nullptr, &size), platform::kErrorNoData);
  EXPECT_EQ(machine.ipHelper().GetInterfaceInfo(nullptr, &size), platform::kErrorNoData);
  std::vector<platform::AdapterAddresses> entries;
  EXPECT_EQ(machine.ipHelper().GetAdaptersAddresses(0, 0x10, &entries), platform::kErrorNoData);
  uint32_t index = 0;
  EXPECT_EQ(machine.ipHelper().GetAdapterIndex(u"\\DEVICE\\TCPIP_{X}", &index), platform::kErrorNoData);
}

// --- GetInterfaceInfo, GetPerAdapterInfo ---

TEST_F(SimMachineTest, InterfaceInfoListsEveryAdapterWithItsDeviceName) {
  machine.AddAdapter(Adapter(3, u"A", {}));
  machine.AddAdapter(Adapter(5, u"B", {}));
  uint32_t size = 0;
  ASSERT_EQ(machine.ipHelper().GetInterfaceInfo(nullptr, &size), platform::kErrorInsufficientBuffer);
  EXPECT_EQ(size, 4 + 2 * sizeof(platform::IpAdapterIndexMap));
  Buffer buffer(size);
  ASSERT_EQ(machine.ipHelper().GetInterfaceInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const platform::IpInterfaceInfo*>(buffer.data());
  ASSERT_EQ(info->NumAdapters, 2);
  EXPECT_EQ(info->Adapter[1].Index, 5u);
  EXPECT_EQ(std::u16string(info->Adapter[1].Name), u"\\DEVICE\\TCPIP_{ABCD0005-1111-2222-3333-444455556666}");
}

TEST_F(SimMachineTest, PerAdapterInfoChainsTheDnsServers) {
  SimAdapter a = Adapter(4, u"A", {});
  a.dnsServers = {"1.1.1.1", "8.8.8.8", "9.9.9.9"};
  machine.AddAdapter(a);
  machine.AddAdapter(Adapter(6, u"B", {}));

  uint32_t size = 0;
  EXPECT_EQ(machine.ipHelper().GetPerAdapterInfo(99, nullptr, &size), platform::kErrorInvalidParameter);
  ASSERT_EQ(machine.ipHelper().GetPerAdapterInfo(4, nullptr, &size), platform::kErrorBufferOverflow);
  EXPECT_EQ(size, sizeof(platform::IpPerAdapterInfo) + 2 * sizeof(IpAddrString));
  Buffer buffer(size);
  ASSERT_EQ(machine.ipHelper().GetPerAdapterInfo(4, buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const platform::IpPerAdapterInfo*>(buffer.data());
  Strings servers;
  for (const IpAddrString* n = &info->DnsServerList; n != nullptr; n = n->Next) {
    if (n != &info->DnsServerList) {
      EXPECT_TRUE(buffer.Holds(n));
    }
    servers.push_back(Text(n->IpAddress));
  }
  EXPECT_EQ(servers, (Strings{"1.1.1.1", "8.8.8.8", "9.9.9.9"}));

  ASSERT_EQ(machine.ipHelper().GetPerAdapterInfo(6, nullptr, &size), platform::kErrorBufferOverflow);
  Buffer none(size);
  ASSERT_EQ(machine.ipHelper().GetPerAdapterInfo(6, none.data(), &size), platform::kNoError);
  info = static_cast<const platform::IpPerAdapterInfo*>(none.data());
  EXPECT_EQ(Text(info->DnsServerList.IpAddress), "");
  EXPECT_EQ(info->DnsServerList.Next, nullptr);
}

// --- addresses, index, interface row ---

TEST_F(SimMachineTest, AdaptersAddressesIndexAndInterfaceRow) {
  SimAdapter a = Adapter(8, u"本地连接", {});
  a.dhcpEnabled = 1;
  a.operStatus = 2;
  a.mtu = 1400;
  a.speed = 10000000000ull;
  machine.AddAdapter(a);

  std::vector<platform::AdapterAddresses> entries;
  ASSERT_EQ(machine.ipHelper().GetAdaptersAddresses(0, 0x10, &entries), platform::kNoError);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].FriendlyName, u"本地连接");
  EXPECT_EQ(entries[0].AdapterName, a.guid);
  EXPECT_EQ(entries[0].Flags, platform::kIpAdapterDhcpEnabled);
  EXPECT_EQ(entries[0].OperStatus, 2u);
  EXPECT_EQ(entries[0].Description, u"Test Adapter 8");

  uint32_t index = 0;
  EXPECT_EQ(
      machine.ipHelper().GetAdapterIndex(u"\\Device\\Tcpip_{abcd0008-1111-2222-3333-444455556666}", &index),
      platform::kNoError);
  EXPECT_EQ(index, 8u);
  EXPECT_EQ(
      machine.ipHelper().GetAdapterIndex(u"\\DEVICE\\TCPIP_{ABCD0009-1111-2222-3333-444455556666}", &index),
      kErrorDevNotExist);

  platform::IfRow row;
  ASSERT_EQ(machine.ipHelper().GetIfEntry(8, &row), platform::kNoError);
  EXPECT_EQ(row.Mtu, 1400u);
  EXPECT_EQ(row.Speed, 0xFFFFFFFFu);
  EXPECT_EQ(machine.ipHelper().GetIfEntry(0, &row), kErrorInvalidData);
  EXPECT_EQ(machine.ipHelper().GetIfEntry(9, &row), kErrorNotFound);
}

// --- AddIPAddress, DeleteIPAddress ---

TEST_F(SimMachineTest, AddedAddressesGetFreshContextsAndAppearInTheNextEnumeration) {
  machine.AddAdapter(Adapter(2, u"A", {Addr("0.0.0.0", "0.0.0.0", 0)}));
  machine.AddAdapter(Adapter(3, u"B", {Addr("10.0.0.1", "255.0.0.0", 40)}));
  machine.SetNextContext(40);  // 40 is taken: the next free one is used
  uint32_t context = 0;
  uint32_t instance = 0;
  ASSERT_EQ(
      machine.ipHelper().AddIPAddress(Net(192, 168, 5, 1), Net(255, 255, 255, 0), 2, &context, &instance),
      platform::kNoError);
  EXPECT_EQ(context, 41u);
  uint32_t second = 0;
  ASSERT_EQ(
      machine.ipHelper().AddIPAddress(Net(192, 168, 5, 2), Net(255, 255, 255, 0), 2, &second, &instance),
      platform::kNoError);
  EXPECT_EQ(second, 42u);

  // The placeholder of the address-less adapter is gone; the new addresses follow in order.
  std::vector<SimAdapter> adapters = machine.Adapters();
  ASSERT_EQ(adapters[0].ipAddresses.size(), 2u);
  EXPECT_EQ(adapters[0].ipAddresses[0].address, "192.168.5.1");
  EXPECT_EQ(adapters[0].ipAddresses[0].mask, "255.255.255.0");
  EXPECT_EQ(adapters[0].ipAddresses[1].context, 42u);
  EXPECT_EQ(CallsStartingWith("AddIPAddress").front(), "AddIPAddress(192.168.5.1, 255.255.255.0, 2) -> 0");

  uint32_t size = 0;
  machine.ipHelper().GetAdaptersInfo(nullptr, &size);
  Buffer buffer(size);
  ASSERT_EQ(machine.ipHelper().GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const IpAdapterInfo*>(buffer.data());
  EXPECT_EQ(Text(info->IpAddressList.IpAddress), "192.168.5.1");
  EXPECT_EQ(info->IpAddressList.Context, 41u);
  ASSERT_NE(info->IpAddressList.Next, nullptr);
  EXPECT_EQ(info->IpAddressList.Next->Context, 42u);

  ASSERT_EQ(machine.ipHelper().DeleteIPAddress(41), platform::kNoError);
  EXPECT_EQ(machine.ipHelper().DeleteIPAddress(41), platform::kErrorInvalidParameter);
  EXPECT_EQ(machine.ipHelper().DeleteIPAddress(0), platform::kErrorInvalidParameter);
  // An address the adapter is configured with is not the service's to remove: it stays.
  EXPECT_EQ(machine.ipHelper().DeleteIPAddress(40), platform::kErrorInvalidParameter);
  EXPECT_EQ(machine.Adapters()[1].ipAddresses.size(), 1u);
  EXPECT_EQ(CallsStartingWith("DeleteIPAddress").back(), "DeleteIPAddress(40) -> 87");
}

TEST_F(SimMachineTest, AContextReusedByAConfiguredAddressIsNotDeletable) {
  machine.AddAdapter(Adapter(2, u"A", {}));
  uint32_t context = 0;
  uint32_t instance = 0;
  ASSERT_EQ(machine.ipHelper().AddIPAddress(Net(10, 2, 0, 1), Net(255, 0, 0, 0), 2, &context, &instance),
            platform::kNoError);
  // The adapter is configured anew (as the instrumentation service does) and its new address
  // happens to get the same context: it is configured, not added.
  machine.ChangeAdapter(2, [](SimAdapter& a) { a.ipAddresses.clear(); });
  machine.SetNextContext(context);
  platform::WmiObject in;
  platform::WmiObject out;
  auto enableStatic = [&](const std::string& address) {
    in["IPAddress"] = platform::WmiValue::FromArray({address});
    in["SubnetMask"] = platform::WmiValue::FromArray({"255.0.0.0"});
    EXPECT_EQ(machine.automation().ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=2",
                                              "EnableStatic", in, &out),
              0);
    return out.at("ReturnValue").integer;
  };
  // A part with a leading zero is no address the machine takes.
  EXPECT_EQ(enableStatic("010.2.0.9"), 70);
  ASSERT_EQ(enableStatic("10.2.0.9"), 0);
  ASSERT_EQ(machine.Adapters()[0].ipAddresses.at(0).context, context);
  EXPECT_EQ(machine.ipHelper().DeleteIPAddress(context), platform::kErrorInvalidParameter);
}

TEST_F(SimMachineTest, AddIPAddressRejectsWhatTheServiceRejects) {
  machine.AddAdapter(Adapter(2, u"A", {Addr("10.0.0.1", "255.0.0.0", 5)}));
  machine.AddAdapter(Adapter(3, u"B", {}));
  uint32_t c = 0;
  uint32_t i = 0;
  auto add = [&](uint32_t address, uint32_t mask, uint32_t index) {
    return machine.ipHelper().AddIPAddress(address, mask, index, &c, &i);
  };
  const uint32_t mask = Net(255, 255, 255, 0);
  EXPECT_EQ(add(Net(10, 0, 0, 1), mask, 3), platform::kErrorObjectAlreadyExists);  // on another adapter
  EXPECT_EQ(add(platform::kInAddrNone, mask, 2), platform::kErrorInvalidParameter);
  EXPECT_EQ(add(0, mask, 2), platform::kErrorInvalidParameter);
  EXPECT_EQ(add(Net(127, 0, 0, 2), mask, 2), platform::kErrorInvalidParameter);
  EXPECT_EQ(add(Net(224, 0, 0, 1), mask, 2), platform::kErrorInvalidParameter);
  EXPECT_EQ(add(Net(10, 0, 0, 9), Net(255, 0, 255, 0), 2), platform::kErrorInvalidParameter);
  EXPECT_EQ(add(Net(10, 0, 0, 9), mask, 77), kErrorDevNotExist);
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 0, 0, 9), mask, 2, nullptr, &i),
            platform::kErrorInvalidParameter);
  EXPECT_EQ(machine.Adapters()[0].ipAddresses.size(), 1u);
  EXPECT_TRUE(machine.Adapters()[1].ipAddresses.empty());
}

// Another host of the segment holds 10.0.0.7, and drops echoes: AddIPAddress binds it, the address
// is tentative while the probes go out, then duplicate; GetAdaptersInfo lists it as the all-zero
// address with its context, and DeleteIPAddress takes it off. The segment is the adapter's own.
TEST_F(SimMachineTest, AnAddressAnotherHostHoldsGoesFromTentativeToDuplicate) {
  machine.AddAdapter(Adapter(2, u"A", {}));
  machine.AddAdapter(Adapter(3, u"B", {}));
  machine.AddNeighbour(2, "10.0.0.7", false);
  machine.SetLatency("DuplicateAddressDetection", 400);
  platform::IpHelper& ip = machine.ipHelper();
  auto states = [&](uint32_t index) {
    std::vector<platform::AdapterAddresses> entries;
    EXPECT_EQ(ip.GetAdaptersAddresses(platform::kAfInet, 0, &entries), platform::kNoError);
    std::vector<uint32_t> out;
    for (const auto& e : entries)
      if (e.IfIndex == index)
        for (const auto& u : e.Unicast) out.push_back(u.DadState);
    return out;
  };
  uint32_t held = 0;
  uint32_t free = 0;
  uint32_t i = 0;
  const uint32_t mask = Net(255, 255, 255, 0);
  ASSERT_EQ(ip.AddIPAddress(Net(10, 0, 0, 7), mask, 2, &held, &i), platform::kNoError);
  ASSERT_EQ(ip.AddIPAddress(Net(10, 0, 0, 8), mask, 2, &free, &i), platform::kNoError);
  EXPECT_EQ(states(2), (std::vector<uint32_t>{platform::kIpDadStateTentative, platform::kIpDadStateTentative}));
  EXPECT_FALSE(ip.SendEcho(Net(10, 0, 0, 7), 30));
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  EXPECT_EQ(states(2), (std::vector<uint32_t>{platform::kIpDadStateDuplicate, platform::kIpDadStatePreferred}));
  EXPECT_FALSE(ip.SendEcho(Net(10, 0, 0, 7), 30));
  EXPECT_TRUE(ip.SendEcho(Net(10, 0, 0, 8), 30));
  uint32_t size = 0;
  ASSERT_EQ(ip.GetAdaptersInfo(nullptr, &size), platform::kErrorBufferOverflow);
  Buffer buffer(size);
  ASSERT_EQ(ip.GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const platform::IpAdapterInfo*>(buffer.data());
  EXPECT_EQ(Text(info->IpAddressList.IpAddress), "0.0.0.0");
  EXPECT_EQ(info->IpAddressList.Context, held);
  ASSERT_NE(info->IpAddressList.Next, nullptr);
  EXPECT_EQ(Text(info->IpAddressList.Next->IpAddress), "10.0.0.8");
  EXPECT_EQ(ip.DeleteIPAddress(held), platform::kNoError);
  EXPECT_EQ(states(2), (std::vector<uint32_t>{platform::kIpDadStatePreferred}));
  // The same address on another segment is nobody's.
  ASSERT_EQ(ip.AddIPAddress(Net(10, 0, 0, 7), mask, 3, &held, &i), platform::kNoError);
  std::this_thread::sleep_for(std::chrono::milliseconds(450));
  EXPECT_EQ(states(3), (std::vector<uint32_t>{platform::kIpDadStatePreferred}));
  // A host that answers echoes answers the occupancy query as well.
  machine.AddNeighbour(2, "10.0.0.9", true);
  EXPECT_TRUE(ip.SendEcho(Net(10, 0, 0, 9), 30));
}

TEST_F(SimMachineTest, FailNextFailsOnlyTheNextCallsOfThatOperation) {
  machine.AddAdapter(Adapter(2, u"A", {}));
  machine.FailNext("AddIPAddress", 5);
  machine.FailNext("AddIPAddress", 31);
  uint32_t c = 0;
  uint32_t i = 0;
  const uint32_t mask = Net(255, 255, 255, 0);
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 1, 1, 1), mask, 2, &c, &i), 5u);
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 1, 1, 1), mask, 2, &c, &i), 31u);
  EXPECT_TRUE(machine.Adapters()[0].ipAddresses.empty());
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 1, 1, 1), mask, 2, &c, &i), platform::kNoError);
  // Another operation's failure does not touch this one.
  machine.FailNext("DeleteIPAddress", 5);
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 1, 1, 2), mask, 2, &c, &i), platform::kNoError);
}

TEST_F(SimMachineTest, EchoAnswersFromLoopbackBoundAddressesAndResponders) {
  machine.AddAdapter(Adapter(2, u"A", {Addr("10.0.0.1", "255.0.0.0", 5), Addr("0.0.0.0", "0.0.0.0", 0)}));
  machine.AddAdapter(Adapter(3, u"B", {}));
  machine.AddEchoResponder("192.168.1.20");
  machine.AddEchoResponder("010.0.0.9");  // not an address: no responder
  platform::IpHelper& ip = machine.ipHelper();
  EXPECT_TRUE(ip.SendEcho(Net(192, 168, 1, 20), 30));
  EXPECT_FALSE(ip.SendEcho(Net(192, 168, 1, 21), 30));
  EXPECT_FALSE(ip.SendEcho(Net(10, 0, 0, 9), 30));
  EXPECT_FALSE(ip.SendEcho(Net(8, 0, 0, 9), 30));
  // The whole loopback range, and every address bound on the machine, configured or added.
  EXPECT_TRUE(ip.SendEcho(Net(127, 0, 0, 1), 30));
  EXPECT_TRUE(ip.SendEcho(Net(127, 45, 6, 7), 30));
  EXPECT_FALSE(ip.SendEcho(Net(128, 0, 0, 1), 30));
  EXPECT_TRUE(ip.SendEcho(Net(10, 0, 0, 1), 30));
  EXPECT_FALSE(ip.SendEcho(0, 30));
  uint32_t c = 0;
  uint32_t i = 0;
  ASSERT_EQ(ip.AddIPAddress(Net(172, 16, 0, 3), Net(255, 255, 0, 0), 3, &c, &i), platform::kNoError);
  EXPECT_TRUE(ip.SendEcho(Net(172, 16, 0, 3), 30));
  ASSERT_EQ(ip.DeleteIPAddress(c), platform::kNoError);
  EXPECT_FALSE(ip.SendEcho(Net(172, 16, 0, 3), 30));
  EXPECT_EQ(CallsStartingWith("IcmpSendEcho").front(), "IcmpSendEcho(192.168.1.20, 30) -> 1");
}

// --- router administration ---

TEST_F(SimMachineTest, FriendlyNamesNeedAHandleAndRoomForTheName) {
  machine.AddAdapter(Adapter(2, u"本地连接", {}));
  machine.AddAdapter(Adapter(3, u"", {}));
  uintptr_t handle = 0;
  ASSERT_EQ(machine.router().ConfigServerConnect(&handle), platform::kNoError);
  ASSERT_NE(handle, 0u);
  char16_t name[128] = {};
  const char16_t* device = u"\\DEVICE\\TCPIP_{ABCD0002-1111-2222-3333-444455556666}";
  EXPECT_EQ(machine.router().ConfigGetFriendlyName(0, device, name, sizeof name), kErrorInvalidHandle);
  EXPECT_EQ(machine.router().ConfigGetFriendlyName(handle, device, name, 8),
            platform::kErrorInsufficientBuffer);
  ASSERT_EQ(machine.router().ConfigGetFriendlyName(handle, device, name, sizeof name), platform::kNoError);
  EXPECT_EQ(std::u16string(name), u"本地连接");

  char16_t untouched[8] = {u'x', 0};
  EXPECT_EQ(
      machine.router().ConfigGetFriendlyName(
          handle, u"\\DEVICE\\TCPIP_{ABCD0003-1111-2222-3333-444455556666}", untouched, sizeof untouched),
      platform::kErrorFileNotFound);
  EXPECT_EQ(machine.router().ConfigGetFriendlyName(handle, u"\\DEVICE\\TCPIP_{nothing}", untouched,
                                                   sizeof untouched),
            platform::kErrorFileNotFound);
  EXPECT_EQ(untouched[0], u'x');

  // A name that fills its 128-character field has no NUL: it is read as the field, never beyond.
  std::vector<char16_t> full(platform::kMaxInterfaceNameLength, u'x');
  EXPECT_EQ(machine.router().ConfigGetFriendlyName(handle, full.data(), untouched, sizeof untouched),
            platform::kErrorFileNotFound);
  EXPECT_EQ(CallsStartingWith("MprConfigGetFriendlyName").back(),
            "MprConfigGetFriendlyName(" + std::string(128, 'x') + ") -> 2");

  machine.SetRouterAdminAvailable(false);
  uintptr_t none = 1;
  EXPECT_EQ(machine.router().ConfigServerConnect(&none), platform::kErrorNotSupported);
  EXPECT_EQ(none, 0u);
}

// --- registry ---

TEST_F(SimMachineTest, RegistryKeysAndValuesIgnoreLetterCase) {
  platform::Registry& r = machine.registry();
  platform::RegKey key = 0;
  ASSERT_EQ(r.CreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\Corvane\\Test", &key), platform::kRegSuccess);
  const uint8_t data[] = {'a', 0, 'b', 0, 0};
  ASSERT_EQ(r.SetValue(key, "List", platform::kRegMultiSz, data, sizeof data), platform::kRegSuccess);
  ASSERT_EQ(r.CloseKey(key), platform::kRegSuccess);
  EXPECT_EQ(r.CloseKey(key), platform::kRegInvalidHandle);

  platform::RegKey open = 0;
  ASSERT_EQ(r.OpenKey(platform::kHkeyLocalMachine, "software\\CORVANE\\test", &open), platform::kRegSuccess);
  EXPECT_NE(open, key);
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(r.QueryValue(open, "LIST", &type, nullptr, &size), platform::kRegSuccess);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, platform::kRegMultiSz);
  uint8_t small[2] = {};
  uint32_t smallSize = 2;
  EXPECT_EQ(r.QueryValue(open, "list", &type, small, &smallSize), platform::kRegMoreData);
  EXPECT_EQ(smallSize, 5u);
  uint8_t out[5] = {};
  ASSERT_EQ(r.QueryValue(open, "list", &type, out, &size), platform::kRegSuccess);
  EXPECT_EQ(std::memcmp(out, data, 5), 0);
  EXPECT_EQ(r.QueryValue(open, "missing", &type, nullptr, &size), platform::kRegFileNotFound);
  EXPECT_EQ(r.QueryValue(0x4321, "list", &type, nullptr, &size), platform::kRegInvalidHandle);

  platform::RegKey missing = 7;
  EXPECT_EQ(r.OpenKey(platform::kHkeyLocalMachine, "SOFTWARE\\Nothing", &missing),
            platform::kRegFileNotFound);
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(r.OpenKey(platform::kHkeyLocalMachine, "\\SOFTWARE", &missing),
            static_cast<int32_t>(platform::kErrorInvalidParameter));
  EXPECT_EQ(r.OpenKey(0x9999, "x", &missing), platform::kRegInvalidHandle);

  // An empty subkey opens the parent again under a new handle.
  platform::RegKey again = 0;
  ASSERT_EQ(r.OpenKey(open, "", &again), platform::kRegSuccess);
  EXPECT_NE(again, open);
  EXPECT_EQ(r.QueryValue(again, "List", &type, nullptr, &size), platform::kRegSuccess);
  EXPECT_EQ(r.CloseKey(again), platform::kRegSuccess);
  EXPECT_EQ(r.CloseKey(open), platform::kRegSuccess);

  EXPECT_EQ(r.ExpandEnvironment("%SystemRoot%\\x %unknown% %%"), "C:\\Windows\\x %unknown% %%");
}

TEST_F(SimMachineTest, RegistryFailuresAreRecordedWithTheirCodes) {
  machine.FailNext("RegCreateKeyA", 5);
  platform::RegKey key = 0;
  EXPECT_EQ(machine.registry().CreateKey(platform::kHkeyCurrentUser, "A", &key), 5);
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(CallsStartingWith("RegCreateKeyA"), (Strings{"RegCreateKeyA(0x80000001, A) -> 5"}));
}

TEST_F(SimMachineTest, ATransactionsChangesAreSeenThroughItsOwnKeysAloneUntilItsCommit) {
  platform::Registry& r = machine.registry();
  constexpr platform::RegKey hklm = platform::kHkeyLocalMachine;
  auto set = [&](platform::RegKey key, const std::string& name, const std::string& text) {
    return r.SetValue(key, name, platform::kRegSz, reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size()));
  };
  auto read = [&](platform::RegKey key, const std::string& name) {
    char out[16] = {};
    uint32_t type = 0;
    uint32_t size = sizeof out;
    const int32_t code = r.QueryValue(key, name, &type, reinterpret_cast<uint8_t*>(out), &size);
    return code == 0 ? std::string(out, size) : "<" + std::to_string(code) + ">";
  };
  auto opens = [&](platform::RegKey parent, const std::string& path) {
    platform::RegKey key = 0;
    const int32_t code = r.OpenKey(parent, path, &key);
    if (code == 0) r.CloseKey(key);
    return code;
  };
  platform::RegKey plain = 0;
  ASSERT_EQ(r.CreateKey(hklm, "SOFTWARE\\Corvane\\Test", &plain), 0);
  ASSERT_EQ(set(plain, "A", "old"), 0);

  platform::RegTransaction t = 0;
  ASSERT_EQ(r.CreateTransaction(&t), 0);
  ASSERT_NE(t, 0u);
  platform::RegKey staged = 0;
  platform::RegKey corvane = 0;
  platform::RegKey deep = 0;
  ASSERT_EQ(r.CreateKeyTransacted(hklm, "software\\corvane\\test", t, &staged), 0);
  ASSERT_EQ(r.CreateKeyTransacted(hklm, "SOFTWARE\\Corvane", t, &corvane), 0);
  ASSERT_EQ(set(staged, "A", "new"), 0);
  ASSERT_EQ(r.CreateKeyTransacted(corvane, "New\\Deep", t, &deep), 0);
  ASSERT_EQ(set(deep, "B", "made"), 0);
  EXPECT_EQ(read(staged, "A"), "new");
  EXPECT_EQ(opens(corvane, "New\\Deep"), 0);
  EXPECT_EQ(opens(corvane, "New"), 0);
  EXPECT_EQ(opens(corvane, "Ne"), platform::kRegFileNotFound);
  EXPECT_EQ(read(plain, "A"), "old");
  EXPECT_EQ(opens(hklm, "SOFTWARE\\Corvane\\New"), platform::kRegFileNotFound);

  ASSERT_EQ(r.CommitTransaction(t), 0);
  EXPECT_EQ(read(plain, "A"), "new");
  platform::RegKey made = 0;
  ASSERT_EQ(r.OpenKey(hklm, "SOFTWARE\\Corvane\\New\\Deep", &made), 0);
  EXPECT_EQ(read(made, "B"), "made");
  EXPECT_EQ(r.CommitTransaction(t), 6701);  // ERROR_TRANSACTION_NOT_ACTIVE
  EXPECT_EQ(set(staged, "A", "late"), 6701);
  r.CloseTransaction(t);
  EXPECT_EQ(r.CloseKey(staged), 0);
  EXPECT_EQ(r.CloseKey(deep), 0);

  // Closed uncommitted: nothing it changed or made stays.
  ASSERT_EQ(r.CreateTransaction(&t), 0);
  ASSERT_EQ(r.CreateKeyTransacted(made, "", t, &deep), 0);
  ASSERT_EQ(r.DeleteValue(deep, "B"), 0);
  EXPECT_EQ(read(deep, "B"), "<2>");
  EXPECT_EQ(r.DeleteValue(deep, "B"), platform::kRegFileNotFound);
  ASSERT_EQ(r.CreateKeyTransacted(hklm, "SOFTWARE\\Corvane\\Gone", t, &staged), 0);
  ASSERT_EQ(set(staged, "C", "gone"), 0);
  r.CloseTransaction(t);
  EXPECT_EQ(read(made, "B"), "made");
  EXPECT_EQ(opens(hklm, "SOFTWARE\\Corvane\\Gone"), platform::kRegFileNotFound);
  EXPECT_EQ(set(deep, "B", "late"), 6701);
  EXPECT_EQ(r.CommitTransaction(t), platform::kRegInvalidHandle);
  for (platform::RegKey key : {plain, made, corvane, deep, staged}) EXPECT_EQ(r.CloseKey(key), 0);

  machine.SetRegistryTransactionsAvailable(false);
  t = 5;
  EXPECT_EQ(r.CreateTransaction(&t), platform::kRegProcNotFound);
  EXPECT_EQ(t, 0u);
  EXPECT_EQ(r.CreateKeyTransacted(hklm, "SOFTWARE", 0x7000, &deep), platform::kRegProcNotFound);
}

// --- instrumentation ---

class WmiTest : public SimMachineTest {
 protected:
  void SetUp() override {
    SimAdapter a = Adapter(4, u"Bob's \\net", {Addr("10.0.0.1", "255.0.0.0", 1)});
    a.netConnectionStatus = 7;
    a.wmiIndex = 12;
    machine.AddAdapter(a);
    SimAdapter b = Adapter(5, u"本地连接", {Addr("10.0.0.2", "255.0.0.0", 2)});
    b.speed = 54000000;
    b.gateways = {Addr("10.0.0.254", "255.255.255.255", 3)};
    machine.AddAdapter(b);
    SimAdapter c = Adapter(6, u"", {});
    c.ipEnabled = false;
    machine.AddAdapter(c);
  }
  platform::HResult Query(const std::string& wql, std::vector<platform::WmiObject>* rows) {
    return machine.automation().ExecQuery("root\\cimv2", wql, rows);
  }
};

TEST_F(WmiTest, QueriesSelectPropertiesOfMatchingObjects) {
  std::vector<platform::WmiObject> rows;
  ASSERT_EQ(Query("Select * From Win32_NetworkAdapter WHERE NetConnectionID='Bob\\'s \\\\net'", &rows), 0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("NetConnectionStatus").integer, 7);
  EXPECT_EQ(rows[0].at("Index").integer, 12);
  EXPECT_EQ(rows[0].at("InterfaceIndex").integer, 4);
  EXPECT_EQ(rows[0].at("MACAddress").text, "00:11:22:33:44:04");

  // Keywords, names and text comparisons ignore letter case; double quotes work too.
  ASSERT_EQ(
      Query("select speed, GUID from win32_networkadapter where netconnectionid = \"BOB'S \\\\NET\"", &rows),
      0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), 2u);
  EXPECT_EQ(rows[0].at("Speed").text, "100000000");
  EXPECT_EQ(rows[0].at("GUID").text, "{ABCD0004-1111-2222-3333-444455556666}");

  // The connection name arrives in the program's code page.
  ASSERT_EQ(
      Query("Select Speed From Win32_NetworkAdapter WHERE NetConnectionID='\xB1\xBE\xB5\xD8\xC1\xAC\xBD\xD3'",
            &rows),
      0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("Speed").text, "54000000");

  ASSERT_EQ(Query("Select * from Win32_NetworkAdapterConfiguration where IPEnabled=TRUE AND Index=13", &rows),
            0);
  ASSERT_EQ(rows.size(), 0u);
  ASSERT_EQ(Query("Select * from Win32_NetworkAdapterConfiguration where IPEnabled=TRUE", &rows), 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].at("DefaultIPGateway").array, Strings{"10.0.0.254"});
  EXPECT_EQ(rows[1].at("IPSubnet").array, Strings{"255.0.0.0"});
  EXPECT_EQ(rows[1].at("SettingID").text, "{ABCD0005-1111-2222-3333-444455556666}");

  // A name that no adapter bears: no rows, no error; an adapter without a name has a null one.
  ASSERT_EQ(
      Query("Select * From Win32_NetworkAdapter WHERE NetConnectionID='x\\' OR NetConnectionID<>\\''", &rows),
      0);
  EXPECT_TRUE(rows.empty());
  ASSERT_EQ(Query("Select Index From Win32_NetworkAdapter WHERE NetConnectionID IS NULL", &rows), 0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("Index").integer, 6);
}

TEST_F(WmiTest, MalformedQueriesAndUnavailableServicesAnswerTheirCodes) {
  std::vector<platform::WmiObject> rows;
  for (const char* bad : {"Select * From Win32_NetworkAdapter WHERE NetConnectionID='open",
                          "Select * From Win32_NetworkAdapter WHERE NetConnectionID='a\\b'",
                          "Select * From Win32_NetworkAdapter WHERE NetConnectionID='a\\'",
                          "Select Nothing From Win32_NetworkAdapter", "Select * Win32_NetworkAdapter",
                          "Select * From Win32_NetworkAdapter WHERE Index=1 OR Index=2",
                          "Select * From Win32_NetworkAdapter trailing"})
    EXPECT_EQ(Query(bad, &rows), platform::kWbemEInvalidQuery) << bad;
  EXPECT_EQ(Query("Select * From Win32_Nothing", &rows), kWbemEInvalidClass);
  EXPECT_EQ(machine.automation().ExecQuery("root\\default", "Select * From Win32_NetworkAdapter", &rows),
            kWbemEInvalidNamespace);
  EXPECT_EQ(machine.automation().ExecQuery("ROOT\\CIMV2", "Select * From Win32_NetworkAdapter", &rows), 0);

  machine.SetInstrumentationAvailable(false);
  EXPECT_EQ(Query("Select * From Win32_NetworkAdapter", &rows), platform::kClassNotRegistered);
  std::vector<platform::NetConnection> connections;
  ASSERT_EQ(machine.automation().EnumConnections(&connections), 0);
  ASSERT_EQ(connections.size(), 2u);  // the adapter without a name has no connection
  EXPECT_EQ(connections[1].name, "\xB1\xBE\xB5\xD8\xC1\xAC\xBD\xD3");
  EXPECT_EQ(connections[0].status, 7);
  machine.SetConnectionManagerAvailable(false);
  EXPECT_EQ(machine.automation().EnumConnections(&connections), platform::kClassNotRegistered);
}

TEST_F(WmiTest, ConfigurationMethodsChangeTheAdapter) {
  platform::WmiObject out;
  platform::WmiObject in;
  auto& a = machine.automation();
  ASSERT_EQ(a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=12", "EnableDHCP", in, &out),
            0);
  EXPECT_EQ(out.at("ReturnValue").integer, 0);
  EXPECT_EQ(machine.Adapters()[0].dhcpEnabled, 1u);

  in["IPAddress"] = platform::WmiValue::FromArray({"192.168.9.9"});
  in["SubnetMask"] = platform::WmiValue::FromArray({"255.255.255.0"});
  ASSERT_EQ(
      a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=12", "EnableStatic", in, &out), 0);
  EXPECT_EQ(out.at("ReturnValue").integer, 0);
  SimAdapter changed = machine.Adapters()[0];
  EXPECT_EQ(changed.dhcpEnabled, 0u);
  ASSERT_EQ(changed.ipAddresses.size(), 1u);
  EXPECT_EQ(changed.ipAddresses[0].address, "192.168.9.9");
  EXPECT_NE(changed.ipAddresses[0].context, 0u);

  in["SubnetMask"] = platform::WmiValue::FromArray({"255.0.255.0"});
  ASSERT_EQ(
      a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=12", "EnableStatic", in, &out), 0);
  EXPECT_EQ(out.at("ReturnValue").integer, 66);

  EXPECT_EQ(a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=12", "Reboot", in, &out),
            platform::kWbemEInvalidMethod);
  EXPECT_EQ(a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=", "EnableDHCP", in, &out),
            platform::kWbemEInvalidObjectPath);
  EXPECT_EQ(a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration", "EnableDHCP", in, &out),
            platform::kWbemEInvalidObjectPath);
  EXPECT_EQ(a.ExecMethod("root\\cimv2", "Win32_NetworkAdapterConfiguration.Index=4", "EnableDHCP", in, &out),
            kWbemENotFound);
}

// --- script control ---

TEST_F(SimMachineTest, TheDateFunctionPrintsTheEngineDateTextInTheMachinesZone) {
  auto date = [&](const std::string& value) {
    std::unique_ptr<platform::ScriptControl> control;
    EXPECT_EQ(machine.automation().CreateScriptControl("ScriptControl", &control), 0);
    EXPECT_EQ(control->SetLanguage("JScript"), 0);
    EXPECT_EQ(control->ExecuteStatement("function timea(){var d,s;d=new Date();d.setTime('" + value +
                                        "');return(d);}"),
              0);
    std::string result;
    EXPECT_EQ(control->Run("timea", {}, &result), 0);
    return result;
  };
  machine.SetUtcOffsetMinutes(480);
  EXPECT_EQ(date("0"), "Thu Jan 1 08:00:00 UTC+0800 1970");
  EXPECT_EQ(date("-1000"), "Thu Jan 1 07:59:59 UTC+0800 1970");
  EXPECT_EQ(date("1547735956000"), "Thu Jan 17 22:39:16 UTC+0800 2019");
  machine.SetUtcOffsetMinutes(-300);
  EXPECT_EQ(date("0"), "Wed Dec 31 19:00:00 UTC-0500 1969");
  machine.SetUtcOffsetMinutes(0);
  EXPECT_EQ(date("86400000"), "Fri Jan 2 00:00:00 UTC 1970");
  EXPECT_EQ(date("abc"), "NaN");
}

TEST_F(SimMachineTest, TheScriptControlChecksItsIdentifierLanguageAndProcedures) {
  std::unique_ptr<platform::ScriptControl> control;
  EXPECT_EQ(machine.automation().CreateScriptControl("Nothing.Here", &control), kCoEClassString);
  EXPECT_EQ(control, nullptr);
  ASSERT_EQ(machine.automation().CreateScriptControl("MSScriptControl.ScriptControl.1", &control), 0);
  EXPECT_EQ(control->SetLanguage("Perl"), kScriptEInvalidCall);
  EXPECT_EQ(control->SetLanguage("vbscript"), 0);
  std::string result;
  EXPECT_EQ(control->Run("SetIP", {}, &result), kDispEUnknownName);
  EXPECT_EQ(control->AddCode("Private Sub SetIP()\r\nx = Array(\"1.2.3.4\"oops\")\r\nEnd Sub"),
            kScriptESyntax);

  machine.SetScriptControlAvailable(false);
  EXPECT_EQ(machine.automation().CreateScriptControl("ScriptControl", &control),
            platform::kClassNotRegistered);
}

TEST_F(SimMachineTest, TheStaticConfigurationProcedureConfiguresTheAdapterWithThatIndex) {
  SimAdapter a = Adapter(4, u"A", {Addr("10.0.0.1", "255.0.0.0", 1)});
  a.dhcpEnabled = 1;
  a.wmiIndex = 7;
  machine.AddAdapter(a);
  machine.AddAdapter(Adapter(5, u"B", {Addr("10.0.0.2", "255.0.0.0", 2)}));
  const std::string script =
      "Private Sub SetIP()\r\n"
      "strIPAddress = Array(\"192.168.8.8\") \r\n"
      "strSubnetMask = Array(\"255.255.255.0\") \r\n"
      "strGateway = Array(\"192.168.8.1\") \r\n"
      "arrDNSServers = Array(\"223.5.5.5\",\"\")\r\n"
      "\r\n"
      "strComputer = \".\"\r\n"
      "Set objWMIService = GetObject(\"winmgmts:\\\\\" & strComputer & \"\\root\\cimv2\")\r\n"
      "Set colNetAdapters = objWMIService.ExecQuery (\"Select * from Win32_NetworkAdapterConfiguration where "
      "IPEnabled=TRUE\")\r\n"
      "For Each objNetAdapter in colNetAdapters\r\n"
      "  if objnetadapter.Index=7 then\r\n"
      "\tstrGatewayMetric = Array(1)\r\n"
      "\terrEnable = objNetAdapter.EnableStatic(strIPAddress, strSubnetMask)\r\n"
      "\terrGateways = objNetAdapter.SetGateways(strGateway, strGatewaymetric)\r\n"
      "\terrDNS = objNetAdapter.SetDNSServerSearchOrder(arrDNSServers)\r\n"
      "  end if\r\n"
      "Next\r\n"
      "End Sub";
  std::unique_ptr<platform::ScriptControl> control;
  ASSERT_EQ(machine.automation().CreateScriptControl("MSScriptControl.ScriptControl.1", &control), 0);
  ASSERT_EQ(control->SetLanguage("VBScript"), 0);
  ASSERT_EQ(control->AddCode(script), 0);
  ASSERT_EQ(control->ExecuteStatement("SetIP"), 0);

  std::vector<SimAdapter> adapters = machine.Adapters();
  EXPECT_EQ(adapters[0].dhcpEnabled, 0u);
  ASSERT_EQ(adapters[0].ipAddresses.size(), 1u);
  EXPECT_EQ(adapters[0].ipAddresses[0].address, "192.168.8.8");
  ASSERT_EQ(adapters[0].gateways.size(), 1u);
  EXPECT_EQ(adapters[0].gateways[0].address, "192.168.8.1");
  EXPECT_EQ(adapters[0].dnsServers, Strings{"223.5.5.5"});
  EXPECT_EQ(adapters[1].ipAddresses[0].address, "10.0.0.2");  // the other adapter is untouched

  // The persisted configuration follows.
  platform::RegKey key = 0;
  ASSERT_EQ(machine.registry().OpenKey(
                platform::kHkeyLocalMachine,
                "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + a.guid, &key),
            0);
  uint8_t data[64] = {};
  uint32_t size = sizeof data;
  uint32_t type = 0;
  ASSERT_EQ(machine.registry().QueryValue(key, "IPAddress", &type, data, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("192.168.8.8\0\0", 13));
  machine.registry().CloseKey(key);
}

// --- sockets ---

TEST_F(SimMachineTest, InetAddrAcceptsEveryFormOfTheClassicParser) {
  platform::Sockets& s = machine.sockets();
  EXPECT_EQ(s.InetAddr("192.168.1.10"), Net(192, 168, 1, 10));
  EXPECT_EQ(s.InetAddr("1.2.3"), Net(1, 2, 0, 3));
  EXPECT_EQ(s.InetAddr("1.2.300"), Net(1, 2, 1, 44));
  EXPECT_EQ(s.InetAddr("10.65536"), Net(10, 1, 0, 0));
  EXPECT_EQ(s.InetAddr("10"), Net(0, 0, 0, 10));
  EXPECT_EQ(s.InetAddr("0x0A.010.0.1"), Net(10, 8, 0, 1));
  EXPECT_EQ(s.InetAddr("1.2.3.4 trailing"), Net(1, 2, 3, 4));
  EXPECT_EQ(s.InetAddr("255.255.255.255"), platform::kInAddrNone);
  for (const char* bad : {"", "1.2.3.256", "1.2.3.4.5", "1.2.3.", "1..2.3", "08.1.1.1", "1.2.3.4x",
                          "fileserver", "1.256.3", "0x", "4294967296"})
    EXPECT_EQ(s.InetAddr(bad), platform::kInAddrNone) << bad;
}

TEST_F(SimMachineTest, TheHostNameResolvesToTheAdaptersAddressesInOrder) {
  machine.AddAdapter(Adapter(2, u"A", {Addr("10.0.0.1", "255.0.0.0", 1), Addr("10.0.0.2", "255.0.0.0", 2)}));
  machine.AddAdapter(Adapter(3, u"B", {Addr("0.0.0.0", "0.0.0.0", 0)}));
  machine.AddAdapter(Adapter(4, u"C", {Addr("172.16.0.1", "255.255.0.0", 3)}));
  machine.AddHost("other", {"10.9.9.9"});
  platform::Sockets& s = machine.sockets();
  std::string name;
  ASSERT_TRUE(s.GetHostName(&name));
  EXPECT_EQ(name, "CORVANE-DEMO");
  std::vector<uint32_t> addresses;
  ASSERT_TRUE(s.GetHostByName("corvane-demo", &addresses));
  EXPECT_EQ(addresses, (std::vector<uint32_t>{Net(10, 0, 0, 1), Net(10, 0, 0, 2), Net(172, 16, 0, 1)}));
  ASSERT_TRUE(s.GetHostByName("10.1.2.3", &addresses));
  EXPECT_EQ(addresses, std::vector<uint32_t>{Net(10, 1, 2, 3)});
  ASSERT_TRUE(s.GetHostByName("localhost", &addresses));
  EXPECT_EQ(addresses, std::vector<uint32_t>{Net(127, 0, 0, 1)});
  ASSERT_TRUE(s.GetHostByName("OTHER", &addresses));
  EXPECT_EQ(addresses, std::vector<uint32_t>{Net(10, 9, 9, 9)});
  EXPECT_FALSE(s.GetHostByName("nowhere", &addresses));
  machine.FailNext("gethostbyname", 11001);
  EXPECT_FALSE(s.GetHostByName("localhost", &addresses));
}

// --- clipboard, Internet ---

TEST_F(SimMachineTest, ClipboardAndPagesCanFail) {
  EXPECT_TRUE(machine.clipboard().SetText("a\r\nb"));
  EXPECT_EQ(machine.ClipboardText(), "a\r\nb");
  machine.FailNext("OpenClipboard", 5);
  EXPECT_FALSE(machine.clipboard().SetText("c"));
  machine.FailNext("SetClipboardData", 5);
  EXPECT_FALSE(machine.clipboard().SetText("c"));
  std::string text;
  ASSERT_TRUE(machine.clipboard().GetText(&text));
  EXPECT_EQ(text, "a\r\nb");

  // A page handed out in pieces of at most 3 bytes, whatever the reader asks for, then 0 at its end.
  machine.SetPage("http://example.test/p", "page!", 3);
  EXPECT_TRUE(machine.internet().CheckConnection("http://probe.test/"));
  auto request = machine.internet().OpenUrl("agent", "http://example.test/p");
  ASSERT_NE(request, nullptr);
  char buffer[16] = {};
  ASSERT_EQ(request->Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "pag");
  ASSERT_EQ(request->Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'e');
  machine.FailNext("InternetReadFile", 12002);
  EXPECT_EQ(request->Read(buffer, sizeof buffer), 0u);
  ASSERT_EQ(request->Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(buffer[0], '!');
  EXPECT_EQ(request->Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(machine.internet().OpenUrl("agent", "http://example.test/q"), nullptr);
  machine.FailNext("InternetOpenUrlA", 12007);
  EXPECT_EQ(machine.internet().OpenUrl("agent", "http://example.test/p"), nullptr);
  machine.SetOnline(false);
  EXPECT_FALSE(machine.internet().CheckConnection("http://probe.test/"));
  EXPECT_EQ(machine.internet().OpenUrl("agent", "http://example.test/p"), nullptr);
}

// --- kernel ---

TEST_F(SimMachineTest, ClockZoneAndCodePages) {
  platform::Kernel& k = machine.kernel();
  platform::DateTime now = k.LocalNow();
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(now.second, 7);
  platform::DateTime t;
  ASSERT_TRUE(k.UnixToLocal(1547735956, &t));
  EXPECT_EQ(t.day, 17);
  EXPECT_EQ(t.hour, 22);
  machine.SetUtcOffsetMinutes(-300);
  ASSERT_TRUE(k.UnixToLocal(0, &t));
  EXPECT_EQ(t.year, 1969);
  EXPECT_EQ(t.hour, 19);
  EXPECT_FALSE(k.UnixToLocal(INT64_MAX, &t));
  EXPECT_EQ(k.Clock().am, "\xC9\xCF\xCE\xE7");  // 上午 in GBK

  EXPECT_EQ(k.WideToMultiByte(u"本地连接 2", platform::kCodePageGbk), "\xB1\xBE\xB5\xD8\xC1\xAC\xBD\xD3 2");
  EXPECT_EQ(k.WideToMultiByte(u"本地", platform::kCodePageOem), "\xB1\xBE\xB5\xD8");
  EXPECT_EQ(k.MultiByteToWide("\xB1\xBE\xB5\xD8", platform::kCodePageGbk), u"本地");
  EXPECT_EQ(k.MultiByteToWide("\xE6\x9C\xAC\xE5\x9C\xB0", platform::kCodePageUtf8), u"本地");
  EXPECT_EQ(k.WideToMultiByte(u"本地", platform::kCodePageUtf8), "\xE6\x9C\xAC\xE5\x9C\xB0");
  // A character the code page lacks becomes a question mark.
  EXPECT_EQ(k.WideToMultiByte(u"a\u0E01b", platform::kCodePageGbk), "a?b");

  EXPECT_EQ(k.GetSystemDepPolicy(), 2);
  EXPECT_TRUE(k.SetProcessDepPolicy(platform::kProcessDepEnable));
  EXPECT_EQ(machine.ProcessDepPolicy(), platform::kProcessDepEnable);
  EXPECT_FALSE(machine.TerminatedWith().has_value());
  k.TerminateOwnProcess(3);
  EXPECT_EQ(machine.TerminatedWith(), 3u);
}

TEST_F(SimMachineTest, ThreadsRunAndAreWaitedForWhileTheServicesStaySafe) {
  SimAdapter a = Adapter(2, u"A", {});
  machine.AddAdapter(a);
  std::atomic<int> ran{0};
  for (int t = 0; t < 8; ++t) {
    machine.kernel().StartThread([&, t] {
      for (int i = 0; i < 10; ++i) {
        uint32_t c = 0;
        uint32_t n = 0;
        machine.ipHelper().AddIPAddress(Net(10, 2, static_cast<uint8_t>(t), static_cast<uint8_t>(i + 1)),
                                        Net(255, 255, 0, 0), 2, &c, &n);
        uint32_t size = 0;
        machine.ipHelper().GetAdaptersInfo(nullptr, &size);
      }
      ++ran;
    });
  }
  machine.WaitForThreads();
  EXPECT_EQ(ran.load(), 8);
  std::set<uint32_t> contexts;
  const std::vector<SimAdapter> adapters = machine.Adapters();
  for (const auto& address : adapters[0].ipAddresses) contexts.insert(address.context);
  EXPECT_EQ(contexts.size(), 80u);
}

TEST_F(SimMachineTest, AutomationInitialisationsAreCountedPerThread) {
  EXPECT_EQ(machine.automation().Initialize(), platform::kSOk);
  EXPECT_EQ(machine.automation().Initialize(), platform::kSFalse);
  EXPECT_EQ(machine.AutomationInitializations(), 2);
  machine.automation().Uninitialize();
  machine.automation().Uninitialize();
  EXPECT_EQ(machine.AutomationInitializations(), 0);
}

// --- the demo machine ---

TEST(DemoMachine, TheLastAdapterIsTheConnectedEthernetWithItsInterfaceKey) {
  std::unique_ptr<Machine> m = MakeDemoMachine();
  std::vector<SimAdapter> adapters = m->Adapters();
  ASSERT_EQ(adapters.size(), 3u);
  const SimAdapter& last = adapters.back();
  EXPECT_EQ(last.connectionName, u"本地连接");
  EXPECT_EQ(last.netConnectionStatus, 2);
  EXPECT_EQ(last.ipAddresses.size(), 4u);
  EXPECT_EQ(adapters[1].type, 71u);
  EXPECT_EQ(adapters[0].netConnectionStatus, 7);
  std::set<std::string> guids;
  for (const auto& a : adapters) guids.insert(a.guid);
  EXPECT_EQ(guids.size(), 3u);

  platform::RegKey key = 0;
  ASSERT_EQ(
      m->registry().OpenKey(
          platform::kHkeyLocalMachine,
          "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + adapters[1].guid, &key),
      0);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(m->registry().QueryValue(key, "DhcpSubnetMask", &type, nullptr, &size), 0);
  EXPECT_EQ(type, platform::kRegSz);
  m->registry().CloseKey(key);

  EXPECT_TRUE(m->ipHelper().SendEcho(Net(192, 168, 1, 20), 30));
  std::vector<uint32_t> addresses;
  ASSERT_TRUE(m->sockets().GetHostByName("CORVANE-DEMO", &addresses));
  EXPECT_EQ(addresses.size(), 5u);
}

}  // namespace
}  // namespace corvane::sim

namespace corvane::sim {
namespace {

TEST_F(SimMachineTest, AnUnpluggedStaticAdapterListsNoAddressWhileItsKeyKeepsTheConfiguration) {
  SimAdapter a = Adapter(9, u"本地连接 2", {Addr("172.16.40.8", "255.255.240.0", 901), Addr("172.16.40.9", "255.255.240.0", 902)});
  a.gateways = {Addr("172.16.32.1", "255.255.255.255", 990)};
  a.operStatus = 2;
  machine.AddAdapter(a);
  machine.AddAdapter(Adapter(3, u"其他", {Addr("10.0.0.1", "255.0.0.0", 301)}));
  machine.WriteInterfaceKey(9);

  uint32_t size = 0;
  ASSERT_EQ(machine.ipHelper().GetAdaptersInfo(nullptr, &size), platform::kErrorBufferOverflow);
  // Two records and not one further node: the unplugged adapter's lists are single empty nodes.
  EXPECT_EQ(size, 2 * sizeof(IpAdapterInfo));
  Buffer buffer(size);
  ASSERT_EQ(machine.ipHelper().GetAdaptersInfo(buffer.data(), &size), platform::kNoError);
  const auto* info = static_cast<const IpAdapterInfo*>(buffer.data());
  EXPECT_EQ(Text(info->IpAddressList.IpAddress), "0.0.0.0");
  EXPECT_EQ(info->IpAddressList.Context, 0u);
  EXPECT_EQ(info->IpAddressList.Next, nullptr);
  EXPECT_EQ(info->GatewayList.Context, 0u);

  std::vector<platform::AdapterAddresses> entries;
  ASSERT_EQ(machine.ipHelper().GetAdaptersAddresses(0, 0, &entries), platform::kNoError);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].OperStatus, 2u);
  auto stored = machine.LocalMachineValue(
      "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + a.guid, "SubnetMask");
  EXPECT_EQ(stored, std::string("255.255.240.0\0" "255.255.240.0\0\0", 29));
  // Its addresses are not bound: no echo, and another adapter may take one.
  EXPECT_FALSE(machine.ipHelper().SendEcho(Net(172, 16, 40, 8), 30));
  uint32_t context = 0;
  uint32_t instance = 0;
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(172, 16, 40, 9), Net(255, 255, 240, 0), 3, &context, &instance),
            platform::kNoError);
}

TEST_F(SimMachineTest, AfterTheProcessEndsNoCallOfAnyThreadHasAnEffect) {
  machine.AddAdapter(Adapter(3, u"其他", {Addr("10.0.0.1", "255.0.0.0", 301)}));
  machine.EndProcessAfterCalls(2);
  uint32_t context = 0;
  uint32_t instance = 0;
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 0, 0, 2), Net(255, 0, 0, 0), 3, &context, &instance), 0u);
  EXPECT_FALSE(machine.ProcessEnded());
  EXPECT_EQ(machine.ipHelper().AddIPAddress(Net(10, 0, 0, 3), Net(255, 0, 0, 0), 3, &context, &instance), 0u);
  EXPECT_TRUE(machine.ProcessEnded());
  std::atomic<uint32_t> fromThread{0};
  std::thread other([&] {
    uint32_t c = 0;
    uint32_t i = 0;
    fromThread = machine.ipHelper().AddIPAddress(Net(10, 0, 0, 4), Net(255, 0, 0, 0), 3, &c, &i);
  });
  other.join();
  EXPECT_EQ(fromThread.load(), kProcessEndedCode);
  EXPECT_FALSE(machine.kernel().StartThread([] {}));
  platform::RegKey key = 0;
  EXPECT_NE(machine.registry().CreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\X", &key), 0);
  EXPECT_EQ(machine.Adapters()[0].ipAddresses.size(), 3u);
  EXPECT_EQ(machine.Calls().size(), 2u);
  EXPECT_EQ(machine.LocalMachineValue("SOFTWARE\\X", "v"), std::nullopt);
}

TEST_F(SimMachineTest, ALatencyOrASleepHoldsUpOnlyItsOwnThreadAndTheEndCutsItShort) {
  machine.AddAdapter(Adapter(3, u"其他", {Addr("10.0.0.1", "255.0.0.0", 301)}));
  // A sleep lasts its time and answers true while the process runs; it is not a recorded call.
  machine.ClearCalls();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(machine.kernel().Sleep(30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_EQ(machine.Calls(), Strings{});

  machine.SetLatency("IcmpSendEcho", 60000);
  std::atomic<bool> answered{false};
  std::atomic<int> slept{-1};
  std::thread slow([&] {
    machine.ipHelper().SendEcho(Net(10, 0, 0, 1), 30);
    answered = true;
  });
  std::thread sleeper([&] { slept = machine.kernel().Sleep(60000) ? 1 : 0; });
  // Other calls go on meanwhile.
  std::vector<platform::AdapterAddresses> entries;
  EXPECT_EQ(machine.ipHelper().GetAdaptersAddresses(0, 0, &entries), platform::kNoError);
  EXPECT_FALSE(answered.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // both are waiting by now
  EXPECT_EQ(slept.load(), -1);
  const auto end = std::chrono::steady_clock::now();
  machine.kernel().TerminateOwnProcess(0);
  slow.join();
  sleeper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - end, std::chrono::seconds(5));
  EXPECT_TRUE(answered.load());
  EXPECT_EQ(slept.load(), 0);  // cut short: the process has ended
  EXPECT_EQ(machine.TerminatedWith(), std::optional<uint32_t>(0));
  // From the end on a sleep answers false at once.
  const auto afterEnd = std::chrono::steady_clock::now();
  EXPECT_FALSE(machine.kernel().Sleep(60000));
  EXPECT_LT(std::chrono::steady_clock::now() - afterEnd, std::chrono::seconds(5));
}

}  // namespace
}  // namespace corvane::sim

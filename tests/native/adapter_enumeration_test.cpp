#include "app/adapter_enumeration.h"

#include "app_fixture.h"

namespace corvane::testing {
namespace {

class EnumerationTest : public ::testing::Test {
 protected:
  std::shared_ptr<const app::AdapterSnapshot> Enumerate() {
    return app::EnumerateAdapters(machine.ipHelper(), machine.router(), machine.kernel(), routerHandle);
  }
  sim::Machine machine;
  uintptr_t routerHandle = 0;
};

TEST(PhysicalAddress, TwoUppercaseDigitsPerByteJoinedByHyphens) {
  const uint8_t bytes[] = {0x10, 0x0F, 0xAB, 0x00, 0xFF, 0x5E};
  EXPECT_EQ(app::FormatPhysicalAddress(bytes, 6), "10-0F-AB-00-FF-5E");
  EXPECT_EQ(app::FormatPhysicalAddress(bytes, 6).size(), 17u);
  EXPECT_EQ(app::FormatPhysicalAddress(bytes, 1), "10");
  EXPECT_EQ(app::FormatPhysicalAddress(bytes, 0), "");
}

TEST_F(EnumerationTest, ReadsEveryAdapterWithItsRecordThroughTheTwoCallProtocol) {
  sim::SimAdapter a = Ethernet(7, u"本地连接", {"192.168.1.10", "192.168.1.11"});
  a.gateways = {Addr("192.168.1.1", "255.255.255.255", 9001)};
  a.dnsServers = {"192.168.1.1", "223.5.5.5", "8.8.8.8"};
  a.dhcpEnabled = 1;
  a.leaseObtained = 1547735956;
  a.leaseExpires = 1547822356;
  machine.AddAdapter(a);
  machine.ClearCalls();

  auto s = Enumerate();
  ASSERT_EQ(s->adapters.Size(), 1u);
  const app::AdapterRecord& r = *s->adapters.Get(7);
  EXPECT_EQ(r.connectionName, "本地连接");
  EXPECT_EQ(r.adapterName, a.guid);
  EXPECT_EQ(r.description, a.description);
  EXPECT_EQ(r.physicalAddress, "00-1A-2B-3C-4D-07");
  EXPECT_EQ(r.adapterType, 6u);
  EXPECT_EQ(r.dhcpEnabled, 1u);
  EXPECT_EQ(r.ipCount, 2u);
  EXPECT_EQ(r.gatewayCount, 1u);
  EXPECT_EQ(r.preferredDns, "192.168.1.1");
  EXPECT_EQ(r.alternateDns, "223.5.5.5");
  EXPECT_EQ(r.leaseObtained, 1547735956);
  EXPECT_EQ(r.leaseExpires, 1547822356);

  const app::AddressRow* first = s->table(app::AddressKind::Ip).Get("192.168.1.10");
  const app::AddressRow* last = s->table(app::AddressKind::Ip).Get("192.168.1.11");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(first->mask, "255.255.255.0");
  EXPECT_EQ(first->context, 701u);
  EXPECT_EQ(first->adapterIndex, 7u);
  EXPECT_NE(first->next, 0u);
  EXPECT_EQ(last->next, 0u);

  // Size first, then the buffer: both protocols as the service expects them.
  std::vector<std::string> calls = machine.Calls();
  auto count = [&](const std::string& what) {
    return std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.find(what) == 0; });
  };
  EXPECT_EQ(count("GetAdaptersInfo"), 2);
  EXPECT_EQ(count("GetInterfaceInfo"), 2);
  EXPECT_EQ(count("GetPerAdapterInfo"), 2);
}

TEST_F(EnumerationTest, NodesWithContextZeroAreNeitherStoredNorCountedForAnyKind) {
  sim::SimAdapter a = Ethernet(3, u"A", {});
  a.gateways = {Addr("10.0.0.1", "0.0.0.0", 0)};
  a.dhcpServers = {Addr("10.0.0.2", "", 0)};
  a.haveWins = 1;
  a.primaryWins = {Addr("10.0.0.3", "", 0), Addr("10.0.0.4", "", 55)};
  a.secondaryWins = {Addr("10.0.0.5", "", 0)};
  machine.AddAdapter(a);

  auto s = Enumerate();
  const app::AdapterRecord& r = *s->adapters.Get(3);
  EXPECT_EQ(r.ipCount, 0u);
  EXPECT_EQ(r.gatewayCount, 0u);
  EXPECT_EQ(r.dhcpServerCount, 0u);
  EXPECT_EQ(r.primaryWinsCount, 1u);
  EXPECT_EQ(r.secondaryWinsCount, 0u);
  EXPECT_EQ(r.haveWins, 1);
  EXPECT_TRUE(s->table(app::AddressKind::Ip).Empty());
  EXPECT_TRUE(s->table(app::AddressKind::Gateway).Empty());
  EXPECT_TRUE(s->table(app::AddressKind::DhcpServer).Empty());
  EXPECT_EQ(s->table(app::AddressKind::PrimaryWins).Size(), 1u);
  EXPECT_NE(s->table(app::AddressKind::PrimaryWins).Get("10.0.0.4"), nullptr);
  EXPECT_TRUE(s->table(app::AddressKind::SecondaryWins).Empty());
}

TEST_F(EnumerationTest, TheSameAddressOnTwoAdaptersLeavesOneRowAndCountsOnBoth) {
  machine.AddAdapter(Ethernet(1, u"A", {"10.1.1.1", "10.9.9.9"}));
  machine.AddAdapter(Ethernet(2, u"B", {"10.9.9.9"}));
  auto s = Enumerate();
  EXPECT_EQ(s->adapters.Get(1)->ipCount, 2u);
  EXPECT_EQ(s->adapters.Get(2)->ipCount, 1u);
  EXPECT_EQ(s->table(app::AddressKind::Ip).Size(), 2u);
  EXPECT_EQ(s->table(app::AddressKind::Ip).Get("10.9.9.9")->adapterIndex, 2u);
}

TEST_F(EnumerationTest, AnAdapterWithoutAConnectionNameGetsAnEmptyOne) {
  machine.AddAdapter(Ethernet(1, u"有名字", {"10.1.1.1"}));
  machine.AddAdapter(Ethernet(2, u"", {"10.1.1.2"}));
  auto s = Enumerate();
  EXPECT_EQ(s->adapters.Get(1)->connectionName, "有名字");
  EXPECT_EQ(s->adapters.Get(2)->connectionName, "");
}

TEST_F(EnumerationTest, WithoutTheRouterServiceNamesAreEmptyButAdaptersAreListed) {
  machine.SetRouterAdminAvailable(false);
  machine.AddAdapter(Ethernet(1, u"A", {"10.1.1.1"}));
  auto s = Enumerate();
  ASSERT_EQ(s->adapters.Size(), 1u);
  EXPECT_EQ(s->adapters.Get(1)->connectionName, "");
}

TEST_F(EnumerationTest, OneDnsServerLeavesTheAlternateEmptyAndAFailedLookupLeavesBoth) {
  sim::SimAdapter a = Ethernet(1, u"A", {"10.1.1.1"});
  a.dnsServers = {"114.114.114.114"};
  machine.AddAdapter(a);
  sim::SimAdapter b = Ethernet(2, u"B", {"10.1.1.2"});
  b.dnsServers = {"1.1.1.1", "9.9.9.9"};
  machine.AddAdapter(b);
  auto s = Enumerate();
  EXPECT_EQ(s->adapters.Get(1)->preferredDns, "114.114.114.114");
  EXPECT_EQ(s->adapters.Get(1)->alternateDns, "");

  machine.FailNext("GetPerAdapterInfo", 87);
  s = Enumerate();
  EXPECT_EQ(s->adapters.Get(1)->preferredDns, "");
  EXPECT_EQ(s->adapters.Get(1)->alternateDns, "");
  EXPECT_EQ(s->adapters.Get(2)->alternateDns, "9.9.9.9");
}

TEST_F(EnumerationTest, NoAdaptersOrAFailingServiceLeaveAllSixTablesEmpty) {
  auto s = Enumerate();
  EXPECT_TRUE(s->adapters.Empty());
  for (const auto& table : s->addresses) EXPECT_TRUE(table.Empty());

  machine.AddAdapter(Ethernet(1, u"A", {"10.1.1.1"}));
  machine.FailNext("GetAdaptersInfo", 50);
  s = Enumerate();
  EXPECT_TRUE(s->adapters.Empty());
  for (const auto& table : s->addresses) EXPECT_TRUE(table.Empty());
}

}  // namespace
}  // namespace corvane::testing

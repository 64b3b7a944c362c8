#include <algorithm>

#include "app/adapter_view.h"
#include "app/connection_query.h"
#include "app/lease_time.h"

#include "app_fixture.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;

class ReportTest : public AppTest {
 protected:
  Strings ReportLines() { return text::Split(Main().Text(mw::kReport), "\r\n"); }
};

TEST_F(ReportTest, TheReportHasSeventeenLinesInOrderAndNoTrailingBreak) {
  sim::SimAdapter a = Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11"});
  a.gateways = {Addr("192.168.1.1", "255.255.255.255", 501)};
  a.dnsServers = {"192.168.1.1", "223.5.5.5"};
  a.type = 71;
  machine.AddAdapter(a);
  StartApp();
  const std::string report = Main().Text(mw::kReport);
  EXPECT_NE(report.substr(report.size() - 2), "\r\n");
  EXPECT_EQ(ReportLines(), (Strings{"连接名称：本地连接", "网卡状态：已连接",
                                    "适配器描述：" + a.description, "适配器名称：" + a.guid,
                                    "物理地址：00-1A-2B-3C-4D-04", "适配器类型：IEEE80211", "已启用DHCP：否",
                                    "IPv4地址链表：2", "IPv4网关地址链表：1", "DHCP服务器的IPv4地址链表：0",
                                    "使用WINS服务器：否", "主WINS服务器：0", "辅WINS服务器：0",
                                    "首选DNS服务器：192.168.1.1", "备用DNS服务器：223.5.5.5",
                                    "DHCP获得租约时间：1970-1-1 08:00:00", "DHCP租约过期时间：1970-1-1 08:00:00"}));
  const app::AdapterContext ctx = Context().adapterContext();
  EXPECT_EQ(ctx.adapterName, a.guid);
  EXPECT_EQ(ctx.preferredDns, "192.168.1.1");
  EXPECT_EQ(ctx.alternateDns, "223.5.5.5");
}

TEST_F(ReportTest, NothingSelectedGivesTheEmptyRecord) {
  StartApp();
  Strings lines = ReportLines();
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0], "连接名称：");
  EXPECT_EQ(lines[5], "适配器类型：0");
  EXPECT_EQ(lines[6], "已启用DHCP：否");
  EXPECT_EQ(lines[7], "IPv4地址链表：0");
  EXPECT_EQ(lines[10], "使用WINS服务器：否");
  EXPECT_EQ(lines[15], "DHCP获得租约时间：1970-1-1 08:00:00");
  EXPECT_EQ(lines[16], "DHCP租约过期时间：1970-1-1 08:00:00");
  EXPECT_FALSE(Main().IsMenuItemEnabled(mw::kMenuProperties));
}

TEST(ReportTexts, StatusTypeAndYesNoTexts) {
  EXPECT_EQ(app::StatusText(0), "已断开");
  EXPECT_EQ(app::StatusText(2), "已连接");
  EXPECT_EQ(app::StatusText(7), "网线断开");
  EXPECT_EQ(app::StatusText(12), "缺少证书");
  // Outside the table the number itself is shown.
  EXPECT_EQ(app::StatusText(-1), "-1");
  EXPECT_EQ(app::StatusText(13), "13");
  EXPECT_EQ(app::AdapterTypeText(6), "以太网适配器");
  EXPECT_EQ(app::AdapterTypeText(15), "FDDI（光纤分布数据接口）适配器");
  EXPECT_EQ(app::AdapterTypeText(24), "Loopback适配器");
  EXPECT_EQ(app::AdapterTypeText(131), "131");
  EXPECT_EQ(app::YesNoText(0), "否");
  EXPECT_EQ(app::YesNoText(1), "是");
  EXPECT_EQ(app::YesNoText(5), "5");
}

TEST(ReportTexts, MegabitsWithoutTrailingZeros) {
  EXPECT_EQ(app::MegabitsText(100000000), "100");
  EXPECT_EQ(app::MegabitsText(54000000), "54");
  EXPECT_EQ(app::MegabitsText(1500000), "1.5");
  EXPECT_EQ(app::MegabitsText(0), "0");
  EXPECT_EQ(app::MegabitsText(10000000000), "10000");
}

TEST_F(ReportTest, ADisconnectedAdapterDisablesThePropertiesItemAndLogsNoSpeed) {
  sim::SimAdapter a = Ethernet(4, u"本地连接 2", {});
  a.netConnectionStatus = 7;
  a.operStatus = 2;
  a.mtu = 1500;
  machine.AddAdapter(a);
  StartApp();
  EXPECT_EQ(ReportLines()[1], "网卡状态：网线断开");
  EXPECT_FALSE(Main().IsMenuItemEnabled(mw::kMenuProperties));
  EXPECT_EQ(LogAfter(1), (Strings{"本地连接 2 共计0个IP-地址.", "-------------------------------------",
                                  "本地连接 2 媒体状态状态-已断开.", "本地连接 2 最大传输单元1500."}));
}

TEST_F(ReportTest, AConnectedAdapterEnablesThePropertiesItemAndLogsItsSpeed) {
  for (auto [speed, text] : {std::pair<uint64_t, const char*>{100000000, "100"}, {54000000, "54"},
                             {1500000, "1.5"}, {10000000000, "10000"}}) {
    machine.RemoveAdapter(4);
    sim::SimAdapter a = Ethernet(4, u"本地连接", {"10.0.0.1"});
    a.speed = speed;
    machine.AddAdapter(a);
    if (!app) StartApp();
    Main().Click(mw::kRefreshButton);
    EXPECT_TRUE(Main().IsMenuItemEnabled(mw::kMenuProperties));
    Strings log = Log();
    EXPECT_EQ(log[log.size() - 3], std::string("本地连接 最大传输速度") + text + "Mbps");
  }
  // The item follows the status of each report: disabled again for a disconnected adapter.
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.netConnectionStatus = 0; });
  Main().Click(mw::kRefreshButton);
  EXPECT_FALSE(Main().IsMenuItemEnabled(mw::kMenuProperties));
}

TEST_F(ReportTest, AnUnreadableInterfaceRowGivesMtuMinusOne) {
  machine.AddAdapter(Ethernet(4, u"本地连接", {"10.0.0.1"}));
  StartApp();
  machine.FailNext("GetIfEntry", 1168);
  Main().Click(mw::kRefreshButton);
  Strings log = Log();
  EXPECT_EQ(log[log.size() - 2], "本地连接 最大传输单元-1.");
}

TEST_F(ReportTest, AnAdapterListThatFailsIsLoggedWithItsCodeAndNotAsAnUnpluggedCable) {
  machine.AddAdapter(Ethernet(4, u"本地连接", {"10.0.0.1"}));
  StartApp();
  size_t before = Log().size();
  // The refresh's enumeration asks first (and is answered with nothing), then the report.
  machine.FailNext("GetAdaptersAddresses", 0);
  machine.FailNext("GetAdaptersAddresses", 8);  // ERROR_NOT_ENOUGH_MEMORY
  Main().Click(mw::kRefreshButton);
  Strings after = LogAfter(before);
  ASSERT_EQ(after.size(), 7u);
  EXPECT_EQ(Strings(after.begin() + 2, after.end()),
            (Strings{"-------------------------------------", "本地连接 查询媒体状态 失败,返回代码8.",
                     "本地连接 最大传输速度100Mbps", "本地连接 最大传输单元1500.", "刷新显示完成."}));
  // No adapter at all (ERROR_NO_DATA) is a list that holds none by that name.
  machine.RemoveAdapter(4);
  before = Log().size();
  Main().Click(mw::kRefreshButton);
  after = LogAfter(before);
  EXPECT_NE(std::find(after.begin(), after.end(), " 媒体状态状态-已断开."), after.end()) << after.size();
}

TEST_F(ReportTest, NoStatusFoundShowsMinusOneAndStillBuildsTheReport) {
  machine.SetInstrumentationAvailable(false);
  machine.SetConnectionManagerAvailable(false);
  machine.AddAdapter(Ethernet(4, u"本地连接", {"10.0.0.1"}));
  StartApp();
  Strings lines = ReportLines();
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[1], "网卡状态：-1");
  EXPECT_FALSE(Main().IsMenuItemEnabled(mw::kMenuProperties));
}

TEST_F(ReportTest, TheConnectionManagerAnswersWhenInstrumentationHasNoStatus) {
  machine.SetInstrumentationAvailable(false);
  machine.AddAdapter(Ethernet(4, u"Local Area Connection", {"10.0.0.1"}));
  StartApp();
  EXPECT_EQ(ReportLines()[1], "网卡状态：已连接");
  // The manager's names are matched ignoring case and the spaces at both ends, ASCII and full-width.
  EXPECT_EQ(Context().connections.ConnectionStatus("  LOCAL area Connection\xA1\xA1"), 2);
  EXPECT_EQ(Context().connections.ConnectionStatus("local area  connection"), -1);
  EXPECT_EQ(Context().connections.ConnectionStatus("localareaconnection"), -1);
}

TEST_F(ReportTest, TheConnectionManagerTellsNamesApartThatDifferOnlyInInnerSpaces) {
  machine.SetInstrumentationAvailable(false);
  sim::SimAdapter spaced = Ethernet(4, u"本地连接 2", {"10.0.0.1"});
  spaced.netConnectionStatus = 7;
  machine.AddAdapter(spaced);
  machine.AddAdapter(Ethernet(5, u"本地连接2", {"10.0.0.2"}));
  StartApp();
  EXPECT_EQ(Context().connections.ConnectionStatus("本地连接 2"), 7);
  EXPECT_EQ(Context().connections.ConnectionStatus("本地连接2"), 2);
}

TEST_F(ReportTest, ConnectionNamesWithQuotesAndBackslashesSelectOnlyTheirOwnAdapter) {
  sim::SimAdapter quoted = Ethernet(4, u"Bob's \\net", {"10.0.0.1"});
  quoted.netConnectionStatus = 7;
  quoted.speed = 54000000;
  machine.AddAdapter(quoted);
  sim::SimAdapter other = Ethernet(5, u"x' OR NetConnectionID<>'", {"10.0.0.2"});
  other.netConnectionStatus = 2;
  machine.AddAdapter(other);
  StartApp();
  app::ConnectionQuery& q = Context().connections;
  EXPECT_EQ(q.ConnectionStatus("Bob's \\net"), 7);
  EXPECT_EQ(q.LinkSpeed("Bob's \\net"), 54000000);
  // A name built to widen the query matches only the adapter that really bears it.
  EXPECT_EQ(q.ConnectionStatus("x' OR NetConnectionID<>'"), 2);
  EXPECT_EQ(app::EscapeWqlString("a'b\\c"), "a\\'b\\\\c");
}

class AddressListTest : public AppTest {
 protected:
  void SetUp() override {
    sim::SimAdapter a = Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11", "192.168.1.12"});
    a.gateways = {Addr("192.168.1.1", "255.255.255.255", 501)};
    a.dhcpServers = {Addr("192.168.1.2", "255.255.255.255", 502)};
    a.haveWins = 1;
    a.primaryWins = {Addr("192.168.1.3", "255.255.255.255", 503)};
    a.secondaryWins = {Addr("192.168.1.4", "255.255.255.255", 504)};
    machine.AddAdapter(a);
  }
};

TEST_F(AddressListTest, OnlyTheIpBoxCheckedListsTheAdaptersAddressesNumberedFromOne) {
  StartApp();
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 3u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    EXPECT_EQ(rows[i][2], "255.255.255.0");
    EXPECT_EQ(rows[i][3], std::to_string(401 + i));
    EXPECT_EQ(rows[i][5], "4");
    EXPECT_EQ(rows[i][6], "IP-地址");
  }
  EXPECT_EQ(rows[0][1], "192.168.1.10");
  EXPECT_NE(rows[0][4], "0");
  EXPECT_EQ(rows[2][4], "0");
}

TEST_F(AddressListTest, AllFiveBoxesGroupTheKindsInOrderNumberedAcrossGroups) {
  StartApp();
  for (const char* box : {mw::kShowGateway, mw::kShowDhcp, mw::kShowPrimaryWins, mw::kShowSecondaryWins})
    Main().Click(box);
  // The boxes take effect at the next showing.
  EXPECT_EQ(ListRows().size(), 3u);
  Main().ChooseItem(mw::kSelector, 0);
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 7u);
  Strings kinds;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    kinds.push_back(rows[i][6]);
  }
  EXPECT_EQ(kinds, (Strings{"IP-地址", "IP-地址", "IP-地址", "IP-网关", "DHCP-IP", " 主-WINS-IP", "辅-WINS-IP"}));
  EXPECT_EQ(rows[3][1], "192.168.1.1");
  EXPECT_EQ(rows[6][1], "192.168.1.4");
}

TEST_F(AddressListTest, WithTheIpBoxUncheckedNoTotalLineIsLogged) {
  StartApp();
  Main().Click(mw::kShowIp);
  Main().Click(mw::kShowGateway);
  size_t before = Log().size();
  Main().ChooseItem(mw::kSelector, 0);
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][6], "IP-网关");
  for (const auto& line : LogAfter(before)) EXPECT_EQ(line.find("共计"), std::string::npos) << line;
}

TEST_F(AddressListTest, TheTotalCountsTheAddressesOfAllAdapters) {
  machine.RemoveAdapter(4);
  machine.AddAdapter(Ethernet(1, u"甲", {"10.0.0.1", "10.0.0.2"}));
  machine.AddAdapter(Ethernet(2, u"乙", {"10.0.1.1", "10.0.1.2"}));
  StartApp();
  EXPECT_EQ(ListRows().size(), 2u);
  Main().ChooseItem(mw::kSelector, 0);
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "10.0.0.1");
  Strings log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "甲 共计4个IP-地址."), log.end());
}

TEST_F(AddressListTest, EachShowingReplacesTheRowsInOneBatch) {
  StartApp();
  for (const char* box : {mw::kShowGateway, mw::kShowDhcp, mw::kShowPrimaryWins, mw::kShowSecondaryWins})
    Main().Click(box);
  const int before = Main().batchCalls();
  Main().ChooseItem(mw::kSelector, 0);
  EXPECT_EQ(Main().batchCalls() - before, 1);
  EXPECT_EQ(ListRows().size(), 7u);
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(Main().batchCalls() - before, 2);
  EXPECT_EQ(ListRows().size(), 7u);
  // Nothing selected: no row.
  EXPECT_TRUE(app::AddressListRows(*Context().snapshot.Load(), -1, app::ReadShownKinds(Context())).empty());
}

TEST_F(AddressListTest, AShortFillIsOneBatchWithoutAnEventRound) {
  StartApp();
  for (const char* box : {mw::kShowGateway, mw::kShowDhcp, mw::kShowPrimaryWins, mw::kShowSecondaryWins})
    Main().Click(box);
  const int before = windows.pendingEventRounds();
  Main().ChooseItem(mw::kSelector, 0);
  EXPECT_EQ(windows.pendingEventRounds() - before, 0);
  EXPECT_EQ(ListRows().size(), 7u);
}

class LargeAddressListTest : public AppTest {
 protected:
  // Adapter 4 with kCount addresses 10.a.b.c, then adapter 20 with 5 of its own.
  void SetUp() override {
    machine.AddAdapter(Ethernet(4, u"本地连接", ManyAddresses(kCount)));
    machine.AddAdapter(Ethernet(20, u"本地连接 2", {"172.16.0.1", "172.16.0.2", "172.16.0.3", "172.16.0.4", "172.16.0.5"}));
  }
  static constexpr int kCount = 5000;
};

TEST_F(LargeAddressListTest, EveryRowAndCellAsTheTableHoldsThemInTableOrder) {
  StartApp();
  Main().ChooseItem(mw::kSelector, 0);
  auto snapshot = Context().snapshot.Load();
  std::vector<Strings> expected;
  for (const auto& [address, row] : snapshot->table(app::AddressKind::Ip)) {
    if (row.adapterIndex != 4) continue;
    expected.push_back({std::to_string(expected.size() + 1), row.address, row.mask, std::to_string(row.context),
                        std::to_string(static_cast<uint64_t>(row.next)), "4", "IP-地址"});
  }
  ASSERT_EQ(expected.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(ListRows(), expected);
  EXPECT_EQ(expected[kCount - 1][1], "10.0.19.135");
  EXPECT_EQ(expected[kCount - 1][4], "0");
  Strings log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "本地连接 共计5005个IP-地址."), log.end());

  // The other adapter: its five rows numbered from one, the total the same.
  Main().ChooseItem(mw::kSelector, 1);
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (Strings{"1", "172.16.0.1", "255.255.255.0", "2001", rows[0][4], "20", "IP-地址"}));
  EXPECT_EQ(rows[4][0], "5");
  log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "本地连接 2 共计5005个IP-地址."), log.end());
}

// The view is worked out on the worker and applied at once: no worker processes the window's
// events (on Windows that would only pump the worker's own empty queue), and while the refresh
// asks the services the list still shows its rows until the one batch replaces them.
TEST_F(LargeAddressListTest, TheListChangesInOneStepAndNoWorkerProcessesEvents) {
  StartApp();
  int before = windows.pendingEventRounds();
  Main().ChooseItem(mw::kSelector, 0);
  EXPECT_EQ(windows.pendingEventRounds() - before, 0);
  size_t rowsSeen = 0;
  int queries = 0;
  machine.SetCallObserver([&](const std::string& call) {
    if (call.rfind("ExecQuery", 0) != 0) return;
    ++queries;
    EXPECT_FALSE(Main().IsEnabled(mw::kRefreshButton));
    rowsSeen = Main().Rows(mw::kAddressList).size();
  });
  const int batches = Main().batchCalls();
  Main().Click(mw::kRefreshButton);
  machine.SetCallObserver(nullptr);
  EXPECT_GT(queries, 0);
  EXPECT_EQ(rowsSeen, static_cast<size_t>(kCount));
  EXPECT_EQ(Main().batchCalls() - batches, 1);
  EXPECT_EQ(windows.pendingEventRounds() - before, 0);
  EXPECT_EQ(ListRows().size(), static_cast<size_t>(kCount));
}

class LeaseTimeTest : public ::testing::Test {
 protected:
  std::string Format(const std::string& value) { return app::FormatLeaseTime(value, machine.kernel()); }
  sim::Machine machine;
};

TEST_F(LeaseTimeTest, TenDigitValuesAreShownInTheMachinesOwnTimeZone) {
  machine.SetClock(platform::ClockSettings{true, "上午", "下午"});
  machine.SetUtcOffsetMinutes(480);
  EXPECT_EQ(Format("1547735956"), "2019-01-17 22:39:16");
  machine.SetUtcOffsetMinutes(-300);
  EXPECT_EQ(Format("1547735956"), "2019-01-17 09:39:16");
  machine.SetUtcOffsetMinutes(0);
  EXPECT_EQ(Format("1547735956"), "2019-01-17 14:39:16");
}

TEST_F(LeaseTimeTest, ATwelveHourClockCarriesTheMarker) {
  machine.SetUtcOffsetMinutes(480);
  machine.SetClock(platform::ClockSettings{false, "上午", "下午"});
  EXPECT_EQ(Format("1547735956"), "2019-01-17 10:39:16 下午");
  EXPECT_EQ(Format("1547654400"), "2019-01-17 12:00:00 上午");
  machine.SetClock(platform::ClockSettings{false, "AM", "PM"});
  EXPECT_EQ(Format("1547697600"), "2019-01-17 12:00:00 PM");
}

TEST_F(LeaseTimeTest, OtherValuesAreMillisecondsShownWithUnpaddedDate) {
  machine.SetUtcOffsetMinutes(480);
  EXPECT_EQ(Format("0"), "1970-1-1 08:00:00");
  EXPECT_EQ(Format("-1000"), "1970-1-1 07:59:59");
  EXPECT_EQ(Format("999999999"), "1970-1-12 21:46:39");
  machine.SetUtcOffsetMinutes(-300);
  EXPECT_EQ(Format("0"), "1969-12-31 19:00:00");
  // The 12-hour setting does not touch this form.
  machine.SetClock(platform::ClockSettings{false, "AM", "PM"});
  EXPECT_EQ(Format("0"), "1969-12-31 19:00:00");
  EXPECT_EQ(Format("abc"), "");
}

}  // namespace
}  // namespace corvane::testing

#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/stored_texts.h"

#include <algorithm>
#include <thread>

#include "app_fixture.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;

class AdapterViewTest : public AppTest {
 protected:
  void AddAdapters(int count) {
    for (int i = 1; i <= count; ++i) {
      machine.AddAdapter(Ethernet(static_cast<uint32_t>(10 + i), u"连接" + std::u16string(1, u'0' + i),
                                  {"10.0." + std::to_string(i) + ".1"}));
    }
  }
  bool BusyControlsEnabled(bool enabled) {
    return Main().IsEnabled(mw::kRefreshButton) == enabled && Main().IsEnabled(mw::kSelector) == enabled &&
           Main().IsMenuItemEnabled(mw::kMenuAdd) == enabled && Main().IsMenuItemEnabled(mw::kMenuDelete) == enabled;
  }
};

TEST_F(AdapterViewTest, StartUpSelectsTheLastAdapterAndLeavesTheBusyStateOff) {
  AddAdapters(3);
  StartApp();
  EXPECT_EQ(Main().ItemTexts(mw::kSelector), (Strings{"连接1", "连接2", "连接3"}));
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), 2);
  EXPECT_EQ(Context().selectedAdapterIndex, 13);
  EXPECT_TRUE(BusyControlsEnabled(true));
  EXPECT_EQ(Main().Title(), app::Decipher(app::StoredText::WindowTitle));
  EXPECT_EQ(Main().Text(mw::kCommunityLink), "用户交流");
  EXPECT_EQ(Main().Text(mw::kIssueLink), "提交问题");
  EXPECT_EQ(Log().front(), app::Decipher(app::StoredText::Banner));
}

TEST_F(AdapterViewTest, TheFirstFillRunsBusyWithTheFourControlsDisabled) {
  AddAdapters(2);
  // Every service call of the start-up worker sees the four controls disabled. The update check
  // runs on a thread of its own outside the busy state: its Internet calls do not count.
  const std::thread::id testThread = std::this_thread::get_id();
  std::vector<bool> disabled;
  machine.SetCallObserver([&](const std::string& call) {
    if (std::this_thread::get_id() != testThread && !windows.OnWindowThread() && windows.mainWindow() != nullptr &&
        call.rfind("Internet", 0) != 0 && call.rfind("CreateThread", 0) != 0)
      disabled.push_back(BusyControlsEnabled(false));
  });
  StartApp();
  machine.SetCallObserver(nullptr);
  ASSERT_GT(disabled.size(), 5u);
  EXPECT_EQ(std::count(disabled.begin(), disabled.end(), false), 0);
  EXPECT_TRUE(BusyControlsEnabled(true));
}

TEST_F(AdapterViewTest, AColumnClickWhileBusyDoesNothing) {
  machine.AddAdapter(Ethernet(5, u"本地连接", {"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
  StartApp();
  const auto rows = ListRows();
  const size_t logLines = Log().size();
  const int direction = Context().sortDirection;
  app::OperationHold busy = HoldBusy();
  machine.ClearCalls();
  EXPECT_TRUE(Main().ClickColumn(mw::kAddressList, 1));
  machine.WaitForThreads();
  EXPECT_EQ(ListRows(), rows);
  EXPECT_EQ(Log().size(), logLines);
  EXPECT_EQ(Context().sortDirection, direction);
  EXPECT_EQ(machine.Calls(), Strings{});
  busy.reset();
}

TEST_F(AdapterViewTest, TheBusyStateCoversTheFourControlsAndNothingElse) {
  AddAdapters(1);
  // Enough addresses for the fill to let the window process its events on the way.
  machine.AddAdapter(Ethernet(20, u"服务器", ManyAddresses(4096)));
  StartApp();
  bool sawBusy = false;
  machine.SetCallObserver([&](const std::string& call) {
    // While the refresh asks the services, the refresh, the selector and the add and delete items
    // are disabled; the items that do not change addresses stay as they were.
    if (call.rfind("ExecQuery", 0) != 0) return;
    sawBusy = true;
    EXPECT_TRUE(BusyControlsEnabled(false));
    EXPECT_TRUE(Main().IsMenuItemEnabled(mw::kMenuCopyAll));
    EXPECT_TRUE(Main().IsMenuItemEnabled(mw::kMenuAbout));
  });
  Main().Click(mw::kRefreshButton);
  machine.SetCallObserver(nullptr);
  EXPECT_TRUE(sawBusy);
  EXPECT_TRUE(BusyControlsEnabled(true));

  app::OperationHold busy = HoldBusy();
  EXPECT_TRUE(BusyControlsEnabled(false));
  EXPECT_FALSE(Main().Click(mw::kRefreshButton));
  EXPECT_FALSE(Main().ChooseMenuItem(mw::kMenuAdd));
  busy.reset();
  EXPECT_TRUE(BusyControlsEnabled(true));
}

TEST_F(AdapterViewTest, RefreshKeepsTheSelectorPosition) {
  AddAdapters(5);
  StartApp();
  ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 3));
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), 3);
  EXPECT_EQ(Context().selectedAdapterIndex, 14);

  // Position 3 with four adapters left still exists.
  machine.RemoveAdapter(15);
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), 3);
  EXPECT_EQ(Context().selectedAdapterIndex, 14);

  // With three left it does not: the first adapter is selected.
  machine.RemoveAdapter(14);
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), 0);
  EXPECT_EQ(Context().selectedAdapterIndex, 11);
}

TEST_F(AdapterViewTest, RefreshWithNothingSelectedLeavesNothingSelected) {
  StartApp();
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), -1);
  EXPECT_EQ(Context().selectedAdapterIndex, -1);
  AddAdapters(2);
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(Main().ItemCount(mw::kSelector), 2);
  EXPECT_EQ(Main().CurrentItem(mw::kSelector), -1);
  EXPECT_EQ(Context().selectedAdapterIndex, -1);
  EXPECT_TRUE(ListRows().empty());
}

TEST_F(AdapterViewTest, NoAdaptersLeaveTheSelectorAndListEmptyAndTheReportFromAnEmptyRecord) {
  StartApp();
  EXPECT_EQ(Main().ItemCount(mw::kSelector), 0);
  EXPECT_TRUE(ListRows().empty());
  std::string report = Main().Text(mw::kReport);
  EXPECT_NE(report.find("已启用DHCP：否"), std::string::npos);
  EXPECT_NE(report.find("适配器类型：0"), std::string::npos);
}

TEST_F(AdapterViewTest, SelectingAnAdapterShowsItWithoutEnumeratingAgain) {
  AddAdapters(2);
  StartApp();
  machine.ClearCalls();
  ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 0));
  EXPECT_EQ(Context().selectedAdapterIndex, 11);
  ASSERT_EQ(ListRows().size(), 1u);
  EXPECT_EQ(ListRows()[0][1], "10.0.1.1");
  for (const auto& call : machine.Calls()) EXPECT_NE(call.rfind("GetAdaptersInfo", 0), 0u) << call;
}

// A choice, a refresh and a deletion wait for the services on a worker: the event returns at once
// with the busy state on, and what the busy state excludes (another choice, a refresh, an
// addition, the properties dialog, whose values the choice is changing) is refused until it ends.
TEST_F(AdapterViewTest, SlowServiceCallsRunOnAWorkerUnderTheBusyState) {
  AddAdapters(2);
  StartApp();
  windows.SetUserActionHook(nullptr);
  machine.SetLatency("ExecQuery", 400);
  for (int action = 0; action < 3; ++action) {
    const size_t before = Log().size();
    if (action == 0) {
      ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 0));
    }
    if (action == 1) {
      ASSERT_TRUE(Main().Click(mw::kRefreshButton));
    }
    if (action == 2) {
      Main().SelectRows(mw::kAddressList, {0});
      ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuDelete));
    }
    EXPECT_TRUE(BusyControlsEnabled(false)) << action;
    EXPECT_FALSE(Main().ChooseItem(mw::kSelector, 1));
    EXPECT_FALSE(Main().Click(mw::kRefreshButton));
    EXPECT_FALSE(Main().ChooseMenuItem(mw::kMenuAdd));
    Main().SetMenuItemEnabled(mw::kMenuProperties, true);
    Main().ChooseMenuItem(mw::kMenuProperties);
    EXPECT_EQ(windows.topModal(), nullptr);
    // The report's status query is still waiting: its lines are not there yet.
    const Strings early = LogAfter(before);
    EXPECT_EQ(std::count(early.begin(), early.end(), "连接1 最大传输单元1500."), 0) << action;
    machine.WaitForThreads();
    EXPECT_TRUE(BusyControlsEnabled(true));
    const Strings after = LogAfter(before);
    EXPECT_EQ(std::count(after.begin(), after.end(), "连接1 最大传输单元1500."), 1) << action;
  }
}

TEST_F(AdapterViewTest, TheLogAfterARefreshEndsWithBannerReportLinesAndCompletion) {
  sim::SimAdapter a = Ethernet(5, u"本地连接", {"10.0.0.1"});
  a.speed = 100000000;
  a.mtu = 1500;
  machine.AddAdapter(a);
  StartApp();
  size_t before = Log().size();
  Main().Click(mw::kRefreshButton);
  EXPECT_EQ(LogAfter(before), (Strings{app::Decipher(app::StoredText::Banner), "本地连接 共计1个IP-地址.",
                                       "-------------------------------------", "本地连接 媒体状态状态-已连接.",
                                       "本地连接 最大传输速度100Mbps", "本地连接 最大传输单元1500.",
                                       "刷新显示完成."}));
}

TEST_F(AdapterViewTest, ClosingTheWindowEndsTheProcessWithExitCodeZero) {
  AddAdapters(1);
  StartApp();
  ASSERT_TRUE(Main().CloseByUser());
  ASSERT_TRUE(machine.TerminatedWith().has_value());
  EXPECT_EQ(*machine.TerminatedWith(), 0u);
}

TEST_F(AdapterViewTest, DataExecutionPreventionIsTurnedOnNotOff) {
  StartApp();
  Strings calls = machine.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetProcessDEPPolicy(1) -> 1"), calls.end());
  EXPECT_EQ(std::find(calls.begin(), calls.end(), "SetProcessDEPPolicy(0) -> 1"), calls.end());
}

TEST_F(AdapterViewTest, TheLinkLabelsOpenTheirAddressesAndLogOnlyAFailureWithItsCode) {
  StartApp();
  const size_t before = Log().size();
  Main().PressMouse(mw::kIssueLink);
  Main().PressMouse(mw::kCommunityLink);
  EXPECT_EQ(windows.openedUrls(), (Strings{app::Decipher(app::StoredText::IssueAddress),
                                           app::Decipher(app::StoredText::CommunityAddress)}));
  EXPECT_EQ(LogAfter(before), Strings{});
  // No desktop shell to start the browser (S_FALSE), then a refused call (E_ACCESSDENIED).
  windows.SetOpenResult(1);
  Main().PressMouse(mw::kCommunityLink);
  windows.SetOpenResult(static_cast<int32_t>(0x80070005));
  Main().PressMouse(mw::kIssueLink);
  EXPECT_EQ(windows.openedUrls().size(), 4u);
  EXPECT_EQ(LogAfter(before), (Strings{"打开网址失败,返回代码1.", "打开网址失败,返回代码-2147024891."}));
}

TEST_F(AdapterViewTest, RightClickPopsUpTheListMenu) {
  StartApp();
  Main().RightClick(mw::kAddressList);
  EXPECT_EQ(Main().lastPopupMenu(), mw::kListMenu);
}

TEST_F(AdapterViewTest, SeveralLogLinesGoInOrderInOneChangeEachStamped) {
  StartApp();
  machine.SetLocalNow(platform::DateTime{2026, 12, 8, 15, 4, 9});
  const std::string before = Main().Text(mw::kLog);
  app::AppendLogLines(Context(), {"一.", "two"});
  EXPECT_EQ(Main().Text(mw::kLog), before + "15:04:09：一.\r\n15:04:09：two\r\n");
  app::AppendLogLines(Context(), {});
  EXPECT_EQ(Main().Text(mw::kLog), before + "15:04:09：一.\r\n15:04:09：two\r\n");
}

TEST(ActivityLog, LinesCarryTheTwentyFourHourTimeAndTheFullWidthColon) {
  EXPECT_EQ(app::FormatLogLine(platform::DateTime{2026, 12, 8, 9, 5, 7}, "消息."), "09:05:07：消息.\r\n");
  EXPECT_EQ(app::FormatLogLine(platform::DateTime{2026, 12, 8, 14, 0, 0}, "x"), "14:00:00：x\r\n");
  EXPECT_EQ(app::FormatLogLine(platform::DateTime{2026, 12, 8, 0, 0, 0}, ""), "00:00:00：\r\n");
}

}  // namespace
}  // namespace corvane::testing

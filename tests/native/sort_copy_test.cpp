#include <limits>

#include "address_ops/copy_addresses.h"
#include "address_ops/sort_addresses.h"
#include "app/adapter_view.h"

#include "app_fixture.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
using address_ops::CompareSortKeys;
using address_ops::ReadSortNumber;
using address_ops::SortKey;
using address_ops::SortKeyKind;

// --- sorting ---

class SortTest : public AppTest {
 protected:
  void SetUp() override {
    machine.AddAdapter(Ethernet(4, u"本地连接", {"192.168.1.10"}));
    StartApp();
  }

  // Puts rows of (ID, address, mask, Context, Next, adapter index, kind) into the list.
  void SetRows(const std::vector<Strings>& rows) { Main().ReplaceRows(mw::kAddressList, rows); }

  // Clicks a column header and waits for the sort's worker.
  void ClickColumn(int column) {
    ASSERT_TRUE(Main().ClickColumn(mw::kAddressList, column));
    machine.WaitForThreads();
  }

  Strings Column(int column) {
    Strings out;
    for (const auto& row : ListRows()) out.push_back(row[static_cast<size_t>(column)]);
    return out;
  }
};

TEST_F(SortTest, DirectionAlternatesWithEverySortAcrossColumns) {
  SetRows({{"1", "10.0.0.1", "255.0.0.0", "30", "0", "7", "IP地址"},
           {"2", "10.0.0.2", "255.0.0.0", "10", "0", "5", "IP地址"},
           {"3", "10.0.0.3", "255.0.0.0", "20", "0", "6", "IP地址"}});
  EXPECT_EQ(Context().sortDirection, 0);
  ClickColumn(3);  // first sort: ascending
  EXPECT_EQ(Column(3), (Strings{"10", "20", "30"}));
  EXPECT_EQ(Context().sortDirection, 1);
  ClickColumn(0);  // second, on another column: descending
  EXPECT_EQ(Column(0), (Strings{"3", "2", "1"}));
  EXPECT_EQ(Context().sortDirection, 0);
  ClickColumn(5);  // third: ascending again
  EXPECT_EQ(Column(5), (Strings{"5", "6", "7"}));
  // The IDs move with their rows; nothing is renumbered.
  EXPECT_EQ(Column(0), (Strings{"2", "3", "1"}));
  EXPECT_EQ(Log().back(), "排序完成.");
  EXPECT_TRUE(Main().IsEnabled(mw::kRefreshButton));
}

TEST_F(SortTest, MasksCompareAsTextAndTheKindColumnToo) {
  SetRows({{"1", "a", "255.255.255.64"}, {"2", "b", "255.255.0.0"}, {"3", "c", "255.255.255.192"}});
  ClickColumn(2);
  // Character by character: "...192" comes before "...64".
  EXPECT_EQ(Column(2), (Strings{"255.255.0.0", "255.255.255.192", "255.255.255.64"}));
  ClickColumn(2);
  EXPECT_EQ(Column(2), (Strings{"255.255.255.64", "255.255.255.192", "255.255.0.0"}));
}

TEST_F(SortTest, TheAddressColumnSortsByTheHiddenNextValuesWithZeroFirst) {
  SetRows({{"1", "10.0.0.9", "m", "1", "3000", "4", "IP地址"},
           {"2", "10.0.0.1", "m", "2", "0", "4", "IP地址"},
           {"3", "10.0.0.5", "m", "3", "2000", "4", "IP地址"}});
  ClickColumn(1);
  EXPECT_EQ(Column(4), (Strings{"0", "2000", "3000"}));
  EXPECT_EQ(Column(1), (Strings{"10.0.0.1", "10.0.0.5", "10.0.0.9"}));
}

TEST_F(SortTest, TheRealListOfAnAdapterPutsItsLastAddressFirst) {
  machine.AddAdapter(Ethernet(5, u"多地址", {"10.5.0.1", "10.5.0.2", "10.5.0.3"}));
  Main().Click(mw::kRefreshButton);
  ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 1));
  ASSERT_EQ(ListRows().size(), 3u);
  ClickColumn(1);
  EXPECT_EQ(ListRows()[0][4], "0");
}

TEST_F(SortTest, LargeContextsKeepTheirOrderWithoutOverflow) {
  // Differences beyond 32 bits, and values at the ends of the key's range.
  SetRows({{"1", "", "", "4294967295"}, {"2", "", "", "1"}, {"3", "", "", "3000000000"}, {"4", "", "", "2147483648"},
           {"5", "", "", "-99999999999999999999"}});
  ClickColumn(3);
  EXPECT_EQ(Column(3), (Strings{"-99999999999999999999", "1", "2147483648", "3000000000", "4294967295"}));
}

TEST_F(SortTest, AnEmptyListLogsAndStillFlipsTheDirection) {
  SetRows({});
  const size_t before = Log().size();
  ClickColumn(4);
  EXPECT_EQ(LogAfter(before), (Strings{"排序完成."}));
  EXPECT_EQ(Context().sortDirection, 1);
  EXPECT_TRUE(ListRows().empty());
}

TEST_F(SortTest, AColumnOutsideThePlanSortsNothingButLogs) {
  SetRows({{"2"}, {"1"}});
  const size_t before = Log().size();
  ClickColumn(7);
  ClickColumn(-1);
  EXPECT_EQ(LogAfter(before), (Strings{"排序完成.", "排序完成."}));
  EXPECT_EQ(Column(0), (Strings{"2", "1"}));
  EXPECT_EQ(Context().sortDirection, 0);
}

TEST_F(SortTest, AClickDuringTheBusyStateDoesNothing) {
  SetRows({{"2"}, {"1"}});
  app::OperationHold busy = HoldBusy();
  const size_t before = Log().size();
  machine.ClearCalls();
  ClickColumn(0);
  EXPECT_EQ(LogAfter(before), Strings{});
  EXPECT_EQ(Column(0), (Strings{"2", "1"}));
  EXPECT_EQ(Context().sortDirection, 0);
  EXPECT_EQ(machine.Calls(), Strings{});  // no worker was started
  busy.reset();
}

// Without a worker the sort runs on the window thread (its work is the window's own), and the busy
// state still ends.
TEST_F(SortTest, ARefusedWorkerThreadSortsAllTheSameAndLeavesTheBusyStateOff) {
  SetRows({{"2"}, {"1"}});
  machine.FailNext("CreateThread", 8);
  ClickColumn(0);
  EXPECT_TRUE(Main().IsEnabled(mw::kRefreshButton));
  EXPECT_TRUE(Main().IsMenuItemEnabled(mw::kMenuAdd));
  EXPECT_EQ(Column(0), (Strings{"1", "2"}));
  ClickColumn(0);
  EXPECT_EQ(Column(0), (Strings{"2", "1"}));
}

TEST_F(SortTest, TheSortRunsUnderTheBusyStateAndReadsTheKeysInOneCall) {
  SetRows({{"3"}, {"1"}, {"2"}});
  // As the sort's worker is started: the busy state is on, and a second click is refused.
  bool sawBusy = false;
  machine.SetCallObserver([&](const std::string& call) {
    if (sawBusy || call.rfind("CreateThread", 0) != 0) return;
    if (!Main().IsEnabled(mw::kRefreshButton) && !Main().IsMenuItemEnabled(mw::kMenuAdd)) sawBusy = true;
    Main().ClickColumn(mw::kAddressList, 0);
  });
  const int batches = Main().batchCalls();
  ClickColumn(0);
  machine.SetCallObserver(nullptr);
  EXPECT_TRUE(sawBusy);
  EXPECT_EQ(Main().batchCalls(), batches + 1);
  EXPECT_EQ(Column(0), (Strings{"1", "2", "3"}));
  EXPECT_EQ(Context().sortDirection, 1);
  EXPECT_TRUE(Main().IsEnabled(mw::kRefreshButton));
}

TEST(SortKeys, NumbersAreReadLikeTheRestOfTheProgramInSixtyFourBits) {
  EXPECT_EQ(ReadSortNumber(""), 0);
  EXPECT_EQ(ReadSortNumber("abc"), 0);
  EXPECT_EQ(ReadSortNumber("  \t12ab"), 12);
  EXPECT_EQ(ReadSortNumber("\xA1\xA1" "7"), 7);                 // full-width space
  EXPECT_EQ(ReadSortNumber("\xA3\xB1\xA3\xB2" "3"), 123);        // full-width digits then ASCII
  EXPECT_EQ(ReadSortNumber("\xA3\xAD" "5"), -5);                 // full-width minus
  EXPECT_EQ(ReadSortNumber("-"), 0);
  EXPECT_EQ(ReadSortNumber("4294967295"), 4294967295);
  EXPECT_EQ(ReadSortNumber("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ReadSortNumber("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ReadSortNumber("-99999999999999999999"), std::numeric_limits<int64_t>::min());
}

TEST(SortKeys, ComparisonsNeverSubtract) {
  SortKey low{"", std::numeric_limits<int64_t>::min()};
  SortKey high{"", std::numeric_limits<int64_t>::max()};
  EXPECT_LT(CompareSortKeys(low, high, SortKeyKind::Integer, true), 0);
  EXPECT_GT(CompareSortKeys(low, high, SortKeyKind::Integer, false), 0);
  EXPECT_EQ(CompareSortKeys(high, high, SortKeyKind::Integer, true), 0);
  SortKey a{"IP地址", 0};
  SortKey b{"网关", 0};
  EXPECT_EQ(CompareSortKeys(a, a, SortKeyKind::Text, false), 0);
  // Bytes compare unsigned: an ASCII letter before any GBK character.
  EXPECT_LT(CompareSortKeys(a, b, SortKeyKind::Text, true), 0);
  EXPECT_GT(CompareSortKeys(a, b, SortKeyKind::Text, false), 0);
}

// --- copying ---

class CopyTest : public AppTest {
 protected:
  void Copy() { ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuCopyAll)); }
};

TEST_F(CopyTest, ThreeAddressesGoToTheClipboardLastFirstWithoutATrailingBreak) {
  machine.AddAdapter(Ethernet(1, u"甲", {"10.0.0.1", "10.0.0.2"}));
  machine.AddAdapter(Ethernet(2, u"乙", {"192.168.5.9"}));
  StartApp();
  const size_t before = Log().size();
  Copy();
  EXPECT_EQ(machine.ClipboardText(), "192.168.5.9\r\n10.0.0.2\r\n10.0.0.1");
  EXPECT_EQ(LogAfter(before), (Strings{"复制所有网卡IP完成,共计复制3个IP."}));
}

TEST_F(CopyTest, OneAddressAloneAndNoAddressAsTheEmptyText) {
  machine.AddAdapter(Ethernet(1, u"甲", {"172.16.0.255"}));
  StartApp();
  Copy();
  EXPECT_EQ(machine.ClipboardText(), "172.16.0.255");
  EXPECT_EQ(Log().back(), "复制所有网卡IP完成,共计复制1个IP.");

  machine.ChangeAdapter(1, [](sim::SimAdapter& a) { a.ipAddresses = {Addr("0.0.0.0", "0.0.0.0", 0)}; });
  Copy();
  EXPECT_EQ(machine.ClipboardText(), "");
  EXPECT_EQ(Log().back(), "复制所有网卡IP完成,共计复制0个IP.");
}

TEST_F(CopyTest, AnUnresolvableHostNameLeavesTheClipboardAlone) {
  machine.AddAdapter(Ethernet(1, u"甲", {"10.0.0.1"}));
  StartApp();
  ASSERT_TRUE(machine.clipboard().SetText("before"));
  machine.FailNext("gethostbyname", 11001);
  Copy();
  EXPECT_EQ(machine.ClipboardText(), "before");
  EXPECT_EQ(Log().back(), "复制失败,因取所有网卡IP失败！");
  machine.FailNext("gethostname", 10093);
  Copy();
  EXPECT_EQ(Log().back(), "复制失败,因取所有网卡IP失败！");
}

TEST_F(CopyTest, AClipboardThatCannotBeOpenedIsReportedWithTheCount) {
  machine.AddAdapter(Ethernet(1, u"甲", {"10.0.0.1", "10.0.0.2"}));
  StartApp();
  machine.FailNext("OpenClipboard", 5);
  Copy();
  EXPECT_EQ(Log().back(), "共计复制2个IP,复制到剪辑版失败！");
  EXPECT_FALSE(machine.ClipboardText().has_value());
}

TEST_F(CopyTest, CopyingWorksWhileTheBusyStateHoldsAndCoversTheWholeMachine) {
  machine.AddAdapter(Ethernet(1, u"甲", {"10.0.0.1"}));
  machine.AddAdapter(Ethernet(2, u"乙", {"10.0.0.2"}));
  StartApp();
  app::OperationHold busy = HoldBusy();
  Copy();  // the item is not part of the busy state
  busy.reset();
  // Both adapters, not only the selected one.
  EXPECT_EQ(machine.ClipboardText(), "10.0.0.2\r\n10.0.0.1");
}

TEST(CopyText, ReversedWithBreaksBetween) {
  EXPECT_EQ(address_ops::ClipboardTextOf({}), "");
  EXPECT_EQ(address_ops::ClipboardTextOf({"A"}), "A");
  EXPECT_EQ(address_ops::ClipboardTextOf({"A", "B", "C"}), "C\r\nB\r\nA");
}

}  // namespace
}  // namespace corvane::testing

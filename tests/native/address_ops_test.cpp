#include "address_ops/add_addresses.h"
#include "address_ops/address_store.h"
#include "address_ops/delete_addresses.h"
#include "app/adapter_view.h"
#include "app/program_end.h"

#include <optional>

#include "app_fixture.h"
#include "config/registry_access.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
namespace aw = app::add_window;

class AddressOpsTest : public AppTest {
 protected:
  void SetUp() override {
    machine.AddAdapter(Ethernet(1, u"其他", {"10.1.0.1"}));
    adapter = Ethernet(4, u"本地连接", {"192.168.1.10", "192.168.1.11"});
    machine.AddAdapter(adapter);
    machine.AddEchoResponder("192.168.1.20");
  }

  std::string KeyPath() { return address_ops::InterfaceKeyPath(adapter.guid); }

  // Opens the add window from the context menu, types the lines (and the mask, when given) and
  // confirms; waits for the worker.
  void AddThroughWindow(const std::string& lines, bool occupancy = false,
                        std::optional<std::string> mask = std::nullopt) {
    ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
    headless::HeadlessWindow* w = windows.topModal();
    ASSERT_NE(w, nullptr);
    w->Type(aw::kAddresses, lines);
    if (mask) w->Type(aw::kMask, *mask);
    if (occupancy) w->Click(aw::kOccupancyQuery);
    EXPECT_EQ(w->unknownNames(), Strings{});
    ASSERT_TRUE(w->Click(aw::kConfirm));
    machine.WaitForThreads();
    EXPECT_FALSE(windows.IsOpen(w));
  }

  Strings AddressesOf(uint32_t index) {
    Strings out;
    for (const auto& a : machine.Adapters())
      if (a.index == index)
        for (const auto& address : a.ipAddresses) out.push_back(address.address);
    return out;
  }

  // The log lines of the last operation, from its start line up to the end.
  Strings LogFrom(const std::string& start) {
    Strings log = Log();
    auto it = std::find(log.rbegin(), log.rend(), start);
    return it == log.rend() ? Strings{} : Strings(it.base() - 1, log.end());
  }

  // The lines of one add run that concern the addresses (before the refresh's banner).
  Strings AddLines() {
    Strings lines = LogFrom("开始添加IP....");
    Strings out;
    for (const auto& l : lines) {
      if (l == Log()[0]) break;  // the banner starts the refresh
      out.push_back(l);
    }
    return out;
  }

  std::string Summary() {
    for (const auto& l : LogFrom("开始添加IP...."))
      if (l.rfind("添加IP完成", 0) == 0) return l;
    return {};
  }

  std::string RegistryBytes(const std::string& value) {
    config::RegistryAccess registry(machine.registry());
    uint32_t type = 0;
    return registry.ReadValueBytes(KeyPath(), value, &type);
  }

  // The four controls of the busy state: "busy" when all are disabled, "free" when all are enabled.
  std::string BusyState() {
    const bool refresh = Main().IsEnabled(mw::kRefreshButton);
    const bool selector = Main().IsEnabled(mw::kSelector);
    const bool add = Main().IsMenuItemEnabled(mw::kMenuAdd);
    const bool remove = Main().IsMenuItemEnabled(mw::kMenuDelete);
    if (!refresh && !selector && !add && !remove) return "busy";
    if (refresh && selector && add && remove) return "free";
    return "mixed";
  }

  // The deletion's log lines, from its start line on.
  Strings DeleteLog() { return LogFrom("已经开始启用选中项目,请稍后..."); }

  bool Called(const std::string& prefix) {
    for (const auto& c : machine.Calls())
      if (c.rfind(prefix, 0) == 0) return true;
    return false;
  }

  // The program on another machine (the demo's), with this test's windows.
  std::unique_ptr<program::Application> StartOn(sim::Machine& other) {
    platform::Services otherServices{other.ipHelper(),  other.router(),    other.registry(),
                                     other.automation(), other.sockets(),  other.clipboard(),
                                     other.internet(),   windows,          other.kernel()};
    WaitAfterUserActions(windows, other);
    auto program = std::make_unique<program::Application>(otherServices);
    program->Start();
    other.WaitForThreads();
    return program;
  }

  sim::SimAdapter adapter;
};

TEST(RangeParsing, BoundsPrefixAndValidity) {
  auto r = address_ops::ParseRangeLine("192.168.1.{1-3}");
  EXPECT_EQ(r.prefix, "192.168.1.");
  EXPECT_EQ(r.first, 1);
  EXPECT_EQ(r.last, 3);
  EXPECT_TRUE(r.valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{5-5}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{0-5}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{6-5}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{1-99999999999}").valid);
  // Bounds past 32 bits are refused, not wrapped round: these would wrap to {1-2} and {1-3}.
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{1-4294967298}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.0.0.{4294967297-4294967299}").valid);
  // At most 65,536 numbers: every one past 255 would only fail, and a slip must not run for hours.
  EXPECT_TRUE(address_ops::ParseRangeLine("10.{1-65536}").valid);
  EXPECT_TRUE(address_ops::ParseRangeLine("10.{100-65635}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.{1-65537}").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("10.{1-99999999}").valid);
  // The "}" must follow the dash that follows the "{".
  EXPECT_FALSE(address_ops::ParseRangeLine("}1.2.3.{1-3").valid);
  EXPECT_FALSE(address_ops::ParseRangeLine("1-2.{5}").valid);
  // White space inside the braces is skipped; the prefix keeps its own.
  auto spaced = address_ops::ParseRangeLine(" 10.0.0.{ 1 - 3 }");
  EXPECT_EQ(spaced.prefix, " 10.0.0.");
  EXPECT_EQ(spaced.first, 1);
  EXPECT_EQ(spaced.last, 3);
  EXPECT_TRUE(spaced.valid);
  // Signs are read; a negative or missing bound is no range.
  auto plus = address_ops::ParseRangeLine("10.0.0.{+1-+3}");
  EXPECT_EQ(plus.first, 1);
  EXPECT_EQ(plus.last, 3);
  EXPECT_TRUE(plus.valid);
  auto minusFirst = address_ops::ParseRangeLine("10.0.0.{-1-3}");
  EXPECT_EQ(minusFirst.first, 0);
  EXPECT_FALSE(minusFirst.valid);
  auto minusLast = address_ops::ParseRangeLine("10.0.0.{1--3}");
  EXPECT_EQ(minusLast.last, -3);
  EXPECT_FALSE(minusLast.valid);
  // A hyphen in the prefix makes the last bound come from the text after it.
  auto dash = address_ops::ParseRangeLine("10.0-1.{1-3}");
  EXPECT_EQ(dash.first, 1);
  EXPECT_EQ(dash.last, 1);
  EXPECT_FALSE(dash.valid);
  // Full-width digits count.
  EXPECT_EQ(address_ops::ParseRangeLine("10.0.0.{\xA3\xB1-\xA3\xB3}").last, 3);
  EXPECT_TRUE(address_ops::IsRangeLine("a{b}c-d"));
  EXPECT_FALSE(address_ops::IsRangeLine("10.0.0.{1-3"));
}

TEST(RangeParsing, LinesSplitAtLineBreaks) {
  EXPECT_EQ(address_ops::SplitAddressLines("a\r\nb\r\n"), (Strings{"a", "b"}));
  EXPECT_EQ(address_ops::SplitAddressLines("a\r\n\r\nb"), (Strings{"a", "", "b"}));
  EXPECT_EQ(address_ops::SplitAddressLines(""), Strings{});
}

TEST(AddressText, OnlyFourDottedDecimalPartsAreAddresses) {
  uint32_t a = 0;
  EXPECT_TRUE(address_ops::ParseDottedAddress("192.168.1.10", &a));
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&a);
  EXPECT_EQ(b[0], 192);
  EXPECT_EQ(b[3], 10);
  EXPECT_TRUE(address_ops::ParseDottedAddress("0.0.0.0", &a));
  for (const char* bad : {"10.1.2", "10", "1.2.3.256", "1.2.3.4.5", "1.2.3.", " 1.2.3.4", "1.2.3.4 ", "0x1.2.3.4",
                          "1..2.3", "", "1.2.3.0004", "-1.2.3.4", "010.0.0.1", "10.0.0.01", "255.255.255.00",
                          "10.00.0.1"})
    EXPECT_FALSE(address_ops::ParseDottedAddress(bad, &a)) << bad;
}

TEST(ContextCell, LeadingDigitsAsUnsigned) {
  EXPECT_EQ(address_ops::ParseContextCell("401"), 401u);
  EXPECT_EQ(address_ops::ParseContextCell("abc"), 0u);
  EXPECT_EQ(address_ops::ParseContextCell(""), 0u);
  EXPECT_EQ(address_ops::ParseContextCell("12ab"), 12u);
  EXPECT_EQ(address_ops::ParseContextCell("3221225473"), 3221225473u);
}

TEST(ContextCell, NumbersPastThirtyTwoBitsSaturateAndSignsReadAsZero) {
  EXPECT_EQ(address_ops::ParseContextCell("4294967295"), 4294967295u);
  // Past 32 bits the cell names no context: it must not wrap round onto a real one (401).
  EXPECT_EQ(address_ops::ParseContextCell("4294967697"), 4294967295u);
  EXPECT_EQ(address_ops::ParseContextCell("99999999999999999999999999"), 4294967295u);
  EXPECT_EQ(address_ops::ParseContextCell(" \t17"), 17u);
  EXPECT_EQ(address_ops::ParseContextCell("-401"), 0u);
  EXPECT_EQ(address_ops::ParseContextCell("\xA3\xB4\xA3\xB0\xA3\xB1"), 0u);  // full-width digits
  EXPECT_EQ(address_ops::ParseContextCell(std::string("12\0" "34", 5)), 12u);
}

TEST_F(AddressOpsTest, TheAddWindowOpensWithTheDefaultMaskInOrder) {
  StartApp();
  auto openMask = [&] {
    Main().ChooseMenuItem(mw::kMenuAdd);
    headless::HeadlessWindow* w = windows.topModal();
    std::string mask = w->Text(aw::kMask);
    EXPECT_EQ(w->Title(), "添加IP-地址");
    w->CloseByUser();
    return mask;
  };
  EXPECT_EQ(openMask(), "255.255.255.0");

  config::RegistryAccess registry(machine.registry());
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "SubnetMask", "255.255.0.0\r\n255.0.0.0"), 1);
  EXPECT_EQ(openMask(), "255.255.0.0");

  ASSERT_EQ(registry.WriteValueBytes(KeyPath(), "DhcpSubnetMask", std::string("255.255.255.128\0", 16),
                                     platform::kRegSz),
            1);
  EXPECT_EQ(openMask(), "255.255.255.128");

  // A REG_EXPAND_SZ value is expanded first.
  machine.SetHostName("255.192");
  ASSERT_EQ(registry.WriteValueBytes(KeyPath(), "DhcpSubnetMask", std::string("255.255.%COMPUTERNAME%\0", 23),
                                     platform::kRegExpandSz),
            1);
  EXPECT_EQ(openMask(), "255.255.255.192");

  // A DhcpSubnetMask of another type reads as nothing: the list wins again.
  ASSERT_EQ(registry.WriteValueBytes(KeyPath(), "DhcpSubnetMask", "\x01\x02", platform::kRegBinary), 1);
  EXPECT_EQ(openMask(), "255.255.0.0");

  // Closing the window any other way adds nothing.
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11"}));
}

TEST_F(AddressOpsTest, RegistryMasksThatAreNoAddressesFallThroughToTheNextSource) {
  StartApp();
  auto openMask = [&] {
    Main().ChooseMenuItem(mw::kMenuAdd);
    headless::HeadlessWindow* w = windows.topModal();
    std::string mask = w->Text(aw::kMask);
    w->CloseByUser();
    return mask;
  };
  config::RegistryAccess registry(machine.registry());
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "SubnetMask", "255.255.0.0"), 1);
  for (const std::string& bad : {std::string(), std::string("not a mask"), std::string(70000, '9'),
                                 std::string("\xB0"), std::string("\0" "255.0.0.0", 10),
                                 std::string("255.255.255.4294967296"), std::string("-255.0.0.0")}) {
    ASSERT_EQ(registry.WriteValueBytes(KeyPath(), "DhcpSubnetMask", bad + std::string(1, '\0'), platform::kRegSz), 1);
    EXPECT_EQ(openMask(), "255.255.0.0") << bad.substr(0, 20);
  }
  // A list whose first line has no dots gives the fixed default.
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "SubnetMask", "garbage\r\n"), 1);
  EXPECT_EQ(openMask(), "255.255.255.0");
  // Text with three dots goes through the field's write rule: parts without digits are 0, and
  // the list's line breaks are no separators to it.
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "SubnetMask", "a.b.c.d"), 1);
  EXPECT_EQ(openMask(), "0.0.0.0");
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "SubnetMask", "garbage\r\n255.0.0.0"), 1);
  EXPECT_EQ(openMask(), "0.0.0.0");
  ASSERT_EQ(registry.WriteValueBytes(KeyPath(), "SubnetMask", "\xFF\xFE\x80", platform::kRegMultiSz), 1);
  EXPECT_EQ(openMask(), "255.255.255.0");
}

TEST_F(AddressOpsTest, NulsStrayBytesAndHugeLinesInTheTypedTextBindNothing) {
  StartApp();
  const Strings before = AddressesOf(4);
  machine.ClearCalls();
  AddThroughWindow(std::string("10.6.0.1\0" "5\r\n", 12) + "10.6.0.\xB0\r\n\x80\xFF\r\n" + std::string(70000, '1') +
                   "\r\n10.6.0.{1-\xA3}\r\n10.6.0.\"1\"\r\n10.6.0.1\\");
  EXPECT_EQ(AddressesOf(4), before);
  EXPECT_FALSE(Called("AddIPAddress"));
  EXPECT_NE(Summary().find("添加成功0，"), std::string::npos) << Summary();
}

TEST_F(AddressOpsTest, ARangeAddsBothBoundsInAscendingOrderThenRefreshesAndStores) {
  StartApp();
  AddThroughWindow("192.168.1.{1-3}xyz");
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "192.168.1.1", "192.168.1.2", "192.168.1.3"}));
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.1 成功.", "添加IP-地址 192.168.1.2 成功.",
                                 "添加IP-地址 192.168.1.3 成功."}));
  Strings tail = LogFrom("刷新显示完成.");
  EXPECT_EQ(tail, (Strings{"刷新显示完成.", "添加IP完成，添加成功3，添加失败0。", "开始刷新系统储存...",
                           "储存IP地址成功.", "储存子网掩码成功."}));
  EXPECT_EQ(ListRows().size(), 5u);
  EXPECT_EQ(RegistryBytes("IPAddress"),
            std::string("192.168.1.10\0" "192.168.1.11\0" "192.168.1.1\0" "192.168.1.2\0" "192.168.1.3\0\0", 63));
}

TEST_F(AddressOpsTest, MalformedRangesAreLoggedOnceAndTheSummaryAndStoreStillRun) {
  StartApp();
  AddThroughWindow(
      "10.0.0.{5-5}\r\n10.0.0.{0-3}\r\n10.0.0.{6-5}\r\n10.0-1.{1-3}\r\n10.0.0.{1-99999999999}\r\n"
      "10.{1-99999999}\r\n10.0.{1-65537}\r\n}10.0.0.{1-3\r\n10.0.0.{-1-3}\r\n10.0.0.{1--3}");
  Strings lines = AddLines();
  Strings expected(11, "添加IP-地址地址范围错误！");
  expected[0] = "开始添加IP....";
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(Summary(), "添加IP完成，添加成功0，添加失败0。");
  EXPECT_FALSE(Called("AddIPAddress"));
  Strings tail = LogFrom("开始刷新系统储存...");
  EXPECT_EQ(tail, (Strings{"开始刷新系统储存...", "储存IP地址成功.", "储存子网掩码成功."}));
}

TEST_F(AddressOpsTest, ARangePastTwoHundredFiftyFiveFailsWithAResultCode) {
  StartApp();
  AddThroughWindow("10.4.0.{254-256}");
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 10.4.0.254 成功.", "添加IP-地址 10.4.0.255 成功.",
                                 "添加IP-地址 10.4.0.256 失败,返回代码87."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功2，添加失败1。");
}

TEST_F(AddressOpsTest, ShortAddressFormsAndHostNamesAreNeverBound) {
  machine.AddHost("fileserver", {"10.9.9.9"});
  StartApp();
  AddThroughWindow("10.1.2\r\nfileserver");
  for (const auto& a : AddressesOf(4)) {
    EXPECT_NE(a, "10.1.0.2");
    EXPECT_NE(a, "10.9.9.9");
  }
  Strings lines = AddLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "添加IP-地址 fileserver 失败,返回代码87."), lines.end());
  EXPECT_NE(Summary().find("添加成功0，"), std::string::npos) << Summary();
}

TEST_F(AddressOpsTest, LineBreaksAndEmptyLines) {
  StartApp();
  AddThroughWindow("10.5.0.1\r\n\r\n10.5.0.2\r\n");
  // The empty middle line is a line of its own: the empty name resolves (to the machine itself),
  // so it reaches the address conversion, which fails.
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 10.5.0.1 成功.", "添加IP-地址  失败,返回代码87.",
                                 "添加IP-地址 10.5.0.2 成功."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功2，添加失败1。");
}

TEST_F(AddressOpsTest, SpacesInThePrefixAndLeadingZerosFailWith87WithoutCallingTheService) {
  StartApp();
  machine.ClearCalls();
  AddThroughWindow("10.8.0.{ 1 - 2 }\r\n 10.8.0.{3-4}\r\n010.0.0.1\r\n10.8.0.05");
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 10.8.0.1 成功.", "添加IP-地址 10.8.0.2 成功.",
                                 "添加IP-地址  10.8.0.3 失败,返回代码87.", "添加IP-地址  10.8.0.4 失败,返回代码87.",
                                 "添加IP-地址 010.0.0.1 失败,返回代码87.", "添加IP-地址 10.8.0.05 失败,返回代码87."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功2，添加失败4。");
  Strings calls = machine.Calls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("AddIPAddress", 0) == 0; }),
            2);
}

TEST_F(AddressOpsTest, AMaskThatIsBlankZeroOrNotContiguousBindsNothingAndChangesNothing) {
  StartApp();
  const std::string stored = RegistryBytes("IPAddress");
  for (const char* mask : {"", "0.0.0.0", "255.0.255.0", "255.255.255.1"}) {
    machine.ClearCalls();
    const size_t before = Log().size();
    AddThroughWindow("10.8.1.1\r\n10.8.1.{2-3}", false, mask);
    EXPECT_EQ(LogAfter(before), (Strings{std::string("添加IP-地址子网掩码 ") + mask + " 无效,未添加任何地址！"}))
        << mask;
    EXPECT_FALSE(Called("AddIPAddress")) << mask;
    EXPECT_FALSE(Called("RegSetValueExA")) << mask;
    EXPECT_EQ(BusyState(), "free");
  }
  EXPECT_EQ(RegistryBytes("IPAddress"), stored);
  // The mask control writes its parts without leading zeros; a mask text that has them is refused
  // like an address that has them.
  EXPECT_EQ(address_ops::AddOneAddress(Context(), "10.8.1.4", "255.255.255.000", 4), platform::kErrorInvalidParameter);
  EXPECT_EQ(address_ops::AddOneAddress(Context(), "10.8.1.4", "255.00.0.0", 4), platform::kErrorInvalidParameter);
  EXPECT_FALSE(Called("AddIPAddress"));
  // /32 and /8 are masks.
  AddThroughWindow("10.8.1.1", false, "255.255.255.255");
  AddThroughWindow("10.9.1.1", false, "255.0.0.0");
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "10.8.1.1", "10.9.1.1"}));
}

TEST_F(AddressOpsTest, TheOccupancyQueryPingsOnlyWhenAskedAndSkipsAnsweringAddresses) {
  StartApp();
  machine.ClearCalls();
  AddThroughWindow("192.168.1.{19-21}\r\n192.168.1.20", true);
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.19 成功.",
                                 "添加IP-地址 192.168.1.20 失败,该ip可能已被占用.", "添加IP-地址 192.168.1.21 成功.",
                                 "添加IP-地址 192.168.1.20 失败,该ip可能已被占用."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功2，添加失败0。");

  machine.ClearCalls();
  AddThroughWindow("192.168.1.20");
  EXPECT_FALSE(Called("IcmpSendEcho"));
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.20 成功."}));

  // Every address the machine holds answers, as on Windows: one added in this run, one this
  // adapter is configured with, one of another adapter; and the loopback range.
  machine.ClearCalls();
  AddThroughWindow("192.168.1.22\r\n192.168.1.10\r\n10.1.0.1\r\n127.0.0.5", true);
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.22 成功.",
                                 "添加IP-地址 192.168.1.10 失败,该ip可能已被占用.",
                                 "添加IP-地址 10.1.0.1 失败,该ip可能已被占用.",
                                 "添加IP-地址 127.0.0.5 失败,该ip可能已被占用."}));
  AddThroughWindow("192.168.1.22", true);
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.22 失败,该ip可能已被占用."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功0，添加失败0。");
}

TEST_F(AddressOpsTest, TheEchoesOfAnAdditionGoOutTogetherAtMostSixtyFourAtATimeAndTheLogKeepsItsOrder) {
  StartApp();
  // Every echo waits its full 30 ms, as to a silent address: one after another, a /24 would wait
  // 254 x 30 ms before its last address is bound.
  machine.SetLatency("IcmpSendEcho", 30);
  machine.AddEchoResponder("10.5.0.7");
  AddThroughWindow("10.5.0.{1-254}\r\n10.5.1.1", true);
  // Together (not one after another), and never more than 64 in flight.
  EXPECT_GT(machine.PeakConcurrentCalls("IcmpSendEcho"), 8);
  EXPECT_LE(machine.PeakConcurrentCalls("IcmpSendEcho"), 64);
  Strings lines = AddLines();
  ASSERT_EQ(lines.size(), 256u);
  EXPECT_EQ(lines[1], "添加IP-地址 10.5.0.1 成功.");
  EXPECT_EQ(lines[7], "添加IP-地址 10.5.0.7 失败,该ip可能已被占用.");
  EXPECT_EQ(lines[254], "添加IP-地址 10.5.0.254 成功.");
  EXPECT_EQ(lines[255], "添加IP-地址 10.5.1.1 成功.");
  // Every echo ended before the first address was bound.
  const Strings calls = machine.Calls();
  auto firstBind = std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("AddIPAddress(", 0) == 0; });
  EXPECT_EQ(std::count_if(firstBind, calls.end(), [](const std::string& c) { return c.rfind("IcmpSendEcho(", 0) == 0; }), 0);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("IcmpSendEcho(", 0) == 0; }), 255);
}

TEST_F(AddressOpsTest, ADuplicateAddressIsCountedAsFailedWithTheServiceCode) {
  StartApp();
  AddThroughWindow("192.168.1.10");
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 192.168.1.10 失败,返回代码5010."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功0，添加失败1。");
}

TEST_F(AddressOpsTest, TheBusyStateCoversTheAdditionsAndTheStoreFollowsItsEnd) {
  StartApp();
  // The controls as the service sees them at each call of the worker.
  Strings seen;
  machine.SetCallObserver([&](const std::string& call) {
    for (const char* name : {"AddIPAddress", "GetAdaptersInfo", "RegSetValueExA"})
      if (call.rfind(std::string(name) + "(", 0) == 0) seen.push_back(std::string(name) + " " + BusyState());
  });
  AddThroughWindow("10.6.0.{1-2}\r\n10.6.0.9");
  machine.SetCallObserver(nullptr);
  EXPECT_EQ(seen, (Strings{"AddIPAddress busy", "AddIPAddress busy", "AddIPAddress busy", "GetAdaptersInfo busy",
                           "GetAdaptersInfo busy", "RegSetValueExA busy", "RegSetValueExA busy"}));
  EXPECT_EQ(BusyState(), "free");
}

TEST_F(AddressOpsTest, TheStoreWritesTheAdaptersOwnAddressesAndMasksInTheServicesOrder) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.ipAddresses.push_back(Addr("10.7.0.1", "255.0.0.0", 499)); });
  // An address bound to two adapters: the table row holds adapter 4's, adapter 1 must keep it too.
  machine.ChangeAdapter(1, [](sim::SimAdapter& a) { a.ipAddresses.push_back(Addr("192.168.1.11", "255.255.0.0", 198)); });
  StartApp();
  address_ops::StoreAddressList(Context(), app::SelectedTarget(Context()));
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0" "10.7.0.1\0\0", 36));
  EXPECT_EQ(RegistryBytes("SubnetMask"), std::string("255.255.255.0\0" "255.255.255.0\0" "255.0.0.0\0\0", 39));
  EXPECT_EQ(LogFrom("开始刷新系统储存..."), (Strings{"开始刷新系统储存...", "储存IP地址成功.", "储存子网掩码成功."}));

  const sim::SimAdapter other = Ethernet(1, u"其他", {});
  address_ops::StoreAddressList(Context(), app::ChangeTarget{1, other.guid});
  config::RegistryAccess registry(machine.registry());
  uint32_t type = 0;
  const std::string path = address_ops::InterfaceKeyPath(other.guid);
  EXPECT_EQ(registry.ReadValueBytes(path, "IPAddress", &type), std::string("10.1.0.1\0" "192.168.1.11\0\0", 23));
  EXPECT_EQ(registry.ReadValueBytes(path, "SubnetMask", &type), std::string("255.255.255.0\0" "255.255.0.0\0\0", 27));
}

TEST_F(AddressOpsTest, TheStoreWritesNothingWhenTheIndexNowNamesAnotherAdapter) {
  StartApp();
  machine.ClearCalls();
  address_ops::StoreAddressList(Context(), app::ChangeTarget{4, Ethernet(1, u"其他", {}).guid});
  EXPECT_EQ(LogFrom("开始刷新系统储存..."), (Strings{"开始刷新系统储存...", "储存IP地址失败！", "储存子网掩码失败！"}));
  EXPECT_FALSE(Called("RegSetValueExA"));
  EXPECT_FALSE(Called("RegCreateKeyA"));
}

TEST_F(AddressOpsTest, AnAdapterShowingNoAddressOrOnDhcpKeepsItsStoredLists) {
  machine.WriteInterfaceKey(4);
  const std::string addresses = std::string("192.168.1.10\0" "192.168.1.11\0\0", 27);
  ASSERT_EQ(RegistryBytes("IPAddress"), addresses);
  // The cable is unplugged: the service lists no address, the key still holds the configuration.
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.operStatus = 2; });
  StartApp();
  machine.ClearCalls();
  address_ops::StoreAddressList(Context(), app::SelectedTarget(Context()));
  EXPECT_EQ(LogFrom("开始刷新系统储存..."),
            (Strings{"开始刷新系统储存...", "网卡当前没有可用的IP-地址(网线断开或未获得租约),保留原有的系统储存."}));
  // With DHCP on the static lists are not the system's: nothing is written, and the log says the
  // added addresses do not last.
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) {
    a.operStatus = 1;
    a.dhcpEnabled = 1;
  });
  app::RefreshAdapters(Context());
  address_ops::StoreAddressList(Context(), app::SelectedTarget(Context()));
  EXPECT_EQ(LogFrom("开始刷新系统储存..."),
            (Strings{"开始刷新系统储存...", "网卡已启用DHCP,添加的IP-地址只保留到下次重启,未写入系统储存."}));
  EXPECT_FALSE(Called("RegSetValueExA"));
  EXPECT_EQ(RegistryBytes("IPAddress"), addresses);
  EXPECT_EQ(RegistryBytes("SubnetMask"), std::string("255.255.255.0\0" "255.255.255.0\0\0", 29));
}

TEST_F(AddressOpsTest, AKeyThatCannotBeOpenedLogsBothFailures) {
  StartApp();
  const std::string stored = RegistryBytes("IPAddress");
  machine.FailNext("RegCreateKeyTransactedA", 5);
  address_ops::StoreAddressList(Context(), app::SelectedTarget(Context()));
  EXPECT_EQ(RegistryBytes("IPAddress"), stored);
  EXPECT_EQ(LogFrom("开始刷新系统储存..."), (Strings{"开始刷新系统储存...", "储存IP地址失败！", "储存子网掩码失败！"}));
}

TEST_F(AddressOpsTest, AnAdapterMissingFromTheRefreshKeepsItsStoredAddresses) {
  StartApp();
  config::RegistryAccess registry(machine.registry());
  ASSERT_EQ(registry.WriteMultiStringText(KeyPath(), "IPAddress", "192.168.1.10"), 1);
  const app::ChangeTarget target = app::SelectedTarget(Context());
  // The enumeration fails: the refresh finds no adapter, and nothing may be written over the list.
  machine.FailNext("GetAdaptersInfo", 50);
  app::RefreshAdapters(Context());
  address_ops::StoreAddressList(Context(), target);
  EXPECT_EQ(LogFrom("开始刷新系统储存..."), (Strings{"开始刷新系统储存...", "储存IP地址失败！", "储存子网掩码失败！"}));
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0\0", 14));
}

TEST_F(AddressOpsTest, AnAdditionOnAnUnpluggedAdapterKeepsItsStoredConfiguration) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.ipAddresses[1].mask = "255.255.240.0"; });
  machine.WriteInterfaceKey(4);
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.operStatus = 2; });
  StartApp();
  ASSERT_EQ(ListRows().size(), 0u);
  AddThroughWindow("10.0.0.{1-5}");
  // Bound, and listed by no one while the cable is out.
  EXPECT_EQ(AddressesOf(4).size(), 7u);
  EXPECT_EQ(Summary(), "添加IP完成，添加成功5，添加失败0。");
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0\0", 27));
  EXPECT_EQ(RegistryBytes("SubnetMask"), std::string("255.255.255.0\0" "255.255.240.0\0\0", 29));
  EXPECT_EQ(LogFrom("开始刷新系统储存...").back(), "网卡当前没有可用的IP-地址(网线断开或未获得租约),保留原有的系统储存.");
}

TEST_F(AddressOpsTest, TheAdditionStoresTheAdapterItStartedOnWhicheverIsSelectedBeforeTheStore) {
  StartApp();
  const std::string otherPath = address_ops::InterfaceKeyPath(Ethernet(1, u"其他", {}).guid);
  // The selector is moved to the other adapter while the addresses are being bound: the refresh
  // keeps that position, but the store is adapter 4's.
  bool moved = false;
  machine.SetCallObserver([&](const std::string& call) {
    if (!moved && call.rfind("AddIPAddress(", 0) == 0) {
      moved = true;
      Main().SetCurrentItem(mw::kSelector, 0);
    }
  });
  AddThroughWindow("10.6.0.{1-2}");
  machine.SetCallObserver(nullptr);
  ASSERT_TRUE(moved);
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "10.6.0.1", "10.6.0.2"}));
  EXPECT_EQ(RegistryBytes("IPAddress"),
            std::string("192.168.1.10\0" "192.168.1.11\0" "10.6.0.1\0" "10.6.0.2\0\0", 45));
  config::RegistryAccess registry(machine.registry());
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes(otherPath, "IPAddress", &type), "");
}

TEST_F(AddressOpsTest, TheDeletionStoresTheAdapterItStartedOnWhicheverIsSelectedBeforeTheStore) {
  StartApp();
  AddThroughWindow("10.6.0.{1-2}");
  const std::string otherPath = address_ops::InterfaceKeyPath(Ethernet(1, u"其他", {}).guid);
  bool moved = false;
  machine.SetCallObserver([&](const std::string& call) {
    if (!moved && call.rfind("DeleteIPAddress(", 0) == 0) {
      moved = true;
      Main().SetCurrentItem(mw::kSelector, 0);
    }
  });
  Main().SelectRows(mw::kAddressList, {2});
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuDelete));
  machine.WaitForThreads();
  machine.SetCallObserver(nullptr);
  ASSERT_TRUE(moved);
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "10.6.0.2"}));
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0" "10.6.0.2\0\0", 36));
  config::RegistryAccess registry(machine.registry());
  uint32_t type = 0;
  EXPECT_EQ(registry.ReadValueBytes(otherPath, "IPAddress", &type), "");
}

TEST_F(AddressOpsTest, AnAdditionOnADhcpAdapterWritesNothingAndSaysTheAddressesDoNotLast) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.dhcpEnabled = 1; });
  machine.WriteInterfaceKey(4);
  const std::string stored = RegistryBytes("IPAddress");
  StartApp();
  machine.ClearCalls();
  AddThroughWindow("10.6.0.7");
  EXPECT_EQ(AddressesOf(4).back(), "10.6.0.7");
  EXPECT_FALSE(Called("RegSetValueExA"));
  EXPECT_EQ(RegistryBytes("IPAddress"), stored);
  EXPECT_EQ(LogFrom("开始刷新系统储存...").back(), "网卡已启用DHCP,添加的IP-地址只保留到下次重启,未写入系统储存.");
}

TEST_F(AddressOpsTest, DeletingWithNothingSelectedNeitherRefreshesNorStores) {
  StartApp();
  machine.ClearCalls();
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuDelete));
  EXPECT_EQ(LogFrom("已经开始启用选中项目,请稍后..."), (Strings{"已经开始启用选中项目,请稍后...", "没有选中任何要启用的项目！"}));
  EXPECT_FALSE(Called("GetAdaptersInfo"));
  EXPECT_FALSE(Called("RegSetValueExA"));
  EXPECT_TRUE(Main().IsEnabled(mw::kRefreshButton));
}

TEST_F(AddressOpsTest, DeletingOnlyOtherKindsCallsNothingButStillRefreshesAndStores) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.gateways = {Addr("192.168.1.1", "255.255.255.255", 480)}; });
  StartApp();
  Main().Click(mw::kShowIp);
  Main().Click(mw::kShowGateway);
  Main().Click(mw::kRefreshButton);
  ASSERT_EQ(ListRows().size(), 1u);
  Main().SelectRows(mw::kAddressList, {0});
  machine.ClearCalls();
  Main().ChooseMenuItem(mw::kMenuDelete);
  EXPECT_FALSE(Called("DeleteIPAddress"));
  EXPECT_TRUE(Called("GetAdaptersInfo"));
  Strings log = LogFrom("已经开始启用选中项目,请稍后...");
  EXPECT_NE(std::find(log.begin(), log.end(), "删除选中项目完成,共计选中1条,符合启用条件0条,其中成功0 失败0."),
            log.end());
  EXPECT_EQ(log.back(), "储存子网掩码成功.");
}

TEST_F(AddressOpsTest, AMixedSelectionDeletesOnlyIpRowsInAscendingOrder) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.gateways = {Addr("192.168.1.1", "255.255.255.255", 480)}; });
  StartApp();
  AddThroughWindow("192.168.1.12");
  Main().Click(mw::kShowGateway);
  Main().Click(mw::kRefreshButton);
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 4u);
  ASSERT_EQ(rows[2][1], "192.168.1.12");
  ASSERT_EQ(rows[3][6], "IP-网关");
  Main().SelectRows(mw::kAddressList, {3, 2, 0});
  const int batches = Main().batchCalls();
  Main().ChooseMenuItem(mw::kMenuDelete);
  // The selected rows' cells are read in one call, and the refresh refills the list in one more.
  EXPECT_EQ(Main().batchCalls() - batches, 2);
  // The configured address is not the service's to remove; the one added in this run is.
  Strings log = DeleteLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1], "删除IP-地址 192.168.1.10 失败,返回代码87.");
  EXPECT_EQ(log[2], "成功删除IP-地址 192.168.1.12");
  EXPECT_NE(std::find(log.begin(), log.end(), "删除选中项目完成,共计选中3条,符合启用条件2条,其中成功1 失败1."),
            log.end());
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11"}));
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0\0", 27));
}

TEST_F(AddressOpsTest, ADeleteAnsweredWithAnErrorLogsItsCodeAndKeepsTheAddress) {
  StartApp();
  AddThroughWindow("192.168.1.12");
  ASSERT_EQ(ListRows().at(2)[1], "192.168.1.12");
  Main().SelectRows(mw::kAddressList, {2});
  machine.FailNext("DeleteIPAddress", 5);
  Main().ChooseMenuItem(mw::kMenuDelete);
  Strings log = DeleteLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "删除IP-地址 192.168.1.12 失败,返回代码5.");
  EXPECT_NE(std::find(log.begin(), log.end(), "删除选中项目完成,共计选中1条,符合启用条件1条,其中成功0 失败1."),
            log.end());
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "192.168.1.12"}));
}

TEST_F(AddressOpsTest, AContextCellWithoutDigitsIsAttemptedWithZeroAndLogged) {
  StartApp();
  Main().SetCell(mw::kAddressList, 0, 3, "n/a");
  Main().SelectRows(mw::kAddressList, {0});
  machine.ClearCalls();
  Main().ChooseMenuItem(mw::kMenuDelete);
  EXPECT_TRUE(Called("DeleteIPAddress(0) -> 87"));
  Strings log = DeleteLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "删除IP-地址 192.168.1.10 失败,返回代码87.");
  EXPECT_NE(std::find(log.begin(), log.end(), "删除选中项目完成,共计选中1条,符合启用条件1条,其中成功0 失败1."),
            log.end());
}

TEST_F(AddressOpsTest, OnTheDemoMachineTheUnpluggedAdapterKeepsItsStoredConfiguration) {
  std::unique_ptr<sim::Machine> demo = sim::MakeDemoMachine();
  std::unique_ptr<program::Application> demoApp = StartOn(*demo);
  const std::string key =
      "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{9C1F0E7A-52B4-4D61-A8E3-2F6B1D4C7E90}";
  const auto addresses = demo->LocalMachineValue(key, "IPAddress");
  const auto masks = demo->LocalMachineValue(key, "SubnetMask");
  ASSERT_EQ(masks, std::string("255.255.240.0\0\0", 15));
  ASSERT_TRUE(Main().ChooseItem(mw::kSelector, 0));
  ASSERT_EQ(Main().Text(mw::kSelector), "本地连接 2");
  EXPECT_EQ(ListRows().size(), 0u);
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
  // The add window offers the stored mask.
  EXPECT_EQ(windows.topModal()->Text(aw::kMask), "255.255.240.0");
  windows.topModal()->Type(aw::kAddresses, "172.16.40.{2-9}");
  ASSERT_TRUE(windows.topModal()->Click(aw::kConfirm));
  demo->WaitForThreads();
  const Strings log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "添加IP完成，添加成功8，添加失败0。"), log.end());
  EXPECT_EQ(demo->LocalMachineValue(key, "IPAddress"), addresses);
  EXPECT_EQ(demo->LocalMachineValue(key, "SubnetMask"), masks);
  EXPECT_EQ(Log().back(), "网卡当前没有可用的IP-地址(网线断开或未获得租约),保留原有的系统储存.");
}

TEST_F(AddressOpsTest, OnTheDemoMachineConfiguredAddressesStayAndAddedOnesGo) {
  // The demo's own machine, as its user meets it: "本地连接" is shown at start-up with its four
  // configured addresses.
  std::unique_ptr<sim::Machine> demo = sim::MakeDemoMachine();
  std::unique_ptr<program::Application> demoApp = StartOn(*demo);
  ASSERT_EQ(Main().Text(mw::kSelector), "本地连接");
  ASSERT_EQ(ListRows().size(), 4u);
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuAdd));
  windows.topModal()->Type(aw::kAddresses, "192.168.1.30");
  ASSERT_TRUE(windows.topModal()->Click(aw::kConfirm));
  demo->WaitForThreads();
  auto rows = ListRows();
  ASSERT_EQ(rows.size(), 5u);
  ASSERT_EQ(rows[4][1], "192.168.1.30");
  Main().SelectRows(mw::kAddressList, {1, 4});
  Main().ChooseMenuItem(mw::kMenuDelete);
  Strings log = DeleteLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1], "删除IP-地址 192.168.1.11 失败,返回代码87.");
  EXPECT_EQ(log[2], "成功删除IP-地址 192.168.1.30");
  EXPECT_EQ(ListRows().size(), 4u);
  demo->WaitForThreads();
}

// Another host of the segment holds 10.6.0.3: whether it answers echoes or drops them, and with
// the occupancy query on or off, the address is neither reported as added nor stored.
struct Conflict {
  bool answersEcho;
  bool occupancy;
};

class ConflictTest : public AddressOpsTest, public ::testing::WithParamInterface<Conflict> {};

TEST_P(ConflictTest, AnAddressAnotherHostHoldsIsNeitherReportedAsAddedNorStored) {
  machine.AddNeighbour(4, "10.6.0.3", GetParam().answersEcho);
  machine.SetLatency("DuplicateAddressDetection", 120);
  StartApp();
  machine.ClearCalls();
  AddThroughWindow("10.6.0.{1-5}", GetParam().occupancy);
  EXPECT_EQ(AddLines(), (Strings{"开始添加IP....", "添加IP-地址 10.6.0.1 成功.", "添加IP-地址 10.6.0.2 成功.",
                                 "添加IP-地址 10.6.0.3 失败,该ip可能已被占用.", "添加IP-地址 10.6.0.4 成功.",
                                 "添加IP-地址 10.6.0.5 成功."}));
  EXPECT_EQ(Summary(), "添加IP完成，添加成功4，添加失败0。");
  EXPECT_EQ(AddressesOf(4), (Strings{"192.168.1.10", "192.168.1.11", "10.6.0.1", "10.6.0.2", "10.6.0.4", "10.6.0.5"}));
  EXPECT_EQ(RegistryBytes("IPAddress"),
            std::string("192.168.1.10\0" "192.168.1.11\0" "10.6.0.1\0" "10.6.0.2\0" "10.6.0.4\0" "10.6.0.5\0\0", 63));
  // Bound and taken off again with its context, unless its echo kept it from being bound at all.
  const bool echoed = GetParam().answersEcho && GetParam().occupancy;
  EXPECT_EQ(Called("AddIPAddress(10.6.0.3,"), !echoed);
  EXPECT_EQ(Called("DeleteIPAddress("), !echoed);
  // One wait for the batch: a few polls of the adapters, not one wait per address.
  int polls = 0;
  for (const auto& call : machine.Calls()) polls += call.rfind("GetAdaptersAddresses(2,", 0) == 0 ? 1 : 0;
  EXPECT_LE(polls, 4);
}

INSTANTIATE_TEST_SUITE_P(EchoesAndTheOccupancyQuery, ConflictTest,
                         ::testing::Values(Conflict{false, false}, Conflict{false, true}, Conflict{true, false},
                                           Conflict{true, true}),
                         [](const ::testing::TestParamInfo<Conflict>& info) {
                           return std::string(info.param.answersEcho ? "AnsweringEchoes" : "DroppingEchoes") +
                                  (info.param.occupancy ? "WithTheQuery" : "WithoutTheQuery");
                         });

TEST_F(AddressOpsTest, ADeletionThatEmptiesAConnectedAdapterKeepsTheKeyAndSaysTheDeletionLastsUntilTheRestart) {
  const sim::SimAdapter empty = Ethernet(7, u"空网卡", {});
  machine.AddAdapter(empty);
  StartApp();
  ASSERT_EQ(Main().Text(mw::kSelector), "空网卡");
  AddThroughWindow("10.6.0.1");
  config::RegistryAccess registry(machine.registry());
  uint32_t type = 0;
  const std::string path = address_ops::InterfaceKeyPath(empty.guid);
  ASSERT_EQ(registry.ReadValueBytes(path, "IPAddress", &type), std::string("10.6.0.1\0\0", 10));
  Main().SelectRows(mw::kAddressList, {0});
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuDelete));
  machine.WaitForThreads();
  EXPECT_EQ(AddressesOf(7), Strings{});
  EXPECT_EQ(DeleteLog().back(), "网卡已没有可用的IP-地址,保留原有的系统储存,本次删除只保留到下次重启.");
  EXPECT_EQ(registry.ReadValueBytes(path, "IPAddress", &type), std::string("10.6.0.1\0\0", 10));
}

TEST_F(AddressOpsTest, AnAllZeroEntryWithAContextIsNeverStored) {
  machine.ChangeAdapter(4, [](sim::SimAdapter& a) { a.ipAddresses.push_back(Addr("0.0.0.0", "0.0.0.0", 777)); });
  StartApp();
  AddThroughWindow("10.6.0.1");
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0" "10.6.0.1\0\0", 36));
  EXPECT_EQ(RegistryBytes("SubnetMask"), std::string("255.255.255.0\0" "255.255.255.0\0" "255.255.255.0\0\0", 43));
}

// Without registry transactions: the second value refused, and the first one's put-back too. The
// log says what the key now holds.
TEST_F(AddressOpsTest, WithoutTransactionsAFailedWriteAndPutBackAreLoggedAsTheKeyHoldsThem) {
  machine.WriteInterfaceKey(4);
  machine.SetRegistryTransactionsAvailable(false);
  StartApp();
  bool armed = false;
  machine.SetCallObserver([&](const std::string& call) {
    if (armed || call.rfind("RegSetValueExA", 0) != 0) return;
    armed = true;
    machine.FailNext("RegSetValueExA", 5);  // SubnetMask
    machine.FailNext("RegSetValueExA", 5);  // IPAddress put back
  });
  AddThroughWindow("10.6.0.1");
  machine.SetCallObserver(nullptr);
  EXPECT_EQ(RegistryBytes("IPAddress"), std::string("192.168.1.10\0" "192.168.1.11\0" "10.6.0.1\0\0", 36));
  EXPECT_EQ(RegistryBytes("SubnetMask"), std::string("255.255.255.0\0" "255.255.255.0\0\0", 29));
  EXPECT_EQ(LogFrom("开始刷新系统储存..."),
            (Strings{"开始刷新系统储存...", "储存IP地址成功.", "储存子网掩码失败！",
                     "注意:IPAddress已是新的地址列表且未能改回,SubnetMask仍是原有的掩码列表,两者不再一一对应！"}));
}

}  // namespace
}  // namespace corvane::testing

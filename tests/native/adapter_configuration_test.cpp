// Adapter configuration: the script host, the static configuration procedure and DHCP through the
// instrumentation service, the addressing-state lookups and the TCP/IPv4 properties dialog, on
// the simulated machine with headless windows.
#include <algorithm>
#include <optional>

#include "app/adapter_view.h"
#include "config/addressing_state.h"
#include "config/management.h"
#include "config/script_host.h"
#include "config/static_configuration.h"
#include "platform/ip_field.h"

#include "app_fixture.h"
#include "config/registry_access.h"

namespace corvane::testing {
namespace {

using Strings = std::vector<std::string>;
namespace td = app::tcpip_dialog;

// The procedure as it must come out, written out here on its own.
std::string ExpectedProcedure(const std::string& address, const std::string& mask, const std::string& gateway,
                              const std::string& dns1, const std::string& dns2, const std::string& index) {
  return "Private Sub SetIP()\r\n"
         "strIPAddress = Array(\"" + address + "\") \r\n"
         "strSubnetMask = Array(\"" + mask + "\") \r\n"
         "strGateway = Array(\"" + gateway + "\") \r\n"
         "arrDNSServers = Array(\"" + dns1 + "\",\"" + dns2 + "\")\r\n"
         "\r\n"
         "strComputer = \".\"\r\n"
         "Set objWMIService = GetObject(\"winmgmts:\\\\\" & strComputer & \"\\root\\cimv2\")\r\n"
         "Set colNetAdapters = objWMIService.ExecQuery (\"Select * from Win32_NetworkAdapterConfiguration where "
         "IPEnabled=TRUE\")\r\n"
         "For Each objNetAdapter in colNetAdapters\r\n"
         "  if objnetadapter.Index=" + index + " then\r\n"
         "\tstrGatewayMetric = Array(1)\r\n"
         "\terrEnable = objNetAdapter.EnableStatic(strIPAddress, strSubnetMask)\r\n"
         "\terrGateways = objNetAdapter.SetGateways(strGateway, strGatewaymetric)\r\n"
         "\terrDNS = objNetAdapter.SetDNSServerSearchOrder(arrDNSServers)\r\n"
         "  end if\r\n"
         "Next\r\n"
         "End Sub";
}

std::string Filled(const std::string& address, const std::string& mask, const std::string& gateway,
                   const std::string& dns1, const std::string& dns2, int32_t index) {
  return config::FillSetIpIndex(config::FillSetIpValues(address, mask, gateway, dns1, dns2), index);
}

TEST(SetIpProcedure, TheTemplateIs718BytesInEighteenLines) {
  const std::string t = config::kSetIpTemplate;
  EXPECT_EQ(t.size(), 718u);
  EXPECT_EQ(text::Split(t, "\r\n").size(), 18u);
  EXPECT_NE(t.substr(t.size() - 2), "\r\n");
  EXPECT_EQ(t, ExpectedProcedure("IP地址", "子网掩码", "网关", "DNS服务器", "备用DNS", "索引"));
}

TEST(SetIpProcedure, FinishedTextByteForByteForNormalEmptyGatewayAndEmptyAlternateDns) {
  EXPECT_EQ(Filled("192.168.8.8", "255.255.255.0", "192.168.8.1", "223.5.5.5", "114.114.114.114", 7),
            ExpectedProcedure("192.168.8.8", "255.255.255.0", "192.168.8.1", "223.5.5.5", "114.114.114.114", "7"));
  EXPECT_EQ(Filled("10.0.0.5", "255.0.0.0", "", "8.8.8.8", "8.8.4.4", 12),
            ExpectedProcedure("10.0.0.5", "255.0.0.0", "", "8.8.8.8", "8.8.4.4", "12"));
  EXPECT_EQ(Filled("10.0.0.5", "255.0.0.0", "10.0.0.1", "8.8.8.8", "", -3),
            ExpectedProcedure("10.0.0.5", "255.0.0.0", "10.0.0.1", "8.8.8.8", "", "-3"));
}

TEST(SetIpProcedure, ReplacementsRunInOrderOnCharacterBoundaries) {
  // A value holding a later placeholder is replaced by the later step: the order is observable.
  const std::string filled = config::FillSetIpValues("a", "b", "索引", "c", "d");
  EXPECT_NE(filled.find("strGateway = Array(\"索引\")"), std::string::npos);
  EXPECT_NE(config::FillSetIpIndex(filled, 5).find("strGateway = Array(\"5\")"), std::string::npos);
  // "乗" ends in the byte of "\"; a value made of it stays whole.
  EXPECT_NE(config::FillSetIpValues("乗", "", "", "", "").find("Array(\"乗\")"), std::string::npos);
}

TEST(SetIpProcedure, OnlyDottedAddressesAndEmptyTextMayBecomeScriptText) {
  for (const char* good : {"", "0.0.0.0", "192.168.1.10", "255.255.255.255", "1.2.3.004"})
    EXPECT_TRUE(config::IsScriptValue(good)) << good;
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1.2.3.4\")\r\nMsgBox(\"x",
                          "a.b.c.d", "1..2.3", "1.2.3.0004", "-1.2.3.4", "1.2.3.4\"", "网关"})
    EXPECT_FALSE(config::IsScriptValue(bad)) << bad;
}

// --- the IP-field rules ---

TEST(IpFieldRules, WriteRuleTrimsTakesFourPartsAndClearsOtherwise) {
  auto shown = [](const std::string& text) { return platform::ipfield::FormatForRead(platform::ipfield::ParseForWrite(text)); };
  EXPECT_EQ(shown("192.168.1.10"), "192.168.1.10");
  EXPECT_EQ(shown(" \t192.168.1.10\r\n"), "192.168.1.10");
  EXPECT_EQ(shown(" 10 . 0 .0. 1 "), "10.0.0.1");
  EXPECT_EQ(shown("192.168.1.1\r\n192.168.1.2\r\n\r\n"), "192.168.1.1");  // the first of several lines
  EXPECT_EQ(shown("1.2.3.4x"), "1.2.3.4");                                 // leading digits
  EXPECT_EQ(shown("1..3.4"), "1.0.3.4");                                   // a part without digits is 0
  EXPECT_EQ(shown("1.2.3.4.5"), "1.2.3.4");                                // the rest after the third dot
  for (const char* cleared : {"", "   ", "1.2.3", "256.1.1.1", "1.2.3.99999999999", "-1.2.3.4", "abc", "\r\n"})
    EXPECT_EQ(shown(cleared), "") << cleared;
}

TEST(IpFieldRules, ReadRuleCountsBlankPartsAsZeroAndAllBlankAsEmpty) {
  using platform::ipfield::FormatForRead;
  EXPECT_EQ(FormatForRead({10, 0, 0, 1}, {false, false, false, false}), "10.0.0.1");
  EXPECT_EQ(FormatForRead({10, 9, 9, 1}, {false, true, true, false}), "10.0.0.1");
  EXPECT_EQ(FormatForRead({1, 2, 3, 4}, {true, true, true, true}), "");
  EXPECT_EQ(FormatForRead(std::nullopt), "");
}

TEST(IpFieldRules, NulsStrayBytesAndHugeNumbersInAFieldAreClearedOrCutAtTheirDigits) {
  auto shown = [](const std::string& text) { return platform::ipfield::FormatForRead(platform::ipfield::ParseForWrite(text)); };
  EXPECT_EQ(shown(std::string("1.2.3.4\0" "99", 10)), "1.2.3.4");  // a NUL ends the part's digits
  EXPECT_EQ(shown(std::string(1, '\0')), "");
  EXPECT_EQ(shown("1.2.3.4294967297"), "");
  EXPECT_EQ(shown("99999999999999999999.1.1.1"), "");
  EXPECT_EQ(shown(std::string(100000, '7')), "");
  EXPECT_EQ(shown("\xB0\xA1.2.3.4"), "0.2.3.4");  // a part without digits is 0
  EXPECT_EQ(shown("1.2.3.\xB0"), "1.2.3.0");
  EXPECT_EQ(shown("+1.2.3.4"), "");
}

TEST(SetIpProcedure, NulsStrayBytesQuotesAndHugeTextsNeverBecomeScriptText) {
  for (const std::string& bad :
       {std::string("1.2.3.4\0", 8), std::string("\0" "1.2.3.4", 8), std::string("1.2.3.4\0\")", 10),
        std::string("1.2.3.\xB0"), std::string("\xA3\xB1.2.3.4"), std::string("1.2.3.4\\"), std::string("1.2.3.4'"),
        std::string(100000, '1'), std::string("4294967297.0.0.1"), std::string("1.2.3.4:")})
    EXPECT_FALSE(config::IsScriptValue(bad)) << bad.substr(0, 20);
}

// --- the script host ---

class ScriptHostTest : public ::testing::Test {
 protected:
  sim::Machine machine;
};

TEST_F(ScriptHostTest, OnlyTheExactTextJScriptPassesTheLanguageRule) {
  config::ScriptHost host(machine.automation());
  ASSERT_TRUE(host.ready());
  EXPECT_EQ(host.Language("JScript"), "JScript");
  EXPECT_EQ(host.Language("jscript"), "VBScript");
  EXPECT_EQ(host.Language("JScript "), "VBScript");
  EXPECT_EQ(host.Language("Perl"), "VBScript");
  EXPECT_EQ(host.Language(""), "VBScript");
}

TEST_F(ScriptHostTest, ConstructAndDiscardLeaveTheInitialisationCountUnchanged) {
  EXPECT_EQ(machine.AutomationInitializations(), 0);
  { config::ScriptHost host(machine.automation()); }
  EXPECT_EQ(machine.AutomationInitializations(), 0);
  machine.automation().Initialize();
  {
    config::ScriptHost host(machine.automation());
    EXPECT_EQ(machine.AutomationInitializations(), 2);
  }
  EXPECT_EQ(machine.AutomationInitializations(), 1);
  // Without a control, and when the initialisation itself fails.
  machine.SetScriptControlAvailable(false);
  {
    config::ScriptHost host(machine.automation());
    EXPECT_FALSE(host.ready());
    EXPECT_EQ(host.creationResult(), platform::kClassNotRegistered);
    EXPECT_EQ(host.Language("JScript"), "");
    EXPECT_EQ(host.ExecuteStatement("SetIP"), platform::kEFail);
  }
  machine.FailNext("CoInitialize", 0x80010106u);  // RPC_E_CHANGED_MODE
  { config::ScriptHost host(machine.automation()); }
  EXPECT_EQ(machine.AutomationInitializations(), 1);
  machine.automation().Uninitialize();
}

TEST_F(ScriptHostTest, DiscardClearsAndResetsTheObjectsBeforeReleasingTheInitialisation) {
  {
    config::ScriptHost host(machine.automation());
    machine.ClearCalls();
  }
  EXPECT_EQ(machine.Calls(),
            (Strings{"ScriptControl.Error.Clear() -> 0", "ScriptControl.Reset() -> 0", "CoUninitialize()"}));
}

TEST_F(ScriptHostTest, ABrokenLineIsACompileErrorWithItsLine) {
  config::ScriptHost host(machine.automation());
  std::string procedure = Filled("10.0.0.5", "255.0.0.0", "", "", "", 4);
  procedure = text::ReplaceAll(procedure, "For Each objNetAdapter in", "For Each objNetAdapter of");
  EXPECT_EQ(host.AddCode(procedure), sim::kScriptESyntax);
  const platform::ScriptError error = host.Error();
  EXPECT_EQ(error.number, 1002);
  EXPECT_EQ(error.line, 10);
  // What the dialog logs for it.
  config::StaticOutcome outcome;
  outcome.kind = config::StaticOutcome::Kind::ScriptError;
  outcome.hr = sim::kScriptESyntax;
  outcome.error = error;
  EXPECT_EQ(config::StaticLogLine("本地连接", outcome), "本地连接 修改为静态IP失败！脚本错误1002,行10.");
  // Nothing ran: a procedure that does not compile is not there to execute.
  EXPECT_NE(host.ExecuteStatement("SetIP"), platform::kSOk);
}

TEST_F(ScriptHostTest, AWrongIndexOrValueInTheTextIsWhatTheSimulatedControlApplies) {
  machine.AddAdapter(Ethernet(4, u"A", {"10.0.0.1"}));
  machine.AddAdapter(Ethernet(5, u"B", {"10.0.0.2"}));
  config::ScriptHost host(machine.automation());
  ASSERT_EQ(host.AddCode(config::kSetIpResultDeclarations), platform::kSOk);
  ASSERT_EQ(host.AddCode(Filled("172.16.0.9", "255.255.0.0", "172.16.0.1", "1.1.1.1", "", 5)), platform::kSOk);
  ASSERT_EQ(host.ExecuteStatement("SetIP"), platform::kSOk);
  platform::WmiValue value;
  EXPECT_EQ(host.Eval("errEnable", &value), platform::kSOk);
  EXPECT_EQ(value.AsText(), "0");
  const std::vector<sim::SimAdapter> adapters = machine.Adapters();
  EXPECT_EQ(adapters[0].ipAddresses[0].address, "10.0.0.1");  // index 4: untouched
  ASSERT_EQ(adapters[1].ipAddresses.size(), 1u);
  EXPECT_EQ(adapters[1].ipAddresses[0].address, "172.16.0.9");
  EXPECT_EQ(adapters[1].ipAddresses[0].mask, "255.255.0.0");
  EXPECT_EQ(adapters[1].dnsServers, Strings{"1.1.1.1"});
}

// --- the management connection and the lookups ---

class ManagementTest : public AppTest {
 protected:
  int32_t IndexOf(const std::string& name, config::IndexLookup* lookup) {
    return config::FindAdapterIndexByConnectionName(machine.automation(), name, lookup);
  }
};

TEST_F(ManagementTest, ConnectionNamesWithQuotesAndBackslashesSelectOnlyTheirAdapter) {
  sim::SimAdapter a = Ethernet(11, u"本地连接", {"10.0.0.1"});
  sim::SimAdapter b = Ethernet(12, u"it's", {"10.0.0.2"});
  sim::SimAdapter c = Ethernet(13, u"back\\slash\\", {"10.0.0.3"});
  sim::SimAdapter d = Ethernet(14, u"乗务", {"10.0.0.4"});
  for (auto* x : {&a, &b, &c, &d}) machine.AddAdapter(*x);
  config::IndexLookup lookup;
  EXPECT_EQ(IndexOf("it's", &lookup), 12);
  EXPECT_TRUE(lookup.found);
  EXPECT_EQ(IndexOf("back\\slash\\", &lookup), 13);
  EXPECT_TRUE(lookup.found);
  EXPECT_EQ(IndexOf("乗务", &lookup), 14);
  EXPECT_TRUE(lookup.found);
  // Unescaped, this name would select "本地连接".
  EXPECT_EQ(IndexOf("本地连接' AND NetConnectionID<>'", &lookup), 0);
  EXPECT_FALSE(lookup.found);
  EXPECT_EQ(IndexOf("本地连接\\", &lookup), 0);
  EXPECT_FALSE(lookup.found);
  // Matching nothing is no failure.
  EXPECT_EQ(lookup.failedStep, config::ManagementStep::None);
}

TEST_F(ManagementTest, EachFailingStepOfTheLookupIsNamedWithItsCodeAndLeavesTheInitialisationCount) {
  machine.AddAdapter(Ethernet(11, u"本地连接", {"10.0.0.1"}));
  machine.automation().Initialize();
  config::IndexLookup lookup;
  EXPECT_EQ(IndexOf("本地连接", &lookup), 11);
  EXPECT_EQ(machine.AutomationInitializations(), 1);
  const struct {
    const char* operation;
    uint32_t code;
    config::ManagementStep step;
  } steps[] = {{"CoInitialize", 0x80010106u, config::ManagementStep::Connect},  // RPC_E_CHANGED_MODE
               {"CoCreateInstance(WbemLocator)", 0x80040154u, config::ManagementStep::Connect},
               {"ConnectServer", 0x800706BAu, config::ManagementStep::Connect},  // RPC_S_SERVER_UNAVAILABLE
               {"CoSetProxyBlanket", 0x80070005u, config::ManagementStep::Connect},
               {"ExecQuery", 0x80041003u, config::ManagementStep::Query},
               {"IEnumWbemClassObject::Next", 0x80010108u, config::ManagementStep::Query}};  // RPC_E_DISCONNECTED
  for (const auto& step : steps) {
    SCOPED_TRACE(step.operation);
    machine.FailNext(step.operation, step.code);
    EXPECT_EQ(IndexOf("本地连接", &lookup), 0);
    EXPECT_FALSE(lookup.found);
    EXPECT_EQ(lookup.failedStep, step.step);
    EXPECT_EQ(lookup.hr, static_cast<platform::HResult>(step.code));
    EXPECT_EQ(machine.AutomationInitializations(), 1);
  }
  config::ManagementConnection connection(machine.automation());
  EXPECT_TRUE(config::ConnectManagementService("", &connection));
  EXPECT_EQ(machine.AutomationInitializations(), 2);
  connection.Release();
  EXPECT_EQ(machine.AutomationInitializations(), 1);
  machine.automation().Uninitialize();
}

TEST_F(ManagementTest, EnableDhcpReadsTheMethodsReturnValue) {
  sim::SimAdapter a = Ethernet(11, u"本地连接", {"10.0.0.1"});
  machine.AddAdapter(a);
  sim::SimAdapter off = Ethernet(12, u"关闭", {"10.0.0.2"});
  off.ipEnabled = false;
  machine.AddAdapter(off);
  config::DhcpOutcome outcome;
  EXPECT_EQ(config::EnableDhcpOnConnection(machine.automation(), "本地连接", &outcome), 1);
  EXPECT_EQ(machine.Adapters()[0].dhcpEnabled, 1u);
  EXPECT_EQ(config::DhcpLogLine("本地连接", 1, outcome), "本地连接 修改为自动获取IP成功.");
  // The service carries the call out, the method refuses it: a failure with the method's code.
  EXPECT_EQ(config::EnableDhcpOnConnection(machine.automation(), "关闭", &outcome), 0);
  EXPECT_EQ(outcome.returnValue, 84);
  EXPECT_EQ(config::DhcpLogLine("关闭", 0, outcome), "关闭 修改为自动获取IP失败！返回代码84.");
  // No adapter by that name: nothing is called.
  machine.ClearCalls();
  EXPECT_EQ(config::EnableDhcpOnConnection(machine.automation(), "无此连接", &outcome), 0);
  for (const auto& call : machine.Calls()) EXPECT_EQ(call.find("ExecMethod"), std::string::npos) << call;
  EXPECT_EQ(config::DhcpLogLine("无此连接", 0, outcome), "无此连接 修改为自动获取IP失败！未找到该网卡.");
  machine.FailNext("ExecMethod", 0x8004102Eu);
  EXPECT_EQ(config::EnableDhcpOnConnection(machine.automation(), "本地连接", &outcome), 0);
  EXPECT_EQ(config::DhcpLogLine("本地连接", 0, outcome), "本地连接 修改为自动获取IP失败！返回代码-2147217362.");
  EXPECT_EQ(machine.AutomationInitializations(), 0);
}

// A failure says where it happened and carries the service's own code; "not found" is left to a
// lookup that ran and matched nothing.
TEST_F(ManagementTest, EnableDhcpFailuresAreLoggedWithTheirStepAndCode) {
  machine.AddAdapter(Ethernet(11, u"本地连接", {"10.0.0.1"}));
  auto lineAfter = [&](const char* operation, uint32_t code) {
    machine.FailNext(operation, code);
    config::DhcpOutcome outcome;
    const int result = config::EnableDhcpOnConnection(machine.automation(), "本地连接", &outcome);
    return config::DhcpLogLine("本地连接", result, outcome);
  };
  // The service is not running: the first connection cannot be made.
  EXPECT_EQ(lineAfter("ConnectServer", 0x800706BAu), "本地连接 修改为自动获取IP失败！连接WMI服务失败,返回代码-2147023174.");
  EXPECT_EQ(lineAfter("CoCreateInstance(WbemLocator)", 0x80040154u),
            "本地连接 修改为自动获取IP失败！连接WMI服务失败,返回代码-2147221164.");
  // The index lookup's query, or the reading of its results, fails.
  EXPECT_EQ(lineAfter("ExecQuery", 0x80041001u), "本地连接 修改为自动获取IP失败！查询网卡索引失败,返回代码-2147217407.");
  EXPECT_EQ(lineAfter("IEnumWbemClassObject::Next", 0x80010108u),
            "本地连接 修改为自动获取IP失败！查询网卡索引失败,返回代码-2147417848.");
  // ExecMethod succeeds but its answer holds no ReturnValue: the method's result is unknown.
  EXPECT_EQ(lineAfter("ExecMethod", 0), "本地连接 修改为自动获取IP失败！EnableDHCP未返回ReturnValue,返回代码0.");
  EXPECT_EQ(machine.Adapters()[0].dhcpEnabled, 0u);
  EXPECT_EQ(machine.AutomationInitializations(), 0);
}

TEST_F(ManagementTest, IsDhcpEnabledLastMatchWinsAndIsCaseSensitive) {
  sim::SimAdapter a = Ethernet(11, u"Lan", {"10.0.0.1"});
  a.dhcpEnabled = 1;
  sim::SimAdapter b = Ethernet(12, u"Lan", {"10.0.0.2"});
  machine.AddAdapter(a);
  machine.AddAdapter(b);
  EXPECT_EQ(config::IsDhcpEnabledForConnection(machine.ipHelper(), machine.kernel(), "Lan"), 0);
  machine.ChangeAdapter(12, [](sim::SimAdapter& x) { x.dhcpEnabled = 1; });
  machine.ChangeAdapter(11, [](sim::SimAdapter& x) { x.dhcpEnabled = 0; });
  EXPECT_EQ(config::IsDhcpEnabledForConnection(machine.ipHelper(), machine.kernel(), "Lan"), 1);
  EXPECT_EQ(config::IsDhcpEnabledForConnection(machine.ipHelper(), machine.kernel(), "lan"), 0);
  EXPECT_EQ(config::IsDhcpEnabledForConnection(machine.ipHelper(), machine.kernel(), "Lan "), 0);
  machine.FailNext("GetAdaptersAddresses", 8);
  EXPECT_EQ(config::IsDhcpEnabledForConnection(machine.ipHelper(), machine.kernel(), "Lan"), 0);
}

TEST_F(ManagementTest, ReadInterfaceGatewayWithOneTwoAndNoGateways) {
  config::RegistryAccess registry(machine.registry());
  const std::string key = std::string(config::kInterfacesKeyPath) + "{GUID}";
  ASSERT_EQ(registry.WriteValueBytes(key, "DefaultGateway", std::string("10.0.0.1\0\0", 10), 7), 1);
  ASSERT_EQ(registry.WriteValueBytes(key, "DhcpDefaultGateway", std::string("10.0.0.1\0" "10.0.0.2\0\0", 19), 7), 1);
  ASSERT_EQ(registry.WriteValueBytes(key, "Empty", std::string("\0", 1), 7), 1);
  EXPECT_EQ(config::ReadInterfaceGateway(registry, "{GUID}", "DefaultGateway"), "10.0.0.1\r\n\r\n");
  EXPECT_EQ(config::ReadInterfaceGateway(registry, "{GUID}", "DhcpDefaultGateway"), "10.0.0.1\r\n10.0.0.2\r\n\r\n");
  EXPECT_EQ(config::ReadInterfaceGateway(registry, "{GUID}", "Empty"), "\r\n");
  EXPECT_EQ(config::ReadInterfaceGateway(registry, "{GUID}", "Missing"), "");
  EXPECT_EQ(config::ReadInterfaceGateway(registry, "{NONE}", "DefaultGateway"), "");
}

// --- the dialog ---

// Forwards to the machine's service and notes whether OK was enabled while a method ran.
class WatchedAutomation final : public platform::Automation {
 public:
  WatchedAutomation(platform::Automation& inner, headless::HeadlessWindowSystem& windows)
      : inner_(inner), windows_(windows) {}
  platform::HResult Initialize() override { return inner_.Initialize(); }
  void Uninitialize() override { inner_.Uninitialize(); }
  platform::HResult InitializeSecurity() override { return inner_.InitializeSecurity(); }
  platform::HResult CreateLocator(std::unique_ptr<platform::WmiLocator>* locator) override {
    Note();
    return inner_.CreateLocator(locator);
  }
  platform::HResult ExecQuery(const std::string& ns, const std::string& wql,
                              std::vector<platform::WmiObject>* rows) override {
    return inner_.ExecQuery(ns, wql, rows);
  }
  platform::HResult ExecMethod(const std::string& ns, const std::string& path, const std::string& method,
                               const platform::WmiObject& in, platform::WmiObject* out) override {
    return inner_.ExecMethod(ns, path, method, in, out);
  }
  platform::HResult EnumConnections(std::vector<platform::NetConnection>* connections) override {
    return inner_.EnumConnections(connections);
  }
  platform::HResult CreateScriptControl(const std::string& progId,
                                        std::unique_ptr<platform::ScriptControl>* control) override {
    Note();
    return inner_.CreateScriptControl(progId, control);
  }
  std::vector<bool> okEnabled;

 private:
  void Note() {
    if (headless::HeadlessWindow* dialog = windows_.topModal()) okEnabled.push_back(dialog->IsEnabled(td::kOk));
  }
  platform::Automation& inner_;
  headless::HeadlessWindowSystem& windows_;
};

class DialogTest : public AppTest {
 protected:
  void SetUp() override {
    sim::SimAdapter a = Ethernet(11, u"本地连接", {"192.168.1.10", "192.168.1.11"});
    a.gateways = {Addr("192.168.1.1", "255.255.255.255", 901)};
    a.dnsServers = {"223.5.5.5"};
    machine.AddAdapter(a);
    machine.WriteInterfaceKey(11);
  }

  headless::HeadlessWindow* OpenDialog() {
    if (!Main().ChooseMenuItem(mw::kMenuProperties)) return nullptr;
    headless::HeadlessWindow* dialog = windows.topModal();
    if (dialog != nullptr) {
      EXPECT_EQ(dialog->Title(), td::kCaption);
    }
    return dialog;
  }

  static constexpr const char* kGroup[] = {td::kIp, td::kMask, td::kGateway, td::kAlternateDns, td::kPreferredDns,
                                           td::kIpLabel, td::kMaskLabel, td::kGatewayLabel};
};

TEST_F(DialogTest, OpensOnlyWhileTheMenuItemIsEnabled) {
  StartApp();
  Main().SetMenuItemEnabled(mw::kMenuProperties, false);
  EXPECT_EQ(OpenDialog(), nullptr);
  EXPECT_EQ(windows.topModal(), nullptr);
  Main().SetMenuItemEnabled(mw::kMenuProperties, true);
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->unknownNames(), Strings{});
}

TEST_F(DialogTest, StaticAdapterStartsOnTheStaticSideWithItsLastAddressAndTheFallbackAlternateDns) {
  StartApp();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->IsChecked(td::kAutomatic));
  EXPECT_TRUE(dialog->IsChecked(td::kStatic));
  EXPECT_EQ(dialog->Text(td::kIp), "192.168.1.11");
  EXPECT_EQ(dialog->Text(td::kMask), "255.255.255.0");
  EXPECT_EQ(dialog->Text(td::kGateway), "192.168.1.1");
  EXPECT_EQ(dialog->Text(td::kPreferredDns), "223.5.5.5");
  EXPECT_EQ(dialog->Text(td::kAlternateDns), "114.114.114.114");
  for (const char* control : kGroup) EXPECT_TRUE(dialog->IsEnabled(control)) << control;
}

TEST_F(DialogTest, DhcpAdapterStartsAutomaticWithTheGroupDisabledAndTheDhcpGateway) {
  machine.ChangeAdapter(11, [](sim::SimAdapter& a) {
    a.dhcpEnabled = 1;
    a.gateways = {Addr("192.168.1.254", "255.255.255.255", 902)};
    a.dnsServers = {"223.5.5.5", "223.6.6.6"};
  });
  machine.WriteInterfaceKey(11);
  StartApp();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->IsChecked(td::kAutomatic));
  EXPECT_FALSE(dialog->IsChecked(td::kStatic));
  EXPECT_EQ(dialog->Text(td::kGateway), "192.168.1.254");
  EXPECT_EQ(dialog->Text(td::kAlternateDns), "223.6.6.6");
  for (const char* control : kGroup) EXPECT_FALSE(dialog->IsEnabled(control)) << control;
  EXPECT_TRUE(dialog->IsEnabled(td::kPreferredDnsLabel));
  EXPECT_TRUE(dialog->IsEnabled(td::kAlternateDnsLabel));
}

TEST_F(DialogTest, RadioButtonsSwitchTheEightControlsAndNeverTheDnsLabels) {
  StartApp();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Click(td::kAutomatic));
  for (const char* control : kGroup) EXPECT_FALSE(dialog->IsEnabled(control)) << control;
  EXPECT_TRUE(dialog->IsEnabled(td::kPreferredDnsLabel));
  EXPECT_TRUE(dialog->IsEnabled(td::kAlternateDnsLabel));
  ASSERT_TRUE(dialog->Click(td::kStatic));
  for (const char* control : kGroup) EXPECT_TRUE(dialog->IsEnabled(control)) << control;
  EXPECT_TRUE(dialog->IsEnabled(td::kPreferredDnsLabel));
  EXPECT_TRUE(dialog->IsEnabled(td::kAlternateDnsLabel));
}

TEST_F(DialogTest, DhcpOnAndBackToStaticWithTheLogLinesAndTheStateAfterARefresh) {
  StartApp();
  const size_t before = Log().size();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Click(td::kAutomatic));
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before), Strings{"本地连接 修改为自动获取IP成功."});
  EXPECT_EQ(machine.Adapters()[0].dhcpEnabled, 1u);
  EXPECT_EQ(machine.AutomationInitializations(), 0);

  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->IsChecked(td::kAutomatic));
  ASSERT_TRUE(dialog->Click(td::kStatic));
  ASSERT_TRUE(dialog->Type(td::kIp, "192.168.5.20"));
  ASSERT_TRUE(dialog->Type(td::kMask, "255.255.0.0"));
  ASSERT_TRUE(dialog->Type(td::kGateway, "192.168.5.1"));
  ASSERT_TRUE(dialog->Type(td::kPreferredDns, "8.8.8.8"));
  ASSERT_TRUE(dialog->Type(td::kAlternateDns, "8.8.4.4"));
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before + 1), Strings{"本地连接 修改为静态IP成功."});
  EXPECT_EQ(machine.AutomationInitializations(), 0);

  const sim::SimAdapter a = machine.Adapters()[0];
  EXPECT_EQ(a.dhcpEnabled, 0u);
  ASSERT_EQ(a.ipAddresses.size(), 1u);
  EXPECT_EQ(a.ipAddresses[0].address, "192.168.5.20");
  EXPECT_EQ(a.ipAddresses[0].mask, "255.255.0.0");
  ASSERT_EQ(a.gateways.size(), 1u);
  EXPECT_EQ(a.gateways[0].address, "192.168.5.1");
  EXPECT_EQ(a.dnsServers, (Strings{"8.8.8.8", "8.8.4.4"}));
  config::RegistryAccess registry(machine.registry());
  EXPECT_EQ(config::ReadInterfaceGateway(registry, a.guid, "DefaultGateway"), "192.168.5.1\r\n\r\n");

  // The view keeps its old content until the user refreshes it.
  EXPECT_EQ(ListRows()[0][1], "192.168.1.10");
  ASSERT_TRUE(Main().Click(mw::kRefreshButton));
  machine.WaitForThreads();
  ASSERT_EQ(ListRows().size(), 1u);
  EXPECT_EQ(ListRows()[0][1], "192.168.5.20");
  EXPECT_EQ(ListRows()[0][2], "255.255.0.0");
}

TEST_F(DialogTest, ScriptErrorsAreLoggedAndTheDialogCloses) {
  StartApp();
  const size_t before = Log().size() - 1;
  // An error inside the script: the method call fails on the service.
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  machine.FailNext("ExecMethod", 0x80041003u);  // WBEM_E_ACCESS_DENIED
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before + 1), Strings{"本地连接 修改为静态IP失败！脚本错误-2147217405,行13."});

  // The adapter disappeared meanwhile: nothing is configured on any other adapter.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  machine.ChangeAdapter(11, [](sim::SimAdapter& a) { a.connectionName = u"改名"; });
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before + 2), Strings{"本地连接 修改为静态IP失败！未找到该网卡."});

  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Click(td::kAutomatic));
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before + 3), Strings{"本地连接 修改为自动获取IP失败！未找到该网卡."});
  EXPECT_EQ(machine.AutomationInitializations(), 0);
}

// The adapter's addresses, gateways, DNS servers and addressing, to compare before and after.
Strings ConfigurationOf(const sim::SimAdapter& a) {
  Strings lines{"dhcp " + std::to_string(a.dhcpEnabled)};
  for (const auto& x : a.ipAddresses) lines.push_back("ip " + x.address + "/" + x.mask);
  for (const auto& x : a.gateways) lines.push_back("gateway " + x.address);
  for (const auto& x : a.dnsServers) lines.push_back("dns " + x);
  return lines;
}

TEST_F(DialogTest, AFailedLookupAndAnAdapterWithoutTcpipAreLoggedAsSuchOnBothPaths) {
  StartApp();
  auto confirm = [&](bool automatic, const char* operation, uint32_t code) {
    headless::HeadlessWindow* dialog = OpenDialog();
    if (dialog == nullptr) return std::string("no dialog");
    if (automatic) dialog->Click(td::kAutomatic);
    if (operation != nullptr) machine.FailNext(operation, code);
    const size_t before = Log().size();
    dialog->Click(td::kOk);
    EXPECT_FALSE(windows.IsOpen(dialog));
    std::string lines;
    for (const std::string& line : LogAfter(before)) lines += (lines.empty() ? "" : "|") + line;
    return lines;
  };
  const Strings configured = ConfigurationOf(machine.Adapters()[0]);
  EXPECT_EQ(confirm(false, "CoCreateInstance(WbemLocator)", 0x80040154u),
            "本地连接 修改为静态IP失败！连接WMI服务失败,返回代码-2147221164.");
  EXPECT_EQ(confirm(false, "IEnumWbemClassObject::Next", 0x80010108u),
            "本地连接 修改为静态IP失败！查询网卡索引失败,返回代码-2147417848.");
  EXPECT_EQ(confirm(true, "ConnectServer", 0x800706BAu),
            "本地连接 修改为自动获取IP失败！连接WMI服务失败,返回代码-2147023174.");
  EXPECT_EQ(confirm(true, "ExecQuery", 0x80041001u), "本地连接 修改为自动获取IP失败！查询网卡索引失败,返回代码-2147217407.");
  EXPECT_EQ(ConfigurationOf(machine.Adapters()[0]), configured);
  // The lookup finds the adapter, but the script configures only adapters with TCP/IP enabled.
  machine.ChangeAdapter(11, [](sim::SimAdapter& a) { a.ipEnabled = false; });
  EXPECT_EQ(confirm(false, nullptr, 0), "本地连接 修改为静态IP失败！该网卡未启用TCP/IP,未做任何修改.");
  EXPECT_EQ(ConfigurationOf(machine.Adapters()[0]), configured);
  EXPECT_EQ(machine.AutomationInitializations(), 0);
}

// EnableStatic refusing the address would leave the script to change the gateway and the DNS
// servers, and SetGateways refusing a gateway would leave the address changed: with an address,
// gateway or DNS server no adapter can use, or a mask that is none, nothing runs at all, and the
// dialog keeps what was typed.
TEST_F(DialogTest, AnUnusableAddressOrMaskChangesNothingAndAUsableOneStillApplies) {
  StartApp();
  const Strings configured = ConfigurationOf(machine.Adapters()[0]);
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Type(td::kPreferredDns, "8.8.8.8"));
  const struct {
    const char* address;
    const char* mask;
    const char* gateway;
    const char* dns;
    const char* wrong;
  } cases[] = {{"", "255.255.255.0", "", "8.8.8.8", "IP地址"},
               {"0.1.2.3", "255.255.255.0", "", "8.8.8.8", "IP地址"},
               {"127.0.0.1", "255.0.0.0", "", "8.8.8.8", "IP地址"},
               {"224.0.0.5", "255.255.255.0", "", "8.8.8.8", "IP地址"},
               {"192.168.1.11", "0.0.0.0", "", "8.8.8.8", "子网掩码"},
               {"192.168.1.11", "255.0.255.0", "", "8.8.8.8", "子网掩码"},
               {"192.168.1.11", "", "", "8.8.8.8", "子网掩码"},
               {"", "0.0.0.0", "", "8.8.8.8", "IP地址和子网掩码"},
               // SetGateways answers 71 for 0.0.0.0, after EnableStatic has changed the address.
               {"192.168.1.11", "255.255.255.0", "0.0.0.0", "8.8.8.8", "默认网关"},
               {"192.168.1.11", "255.255.255.0", "192.168.1.1", "239.1.1.1", "首选DNS服务器"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.mask + " " + c.gateway + " " + c.dns);
    ASSERT_TRUE(dialog->Type(td::kIp, c.address));
    ASSERT_TRUE(dialog->Type(td::kMask, c.mask));
    ASSERT_TRUE(dialog->Type(td::kGateway, c.gateway));
    ASSERT_TRUE(dialog->Type(td::kPreferredDns, c.dns));
    const size_t before = Log().size();
    machine.ClearCalls();
    ASSERT_TRUE(dialog->Click(td::kOk));
    EXPECT_EQ(machine.Calls(), Strings{});
    EXPECT_EQ(LogAfter(before), Strings{std::string("本地连接 修改为静态IP失败！") + c.wrong + "无效,未做任何修改."});
    EXPECT_TRUE(windows.IsOpen(dialog));
  }
  EXPECT_EQ(ConfigurationOf(machine.Adapters()[0]), configured);

  ASSERT_TRUE(dialog->Type(td::kIp, "192.168.1.11"));
  ASSERT_TRUE(dialog->Type(td::kMask, "255.255.255.128"));
  ASSERT_TRUE(dialog->Type(td::kGateway, "192.168.1.1"));
  ASSERT_TRUE(dialog->Type(td::kPreferredDns, "8.8.8.8"));
  const size_t before = Log().size();
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before), Strings{"本地连接 修改为静态IP成功."});
  EXPECT_EQ(ConfigurationOf(machine.Adapters()[0]),
            (Strings{"dhcp 0", "ip 192.168.1.11/255.255.255.128", "gateway 192.168.1.1", "dns 8.8.8.8",
                     "dns 114.114.114.114"}));
}

// The start-up reads the fields on a worker while the window answers the user: OK pressed then (an
// Enter typed ahead) must not confirm empty fields.
TEST_F(DialogTest, OkDoesNothingUntilTheStartUpHasFilledEveryField) {
  StartApp();
  const Strings configured = ConfigurationOf(machine.Adapters()[0]);
  const size_t before = Log().size();
  headless::HeadlessWindow* dialog = nullptr;
  int rounds = 0;
  // At each service call of the start-up: OK as it is then, and pressed.
  std::vector<bool> okAtCalls;
  machine.SetCallObserver([&](const std::string&) {
    headless::HeadlessWindow* starting = windows.topModal();
    if (starting == nullptr) return;
    dialog = starting;
    ++rounds;
    okAtCalls.push_back(starting->IsEnabled(td::kOk));
    EXPECT_FALSE(starting->Click(td::kOk));
    // A command that reaches the handler all the same.
    starting->Raise(platform::Event{platform::EventKind::Clicked, td::kOk, 0});
  });
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuProperties));
  machine.SetCallObserver(nullptr);
  ASSERT_GT(rounds, 0);
  EXPECT_FALSE(okAtCalls.empty());
  EXPECT_EQ(std::count(okAtCalls.begin(), okAtCalls.end(), true), 0);
  EXPECT_TRUE(windows.IsOpen(dialog));
  EXPECT_EQ(LogAfter(before), Strings{});
  EXPECT_EQ(ConfigurationOf(machine.Adapters()[0]), configured);

  EXPECT_TRUE(dialog->IsEnabled(td::kOk));
  EXPECT_EQ(dialog->Text(td::kGateway), "192.168.1.1");
}

TEST_F(DialogTest, ValuesThatAreNoAddressesNeverReachTheScript) {
  StartApp();
  machine.ClearCalls();
  const config::StaticOutcome outcome = config::ApplyStaticConfiguration(
      machine.automation(), "本地连接", "1.2.3.4\")\r\nCreateObject(\"x", "255.0.0.0", "", "", "");
  EXPECT_EQ(outcome.kind, config::StaticOutcome::Kind::Refused);
  EXPECT_EQ(machine.Calls(), Strings{});
  EXPECT_EQ(config::StaticLogLine("本地连接", outcome), "本地连接 修改为静态IP失败！地址无效.");
  // Nor does an address or mask the dialog refuses, whoever passes it.
  for (const auto& [address, mask] : {std::pair{"10.0.0.5", "255.0.255.0"}, std::pair{"", "255.0.0.0"}}) {
    EXPECT_EQ(config::ApplyStaticConfiguration(machine.automation(), "本地连接", address, mask, "", "8.8.8.8",
                                               "")
                  .kind,
              config::StaticOutcome::Kind::Refused)
        << address << " " << mask;
  }
  EXPECT_EQ(machine.Calls(), Strings{});
}

TEST_F(DialogTest, OkIsDisabledWhileTheChoiceIsApplied) {
  WatchedAutomation watched(machine.automation(), windows);
  platform::Services watchedServices{machine.ipHelper(), machine.router(),    machine.registry(),
                                     watched,            machine.sockets(),  machine.clipboard(),
                                     machine.internet(), windows,            machine.kernel()};
  app = std::make_unique<program::Application>(watchedServices);
  app->Start();
  machine.WaitForThreads();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  watched.okEnabled.clear();
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_FALSE(watched.okEnabled.empty());
  for (bool enabled : watched.okEnabled) EXPECT_FALSE(enabled);
  EXPECT_FALSE(windows.IsOpen(dialog));
}

// The user closes the dialog while its start-up reads the fields, and again while OK's choice is
// being applied: the worker that goes on never touches the closed dialog, which is gone.
TEST_F(DialogTest, ClosedDuringItsStartUpOrItsApplyTheDialogIsLeftAlone) {
  StartApp();
  windows.SetUserActionHook(nullptr);
  bool closed = false;
  auto closeAtTheFirstCallOf = [&](const std::string& prefix) {
    closed = false;
    machine.SetCallObserver([&, prefix](const std::string& call) {
      if (closed || windows.OnWindowThread() || call.rfind(prefix, 0) != 0) return;
      if (headless::HeadlessWindow* dialog = windows.topModal()) closed = dialog->CloseByUser();
    });
  };
  closeAtTheFirstCallOf("");
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuProperties));
  machine.WaitForThreads();
  EXPECT_TRUE(closed);
  EXPECT_EQ(windows.topModal(), nullptr);

  machine.SetCallObserver(nullptr);
  ASSERT_TRUE(Main().ChooseMenuItem(mw::kMenuProperties));
  machine.WaitForThreads();
  headless::HeadlessWindow* dialog = windows.topModal();
  ASSERT_NE(dialog, nullptr);
  dialog->Click(td::kAutomatic);
  const size_t before = Log().size();
  closeAtTheFirstCallOf("ExecMethod");
  ASSERT_TRUE(dialog->Click(td::kOk));
  machine.WaitForThreads();
  machine.SetCallObserver(nullptr);
  EXPECT_TRUE(closed);
  EXPECT_EQ(windows.topModal(), nullptr);
  EXPECT_EQ(LogAfter(before), Strings{"本地连接 修改为自动获取IP成功."});
  EXPECT_FALSE(Context().busy.busy());
  EXPECT_TRUE(Main().IsEnabled(mw::kRefreshButton));
}

}  // namespace
}  // namespace corvane::testing

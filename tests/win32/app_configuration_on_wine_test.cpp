// The adapter configuration over Wine's own services: the script host on Wine's script control
// and VBScript engine, the management connection, the index lookup and EnableDHCP as Wine's
// instrumentation answers them, and the TCP/IPv4 dialog's two paths (headless windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "common/text.h"
#include "config/management.h"
#include "config/script_host.h"
#include "config/static_configuration.h"
#include "platform/headless/headless_window_system.h"
#include "platform/win32/services.h"
#include "wine_program.h"

namespace corvane {
namespace {

namespace mw = app::main_window;
namespace td = app::tcpip_dialog;
using Strings = std::vector<std::string>;

class WineConfiguration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::Succeeded(automation->Initialize())); }
  void TearDown() override { automation->Uninitialize(); }

  std::unique_ptr<platform::Automation> automation = win32::MakeAutomation();
  headless::HeadlessWindowSystem windows;
};

TEST_F(WineConfiguration, ScriptHostSetsTheLanguageByTheRuleAndReadsModuleVariables) {
  config::ScriptHost host(*automation);
  ASSERT_TRUE(host.ready());
  EXPECT_EQ(host.Language("JScript"), "JScript");
  EXPECT_EQ(host.Language("jscript"), "VBScript");
  EXPECT_EQ(host.Language("Perl"), "VBScript");
  EXPECT_EQ(host.AddCode("Dim answer\r\nSub SetIP()\r\n  answer = 42\r\nEnd Sub\r\n"), platform::kSOk);
  platform::WmiValue value;
  EXPECT_EQ(host.Eval("answer", &value), platform::kSOk);
  EXPECT_EQ(value.kind, platform::WmiValue::Kind::Null);  // Empty before the procedure ran
  EXPECT_EQ(host.ExecuteStatement("SetIP"), platform::kSOk);
  EXPECT_EQ(host.Eval("answer", &value), platform::kSOk);
  EXPECT_EQ(value.AsText(), "42");
  EXPECT_EQ(host.Error().number, 0);
}

TEST_F(WineConfiguration, ScriptHostReportsACompileErrorWithItsLine) {
  config::ScriptHost host(*automation);
  ASSERT_TRUE(host.ready());
  const platform::HResult hr = host.AddCode("Sub SetIP()\r\n  x = Array(\"1\"\r\nEnd Sub\r\n");
  const platform::ScriptError error = host.Error();
  // Wine's control answers E_FAIL and puts it into the Error object with the line.
  EXPECT_EQ(hr, platform::kEFail);
  EXPECT_EQ(error.number, platform::kEFail);
  EXPECT_EQ(error.line, 2);
  EXPECT_NE(error.source.find("VBScript"), std::string::npos) << error.source;
}

TEST_F(WineConfiguration, FilledProcedureCompilesInWinesEngineAndStopsWhereWinesInstrumentationEnds) {
  // An index that Wine's configurations carry, so that the procedure reaches the method calls.
  std::vector<platform::WmiObject> rows;
  ASSERT_EQ(automation->ExecQuery("root\\cimv2",
                                  "Select Index From Win32_NetworkAdapterConfiguration where IPEnabled=TRUE", &rows),
            platform::kSOk);
  ASSERT_FALSE(rows.empty());
  const int32_t index = static_cast<int32_t>(rows.front().at("Index").integer);
  config::ScriptHost host(*automation);
  ASSERT_TRUE(host.ready());
  const std::string procedure = config::FillSetIpIndex(
      config::FillSetIpValues("192.168.8.8", "255.255.255.0", "", "223.5.5.5", "114.114.114.114"), index);
  EXPECT_EQ(host.AddCode(config::kSetIpResultDeclarations), platform::kSOk);
  EXPECT_EQ(host.AddCode(procedure), platform::kSOk);
  const platform::HResult hr = host.ExecuteStatement("SetIP");
  const platform::ScriptError error = host.Error();
  // The control's Invoke answers DISP_E_EXCEPTION (0x80020009); the exception it carries is
  // VBScript's run-time error 438 (the object has no such method): Wine's configuration objects
  // offer no methods. It stops on line 13, EnableStatic: lines 1 to 12 (the arrays, GetObject,
  // ExecQuery, the loop and the If on the index) ran in the real engine.
  EXPECT_EQ(hr, static_cast<platform::HResult>(0x800A01B6u));
  EXPECT_EQ(error.number, static_cast<int32_t>(0x800A01B6u));
  EXPECT_EQ(error.line, 13);
  EXPECT_FALSE(error.description.empty());
  EXPECT_NE(error.source.find("VBScript"), std::string::npos) << error.source;
  platform::WmiValue value;
  EXPECT_EQ(host.Eval("errEnable", &value), platform::kSOk);
  EXPECT_EQ(value.kind, platform::WmiValue::Kind::Null);
  EXPECT_EQ(config::StaticLogLine("本地连接", config::StaticOutcome{config::StaticOutcome::Kind::ScriptError, hr, error,
                                                                  "", "", ""}),
            "本地连接 修改为静态IP失败！脚本错误-2146827850,行13.");
}

TEST_F(WineConfiguration, FilledProcedureWithAnIndexNoAdapterHasRunsToItsEnd) {
  config::ScriptHost host(*automation);
  ASSERT_TRUE(host.ready());
  const std::string procedure =
      config::FillSetIpIndex(config::FillSetIpValues("192.168.8.8", "255.255.255.0", "", "", ""), 999999);
  EXPECT_EQ(host.AddCode(config::kSetIpResultDeclarations), platform::kSOk);
  EXPECT_EQ(host.AddCode(procedure), platform::kSOk);
  EXPECT_EQ(host.ExecuteStatement("SetIP"), platform::kSOk);
  platform::WmiValue value;
  EXPECT_EQ(host.Eval("errEnable", &value), platform::kSOk);
  EXPECT_EQ(value.kind, platform::WmiValue::Kind::Null);
  EXPECT_EQ(host.Error().number, 0);
}

TEST_F(WineConfiguration, ManagementConnectionIndexLookupAndEnableDhcpAsWineAnswers) {
  config::ManagementConnection connection(*automation);
  ASSERT_TRUE(config::ConnectManagementService("", &connection));
  // Wine's Win32_NetworkAdapter has no NetConnectionID: a WHERE over it fails.
  std::unique_ptr<platform::WmiEnumerator> results;
  EXPECT_EQ(connection.service->ExecQuery("Select Index From Win32_NetworkAdapter WHERE NetConnectionID='x'",
                                          &results),
            platform::kWbemEFailed);
  EXPECT_EQ(results, nullptr);
  // ...so the lookup cannot be made: a failure of the query with Wine's code, not an adapter
  // that is not there.
  config::IndexLookup lookup;
  EXPECT_EQ(config::FindAdapterIndexByConnectionName(*automation, "x", &lookup), 0);
  EXPECT_FALSE(lookup.found);
  EXPECT_EQ(lookup.failedStep, config::ManagementStep::Query);
  EXPECT_EQ(lookup.hr, platform::kWbemEFailed);
  // Wine's configuration class has no EnableDHCP.
  platform::WmiObject out;
  EXPECT_EQ(connection.service->ExecMethod("Win32_NetworkAdapterConfiguration.Index=1", "EnableDHCP", nullptr, &out),
            platform::kWbemEInvalidMethod);
  // A query Wine can answer is enumerated object by object, then S_FALSE.
  ASSERT_EQ(connection.service->ExecQuery("Select Index From Win32_NetworkAdapterConfiguration", &results),
            platform::kSOk);
  platform::WmiObject object;
  ASSERT_EQ(results->Next(&object), platform::kSOk);
  EXPECT_EQ(object.at("Index").kind, platform::WmiValue::Kind::Integer);
  while (results->Next(&object) == platform::kSOk) {
  }
  EXPECT_EQ(results->Next(&object), platform::kWbemSFalse);
}

// The program over Wine's services with headless windows: the dialog's two paths.
class WineConfigurationProgram : public testing_wine::WineProgramTest {
 protected:
  headless::HeadlessWindow* OpenDialog() {
    // Wine reports no connection status, so the item stays disabled; the test enables it as the
    // report does for a connected adapter.
    Main().SetMenuItemEnabled(mw::kMenuProperties, true);
    if (!Main().ChooseMenuItem(mw::kMenuProperties)) return nullptr;
    headless::HeadlessWindow* dialog = windows.topModal();
    // The start-up reads the fields on a worker; OK is enabled once they are in.
    for (int i = 0; dialog != nullptr && i < 400 && !dialog->IsEnabled(td::kOk); ++i) Sleep(25);
    return dialog;
  }
};

TEST_F(WineConfigurationProgram, DialogLogsFailureOnTheDhcpAndTheStaticPath) {
  const std::string name = Main().Text(mw::kSelector);
  ASSERT_FALSE(name.empty());
  const size_t before = Log().size();
  headless::HeadlessWindow* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(dialog->IsChecked(td::kAutomatic), dialog->IsChecked(td::kStatic));
  ASSERT_TRUE(dialog->Click(td::kAutomatic));
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_TRUE(dialog->closed());

  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Click(td::kStatic));
  ASSERT_TRUE(dialog->Type(td::kIp, "192.168.8.8"));
  ASSERT_TRUE(dialog->Type(td::kMask, "255.255.255.0"));
  ASSERT_TRUE(dialog->Click(td::kOk));
  EXPECT_TRUE(dialog->closed());

  const Strings all = Log();
  const Strings after(all.begin() + static_cast<long>(before), all.end());
  // Wine fails the index lookup's query with WBEM_E_FAILED.
  EXPECT_EQ(after, (Strings{name + " 修改为自动获取IP失败！查询网卡索引失败,返回代码-2147217407.",
                            name + " 修改为静态IP失败！查询网卡索引失败,返回代码-2147217407."}));
}

}  // namespace
}  // namespace corvane

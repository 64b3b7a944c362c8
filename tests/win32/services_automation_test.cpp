// The automation service over the component object library, as the Wine loader answers it:
// management instrumentation, the network connection manager and the script control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/services.h"

namespace corvane {
namespace {

using platform::WmiObject;
using platform::WmiValue;

constexpr char kNamespace[] = "root\\cimv2";

class WineAutomation : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::Succeeded(automation->Initialize())); }
  void TearDown() override { automation->Uninitialize(); }

  std::unique_ptr<platform::Automation> automation = win32::MakeAutomation();
};

// The adapters of GetAdaptersInfo: index → (GUID text, first IP address).
struct AdapterFacts {
  uint32_t index;
  std::string guid;
  std::string address;
};

std::vector<AdapterFacts> AdaptersInfo() {
  auto ipHelper = win32::MakeIpHelper();
  uint32_t size = 0;
  std::vector<AdapterFacts> facts;
  if (ipHelper->GetAdaptersInfo(nullptr, &size) != platform::kErrorBufferOverflow) return facts;
  std::vector<uint64_t> buffer(size / sizeof(uint64_t) + 1);
  if (ipHelper->GetAdaptersInfo(buffer.data(), &size) != platform::kNoError) return facts;
  for (auto* info = reinterpret_cast<const platform::IpAdapterInfo*>(buffer.data()); info; info = info->Next) {
    facts.push_back({info->Index, std::string(info->AdapterName, strnlen(info->AdapterName, 260)),
                     std::string(info->IpAddressList.IpAddress.String, strnlen(info->IpAddressList.IpAddress.String, 16))});
  }
  return facts;
}

TEST_F(WineAutomation, InitializeNestsOnTheCallingThread) {
  // SetUp initialised once already: a second call on the same thread answers S_FALSE.
  EXPECT_EQ(automation->Initialize(), platform::kSFalse);
  automation->Uninitialize();
}

TEST_F(WineAutomation, QueryReadsEveryAdapterWithItsProperties) {
  std::vector<WmiObject> rows;
  ASSERT_EQ(automation->ExecQuery(kNamespace, "Select * From Win32_NetworkAdapter", &rows), platform::kSOk);
  const std::vector<AdapterFacts> adapters = AdaptersInfo();
  ASSERT_FALSE(adapters.empty());
  EXPECT_EQ(rows.size(), adapters.size());
  for (const AdapterFacts& adapter : adapters) {
    SCOPED_TRACE(adapter.guid);
    const WmiObject* match = nullptr;
    for (const WmiObject& row : rows) {
      auto it = row.find("GUID");
      if (it != row.end() && it->second.kind == WmiValue::Kind::Text && it->second.text == adapter.guid) match = &row;
    }
    ASSERT_NE(match, nullptr);
    // Integers, texts and truth values keep their kinds; system properties are left out.
    EXPECT_EQ(match->at("Index").kind, WmiValue::Kind::Integer);
    EXPECT_EQ(match->at("Index").integer, adapter.index);
    EXPECT_EQ(match->at("NetConnectionStatus").kind, WmiValue::Kind::Integer);
    EXPECT_EQ(match->at("PhysicalAdapter").kind, WmiValue::Kind::Boolean);
    // Speed is a 64-bit count and arrives as decimal text.
    EXPECT_EQ(match->at("Speed").kind, WmiValue::Kind::Text);
    EXPECT_EQ(match->at("Speed").text, "1000000");
    EXPECT_EQ(match->count("__CLASS"), 0u);
    EXPECT_EQ(match->count("__PATH"), 0u);
    // Wine's class has no connection name.
    EXPECT_EQ(match->count("NetConnectionID"), 0u);
  }
}

TEST_F(WineAutomation, QuerySelectingPropertiesReturnsOnlyThose) {
  std::vector<WmiObject> rows;
  ASSERT_EQ(automation->ExecQuery(kNamespace, "Select Speed, NetConnectionStatus From Win32_NetworkAdapter", &rows),
            platform::kSOk);
  ASSERT_FALSE(rows.empty());
  for (const WmiObject& row : rows) {
    EXPECT_EQ(row.size(), 2u);
    EXPECT_EQ(row.count("Speed"), 1u);
    EXPECT_EQ(row.count("NetConnectionStatus"), 1u);
  }
}

TEST_F(WineAutomation, QueryOnConnectionNameFailsOnWine) {
  std::vector<WmiObject> rows;
  EXPECT_EQ(automation->ExecQuery(kNamespace, "Select * From Win32_NetworkAdapter WHERE NetConnectionID='eth0'",
                                  &rows),
            platform::kWbemEFailed);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(automation->ExecQuery(kNamespace,
                                  "Select Speed From Win32_NetworkAdapter WHERE NetConnectionID='x'", &rows),
            platform::kWbemEFailed);
}

TEST_F(WineAutomation, QueryWithBadSyntaxIsInvalidQuery) {
  std::vector<WmiObject> rows;
  EXPECT_EQ(automation->ExecQuery(kNamespace, "Bogus", &rows), platform::kWbemEInvalidQuery);
}

TEST_F(WineAutomation, QueryOfUnknownClassGivesNoRows) {
  std::vector<WmiObject> rows(1);
  EXPECT_EQ(automation->ExecQuery(kNamespace, "Select * From Win32_NoSuchClass", &rows), platform::kSOk);
  EXPECT_TRUE(rows.empty());
}

TEST_F(WineAutomation, QueryReadsArraysAndNulls) {
  std::vector<WmiObject> rows;
  ASSERT_EQ(automation->ExecQuery(kNamespace, "Select * From Win32_NetworkAdapterConfiguration", &rows),
            platform::kSOk);
  for (const AdapterFacts& adapter : AdaptersInfo()) {
    SCOPED_TRACE(adapter.guid);
    const WmiObject* match = nullptr;
    for (const WmiObject& row : rows) {
      if (row.at("Index").integer == adapter.index) match = &row;
    }
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(match->at("DHCPEnabled").kind, WmiValue::Kind::Boolean);
    EXPECT_TRUE(match->at("DHCPEnabled").boolean);
    EXPECT_EQ(match->at("DNSHostName").kind, WmiValue::Kind::Null);
    EXPECT_EQ(match->at("DNSServerSearchOrder").kind, WmiValue::Kind::TextArray);
    const WmiValue& addresses = match->at("IPAddress");
    if (adapter.address == "0.0.0.0") {
      EXPECT_EQ(addresses.kind, WmiValue::Kind::Null);
    } else {
      ASSERT_EQ(addresses.kind, WmiValue::Kind::TextArray);
      ASSERT_FALSE(addresses.array.empty());
      // Every address of the adapter, IPv6 ones included, in Wine's order.
      EXPECT_NE(std::find(addresses.array.begin(), addresses.array.end(), adapter.address), addresses.array.end());
      EXPECT_EQ(addresses.AsText(), "");
    }
  }
}

TEST_F(WineAutomation, MethodUnknownToWineIsInvalidMethod) {
  const std::vector<AdapterFacts> adapters = AdaptersInfo();
  ASSERT_FALSE(adapters.empty());
  const std::string path = "Win32_NetworkAdapterConfiguration.Index=" + text::Decimal(adapters.front().index);
  WmiObject out{{"stale", WmiValue::FromInteger(1)}};
  EXPECT_EQ(automation->ExecMethod(kNamespace, path, "EnableDHCP", {}, &out), platform::kWbemEInvalidMethod);
  EXPECT_TRUE(out.empty());

  WmiObject in;
  in["IPAddress"] = WmiValue::FromArray({"192.0.2.9"});
  in["SubnetMask"] = WmiValue::FromArray({"255.255.255.0"});
  EXPECT_EQ(automation->ExecMethod(kNamespace, path, "EnableStatic", in, &out), platform::kWbemEInvalidMethod);
}

TEST_F(WineAutomation, MethodWithParametersReturnsOutParameters) {
  // Win32_Process.Create is one method Wine carries: a static method with a text parameter.
  WmiObject in{{"CommandLine", WmiValue::FromText("cmd.exe /c exit 3")}};
  WmiObject out;
  ASSERT_EQ(automation->ExecMethod(kNamespace, "Win32_Process", "Create", in, &out), platform::kSOk);
  ASSERT_EQ(out.count("ReturnValue"), 1u);
  EXPECT_EQ(out.at("ReturnValue").kind, WmiValue::Kind::Integer);
  EXPECT_EQ(out.at("ReturnValue").integer, 0);
  ASSERT_EQ(out.count("ProcessId"), 1u);
  EXPECT_EQ(out.at("ProcessId").kind, WmiValue::Kind::Integer);
  EXPECT_GT(out.at("ProcessId").integer, 0);
}

TEST_F(WineAutomation, ConnectionManagerIsNotRegistered) {
  std::vector<platform::NetConnection> connections(1);
  EXPECT_EQ(automation->EnumConnections(&connections), platform::kClassNotRegistered);
  EXPECT_TRUE(connections.empty());
}

TEST_F(WineAutomation, ScriptControlRunsVbscriptProcedures) {
  std::unique_ptr<platform::ScriptControl> control;
  ASSERT_EQ(automation->CreateScriptControl("MSScriptControl.ScriptControl.1", &control), platform::kSOk);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->SetLanguage("VBScript"), platform::kSOk);
  EXPECT_EQ(control->AddCode("Dim counter\r\n"
                             "Sub SetIP\r\n  counter = counter + 1\r\nEnd Sub\r\n"
                             "Function Twice(x)\r\n  Twice = x & x\r\nEnd Function\r\n"
                             "Function Calls()\r\n  Calls = counter\r\nEnd Function\r\n"),
            platform::kSOk);
  // A statement naming a procedure runs it once.
  EXPECT_EQ(control->ExecuteStatement("SetIP"), platform::kSOk);
  std::string result;
  EXPECT_EQ(control->Run("Calls", {}, &result), platform::kSOk);
  EXPECT_EQ(result, "1");
  EXPECT_EQ(control->Run("Twice", {"网卡"}, &result), platform::kSOk);
  EXPECT_EQ(result, "网卡网卡");
  // A run-time error comes back as its HRESULT (VBScript error 5: invalid procedure call).
  EXPECT_EQ(control->ExecuteStatement("Err.Raise 5"), static_cast<platform::HResult>(0x800A0005u));
}

TEST_F(WineAutomation, ScriptControlRunsJscriptAndReturnsDateText) {
  std::unique_ptr<platform::ScriptControl> control;
  ASSERT_EQ(automation->CreateScriptControl("ScriptControl", &control), platform::kSOk);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->SetLanguage("JScript"), platform::kSOk);
  EXPECT_EQ(control->ExecuteStatement("function timea(){var d,s;d=new Date();d.setTime('0');return(d);}"),
            platform::kSOk);
  EXPECT_EQ(control->AddCode("function add(a,b){return a+b;}"), platform::kSOk);

  std::string result;
  EXPECT_EQ(control->Run("add", {"1", "2"}, &result), platform::kSOk);
  EXPECT_EQ(result, "12");  // text arguments

  // The date object comes back as the engine's date text: weekday, month, day, time, zone, year,
  // the wall-clock time of 1970-01-01 00:00 UTC in the machine's zone.
  ASSERT_EQ(control->Run("timea", {}, &result), platform::kSOk);
  const std::vector<std::string> parts = text::Split(result, " ");
  ASSERT_EQ(parts.size(), 6u) << result;
  platform::DateTime local;
  ASSERT_TRUE(win32::MakeKernel()->UnixToLocal(0, &local));
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  EXPECT_EQ(parts[1], kMonths[local.month - 1]) << result;
  EXPECT_EQ(parts[2], text::Decimal(local.day)) << result;
  char time[16];
  std::snprintf(time, sizeof(time), "%02d:%02d:%02d", local.hour, local.minute, local.second);
  EXPECT_EQ(parts[3], time) << result;
  EXPECT_EQ(parts[4].rfind("UTC", 0), 0u) << result;
  EXPECT_EQ(parts[5], text::Decimal(local.year)) << result;
}

TEST_F(WineAutomation, ScriptControlRejectsUnknownLanguageAndProcedure) {
  std::unique_ptr<platform::ScriptControl> control;
  ASSERT_EQ(automation->CreateScriptControl("MSScriptControl.ScriptControl.1", &control), platform::kSOk);
  EXPECT_FALSE(platform::Succeeded(control->SetLanguage("Klingon")));
  EXPECT_EQ(control->SetLanguage("JScript"), platform::kSOk);
  std::string result = "stale";
  EXPECT_FALSE(platform::Succeeded(control->Run("nosuch", {}, &result)));
  EXPECT_EQ(result, "");
}

TEST_F(WineAutomation, UnknownProgIdIsInvalidClassString) {
  std::unique_ptr<platform::ScriptControl> control;
  EXPECT_EQ(automation->CreateScriptControl("No.Such.Control", &control),
            static_cast<platform::HResult>(0x800401F3u));  // CO_E_CLASSSTRING
  EXPECT_EQ(control, nullptr);
}

TEST(WineAutomationThread, CallsWithoutInitializationAreRefused) {
  // A thread of its own, where nothing initialised the component object library.
  platform::HResult query = 0;
  platform::HResult script = 0;
  std::thread worker([&] {
    auto automation = win32::MakeAutomation();
    std::vector<WmiObject> rows;
    query = automation->ExecQuery(kNamespace, "Select * From Win32_NetworkAdapter", &rows);
    std::unique_ptr<platform::ScriptControl> control;
    script = automation->CreateScriptControl("MSScriptControl.ScriptControl.1", &control);
  });
  worker.join();
  EXPECT_EQ(query, static_cast<platform::HResult>(0x800401F0u));  // CO_E_NOTINITIALIZED
  EXPECT_EQ(script, static_cast<platform::HResult>(0x800401F0u));
}

}  // namespace
}  // namespace corvane

// Kernel services: clock and time zone, locale clock settings, threads and waiting, data
// execution prevention, process termination and code-page conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/kernel.h"
#include "platform/win32/services.h"

#include <windows.h>

namespace corvane {
namespace {

bool SameTime(const platform::DateTime& a, const std::tm& b) {
  return a.year == b.tm_year + 1900 && a.month == b.tm_mon + 1 && a.day == b.tm_mday && a.hour == b.tm_hour &&
         a.minute == b.tm_min && a.second == b.tm_sec;
}

TEST(WineKernel, UnixToLocalAgreesWithTheRuntimeClock) {
  auto kernel = win32::MakeKernel();
  for (int64_t seconds : {int64_t{0}, int64_t{86399}, int64_t{1000000000}, int64_t{1547735956},
                          int64_t{2147483647}, int64_t{4102444800}}) {
    SCOPED_TRACE(seconds);
    platform::DateTime local;
    ASSERT_TRUE(kernel->UnixToLocal(seconds, &local));
    __time64_t value = seconds;
    const std::tm* expected = _localtime64(&value);
    ASSERT_NE(expected, nullptr);
    EXPECT_TRUE(SameTime(local, *expected)) << local.year << "-" << local.month << "-" << local.day << " "
                                            << local.hour << ":" << local.minute << ":" << local.second;
  }
}

TEST(WineKernel, UnixToLocalRefusesValuesOutsideTheFileTimeRange) {
  auto kernel = win32::MakeKernel();
  platform::DateTime local;
  EXPECT_FALSE(kernel->UnixToLocal(-11644473601, &local));
  EXPECT_FALSE(kernel->UnixToLocal(INT64_MAX, &local));
  // Before 1970 is fine down to 1601.
  EXPECT_TRUE(kernel->UnixToLocal(-1, &local));
}

TEST(WineKernel, LocalNowMatchesTheRuntimeClock) {
  auto kernel = win32::MakeKernel();
  const platform::DateTime now = kernel->LocalNow();
  platform::DateTime expected;
  ASSERT_TRUE(kernel->UnixToLocal(static_cast<int64_t>(std::time(nullptr)), &expected));
  EXPECT_EQ(now.year, expected.year);
  EXPECT_EQ(now.month, expected.month);
  EXPECT_EQ(now.day, expected.day);
  const int nowSeconds = now.hour * 3600 + now.minute * 60 + now.second;
  const int expectedSeconds = expected.hour * 3600 + expected.minute * 60 + expected.second;
  EXPECT_LE(std::abs(nowSeconds - expectedSeconds), 2);
}

TEST(WineKernel, ClockFollowsTheUserLocale) {
  auto kernel = win32::MakeKernel();
  const platform::ClockSettings clock = kernel->Clock();
  char format[8] = {};
  char am[32] = {};
  char pm[32] = {};
  ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ITIME, format, sizeof(format)), 0);
  ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, am, sizeof(am)), 0);
  ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S2359, pm, sizeof(pm)), 0);
  EXPECT_EQ(clock.twentyFourHour, std::string(format) != "0");
  EXPECT_EQ(clock.am, am);
  EXPECT_EQ(clock.pm, pm);
  // The tests run in the Simplified Chinese locale: 24-hour clock, "上午" and "下午" in GBK.
  EXPECT_TRUE(clock.twentyFourHour);
  EXPECT_EQ(clock.am, "上午");
  EXPECT_EQ(clock.pm, "下午");
}

TEST(WineKernel, StartThreadRunsTheBodyAndContainsItsExceptions) {
  auto kernel = win32::MakeKernel();
  std::atomic<int> done{0};
  EXPECT_TRUE(kernel->StartThread([&] { throw std::runtime_error("worker failure"); }));
  EXPECT_TRUE(kernel->StartThread([&] { done = 1; }));
  EXPECT_TRUE(kernel->StartThread(nullptr));
  for (int i = 0; i < 200 && done == 0; ++i) ::Sleep(10);
  EXPECT_EQ(done, 1);
}

TEST(WineKernel, SleepWaitsItsTimeAndAnswersTrue) {
  auto kernel = win32::MakeKernel();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(kernel->Sleep(50));
  // The system's timer may end a wait up to one of its ticks (about 16 ms) early.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(WineKernel, DepPolicyOfTheSixtyFourBitProcess) {
  auto kernel = win32::MakeKernel();
  // Wine's kernel32 exports both functions: the system policy is OptIn (2), and a 64-bit process
  // cannot change its own.
  EXPECT_EQ(kernel->GetSystemDepPolicy(), 2);
  EXPECT_FALSE(kernel->SetProcessDepPolicy(0));
  EXPECT_FALSE(kernel->SetProcessDepPolicy(platform::kProcessDepEnable));
}

TEST(WineKernel, CodePageConversionsRoundTrip) {
  auto kernel = win32::MakeKernel();
  const std::u16string wide = u"网卡 IP-地址";
  const std::string gbk = "网卡 IP-地址";  // the literal is GBK in this program
  EXPECT_EQ(kernel->WideToMultiByte(wide, platform::kCodePageGbk), gbk);
  EXPECT_EQ(kernel->MultiByteToWide(gbk, platform::kCodePageGbk), wide);
  const std::string utf8 = "\xE7\xBD\x91\xE5\x8D\xA1 IP-\xE5\x9C\xB0\xE5\x9D\x80";
  EXPECT_EQ(kernel->WideToMultiByte(wide, platform::kCodePageUtf8), utf8);
  EXPECT_EQ(kernel->MultiByteToWide(utf8, platform::kCodePageUtf8), wide);
  // Embedded NUL characters pass through; empty stays empty.
  EXPECT_EQ(kernel->WideToMultiByte(std::u16string(u"a\0b", 3), platform::kCodePageGbk), std::string("a\0b", 3));
  EXPECT_EQ(kernel->WideToMultiByte(u"", platform::kCodePageGbk), "");
  EXPECT_EQ(kernel->MultiByteToWide("", platform::kCodePageGbk), u"");
  // In the Chinese locale the OEM code page is GBK as well.
  EXPECT_EQ(kernel->WideToMultiByte(wide, platform::kCodePageOem), gbk);
  // A character the code page lacks becomes the code page's default character.
  EXPECT_EQ(kernel->WideToMultiByte(u"x\u0e01", platform::kCodePageGbk), "x?");
}

// Run in a child process by the test below: never on its own.
TEST(WineKernel, DISABLED_TerminateOwnProcessChild) {
  win32::MakeKernel()->TerminateOwnProcess(42);
  FAIL() << "still running";
}

TEST(WineKernel, TerminateOwnProcessEndsWithTheExitCode) {
  wchar_t program[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(program) +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=WineKernel.DISABLED_TerminateOwnProcessChild";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(process.hProcess, &code));
  EXPECT_EQ(code, 42u);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace corvane

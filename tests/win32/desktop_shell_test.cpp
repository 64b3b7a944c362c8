// Starting through the desktop's shell under Wine. Wine's desktop process (explorer) answers every
// step: the program is started by that process, not by the caller, and the calling thread's
// apartment is left as it was found.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/win32/desktop_shell.h"

namespace corvane {
namespace {

using win32::DesktopShellStep;

std::string Describe(const win32::DesktopShellOutcome& outcome) {
  char text[64];
  std::snprintf(text, sizeof text, "step %d, code 0x%08lX", static_cast<int>(outcome.step),
                static_cast<unsigned long>(outcome.code));
  return text;
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return path;
}

// The file's bytes once it exists and is no longer growing; empty after `milliseconds`.
std::string WaitForFile(const std::wstring& path, DWORD milliseconds = 15000) {
  const DWORD start = GetTickCount();
  std::string last;
  while (GetTickCount() - start < milliseconds) {
    if (FILE* in = _wfopen(path.c_str(), L"rb")) {
      std::string bytes;
      char buffer[256];
      for (size_t n; (n = fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
      fclose(in);
      if (!bytes.empty() && bytes == last) return last;
      last = bytes;
    }
    Sleep(100);
  }
  return {};
}

// cmd.exe, started by the shell in the temporary folder, writes what the variable reads in the
// environment it was given. This process has the variable; the desktop's process does not.
win32::DesktopShellOutcome StartEcho(const std::wstring& file) {
  return win32::ShellExecuteAsDesktopUser(L"cmd.exe", L"/c echo [%CORVANE_SHELL_PROBE%]>" + file, TempFolder(),
                                          L"open", SW_HIDE);
}

TEST(WineDesktopShell, TheDesktopsProcessStartsTheProgramWithItsOwnEnvironment) {
  // The desktop's process runs before the variable is set, so it cannot have inherited it.
  ASSERT_NE(GetDesktopWindow(), nullptr);
  ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_SHELL_PROBE", L"from-the-caller"));
  const std::wstring file = L"corvane-shell-probe.txt";
  const std::wstring path = TempFolder() + file;
  DeleteFileW(path.c_str());

  const win32::DesktopShellOutcome outcome = StartEcho(file);
  EXPECT_EQ(outcome.step, DesktopShellStep::Started) << Describe(outcome);
  EXPECT_EQ(outcome.code, S_OK) << Describe(outcome);
  // The variable was not in the environment cmd.exe was started with: not this process's.
  EXPECT_EQ(WaitForFile(path), "[%CORVANE_SHELL_PROBE%]\r\n");
  DeleteFileW(path.c_str());
  SetEnvironmentVariableW(L"CORVANE_SHELL_PROBE", nullptr);

  // The thread's apartment was entered and left: a new one starts from scratch.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  CoUninitialize();
}

TEST(WineDesktopShell, AThreadInTheMultithreadedApartmentUsesItAndStaysThere) {
  ASSERT_NE(GetDesktopWindow(), nullptr);
  const std::wstring file = L"corvane-shell-probe-mta.txt";
  const std::wstring path = TempFolder() + file;
  DeleteFileW(path.c_str());
  win32::DesktopShellOutcome outcome;
  HRESULT again = E_FAIL;
  std::thread caller([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
    outcome = StartEcho(file);
    again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_FALSE: still in it
    if (SUCCEEDED(again)) CoUninitialize();
    CoUninitialize();
  });
  caller.join();
  EXPECT_EQ(outcome.step, DesktopShellStep::Started) << Describe(outcome);
  EXPECT_EQ(outcome.code, S_OK) << Describe(outcome);
  EXPECT_EQ(again, S_FALSE);
  EXPECT_EQ(WaitForFile(path), "[%CORVANE_SHELL_PROBE%]\r\n");
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace corvane

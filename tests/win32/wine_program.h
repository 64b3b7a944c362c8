// The program over the real Windows services as Wine provides them, with headless windows so that
// a test can read every control: started, and waited for until its start-up fill has ended.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "common/text.h"
#include "platform/headless/headless_window_system.h"
#include "platform/win32/services.h"

namespace corvane::testing_wine {

class WineProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program's workers run on real threads: each user action waits until the window is no
    // longer busy, as a user does.
    windows.SetUserActionHook([this] { WaitUntilNotBusy(); });
    program = std::make_unique<program::Application>(services);
    program->Start();
    WaitUntilIdle();
  }

  // The start-up fill runs on a detached thread; it is done when the busy state is off and the
  // last report line is logged.
  void WaitUntilIdle() {
    namespace mw = app::main_window;
    for (int i = 0; i < 400; ++i) {
      if (Main().IsEnabled(mw::kRefreshButton) && Log().size() >= 2 &&
          Log().back().find("最大传输单元") != std::string::npos)
        return;
      Sleep(25);
    }
    FAIL() << "the start-up fill did not end";
  }

  void WaitUntilNotBusy() {
    namespace mw = app::main_window;
    for (int i = 0; i < 800 && !Main().IsEnabled(mw::kRefreshButton); ++i) Sleep(25);
  }

  headless::HeadlessWindow& Main() { return *windows.mainWindow(); }

  // The log's lines without their time stamps.
  std::vector<std::string> Log() {
    std::vector<std::string> messages;
    for (const std::string& line : text::Split(Main().Text(app::main_window::kLog), "\r\n")) {
      int colon = text::Find(line, "：");
      messages.push_back(colon > 0 ? text::Middle(line, colon + 2) : line);
    }
    return messages;
  }

  std::unique_ptr<platform::IpHelper> ipHelper = win32::MakeIpHelper();
  std::unique_ptr<platform::RouterAdmin> router = win32::MakeRouterAdmin();
  std::unique_ptr<platform::Registry> registry = win32::MakeRegistry();
  std::unique_ptr<platform::Automation> automation = win32::MakeAutomation();
  std::unique_ptr<platform::Sockets> sockets = win32::MakeSockets();
  headless::HeadlessWindowSystem windows;
  // Headless windows have no window to own it: opened for none.
  std::unique_ptr<platform::Clipboard> clipboard = win32::MakeClipboard(windows);
  std::unique_ptr<platform::Internet> internet = win32::MakeInternet();
  std::unique_ptr<platform::Kernel> kernel = win32::MakeKernel();
  platform::Services services{*ipHelper, *router, *registry, *automation, *sockets,
                              *clipboard, *internet, windows,  *kernel};
  std::unique_ptr<program::Application> program;
};

}  // namespace corvane::testing_wine

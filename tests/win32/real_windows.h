// The window tests' real Win32 windows: a control's rectangle in its parent, and a fixture with a
// main window made from the program's template (its events go nowhere), whose queue is emptied
// once the window system is gone.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/window_layouts.h"
#include "platform/win32/window_system.h"

namespace corvane::testing_wine {

// The control's rectangle in the client coordinates of its parent window.
inline RECT RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class RealMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = win32::MakeWindowSystem();
    main_ = system_->CreateMainWindow(app::MainWindowSpec(), [](platform::Window&, const platform::Event&) {});
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override {
    system_.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  std::unique_ptr<platform::WindowSystem> system_;
  platform::Window* main_ = nullptr;
};

}  // namespace corvane::testing_wine

// The TCP/IPv4 properties dialog as real Win32 windows under Wine: its layout, its IP address
// controls under the shared read and write rules, and its radio buttons.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/window_layouts.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"
#include "real_windows.h"

namespace corvane {
namespace {

using testing_wine::RectInParent;

namespace td = app::tcpip_dialog;
using platform::ControlKind;
using platform::Event;
using platform::EventKind;
using Strings = std::vector<std::string>;

class WineTcpipDialog : public testing_wine::RealMainWindowTest {
 protected:
  // Opens the dialog, runs `body` once it exists and closes it.
  void WithDialog(const std::function<void(platform::Window&)>& body) {
    system_->OpenModal(app::TcpipDialogSpec(), main_, [&](platform::Window& window, const Event& event) {
      if (event.kind != EventKind::Created) return;
      body(window);
      window.Close();
    });
  }

};

TEST_F(WineTcpipDialog, LayoutPutsEveryControlAtItsPositionInsideItsGroupBox) {
  const platform::WindowSpec layout = app::TcpipDialogSpec();
  WithDialog([&](platform::Window& window) {
    HWND hwnd = win32::NativeWindowHandle(window);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(outer.right - outer.left, 386);
    EXPECT_EQ(outer.bottom - outer.top, 352);
    EXPECT_EQ(window.Title(), td::kCaption);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), win32::NativeWindowHandle(*main_));
    ASSERT_EQ(layout.controls.size(), 15u);
    for (const auto& c : layout.controls) {
      SCOPED_TRACE(c.name);
      HWND control = win32::NativeControlHandle(window, c.name);
      ASSERT_NE(control, nullptr);
      const platform::ControlSpec* group = c.parent.empty() ? nullptr : layout.Find(c.parent);
      const RECT r = RectInParent(control);
      EXPECT_EQ(r.left, c.x + (group ? group->x : 0));
      EXPECT_EQ(r.top, c.y + (group ? group->y : 0));
      EXPECT_EQ(r.right - r.left, c.width);
      EXPECT_EQ(r.bottom - r.top, c.height);
      wchar_t cls[64] = {};
      GetClassNameW(control, cls, 64);
      const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
      switch (c.kind) {
        case ControlKind::IpAddress:
          EXPECT_STREQ(cls, L"SysIPAddress32");
          break;
        case ControlKind::RadioButton:
          EXPECT_EQ(style & BS_TYPEMASK, BS_AUTORADIOBUTTON);
          EXPECT_EQ(window.Text(c.name), c.text);
          break;
        case ControlKind::GroupBox:
          EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
          break;
        default:
          EXPECT_EQ(window.Text(c.name), c.text);
          break;
      }
    }
    // The template selects the static side; mnemonics are kept in the captions.
    EXPECT_FALSE(window.IsChecked(td::kAutomatic));
    EXPECT_TRUE(window.IsChecked(td::kStatic));
    EXPECT_EQ(window.Text(td::kAutomatic), "自动获得 IP 地址(&O)");
    EXPECT_EQ(window.Text(td::kPreferredDnsLabel), "首选 DNS 服务器(&P):");
  });
}

TEST_F(WineTcpipDialog, IpAddressControlsFollowTheSharedWriteRule) {
  Strings read;
  WithDialog([&](platform::Window& window) {
    for (const char* text : {"192.168.1.10", " \t10 . 0 .0. 1 \r\n", "192.168.1.1\r\n192.168.1.2\r\n\r\n",
                             "1.2.3.4x", "1..3.4", "256.1.1.1", "1.2.3", "-1.2.3.4", "", "0.0.0.0"}) {
      window.SetText(td::kGateway, text);
      read.push_back(window.Text(td::kGateway));
    }
  });
  EXPECT_EQ(read, (Strings{"192.168.1.10", "10.0.0.1", "192.168.1.1", "1.2.3.4", "1.0.3.4", "", "", "", "",
                           "0.0.0.0"}));
}

TEST_F(WineTcpipDialog, IpAddressControlReadsBlankPartsAsZeroAndAllBlankAsEmpty) {
  std::string partial;
  std::string blank;
  WithDialog([&](platform::Window& window) {
    HWND control = win32::NativeControlHandle(window, td::kIp);
    window.SetText(td::kIp, "");
    blank = window.Text(td::kIp);
    // The user types into the first part only.
    HWND first = FindWindowExW(control, nullptr, L"Edit", nullptr);
    std::vector<HWND> parts;
    for (HWND edit = first; edit != nullptr; edit = FindWindowExW(control, edit, L"Edit", nullptr))
      parts.push_back(edit);
    ASSERT_EQ(parts.size(), 4u);
    // Wine creates the parts from the right; the leftmost is the first part.
    HWND leftmost = parts[0];
    for (HWND edit : parts) {
      RECT a{}, b{};
      GetWindowRect(edit, &a);
      GetWindowRect(leftmost, &b);
      if (a.left < b.left) leftmost = edit;
    }
    SetWindowTextW(leftmost, L"10");
    partial = window.Text(td::kIp);
  });
  EXPECT_EQ(blank, "");
  EXPECT_EQ(partial, "10.0.0.0");
}

TEST_F(WineTcpipDialog, RadioButtonsExcludeEachOtherAndReachTheHandler) {
  Strings clicked;
  system_->OpenModal(app::TcpipDialogSpec(), main_, [&](platform::Window& window, const Event& event) {
    if (event.kind == EventKind::Created) {
      PostMessageW(win32::NativeControlHandle(window, td::kAutomatic), BM_CLICK, 0, 0);
      return;
    }
    if (event.kind != EventKind::Clicked) return;
    clicked.push_back(event.control);
    EXPECT_TRUE(window.IsChecked(td::kAutomatic));
    EXPECT_FALSE(window.IsChecked(td::kStatic));
    window.Close();
  });
  EXPECT_EQ(clicked, Strings{td::kAutomatic});
}

}  // namespace
}  // namespace corvane

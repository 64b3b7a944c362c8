// Modal windows of the Win32 window system: the add-address window over the main window, its IP
// address control, closing by the user, by the handler and from a worker thread; group boxes and
// radio buttons of a window template.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/window_layouts.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"
#include "real_windows.h"

namespace corvane {
namespace {

using testing_wine::RectInParent;

namespace aw = app::add_window;
using platform::ControlKind;
using platform::ControlSpec;
using platform::Event;
using platform::EventKind;

class WineModalWindow : public testing_wine::RealMainWindowTest {
 protected:
  void SetUp() override {
    RealMainWindowTest::SetUp();
    if (main_ != nullptr) mainHwnd_ = win32::NativeWindowHandle(*main_);
  }

  HWND mainHwnd_ = nullptr;
};

TEST_F(WineModalWindow, AddWindowOpensOverTheDisabledOwnerAndReturnsWhenTheUserClosesIt) {
  std::vector<EventKind> events;
  HWND modal = nullptr;
  bool ownerDisabled = false;
  HWND owner = nullptr;
  std::string caption;
  system_->OpenModal(app::AddWindowSpec(), main_, [&](platform::Window& window, const Event& event) {
    events.push_back(event.kind);
    if (event.kind != EventKind::Created) return;
    modal = win32::NativeWindowHandle(window);
    ownerDisabled = !IsWindowEnabled(mainHwnd_);
    owner = GetWindow(modal, GW_OWNER);
    caption = window.Title();
    // The user closes the window once the loop runs.
    PostMessageW(modal, WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(ownerDisabled);
  EXPECT_EQ(owner, mainHwnd_);
  EXPECT_EQ(caption, aw::kCaption);
  EXPECT_EQ(events, (std::vector<EventKind>{EventKind::Created, EventKind::Destroying}));
  EXPECT_FALSE(IsWindow(modal));
  EXPECT_TRUE(IsWindowEnabled(mainHwnd_));
  // Closing a modal window does not end the application's message loop.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(WineModalWindow, AddWindowControlsAtTheirPositionsWithTheirTexts) {
  const platform::WindowSpec layout = app::AddWindowSpec();
  system_->OpenModal(layout, main_, [&](platform::Window& window, const Event& event) {
    if (event.kind != EventKind::Created) return;
    HWND hwnd = win32::NativeWindowHandle(window);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.right - outer.left, 315);
    EXPECT_EQ(outer.bottom - outer.top, 368);
    for (const auto& c : layout.controls) {
      SCOPED_TRACE(c.name);
      HWND control = win32::NativeControlHandle(window, c.name);
      ASSERT_NE(control, nullptr);
      const RECT r = RectInParent(control);
      EXPECT_EQ(r.left, c.x);
      EXPECT_EQ(r.top, c.y);
      EXPECT_EQ(r.right - r.left, c.width);
      EXPECT_EQ(r.bottom - r.top, c.height);
      if (c.kind != ControlKind::IpAddress && c.kind != ControlKind::MultiLineEdit) {
        EXPECT_EQ(window.Text(c.name), c.text);
      }
    }
    wchar_t cls[64] = {};
    GetClassNameW(win32::NativeControlHandle(window, aw::kMask), cls, 64);
    EXPECT_STREQ(cls, L"SysIPAddress32");
    EXPECT_FALSE(window.IsChecked(aw::kOccupancyQuery));
    EXPECT_EQ(window.Text(aw::kMask), "");
    window.Close();
  });
  EXPECT_TRUE(IsWindowEnabled(mainHwnd_));
}

TEST_F(WineModalWindow, IpAddressControlRoundTripsAnAddressAndReadsBlankAsEmpty) {
  std::vector<std::string> read;
  system_->OpenModal(app::AddWindowSpec(), main_, [&](platform::Window& window, const Event& event) {
    if (event.kind != EventKind::Created) return;
    auto put = [&](const std::string& text) {
      window.SetText(aw::kMask, text);
      read.push_back(window.Text(aw::kMask));
    };
    put("255.255.255.0");
    put("");
    put("255.255.0.0\r\n255.255.255.0\r\n");  // a list shows its first address
    put("300.1.1.1");
    put(" 10. 0 .0.1 ");
    put("0.0.0.0");
    put("1.2.3");
    window.Close();
  });
  EXPECT_EQ(read, (std::vector<std::string>{"255.255.255.0", "", "255.255.0.0", "", "10.0.0.1", "0.0.0.0", ""}));
}

TEST_F(WineModalWindow, AWorkerReadsTheInputsAndClosesTheWindow) {
  std::thread worker;
  std::string addresses, mask;
  bool occupancy = false;
  system_->OpenModal(app::AddWindowSpec(), main_, [&](platform::Window& window, const Event& event) {
    if (event.kind != EventKind::Created) return;
    window.SetText(aw::kAddresses, "10.0.0.{1-3}\r\n10.0.1.5\r\n");
    window.SetText(aw::kMask, "255.255.255.0");
    SendMessageW(win32::NativeControlHandle(window, aw::kOccupancyQuery), BM_CLICK, 0, 0);
    worker = std::thread([&window, &addresses, &mask, &occupancy] {
      addresses = window.Text(aw::kAddresses);
      mask = window.Text(aw::kMask);
      occupancy = window.IsChecked(aw::kOccupancyQuery);
      window.Close();
    });
  });
  worker.join();
  EXPECT_EQ(addresses, "10.0.0.{1-3}\r\n10.0.1.5\r\n");
  EXPECT_EQ(mask, "255.255.255.0");
  EXPECT_TRUE(occupancy);
  EXPECT_TRUE(IsWindowEnabled(mainHwnd_));
}

TEST_F(WineModalWindow, ButtonClickInTheModalWindowReachesItsHandler) {
  std::vector<std::string> clicked;
  system_->OpenModal(app::AddWindowSpec(), main_, [&](platform::Window& window, const Event& event) {
    if (event.kind == EventKind::Created) {
      PostMessageW(win32::NativeControlHandle(window, aw::kConfirm), BM_CLICK, 0, 0);
    } else if (event.kind == EventKind::Clicked) {
      clicked.push_back(event.control);
      window.Close();
    }
  });
  EXPECT_EQ(clicked, (std::vector<std::string>{aw::kConfirm}));
}

ControlSpec Make(const char* name, ControlKind kind, int x, int y, int w, int h, const char* text = "",
                 const char* parent = "") {
  ControlSpec c;
  c.name = name;
  c.kind = kind;
  c.x = x;
  c.y = y;
  c.width = w;
  c.height = h;
  c.text = text;
  c.parent = parent;
  return c;
}

TEST_F(WineModalWindow, GroupChildrenArePlacedRelativeToTheirBoxAndRadioButtonsExcludeEachOther) {
  platform::WindowSpec layout;
  layout.name = "对话框";
  layout.caption = "属性";
  layout.x = 50;
  layout.y = 50;
  layout.width = 386;
  layout.height = 352;
  layout.controls.push_back(Make("单选框1", ControlKind::RadioButton, 16, 19, 184, 13, "自动获得 IP 地址(&O)"));
  ControlSpec second = Make("单选框2", ControlKind::RadioButton, 16, 49, 152, 13, "使用下面的 IP 地址(&S):");
  second.checked = true;
  layout.controls.push_back(second);
  layout.controls.push_back(Make("分组框1", ControlKind::GroupBox, 12, 70, 356, 112));
  layout.controls.push_back(Make("标签2", ControlKind::Label, 71, 25, 72, 13, "IP 地址(&I):", "分组框1"));
  layout.controls.push_back(Make("IP编辑框_ip", ControlKind::IpAddress, 139, 20, 176, 24, "", "分组框1"));
  layout.controls.push_back(Make("按钮2", ControlKind::Button, 280, 289, 87, 28, "确定"));

  system_->OpenModal(layout, main_, [&](platform::Window& window, const Event& event) {
    if (event.kind != EventKind::Created) return;
    RECT label = RectInParent(win32::NativeControlHandle(window, "标签2"));
    EXPECT_EQ(label.left, 12 + 71);
    EXPECT_EQ(label.top, 70 + 25);
    RECT ip = RectInParent(win32::NativeControlHandle(window, "IP编辑框_ip"));
    EXPECT_EQ(ip.left, 12 + 139);
    EXPECT_EQ(ip.top, 70 + 20);
    EXPECT_EQ(ip.right - ip.left, 176);
    HWND group = win32::NativeControlHandle(window, "分组框1");
    EXPECT_EQ(GetWindowLongPtrW(group, GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);

    EXPECT_FALSE(window.IsChecked("单选框1"));
    EXPECT_TRUE(window.IsChecked("单选框2"));
    SendMessageW(win32::NativeControlHandle(window, "单选框1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(window.IsChecked("单选框1"));
    EXPECT_FALSE(window.IsChecked("单选框2"));
    window.SetChecked("单选框1", false);
    window.SetChecked("单选框2", true);
    EXPECT_FALSE(window.IsChecked("单选框1"));
    EXPECT_TRUE(window.IsChecked("单选框2"));

    window.SetEnabled("IP编辑框_ip", false);
    EXPECT_FALSE(window.IsEnabled("IP编辑框_ip"));
    window.Close();
  });
}

}  // namespace
}  // namespace corvane

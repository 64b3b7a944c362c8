// The windows at 100, 150 and 200 % scaling: every control of the main window, the add window and
// the TCP/IPv4 dialog at its 96-DPI rectangle times the scale, its font scaled, its caption not
// cut; a DPI change lays the window out again. Wine reads the system DPI from HKCU\Control
// Panel\Desktop\LogPixels once, when a process starts: the 150 and 200 % runs are this program
// started again with the value changed (and put back afterwards).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/window_layouts.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"
#include "real_windows.h"

namespace corvane {
namespace {

using testing_wine::RectInParent;

using platform::ControlKind;
using platform::ControlSpec;
using platform::Event;
using platform::EventKind;
using platform::WindowSpec;

constexpr char kDpiVariable[] = "CORVANE_TEST_DPI";
constexpr int kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

// The DPI of this run: the one a relaunch names, else the prefix's 96.
UINT RunDpi() { return std::getenv(kDpiVariable) ? std::atoi(std::getenv(kDpiVariable)) : 96; }
int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }
template <typename F>
F User32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}
SIZE FrameAt(UINT dpi) {
  RECT f{0, 0, 0, 0};
  User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi")(&f, kStyle, FALSE, 0, dpi);
  return SIZE{f.right - f.left, f.bottom - f.top};
}
LONG FontHeight(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font.lfHeight;
}

// Each control at its 96-DPI rectangle times the scale, in its font at that scale, its caption
// not cut (a check box's box and gap before it; the layout's 13-pixel rows for 9-point captions
// are as tight at every scale, no tighter).
void ExpectLayoutAt(platform::Window& window, const WindowSpec& layout, UINT dpi) {
  HWND hwnd = win32::NativeWindowHandle(window);
  EXPECT_EQ(User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow")(hwnd), dpi);
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, Scale(layout.x, dpi));
  EXPECT_EQ(outer.top, Scale(layout.y, dpi));
  // The client area scales, the frame is the system's at that DPI, and the system keeps a window
  // within the screen (1280 x 1024 here, which the main window at 200 % passes).
  const SIZE f96 = FrameAt(96), f = FrameAt(dpi);
  const int tolerance = dpi == 96 ? 0 : 2;
  EXPECT_NEAR(outer.right - outer.left,
              std::min<LONG>(Scale(layout.width - f96.cx, dpi) + f.cx, GetSystemMetrics(SM_CXMAXTRACK)), tolerance);
  EXPECT_NEAR(outer.bottom - outer.top,
              std::min<LONG>(Scale(layout.height - f96.cy, dpi) + f.cy, GetSystemMetrics(SM_CYMAXTRACK)), tolerance);
  for (const ControlSpec& c : layout.controls) {
    SCOPED_TRACE(c.name);
    HWND control = win32::NativeControlHandle(window, c.name);
    const ControlSpec* group = layout.Find(c.parent);
    const RECT r = RectInParent(control);
    EXPECT_NEAR(r.left, Scale(c.x + (group ? group->x : 0), dpi), tolerance);
    EXPECT_NEAR(r.top, Scale(c.y + (group ? group->y : 0), dpi), tolerance);
    EXPECT_NEAR(r.right - r.left, Scale(c.width, dpi), tolerance);
    if (c.kind == ControlKind::ComboBox) {
      // The window is the closed field; of field and list dropped (the layout's 200), Wine's
      // dropped rectangle is the list's part.
      RECT dropped{};
      SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      EXPECT_LE(dropped.bottom - dropped.top, Scale(200, dpi));
      EXPECT_GT(dropped.bottom - dropped.top, Scale(200, dpi) - 2 * (r.bottom - r.top));
    } else {
      EXPECT_NEAR(r.bottom - r.top, Scale(c.height, dpi), tolerance);
    }
    // An IP address control's font is its four fields'.
    EXPECT_EQ(FontHeight(c.kind == ControlKind::IpAddress ? GetWindow(control, GW_CHILD) : control),
              -MulDiv(c.fontPoints, static_cast<int>(dpi), 72));
    for (size_t column = 0; column < c.columns.size(); ++column)
      EXPECT_EQ(SendMessageW(control, LVM_GETCOLUMNWIDTH, column, 0), Scale(c.columns[column].width, dpi));

    const std::wstring text = win32::ui::WideFromGbk(c.text);
    if (text.empty() || c.kind == ControlKind::GroupBox) continue;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT extent{0, 0, 0, 0}, room{};
    DrawTextW(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    GetClientRect(control, &room);
    if (c.kind == ControlKind::CheckBox || c.kind == ControlKind::RadioButton) room.right -= Scale(13 + 4, dpi);
    EXPECT_LE(extent.right, room.right) << "caption cut across";
    EXPECT_LE(extent.bottom, std::max<LONG>(room.bottom, Scale(16, dpi))) << "caption cut off below";
  }
}

class WineDpiLayout : public testing_wine::RealMainWindowTest {
 protected:
  void ExpectModalLayout(const WindowSpec& layout) {
    bool opened = false;
    system_->OpenModal(layout, main_, [&](platform::Window& window, const Event& event) {
      if (event.kind != EventKind::Created) return;
      opened = true;
      ExpectLayoutAt(window, layout, RunDpi());
      window.Close();
    });
    EXPECT_TRUE(opened);
  }

};

TEST_F(WineDpiLayout, EveryWindowAndControlAtItsLayoutTimesTheScale) {
  {
    SCOPED_TRACE("main window");
    ExpectLayoutAt(*main_, app::MainWindowSpec(), RunDpi());
  }
  {
    SCOPED_TRACE("add window");
    ExpectModalLayout(app::AddWindowSpec());
  }
  {
    SCOPED_TRACE("TCP/IPv4 dialog");
    ExpectModalLayout(app::TcpipDialogSpec());
  }
}

TEST_F(WineDpiLayout, ADpiChangeTakesTheSuggestedRectangleAndLaysTheWindowOutAgain) {
  const UINT start = RunDpi();
  const WindowSpec layout = app::MainWindowSpec();
  HWND hwnd = win32::NativeWindowHandle(*main_);
  HWND list = win32::NativeControlHandle(*main_, app::main_window::kAddressList);
  // A column the user widened keeps its width, at the new scale.
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(Scale(60, start), 0));
  for (const UINT dpi : {UINT{192}, UINT{144}, start}) {
    SCOPED_TRACE(dpi);
    RECT suggested{Scale(20, dpi), Scale(30, dpi), Scale(620, dpi), Scale(480, dpi)}, outer{};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(hwnd, &outer);
    EXPECT_TRUE(EqualRect(&outer, &suggested));
    for (const ControlSpec& c : layout.controls) {
      SCOPED_TRACE(c.name);
      HWND control = win32::NativeControlHandle(*main_, c.name);
      const RECT r = RectInParent(control);
      EXPECT_NEAR(r.left, Scale(c.x, dpi), 1);
      EXPECT_NEAR(r.top, Scale(c.y, dpi), 1);
      EXPECT_NEAR(r.right - r.left, Scale(c.width, dpi), 1);
      EXPECT_EQ(FontHeight(control), -MulDiv(c.fontPoints, static_cast<int>(dpi), 72));
    }
    EXPECT_NEAR(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), Scale(60, dpi), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), Scale(120, dpi));
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 0);  // hidden stays hidden
  }
}

// This program again, its layout tests only, with Wine's system DPI at `dpi`; its exit code.
DWORD RunLayoutTestsAt(DWORD dpi) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=WineDpiLayout.* --gtest_brief=1";
  SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  DWORD code = static_cast<DWORD>(-1);
  if (CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  SetEnvironmentVariableA(kDpiVariable, nullptr);
  return code;
}

TEST(WineDpiScales, TheLayoutTestsPassAt150And200Percent) {
  DWORD original = 0, size = sizeof original;
  const bool had = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &original,
                                &size) == ERROR_SUCCESS;
  EXPECT_EQ(RunLayoutTestsAt(144), 0u);
  EXPECT_EQ(RunLayoutTestsAt(192), 0u);
  if (had)
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &original, sizeof original);
  else
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
}

}  // namespace
}  // namespace corvane

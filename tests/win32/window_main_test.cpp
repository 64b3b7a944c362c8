// The main window of the Win32 window system, built from its template: layout, texts, list
// columns, menus, the log box, the events the controls raise and operations from other threads.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/window_layouts.h"
#include "platform/win32/win32_window.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"
#include "real_windows.h"

namespace corvane {
namespace {

using testing_wine::RectInParent;

namespace mw = app::main_window;
using platform::ControlKind;
using platform::Event;
using platform::EventKind;
using win32::ui::GbkFromWide;
using win32::ui::WideFromGbk;

std::string WindowTextGbk(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return GbkFromWide(std::wstring(buffer));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buffer[64] = {};
  GetClassNameW(hwnd, buffer, 64);
  return buffer;
}

class WineMainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = win32::MakeWindowSystem();
    window_ = system_->CreateMainWindow(app::MainWindowSpec(), [this](platform::Window& window, const Event& event) {
      events_.push_back(event);
      if (onEvent_) onEvent_(window, event);
    });
    ASSERT_NE(window_, nullptr);
    hwnd_ = win32::NativeWindowHandle(*window_);
    ASSERT_NE(hwnd_, nullptr);
  }

  void TearDown() override {
    system_.reset();
    // A window closed by a test leaves its quit message behind.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  HWND Control(const std::string& name) { return win32::NativeControlHandle(*window_, name); }

  // Lets the window work until `done` holds; false after `milliseconds`.
  template <typename Done>
  bool PumpUntil(Done done, DWORD milliseconds = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
      system_->ProcessPendingEvents();
      if (done()) break;
      if (GetTickCount() - start > milliseconds) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }

  int CountEvents(EventKind kind) const {
    int count = 0;
    for (const auto& e : events_)
      if (e.kind == kind) ++count;
    return count;
  }

  const Event* LastEvent(EventKind kind) const {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it)
      if (it->kind == kind) return &*it;
    return nullptr;
  }

  std::unique_ptr<platform::WindowSystem> system_;
  platform::Window* window_ = nullptr;
  HWND hwnd_ = nullptr;
  std::vector<Event> events_;
  std::function<void(platform::Window&, const Event&)> onEvent_;
};

TEST_F(WineMainWindow, OpensVisibleWithItsTitleSizeAndPositionAndRaisesCreated) {
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_EQ(WindowTextGbk(hwnd_), mw::kInitialTitle);
  EXPECT_EQ(window_->Title(), mw::kInitialTitle);
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right - rect.left, 772);
  EXPECT_EQ(rect.bottom - rect.top, 480);
  const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  ASSERT_FALSE(events_.empty());
  EXPECT_EQ(events_.front().kind, EventKind::Created);
  EXPECT_EQ(CountEvents(EventKind::Created), 1);

  window_->SetTitle("标题 2");
  EXPECT_EQ(WindowTextGbk(hwnd_), "标题 2");
  EXPECT_EQ(window_->Title(), "标题 2");
}

TEST_F(WineMainWindow, EveryControlAtItsPositionWithItsText) {
  const platform::WindowSpec layout = app::MainWindowSpec();
  for (const auto& c : layout.controls) {
    SCOPED_TRACE(c.name);
    HWND control = Control(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), hwnd_);
    EXPECT_TRUE(IsWindowVisible(control));
    const RECT r = RectInParent(control);
    EXPECT_EQ(r.left, c.x);
    EXPECT_EQ(r.top, c.y);
    EXPECT_EQ(r.right - r.left, c.width);
    // A drop-down list's window is as tall as its dropped list.
    if (c.kind != ControlKind::ComboBox) {
      EXPECT_EQ(r.bottom - r.top, c.height);
    }
    switch (c.kind) {
      case ControlKind::Label:
      case ControlKind::LinkLabel:
        EXPECT_EQ(ClassOf(control), L"Static");
        EXPECT_EQ(WindowTextGbk(control), c.text);
        break;
      case ControlKind::Button:
      case ControlKind::CheckBox:
        EXPECT_EQ(ClassOf(control), L"Button");
        EXPECT_EQ(WindowTextGbk(control), c.text);
        EXPECT_EQ(window_->Text(c.name), c.text);
        break;
      case ControlKind::ComboBox:
        EXPECT_EQ(ClassOf(control), L"ComboBox");
        EXPECT_EQ(GetWindowLongPtrW(control, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
        break;
      case ControlKind::MultiLineEdit:
        EXPECT_EQ(ClassOf(control), L"Edit");
        EXPECT_TRUE(GetWindowLongPtrW(control, GWL_STYLE) & ES_MULTILINE);
        EXPECT_TRUE(GetWindowLongPtrW(control, GWL_STYLE) & WS_VSCROLL);
        EXPECT_EQ(window_->Text(c.name), "");
        break;
      case ControlKind::ListView:
        EXPECT_EQ(ClassOf(control), L"SysListView32");
        break;
      default:
        break;
    }
  }
  EXPECT_TRUE(window_->IsChecked(mw::kShowIp));
  EXPECT_EQ(SendMessageW(Control(mw::kShowIp), BM_GETCHECK, 0, 0), BST_CHECKED);
  for (const char* box : {mw::kShowGateway, mw::kShowDhcp, mw::kShowPrimaryWins, mw::kShowSecondaryWins}) {
    EXPECT_FALSE(window_->IsChecked(box)) << box;
  }
  EXPECT_EQ(window_->ItemCount(mw::kSelector), 0);
  EXPECT_EQ(window_->CurrentItem(mw::kSelector), -1);
  EXPECT_EQ(window_->Text(mw::kSelector), "");
  EXPECT_EQ(window_->Text(mw::kSelectorLabel), "网卡:");
}

TEST_F(WineMainWindow, ControlsCarryTheirFonts) {
  auto face = [&](const char* name) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Control(name), WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (font == nullptr || GetObjectW(font, sizeof lf, &lf) == 0) return std::string("(none)");
    return GbkFromWide(std::wstring(lf.lfFaceName));
  };
  EXPECT_EQ(face(mw::kReport), "黑体");
  EXPECT_EQ(face(mw::kLog), "微软雅黑");
  EXPECT_EQ(face(mw::kRefreshButton), "MS Shell Dlg 2");
}

TEST_F(WineMainWindow, ListViewHasItsSevenColumnsWithTheirWidthsAndTitles) {
  HWND list = Control(mw::kAddressList);
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  const LRESULT extended = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(extended & LVS_EX_GRIDLINES);

  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 7);
  const int widths[] = {40, 120, 120, 0, 0, 0, 60};
  const char* titles[] = {"ID", "IP地址", "子网掩码", "Context", "Next", "网卡索引", "类型"};
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    wchar_t text[64] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = text;
    col.cchTextMax = 64;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&col)));
    EXPECT_EQ(col.cx, widths[i]);
    EXPECT_EQ(GbkFromWide(std::wstring(text)), titles[i]);
  }
}

TEST_F(WineMainWindow, ListMenuHoldsItsItemsInOrderWithSeparators) {
  HMENU menu = win32::NativeMenuHandle(*window_, mw::kListMenu);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 8);
  const char* expected[] = {mw::kMenuProperties, nullptr,         mw::kMenuAdd, mw::kMenuDelete, nullptr,
                            mw::kMenuCopyAll,    nullptr,         mw::kMenuAbout};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info));
    if (expected[i] == nullptr) {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    } else {
      EXPECT_FALSE(info.fType & MFT_SEPARATOR);
      EXPECT_EQ(GbkFromWide(std::wstring(text)), expected[i]);
      EXPECT_EQ(info.wID, win32::NativeMenuCommandId(*window_, expected[i]));
      EXPECT_TRUE(window_->IsMenuItemEnabled(expected[i]));
    }
  }
}

TEST_F(WineMainWindow, DisabledMenuItemReadsDisabledAndEnabledAgain) {
  HMENU menu = win32::NativeMenuHandle(*window_, mw::kListMenu);
  const UINT id = win32::NativeMenuCommandId(*window_, mw::kMenuProperties);
  window_->SetMenuItemEnabled(mw::kMenuProperties, false);
  EXPECT_FALSE(window_->IsMenuItemEnabled(mw::kMenuProperties));
  EXPECT_TRUE(GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(window_->IsMenuItemEnabled(mw::kMenuAdd));
  window_->SetMenuItemEnabled(mw::kMenuProperties, true);
  EXPECT_TRUE(window_->IsMenuItemEnabled(mw::kMenuProperties));
  EXPECT_FALSE(window_->IsMenuItemEnabled("没有这一项"));
}

TEST_F(WineMainWindow, MenuCommandReachesTheHandlerAsMenuChosen) {
  const UINT id = win32::NativeMenuCommandId(*window_, mw::kMenuAdd);
  ASSERT_NE(id, 0u);
  SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  const Event* chosen = LastEvent(EventKind::MenuChosen);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->control, mw::kMenuAdd);
}

TEST_F(WineMainWindow, RightClickOnTheListPopsUpTheMenuWhoseChoiceArrivesAsMenuChosen) {
  // The handler pops the menu up as the application does; the keys queued before it choose the
  // first item inside the menu's own loop.
  onEvent_ = [this](platform::Window& window, const Event& event) {
    if (event.kind != EventKind::RightClicked) return;
    PostMessageW(hwnd_, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(hwnd_, WM_KEYDOWN, VK_RETURN, 0);
    window.PopupMenu(mw::kListMenu);
  };
  HWND list = Control(mw::kAddressList);
  NMHDR header{};
  header.hwndFrom = list;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
  header.code = static_cast<UINT>(NM_RCLICK);
  SendMessageW(hwnd_, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  const Event* right = LastEvent(EventKind::RightClicked);
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(right->control, mw::kAddressList);
  ASSERT_TRUE(PumpUntil([&] { return LastEvent(EventKind::MenuChosen) != nullptr; }));
  EXPECT_EQ(LastEvent(EventKind::MenuChosen)->control, mw::kMenuProperties);
}

TEST_F(WineMainWindow, HeaderClickRaisesColumnClickedWithTheColumn) {
  HWND list = Control(mw::kAddressList);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT item{};
  ASSERT_TRUE(SendMessageW(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item)));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(header, WM_LBUTTONUP, 0, at);
  PumpUntil([&] { return LastEvent(EventKind::ColumnClicked) != nullptr; }, 2000);
  const Event* clicked = LastEvent(EventKind::ColumnClicked);
  ASSERT_NE(clicked, nullptr);
  EXPECT_EQ(clicked->control, mw::kAddressList);
  EXPECT_EQ(clicked->argument, 2);
}

TEST_F(WineMainWindow, ButtonAndCheckBoxClicksRaiseClicked) {
  SendMessageW(Control(mw::kRefreshButton), BM_CLICK, 0, 0);
  const Event* clicked = LastEvent(EventKind::Clicked);
  ASSERT_NE(clicked, nullptr);
  EXPECT_EQ(clicked->control, mw::kRefreshButton);

  SendMessageW(Control(mw::kShowGateway), BM_CLICK, 0, 0);
  EXPECT_EQ(LastEvent(EventKind::Clicked)->control, mw::kShowGateway);
  EXPECT_TRUE(window_->IsChecked(mw::kShowGateway));
  window_->SetChecked(mw::kShowGateway, false);
  EXPECT_FALSE(window_->IsChecked(mw::kShowGateway));
  EXPECT_EQ(CountEvents(EventKind::Clicked), 2);
}

TEST_F(WineMainWindow, DisabledControlReadsDisabled) {
  window_->SetEnabled(mw::kRefreshButton, false);
  window_->SetEnabled(mw::kSelector, false);
  EXPECT_FALSE(window_->IsEnabled(mw::kRefreshButton));
  EXPECT_FALSE(IsWindowEnabled(Control(mw::kSelector)));
  window_->SetEnabled(mw::kRefreshButton, true);
  EXPECT_TRUE(window_->IsEnabled(mw::kRefreshButton));
  EXPECT_FALSE(window_->IsEnabled("没有这个控件"));
}

TEST_F(WineMainWindow, LinkLabelIsBlueTransparentWithAHandAndReportsMousePresses) {
  HWND link = Control(mw::kIssueLink);
  EXPECT_TRUE(GetWindowLongPtrW(link, GWL_STYLE) & SS_NOTIFY);
  HDC dc = CreateCompatibleDC(nullptr);
  const LRESULT brush = SendMessageW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(link));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  // A plain label is transparent too, in the text colour of the window.
  SetTextColor(dc, RGB(1, 2, 3));
  SendMessageW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(Control(mw::kSelectorLabel)));
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  DeleteDC(dc);

  EXPECT_TRUE(SendMessageW(hwnd_, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));

  SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  const Event* pressed = LastEvent(EventKind::MouseDown);
  ASSERT_NE(pressed, nullptr);
  EXPECT_EQ(pressed->control, mw::kIssueLink);

  window_->SetText(mw::kCommunityLink, "交流群");
  EXPECT_EQ(window_->Text(mw::kCommunityLink), "交流群");
}

TEST_F(WineMainWindow, LogBoxHasItsLightGreyBackground) {
  HDC dc = CreateCompatibleDC(nullptr);
  const LRESULT brush =
      SendMessageW(hwnd_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Control(mw::kLog)));
  ASSERT_NE(brush, 0);
  LOGBRUSH lb{};
  ASSERT_NE(GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof lb, &lb), 0);
  EXPECT_EQ(lb.lbColor, RGB(236, 236, 236));
  EXPECT_EQ(GetBkColor(dc), RGB(236, 236, 236));
  // The report keeps the system's colour.
  SetBkColor(dc, RGB(9, 9, 9));
  SendMessageW(hwnd_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Control(mw::kReport)));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
  DeleteDC(dc);
}

TEST_F(WineMainWindow, AppendTextGoesBeyond32KCharactersAndKeepsTheCaretAtTheEnd) {
  const std::string line = std::string(36, 'x') + "日志\r\n";  // 40 characters
  for (int i = 0; i < 1000; ++i) window_->AppendText(mw::kLog, line);
  HWND log = Control(mw::kLog);
  EXPECT_EQ(GetWindowTextLengthW(log), 40000);
  const std::string text = window_->Text(mw::kLog);
  EXPECT_EQ(text.size(), 40000u + 1000u * 2u);  // two GBK bytes per Chinese character
  EXPECT_EQ(text.substr(text.size() - line.size()), line);

  // Typing moved the caret; the next append still goes to the end.
  SendMessageW(log, EM_SETSEL, 0, 0);
  window_->AppendText(mw::kLog, "末行\r\n");
  const std::string after = window_->Text(mw::kLog);
  EXPECT_EQ(after.substr(after.size() - 6), "末行\r\n");
  EXPECT_EQ(after.substr(0, line.size()), line);
}

TEST_F(WineMainWindow, OperationsFromAWorkerThreadRunOnTheWindowThread) {
  std::atomic<bool> done{false};
  std::string readBack;
  int rows = -1;
  std::thread worker([&] {
    window_->SetText(mw::kReport, "状态: 已连接\r\n");
    for (int i = 0; i < 200; ++i) window_->AppendText(mw::kLog, "第" + std::to_string(i) + "行\r\n");
    window_->SetTitle("工作线程");
    window_->AddItem(mw::kSelector, "本地连接", 7);
    window_->SetCurrentItem(mw::kSelector, 0);
    window_->AppendRow(mw::kAddressList, "1");
    window_->SetCell(mw::kAddressList, 0, 1, "10.0.0.1");
    window_->SetMenuItemEnabled(mw::kMenuDelete, false);
    window_->SetEnabled(mw::kRefreshButton, false);
    readBack = window_->Text(mw::kReport);
    rows = window_->RowCount(mw::kAddressList);
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); }, 20000);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(readBack, "状态: 已连接\r\n");
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(window_->Title(), "工作线程");
  EXPECT_EQ(window_->Text(mw::kSelector), "本地连接");
  EXPECT_EQ(window_->ItemData(mw::kSelector, 0), 7);
  EXPECT_EQ(window_->Cell(mw::kAddressList, 0, 1), "10.0.0.1");
  EXPECT_FALSE(window_->IsMenuItemEnabled(mw::kMenuDelete));
  EXPECT_FALSE(window_->IsEnabled(mw::kRefreshButton));
  const std::string log = window_->Text(mw::kLog);
  EXPECT_EQ(log.substr(0, 7), "第0行\r\n");
  EXPECT_EQ(log.substr(log.size() - 9), "第199行\r\n");
  // Each line whole and in order.
  std::string expected;
  for (int i = 0; i < 200; ++i) expected += "第" + std::to_string(i) + "行\r\n";
  EXPECT_EQ(log, expected);
  // SetCurrentItem raises nothing.
  EXPECT_EQ(CountEvents(EventKind::ItemChosen), 0);
}

TEST_F(WineMainWindow, ThePrivateMessageRunsOnlyCallsTheWindowQueuedItself) {
  // A call of the very shape the window runs, which none of its operations queued.
  std::atomic<int> ran{0};
  const std::function<void()> work = [&] { ++ran; };
  win32::detail::InvokeCall foreign;
  foreign.work = &work;
  const UINT message = win32::detail::InvokeMessage();
  ASSERT_GE(message, 0xC000u);  // a registered message, not one of the WM_APP range
  std::atomic<bool> sent{false};
  std::thread other([&] {
    const auto pointer = reinterpret_cast<LPARAM>(&foreign);
    PostMessageW(hwnd_, message, 0, pointer);
    SendMessageW(hwnd_, message, 0, pointer);
    PostMessageW(hwnd_, message, 0, 0x10);
    SendMessageW(hwnd_, message, 0, 0x10);
    SendMessageW(hwnd_, WM_APP + 1, 0, pointer);  // the message it used to be
    PostMessageW(hwnd_, WM_NULL, 0, 0);  // after the posted ones
    sent = true;
  });
  const bool delivered = PumpUntil([&] { return sent.load(); });
  other.join();
  ASSERT_TRUE(delivered);
  system_->ProcessPendingEvents();
  EXPECT_EQ(ran, 0);
  EXPECT_TRUE(IsWindow(hwnd_));

  // The window's own calls from another thread still run there, and their results come back.
  std::atomic<bool> done{false};
  std::string title;
  std::thread worker([&] {
    window_->SetTitle("线程调用");
    title = window_->Title();
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(title, "线程调用");
  EXPECT_EQ(WindowTextGbk(hwnd_), "线程调用");
}

TEST_F(WineMainWindow, SelectorItemsDataAndChoice) {
  EXPECT_EQ(window_->AddItem(mw::kSelector, "以太网", 11), 0);
  EXPECT_EQ(window_->AddItem(mw::kSelector, "WLAN", 12), 1);
  EXPECT_EQ(window_->AddItem(mw::kSelector, "本地连接 2", 13), 2);
  EXPECT_EQ(window_->ItemCount(mw::kSelector), 3);
  EXPECT_EQ(window_->CurrentItem(mw::kSelector), -1);
  window_->SetCurrentItem(mw::kSelector, 2);
  EXPECT_EQ(window_->CurrentItem(mw::kSelector), 2);
  EXPECT_EQ(window_->Text(mw::kSelector), "本地连接 2");
  EXPECT_EQ(window_->ItemData(mw::kSelector, 1), 12);
  EXPECT_EQ(window_->ItemData(mw::kSelector, 5), CB_ERR);
  EXPECT_EQ(CountEvents(EventKind::ItemChosen), 0);

  // The user's choice arrives as CBN_SELCHANGE.
  HWND combo = Control(mw::kSelector);
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  const Event* chosen = LastEvent(EventKind::ItemChosen);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->control, mw::kSelector);
  EXPECT_EQ(chosen->argument, 1);

  window_->SetCurrentItem(mw::kSelector, -1);
  EXPECT_EQ(window_->CurrentItem(mw::kSelector), -1);
  EXPECT_EQ(window_->Text(mw::kSelector), "");
  window_->ClearItems(mw::kSelector);
  EXPECT_EQ(window_->ItemCount(mw::kSelector), 0);
}

TEST_F(WineMainWindow, ListRowsCellsSelectionAndHiddenColumns) {
  window_->DeleteAllRows(mw::kAddressList);
  for (int i = 0; i < 4; ++i) {
    const int row = window_->AppendRow(mw::kAddressList, std::to_string(i + 1));
    EXPECT_EQ(row, i);
    window_->SetCell(mw::kAddressList, row, 1, "192.168.0." + std::to_string(i + 1));
    window_->SetCell(mw::kAddressList, row, 4, std::to_string(100 - i));  // hidden column
    window_->SetCell(mw::kAddressList, row, 6, "IP-地址");
  }
  EXPECT_EQ(window_->RowCount(mw::kAddressList), 4);
  EXPECT_EQ(window_->Cell(mw::kAddressList, 2, 1), "192.168.0.3");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 2, 4), "98");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 3, 6), "IP-地址");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 9, 1), "");

  // Longer than the first buffer.
  const std::string longText(1000, 'a');
  window_->SetCell(mw::kAddressList, 0, 2, longText);
  EXPECT_EQ(window_->Cell(mw::kAddressList, 0, 2), longText);

  HWND list = Control(mw::kAddressList);
  EXPECT_TRUE(window_->SelectedRows(mw::kAddressList).empty());
  for (int row : {3, 1}) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  EXPECT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{1, 3}));

  window_->DeleteAllRows(mw::kAddressList);
  EXPECT_EQ(window_->RowCount(mw::kAddressList), 0);
}

TEST_F(WineMainWindow, SortRowsHandsTheComparisonThePositionsFromBeforeTheSort) {
  const int values[] = {30, 10, 40, 20};
  for (int i = 0; i < 4; ++i) {
    const int row = window_->AppendRow(mw::kAddressList, std::to_string(i + 1));
    window_->SetCell(mw::kAddressList, row, 4, std::to_string(values[i]));
    window_->SetRowData(mw::kAddressList, row, 1000 + i);  // replaced by the positions
  }
  int calls = 0;
  bool inRange = true;
  window_->SortRows(mw::kAddressList, [&](intptr_t a, intptr_t b) {
    ++calls;
    inRange = inRange && a >= 0 && a < 4 && b >= 0 && b < 4;
    return values[a] < values[b] ? -1 : (values[a] > values[b] ? 1 : 0);
  });
  EXPECT_GT(calls, 0);
  EXPECT_TRUE(inRange);
  std::vector<std::string> ids, keys;
  for (int row = 0; row < 4; ++row) {
    ids.push_back(window_->Cell(mw::kAddressList, row, 0));
    keys.push_back(window_->Cell(mw::kAddressList, row, 4));
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"2", "4", "1", "3"}));
  EXPECT_EQ(keys, (std::vector<std::string>{"10", "20", "30", "40"}));

  // Descending, from a worker thread while the window thread pumps: the positions are the new
  // ones, so keys read again line up with them.
  int now[4];
  for (int row = 0; row < 4; ++row) now[row] = std::stoi(window_->Cell(mw::kAddressList, row, 4));
  std::atomic<bool> done{false};
  std::thread worker([&] {
    window_->SortRows(mw::kAddressList, [&](intptr_t a, intptr_t b) { return now[b] < now[a] ? -1 : (now[b] > now[a] ? 1 : 0); });
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(window_->Cell(mw::kAddressList, 0, 4), "40");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 3, 4), "10");
}

TEST_F(WineMainWindow, SystemMenuItemsRaiseSystemCommandWithTheirIds) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  ASSERT_NE(menu, nullptr);
  const int before = GetMenuItemCount(menu);
  std::atomic<bool> done{false};
  // The items come from a thread of their own, as at start-up.
  std::thread task([&] {
    window_->AppendSystemMenuItem(1, "", false);
    window_->AppendSystemMenuItem(2, "作者：某人(&E)", true);
    window_->AppendSystemMenuItem(3, "", false);
    window_->AppendSystemMenuItem(4, "使用协议(&F)", false);
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); });
  task.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(GetMenuItemCount(menu), before + 4);
  wchar_t text[64] = {};
  GetMenuStringW(menu, static_cast<UINT>(before + 3), text, 64, MF_BYPOSITION);
  EXPECT_EQ(GbkFromWide(std::wstring(text)), "使用协议(&F)");
  EXPECT_EQ(GetMenuItemID(menu, before + 1), 2u);
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(before), MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(before + 1), MF_BYPOSITION) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(menu, static_cast<UINT>(before + 3), MF_BYPOSITION) & MF_CHECKED);

  SendMessageW(hwnd_, WM_SYSCOMMAND, 4, 0);
  const Event* command = LastEvent(EventKind::SystemCommand);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->argument, 4);
  SendMessageW(hwnd_, WM_SYSCOMMAND, 2, 0);
  EXPECT_EQ(LastEvent(EventKind::SystemCommand)->argument, 2);
  EXPECT_EQ(CountEvents(EventKind::SystemCommand), 2);
  // Other system commands keep their meaning and raise nothing.
  SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(IsIconic(hwnd_));
  EXPECT_EQ(CountEvents(EventKind::SystemCommand), 2);
}

TEST_F(WineMainWindow, ClosingAsksTheHandlerWhichClosesItAndEndsTheMessageLoop) {
  // Left to itself the window stays: the handler may have work to finish first.
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(hwnd_));
  EXPECT_EQ(CountEvents(EventKind::CloseRequested), 1);
  EXPECT_EQ(CountEvents(EventKind::Destroying), 0);
  onEvent_ = [](platform::Window& window, const Event& event) {
    if (event.kind == EventKind::CloseRequested) window.Close();
  };
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_EQ(CountEvents(EventKind::Destroying), 1);
  EXPECT_EQ(system_->RunMessageLoop(), 0);
  // The window is gone: operations do nothing.
  window_->SetText(mw::kLog, "x");
  EXPECT_EQ(window_->Text(mw::kLog), "");
  EXPECT_EQ(win32::NativeWindowHandle(*window_), nullptr);
}

TEST_F(WineMainWindow, AHandlerExceptionStaysInTheWindow) {
  onEvent_ = [](platform::Window&, const Event& event) {
    if (event.kind == EventKind::Clicked) throw std::runtime_error("handler failure");
  };
  SendMessageW(Control(mw::kRefreshButton), BM_CLICK, 0, 0);
  EXPECT_EQ(CountEvents(EventKind::Clicked), 1);
  EXPECT_TRUE(IsWindow(hwnd_));
  // Comparisons that throw leave the rows as they were.
  window_->AppendRow(mw::kAddressList, "a");
  window_->AppendRow(mw::kAddressList, "b");
  window_->SortRows(mw::kAddressList, [](intptr_t, intptr_t) -> int { throw std::runtime_error("compare"); });
  EXPECT_EQ(window_->RowCount(mw::kAddressList), 2);
}

}  // namespace
}  // namespace corvane

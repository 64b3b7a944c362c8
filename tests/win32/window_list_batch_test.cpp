// The batch operations of the address list in the Win32 window system: a real list view filled
// with ReplaceRows and read back with CellsOf, from the window thread and from a worker; one
// crossing to the window thread per batch, the list at its top and drawn once afterwards. The list
// is virtual: what the control shows, selects, sorts and finds by typing comes from the rows the
// window holds. And the log box, drawn once for many appended lines.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

namespace corvane {
namespace {

namespace mw = app::main_window;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kColumns = 7;

// Rows as the address list shows them, with a kind text in GBK, some empty and some long cells.
Rows AddressRows(int count, const std::string& tag = "") {
  const char* kinds[] = {"IP-地址", "IP-网关", "DHCP-IP", " 主-WINS-IP", "辅-WINS-IP"};
  Rows rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({std::to_string(i + 1), "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) +
                                               "." + std::to_string(i % 256),
                    "255.255.255.0", std::to_string(1000 + i), i % 7 == 0 ? "" : std::to_string(i * 37),
                    "4" + tag, kinds[i % 5]});
  }
  return rows;
}

// The cells a row of `rows` shows: cut or padded to the seven columns.
Rows AsShown(Rows rows) {
  for (auto& row : rows) row.resize(kColumns);
  return rows;
}

std::vector<int> Range(int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(i);
  return v;
}

// Wake-ups of the private "run what is queued on the window thread" kind, counted as the window
// thread takes them off its queue.
std::atomic<int> g_crossings{0};
HWND g_countedWindow = nullptr;

LRESULT CALLBACK CountCrossings(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    const auto* taken = reinterpret_cast<const MSG*>(lParam);
    if (taken->hwnd == g_countedWindow && taken->message == win32::detail::InvokeMessage()) ++g_crossings;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Paints of the list view, counted by a subclass procedure.
LRESULT CALLBACK CountPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR counter) {
  if (message == WM_PAINT) ++*reinterpret_cast<int*>(counter);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

class WineListBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    system_ = win32::MakeWindowSystem();
    window_ = system_->CreateMainWindow(app::MainWindowSpec(), [](platform::Window&, const platform::Event&) {});
    ASSERT_NE(window_, nullptr);
    list_ = win32::NativeControlHandle(*window_, mw::kAddressList);
    ASSERT_NE(list_, nullptr);
    Pump(200);
  }

  void TearDown() override {
    system_.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Lets the window work for `milliseconds`.
  void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
      system_->ProcessPendingEvents();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
    system_->ProcessPendingEvents();
  }

  int RowCount() { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
  int TopRow() { return static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)); }

  // One cell straight from the control, without the window system.
  std::string CellOfControl(int row, int column) {
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 512;
    const LRESULT copied = SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return win32::ui::GbkFromWide(buffer, static_cast<size_t>(copied));
  }

  void Select(int row, bool focus = false) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | (focus ? LVIS_FOCUSED : 0u);
    state.state = state.stateMask;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  }

  int FocusedRow() {
    return static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
  }

  // What the list's own search answers, as when the user types `text` into it.
  int FindByTyping(const std::wstring& text, int from, UINT flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP) {
    LVFINDINFOW find{};
    find.flags = flags;
    find.psz = text.c_str();
    return static_cast<int>(SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&find)));
  }

  std::unique_ptr<platform::WindowSystem> system_;
  platform::Window* window_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(WineListBatch, FillsTheListViewAndReadsEveryCellBack) {
  Rows rows = AddressRows(1500);
  rows[3] = {"4", "10.0.0.3"};                                        // shorter: the rest stays empty
  rows[4].push_back("第八格");                                         // longer: the extra cell is dropped
  rows[5][2] = std::string(700, 'm');                                  // longer than a first read buffer
  rows[6] = {};                                                        // no cells at all
  rows[8][1] = "网卡 " + std::string(300, 'x') + " 地址";
  window_->ReplaceRows(mw::kAddressList, rows);

  ASSERT_EQ(RowCount(), 1500);
  const Rows shown = AsShown(rows);
  const Rows read = window_->CellsOf(mw::kAddressList, Range(1500), Range(kColumns));
  ASSERT_EQ(read.size(), shown.size());
  for (size_t i = 0; i < shown.size(); ++i) ASSERT_EQ(read[i], shown[i]) << "row " << i;
  // The control shows the same texts.
  for (int row : {0, 3, 4, 6, 8, 1499}) {
    for (int column = 0; column < kColumns; ++column) {
      if (shown[row][column].size() < 500) {
        EXPECT_EQ(CellOfControl(row, column), shown[row][column]) << row;
      }
    }
  }
  EXPECT_EQ(window_->Cell(mw::kAddressList, 1499, 6), "辅-WINS-IP");

  // Rows and columns the list lacks read empty; the order of the request is kept.
  const Rows odd = window_->CellsOf(mw::kAddressList, {1499, -1, 1500, 0}, {6, 7, -1, 1});
  EXPECT_EQ(odd, (Rows{{"辅-WINS-IP", "", "", shown[1499][1]}, {"", "", "", ""}, {"", "", "", ""},
                       {shown[0][6], "", "", shown[0][1]}}));
  EXPECT_TRUE(window_->CellsOf(mw::kAddressList, {}, {1, 2}).empty());

  // A second batch replaces the first; an empty one empties the list.
  window_->ReplaceRows(mw::kAddressList, AddressRows(3, "x"));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(window_->CellsOf(mw::kAddressList, {2}, {0, 5, 6}), (Rows{{"3", "4x", "DHCP-IP"}}));
  window_->ReplaceRows(mw::kAddressList, {});
  EXPECT_EQ(RowCount(), 0);

  // Controls that are no list are left alone.
  window_->ReplaceRows(mw::kLog, rows);
  window_->ReplaceRows("no such control", rows);
  EXPECT_EQ(window_->Text(mw::kLog), "");
  EXPECT_EQ(window_->CellsOf(mw::kLog, {0}, {0}), (Rows{{""}}));
}

TEST_F(WineListBatch, FromAWorkerEachBatchCrossesToTheWindowThreadOnce) {
  g_crossings = 0;
  g_countedWindow = win32::NativeWindowHandle(*window_);
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountCrossings, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);

  const Rows rows = AddressRows(1000);
  Rows read;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    window_->ReplaceRows(mw::kAddressList, rows);
    read = window_->CellsOf(mw::kAddressList, Range(1000), {6, 3, 1});
    done = true;
  });
  const DWORD start = GetTickCount();
  while (!done && GetTickCount() - start < 60000) {
    system_->ProcessPendingEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  worker.join();
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(done);
  EXPECT_EQ(g_crossings, 2);
  EXPECT_EQ(RowCount(), 1000);
  ASSERT_EQ(read.size(), 1000u);
  for (size_t i = 0; i < read.size(); ++i)
    ASSERT_EQ(read[i], (std::vector<std::string>{rows[i][6], rows[i][3], rows[i][1]})) << "row " << i;
}

TEST_F(WineListBatch, AScrolledListIsBackAtItsTopAndDrawnOnceAfterTheBatch) {
  window_->ReplaceRows(mw::kAddressList, AddressRows(500));
  SendMessageW(list_, LVM_ENSUREVISIBLE, 499, FALSE);
  Pump(100);
  ASSERT_GT(TopRow(), 400);
  ASSERT_GT(GetScrollPos(list_, SB_VERT), 400);

  int paints = 0;
  ASSERT_TRUE(SetWindowSubclass(list_, CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints)));
  Pump(100);
  paints = 0;
  window_->ReplaceRows(mw::kAddressList, AddressRows(300, "y"));
  // Nothing was drawn while the rows went in; the list waits for one paint.
  EXPECT_EQ(paints, 0);
  RECT update{};
  EXPECT_TRUE(GetUpdateRect(list_, &update, FALSE));
  EXPECT_EQ(TopRow(), 0);
  EXPECT_EQ(GetScrollPos(list_, SB_VERT), 0);
  Pump(200);
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(TopRow(), 0);
  EXPECT_EQ(window_->Cell(mw::kAddressList, 299, 5), "4y");

  // Fewer rows than the list can show: still at the top.
  SendMessageW(list_, LVM_ENSUREVISIBLE, 299, FALSE);
  Pump(50);
  window_->ReplaceRows(mw::kAddressList, AddressRows(5));
  Pump(50);
  EXPECT_EQ(TopRow(), 0);
  EXPECT_EQ(GetScrollPos(list_, SB_VERT), 0);
  RemoveWindowSubclass(list_, CountPaints, 1);
}

TEST_F(WineListBatch, SortingCarriesTheSelectionAndTheFocusWithTheirRows) {
  const Rows rows = AddressRows(60);
  window_->ReplaceRows(mw::kAddressList, rows);
  Select(3);
  Select(10, true);
  Select(59);
  ASSERT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{3, 10, 59}));

  // Reversed: the comparison is handed the positions before the sort.
  std::vector<std::pair<intptr_t, intptr_t>> asked;
  window_->SortRows(mw::kAddressList, [&](intptr_t a, intptr_t b) {
    asked.emplace_back(a, b);
    return a < b ? 1 : (a > b ? -1 : 0);
  });
  ASSERT_FALSE(asked.empty());
  for (const auto& [a, b] : asked) {
    ASSERT_TRUE(a >= 0 && a < 60 && b >= 0 && b < 60);
  }
  const Rows read = window_->CellsOf(mw::kAddressList, Range(60), Range(kColumns));
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(read[i], AsShown(rows)[59 - i]) << i;
  }
  EXPECT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{0, 49, 56}));
  EXPECT_EQ(FocusedRow(), 49);
  EXPECT_EQ(CellOfControl(49, 1), rows[10][1]);

  // Equal keys keep their order; a comparison that fails leaves the rows and selection as they are.
  window_->SortRows(mw::kAddressList, [](intptr_t, intptr_t) { return 0; });
  EXPECT_EQ(window_->Cell(mw::kAddressList, 0, 1), rows[59][1]);
  window_->SortRows(mw::kAddressList, [](intptr_t a, intptr_t) -> int {
    if (a == 7) throw std::runtime_error("no key");
    return -1;
  });
  EXPECT_EQ(window_->CellsOf(mw::kAddressList, Range(60), Range(kColumns)), read);
  EXPECT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{0, 49, 56}));

  // A new fill keeps selected the rows it holds again, wherever they are now, and no other.
  Rows refill = AddressRows(60, "y");
  refill[7] = rows[10];
  refill[7][0] = "8";
  refill[20] = rows[59];
  window_->ReplaceRows(mw::kAddressList, refill);
  EXPECT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{7, 20}));
  EXPECT_EQ(FocusedRow(), -1);
  window_->ReplaceRows(mw::kAddressList, AddressRows(60, "q"));
  EXPECT_TRUE(window_->SelectedRows(mw::kAddressList).empty());
}

// A click the list view tracks runs a loop of its own (under Wine the right button's, until the
// button is released): a worker's refill that arrives meanwhile waits for the click to end, and
// the row the user clicked is still selected after it, at its new place.
TEST_F(WineListBatch, ARefillWaitsForTheClickTheListTracksAndTheClickedRowStaysSelected) {
  const Rows rows = AddressRows(10);
  window_->ReplaceRows(mw::kAddressList, rows);
  Pump(50);
  RECT row2{};
  row2.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(list_, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row2)));
  const LPARAM at = MAKELPARAM((row2.left + row2.right) / 2, (row2.top + row2.bottom) / 2);
  Rows refill = AddressRows(11, "z");
  refill[4] = rows[2];  // the clicked row, two places down

  std::atomic<bool> refilled{false};
  std::atomic<int> countDuringTheClick{-1};
  std::thread worker([&] {
    Sleep(300);  // the list is tracking the click
    window_->ReplaceRows(mw::kAddressList, refill);
    refilled = true;
  });
  std::thread user([&] {
    Sleep(900);
    countDuringTheClick = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    PostMessageW(list_, WM_RBUTTONUP, 0, at);
  });
  PostMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, at);
  const DWORD start = GetTickCount();
  while (!refilled && GetTickCount() - start < 20000) {
    system_->ProcessPendingEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  worker.join();
  user.join();
  ASSERT_TRUE(refilled);
  EXPECT_EQ(countDuringTheClick, 10);
  EXPECT_EQ(RowCount(), 11);
  EXPECT_EQ(window_->SelectedRows(mw::kAddressList), (std::vector<int>{4}));
}

// The same for a message box a handler shows: what a worker asks of the window is done once the
// box is closed and the handler has returned, not while the user reads the box.
TEST_F(WineListBatch, AWorkersCallWaitsForTheMessageBoxAHandlerShows) {
  std::unique_ptr<platform::WindowSystem> system = win32::MakeWindowSystem();
  platform::Window* window = nullptr;
  window = system->CreateMainWindow(app::MainWindowSpec(), [&](platform::Window&, const platform::Event& event) {
    if (event.kind == platform::EventKind::Clicked) system->ShowMessageBox(window, "提示", "标题", MB_OK);
  });
  ASSERT_NE(window, nullptr);
  HWND hwnd = win32::NativeWindowHandle(*window);
  window->SetTitle("之前");
  const DWORD thread = GetCurrentThreadId();

  std::atomic<bool> changed{false};
  std::string titleWhileShown;
  std::thread user([&] {
    // The box, once it is up.
    HWND box = nullptr;
    for (int i = 0; i < 500 && box == nullptr; ++i) {
      Sleep(20);
      EnumThreadWindows(
          thread,
          [](HWND candidate, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(candidate, name, 16);
            if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(candidate)) return TRUE;
            *reinterpret_cast<HWND*>(found) = candidate;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&box));
    }
    std::thread worker([&] {
      window->SetTitle("之后");
      changed = true;
    });
    Sleep(500);
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    titleWhileShown = win32::ui::GbkFromWide(title);
    if (box != nullptr) PostMessageW(box, WM_COMMAND, IDOK, 0);
    worker.join();
  });
  // The click comes through the window system's loop, as the user's would.
  PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(win32::NativeControlHandle(*window, mw::kRefreshButton)),
                                            BN_CLICKED),
               reinterpret_cast<LPARAM>(win32::NativeControlHandle(*window, mw::kRefreshButton)));
  const DWORD start = GetTickCount();
  while (!changed && GetTickCount() - start < 20000) {
    system->ProcessPendingEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  user.join();
  ASSERT_TRUE(changed);
  EXPECT_EQ(titleWhileShown, "之前");
  EXPECT_EQ(window->Title(), "之后");
}

TEST_F(WineListBatch, TheControlShowsAndFindsTheRowsTheWindowHolds) {
  Rows rows = AddressRows(600);
  rows[2][2] = std::string(600, 'w');
  window_->ReplaceRows(mw::kAddressList, rows);
  // A text longer than the control's buffer is cut to it and still ends in a NUL.
  wchar_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), L'#');
  LVITEMW item{};
  item.iSubItem = 2;
  item.pszText = buffer;
  item.cchTextMax = 16;
  SendMessageW(list_, LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::wstring(buffer), std::wstring(15, L'w'));
  EXPECT_EQ(window_->Cell(mw::kAddressList, 2, 2), rows[2][2]);
  // Past the rows or columns: empty.
  EXPECT_EQ(CellOfControl(600, 1), "");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 600, 1), "");
  EXPECT_EQ(window_->Cell(mw::kAddressList, 0, kColumns), "");

  // Typing finds the next row whose first cell starts with the text, from the given row on and
  // round to the top.
  EXPECT_EQ(FindByTyping(L"1", -1), 0);
  EXPECT_EQ(FindByTyping(L"12", 0), 11);
  EXPECT_EQ(FindByTyping(L"599", 0), 598);
  EXPECT_EQ(FindByTyping(L"12", 590), 11);
  EXPECT_EQ(FindByTyping(L"12", 590, LVFI_STRING | LVFI_PARTIAL), -1);
  EXPECT_EQ(FindByTyping(L"120", 0, LVFI_STRING), 119);
  EXPECT_EQ(FindByTyping(L"x", 0), -1);

  // Rows added one at a time and cells set one at a time show as well.
  window_->DeleteAllRows(mw::kAddressList);
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(window_->AppendRow(mw::kAddressList, "1"), 0);
  EXPECT_EQ(window_->AppendRow(mw::kAddressList, "2"), 1);
  window_->SetCell(mw::kAddressList, 1, 6, "IP-网关");
  window_->SetCell(mw::kAddressList, 1, kColumns, "lost");
  window_->SetCell(mw::kAddressList, 2, 1, "lost");
  EXPECT_EQ(RowCount(), 2);
  EXPECT_EQ(CellOfControl(1, 6), "IP-网关");
  EXPECT_EQ(CellOfControl(1, 1), "");
  EXPECT_EQ(window_->RowCount(mw::kAddressList), 2);
}

TEST_F(WineListBatch, LogLinesAreDrawnOnceAndTheLastStaysInView) {
  HWND log = win32::NativeControlHandle(*window_, mw::kLog);
  int paints = 0;
  ASSERT_TRUE(SetWindowSubclass(log, CountPaints, 2, reinterpret_cast<DWORD_PTR>(&paints)));
  Pump(100);
  paints = 0;
  for (int i = 0; i < 40; ++i) window_->AppendText(mw::kLog, "12:00:00：第" + std::to_string(i) + "行\r\n");
  window_->SetText(mw::kReport, "连接名称：本地连接\r\n网卡状态：已连接");
  EXPECT_EQ(paints, 0);
  EXPECT_TRUE(GetWindowLongPtrW(log, GWL_STYLE) & WS_VISIBLE);
  Pump(200);
  EXPECT_EQ(paints, 1);
  // The caret and the view at the end: the last line is among the visible ones, and the scroll
  // bar tells the same first line as the box.
  const int lines = static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0));
  const int first = static_cast<int>(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0));
  EXPECT_GT(first, 0);
  RECT client{};
  GetClientRect(log, &client);
  const LRESULT lastLine = SendMessageW(log, EM_POSFROMCHAR, SendMessageW(log, EM_LINEINDEX, lines - 2, 0), 0);
  EXPECT_LT(static_cast<short>(HIWORD(lastLine)), client.bottom);
  EXPECT_GE(static_cast<short>(HIWORD(lastLine)), 0);
  EXPECT_EQ(GetScrollPos(log, SB_VERT), first);
  EXPECT_EQ(window_->Text(mw::kReport), "连接名称：本地连接\r\n网卡状态：已连接");
  RemoveWindowSubclass(log, CountPaints, 2);

  // A hidden box stays hidden.
  ShowWindow(log, SW_HIDE);
  window_->AppendText(mw::kLog, "末行\r\n");
  EXPECT_FALSE(IsWindowVisible(log));
  ShowWindow(log, SW_SHOW);
  const std::string text = window_->Text(mw::kLog);
  EXPECT_EQ(text.substr(text.size() - 6), "末行\r\n");
}

// The log box keeps its last 10,000 lines: once a quarter more have come the oldest go, the first
// line counts them, and the view stays at the end.
TEST_F(WineListBatch, TheLogKeepsItsLastTenThousandLinesAndCountsThoseThatWent) {
  HWND log = win32::NativeControlHandle(*window_, mw::kLog);
  auto lines = [](int from, int count) {
    std::string text;
    for (int i = from; i < from + count; ++i) text += "12:00:00：第" + std::to_string(i) + "行\r\n";
    return text;
  };
  window_->AppendText(mw::kLog, lines(0, 12500));
  window_->AppendText(mw::kLog, lines(12500, 1));
  std::string text = window_->Text(mw::kLog);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10001);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "……较早的2501行日志已移除……");
  EXPECT_EQ(text.substr(text.find("\r\n") + 2, 20), "12:00:00：第2501行\r\n");
  window_->AppendText(mw::kLog, lines(12501, 2501));
  text = window_->Text(mw::kLog);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10001);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "……较早的5002行日志已移除……");
  EXPECT_EQ(text.substr(text.size() - 11), "第15001行\r\n");
  Pump(100);
  // The view at the end.
  const int count = static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0));
  EXPECT_GT(static_cast<int>(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0)), count - 20);
}

}  // namespace
}  // namespace corvane

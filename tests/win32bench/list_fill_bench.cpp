// How long the address list takes to fill over the real Win32 window system, for a simulated
// machine whose one adapter holds n addresses (n = 1,000 and 4,000 unless given on the command
// line). For each n, in one run:
//   first fill    the program's start (the main window created and shown, the start-up worker
//                 enumerating) until the list holds all n rows and the report's log lines are
//                 written; "window" is the part until the main window is up, "after" the rest
//                 (each the best of the runs on its own, so they need not add up to the total);
//   refresh       a click on "刷新", whose worker refills the list, until the refresh has ended
//                 with the rows and the log lines in place;
//   bare insert   the same rows inserted on the window thread with drawing off into an ordinary
//                 list view in the program's list's place (the program's list is virtual), one
//                 LVM_INSERTITEMW and six LVM_SETITEMTEXTW per row from texts converted beforehand:
//                 what a program pays that puts the rows into the control itself; "drawn" until
//                 the list has drawn them;
//   batch insert  the window system's ReplaceRows of the same rows into the emptied list.
// Each figure is the best of several runs (--runs, default 5); the ratios are program/bare and
// t(4n)/t(n). Not a test: scripts/bench-win32 builds it (Release) and runs it under Wine.
//
//   corvane_win32_bench [--runs R] [n ...]
//
// The machine's services are the simulated ones (its kernel too, so closing a window does not
// end this process); only the windows are real.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "bench/bench_adapter.h"
#include "win32bench/log_box.h"
#include "platform/sim/machine.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"

namespace {

using namespace corvane;
namespace mw = app::main_window;
using bench::LastLogLine;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Dispatches what the thread's queue holds. A closed main window leaves its quit message behind;
// it is dropped, the run goes on.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps until `done` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 600000) {
  const DWORD start = GetTickCount();
  for (;;) {
    Pump();
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// An ordinary (not virtual) report list view over `model`: its parent, place, size, styles, font and
// columns.
HWND PlainListLike(HWND model) {
  RECT rect;
  GetWindowRect(model, &rect);
  HWND parent = GetParent(model);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(model, GWL_STYLE)) & ~static_cast<DWORD>(LVS_OWNERDATA);
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(model, GWL_EXSTYLE));
  HWND plain = CreateWindowExW(exStyle, WC_LISTVIEWW, L"", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (plain == nullptr) return nullptr;
  SendMessageW(plain, WM_SETFONT, SendMessageW(model, WM_GETFONT, 0, 0), FALSE);
  const LRESULT extended = SendMessageW(model, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  SendMessageW(plain, LVM_SETEXTENDEDLISTVIEWSTYLE, static_cast<WPARAM>(extended), extended);
  HWND header = reinterpret_cast<HWND>(SendMessageW(model, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < columns; ++i) {
    wchar_t title[128] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.pszText = title;
    column.cchTextMax = 128;
    SendMessageW(model, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    SendMessageW(plain, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  return plain;
}

// The benchmarks' adapter with n addresses.
std::unique_ptr<sim::Machine> MachineWith(int n) {
  auto machine = std::make_unique<sim::Machine>();
  machine->AddAdapter(bench::AdapterWithAddresses(static_cast<size_t>(n)));
  return machine;
}

struct Sample {
  double firstFill = 0;
  double window = 0;       // of the first fill: until the main window is created and shown
  double afterWindow = 0;  // of the first fill: from then until the rows and log lines are in
  double refresh = 0;
  double refreshDrawn = 0;  // the refresh until the window has drawn what it changed
  double bare = 0;
  double bareDrawn = 0;  // the bare insert until the list has drawn its rows
  double batch = 0;   // ReplaceRows of the same rows into the emptied list
};

// The program on a fresh machine of n addresses: first fill, refresh, then the bare insert into
// the same list view. The window is closed at the end.
bool RunOnce(platform::WindowSystem& windows, int n, Sample* sample) {
  std::unique_ptr<sim::Machine> machine = MachineWith(n);
  platform::Services services{machine->ipHelper(), machine->router(),   machine->registry(),
                              machine->automation(), machine->sockets(), machine->clipboard(),
                              machine->internet(), windows,              machine->kernel()};
  auto program = std::make_unique<program::Application>(services);

  // --- first fill ---
  const Clock::time_point start = Clock::now();
  program->Start();
  sample->window = MillisecondsSince(start);
  platform::Window* window = program->context().window;
  if (window == nullptr) return false;
  HWND list = win32::NativeControlHandle(*window, mw::kAddressList);
  HWND log = win32::NativeControlHandle(*window, mw::kLog);
  HWND refresh = win32::NativeControlHandle(*window, mw::kRefreshButton);
  const bool filled = PumpUntil([&] {
    return RowCount(list) == n && LastLogLine(log).find("最大传输单元") != std::string::npos;
  });
  sample->firstFill = MillisecondsSince(start);
  sample->afterWindow = sample->firstFill - sample->window;
  // The start-up worker still turns the busy state off; let it end.
  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    machine->WaitForThreads();
    ended = true;
  });
  PumpUntil([&] { return ended.load(); });
  waiter.join();
  if (!filled) {
    std::fprintf(stderr, "n=%d: the first fill did not end (rows %d)\n", n, RowCount(list));
    return false;
  }

  // --- refresh: the click's handler starts the refresh on a worker, which hands its results to
  // this (the window) thread; it has ended when the busy state is off and its last line logged ---
  Pump();
  const Clock::time_point clicked = Clock::now();
  SendMessageW(refresh, BM_CLICK, 0, 0);
  PumpUntil([&] { return IsWindowEnabled(refresh) && LastLogLine(log).find("刷新显示完成.") != std::string::npos; });
  sample->refresh = MillisecondsSince(clicked);
  // The first fill's figure includes the drawing the window thread does between the worker's
  // calls; the refresh's handler returns before any. For comparison: the refresh until drawn.
  RedrawWindow(GetAncestor(list, GA_ROOT), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  sample->refreshDrawn = MillisecondsSince(clicked);
  if (RowCount(list) != n || LastLogLine(log).find("刷新显示完成.") == std::string::npos) {
    std::fprintf(stderr, "n=%d: the refresh did not refill the list (rows %d)\n", n, RowCount(list));
    return false;
  }

  // --- bare insert of the same rows, from texts converted beforehand ---
  // The program's list is virtual; the bare insert goes into an ordinary list view in its place:
  // same size, styles, font and columns.
  std::vector<int> all(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) all[static_cast<size_t>(i)] = i;
  const auto cells = window->CellsOf(mw::kAddressList, all, {0, 1, 2, 3, 4, 5, 6});
  std::vector<std::vector<std::wstring>> wide;
  for (const auto& row : cells) {
    std::vector<std::wstring> w;
    for (const auto& cell : row) w.push_back(win32::ui::WideFromGbk(cell));
    wide.push_back(std::move(w));
  }
  HWND plain = PlainListLike(list);
  if (plain == nullptr) return false;
  ShowWindow(list, SW_HIDE);
  Pump();
  const Clock::time_point bareStart = Clock::now();
  SendMessageW(plain, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < n; ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = wide[static_cast<size_t>(i)][0].data();
    const int row = static_cast<int>(SendMessageW(plain, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 7; ++column) {
      LVITEMW sub{};
      sub.iSubItem = column;
      sub.pszText = wide[static_cast<size_t>(i)][static_cast<size_t>(column)].data();
      SendMessageW(plain, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
  }
  SendMessageW(plain, WM_SETREDRAW, TRUE, 0);
  sample->bare = MillisecondsSince(bareStart);
  InvalidateRect(plain, nullptr, TRUE);
  UpdateWindow(plain);
  sample->bareDrawn = MillisecondsSince(bareStart);
  const bool bareFilled = RowCount(plain) == n;
  DestroyWindow(plain);
  ShowWindow(list, SW_SHOW);
  if (!bareFilled) return false;

  // --- the window system's batch into the emptied list, for comparison with the bare insert ---
  window->DeleteAllRows(mw::kAddressList);
  Pump();
  const Clock::time_point batchStart = Clock::now();
  window->ReplaceRows(mw::kAddressList, cells);
  sample->batch = MillisecondsSince(batchStart);
  if (RowCount(list) != n) return false;

  // Closing the main window ends the process through the (simulated) kernel: recorded, no more.
  window->Close();
  Pump();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      const int n = std::atoi(arg.c_str());
      if (n <= 0) {
        std::fprintf(stderr, "usage: corvane_win32_bench [--runs R] [n ...]\n");
        return 2;
      }
      sizes.push_back(n);
    }
  }
  if (sizes.empty()) sizes = {1000, 4000};

  std::unique_ptr<platform::WindowSystem> windows = win32::MakeWindowSystem();
  // The process's first window pays for loading and setting up the window system: not counted.
  Sample warmUp;
  if (!RunOnce(*windows, 50, &warmUp)) return 1;

  // Each figure is the best of the runs: on a shared machine the other processes only ever add.
  std::vector<std::pair<int, Sample>> table;
  for (int n : sizes) {
    Sample best;
    for (int r = 0; r < runs; ++r) {
      Sample s;
      if (!RunOnce(*windows, n, &s)) return 1;
      std::fprintf(stderr, "  n=%d run %d: first fill %.1f (window %.1f, after %.1f), refresh %.1f (drawn %.1f), bare insert %.1f (drawn %.1f), batch %.1f ms\n",
                   n, r + 1, s.firstFill, s.window, s.afterWindow, s.refresh, s.refreshDrawn, s.bare, s.bareDrawn, s.batch);
      if (r == 0) {
        best = s;
        continue;
      }
      best.firstFill = std::min(best.firstFill, s.firstFill);
      best.window = std::min(best.window, s.window);
      best.afterWindow = std::min(best.afterWindow, s.afterWindow);
      best.refresh = std::min(best.refresh, s.refresh);
      best.refreshDrawn = std::min(best.refreshDrawn, s.refreshDrawn);
      best.bare = std::min(best.bare, s.bare);
      best.bareDrawn = std::min(best.bareDrawn, s.bareDrawn);
      best.batch = std::min(best.batch, s.batch);
    }
    table.emplace_back(n, best);
  }

  std::printf("best of %d runs, milliseconds; the first fill includes creating the main window (\"window\")\n", runs);
  // "after" is the first fill once the main window is up: the start-up worker's part.
  std::printf("%6s %11s %8s %8s %9s %12s %12s %10s %11s %13s\n", "n", "first fill", "window", "after", "refresh",
              "bare insert", "batch insert", "fill/bare", "after/bare", "refresh/bare");
  for (const auto& [n, s] : table)
    std::printf("%6d %11.1f %8.1f %8.1f %9.1f %12.1f %12.1f %10.2f %11.2f %13.2f\n", n, s.firstFill, s.window,
                s.afterWindow, s.refresh, s.bare, s.batch, s.firstFill / s.bare, s.afterWindow / s.bare,
                s.refresh / s.bare);
  for (const auto& [n, s] : table)
    std::printf("n=%d: until drawn: refresh %.1f ms, bare insert %.1f ms, refresh/bare %.2f\n", n, s.refreshDrawn,
                s.bareDrawn, s.refreshDrawn / s.bareDrawn);
  for (const auto& [n, s] : table) {
    for (const auto& [m, t] : table) {
      if (m != 4 * n) continue;
      std::printf("t(%d)/t(%d): first fill %.2f, refresh %.2f, bare insert %.2f, batch insert %.2f\n", m, n,
                  t.firstFill / s.firstFill, t.refresh / s.refresh, t.bare / s.bare, t.batch / s.batch);
      // What the further rows cost, without the parts that do not grow with n (creating the
      // window, the report, the log lines).
      const double bareGrowth = t.bare - s.bare;
      std::printf("t(%d)-t(%d): first fill %+.1f ms, refresh %+.1f ms, bare insert %+.1f ms; "
                  "first fill/bare %.2f, refresh/bare %.2f\n",
                  m, n, t.firstFill - s.firstFill, t.refresh - s.refresh, bareGrowth,
                  (t.firstFill - s.firstFill) / bareGrowth, (t.refresh - s.refresh) / bareGrowth);
    }
  }
  std::fflush(stdout);
  return 0;
}

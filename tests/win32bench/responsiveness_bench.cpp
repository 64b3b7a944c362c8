// How responsive the main window stays while the program works, over the real Win32 windows and a
// simulated machine with Windows' timings (management queries, first use, script control, echoes
// to silent addresses, adding and deleting addresses).
//
// For each user action: its total time (from the user's input until the log line that ends it,
// the busy state off) and the window thread's longest stall: a probe thread posts a message to a
// window of the window thread, waits until it is handled, and posts the next one a few
// milliseconds later; the stall is the longest any probe waited. A message posted to the main
// window waits exactly as long: it is the same thread's queue.
//
// The actions, in this order, on a machine with "本地连接" (4,000 addresses) and "本地连接 2" (3):
//   start-up            the program's start until the first report is shown ("本地连接 2")
//   choose adapter      the user picks "本地连接" in the selector
//   refresh             a click on "刷新"
//   sort 4,000 rows     a click on the address column's header
//   copy all            the list menu's "复制所有网卡IP"
//   delete 50           the first 50 rows selected, then "删除 IP-地址"
//   add window opens    "添加 IP-地址" until the add-address window is shown
//   add 254             from the shown window, "10.200.1.{1-254}" confirmed without the occupancy
//                       query, until the addition has ended
//   add 254, query      the same with "10.200.2.{1-254}" and the occupancy query (no address answers)
//   dialog open         "网卡属性设置" until its OK is enabled
//   dialog OK           OK with the values the dialog shows (static) until it has closed
//
// Where the stalls come from: for each action the window thread's longest piece of work is
// reported (see "the window thread's own work" below), with what it was for and when it came after
// the action's input.
//
// Not a test: scripts/bench-win32 --responsiveness builds it (Release) and runs it under Wine.
//
//   corvane_win32_responsiveness_bench [--runs R]
//
// Each figure is the best of R runs (default 1), each on a fresh machine.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_context.h"
#include "app/window_layouts.h"
#include "bench/bench_adapter.h"
#include "win32bench/log_box.h"
#include "platform/sim/machine.h"
#include "platform/win32/win_controls.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"
#include "program/application.h"

namespace {

using namespace corvane;
namespace mw = app::main_window;
using bench::LastLogLine;
namespace aw = app::add_window;
namespace td = app::tcpip_dialog;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int64_t Now() { return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count(); }

// --- the probe: a hidden window of the window thread and a thread that posts to it ---

constexpr UINT kProbeMessage = WM_APP + 0x31;

struct Probe {
  HWND hwnd = nullptr;
  std::atomic<int64_t> postedAt{0};  // microseconds; 0 when no probe waits
  std::atomic<int64_t> longest{0};   // the longest wait since the last Reset
  std::atomic<int64_t> since{0};     // the last Reset
  std::atomic<bool> stop{false};
  std::thread poster;

  void Reset() {
    since = Now();
    longest = 0;
  }
  // The longest wait since the last Reset, the one still waiting included.
  double LongestMs() {
    int64_t wait = longest.load();
    const int64_t posted = postedAt.load();
    if (posted != 0) wait = std::max(wait, Now() - std::max(posted, since.load()));
    return static_cast<double>(wait) / 1000.0;
  }
  void Handled() {
    const int64_t posted = postedAt.exchange(0);
    if (posted == 0) return;
    const int64_t wait = Now() - std::max(posted, since.load());
    int64_t seen = longest.load();
    while (wait > seen && !longest.compare_exchange_weak(seen, wait)) {
    }
  }
};

Probe* g_probe = nullptr;

LRESULT CALLBACK ProbeProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) {
    g_probe->Handled();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void StartProbe(Probe& probe) {
  g_probe = &probe;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProcedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CorvaneBenchProbe";
  RegisterClassW(&wc);
  probe.hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  probe.poster = std::thread([&probe] {
    while (!probe.stop) {
      if (probe.postedAt.load() == 0) {
        probe.postedAt = Now();
        PostMessageW(probe.hwnd, kProbeMessage, 0, 0);
      }
      Sleep(3);
    }
  });
}

void StopProbe(Probe& probe) {
  probe.stop = true;
  probe.poster.join();
  DestroyWindow(probe.hwnd);
}

// --- reading the windows from the driver thread (every call is answered by the window thread) ---

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 120000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

// A window once it is shown (its controls are made before), found by its caption.
HWND FindShown(const char* caption) {
  HWND found = FindWindowW(nullptr, win32::ui::WideFromGbk(caption).c_str());
  return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

// A control of a window by its place in the layout: the window system numbers them from 1000.
HWND ControlOf(HWND window, const platform::WindowSpec& layout, const char* name) {
  for (size_t i = 0; i < layout.controls.size(); ++i)
    if (layout.controls[i].name == name) return GetDlgItem(window, 1000 + static_cast<int>(i));
  return nullptr;
}

struct Figures {
  double total = 0;
  double stall = 0;
  std::string longestWork;  // the window thread's longest piece of work: what, how long, when
};

// --- the window thread's own work, timed piece by piece ---
//
// Every message the window thread takes off its queue, whichever loop takes it (the program's main
// loop, a modal window's, a menu's), passes the thread's message hook. While the thread works it
// takes nothing, and the probe keeps a message waiting, so the longest gap between two messages
// taken is the longest piece of work, and the message taken at its start is what the work was for
// (messages other threads send are run within that gap and not named: the program posts its own).

struct Work {
  std::atomic<int64_t> actionStart{0};  // microseconds
  std::atomic<bool> open{false};
  std::mutex mutex;
  int64_t last = 0;  // when the thread last took a message
  std::string lastLabel;
  double longestMs = 0;
  std::string longest;

  void Begin() {
    std::lock_guard lock(mutex);
    longestMs = 0;
    longest.clear();
    actionStart = Now();
    last = Now();
    lastLabel = "the action's input";
    open = true;
  }
  // A message taken or sent: the gap since the last one was one piece of work, for `lastLabel`.
  void Took(const std::string& label) {
    const int64_t now = Now();
    std::lock_guard lock(mutex);
    if (open && last != 0) {
      const double ms = static_cast<double>(now - last) / 1000.0;
      if (ms > longestMs) {
        longestMs = ms;
        char text[240];
        std::snprintf(text, sizeof text, "%s, %.1f ms at +%.0f ms", lastLabel.c_str(), ms,
                      static_cast<double>(last - actionStart.load()) / 1000.0);
        longest = text;
      }
    }
    last = now;
    lastLabel = label;
  }
  std::string End() {
    std::lock_guard lock(mutex);
    open = false;
    return longest;
  }
};

Work g_work;

std::string MessageName(UINT message) {
  switch (message) {
    case WM_PAINT: return "WM_PAINT";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_NOTIFY: return "WM_NOTIFY";
    case WM_TIMER: return "WM_TIMER";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_NCPAINT: return "WM_NCPAINT";
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_SETTEXT: return "WM_SETTEXT";
    case WM_GETTEXT: return "WM_GETTEXT";
    default: break;
  }
  if (message == kProbeMessage) return "the probe";
  char name[64];
  if (message >= 0xC000 && GetClipboardFormatNameA(message, name, sizeof name) > 0) return name;
  char number[32];
  std::snprintf(number, sizeof number, "message 0x%04X", message);
  return number;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  if (hwnd == nullptr) return "the thread";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

LRESULT CALLBACK TookMessage(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    g_work.Took(MessageName(msg->message) + " to " + ClassOf(msg->hwnd));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Serves the window thread's messages until `done`.
void Serve(const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

constexpr const char* kActions[] = {"start-up",      "choose adapter",   "refresh", "sort 4,000 rows",
                                    "copy all",      "delete 50",        "add window opens", "add 254",
                                    "add window opens, query", "add 254, query", "dialog open", "dialog OK"};
constexpr size_t kActionCount = sizeof kActions / sizeof kActions[0];

std::unique_ptr<sim::Machine> BenchMachine() {
  auto machine = std::make_unique<sim::Machine>();
  machine->AddAdapter(bench::AdapterWithAddresses(4000));
  sim::SimAdapter second = bench::AdapterWithAddresses(3);
  second.index = 7;
  second.guid = "{00000007-1111-2222-3333-444455556666}";
  second.connectionName = u"本地连接 2";
  second.physicalAddress.back() = 0x07;
  for (size_t i = 0; i < second.ipAddresses.size(); ++i) {
    second.ipAddresses[i].address = "172.16.0." + std::to_string(10 + i);
    second.ipAddresses[i].context = static_cast<uint32_t>(7000 + i);
  }
  machine->AddAdapter(second);
  machine->UseWindowsTimings(true);
  return machine;
}

// One run: the program on a fresh machine, every action in turn. Runs on the window thread; the
// actions come from a driver thread while this thread serves the windows.
bool RunOnce(platform::WindowSystem& windows, Probe& probe, std::vector<Figures>* figures) {
  std::unique_ptr<sim::Machine> machine = BenchMachine();
  platform::Services services{machine->ipHelper(), machine->router(),   machine->registry(),
                              machine->automation(), machine->sockets(), machine->clipboard(),
                              machine->internet(), windows,              machine->kernel()};
  auto program = std::make_unique<program::Application>(services);
  figures->assign(kActionCount, Figures{});

  probe.Reset();
  g_work.Begin();
  const Clock::time_point started = Clock::now();
  program->Start();
  platform::Window* main = program->context().window;
  if (main == nullptr) return false;
  HWND hwnd = win32::NativeWindowHandle(*main);
  HWND log = win32::NativeControlHandle(*main, mw::kLog);
  HWND refresh = win32::NativeControlHandle(*main, mw::kRefreshButton);
  HWND selector = win32::NativeControlHandle(*main, mw::kSelector);
  HWND list = win32::NativeControlHandle(*main, mw::kAddressList);
  app::AppContext& context = program->context();

  std::atomic<bool> finished{false};
  bool ok = true;
  auto script = [&]() -> bool {
    auto fail = [&](const char* what) {
      std::fprintf(stderr, "%s did not end (last log line: %s; refresh %s, changes %s)\n", what,
                   LastLogLine(log).c_str(), IsWindowEnabled(refresh) ? "enabled" : "disabled",
                   context.changes.WaitUntilIdle(std::chrono::milliseconds(0)) ? "idle" : "running");
      return false;
    };
    auto idle = [&] {
      return IsWindowEnabled(refresh) && context.changes.WaitUntilIdle(std::chrono::milliseconds(0));
    };
    auto lastLineHas = [&](const char* text) { return LastLogLine(log).find(text) != std::string::npos; };
    size_t action = 0;
    Clock::time_point t0;
    auto begin = [&] {
      probe.Reset();
      g_work.Begin();
      t0 = Clock::now();
    };
    auto end = [&] {
      (*figures)[action].total = MillisecondsSince(t0);
      (*figures)[action].stall = probe.LongestMs();
      (*figures)[action].longestWork = g_work.End();
      std::fprintf(stderr, "    %-24s %8.1f ms, stall %7.1f ms; longest work: %s\n", kActions[action],
                   (*figures)[action].total, (*figures)[action].stall, (*figures)[action].longestWork.c_str());
      ++action;
    };

    // start-up: timed from before Start() on the window thread.
    if (!WaitFor([&] { return idle() && lastLineHas("最大传输单元"); }))
      return fail("the start-up");
    (*figures)[action].total = MillisecondsSince(started);
    (*figures)[action].stall = probe.LongestMs();
    (*figures)[action].longestWork = g_work.End();
    std::fprintf(stderr, "    %-24s %8.1f ms, stall %7.1f ms; longest work: %s\n", kActions[action],
                 (*figures)[action].total, (*figures)[action].stall, (*figures)[action].longestWork.c_str());
    ++action;
    machine->WaitForThreads();

    // choose adapter: "本地连接" is the first entry.
    begin();
    SendMessageW(selector, CB_SETCURSEL, 0, 0);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(selector), CBN_SELCHANGE), reinterpret_cast<LPARAM>(selector));
    if (!WaitFor([&] { return idle() && lastLineHas("最大传输单元"); })) return fail("choosing");
    end();

    begin();
    SendMessageW(refresh, BM_CLICK, 0, 0);
    if (!WaitFor([&] { return idle() && lastLineHas("刷新显示完成."); })) return fail("the refresh");
    end();

    begin();
    {
      NMLISTVIEW click{};
      click.hdr.hwndFrom = list;
      click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
      click.hdr.code = LVN_COLUMNCLICK;
      click.iItem = -1;
      click.iSubItem = 1;
      SendMessageW(hwnd, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }
    if (!WaitFor([&] { return idle() && lastLineHas("排序完成."); })) return fail("the sort");
    end();

    begin();
    SendMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuCopyAll), 0);
    if (!WaitFor([&] { return idle() && lastLineHas("复制"); })) return fail("the copy");
    end();

    // delete 50: the first 50 rows selected, as a user drags over them.
    for (int row = 0; row < 50; ++row) {
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED;
      item.state = LVIS_SELECTED;
      SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    begin();
    SendMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuDelete), 0);
    if (!WaitFor([&] { return idle(); })) return fail("the deletion");
    end();

    // The two additions: the add-address window filled in as a user types, then its button.
    for (const bool query : {false, true}) {
      begin();
      PostMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuAdd), 0);
      HWND addHwnd = nullptr;
      if (!WaitFor([&] { return (addHwnd = FindShown(aw::kCaption)) != nullptr; })) return fail("opening the add window");
      end();
      platform::Window* add = win32::NativeWindowFromHandle(addHwnd);
      if (add == nullptr) return fail("finding the add window");
      add->SetText(aw::kAddresses, query ? "10.200.2.{1-254}" : "10.200.1.{1-254}");
      add->SetText(aw::kMask, "255.255.255.0");
      add->SetChecked(aw::kOccupancyQuery, query);
      begin();
      PostMessageW(ControlOf(addHwnd, app::AddWindowSpec(), aw::kConfirm), BM_CLICK, 0, 0);
      if (!WaitFor([&] { return !IsWindow(addHwnd) && idle() && lastLineHas("储存"); })) return fail("the addition");
      end();
    }

    begin();
    PostMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuProperties), 0);
    HWND dialogHwnd = nullptr;
    HWND okHwnd = nullptr;
    if (!WaitFor([&] {
          if (dialogHwnd == nullptr) dialogHwnd = FindShown(td::kCaption);
          if (dialogHwnd == nullptr) return false;
          // Ready when its start-up has filled the IP field and enabled OK again (the window is
          // shown before the start-up disables OK).
          okHwnd = ControlOf(dialogHwnd, app::TcpipDialogSpec(), td::kOk);
          HWND ip = ControlOf(dialogHwnd, app::TcpipDialogSpec(), td::kIp);
          return okHwnd != nullptr && IsWindowEnabled(okHwnd) && !win32::ui::ipaddress::Text(ip).empty();
        }))
      return fail("the dialog's start-up");
    end();

    begin();
    PostMessageW(okHwnd, BM_CLICK, 0, 0);
    if (!WaitFor([&] { return !IsWindow(dialogHwnd) && idle(); }, 20000)) {
      wchar_t title[128] = {};
      GetWindowTextW(dialogHwnd, title, 128);
      std::fprintf(stderr, "dialog %p: window %d, visible %d, enabled OK %d, title %s\n", static_cast<void*>(dialogHwnd),
                   IsWindow(dialogHwnd), IsWindowVisible(dialogHwnd), IsWindowEnabled(okHwnd),
                   win32::ui::GbkFromWide(title).c_str());
      return fail("the dialog's OK");
    }
    end();
    return true;
  };
  std::thread driver([&] {
    ok = script();
    finished = true;
  });

  Serve([&] { return finished.load(); });
  driver.join();
  // The workers' last calls reach this thread: serve them until every one has ended.
  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    machine->WaitForThreads();
    ended = true;
  });
  Serve([&] { return ended.load(); });
  waiter.join();
  MSG msg;
  // Closing the main window ends the process through the simulated kernel: recorded, no more.
  DestroyWindow(hwnd);
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: corvane_win32_responsiveness_bench [--runs R]\n");
      return 2;
    }
  }
  std::unique_ptr<platform::WindowSystem> windows = win32::MakeWindowSystem();
  Probe probe;
  StartProbe(probe);
  HHOOK took = SetWindowsHookExW(WH_GETMESSAGE, TookMessage, nullptr, GetCurrentThreadId());

  std::vector<Figures> best(kActionCount, Figures{1e300, 1e300, {}});
  std::vector<Figures> last;
  for (int r = 0; r < runs; ++r) {
    std::vector<Figures> figures;
    if (!RunOnce(*windows, probe, &figures)) {
      StopProbe(probe);
      UnhookWindowsHookEx(took);
      return 1;
    }
    for (size_t i = 0; i < kActionCount; ++i) {
      std::fprintf(stderr, "  run %d: %-16s total %8.1f ms, longest stall %7.1f ms\n", r + 1, kActions[i],
                   figures[i].total, figures[i].stall);
      best[i].total = std::min(best[i].total, figures[i].total);
      best[i].stall = std::min(best[i].stall, figures[i].stall);
    }
    last = figures;
  }
  StopProbe(probe);
  UnhookWindowsHookEx(took);

  std::printf("best of %d runs, milliseconds\n", runs);
  std::printf("| action | total | longest stall of the window thread |\n|---|---|---|\n");
  for (size_t i = 0; i < kActionCount; ++i)
    std::printf("| %s | %.0f | %.0f |\n", kActions[i], best[i].total, best[i].stall);
  std::printf("\nthe window thread's longest piece of work in each action, last run:\n");
  for (size_t i = 0; i < kActionCount; ++i) std::printf("- %s: %s\n", kActions[i], last[i].longestWork.c_str());
  std::fflush(stdout);
  return 0;
}

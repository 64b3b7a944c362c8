// What one line appended to the activity log costs the window thread once the log already holds
// 1,000, 16,000 and 64,000 lines, over the real Win32 log box (the main window's, under Wine). A
// log that stays fast as it grows costs the same at 64,000 lines as at 1,000: t(64k)/t(1k) near 1.
//
// Not a test: scripts/bench-win32 --log builds it (Release) and runs it under Wine.
//
//   corvane_win32_log_bench [--appends N]
//
// Each size: the log filled to that many lines (in large pieces, not timed), then N single lines
// appended one at a time, each drawn before the next as the window would be between a worker's
// calls; the figure is the mean time of one append with its drawing, in microseconds.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/activity_log.h"
#include "app/window_layouts.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"

namespace {

using namespace corvane;
namespace mw = app::main_window;
using Clock = std::chrono::steady_clock;

// A line as the program writes them: the time, the full-width colon, about forty characters.
std::string Line(size_t n) {
  return app::FormatLogLine(platform::DateTime{2026, 12, 11, 9, static_cast<int>(n / 60 % 60), static_cast<int>(n % 60)},
                            "添加IP-地址 10.200." + std::to_string(n / 250 % 250) + "." + std::to_string(n % 250) +
                                " 成功.");
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int appends = 200;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--appends" && i + 1 < argc) {
      appends = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: corvane_win32_log_bench [--appends N]\n");
      return 2;
    }
  }
  std::unique_ptr<platform::WindowSystem> windows = win32::MakeWindowSystem();
  platform::Window* main = windows->CreateMainWindow(app::MainWindowSpec(), [](platform::Window&, const platform::Event&) {});
  if (main == nullptr) return 1;
  HWND log = win32::NativeControlHandle(*main, mw::kLog);

  double perAppend[3] = {};
  const size_t sizes[3] = {1000, 16000, 64000};
  size_t held = 0;
  for (int s = 0; s < 3; ++s) {
    // Filled to the size in pieces of a thousand lines.
    while (held < sizes[s]) {
      std::string piece;
      for (int k = 0; k < 1000; ++k) piece += Line(held++);
      main->AppendText(mw::kLog, piece);
      Pump();
    }
    const Clock::time_point start = Clock::now();
    for (int k = 0; k < appends; ++k) {
      main->AppendText(mw::kLog, Line(held + static_cast<size_t>(k)));
      UpdateWindow(log);
      Pump();
    }
    perAppend[s] = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / appends;
    held += static_cast<size_t>(appends);
    std::fprintf(stderr, "  %zu lines held: %.1f us per appended line (%d lines, %d characters)\n", sizes[s],
                 perAppend[s], static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0)), GetWindowTextLengthW(log));
  }
  std::printf("| lines held | 1,000 | 16,000 | 64,000 | t(64k)/t(1k) |\n|---|---|---|---|---|\n");
  std::printf("| one appended line, us | %.1f | %.1f | %.1f | %.2f |\n", perAppend[0], perAppend[1], perAppend[2],
              perAppend[2] / perAppend[0]);
  std::fflush(stdout);
  main->Close();
  Pump();
  return 0;
}

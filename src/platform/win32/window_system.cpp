// The Win32 window system: real windows built from the layouts, wide APIs, GBK converted with
// code page 936 at this boundary. Main and modal windows, and the message loops that serve them.

#include "platform/win32/window_system.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/desktop_shell.h"
#include "platform/win32/win32_window.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system_native.h"

namespace corvane::win32 {

namespace {

using detail::OwnMessageLoop;
using detail::Win32Window;
using platform::Event;
using platform::EventKind;


// The most a modal window's making holds the thread before it answers its other windows.
constexpr std::chrono::milliseconds kCreationSlice{25};

// Keyboard navigation (tab between controls) for our windows, then the usual dispatch.
void DispatchOne(MSG& msg) {
  if (msg.hwnd != nullptr) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (detail::OwnWindowOf(root) != nullptr && IsDialogMessageW(root, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}
// ---------------------------------------------------------------------------------------------
// The window system

class Win32WindowSystem final : public platform::WindowSystem {
 public:
  platform::Window* CreateMainWindow(const platform::WindowSpec& layout, platform::EventHandler handler) override;
  int RunMessageLoop() override;
  void OpenModal(const platform::WindowSpec& layout, platform::Window* owner, platform::EventHandler handler) override;
  void ProcessPendingEvents() override;
  int ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                     uint32_t flags) override;
  int32_t OpenInBrowser(const std::string& url) override;
  int32_t ShellOpen(const std::string& verb, const std::string& target, const std::string& parameters,
                    const std::string& directory, int showCommand) override;
  platform::Window* FindOwnMainWindow() override;
  // The main window created last, while it exists.
  HWND MainWindowHandle();

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Win32Window>> mainWindows_;
};

HWND HandleOf(platform::Window* window) {
  auto* own = dynamic_cast<Win32Window*>(window);
  return own == nullptr ? nullptr : own->hwnd();
}

platform::Window* Win32WindowSystem::CreateMainWindow(const platform::WindowSpec& layout,
                                                      platform::EventHandler handler) {
  auto window = std::make_unique<Win32Window>(layout, std::move(handler), nullptr, false);
  Win32Window* created = window.get();
  {
    std::lock_guard lock(mutex_);
    mainWindows_.push_back(std::move(window));
  }
  if (created->Create()) created->Raise(Event{EventKind::Created, "", 0});
  return created;
}

int Win32WindowSystem::RunMessageLoop() {
  const OwnMessageLoop loop;
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    if (OwnMessageLoop::Serve(msg)) continue;
    DispatchOne(msg);
    OwnMessageLoop::ServeDeferred();
  }
}

void Win32WindowSystem::OpenModal(const platform::WindowSpec& layout, platform::Window* owner,
                                  platform::EventHandler handler) {
  HWND ownerHandle = HandleOf(owner);
  auto window = std::make_unique<Win32Window>(layout, std::move(handler), ownerHandle, true);
  if (ownerHandle != nullptr) EnableWindow(ownerHandle, FALSE);
  // Making a window of many controls takes the thread tens of milliseconds: it is made in slices,
  // and between them the thread answers its other windows (paints, what workers ask of them). The
  // window is shown, and its Created event raised, once every control is there.
  bool quitting = false;
  auto last = std::chrono::steady_clock::now();
  auto between = [&] {
    if (quitting || std::chrono::steady_clock::now() - last < kCreationSlice) return;
    const OwnMessageLoop loop;
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        quitting = true;
        break;
      }
      if (OwnMessageLoop::Serve(msg)) continue;
      DispatchOne(msg);
      OwnMessageLoop::ServeDeferred();
    }
    last = std::chrono::steady_clock::now();
  };
  if (window->Create(between)) {
    window->Raise(Event{EventKind::Created, "", 0});
    const OwnMessageLoop loop;
    MSG msg{};
    while (!window->closed()) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The application is ending: leave the quit for the outer loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got == -1) break;
      if (OwnMessageLoop::Serve(msg)) continue;
      DispatchOne(msg);
      OwnMessageLoop::ServeDeferred();
    }
    window->DestroyNow();
  }
  if (ownerHandle != nullptr) {
    EnableWindow(ownerHandle, TRUE);
    SetForegroundWindow(ownerHandle);
  }
}

void Win32WindowSystem::ProcessPendingEvents() {
  const OwnMessageLoop loop;
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (OwnMessageLoop::Serve(msg)) continue;
    DispatchOne(msg);
    OwnMessageLoop::ServeDeferred();
  }
}

int Win32WindowSystem::ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                                      uint32_t flags) {
  HWND ownerHandle = owner != nullptr ? HandleOf(owner) : GetForegroundWindow();
  return MessageBoxW(ownerHandle, ui::WideFromGbk(text).c_str(), ui::WideFromGbk(caption).c_str(), flags);
}

int32_t Win32WindowSystem::OpenInBrowser(const std::string& url) {
  return ShellOpen("open", url, "", "", SW_SHOWNORMAL);
}

int32_t Win32WindowSystem::ShellOpen(const std::string& verb, const std::string& target, const std::string& parameters,
                                     const std::string& directory, int showCommand) {
  // Never ShellExecute from here: what it starts would carry this process's administrator rights.
  const DesktopShellOutcome outcome =
      ShellExecuteAsDesktopUser(ui::WideFromGbk(target), ui::WideFromGbk(parameters), ui::WideFromGbk(directory),
                                ui::WideFromGbk(verb), showCommand);
  return outcome.step == DesktopShellStep::Started ? 0 : static_cast<int32_t>(outcome.code);
}

platform::Window* Win32WindowSystem::FindOwnMainWindow() {
  const DWORD self = GetCurrentProcessId();
  // The top-level windows in Z order from the top: the first of this process that is visible and
  // its own root owner (owned pop-ups, other programs' windows and hidden ones are passed over)
  // and that this window system made.
  for (HWND hwnd = FindWindowExW(nullptr, nullptr, nullptr, nullptr); hwnd != nullptr;
       hwnd = FindWindowExW(nullptr, hwnd, nullptr, nullptr)) {
    DWORD process = 0;
    if (!IsWindow(hwnd) || GetWindowThreadProcessId(hwnd, &process) == 0 || process != self) continue;
    if (GetAncestor(hwnd, GA_ROOTOWNER) != hwnd || !IsWindowVisible(hwnd)) continue;
    std::lock_guard lock(mutex_);
    for (const auto& window : mainWindows_)
      if (window->hwnd() == hwnd) return window.get();
  }
  return nullptr;
}

HWND Win32WindowSystem::MainWindowHandle() {
  std::lock_guard lock(mutex_);
  return mainWindows_.empty() ? nullptr : mainWindows_.back()->hwnd();
}

}  // namespace

std::unique_ptr<platform::WindowSystem> MakeWindowSystem() { return std::make_unique<Win32WindowSystem>(); }

HWND NativeWindowHandle(platform::Window& window) { return HandleOf(&window); }

HWND NativeMainWindowHandle(platform::WindowSystem& windows) {
  auto* own = dynamic_cast<Win32WindowSystem*>(&windows);
  return own == nullptr ? nullptr : own->MainWindowHandle();
}

platform::Window* NativeWindowFromHandle(HWND hwnd) { return detail::OwnWindowOf(hwnd); }

HWND NativeControlHandle(platform::Window& window, const std::string& control) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? nullptr : own->ControlHandle(control);
}

HMENU NativeMenuHandle(platform::Window& window, const std::string& menu) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? nullptr : own->MenuHandle(menu);
}

UINT NativeMenuCommandId(platform::Window& window, const std::string& item) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? 0 : own->MenuCommand(item);
}

bool NativeMessageFilterInstalled(platform::Window& window) {
  HWND hwnd = HandleOf(&window);
  return hwnd != nullptr &&
         GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Win32Window::FilterProcedure);
}

}  // namespace corvane::win32


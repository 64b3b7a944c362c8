// Win32 windows: the menus of the window's layout, the system menu and the message filter in front
// of the window procedure.
#include "platform/win32/win32_window.h"

#include <string>

#include "platform/win32/win_text.h"

namespace corvane::win32::detail {

void Win32Window::SetMenuItemEnabled(const std::string& item, bool enabled) {
  Run([&] {
    if (const MenuItem* m = FindMenuItem(item))
      EnableMenuItem(m->menu, m->command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  });
}

bool Win32Window::IsMenuItemEnabled(const std::string& item) {
  bool enabled = false;
  Run([&] {
    if (const MenuItem* m = FindMenuItem(item)) {
      const UINT state = GetMenuState(m->menu, m->command, MF_BYCOMMAND);
      enabled = state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
    }
  });
  return enabled;
}

void Win32Window::PopupMenu(const std::string& menu) {
  Run([&] {
    HMENU popup = MenuHandle(menu);
    HWND hwnd = hwnd_.load();
    if (popup == nullptr || hwnd == nullptr) return;
    POINT at{};
    GetCursorPos(&at);
    // The window in front, and a message after the menu: otherwise the menu may not close when
    // the user clicks elsewhere.
    SetForegroundWindow(hwnd);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    PostMessageW(hwnd, WM_NULL, 0, 0);
  });
}

void Win32Window::AppendSystemMenuItem(int commandId, const std::string& caption, bool checked) {
  Run([&] {
    HMENU system = GetSystemMenu(hwnd_.load(), FALSE);
    if (system == nullptr) return;
    const UINT_PTR id = static_cast<UINT_PTR>(commandId);
    if (caption.empty()) {
      AppendMenuW(system, MF_SEPARATOR, id, nullptr);
      return;
    }
    AppendMenuW(system, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), id, ui::WideFromGbk(caption).c_str());
    systemCommands_.insert(static_cast<WPARAM>(commandId));
  });
}

int Win32Window::SystemMenuItemCount() {
  int count = -1;
  Run([&] {
    if (HMENU system = GetSystemMenu(hwnd_.load(), FALSE)) count = GetMenuItemCount(system);
  });
  return count;
}

bool Win32Window::RemoveSystemMenuItem(int position) {
  bool removed = false;
  Run([&] {
    HMENU system = GetSystemMenu(hwnd_.load(), FALSE);
    if (system != nullptr && position >= 0)
      removed = RemoveMenu(system, static_cast<UINT>(position), MF_BYPOSITION) != FALSE;
  });
  return removed;
}

void Win32Window::InstallMessageFilter(platform::MessageFilter filter) {
  Run([&] {
    HWND hwnd = hwnd_.load();
    filter_ = std::move(filter);
    if (previousProcedure_ != nullptr) return;  // installed already: only the filter changes
    // The wide form: the window is a Unicode window, and the messages passed on must reach its
    // procedure untranslated.
    previousProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Window::FilterProcedure)));
  });
}

LRESULT CALLBACK Win32Window::FilterProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Taken before anything runs: WM_NCDESTROY detaches the object from the window on its way.
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  const WNDPROC previous = self != nullptr ? self->previousProcedure_ : nullptr;
  if (self != nullptr && (message == WM_SYSCOMMAND || message == WM_COMMAND)) {
    try {
      const platform::MessageFilter filter = self->filter_;
      if (filter && !filter(*self, platform::WindowMessage{message, static_cast<uintptr_t>(wParam),
                                                           static_cast<intptr_t>(lParam)}))
        return 0;
    } catch (...) {
      // The filter's failure stays here; the message goes on.
    }
  }
  if (previous == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

void Win32Window::SendSystemCommand(uintptr_t command, intptr_t lParam) {
  Run([&] {
    if (HWND hwnd = hwnd_.load()) SendMessageW(hwnd, WM_SYSCOMMAND, static_cast<WPARAM>(command), static_cast<LPARAM>(lParam));
  });
}

}  // namespace corvane::win32::detail

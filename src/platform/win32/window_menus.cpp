// Win32 windows: the menus of the window's layout and the system menu.
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

void Win32Window::AppendSystemMenuItem(int commandId, const std::string& caption) {
  Run([&] {
    HMENU system = GetSystemMenu(hwnd_.load(), FALSE);
    if (system == nullptr) return;
    const UINT_PTR id = static_cast<UINT_PTR>(commandId);
    if (caption.empty())
      AppendMenuW(system, MF_SEPARATOR, id, nullptr);
    else
      AppendMenuW(system, MF_STRING, id, ui::WideFromGbk(caption).c_str());
    systemCommands_.insert(static_cast<WPARAM>(commandId));
  });
}

}  // namespace corvane::win32::detail

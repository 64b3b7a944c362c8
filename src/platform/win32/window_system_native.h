// The native handles behind a window of the Win32 window system, for code that has to talk to
// the windows directly (tests, a window-procedure filter).
#pragma once

#include <windows.h>

#include <string>

#include "platform/window.h"

namespace corvane::win32 {

// Null when `window` does not come from MakeWindowSystem() or is already destroyed.
HWND NativeWindowHandle(platform::Window& window);
// The main window `windows` created last, while it exists; null before, after, and when `windows`
// does not come from MakeWindowSystem(). Any thread.
HWND NativeMainWindowHandle(platform::WindowSystem& windows);
// The window of the Win32 window system behind `hwnd` (a main window or a modal one, while it
// exists); null for any other handle.
platform::Window* NativeWindowFromHandle(HWND hwnd);
// Null for a name the window's template does not have.
HWND NativeControlHandle(platform::Window& window, const std::string& control);
HMENU NativeMenuHandle(platform::Window& window, const std::string& menu);
// The WM_COMMAND id of a menu item, 0 for an unknown name.
UINT NativeMenuCommandId(platform::Window& window, const std::string& item);
// True when the window's procedure is the message filter's (InstallMessageFilter).
bool NativeMessageFilterInstalled(platform::Window& window);

}  // namespace corvane::win32

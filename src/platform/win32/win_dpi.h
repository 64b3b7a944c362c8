// Scaling for the screen's resolution. The layouts are in pixels at 96 DPI; the windows are
// declared per-monitor aware (res/corvane.manifest), so each window lays itself out in physical
// pixels at its own DPI and again when it moves to a monitor of another one (WM_DPICHANGED).
// The functions of newer systems are looked up in user32 at run time: on a system without them
// (before Windows 10 1607) every window has the system DPI.
#pragma once

#include <windows.h>

namespace corvane::win32::ui {

inline constexpr UINT kDesignDpi = 96;

// A length of the layouts at `dpi`: MulDiv(value, dpi, 96), the value itself at 96 DPI.
inline int ScaleForDpi(int value, UINT dpi) {
  return dpi == kDesignDpi || dpi == 0 ? value : MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}
// A length at `dpi` back in the layouts' 96-DPI units.
inline int UnscaleForDpi(int value, UINT dpi) {
  return dpi == kDesignDpi || dpi == 0 ? value : MulDiv(value, static_cast<int>(kDesignDpi), static_cast<int>(dpi));
}

// The resolution the system draws at: the screen's LOGPIXELSY, 96 when it cannot be read.
UINT SystemDpi();
// The resolution of the monitor the window is on: GetDpiForWindow where the system has it, else
// the system DPI.
UINT DpiOfWindow(HWND hwnd);
// The outer size of a window whose client area is `client` at `dpi`: AdjustWindowRectExForDpi
// where the system has it, else AdjustWindowRectEx (whose frame is at the system DPI).
RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD exStyle, UINT dpi);
// The frame the system gives a window of this style at 96 DPI: what lies between the outer size of
// a layout and its client area. At the system DPI when the system only has AdjustWindowRectEx,
// brought back to 96-DPI units.
RECT DesignFrame(DWORD style, DWORD exStyle);

}  // namespace corvane::win32::ui

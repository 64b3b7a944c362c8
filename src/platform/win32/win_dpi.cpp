#include "platform/win32/win_dpi.h"

namespace corvane::win32::ui {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 == nullptr ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

GetDpiForWindowFunction GetDpiForWindowEntry() {
  static const auto entry = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  return entry;
}

AdjustWindowRectExForDpiFunction AdjustWindowRectExForDpiEntry() {
  static const auto entry = User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  return entry;
}

}  // namespace

UINT SystemDpi() {
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

UINT DpiOfWindow(HWND hwnd) {
  if (const auto entry = GetDpiForWindowEntry(); entry != nullptr && hwnd != nullptr)
    if (const UINT dpi = entry(hwnd); dpi != 0) return dpi;
  return SystemDpi();
}

RECT OuterRectForDpi(const RECT& client, DWORD style, DWORD exStyle, UINT dpi) {
  RECT outer = client;
  const auto entry = AdjustWindowRectExForDpiEntry();
  if (entry == nullptr || !entry(&outer, style, FALSE, exStyle, dpi)) {
    outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  }
  return outer;
}

RECT DesignFrame(DWORD style, DWORD exStyle) {
  RECT frame{0, 0, 0, 0};
  const auto entry = AdjustWindowRectExForDpiEntry();
  if (entry != nullptr && entry(&frame, style, FALSE, exStyle, kDesignDpi)) return frame;
  frame = RECT{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const UINT system = SystemDpi();
  return RECT{-UnscaleForDpi(-frame.left, system), -UnscaleForDpi(-frame.top, system),
              UnscaleForDpi(frame.right, system), UnscaleForDpi(frame.bottom, system)};
}

}  // namespace corvane::win32::ui

// Win32 windows at the monitor's resolution: the layout's 96-DPI positions, sizes, list columns and
// fonts scaled for the window's DPI when it is made, and again when the window moves to a
// monitor of another DPI. Only the window system scales: what it reports back is in the layout's
// units, so the logic never sees a physical pixel.
#include "platform/win32/win32_window.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "platform/win32/win_controls.h"
#include "platform/win32/win_dpi.h"

namespace corvane::win32::detail {

int Win32Window::Scaled(int value) const { return ui::ScaleForDpi(value, dpi_); }

RECT Win32Window::WindowRectAt(UINT dpi) const {
  if (dpi == ui::kDesignDpi) return RECT{spec_.x, spec_.y, spec_.x + spec_.width, spec_.y + spec_.height};
  // The client area scales with the layout; the frame is what the system gives at that DPI.
  const RECT frame = ui::DesignFrame(style_, 0);
  const int clientWidth = spec_.width - (frame.right - frame.left);
  const int clientHeight = spec_.height - (frame.bottom - frame.top);
  const RECT client{0, 0, ui::ScaleForDpi(clientWidth, dpi), ui::ScaleForDpi(clientHeight, dpi)};
  const RECT outer = ui::OuterRectForDpi(client, style_, 0, dpi);
  const int x = ui::ScaleForDpi(spec_.x, dpi);
  const int y = ui::ScaleForDpi(spec_.y, dpi);
  return RECT{x, y, x + (outer.right - outer.left), y + (outer.bottom - outer.top)};
}

RECT Win32Window::ControlRectAt(const ControlSpec& layout, UINT dpi) const {
  const POINT at = PositionOf(layout);
  int height = layout.height;
  // A drop-down list box's height is the one of its list dropped.
  if (layout.kind == ControlKind::ComboBox) height = std::max(height, kDroppedComboHeight);
  const int x = ui::ScaleForDpi(at.x, dpi);
  const int y = ui::ScaleForDpi(at.y, dpi);
  return RECT{x, y, x + ui::ScaleForDpi(layout.width, dpi), y + ui::ScaleForDpi(height, dpi)};
}

void Win32Window::OnDpiChanged(UINT dpi, const RECT* suggested) {
  HWND window = hwnd_.load();
  if (window == nullptr) return;
  if (suggested != nullptr)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (dpi == 0 || dpi == dpi_) return;
  const UINT previous = dpi_;
  dpi_ = dpi;

  // The fonts of the old DPI stay alive until every control has its new one.
  std::map<std::string, ui::ScopedFont> oldFonts;
  oldFonts.swap(fonts_);
  for (const auto& [name, control] : controls_) {
    const ControlSpec& layout = *control.layout;
    const RECT r = ControlRectAt(layout, dpi_);
    SetWindowPos(control.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetControlFont(control.hwnd, layout);
    if (layout.kind == ControlKind::ListView) {
      // The widths as the user left them, at the new DPI; hidden (0) columns stay hidden.
      const int columns = ui::listview::ColumnCount(control.hwnd);
      for (int column = 0; column < columns; ++column) {
        const int width = ui::listview::ColumnWidth(control.hwnd, column);
        ui::listview::SetColumnWidth(control.hwnd, column,
                                     MulDiv(width, static_cast<int>(dpi_), static_cast<int>(previous)));
      }
    }
  }
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

}  // namespace corvane::win32::detail

// Win32 windows: the control operations of platform::Window, each run on the window thread.
#include "platform/win32/win32_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win_controls.h"
#include "platform/win32/win_text.h"

namespace corvane::win32::detail {

void Win32Window::SetTitle(const std::string& title) {
  Run([&] { SetWindowTextW(hwnd_.load(), ui::WideFromGbk(title).c_str()); });
}

std::string Win32Window::Title() {
  std::string title;
  Run([&] { title = ui::GbkFromWide(ui::WindowText(hwnd_.load())); });
  return title;
}

void Win32Window::Close() {
  Run([&] { DestroyNow(); });
}

void Win32Window::SetText(const std::string& control, const std::string& text) {
  Run([&] {
    const Control* c = Find(control);
    if (c == nullptr) return;
    const std::wstring wide = ui::WideFromGbk(text);
    switch (c->layout->kind) {
      case ControlKind::IpAddress:
        ui::ipaddress::SetText(c->hwnd, text);
        break;
      case ControlKind::ComboBox:
        break;  // a drop-down list shows its current item
      case ControlKind::Label:
      case ControlKind::LinkLabel:
        SetWindowTextW(c->hwnd, wide.c_str());
        RepaintUnder(c->hwnd);
        break;
      case ControlKind::Edit:
      case ControlKind::MultiLineEdit: {
        const ui::DrawingPause pause(c->hwnd);
        SetWindowTextW(c->hwnd, wide.c_str());
        if (c->layout->maxLines > 0) {
          // Counted afresh: the text set is the edit's whole text.
          BoundedEdit& edit = bounded_[c->hwnd];
          edit = BoundedEdit{};
          edit.Count(wide);
        }
        break;
      }
      default:
        SetWindowTextW(c->hwnd, wide.c_str());
        break;
    }
  });
}

std::string Win32Window::Text(const std::string& control) {
  std::string text;
  Run([&] {
    const Control* c = Find(control);
    if (c == nullptr) return;
    switch (c->layout->kind) {
      case ControlKind::IpAddress:
        text = ui::ipaddress::Text(c->hwnd);
        break;
      case ControlKind::ComboBox: {
        const int current = ui::combo::Current(c->hwnd);
        if (current >= 0) text = ui::GbkFromWide(ui::combo::ItemText(c->hwnd, current));
        break;
      }
      default:
        text = ui::GbkFromWide(ui::WindowText(c->hwnd));
        break;
    }
  });
  return text;
}

void Win32Window::SetEnabled(const std::string& control, bool enabled) {
  Run([&] {
    if (const Control* c = Find(control)) EnableWindow(c->hwnd, enabled ? TRUE : FALSE);
  });
}

bool Win32Window::IsEnabled(const std::string& control) {
  bool enabled = false;
  Run([&] {
    if (const Control* c = Find(control)) enabled = IsWindowEnabled(c->hwnd) != FALSE;
  });
  return enabled;
}

void Win32Window::SetChecked(const std::string& control, bool checked) {
  Run([&] {
    const Control* c = Find(control);
    if (c != nullptr && IsButtonKind(c->layout->kind))
      SendMessageW(c->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  });
}

bool Win32Window::IsChecked(const std::string& control) {
  bool checked = false;
  Run([&] {
    const Control* c = Find(control);
    if (c != nullptr && IsButtonKind(c->layout->kind))
      checked = SendMessageW(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  });
  return checked;
}

void Win32Window::AppendText(const std::string& control, const std::string& text) {
  const std::wstring wide = ui::WideFromGbk(text);
  Run([&] {
    const Control* c = Find(control);
    if (c == nullptr || !IsEditKind(c->layout->kind)) return;
    if (c->layout->maxLines > 0 && c->layout->kind == ControlKind::MultiLineEdit) {
      AppendBounded(*c, wide);
    } else {
      ui::edit::Append(c->hwnd, wide);
    }
  });
}

void Win32Window::AppendBounded(const Control& control, const std::wstring& text) {
  BoundedEdit& edit = bounded_[control.hwnd];
  ui::edit::Append(control.hwnd, text);
  edit.Count(text);
  const size_t keep = control.layout->maxLines;
  if (edit.lines.size() <= keep + keep / 4) return;
  // The oldest lines, with the line that counted the ones before them, give way to one line that
  // counts them all: one change, drawn once.
  size_t characters = edit.noticeLength;
  const size_t dropped = edit.lines.size() - keep;
  for (size_t i = 0; i < dropped; ++i) {
    characters += edit.lines.front();
    edit.lines.pop_front();
  }
  edit.removed += dropped;
  const std::wstring notice = ui::WideFromGbk(platform::TrimNoticeLine(*control.layout, edit.removed));
  edit.noticeLength = notice.size();
  HWND hwnd = control.hwnd;
  const ui::DrawingPause pause(hwnd);
  SendMessageW(hwnd, EM_SETSEL, 0, static_cast<LPARAM>(characters));
  SendMessageW(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(notice.c_str()));
  const int end = GetWindowTextLengthW(hwnd);
  SendMessageW(hwnd, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
}

void Win32Window::ClearItems(const std::string& control) {
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox)) ui::combo::Clear(c->hwnd);
  });
}

int Win32Window::AddItem(const std::string& control, const std::string& text, intptr_t data) {
  int position = -1;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox))
      position = ui::combo::Add(c->hwnd, ui::WideFromGbk(text), data);
  });
  return position;
}

int Win32Window::ItemCount(const std::string& control) {
  int count = 0;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox)) count = ui::combo::Count(c->hwnd);
  });
  return count;
}

int Win32Window::CurrentItem(const std::string& control) {
  int current = -1;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox)) current = ui::combo::Current(c->hwnd);
  });
  return current;
}

void Win32Window::SetCurrentItem(const std::string& control, int position) {
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox)) ui::combo::SetCurrent(c->hwnd, position);
  });
}

intptr_t Win32Window::ItemData(const std::string& control, int position) {
  intptr_t data = CB_ERR;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ComboBox)) data = ui::combo::Data(c->hwnd, position);
  });
  return data;
}

}  // namespace corvane::win32::detail

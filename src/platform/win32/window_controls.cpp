// Win32 windows: the control operations of platform::Window, each run on the window thread.
#include "platform/win32/win32_window.h"

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
  Run([&] {
    const Control* c = Find(control);
    if (c != nullptr && IsEditKind(c->layout->kind)) ui::edit::Append(c->hwnd, ui::WideFromGbk(text));
  });
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

void Win32Window::DeleteAllRows(const std::string& control) {
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView)) ui::listview::DeleteAll(c->hwnd);
  });
}

int Win32Window::RowCount(const std::string& control) {
  int count = 0;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView)) count = ui::listview::RowCount(c->hwnd);
  });
  return count;
}

int Win32Window::AppendRow(const std::string& control, const std::string& firstCell) {
  int row = -1;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView))
      row = ui::listview::Append(c->hwnd, ui::WideFromGbk(firstCell));
  });
  return row;
}

void Win32Window::SetCell(const std::string& control, int row, int column, const std::string& text) {
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView))
      ui::listview::SetCell(c->hwnd, row, column, ui::WideFromGbk(text));
  });
}

std::string Win32Window::Cell(const std::string& control, int row, int column) {
  std::string text;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView))
      text = ui::GbkFromWide(ui::listview::Cell(c->hwnd, row, column));
  });
  return text;
}

std::vector<int> Win32Window::SelectedRows(const std::string& control) {
  std::vector<int> rows;
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView)) rows = ui::listview::Selected(c->hwnd);
  });
  return rows;
}

void Win32Window::SetRowData(const std::string& control, int row, intptr_t data) {
  Run([&] {
    if (const Control* c = FindOfKind(control, ControlKind::ListView)) ui::listview::SetData(c->hwnd, row, data);
  });
}

void Win32Window::ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr) return;
    // No repaint per inserted row: drawing is off during the insert, the list is drawn once.
    SendMessageW(c->hwnd, WM_SETREDRAW, FALSE, 0);
    ui::listview::DeleteAll(c->hwnd);
    SendMessageW(c->hwnd, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows.size()), 0);
    const int columns = ui::listview::ColumnCount(c->hwnd);
    for (const auto& cells : rows) {
      const int row = ui::listview::Append(c->hwnd, ui::WideFromGbk(cells.empty() ? std::string() : cells[0]));
      if (row < 0) continue;
      for (int column = 1; column < columns && column < static_cast<int>(cells.size()); ++column)
        ui::listview::SetCell(c->hwnd, row, column, ui::WideFromGbk(cells[column]));
    }
    if (!rows.empty()) SendMessageW(c->hwnd, LVM_ENSUREVISIBLE, 0, FALSE);
    SendMessageW(c->hwnd, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(c->hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  });
}

std::vector<std::vector<std::string>> Win32Window::CellsOf(const std::string& control, const std::vector<int>& rows,
                                                           const std::vector<int>& columns) {
  std::vector<std::vector<std::string>> cells(rows.size(), std::vector<std::string>(columns.size()));
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr) return;
    for (size_t i = 0; i < rows.size(); ++i)
      for (size_t j = 0; j < columns.size(); ++j)
        cells[i][j] = ui::GbkFromWide(ui::listview::Cell(c->hwnd, rows[i], columns[j]));
  });
  return cells;
}

void Win32Window::SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || !compare) return;
    // LVM_SORTITEMS: the application value is the comparison, the callback calls it.
    SendMessageW(c->hwnd, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare),
                 reinterpret_cast<LPARAM>(&Win32Window::CompareRows));
  });
}

}  // namespace corvane::win32::detail

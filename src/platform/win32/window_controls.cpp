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

namespace {

// The cells of a batch in UTF-16, converted before the window thread is asked to insert them: one
// buffer holding every cell followed by a NUL, the offset of each cell, and for each row the index
// of its first cell (one more entry at the end).
struct WideRows {
  std::wstring text;
  std::vector<size_t> cellStart;
  std::vector<size_t> firstCell;

  const wchar_t* cell(size_t index) const { return text.c_str() + cellStart[index]; }
};

WideRows ToWideRows(const std::vector<std::vector<std::string>>& rows, size_t columns) {
  WideRows wide;
  size_t bytes = 0;
  size_t cells = 0;
  for (const auto& row : rows) {
    const size_t n = std::min(row.size(), columns);
    cells += n;
    for (size_t i = 0; i < n; ++i) bytes += row[i].size() + 1;
  }
  wide.text.reserve(bytes);
  wide.cellStart.reserve(cells);
  wide.firstCell.reserve(rows.size() + 1);
  for (const auto& row : rows) {
    wide.firstCell.push_back(wide.cellStart.size());
    const size_t n = std::min(row.size(), columns);
    for (size_t i = 0; i < n; ++i) {
      wide.cellStart.push_back(wide.text.size());
      ui::AppendWideFromGbk(wide.text, row[i]);
      wide.text.push_back(L'\0');
    }
  }
  wide.firstCell.push_back(wide.cellStart.size());
  return wide;
}

}  // namespace

void Win32Window::ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) {
  const Control* c = FindOfKind(control, ControlKind::ListView);
  if (c == nullptr) return;
  // The texts are converted on the calling thread; the window thread only inserts them.
  const WideRows wide = ToWideRows(rows, std::max<size_t>(1, c->layout->columns.size()));
  Run([&] {
    HWND list = c->hwnd;
    // Nothing is drawn until the rows are in, the scroll bar included; then one repaint.
    const ui::DrawingPause pause(list);
    // The list's own switch as well: no layout work per inserted row.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ui::listview::DeleteAll(list);
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows.size()), 0);
    int next = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
      const size_t first = wide.firstCell[r];
      const size_t end = wide.firstCell[r + 1];
      const int row = ui::listview::Insert(list, next, first < end ? wide.cell(first) : L"");
      if (row < 0) continue;
      ++next;
      // A new row's other cells are empty already.
      for (size_t k = first + 1; k < end; ++k)
        if (*wide.cell(k) != L'\0') ui::listview::SetCell(list, row, static_cast<int>(k - first), wide.cell(k));
    }
    // The first row at the top, as after a fresh fill.
    if (next > 0 && SendMessageW(list, LVM_GETTOPINDEX, 0, 0) != 0) SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  });
}

std::vector<std::vector<std::string>> Win32Window::CellsOf(const std::string& control, const std::vector<int>& rows,
                                                           const std::vector<int>& columns) {
  std::vector<std::vector<std::string>> cells(rows.size(), std::vector<std::string>(columns.size()));
  const Control* c = FindOfKind(control, ControlKind::ListView);
  if (c == nullptr || rows.empty() || columns.empty()) return cells;
  // The window thread copies the texts; they are converted back on the calling thread.
  std::vector<std::wstring> wide(rows.size() * columns.size());
  Run([&] {
    HWND list = c->hwnd;
    const int rowCount = ui::listview::RowCount(list);
    const int columnCount = ui::listview::ColumnCount(list);
    std::wstring buffer;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] < 0 || rows[i] >= rowCount) continue;
      for (size_t j = 0; j < columns.size(); ++j) {
        if (columns[j] < 0 || columns[j] >= columnCount) continue;
        ui::listview::ReadCell(list, rows[i], columns[j], buffer);
        wide[i * columns.size() + j] = buffer;
      }
    }
  });
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = 0; j < columns.size(); ++j) cells[i][j] = ui::GbkFromWide(wide[i * columns.size() + j]);
  return cells;
}

void Win32Window::SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || !compare) return;
    // Every row's data becomes its position, so the comparison is handed positions from before
    // the sort.
    const int rows = ui::listview::RowCount(c->hwnd);
    for (int row = 0; row < rows; ++row) ui::listview::SetData(c->hwnd, row, row);
    // LVM_SORTITEMS: the application value is the comparison, the callback calls it.
    SendMessageW(c->hwnd, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare),
                 reinterpret_cast<LPARAM>(&Win32Window::CompareRows));
  });
}

}  // namespace corvane::win32::detail

// Win32 windows: the list views. Each is virtual (LVS_OWNERDATA): the window keeps the rows, the
// control keeps the count, the selection and the focus, and asks for the texts of the rows it
// draws. Filling, emptying and sorting touch the control once, whatever the number of rows.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <numeric>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/win32/win32_window.h"
#include "platform/win32/win_controls.h"
#include "platform/win32/win_text.h"

namespace corvane::win32::detail {

namespace {

size_t ColumnsOf(const ControlSpec& layout) { return std::max<size_t>(1, layout.columns.size()); }

// The cells converted to UTF-16, every row with one cell per column: done before the window thread
// is asked to take them.
ListRows ToListRows(const std::vector<std::vector<std::string>>& rows, size_t columns) {
  ListRows converted(rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::wstring>& cells = converted[r].cells;
    cells.resize(columns);
    const size_t n = std::min(rows[r].size(), columns);
    for (size_t k = 0; k < n; ++k) ui::AppendWideFromGbk(cells[k], rows[r][k]);
  }
  return converted;
}

void SetItemCount(HWND list, size_t count, DWORD flags) {
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), static_cast<LPARAM>(flags));
}

void SetItemState(HWND list, int row, UINT state, UINT mask) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Case-blind comparison of the start of `text` with `prefix`, as the list's own search does.
bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix, size_t length) {
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  return true;
}

// What makes a row the same row after a refill: every cell but the first (the running number),
// each with its length, so that no two different rows give the same text.
std::wstring RowIdentity(const ListRow& row) {
  std::wstring identity;
  for (size_t i = 1; i < row.cells.size(); ++i) {
    identity += std::to_wstring(row.cells[i].size());
    identity += L':';
    identity += row.cells[i];
  }
  return identity;
}

}  // namespace

ListRows* Win32Window::RowsOf(HWND list) {
  auto it = lists_.find(list);
  return it == lists_.end() ? nullptr : &it->second;
}

void Win32Window::OnListDisplayInfo(NMLVDISPINFOW* info) {
  const ListRows* rows = RowsOf(info->hdr.hwndFrom);
  LVITEMW& item = info->item;
  const bool known = rows != nullptr && item.iItem >= 0 && static_cast<size_t>(item.iItem) < rows->size();
  if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
    const ListRow* row = known ? &(*rows)[static_cast<size_t>(item.iItem)] : nullptr;
    const bool hasCell = row != nullptr && item.iSubItem >= 0 && static_cast<size_t>(item.iSubItem) < row->cells.size();
    const std::wstring empty;
    const std::wstring& text = hasCell ? row->cells[static_cast<size_t>(item.iSubItem)] : empty;
    // Cut to the buffer, always terminated, as the control does with texts it holds itself.
    const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
    std::wmemcpy(item.pszText, text.data(), n);
    item.pszText[n] = L'\0';
  }
  if ((item.mask & LVIF_PARAM) != 0) item.lParam = known ? static_cast<LPARAM>((*rows)[static_cast<size_t>(item.iItem)].data) : 0;
}

LRESULT Win32Window::OnListFindItem(const NMLVFINDITEMW* find) {
  // Typing in the list moves to the next row whose first cell starts with what was typed.
  const ListRows* rows = RowsOf(find->hdr.hwndFrom);
  const LVFINDINFOW& what = find->lvfi;
  if (rows == nullptr || rows->empty() || (what.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || what.psz == nullptr)
    return -1;
  const size_t length = std::wcslen(what.psz);
  const bool partial = (what.flags & LVFI_PARTIAL) != 0;
  const size_t count = rows->size();
  size_t start = find->iStart >= 0 && static_cast<size_t>(find->iStart) < count ? static_cast<size_t>(find->iStart) : 0;
  const size_t steps = (what.flags & LVFI_WRAP) != 0 ? count : count - start;
  for (size_t i = 0; i < steps; ++i) {
    const size_t row = (start + i) % count;
    const std::wstring& first = (*rows)[row].cells.front();
    if (partial ? StartsWithIgnoringCase(first, what.psz, length)
                : first.size() == length && StartsWithIgnoringCase(first, what.psz, length))
      return static_cast<LRESULT>(row);
  }
  return -1;
}

void Win32Window::DeleteAllRows(const std::string& control) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows == nullptr) return;
    rows->clear();
    ui::listview::DeleteAll(c->hwnd);
  });
}

int Win32Window::RowCount(const std::string& control) {
  int count = 0;
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (const ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd)) count = static_cast<int>(rows->size());
  });
  return count;
}

int Win32Window::AppendRow(const std::string& control, const std::string& firstCell) {
  int row = -1;
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows == nullptr || rows->size() >= static_cast<size_t>(INT_MAX)) return;
    ListRow added;
    added.cells.resize(ColumnsOf(*c->layout));
    added.cells[0] = ui::WideFromGbk(firstCell);
    rows->push_back(std::move(added));
    SetItemCount(c->hwnd, rows->size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    row = static_cast<int>(rows->size() - 1);
    SendMessageW(c->hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
  });
  return row;
}

void Win32Window::SetCell(const std::string& control, int row, int column, const std::string& text) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows == nullptr || row < 0 || static_cast<size_t>(row) >= rows->size()) return;
    std::vector<std::wstring>& cells = (*rows)[static_cast<size_t>(row)].cells;
    if (column < 0 || static_cast<size_t>(column) >= cells.size()) return;
    cells[static_cast<size_t>(column)] = ui::WideFromGbk(text);
    SendMessageW(c->hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
  });
}

std::string Win32Window::Cell(const std::string& control, int row, int column) {
  std::wstring text;
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    const ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows == nullptr || row < 0 || static_cast<size_t>(row) >= rows->size()) return;
    const std::vector<std::wstring>& cells = (*rows)[static_cast<size_t>(row)].cells;
    if (column >= 0 && static_cast<size_t>(column) < cells.size()) text = cells[static_cast<size_t>(column)];
  });
  return ui::GbkFromWide(text);
}

std::vector<int> Win32Window::SelectedRows(const std::string& control) {
  std::vector<int> selected;
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    const ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows == nullptr) return;
    selected = ui::listview::Selected(c->hwnd);
    // The control counts what it was told; only rows the window holds are rows.
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [&](int row) { return static_cast<size_t>(row) >= rows->size(); }),
                   selected.end());
  });
  return selected;
}

void Win32Window::SetRowData(const std::string& control, int row, intptr_t data) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    ListRows* rows = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (rows != nullptr && row >= 0 && static_cast<size_t>(row) < rows->size())
      (*rows)[static_cast<size_t>(row)].data = data;
  });
}

void Win32Window::ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) {
  const Control* c = FindOfKind(control, ControlKind::ListView);
  if (c == nullptr) return;
  // The texts are converted on the calling thread; the window thread only takes them.
  ListRows fresh = ToListRows(rows, ColumnsOf(*c->layout));
  if (fresh.size() > static_cast<size_t>(INT_MAX)) fresh.resize(static_cast<size_t>(INT_MAX));
  Run([&] {
    ListRows* held = RowsOf(c->hwnd);
    if (held == nullptr) return;
    HWND list = c->hwnd;
    // The rows the user selected stay selected where they are among the new ones.
    std::unordered_set<std::wstring> kept;
    for (int row : ui::listview::Selected(list))
      if (static_cast<size_t>(row) < held->size()) kept.insert(RowIdentity((*held)[static_cast<size_t>(row)]));
    // Nothing is drawn until the count is in, the scroll bar included; then one repaint.
    const ui::DrawingPause pause(list);
    held->swap(fresh);
    // Selection and focus belong to the old rows.
    ui::listview::DeleteAll(list);
    SetItemCount(list, held->size(), 0);
    if (!kept.empty()) {
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED;
      state.state = LVIS_SELECTED;
      for (size_t i = 0; i < held->size(); ++i)
        if (kept.count(RowIdentity((*held)[i])) != 0)
          SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
    }
    // The first row at the top, as after a fresh fill.
    if (!held->empty() && SendMessageW(list, LVM_GETTOPINDEX, 0, 0) != 0) SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
  });
  // `fresh` holds the old rows now: they are freed here, not on the window thread.
}

std::vector<std::vector<std::string>> Win32Window::CellsOf(const std::string& control, const std::vector<int>& rows,
                                                           const std::vector<int>& columns) {
  std::vector<std::vector<std::string>> cells(rows.size(), std::vector<std::string>(columns.size()));
  const Control* c = FindOfKind(control, ControlKind::ListView);
  if (c == nullptr || rows.empty() || columns.empty()) return cells;
  // The window thread copies the texts; they are converted back on the calling thread.
  std::vector<std::wstring> wide(rows.size() * columns.size());
  Run([&] {
    const ListRows* held = RowsOf(c->hwnd);
    if (held == nullptr) return;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] < 0 || static_cast<size_t>(rows[i]) >= held->size()) continue;
      const std::vector<std::wstring>& row = (*held)[static_cast<size_t>(rows[i])].cells;
      for (size_t j = 0; j < columns.size(); ++j)
        if (columns[j] >= 0 && static_cast<size_t>(columns[j]) < row.size())
          wide[i * columns.size() + j] = row[static_cast<size_t>(columns[j])];
    }
  });
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = 0; j < columns.size(); ++j) cells[i][j] = ui::GbkFromWide(wide[i * columns.size() + j]);
  return cells;
}

void Win32Window::SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    ListRows* held = c == nullptr ? nullptr : RowsOf(c->hwnd);
    if (held == nullptr || !compare) return;
    HWND list = c->hwnd;
    // A stable sort of the positions (0 = top) by the comparison; one that throws leaves the rows
    // as they were.
    std::vector<size_t> order(held->size());
    std::iota(order.begin(), order.end(), size_t{0});
    try {
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return compare(static_cast<intptr_t>(a), static_cast<intptr_t>(b)) < 0;
      });
    } catch (...) {
      return;
    }
    // Selected rows and the focus stay on their rows, wherever those go.
    std::vector<bool> selected(held->size(), false);
    for (int row : ui::listview::Selected(list))
      if (static_cast<size_t>(row) < selected.size()) selected[static_cast<size_t>(row)] = true;
    const LRESULT focused = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0));

    ListRows sorted(held->size());
    for (size_t i = 0; i < order.size(); ++i) {
      sorted[i] = std::move((*held)[order[i]]);
      sorted[i].data = static_cast<intptr_t>(order[i]);  // the position before the sort
    }
    const ui::DrawingPause pause(list);
    held->swap(sorted);
    SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (size_t i = 0; i < order.size(); ++i) {
      if (selected[order[i]]) SetItemState(list, static_cast<int>(i), LVIS_SELECTED, LVIS_SELECTED);
      if (focused >= 0 && order[i] == static_cast<size_t>(focused))
        SetItemState(list, static_cast<int>(i), LVIS_FOCUSED, LVIS_FOCUSED);
    }
  });
}

}  // namespace corvane::win32::detail

// One headless window: its controls, what the program does with them and what a user does.
#include "platform/headless/headless_window_system.h"

#include <algorithm>
#include <set>

#include "platform/ip_field.h"

namespace corvane::headless {

using platform::ControlKind;
using platform::Event;
using platform::EventKind;

HeadlessWindow::HeadlessWindow(platform::WindowSpec layout, platform::EventHandler handler, bool main)
    : spec_(std::move(layout)), handler_(std::move(handler)), title_(spec_.caption), main_(main) {
  // The standard system menu of a captioned window, as Windows gives it.
  systemMenu_ = {{0xF120, "还原(&R)", false},  {0xF010, "移动(&M)", false},   {0xF000, "大小(&S)", false},
                 {0xF020, "最小化(&N)", false}, {0xF030, "最大化(&X)", false}, {0, "", false},
                 {0xF060, "关闭(&C)\tAlt+F4", false}};
  for (const auto& c : spec_.controls) {
    Control control;
    control.layout = c;
    control.text = c.text;
    control.checked = c.checked;
    controls_.emplace(c.name, std::move(control));
  }
  for (const auto& menu : spec_.menus)
    for (const auto& item : menu.items)
      if (!item.separator) menuItems_[item.name] = true;
}

HeadlessWindow::Control* HeadlessWindow::Find(const std::string& name) {
  auto it = controls_.find(name);
  if (it != controls_.end()) return &it->second;
  unknown_.push_back(name);
  return nullptr;
}

HeadlessWindow::Control* HeadlessWindow::FindOfKind(const std::string& name, ControlKind kind) {
  Control* c = Find(name);
  if (c != nullptr && c->layout.kind != kind) {
    unknown_.push_back(name + " (wrong kind)");
    return nullptr;
  }
  return c;
}

void HeadlessWindow::SetTitle(const std::string& title) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    title_ = title;
  });
}

std::string HeadlessWindow::Title() {
  return OnThread([&]() -> std::string {
    std::lock_guard lock(mutex_);
    return title_;
  });
}

void HeadlessWindow::Close() {
  OnThread([&] {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      closed_ = true;
    }
    // A modal window is destroyed as it closes, as a Win32 one is, and freed once the window
    // thread is done with what it is doing; the main window is not (its end is the process's).
    if (main_) return;
    Raise(Event{EventKind::Destroying, "", 0});
    if (system_ != nullptr) system_->Retire(this);
  });
}

void HeadlessWindow::Invoke(const std::function<void()>& work) {
  OnThread([&] {
    if (!closed()) work();
  });
}

void HeadlessWindow::SetText(const std::string& control, const std::string& text) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (c == nullptr) return;
    if (c->layout.kind == ControlKind::IpAddress) {
      c->text = platform::ipfield::FormatForRead(platform::ipfield::ParseForWrite(text));
      return;
    }
    c->text = text;
    c->lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    c->removedLines = 0;
  });
}

std::string HeadlessWindow::Text(const std::string& control) {
  return OnThread([&]() -> std::string {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (c == nullptr) return {};
    if (c->layout.kind == ControlKind::ComboBox) {
      return c->current >= 0 && c->current < static_cast<int>(c->items.size()) ? c->items[c->current].text : "";
    }
    return c->text;
  });
}

void HeadlessWindow::SetEnabled(const std::string& control, bool enabled) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    if (Control* c = Find(control)) c->enabled = enabled;
  });
}

bool HeadlessWindow::IsEnabled(const std::string& control) {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    return c != nullptr && c->enabled;
  });
}

void HeadlessWindow::SetChecked(const std::string& control, bool checked) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    if (Control* c = Find(control)) c->checked = checked;
  });
}

bool HeadlessWindow::IsChecked(const std::string& control) {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    return c != nullptr && c->checked;
  });
}

void HeadlessWindow::AppendText(const std::string& control, const std::string& text) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (c == nullptr) return;
    c->text += text;
    const size_t keep = c->layout.maxLines;
    if (keep == 0) return;
    // As the Win32 edit does: the oldest lines go once a quarter more than the bound have come, and
    // the first line counts them.
    c->lines += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (c->lines <= keep + keep / 4) return;
    const size_t dropped = c->lines - keep;
    size_t cut = 0;
    for (size_t n = 0; n < dropped + (c->removedLines > 0 ? 1 : 0); ++n) cut = c->text.find('\n', cut) + 1;
    c->removedLines += dropped;
    c->lines = keep;
    c->text.replace(0, cut, platform::TrimNoticeLine(c->layout, c->removedLines));
  });
}

void HeadlessWindow::ClearItems(const std::string& control) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    if (Control* c = FindOfKind(control, ControlKind::ComboBox)) {
      c->items.clear();
      c->current = -1;
    }
  });
}

int HeadlessWindow::AddItem(const std::string& control, const std::string& text, intptr_t data) {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ComboBox);
    if (c == nullptr) return -1;
    c->items.push_back(Item{text, data});
    return static_cast<int>(c->items.size()) - 1;
  });
}

int HeadlessWindow::ItemCount(const std::string& control) {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ComboBox);
    return c == nullptr ? 0 : static_cast<int>(c->items.size());
  });
}

int HeadlessWindow::CurrentItem(const std::string& control) {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ComboBox);
    return c == nullptr ? -1 : c->current;
  });
}

void HeadlessWindow::SetCurrentItem(const std::string& control, int position) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ComboBox);
    if (c == nullptr) return;
    c->current = position >= 0 && position < static_cast<int>(c->items.size()) ? position : -1;
  });
}

intptr_t HeadlessWindow::ItemData(const std::string& control, int position) {
  return OnThread([&]() -> intptr_t {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ComboBox);
    if (c == nullptr || position < 0 || position >= static_cast<int>(c->items.size())) return -1;  // CB_ERR
    return c->items[position].data;
  });
}

void HeadlessWindow::DeleteAllRows(const std::string& control) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    if (Control* c = FindOfKind(control, ControlKind::ListView)) c->rows.clear();
  });
}

int HeadlessWindow::RowCount(const std::string& control) {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    return c == nullptr ? 0 : static_cast<int>(c->rows.size());
  });
}

int HeadlessWindow::AppendRow(const std::string& control, const std::string& firstCell) {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr) return -1;
    Row row;
    row.cells.assign(std::max<size_t>(1, c->layout.columns.size()), std::string());
    row.cells[0] = firstCell;
    c->rows.push_back(std::move(row));
    return static_cast<int>(c->rows.size()) - 1;
  });
}

void HeadlessWindow::SetCell(const std::string& control, int row, int column, const std::string& text) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || row < 0 || row >= static_cast<int>(c->rows.size()) || column < 0 ||
        column >= static_cast<int>(c->rows[row].cells.size()))
      return;
    c->rows[row].cells[column] = text;
  });
}

std::string HeadlessWindow::Cell(const std::string& control, int row, int column) {
  return OnThread([&]() -> std::string {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || row < 0 || row >= static_cast<int>(c->rows.size()) || column < 0 ||
        column >= static_cast<int>(c->rows[row].cells.size()))
      return {};
    return c->rows[row].cells[column];
  });
}

std::vector<int> HeadlessWindow::SelectedRows(const std::string& control) {
  return OnThread([&]() -> std::vector<int> {
    std::lock_guard lock(mutex_);
    std::vector<int> selected;
    if (Control* c = FindOfKind(control, ControlKind::ListView)) {
      for (size_t i = 0; i < c->rows.size(); ++i)
        if (c->rows[i].selected) selected.push_back(static_cast<int>(i));
    }
    return selected;
  });
}

void HeadlessWindow::SetRowData(const std::string& control, int row, intptr_t data) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c != nullptr && row >= 0 && row < static_cast<int>(c->rows.size())) c->rows[row].data = data;
  });
}

void HeadlessWindow::ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr) return;
    ++batchCalls_;
    const size_t columns = std::max<size_t>(1, c->layout.columns.size());
    // As the Win32 list does: a selected row stays selected where it is among the new rows (the
    // same cells but the first, the running number).
    auto identity = [](const std::vector<std::string>& cells) {
      return std::vector<std::string>(cells.begin() + (cells.empty() ? 0 : 1), cells.end());
    };
    std::set<std::vector<std::string>> kept;
    for (const Row& row : c->rows)
      if (row.selected) kept.insert(identity(row.cells));
    c->rows.clear();
    c->rows.reserve(rows.size());
    for (const auto& cells : rows) {
      Row row;
      row.cells.assign(columns, std::string());
      for (size_t i = 0; i < cells.size() && i < columns; ++i) row.cells[i] = cells[i];
    row.selected = !kept.empty() && kept.count(identity(row.cells)) != 0;
      c->rows.push_back(std::move(row));
    }
  });
}

std::vector<std::vector<std::string>> HeadlessWindow::CellsOf(const std::string& control, const std::vector<int>& rows,
                                                              const std::vector<int>& columns) {
  return OnThread([&]() -> std::vector<std::vector<std::string>> {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<std::string>> cells(rows.size(), std::vector<std::string>(columns.size()));
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr) return cells;
    ++batchCalls_;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] < 0 || rows[i] >= static_cast<int>(c->rows.size())) continue;
      const Row& row = c->rows[rows[i]];
      for (size_t j = 0; j < columns.size(); ++j)
        if (columns[j] >= 0 && columns[j] < static_cast<int>(row.cells.size())) cells[i][j] = row.cells[columns[j]];
    }
    return cells;
  });
}

void HeadlessWindow::SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || !compare) return;
    // As the Win32 list does: each row's data becomes its position, then a stable sort by the
    // comparison of the data. A comparison that throws leaves the rows as they were.
    std::vector<Row> rows = c->rows;
    for (size_t i = 0; i < rows.size(); ++i) rows[i].data = static_cast<intptr_t>(i);
    try {
      std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) { return compare(a.data, b.data) < 0; });
    } catch (...) {
      return;
    }
    c->rows = std::move(rows);
  });
}

void HeadlessWindow::SetMenuItemEnabled(const std::string& item, bool enabled) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    auto it = menuItems_.find(item);
    if (it == menuItems_.end()) {
      unknown_.push_back(item);
      return;
    }
    it->second = enabled;
  });
}

bool HeadlessWindow::IsMenuItemEnabled(const std::string& item) {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    auto it = menuItems_.find(item);
    if (it == menuItems_.end()) {
      unknown_.push_back(item);
      return false;
    }
    return it->second;
  });
}

void HeadlessWindow::PopupMenu(const std::string& menu) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    for (const auto& m : spec_.menus) {
      if (m.name == menu) {
        lastPopup_ = menu;
        return;
      }
    }
    unknown_.push_back(menu);
  });
}

void HeadlessWindow::AppendSystemMenuItem(int commandId, const std::string& caption, bool checked) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    systemMenu_.push_back(SystemMenuItem{commandId, caption, !caption.empty() && checked});
  });
}

int HeadlessWindow::SystemMenuItemCount() {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    return static_cast<int>(systemMenu_.size());
  });
}

bool HeadlessWindow::RemoveSystemMenuItem(int position) {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    if (position < 0 || position >= static_cast<int>(systemMenu_.size())) return false;
    systemMenu_.erase(systemMenu_.begin() + position);
    return true;
  });
}

void HeadlessWindow::InstallMessageFilter(platform::MessageFilter filter) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    filter_ = std::move(filter);
  });
}

void HeadlessWindow::SendSystemCommand(uintptr_t command, intptr_t lParam) {
  return OnThread([&]() -> void {
    platform::MessageFilter filter;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      filter = filter_;
    }
    if (filter && !filter(*this, platform::WindowMessage{platform::kWmSysCommand, command, lParam})) return;
    bool own = false;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      own = std::any_of(systemMenu_.begin(), systemMenu_.end(), [&](const SystemMenuItem& item) {
        return !item.caption.empty() && static_cast<uintptr_t>(item.id) == command && item.id < 0xF000;
      });
    }
    if (own) {
      Raise(Event{EventKind::SystemCommand, "", static_cast<int>(command)});
    } else if ((command & 0xFFF0) == platform::kScClose) {
      // The default handling of SC_CLOSE: WM_CLOSE. The main window leaves it to its handler; a
      // modal window is destroyed.
      if (main_) {
        Raise(Event{EventKind::CloseRequested, "", 0});
      } else {
        Close();
      }
    }
  });
}

void HeadlessWindow::Raise(const Event& event) {
  // Handlers call back into the window: never hold the lock here.
  OnThread([&] { handler_(*this, event); });
}

bool HeadlessWindow::Click(const std::string& control) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      Control* c = Find(control);
      if (closed_ || c == nullptr || !c->enabled) return false;
      if (c->layout.kind == ControlKind::CheckBox) c->checked = !c->checked;
      if (c->layout.kind == ControlKind::RadioButton) {
        for (auto& [name, other] : controls_)
          if (other.layout.kind == ControlKind::RadioButton) other.checked = false;
        c->checked = true;
      }
    }
    Raise(Event{EventKind::Clicked, control, 0});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::ChooseItem(const std::string& combo, int position) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      Control* c = FindOfKind(combo, ControlKind::ComboBox);
      if (closed_ || c == nullptr || !c->enabled || position < 0 || position >= static_cast<int>(c->items.size()))
        return false;
      c->current = position;
    }
    Raise(Event{EventKind::ItemChosen, combo, position});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::RightClick(const std::string& control) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      Control* c = Find(control);
      if (closed_ || c == nullptr || !c->enabled) return false;
    }
    Raise(Event{EventKind::RightClicked, control, 0});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::ClickColumn(const std::string& list, int column) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      Control* c = FindOfKind(list, ControlKind::ListView);
      if (closed_ || c == nullptr || !c->enabled) return false;
    }
    Raise(Event{EventKind::ColumnClicked, list, column});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::PressMouse(const std::string& link) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      Control* c = Find(link);
      if (closed_ || c == nullptr || !c->enabled) return false;
    }
    Raise(Event{EventKind::MouseDown, link, 0});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::ChooseMenuItem(const std::string& item) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      auto it = menuItems_.find(item);
      if (closed_ || it == menuItems_.end() || !it->second) return false;
    }
    Raise(Event{EventKind::MenuChosen, item, 0});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::ChooseSystemCommand(int commandId) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      auto it = std::find_if(systemMenu_.begin(), systemMenu_.end(), [&](const SystemMenuItem& item) {
        return item.id == commandId && !item.caption.empty();
      });
      if (closed_ || it == systemMenu_.end()) return false;
    }
    SendSystemCommand(static_cast<uintptr_t>(commandId), 0);
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::CloseByUser() {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
    }
    SendSystemCommand(platform::kScClose, 0);
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::SendCommand(uintptr_t wParam, intptr_t lParam) {
  // The action may close the window, which is freed then: nothing of it is used afterwards.
  HeadlessWindowSystem* const system = system_;
  const bool done = OnThread([&]() -> bool {
    platform::MessageFilter filter;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
      filter = filter_;
    }
    if (filter) filter(*this, platform::WindowMessage{platform::kWmCommand, wParam, lParam});
    return true;
  });
  if (done && system != nullptr) system->AfterUserAction();
  return done;
}

bool HeadlessWindow::Type(const std::string& control, const std::string& text) {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (closed_ || c == nullptr || !c->enabled) return false;
    // What the user types into an IP address field ends up there by the field's rule.
    c->text = c->layout.kind == ControlKind::IpAddress
                  ? platform::ipfield::FormatForRead(platform::ipfield::ParseForWrite(text))
                  : text;
    return true;
  });
}

void HeadlessWindow::SelectRows(const std::string& list, const std::vector<int>& rows) {
  return OnThread([&]() -> void {
    std::lock_guard lock(mutex_);
    Control* c = FindOfKind(list, ControlKind::ListView);
    if (c == nullptr) return;
    for (auto& row : c->rows) row.selected = false;
    for (int r : rows)
      if (r >= 0 && r < static_cast<int>(c->rows.size())) c->rows[r].selected = true;
  });
}

bool HeadlessWindow::closed() { return closed_.load(); }

int HeadlessWindow::batchCalls() {
  return OnThread([&]() -> int {
    std::lock_guard lock(mutex_);
    return batchCalls_;
  });
}

std::string HeadlessWindow::lastPopupMenu() {
  return OnThread([&]() -> std::string {
    std::lock_guard lock(mutex_);
    return lastPopup_;
  });
}

std::vector<HeadlessWindow::SystemMenuItem> HeadlessWindow::systemMenuItems() {
  return OnThread([&]() -> std::vector<HeadlessWindow::SystemMenuItem> {
    std::lock_guard lock(mutex_);
    return systemMenu_;
  });
}

bool HeadlessWindow::hasMessageFilter() {
  return OnThread([&]() -> bool {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(filter_);
  });
}

std::vector<std::string> HeadlessWindow::ItemTexts(const std::string& combo) {
  return OnThread([&]() -> std::vector<std::string> {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    if (Control* c = FindOfKind(combo, ControlKind::ComboBox))
      for (const auto& item : c->items) texts.push_back(item.text);
    return texts;
  });
}

std::vector<std::vector<std::string>> HeadlessWindow::Rows(const std::string& list) {
  return OnThread([&]() -> std::vector<std::vector<std::string>> {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<std::string>> rows;
    if (Control* c = FindOfKind(list, ControlKind::ListView))
      for (const auto& row : c->rows) rows.push_back(row.cells);
    return rows;
  });
}

std::vector<std::string> HeadlessWindow::unknownNames() {
  return OnThread([&]() -> std::vector<std::string> {
    std::lock_guard lock(mutex_);
    return unknown_;
  });
}

}  // namespace corvane::headless

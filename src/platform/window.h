// Window system: windows built from a template of named controls, their state, menus, modal
// windows, the message loop, the system menu, and documents opened through the desktop's shell.
//
// Controls are addressed by their names. Every operation may be called from any thread; the
// implementation carries it out for the thread that owns the window. Event handlers run on the
// window thread, and no exception may leave them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane::platform {

enum class ControlKind {
  Label,        // transparent label
  LinkLabel,    // transparent label that reports mouse presses
  Button,
  CheckBox,
  RadioButton,
  GroupBox,
  ComboBox,     // drop-down list
  Edit,         // single line
  MultiLineEdit,
  IpAddress,    // IP address edit control
  ListView,     // report style, full-row selection
};

struct ListColumn {
  std::string title;
  int width = 0;
};

struct ControlSpec {
  std::string name;
  ControlKind kind = ControlKind::Label;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string text;
  std::string font;      // face name, empty for the dialog font
  int fontPoints = 9;
  bool checked = false;
  bool verticalScroll = false;
  bool readOnly = false;
  bool defaultButton = false;  // a button that Enter presses (one per window)
  int32_t background = -1;  // 0x00BBGGRR, -1 for the default
  std::string parent;       // name of the group box the position is relative to, empty for the window
  std::vector<ListColumn> columns;
  // A multi-line edit that text is appended to (a log): at most `maxLines` lines ending in a line
  // break are kept. Once a quarter more have come, the oldest go at once and the first line says
  // how many went in all: `trimNotice` with "{}" replaced by that number. 0: no bound.
  size_t maxLines = 0;
  std::string trimNotice;
};

// The first line of a bounded edit once `removed` lines have gone.
inline std::string TrimNoticeLine(const ControlSpec& control, size_t removed) {
  std::string line = control.trimNotice;
  const size_t at = line.find("{}");
  if (at != std::string::npos) line.replace(at, 2, std::to_string(removed));
  return line + "\r\n";
}

struct MenuItemSpec {
  std::string name;  // the caption doubles as the name; empty for a separator
  bool separator = false;
};

struct MenuSpec {
  std::string name;
  std::vector<MenuItemSpec> items;
};

struct WindowSpec {
  std::string name;
  std::string caption;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<ControlSpec> controls;
  std::vector<MenuSpec> menus;

  const ControlSpec* Find(const std::string& control) const {
    for (const auto& c : controls)
      if (c.name == control) return &c;
    return nullptr;
  }
};

enum class EventKind {
  Created,         // the window exists with all its controls
  CloseRequested,  // main window: the user asked it to close (close box, Alt+F4, the system menu's
                   // close item); it stays open unless the handler closes it. A modal window
                   // closes at once and raises only Destroying.
  Destroying,      // the window is about to be destroyed
  Clicked,         // button, check box or radio button
  ItemChosen,      // combo box item chosen by the user
  RightClicked,    // list view
  ColumnClicked,   // list view header; argument = column index
  MouseDown,       // link label, left button
  MenuChosen,      // control = the menu item's name
  SystemCommand,   // system-menu item; argument = its command id
};

struct Event {
  EventKind kind = EventKind::Created;
  std::string control;
  int argument = 0;
};

class Window;
using EventHandler = std::function<void(Window&, const Event&)>;

// A message on its way to a window, as a message filter sees it.
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uintptr_t kScMove = 0xF010;
inline constexpr uintptr_t kScClose = 0xF060;
struct WindowMessage {
  uint32_t message = 0;  // kWmCommand or kWmSysCommand
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
// Returns true to pass the message on to the window, false to drop it. Runs on the window thread;
// no exception may leave it.
using MessageFilter = std::function<bool(Window&, const WindowMessage&)>;

class Window {
 public:
  virtual ~Window() = default;

  virtual const WindowSpec& Layout() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual std::string Title() = 0;
  virtual void Close() = 0;
  // Runs `work` on the window's thread and waits for it (at once when called there); nothing runs
  // once the window is gone. What `work` does is ordered with the window's events: a worker uses
  // it to act on another window of that thread only while that one is still open.
  virtual void Invoke(const std::function<void()>& work) = 0;

  // Text of any control; for an IP address control the dotted address, "" when it holds none.
  virtual void SetText(const std::string& control, const std::string& text) = 0;
  virtual std::string Text(const std::string& control) = 0;
  virtual void SetEnabled(const std::string& control, bool enabled) = 0;
  virtual bool IsEnabled(const std::string& control) = 0;
  virtual void SetChecked(const std::string& control, bool checked) = 0;
  virtual bool IsChecked(const std::string& control) = 0;
  // Edit boxes: caret to the end, scroll it into view, replace the (empty) selection with `text`.
  virtual void AppendText(const std::string& control, const std::string& text) = 0;

  // Combo box.
  virtual void ClearItems(const std::string& control) = 0;
  virtual int AddItem(const std::string& control, const std::string& text, intptr_t data) = 0;
  virtual int ItemCount(const std::string& control) = 0;
  virtual int CurrentItem(const std::string& control) = 0;  // -1 when none
  virtual void SetCurrentItem(const std::string& control, int position) = 0;
  virtual intptr_t ItemData(const std::string& control, int position) = 0;

  // List view.
  virtual void DeleteAllRows(const std::string& control) = 0;
  virtual int RowCount(const std::string& control) = 0;
  virtual int AppendRow(const std::string& control, const std::string& firstCell) = 0;
  virtual void SetCell(const std::string& control, int row, int column, const std::string& text) = 0;
  virtual std::string Cell(const std::string& control, int row, int column) = 0;
  virtual std::vector<int> SelectedRows(const std::string& control) = 0;  // ascending
  virtual void SetRowData(const std::string& control, int row, intptr_t data) = 0;
  // Batch operations, one call for many rows (one crossing to the window thread, one repaint).
  // ReplaceRows: deletes every row, then appends `rows` in order, each with the given cells (a row
  // shorter than the column count leaves the rest empty) and row data 0; the list is scrolled to
  // the top afterwards. A row that was selected stays selected where a new row has the same cells
  // (the first, a running number, aside). CellsOf: the texts of `columns` for each of `rows`, result[i][j] being row
  // rows[i], column columns[j]; a row or column the list lacks reads "".
  virtual void ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) = 0;
  virtual std::vector<std::vector<std::string>> CellsOf(const std::string& control, const std::vector<int>& rows,
                                                        const std::vector<int>& columns) = 0;
  // Reorders the rows by a stable sort, on the window thread. `compare` receives the positions the
  // two rows had before the sort (0 = top), so keys read by position (CellsOf) line up with what it
  // is handed. It returns < 0 when the first row goes first, > 0 when the second does, 0 when they
  // are equal; if it throws, the rows stay as they were. Selected rows stay selected, wherever they
  // go. Afterwards each row's data is its position before the sort (what SetRowData stored is
  // replaced).
  virtual void SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) = 0;

  // Menus of the window's template, items addressed by name.
  virtual void SetMenuItemEnabled(const std::string& item, bool enabled) = 0;
  virtual bool IsMenuItemEnabled(const std::string& item) = 0;
  virtual void PopupMenu(const std::string& menu) = 0;  // at the cursor

  // System menu: a separator (empty caption) or an item with a command id, with or without a
  // check mark; choosing it raises SystemCommand (after the message filter has passed it on).
  virtual void AppendSystemMenuItem(int commandId, const std::string& caption, bool checked) = 0;
  // The number of items of the system menu, -1 when the window has none.
  virtual int SystemMenuItemCount() = 0;
  // Removes the system-menu item at `position` (0 = top); false when there is none there.
  virtual bool RemoveSystemMenuItem(int position) = 0;
  // Puts `filter` in front of the window's procedure for the window's life. It sees every
  // WM_SYSCOMMAND and WM_COMMAND the window receives, before the window does; the messages it
  // passes on (true) reach the window's own procedure as before, the others are dropped.
  virtual void InstallMessageFilter(MessageFilter filter) = 0;
  // Sends WM_SYSCOMMAND with these parameters to the window (through the filter) and waits until
  // it is handled: SC_CLOSE (0xF060) closes the window as its close item does.
  virtual void SendSystemCommand(uintptr_t command, intptr_t lParam) = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Creates and shows the main window; raises Created before returning.
  virtual Window* CreateMainWindow(const WindowSpec& layout, EventHandler handler) = 0;
  // Runs the message loop until the process ends; returns the exit code.
  virtual int RunMessageLoop() = 0;
  // Opens a modal window owned by `owner`. A real window system returns when it closes; the
  // headless one returns at once and keeps it open for the test to drive.
  virtual void OpenModal(const WindowSpec& layout, Window* owner, EventHandler handler) = 0;
  // Lets the calling thread's window process its pending events once.
  virtual void ProcessPendingEvents() = 0;
  // A message box; returns the id of the button pressed. A null owner: the foreground window,
  // whichever program it belongs to, owns the box.
  virtual int ShowMessageBox(Window* owner, const std::string& text, const std::string& caption, uint32_t flags) = 0;
  // What these start runs as the desktop's user, not with this process's rights: the desktop's
  // own shell is asked to start it, and nothing is started any other way. Both return 0 when the
  // shell took it, otherwise the failing step's code (an HRESULT; 1, S_FALSE, when the shell
  // windows know no desktop).
  // The default browser on `url` ("open", shown normally).
  virtual int32_t OpenInBrowser(const std::string& url) = 0;
  // `verb` ("open", "print", "explore") on `target`, with `parameters` and `directory` (empty:
  // none) and a ShowWindow command.
  virtual int32_t ShellOpen(const std::string& verb, const std::string& target, const std::string& parameters,
                            const std::string& directory, int showCommand) = 0;
  // A main window of this process, visible, that owns itself (not an owned pop-up), found by
  // walking the top-level windows; null when there is none yet.
  virtual Window* FindOwnMainWindow() = 0;
};

}  // namespace corvane::platform

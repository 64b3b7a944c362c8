// One window of the Win32 window system, shared by the files that implement it:
//   window_create.cpp     the window class, creation from a layout, destruction
//   window_dpi.cpp        the layout at the window's DPI, laid out again when the DPI changes
//   window_procedure.cpp  the window procedure, events, running work on the window thread
//   window_controls.cpp   the control operations of platform::Window
//   window_list.cpp       the list views: rows held by the window, shown on demand
//   window_menus.cpp      template menus and the system menu
//   window_system.cpp     the window system: main and modal windows, the message loop
//
// Threads: a window belongs to the thread that created it. Every operation of platform::Window
// runs on that thread: inline when called there, otherwise queued with the window, which a private
// message wakes; the caller waits until the window thread has run it, so that a compound operation
// such as an append stays whole and its result comes back. The message carries nothing: any
// program on the desktop can send or post it, and all it can do is make the window run what this
// process queued. The queue is served only from the window system's own message loops, never
// inside a loop that a handler entered (a pop-up menu, a message box, a list view tracking a
// click): there the calls wait until that loop has ended, so that nothing a worker does changes
// the window under a click or a menu the user is in.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/win32/scoped_gdi.h"
#include "platform/window.h"

namespace corvane::win32::detail {

using platform::ControlKind;
using platform::ControlSpec;
using platform::Event;
using platform::EventKind;

inline constexpr wchar_t kWindowClass[] = L"CorvaneWindow";
// The program's icon in its resources (res/corvane.rc); a program without it gets the standard one.
inline constexpr int kIconResourceId = 1;
inline constexpr wchar_t kDefaultFace[] = L"MS Shell Dlg 2";
inline constexpr int kDefaultPoints = 9;
// The private message that wakes a window to run its queued calls. Registered under a name of the
// program's own; 0 when it could not be registered.
UINT InvokeMessage();

class Win32Window;
// The window of this window system behind `hwnd`, null for any other (or none).
Win32Window* OwnWindowOf(HWND hwnd);

// One of the window system's own message loops, for its span on the window thread (the main loop,
// a modal window's, a round of pending events). Such a loop serves the windows' queued calls
// itself when it takes their wake-up, and after each message it dispatched, whatever had to wait
// meanwhile; a wake-up that a loop entered by a handler takes (a menu's, a message box's, a list
// view's tracking a click) only marks the window as waiting.
class OwnMessageLoop {
 public:
  OwnMessageLoop();
  ~OwnMessageLoop();
  OwnMessageLoop(const OwnMessageLoop&) = delete;
  OwnMessageLoop& operator=(const OwnMessageLoop&) = delete;
  // A message the loop took: true when it was a wake-up, served here and not to be dispatched.
  static bool Serve(const MSG& msg);
  // After a dispatched message: the calls that waited for it.
  static void ServeDeferred();
};
inline constexpr int kFirstControlId = 1000;
inline constexpr UINT kFirstMenuCommand = 40001;
// Height of a drop-down list box with its list dropped.
inline constexpr int kDroppedComboHeight = 200;
inline constexpr COLORREF kLinkColor = RGB(0, 0, 255);
// Group boxes may hold group boxes; a template that names a cycle stops here.
inline constexpr int kMaxGroupDepth = 16;

struct InvokeCall {
  const std::function<void()>* work = nullptr;
  std::exception_ptr error;
  bool done = false;  // run, or dropped because the window went
};

inline bool IsButtonKind(ControlKind kind) {
  return kind == ControlKind::Button || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

inline bool IsEditKind(ControlKind kind) { return kind == ControlKind::Edit || kind == ControlKind::MultiLineEdit; }

inline bool IsLabelKind(ControlKind kind) { return kind == ControlKind::Label || kind == ControlKind::LinkLabel; }

// A list view's rows. The list views are virtual (LVS_OWNERDATA): the window holds every row's
// cells and data, the control holds only the count, selection and focus and asks for the texts of
// the rows it draws (LVN_GETDISPINFOW). Filling a list is then one count, whatever its length.
struct ListRow {
  std::vector<std::wstring> cells;  // one per column
  intptr_t data = 0;
};
using ListRows = std::vector<ListRow>;

class Win32Window final : public platform::Window {
 public:
  Win32Window(platform::WindowSpec layout, platform::EventHandler handler, HWND owner, bool modal)
      : spec_(std::move(layout)), handler_(std::move(handler)), owner_(owner), modal_(modal) {}
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the window with its controls and menus on the calling thread and shows it. `between`,
  // when given, runs after each control: a modal window is made in slices, the thread answering
  // its other windows in between.
  bool Create(const std::function<void()>& between = nullptr);
  void Raise(const Event& event);
  bool closed() const { return closed_.load(); }
  HWND hwnd() const { return hwnd_.load(); }
  // Destroys the window now; the window thread only.
  void DestroyNow();

  HWND ControlHandle(const std::string& name) const;
  HMENU MenuHandle(const std::string& name) const;
  UINT MenuCommand(const std::string& item) const;

  // platform::Window
  const platform::WindowSpec& Layout() const override { return spec_; }
  void SetTitle(const std::string& title) override;
  std::string Title() override;
  void Close() override;
  void Invoke(const std::function<void()>& work) override { Run(work); }
  void SetText(const std::string& control, const std::string& text) override;
  std::string Text(const std::string& control) override;
  void SetEnabled(const std::string& control, bool enabled) override;
  bool IsEnabled(const std::string& control) override;
  void SetChecked(const std::string& control, bool checked) override;
  bool IsChecked(const std::string& control) override;
  void AppendText(const std::string& control, const std::string& text) override;
  void ClearItems(const std::string& control) override;
  int AddItem(const std::string& control, const std::string& text, intptr_t data) override;
  int ItemCount(const std::string& control) override;
  int CurrentItem(const std::string& control) override;
  void SetCurrentItem(const std::string& control, int position) override;
  intptr_t ItemData(const std::string& control, int position) override;
  void DeleteAllRows(const std::string& control) override;
  int RowCount(const std::string& control) override;
  int AppendRow(const std::string& control, const std::string& firstCell) override;
  void SetCell(const std::string& control, int row, int column, const std::string& text) override;
  std::string Cell(const std::string& control, int row, int column) override;
  std::vector<int> SelectedRows(const std::string& control) override;
  void SetRowData(const std::string& control, int row, intptr_t data) override;
  void ReplaceRows(const std::string& control, const std::vector<std::vector<std::string>>& rows) override;
  std::vector<std::vector<std::string>> CellsOf(const std::string& control, const std::vector<int>& rows,
                                                const std::vector<int>& columns) override;
  void SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) override;
  void SetMenuItemEnabled(const std::string& item, bool enabled) override;
  bool IsMenuItemEnabled(const std::string& item) override;
  void PopupMenu(const std::string& menu) override;
  void AppendSystemMenuItem(int commandId, const std::string& caption, bool checked) override;
  int SystemMenuItemCount() override;
  bool RemoveSystemMenuItem(int position) override;
  void InstallMessageFilter(platform::MessageFilter filter) override;
  void SendSystemCommand(uintptr_t command, intptr_t lParam) override;

  // The procedure that runs the message filter in front of the window's own one.
  static LRESULT CALLBACK FilterProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Control {
    const ControlSpec* layout = nullptr;
    HWND hwnd = nullptr;
    HBRUSH background = nullptr;  // owned by brushes_
    COLORREF backgroundColor = 0;
  };
  struct MenuItem {
    HMENU menu = nullptr;
    UINT command = 0;
  };

  static void RegisterWindowClass();
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(WPARAM wParam, LPARAM lParam);
  // Answers a notification; false when it is not one this window answers with a value.
  bool OnNotify(const NMHDR* header, LRESULT* result);
  // A virtual list's questions: the texts and data of a row, and where typed text is found.
  void OnListDisplayInfo(NMLVDISPINFOW* info);
  LRESULT OnListFindItem(const NMLVFINDITEMW* find);
  // The rows of a list view, null for any other window; window thread only.
  ListRows* RowsOf(HWND list);
  HBRUSH OnControlColor(HDC dc, HWND control);

  void CreateControls(const std::function<void()>& between);
  void CreateMenus();
  // The control's font at the window's DPI.
  HFONT FontFor(const ControlSpec& layout);
  // Gives the control its font (an IP address control's fields too).
  void SetControlFont(HWND control, const ControlSpec& layout);
  // Where the control is in the window's client area, in the layout's 96-DPI units.
  POINT PositionOf(const ControlSpec& layout) const;
  // The window's outer rectangle (screen) and a control's (client area) at `dpi`: the layout's
  // 96-DPI values scaled; at 96 DPI the layout's values as they are.
  RECT WindowRectAt(UINT dpi) const;
  RECT ControlRectAt(const ControlSpec& layout, UINT dpi) const;
  int Scaled(int value) const;
  // WM_DPICHANGED: the window takes `suggested` (screen, at the new DPI) and lays its controls,
  // fonts and list columns out again for `dpi`.
  void OnDpiChanged(UINT dpi, const RECT* suggested);
  // Runs `work` on the window thread and waits for it; nothing when the window is gone.
  void Run(const std::function<void()>& work);
  // The private message in the window procedure.
  void OnInvoke();

 public:
  // Runs every queued call, in order; the window thread only.
  void ServeQueue();

 private:
  // The window is going: the calls still queued are dropped and their callers let go.
  void DropQueue();
  const Control* Find(const std::string& name) const;
  const Control* FindOfKind(const std::string& name, ControlKind kind) const;
  const MenuItem* FindMenuItem(const std::string& name) const;
  // The window area under a transparent label, repainted so that its old text disappears.
  void RepaintUnder(HWND control) const;

  const platform::WindowSpec spec_;
  const platform::EventHandler handler_;
  const HWND owner_;
  const bool modal_;
  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<bool> closed_{false};
  DWORD thread_ = 0;

  // Filled by Create() and unchanged afterwards, so any thread may look names up (no other thread
  // has the window before Create() has returned).
  std::map<std::string, Control> controls_;
  std::unordered_map<HWND, const Control*> byHandle_;
  std::vector<ui::ScopedBrush> brushes_;
  std::map<std::string, ui::ScopedMenu> menus_;
  std::map<std::string, MenuItem> menuItems_;
  std::map<UINT, std::string> menuCommands_;
  // The calls of Run() waiting for the window thread, in order, and the callers still in Run().
  std::mutex queueMutex_;
  std::condition_variable queueServed_;
  std::deque<InvokeCall*> queue_;
  bool queueClosed_ = false;
  int callers_ = 0;
  // Window thread only.
  std::unordered_map<HWND, ListRows> lists_;
  // The lines a bounded edit holds (their lengths, line break included, oldest first), how many
  // went, and the length of the first line that says so.
  struct BoundedEdit {
    std::deque<size_t> lines;
    size_t unterminated = 0;  // characters after the last line break
    size_t removed = 0;
    size_t noticeLength = 0;
    // Takes the lines of `text`, appended at the end.
    void Count(const std::wstring& text) {
      for (wchar_t ch : text) {
        ++unterminated;
        if (ch != L'\n') continue;
        lines.push_back(unterminated);
        unterminated = 0;
      }
    }
  };
  std::unordered_map<HWND, BoundedEdit> bounded_;
  // Appends to a bounded edit and lets its oldest lines go once a quarter more have come.
  void AppendBounded(const Control& control, const std::wstring& text);
  // The resolution the window is laid out for, and its fonts at that resolution.
  UINT dpi_ = 96;
  std::map<std::string, ui::ScopedFont> fonts_;
  DWORD style_ = 0;
  std::set<WPARAM> systemCommands_;
  platform::MessageFilter filter_;
  WNDPROC previousProcedure_ = nullptr;
  // The control id of the button Enter presses, 0 for none; set by Create().
  int defaultButtonId_ = 0;
};


}  // namespace corvane::win32::detail

// A window system held in memory, for tests. Windows are built from the same templates as the
// real ones; tests read the controls' state and drive the windows by raising the events a user
// would raise (clicks, item choices, menu choices).
//
// As on Windows, the windows belong to a window thread of their own: the system's. Every event a
// test raises is handled there, and every call of a window from another thread (the program's
// workers, the test) is carried out there while the caller waits. A modal window is freed once it
// is destroyed, when the window thread is done with what closed it: a pointer to it is dangling
// from then on (HeadlessWindowSystem::IsOpen tells).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/window.h"

namespace corvane::headless {

class HeadlessWindowSystem;

class HeadlessWindow : public platform::Window {
 public:
  HeadlessWindow(platform::WindowSpec layout, platform::EventHandler handler, bool main = false);
  friend class HeadlessWindowSystem;

  // platform::Window
  const platform::WindowSpec& Layout() const override { return spec_; }
  void SetTitle(const std::string& title) override;
  std::string Title() override;
  void Close() override;
  // On the window thread, while the window is open.
  void Invoke(const std::function<void()>& work) override;
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

  // --- what a user does ---
  // Each returns false (and changes nothing) when a user could not do it: the control or item is
  // disabled, or the window is closed.
  bool Click(const std::string& control);
  bool ChooseItem(const std::string& combo, int position);
  bool RightClick(const std::string& control);
  bool ClickColumn(const std::string& list, int column);
  bool PressMouse(const std::string& link);
  bool ChooseMenuItem(const std::string& item);
  // Chooses an item of the system menu: WM_SYSCOMMAND with its id, through the message filter.
  bool ChooseSystemCommand(int commandId);
  // The close item (WM_SYSCOMMAND SC_CLOSE, through the message filter).
  bool CloseByUser();
  // WM_COMMAND as another window or program may send it, through the message filter; a command
  // the filter passes on does nothing further here.
  bool SendCommand(uintptr_t wParam, intptr_t lParam = 0);
  // Typing replaces the text of an edit box; a check box click toggles it (Click does that too).
  bool Type(const std::string& control, const std::string& text);
  void SelectRows(const std::string& list, const std::vector<int>& rows);
  void Raise(const platform::Event& event);

  // --- what a test reads ---
  // Any thread, at once.
  bool closed();
  std::string lastPopupMenu();
  // How many batch operations (ReplaceRows, CellsOf) the window has served.
  int batchCalls();
  // The system menu from the top: the standard items (restore, move, size, minimize, maximize, a
  // separator, close) and what was appended.
  struct SystemMenuItem {
    int id = 0;
    std::string caption;  // empty for a separator
    bool checked = false;
  };
  std::vector<SystemMenuItem> systemMenuItems();
  bool hasMessageFilter();
  std::vector<std::string> ItemTexts(const std::string& combo);
  // Every row's cells, for assertions.
  std::vector<std::vector<std::string>> Rows(const std::string& list);
  // Names used that the template does not have; a test asserts this stays empty.
  std::vector<std::string> unknownNames();

 private:
  struct Row {
    std::vector<std::string> cells;
    intptr_t data = 0;
    bool selected = false;
  };
  struct Item {
    std::string text;
    intptr_t data = 0;
  };
  struct Control {
    platform::ControlSpec layout;
    std::string text;
    bool enabled = true;
    bool checked = false;
    std::vector<Item> items;
    int current = -1;
    std::vector<Row> rows;
    size_t lines = 0;         // a bounded edit's lines, the one that counts those that went aside
    size_t removedLines = 0;  // and those that went
  };

  // Runs `f` on the window thread (at once when called there) and returns its result.
  template <class F>
  auto OnThread(F&& f) -> decltype(f());

  Control* Find(const std::string& name);  // requires mutex_
  Control* FindOfKind(const std::string& name, platform::ControlKind kind);

  platform::WindowSpec spec_;
  platform::EventHandler handler_;
  std::recursive_mutex mutex_;
  std::string title_;
  std::atomic<bool> closed_{false};
  bool main_ = false;  // the main window asks its handler before it closes
  HeadlessWindowSystem* system_ = nullptr;  // set once, as the system creates the window
  std::map<std::string, Control> controls_;
  std::map<std::string, bool> menuItems_;
  std::string lastPopup_;
  std::vector<SystemMenuItem> systemMenu_;
  platform::MessageFilter filter_;
  std::vector<std::string> unknown_;
  int batchCalls_ = 0;
};

class HeadlessWindowSystem : public platform::WindowSystem {
 public:
  // Starts the window thread; the destructor ends it (calls still waiting for it then run nothing).
  HeadlessWindowSystem();
  ~HeadlessWindowSystem() override;
  HeadlessWindowSystem(const HeadlessWindowSystem&) = delete;
  HeadlessWindowSystem& operator=(const HeadlessWindowSystem&) = delete;

  platform::Window* CreateMainWindow(const platform::WindowSpec& layout, platform::EventHandler handler) override;
  int RunMessageLoop() override { return 0; }
  void OpenModal(const platform::WindowSpec& layout, platform::Window* owner, platform::EventHandler handler) override;
  void ProcessPendingEvents() override;
  int ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                     uint32_t flags) override;
  int32_t OpenInBrowser(const std::string& url) override;
  int32_t ShellOpen(const std::string& verb, const std::string& target, const std::string& parameters,
                    const std::string& directory, int showCommand) override;
  platform::Window* FindOwnMainWindow() override;

  std::thread::id windowThread() const;
  bool OnWindowThread() const;
  // Runs `work` on the window thread and waits for it; at once when called there. A call that
  // waits a minute is a deadlock: the test program stops with a message.
  void RunOnWindowThread(const std::function<void()>& work);
  template <class F>
  auto Marshal(F&& f) -> decltype(f()) {
    using Result = decltype(f());
    if constexpr (std::is_void_v<Result>) {
      RunOnWindowThread([&] { f(); });
    } else {
      std::optional<Result> result;
      RunOnWindowThread([&] { result.emplace(f()); });
      return result ? std::move(*result) : Result{};
    }
  }
  // True while `window` (which may be dangling) is one of the open windows.
  bool IsOpen(const HeadlessWindow* window);

  HeadlessWindow* mainWindow();
  // The most recently opened modal window that is still open, or null.
  HeadlessWindow* topModal();
  // OpenInBrowser requests, answered or not.
  std::vector<std::string> openedUrls();
  // The thread of each OpenInBrowser and ShellOpen request, in order.
  std::vector<std::thread::id> shellThreads();
  // Every message box shown, as "caption|text".
  std::vector<std::string> messageBoxes();
  // Every message box shown: its owner (null: the foreground window), text, caption and style.
  struct MessageBoxRecord {
    platform::Window* owner = nullptr;
    std::string text;
    std::string caption;
    uint32_t flags = 0;
  };
  std::vector<MessageBoxRecord> messageBoxRecords();
  // ShellOpen requests, answered or not, each "verb|target|parameters|directory|show command".
  std::vector<std::string> shellRequests();
  // What OpenInBrowser and ShellOpen answer from now on: 0 (started, at first) or the code of a
  // failure.
  void SetOpenResult(int32_t code);
  int pendingEventRounds();
  // How often FindOwnMainWindow was called.
  int mainWindowLookups();
  // Runs on every ProcessPendingEvents call: lets a test act "while the window processes events".
  void SetPendingEventsHook(std::function<void()> hook);
  // Runs after every user action (a click, a choice, a menu item, a close) once its handler has
  // returned: lets a test wait for the work the action started, as a user waits until the window
  // is no longer busy.
  void SetUserActionHook(std::function<void()> hook);
  void AfterUserAction();

 private:
  friend class HeadlessWindow;
  struct Task {
    const std::function<void()>* work = nullptr;
    bool done = false;
    std::exception_ptr error;
  };
  void Loop();
  // A destroyed modal window leaves the open windows; it is freed after the current task.
  void Retire(HeadlessWindow* window);

  std::mutex mutex_;
  std::vector<std::unique_ptr<HeadlessWindow>> windows_;
  std::vector<std::unique_ptr<HeadlessWindow>> retired_;
  std::vector<std::thread::id> shellThreads_;
  HeadlessWindow* main_ = nullptr;
  std::vector<std::string> urls_;
  std::vector<MessageBoxRecord> messageBoxRecords_;
  std::vector<std::string> shellRequests_;
  int32_t openResult_ = 0;
  int pendingRounds_ = 0;
  int mainWindowLookups_ = 0;
  std::function<void()> hook_;
  std::function<void()> userActionHook_;

  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::condition_variable taskDone_;
  std::deque<Task*> queue_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything above exists
};

template <class F>
auto HeadlessWindow::OnThread(F&& f) -> decltype(f()) {
  if (system_ == nullptr) return f();
  return system_->Marshal(std::forward<F>(f));
}

}  // namespace corvane::headless

// Win32 windows: the window procedure turns messages into events for the handler; work from other
// threads runs on the window thread.
#include "platform/win32/win32_window.h"

#include <algorithm>
#include <exception>
#include <vector>
#include <functional>
#include <mutex>
#include <string>

#include "platform/win32/win_controls.h"

namespace corvane::win32::detail {

// ---------------------------------------------------------------------------------------------
// Messages

void Win32Window::Raise(const Event& event) {
  try {
    if (handler_) handler_(*this, event);
  } catch (...) {
    // A handler's failure stays in the handler.
  }
}

namespace {

// The window system's own message loops running on this thread, and the windows whose queued
// calls wait for the message being handled (and any loop its handler entered) to end.
thread_local int t_ownLoops = 0;
thread_local std::vector<HWND> t_deferred;

}  // namespace

Win32Window* OwnWindowOf(HWND hwnd) {
  if (hwnd == nullptr || !IsWindow(hwnd)) return nullptr;
  wchar_t name[64];
  if (GetClassNameW(hwnd, name, 64) <= 0 || lstrcmpW(name, kWindowClass) != 0) return nullptr;
  return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

OwnMessageLoop::OwnMessageLoop() { ++t_ownLoops; }

OwnMessageLoop::~OwnMessageLoop() { --t_ownLoops; }

bool OwnMessageLoop::Serve(const MSG& msg) {
  if (msg.message == 0 || msg.message != InvokeMessage()) return false;
  if (Win32Window* window = OwnWindowOf(msg.hwnd)) window->ServeQueue();
  return true;
}

void OwnMessageLoop::ServeDeferred() {
  while (!t_deferred.empty()) {
    std::vector<HWND> windows;
    windows.swap(t_deferred);
    for (HWND hwnd : windows)
      if (Win32Window* window = OwnWindowOf(hwnd)) window->ServeQueue();
  }
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self != nullptr) self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->Handle(hwnd, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT Win32Window::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == InvokeMessage()) {
    OnInvoke();
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(reinterpret_cast<const NMHDR*>(lParam), &result)) return result;
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (HBRUSH brush = OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
        return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_SETCURSOR: {
      auto it = byHandle_.find(reinterpret_cast<HWND>(wParam));
      if (it != byHandle_.end() && it->second->layout->kind == ControlKind::LinkLabel) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    }
    case WM_DPICHANGED:
      // The new resolution in both words of wParam (the same for x and y), the rectangle the
      // system suggests at it in lParam.
      OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case DM_GETDEFID:
      // Asked by the dialog navigation when the user presses Enter.
      if (defaultButtonId_ != 0) return MAKELRESULT(defaultButtonId_, DC_HASDEFID);
      return 0;
    case WM_SYSCOMMAND:
      // Items of our own carry small ids: the whole value is the id, no low bits are masked.
      if (systemCommands_.count(wParam) != 0) {
        Raise(Event{EventKind::SystemCommand, "", static_cast<int>(wParam)});
        return 0;
      }
      break;
    case WM_CLOSE:
      // The main window's handler decides (it may have work to finish first); a modal window goes.
      if (modal_)
        DestroyNow();
      else
        Raise(Event{EventKind::CloseRequested, "", 0});
      return 0;
    case WM_DESTROY:
      closed_ = true;
      DropQueue();
      Raise(Event{EventKind::Destroying, "", 0});
      if (modal_)
        // The modal loop waits in GetMessageW, which returns only for a posted message.
        PostThreadMessageW(thread_, WM_NULL, 0, 0);
      else
        PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool Win32Window::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT code = HIWORD(wParam);
  if (lParam == 0 && modal_ && wParam == IDCANCEL) {
    // Escape in a modal window: it closes, as a dialog box does.
    DestroyNow();
    return true;
  }
  if (lParam == 0) {
    // A menu (0) or an accelerator (1).
    if (code > 1) return false;
    auto it = menuCommands_.find(LOWORD(wParam));
    if (it == menuCommands_.end()) return false;
    const std::string item = it->second;
    Raise(Event{EventKind::MenuChosen, item, 0});
    return true;
  }
  auto it = byHandle_.find(reinterpret_cast<HWND>(lParam));
  if (it == byHandle_.end()) return false;
  const Control& control = *it->second;
  const ControlKind kind = control.layout->kind;
  if (IsButtonKind(kind) && code == BN_CLICKED) {
    Raise(Event{EventKind::Clicked, control.layout->name, 0});
    return true;
  }
  if (kind == ControlKind::ComboBox && code == CBN_SELCHANGE) {
    Raise(Event{EventKind::ItemChosen, control.layout->name, ui::combo::Current(control.hwnd)});
    return true;
  }
  if (kind == ControlKind::LinkLabel && code == STN_CLICKED) {
    Raise(Event{EventKind::MouseDown, control.layout->name, 0});
    return true;
  }
  return false;
}

bool Win32Window::OnNotify(const NMHDR* header, LRESULT* result) {
  if (header == nullptr) return false;
  auto it = byHandle_.find(header->hwndFrom);
  if (it == byHandle_.end() || it->second->layout->kind != ControlKind::ListView) return false;
  const std::string& name = it->second->layout->name;
  switch (header->code) {
    case static_cast<UINT>(LVN_GETDISPINFOW):
      OnListDisplayInfo(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
      *result = 0;
      return true;
    case static_cast<UINT>(LVN_ODFINDITEMW):
      *result = OnListFindItem(reinterpret_cast<const NMLVFINDITEMW*>(header));
      return true;
    case static_cast<UINT>(LVN_DELETEALLITEMS):
      // A list being emptied need not tell of every row it drops (one LVN_DELETEITEM each).
      *result = TRUE;
      return true;
    case static_cast<UINT>(NM_RCLICK):
      Raise(Event{EventKind::RightClicked, name, 0});
      return false;
    case static_cast<UINT>(LVN_COLUMNCLICK):
      Raise(Event{EventKind::ColumnClicked, name, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem});
      return false;
    default:
      return false;
  }
}

HBRUSH Win32Window::OnControlColor(HDC dc, HWND hwnd) {
  auto it = byHandle_.find(hwnd);
  if (it == byHandle_.end()) return nullptr;
  const Control& control = *it->second;
  if (IsLabelKind(control.layout->kind)) {
    SetBkMode(dc, TRANSPARENT);
    if (control.layout->kind == ControlKind::LinkLabel) SetTextColor(dc, kLinkColor);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  if (control.background != nullptr) {
    SetBkColor(dc, control.backgroundColor);
    return control.background;
  }
  return nullptr;
}

void Win32Window::RepaintUnder(HWND control) const {
  HWND window = hwnd_.load();
  RECT area;
  if (window == nullptr || !GetWindowRect(control, &area)) return;
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
  RedrawWindow(window, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}


// ---------------------------------------------------------------------------------------------
// Running work on the window thread, and name lookups

UINT InvokeMessage() {
  static const UINT message = RegisterWindowMessageW(L"Corvane.RunOnWindowThread");
  return message;
}

void Win32Window::Run(const std::function<void()>& work) {
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  if (GetCurrentThreadId() == thread_) {
    work();
    return;
  }
  const UINT message = InvokeMessage();
  if (message == 0) return;
  InvokeCall call;
  call.work = &work;
  std::unique_lock lock(queueMutex_);
  if (queueClosed_) return;
  queue_.push_back(&call);
  ++callers_;
  // The message only wakes the window; a wake-up lost to a full queue is made up by the next one.
  PostMessageW(hwnd, message, 0, 0);
  queueServed_.wait(lock, [&] { return call.done; });
  --callers_;
  queueServed_.notify_all();
  lock.unlock();
  if (call.error) std::rethrow_exception(call.error);
}

void Win32Window::OnInvoke() {
  // The window system's loops serve the queue themselves. A wake-up that reaches the procedure
  // came from a loop that a handler entered (a menu, a message box, a click being tracked): the
  // calls wait until the handler has returned to the loop. A thread that runs none of those loops
  // (a test's own) is served here.
  if (t_ownLoops == 0) {
    ServeQueue();
    return;
  }
  HWND hwnd = hwnd_.load();
  if (hwnd != nullptr && std::find(t_deferred.begin(), t_deferred.end(), hwnd) == t_deferred.end())
    t_deferred.push_back(hwnd);
}

void Win32Window::ServeQueue() {
  for (;;) {
    InvokeCall* call = nullptr;
    {
      std::lock_guard lock(queueMutex_);
      if (queue_.empty()) return;
      call = queue_.front();
      queue_.pop_front();
    }
    try {
      (*call->work)();
    } catch (...) {
      call->error = std::current_exception();
    }
    std::lock_guard lock(queueMutex_);
    call->done = true;
    queueServed_.notify_all();
  }
}

void Win32Window::DropQueue() {
  std::lock_guard lock(queueMutex_);
  queueClosed_ = true;
  for (InvokeCall* call : queue_) call->done = true;
  queue_.clear();
  queueServed_.notify_all();
}

const Win32Window::Control* Win32Window::Find(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : &it->second;
}

const Win32Window::Control* Win32Window::FindOfKind(const std::string& name, ControlKind kind) const {
  const Control* control = Find(name);
  return control != nullptr && control->layout->kind == kind ? control : nullptr;
}

const Win32Window::MenuItem* Win32Window::FindMenuItem(const std::string& name) const {
  auto it = menuItems_.find(name);
  return it == menuItems_.end() ? nullptr : &it->second;
}

HWND Win32Window::ControlHandle(const std::string& name) const {
  const Control* control = Find(name);
  return control == nullptr ? nullptr : control->hwnd;
}

HMENU Win32Window::MenuHandle(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second.Get();
}

UINT Win32Window::MenuCommand(const std::string& item) const {
  const MenuItem* found = FindMenuItem(item);
  return found == nullptr ? 0 : found->command;
}

}  // namespace corvane::win32::detail

// The Win32 window system. Each window is a top-level window of one registered class whose
// procedure routes control notifications to the window's event handler by control name.
//
// Threads: a window belongs to the thread that created it. Every operation of platform::Window
// runs on that thread: inline when called there, otherwise as a function sent with a private
// message (SendMessageW waits for it, so a compound operation such as an append stays whole and
// its result comes back to the caller).

#include "platform/win32/window_system.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/win32/scoped_gdi.h"
#include "platform/win32/win_controls.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system_native.h"

namespace corvane::win32 {

namespace {

using platform::ControlKind;
using platform::ControlSpec;
using platform::Event;
using platform::EventKind;

constexpr wchar_t kWindowClass[] = L"CorvaneWindow";
constexpr wchar_t kDefaultFace[] = L"MS Shell Dlg 2";
constexpr int kDefaultPoints = 9;
// lParam: an InvokeCall; the window thread runs its work.
constexpr UINT kInvokeMessage = WM_APP + 1;
constexpr int kFirstControlId = 1000;
constexpr UINT kFirstMenuCommand = 40001;
// Height of a drop-down list box with its list dropped.
constexpr int kDroppedComboHeight = 200;
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
// Group boxes may hold group boxes; a template that names a cycle stops here.
constexpr int kMaxGroupDepth = 16;

struct InvokeCall {
  const std::function<void()>* work = nullptr;
  std::exception_ptr error;
};

bool IsButtonKind(ControlKind kind) {
  return kind == ControlKind::Button || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

bool IsEditKind(ControlKind kind) { return kind == ControlKind::Edit || kind == ControlKind::MultiLineEdit; }

bool IsLabelKind(ControlKind kind) { return kind == ControlKind::Label || kind == ControlKind::LinkLabel; }

bool IsOwnWindow(HWND hwnd) {
  wchar_t name[64];
  const int length = GetClassNameW(hwnd, name, 64);
  return length > 0 && lstrcmpW(name, kWindowClass) == 0;
}

// Keyboard navigation (tab between controls) for our windows, then the usual dispatch.
void DispatchOne(MSG& msg) {
  if (msg.hwnd != nullptr) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root != nullptr && IsOwnWindow(root) && IsDialogMessageW(root, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

class Win32Window final : public platform::Window {
 public:
  Win32Window(platform::WindowSpec layout, platform::EventHandler handler, HWND owner, bool modal)
      : spec_(std::move(layout)), handler_(std::move(handler)), owner_(owner), modal_(modal) {}
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the window with its controls and menus on the calling thread and shows it.
  bool Create();
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
  void SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) override;
  void SetMenuItemEnabled(const std::string& item, bool enabled) override;
  bool IsMenuItemEnabled(const std::string& item) override;
  void PopupMenu(const std::string& menu) override;
  void AppendSystemMenuItem(int commandId, const std::string& caption) override;

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
  static int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM compare);
  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(WPARAM wParam, LPARAM lParam);
  void OnNotify(const NMHDR* header);
  HBRUSH OnControlColor(HDC dc, HWND control);

  void CreateControls();
  void CreateMenus();
  HFONT FontFor(const ControlSpec& layout);
  POINT PositionOf(const ControlSpec& layout) const;
  // Runs `work` on the window thread and waits for it; nothing when the window is gone.
  void Run(const std::function<void()>& work);
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

  // Filled by Create() and unchanged afterwards, so any thread may look names up.
  std::map<std::string, Control> controls_;
  std::unordered_map<HWND, const Control*> byHandle_;
  std::map<std::string, ui::ScopedFont> fonts_;
  std::vector<ui::ScopedBrush> brushes_;
  std::map<std::string, ui::ScopedMenu> menus_;
  std::map<std::string, MenuItem> menuItems_;
  std::map<UINT, std::string> menuCommands_;
  // Window thread only.
  std::set<WPARAM> systemCommands_;
};

void Win32Window::RegisterWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Window::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
  });
}

// ---------------------------------------------------------------------------------------------
// Creation and destruction

Win32Window::~Win32Window() {
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  // The object goes first: the window must not reach it any more, nor raise events.
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (GetCurrentThreadId() == thread_)
    DestroyWindow(hwnd);
  else
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool Win32Window::Create() {
  RegisterWindowClass();
  thread_ = GetCurrentThreadId();
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  if (!modal_) style |= WS_MINIMIZEBOX;
  // The procedure finds this object through the creation parameter (WM_NCCREATE).
  HWND hwnd = CreateWindowExW(0, kWindowClass, ui::WideFromGbk(spec_.caption).c_str(), style, spec_.x, spec_.y,
                              spec_.width, spec_.height, owner_, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) return false;
  CreateControls();
  CreateMenus();
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  return true;
}

POINT Win32Window::PositionOf(const ControlSpec& layout) const {
  POINT at{layout.x, layout.y};
  const ControlSpec* group = layout.parent.empty() ? nullptr : spec_.Find(layout.parent);
  for (int depth = 0; group != nullptr && depth < kMaxGroupDepth; ++depth) {
    at.x += group->x;
    at.y += group->y;
    group = group->parent.empty() ? nullptr : spec_.Find(group->parent);
  }
  return at;
}

HFONT Win32Window::FontFor(const ControlSpec& layout) {
  const int points = layout.fontPoints > 0 ? layout.fontPoints : kDefaultPoints;
  const std::string key = layout.font + "|" + std::to_string(points);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    // A named face is a Chinese one: asking for its character set keeps the mapper on Chinese
    // faces where the named one is missing.
    HFONT font = layout.font.empty() ? ui::CreatePointFont(kDefaultFace, points, DEFAULT_CHARSET)
                                   : ui::CreatePointFont(ui::WideFromGbk(layout.font), points, GB2312_CHARSET);
    it = fonts_.emplace(key, ui::ScopedFont(font)).first;
  }
  return it->second.Get();
}

void Win32Window::CreateControls() {
  HWND window = hwnd_.load();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  int id = kFirstControlId;
  const ControlSpec* previous = nullptr;
  for (const ControlSpec& layout : spec_.controls) {
    const POINT at = PositionOf(layout);
    int height = layout.height;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    const wchar_t* className = WC_STATICW;
    // A run of radio buttons forms one group: it starts a group and so does what follows it.
    const bool radio = layout.kind == ControlKind::RadioButton;
    if (previous == nullptr || radio != (previous->kind == ControlKind::RadioButton)) style |= WS_GROUP;

    switch (layout.kind) {
      case ControlKind::Label:
        style |= SS_LEFT | SS_CENTERIMAGE;
        break;
      case ControlKind::LinkLabel:
        style |= SS_LEFT | SS_CENTERIMAGE | SS_NOTIFY;
        break;
      case ControlKind::Button:
        className = WC_BUTTONW;
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::CheckBox:
        className = WC_BUTTONW;
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
      case ControlKind::RadioButton:
        className = WC_BUTTONW;
        style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
        break;
      case ControlKind::GroupBox:
        className = WC_BUTTONW;
        style |= BS_GROUPBOX;
        break;
      case ControlKind::ComboBox:
        className = WC_COMBOBOXW;
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        if (height < kDroppedComboHeight) height = kDroppedComboHeight;
        break;
      case ControlKind::Edit:
        className = WC_EDITW;
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::MultiLineEdit:
        className = WC_EDITW;
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::IpAddress:
        className = WC_IPADDRESSW;
        style |= WS_TABSTOP;
        break;
      case ControlKind::ListView:
        className = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    }
    if (layout.verticalScroll) style |= WS_VSCROLL;
    if (layout.readOnly && IsEditKind(layout.kind)) style |= ES_READONLY;

    const bool textAtCreation = layout.kind != ControlKind::IpAddress && layout.kind != ControlKind::ComboBox &&
                                layout.kind != ControlKind::ListView;
    const std::wstring text = textAtCreation ? ui::WideFromGbk(layout.text) : std::wstring();
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), style, at.x, at.y, layout.width, height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    ++id;
    previous = &layout;
    if (control == nullptr) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout)), FALSE);

    Control entry;
    entry.layout = &layout;
    entry.hwnd = control;
    if (layout.background >= 0) {
      entry.backgroundColor = static_cast<COLORREF>(layout.background);
      brushes_.emplace_back(CreateSolidBrush(entry.backgroundColor));
      entry.background = brushes_.back().Get();
    }

    switch (layout.kind) {
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        if (layout.checked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        break;
      case ControlKind::Edit:
      case ControlKind::MultiLineEdit:
        ui::edit::RemoveTextLimit(control);
        break;
      case ControlKind::IpAddress:
        if (!layout.text.empty()) ui::ipaddress::SetText(control, ui::WideFromGbk(layout.text));
        break;
      case ControlKind::ListView: {
        const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
        SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        int column = 0;
        for (const auto& c : layout.columns) ui::listview::InsertColumn(control, column++, ui::WideFromGbk(c.title), c.width);
        break;
      }
      default:
        break;
    }

    auto placed = controls_.insert_or_assign(layout.name, entry).first;
    byHandle_[control] = &placed->second;
  }
}

void Win32Window::CreateMenus() {
  UINT command = kFirstMenuCommand;
  for (const auto& menuSpec : spec_.menus) {
    ui::ScopedMenu menu(CreatePopupMenu());
    if (menu.Get() == nullptr) continue;
    for (const auto& item : menuSpec.items) {
      if (item.separator) {
        AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        continue;
      }
      AppendMenuW(menu.Get(), MF_STRING, command, ui::WideFromGbk(item.name).c_str());
      menuItems_[item.name] = MenuItem{menu.Get(), command};
      menuCommands_[command] = item.name;
      ++command;
    }
    menus_[menuSpec.name] = std::move(menu);
  }
}

void Win32Window::DestroyNow() {
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  // The owner first: enabled before this window goes, it is the one that gets activated.
  if (modal_ && owner_ != nullptr) EnableWindow(owner_, TRUE);
  DestroyWindow(hwnd);
}

// ---------------------------------------------------------------------------------------------
// Messages

void Win32Window::Raise(const Event& event) {
  try {
    if (handler_) handler_(*this, event);
  } catch (...) {
    // A handler's failure stays in the handler.
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
  switch (message) {
    case kInvokeMessage: {
      auto* call = reinterpret_cast<InvokeCall*>(lParam);
      try {
        (*call->work)();
      } catch (...) {
        call->error = std::current_exception();
      }
      return 0;
    }
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<const NMHDR*>(lParam));
      break;
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
    case WM_SYSCOMMAND:
      // Items of our own carry small ids: the whole value is the id, no low bits are masked.
      if (systemCommands_.count(wParam) != 0) {
        Raise(Event{EventKind::SystemCommand, "", static_cast<int>(wParam)});
        return 0;
      }
      break;
    case WM_CLOSE:
      DestroyNow();
      return 0;
    case WM_DESTROY:
      closed_ = true;
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

void Win32Window::OnNotify(const NMHDR* header) {
  if (header == nullptr) return;
  auto it = byHandle_.find(header->hwndFrom);
  if (it == byHandle_.end() || it->second->layout->kind != ControlKind::ListView) return;
  const std::string& name = it->second->layout->name;
  if (header->code == static_cast<UINT>(NM_RCLICK)) {
    Raise(Event{EventKind::RightClicked, name, 0});
  } else if (header->code == static_cast<UINT>(LVN_COLUMNCLICK)) {
    const auto* list = reinterpret_cast<const NMLISTVIEW*>(header);
    Raise(Event{EventKind::ColumnClicked, name, list->iSubItem});
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

int CALLBACK Win32Window::CompareRows(LPARAM a, LPARAM b, LPARAM compare) {
  try {
    const auto& function = *reinterpret_cast<const std::function<int(intptr_t, intptr_t)>*>(compare);
    return function(static_cast<intptr_t>(a), static_cast<intptr_t>(b));
  } catch (...) {
    return 0;
  }
}

void Win32Window::RepaintUnder(HWND control) const {
  HWND window = hwnd_.load();
  RECT area;
  if (window == nullptr || !GetWindowRect(control, &area)) return;
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
  RedrawWindow(window, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// ---------------------------------------------------------------------------------------------
// Operations

void Win32Window::Run(const std::function<void()>& work) {
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  if (GetCurrentThreadId() == thread_) {
    work();
    return;
  }
  InvokeCall call;
  call.work = &work;
  SendMessageW(hwnd, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&call));
  if (call.error) std::rethrow_exception(call.error);
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
        ui::ipaddress::SetText(c->hwnd, wide);
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
        text = ui::GbkFromWide(ui::ipaddress::Text(c->hwnd));
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

void Win32Window::SortRows(const std::string& control, const std::function<int(intptr_t, intptr_t)>& compare) {
  Run([&] {
    const Control* c = FindOfKind(control, ControlKind::ListView);
    if (c == nullptr || !compare) return;
    // LVM_SORTITEMS: the application value is the comparison, the callback calls it.
    SendMessageW(c->hwnd, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&compare),
                 reinterpret_cast<LPARAM>(&Win32Window::CompareRows));
  });
}

void Win32Window::SetMenuItemEnabled(const std::string& item, bool enabled) {
  Run([&] {
    if (const MenuItem* m = FindMenuItem(item))
      EnableMenuItem(m->menu, m->command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  });
}

bool Win32Window::IsMenuItemEnabled(const std::string& item) {
  bool enabled = false;
  Run([&] {
    if (const MenuItem* m = FindMenuItem(item)) {
      const UINT state = GetMenuState(m->menu, m->command, MF_BYCOMMAND);
      enabled = state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
    }
  });
  return enabled;
}

void Win32Window::PopupMenu(const std::string& menu) {
  Run([&] {
    HMENU popup = MenuHandle(menu);
    HWND hwnd = hwnd_.load();
    if (popup == nullptr || hwnd == nullptr) return;
    POINT at{};
    GetCursorPos(&at);
    // The window in front, and a message after the menu: otherwise the menu may not close when
    // the user clicks elsewhere.
    SetForegroundWindow(hwnd);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
    PostMessageW(hwnd, WM_NULL, 0, 0);
  });
}

void Win32Window::AppendSystemMenuItem(int commandId, const std::string& caption) {
  Run([&] {
    HMENU system = GetSystemMenu(hwnd_.load(), FALSE);
    if (system == nullptr) return;
    const UINT_PTR id = static_cast<UINT_PTR>(commandId);
    if (caption.empty())
      AppendMenuW(system, MF_SEPARATOR, id, nullptr);
    else
      AppendMenuW(system, MF_STRING, id, ui::WideFromGbk(caption).c_str());
    systemCommands_.insert(static_cast<WPARAM>(commandId));
  });
}

// ---------------------------------------------------------------------------------------------
// The window system

class Win32WindowSystem final : public platform::WindowSystem {
 public:
  platform::Window* CreateMainWindow(const platform::WindowSpec& layout, platform::EventHandler handler) override;
  int RunMessageLoop() override;
  void OpenModal(const platform::WindowSpec& layout, platform::Window* owner, platform::EventHandler handler) override;
  void ProcessPendingEvents() override;
  int ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                     uint32_t flags) override;
  void OpenInBrowser(const std::string& url) override;

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Win32Window>> mainWindows_;
};

HWND HandleOf(platform::Window* window) {
  auto* own = dynamic_cast<Win32Window*>(window);
  return own == nullptr ? nullptr : own->hwnd();
}

platform::Window* Win32WindowSystem::CreateMainWindow(const platform::WindowSpec& layout,
                                                      platform::EventHandler handler) {
  auto window = std::make_unique<Win32Window>(layout, std::move(handler), nullptr, false);
  Win32Window* created = window.get();
  {
    std::lock_guard lock(mutex_);
    mainWindows_.push_back(std::move(window));
  }
  if (created->Create()) created->Raise(Event{EventKind::Created, "", 0});
  return created;
}

int Win32WindowSystem::RunMessageLoop() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return -1;
    DispatchOne(msg);
  }
}

void Win32WindowSystem::OpenModal(const platform::WindowSpec& layout, platform::Window* owner,
                                  platform::EventHandler handler) {
  HWND ownerHandle = HandleOf(owner);
  auto window = std::make_unique<Win32Window>(layout, std::move(handler), ownerHandle, true);
  if (ownerHandle != nullptr) EnableWindow(ownerHandle, FALSE);
  if (window->Create()) {
    window->Raise(Event{EventKind::Created, "", 0});
    MSG msg{};
    while (!window->closed()) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The application is ending: leave the quit for the outer loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got == -1) break;
      DispatchOne(msg);
    }
    window->DestroyNow();
  }
  if (ownerHandle != nullptr) {
    EnableWindow(ownerHandle, TRUE);
    SetForegroundWindow(ownerHandle);
  }
}

void Win32WindowSystem::ProcessPendingEvents() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchOne(msg);
  }
}

int Win32WindowSystem::ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                                      uint32_t flags) {
  return MessageBoxW(HandleOf(owner), ui::WideFromGbk(text).c_str(), ui::WideFromGbk(caption).c_str(), flags);
}

void Win32WindowSystem::OpenInBrowser(const std::string& url) {
  ShellExecuteW(nullptr, L"open", ui::WideFromGbk(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

std::unique_ptr<platform::WindowSystem> MakeWindowSystem() { return std::make_unique<Win32WindowSystem>(); }

HWND NativeWindowHandle(platform::Window& window) { return HandleOf(&window); }

HWND NativeControlHandle(platform::Window& window, const std::string& control) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? nullptr : own->ControlHandle(control);
}

HMENU NativeMenuHandle(platform::Window& window, const std::string& menu) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? nullptr : own->MenuHandle(menu);
}

UINT NativeMenuCommandId(platform::Window& window, const std::string& item) {
  auto* own = dynamic_cast<Win32Window*>(&window);
  return own == nullptr ? 0 : own->MenuCommand(item);
}

}  // namespace corvane::win32

// Win32 windows: the window class, creating a window with its controls and menus from a layout,
// and destroying it.
#include "platform/win32/win32_window.h"

#include <mutex>
#include <string>

#include "platform/win32/win_controls.h"
#include "platform/win32/win_dpi.h"
#include "platform/win32/win_text.h"

namespace corvane::win32::detail {

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
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const LPCWSTR icon = MAKEINTRESOURCEW(kIconResourceId);
    wc.hIcon = LoadIconW(instance, icon);
    if (wc.hIcon == nullptr) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, icon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
  });
}

// ---------------------------------------------------------------------------------------------
// Creation and destruction

Win32Window::~Win32Window() {
  {
    // Callers let go by the window's end are still leaving Run(): the object waits for them.
    DropQueue();
    std::unique_lock lock(queueMutex_);
    queueServed_.wait(lock, [&] { return callers_ == 0; });
  }
  HWND hwnd = hwnd_.load();
  if (hwnd == nullptr) return;
  // The object goes first: the window must not reach it any more, nor raise events.
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (GetCurrentThreadId() == thread_)
    DestroyWindow(hwnd);
  else
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool Win32Window::Create(const std::function<void()>& between) {
  RegisterWindowClass();
  thread_ = GetCurrentThreadId();
  style_ = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  if (!modal_) style_ |= WS_MINIMIZEBOX;
  // Made at the system DPI; on a monitor of another one it takes that monitor's size at once.
  dpi_ = ui::SystemDpi();
  const RECT outer = WindowRectAt(dpi_);
  // The procedure finds this object through the creation parameter (WM_NCCREATE).
  HWND hwnd = CreateWindowExW(0, kWindowClass, ui::WideFromGbk(spec_.caption).c_str(), style_, outer.left, outer.top,
                              outer.right - outer.left, outer.bottom - outer.top, owner_, nullptr,
                              GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) return false;
  if (const UINT dpi = ui::DpiOfWindow(hwnd); dpi != dpi_) {
    dpi_ = dpi;
    const RECT resized = WindowRectAt(dpi_);
    SetWindowPos(hwnd, nullptr, resized.left, resized.top, resized.right - resized.left, resized.bottom - resized.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CreateControls(between);
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
    HFONT font = layout.font.empty()
                     ? ui::CreatePointFont(kDefaultFace, points, DEFAULT_CHARSET, dpi_)
                     : ui::CreatePointFont(ui::WideFromGbk(layout.font), points, GB2312_CHARSET, dpi_);
    it = fonts_.emplace(key, ui::ScopedFont(font)).first;
  }
  return it->second.Get();
}

void Win32Window::SetControlFont(HWND control, const ControlSpec& layout) {
  HFONT font = FontFor(layout);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // The four fields of an IP address control are edit boxes of their own, which not every
  // system's control passes its font on to.
  if (layout.kind == ControlKind::IpAddress)
    for (HWND field = GetWindow(control, GW_CHILD); field != nullptr; field = GetWindow(field, GW_HWNDNEXT))
      SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void Win32Window::CreateControls(const std::function<void()>& between) {
  HWND window = hwnd_.load();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  int id = kFirstControlId;
  const ControlSpec* previous = nullptr;
  for (const ControlSpec& layout : spec_.controls) {
    const RECT at = ControlRectAt(layout, dpi_);
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
        style |= (layout.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
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
        // Virtual: the window holds the rows (window_list.cpp).
        style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    }
    if (layout.verticalScroll) style |= WS_VSCROLL;
    if (layout.readOnly && IsEditKind(layout.kind)) style |= ES_READONLY;

    const bool textAtCreation = layout.kind != ControlKind::IpAddress && layout.kind != ControlKind::ComboBox &&
                                layout.kind != ControlKind::ListView;
    const std::wstring text = textAtCreation ? ui::WideFromGbk(layout.text) : std::wstring();
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), style, at.left, at.top, at.right - at.left,
                                   at.bottom - at.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   instance, nullptr);
    ++id;
    previous = &layout;
    if (control == nullptr) continue;
    SetControlFont(control, layout);

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
        if (!layout.text.empty()) ui::ipaddress::SetText(control, layout.text);
        break;
      case ControlKind::ListView: {
        const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
        SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        int column = 0;
        for (const auto& c : layout.columns)
          ui::listview::InsertColumn(control, column++, ui::WideFromGbk(c.title), Scaled(c.width));
        lists_[control];
        break;
      }
      default:
        break;
    }

    if (layout.kind == ControlKind::Button && layout.defaultButton) defaultButtonId_ = GetDlgCtrlID(control);
    auto placed = controls_.insert_or_assign(layout.name, entry).first;
    byHandle_[control] = &placed->second;
    if (between) between();
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

}  // namespace corvane::win32::detail

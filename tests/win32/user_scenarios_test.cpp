// The program as a user meets it: the application object over the real Win32 windows and the
// demo's simulated machine, driven by real mouse and keyboard input (SendInput at the controls'
// screen positions) and checked by reading the real controls.
//
// The test thread is the window thread: it pumps messages, so the handlers, the modal add window
// and the pop-up menu run as they do in the program. The user is a second thread that sends input
// and reads the controls (each read crosses to the window thread). A failing scenario saves a
// bitmap of the screen under build/test-logs/.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/window_layouts.h"
#include "info/about_box.h"
#include "info/system_menu.h"
#include "common/text.h"
#include "platform/sim/machine.h"
#include "platform/win32/services.h"
#include "platform/win32/win_controls.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"

namespace corvane {
namespace {

namespace mw = app::main_window;
namespace aw = app::add_window;
namespace td = app::tcpip_dialog;
using Strings = std::vector<std::string>;

// --- input -------------------------------------------------------------------------------------

void MoveMouse(POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((static_cast<LONGLONG>(screen.x) * 65535 + (width - 1) / 2) / (width - 1));
  input.mi.dy = static_cast<LONG>((static_cast<LONGLONG>(screen.y) * 65535 + (height - 1) / 2) / (height - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
}

void Key(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void Settle() { Sleep(60); }

void Press(WORD vk, std::vector<WORD> modifiers = {}) {
  for (WORD m : modifiers) Key(m, false);
  Key(vk, false);
  Key(vk, true);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) Key(*it, true);
  Settle();
}

// Typed as characters; a line break as the Enter key.
void Type(const std::string& gbk) {
  for (wchar_t c : win32::ui::WideFromGbk(gbk)) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      Press(VK_RETURN);
      continue;
    }
    INPUT input[2]{};
    for (int i = 0; i < 2; ++i) {
      input[i].type = INPUT_KEYBOARD;
      input[i].ki.wScan = c;
      input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, input, sizeof(INPUT));
  }
  Settle();
}

// A click of `button` at a point of the window (client coordinates; -1: the centre), with the
// modifier keys held.
void ClickAt(HWND hwnd, int x = -1, int y = -1, bool right = false, std::vector<WORD> modifiers = {}) {
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT at{x >= 0 ? x : (client.right / 2), y >= 0 ? y : (client.bottom / 2)};
  ClientToScreen(hwnd, &at);
  MoveMouse(at);
  Settle();
  for (WORD m : modifiers) Key(m, false);
  INPUT press[2]{};
  press[0].type = press[1].type = INPUT_MOUSE;
  press[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  press[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(2, press, sizeof(INPUT));
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) Key(*it, true);
  Settle();
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

// The window thread has taken a click: its keyboard focus is on `control`. Keys typed before that
// would go to the control that had the focus when they were sent.
bool HasFocus(HWND control) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) && info.hwndFocus == control;
}

// The window thread is in a menu's loop. Wine 8 reports GUI_INMENUMODE there, for a pop-up menu
// and the system menu alike; it sets neither GUI_POPUPMENUMODE nor GUI_SYSTEMMENUMODE.
bool InMenuMode(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && (info.flags & GUI_INMENUMODE) != 0;
}

// The window is in front and its thread has taken the activation: keys go to it now.
bool IsActive(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetForegroundWindow() == window &&
         GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndActive == window;
}
bool Activate(HWND window) {
  if (!IsActive(window)) SetForegroundWindow(window);
  return WaitFor([&] { return IsActive(window); });
}

// Saves the whole screen as a bitmap file.
void SaveScreen(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info, sizeof info, &written, nullptr);
  WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(out);
}

// build/test-logs, beside the build folder the test program lies in.
std::string TestLogFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder = folder.substr(0, folder.find_last_of("\\/"));  // build/win64-test
  folder = folder.substr(0, folder.find_last_of("\\/")) + "\\test-logs";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// --- the program under a user's hands ------------------------------------------------------------

class UserScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    program = std::make_unique<program::Application>(services);
    program->Start();
    // Started: the busy state is over and the report's last line is logged.
    const auto startedUp = [&] { return Idle() && HasLogged("最大传输单元") ; };
    Pump(startedUp);
    ASSERT_TRUE(startedUp()) << "the start-up fill did not end";
    SetForegroundWindow(MainHandle());
  }

  void TearDown() override {
    if (HasFailure()) {
      const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
      SaveScreen(TestLogFolder() + "\\" + info->test_suite_name() + "." + info->name() + ".bmp");
    }
    // Workers still running need the window thread to finish their window calls.
    std::atomic<bool> done{false};
    std::thread waiter([&] {
      machine->WaitForThreads();
      done = true;
    });
    Pump([&] { return done.load(); }, 60000);
    waiter.join();
    Main().Close();
    // Closing the main window posts the quit; take it off the queue so the next scenario's loops
    // do not see it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Pumps the window thread's messages until `until` holds or the time is up.
  void Pump(const std::function<bool()>& until, int milliseconds = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!until() && std::chrono::steady_clock::now() < end) {
      windows->ProcessPendingEvents();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  // Runs the user's part on a thread of its own while this thread serves the windows.
  void AsUser(const std::function<void()>& script, int milliseconds = 120000) {
    std::atomic<bool> done{false};
    std::thread user([&] {
      script();
      // A part that failed half-way may leave a window or a menu open, whose loop would hold the
      // window thread: closed.
      if (::testing::Test::HasFailure()) CloseWhatIsOpen();
      done = true;
    });
    Pump([&] { return done.load(); }, milliseconds);
    if (!done) {
      ADD_FAILURE() << "the user's part did not end";
      // Whatever holds the user up (a modal loop, a menu) ends with the main window.
      if (HWND main = MainHandle()) PostMessageW(main, WM_CLOSE, 0, 0);
      Pump([&] { return done.load(); }, 10000);
    }
    user.join();
  }

  void CloseWhatIsOpen() {
    HWND main = MainHandle();
    if (InMenuMode(main)) Press(VK_ESCAPE);
    EnumThreadWindows(
        GetWindowThreadProcessId(main, nullptr),
        [](HWND hwnd, LPARAM mainWindow) {
          if (hwnd != reinterpret_cast<HWND>(mainWindow) && IsWindowVisible(hwnd)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(main));
  }

  platform::Window& Main() { return *program->context().window; }
  HWND MainHandle() { return win32::NativeWindowHandle(Main()); }
  HWND Control(const char* name) { return win32::NativeControlHandle(Main(), name); }

  // Not busy: the refresh button and the selector are enabled.
  bool Idle() { return Main().IsEnabled(mw::kRefreshButton) && Main().IsEnabled(mw::kSelector); }

  Strings Log() {
    Strings messages;
    for (const std::string& line : text::Split(Main().Text(mw::kLog), "\r\n")) {
      const int colon = text::Find(line, "：");
      messages.push_back(colon > 0 ? text::Middle(line, colon + 2) : line);
    }
    return messages;
  }
  bool Logged(const std::string& message) {
    for (const std::string& line : Log())
      if (line == message) return true;
    return false;
  }

  Strings Column(int column) {
    Strings cells;
    for (int row = 0; row < Main().RowCount(mw::kAddressList); ++row)
      cells.push_back(Main().Cell(mw::kAddressList, row, column));
    return cells;
  }
  int RowOf(const std::string& address) {
    const Strings addresses = Column(1);
    for (size_t i = 0; i < addresses.size(); ++i)
      if (addresses[i] == address) return static_cast<int>(i);
    return -1;
  }

  // The centre of a row of the address list, in the list's client coordinates.
  POINT RowPoint(int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageW(Control(mw::kAddressList), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return POINT{rect.left + 20, (rect.top + rect.bottom) / 2};
  }
  void ClickRow(int row, std::vector<WORD> modifiers = {}) {
    const POINT at = RowPoint(row);
    ClickAt(Control(mw::kAddressList), at.x, at.y, false, modifiers);
  }

  // Opens a menu of the main window with `open` and, once the window thread is in the menu's
  // loop, sends the keys of `choose` (false: they did not reach the item). Chosen when `took`
  // holds, the command's effect. A menu that closed before the choice reached it (an activation
  // that comes late closes it) is opened again.
  bool ChooseFromMenu(const std::function<void()>& open, const std::function<bool()>& choose,
                      const std::function<bool()>& took) {
    HWND main = MainHandle();
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (!Activate(main)) return false;
      open();
      if (!WaitFor([&] { return InMenuMode(main); })) continue;
      if (choose() && WaitFor(took)) return true;
      if (InMenuMode(main)) Press(VK_ESCAPE);
      WaitFor([&] { return !InMenuMode(main); });
    }
    return false;
  }

  // Right-clicks the list at `at` (client coordinates) and chooses the menu item at `position`
  // (separators count) with the keyboard: Home lights the first item, each Down the next one that
  // is no separator, Enter chooses the lit one. A right click on empty space clears the
  // selection, one on a selected row keeps it.
  bool ChooseListMenuItem(int position, const std::function<bool()>& took, POINT at = POINT{200, 300}) {
    HMENU menu = win32::NativeMenuHandle(Main(), mw::kListMenu);
    const auto state = [&](int item) { return GetMenuState(menu, static_cast<UINT>(item), MF_BYPOSITION); };
    int downs = 0;
    for (int i = 1; i <= position; ++i)
      if ((state(i) & MF_SEPARATOR) == 0) ++downs;
    HWND main = MainHandle();
    const auto rightClick = [&] {
      // Another right click on the same place within the double-click time would be a double click.
      std::this_thread::sleep_until(lastRightClick + std::chrono::milliseconds(GetDoubleClickTime() + 100));
      ClickAt(Control(mw::kAddressList), at.x, at.y, /*right=*/true);
      lastRightClick = std::chrono::steady_clock::now();
    };
    return ChooseFromMenu(rightClick,
                          [&] {
                            // The pointer off the menu (which opens below and right of it), so
                            // that no move of it changes what is lit, and still over the list:
                            // the list's context menu message, sent with the pointer's place
                            // once the menu has ended, would open the system menu over the
                            // caption.
                            POINT aside{std::max(at.x - 15, 2L), std::max(at.y - 15, 2L)};
                            ClientToScreen(Control(mw::kAddressList), &aside);
                            MoveMouse(aside);
                            Press(VK_HOME);
                            for (int i = 0; i < downs; ++i) Press(VK_DOWN);
                            const auto lit = [&] { return (state(position) & MF_HILITE) != 0; };
                            WaitFor([&] { return lit() || !InMenuMode(main); }, 5000);
                            if (!lit() || !InMenuMode(main)) return false;
                            Press(VK_RETURN);
                            return true;
                          },
                          took);
  }

  // A window found by its caption; a modal one once it is open and active, so that the keys
  // typed next reach it. Its controls by their place in the layout (the window system numbers
  // them from 1000 in layout order).
  static HWND Find(const char* caption) { return FindWindowW(nullptr, win32::ui::WideFromGbk(caption).c_str()); }
  static HWND ModalWindow(const char* caption) {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(caption)) != nullptr && IsWindowVisible(found) && IsActive(found); });
    return found;
  }
  static HWND ControlOf(HWND window, const platform::WindowSpec& layout, const char* name) {
    for (size_t i = 0; i < layout.controls.size(); ++i)
      if (layout.controls[i].name == name) return GetDlgItem(window, 1000 + static_cast<int>(i));
    return nullptr;
  }
  HWND AddWindow() { return ModalWindow(aw::kCaption); }
  static HWND AddControl(HWND window, const char* name) { return ControlOf(window, app::AddWindowSpec(), name); }
  static HWND DialogControl(HWND window, const char* name) { return ControlOf(window, app::TcpipDialogSpec(), name); }
  // Opens the properties dialog from the menu; it is ready when its start-up has filled the IP
  // field (the adapter's last address, shown for both choices) and, every field filled, enabled
  // OK again (the window can be found before the start-up disables it).
  HWND OpenPropertiesDialog() {
    if (!ChooseListMenuItem(0, [&] { return Find(td::kCaption) != nullptr; })) return nullptr;  // 网卡属性设置
    HWND dialog = ModalWindow(td::kCaption);
    if (dialog != nullptr)
      WaitFor([&] {
        return !FieldText(DialogControl(dialog, td::kIp)).empty() && IsWindowEnabled(DialogControl(dialog, td::kOk));
      });
    return dialog;
  }
  static std::string FieldText(HWND field) { return win32::ui::ipaddress::Text(field); }
  // The IP address control that holds the keyboard focus (its part fields are its children).
  static bool FocusIn(HWND field) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(field, nullptr), &info)) return false;
    return info.hwndFocus == field || GetParent(info.hwndFocus) == field;
  }
  // Empties the IP address control that has the focus and types a dotted address into it: End
  // and Right walk to the end of the last part, Backspace walks back through the parts.
  static void RetypeFocusedField(const std::string& address) {
    for (int i = 0; i < 4; ++i) {
      Press(VK_END);
      Press(VK_RIGHT);
    }
    for (int i = 0; i < 16; ++i) Press(VK_BACK);
    Type(address);
  }

  // Opens the add window from the menu, types the lines, sets the occupancy query and confirms:
  // the window has closed and the addition has started.
  void StartAddition(const std::string& lines, bool occupancyQuery) {
    ASSERT_TRUE(ChooseListMenuItem(2, [&] { return Find(aw::kCaption) != nullptr; }))  // 添加 IP-地址
        << "the add window did not open";
    // Found as it is created: the user types once it is shown and active.
    HWND add = AddWindow();
    ASSERT_NE(add, nullptr) << "the add window is not active";
    // Clicked again, as a user would, when the first click did not give the box the focus.
    HWND box = AddControl(add, aw::kAddresses);
    for (int click = 0; click < 5 && !HasFocus(box); ++click) {
      ClickAt(box);
      WaitFor([&] { return HasFocus(box); }, 1000);
    }
    ASSERT_TRUE(HasFocus(box)) << "the clicks did not reach the box";
    Type(lines);
    std::wstring typed;
    for (wchar_t c : win32::ui::WideFromGbk(lines))
      if (c != L'\r') typed += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    ASSERT_TRUE(WaitFor([&] { return win32::ui::WindowText(box) == typed; })) << "the box did not take the lines";
    HWND query = AddControl(add, aw::kOccupancyQuery);
    const auto queryOn = [&] { return SendMessageW(query, BM_GETCHECK, 0, 0) == BST_CHECKED; };
    if (queryOn() != occupancyQuery) ClickAt(query, 8);
    ASSERT_TRUE(WaitFor([&] { return queryOn() == occupancyQuery; })) << "the occupancy query box did not change";
    ClickAt(AddControl(add, aw::kConfirm));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(add); })) << "the add window stayed open";
  }
  void AddThroughTheWindow(const std::string& lines, bool occupancyQuery) {
    const int summaries = CountLogged("添加IP完成");
    ASSERT_NO_FATAL_FAILURE(StartAddition(lines, occupancyQuery));
    ASSERT_TRUE(WaitFor([&] { return CountLogged("添加IP完成") > summaries && Idle(); }, 60000)) << "the addition did not end";
  }
  // Clicks 刷新 once nothing runs; done when the refresh has logged its end and the busy state is over.
  void Refresh() {
    ASSERT_TRUE(WaitFor([&] { return Idle(); }, 30000)) << "still busy";
    const int refreshes = CountLogged("刷新显示完成.");
    ClickAt(Control(mw::kRefreshButton));
    ASSERT_TRUE(WaitFor([&] { return CountLogged("刷新显示完成.") > refreshes && Idle(); }, 30000))
        << "the refresh did not run";
  }
  int CountLogged(const std::string& part) {
    int count = 0;
    for (const std::string& line : Log())
      if (line.find(part) != std::string::npos) ++count;
    return count;
  }
  bool HasLogged(const std::string& part) { return CountLogged(part) > 0; }

  std::chrono::steady_clock::time_point lastRightClick{};
  std::unique_ptr<sim::Machine> machine = sim::MakeDemoMachine();
  std::unique_ptr<platform::WindowSystem> windows = win32::MakeWindowSystem();
  std::unique_ptr<platform::Clipboard> clipboard = win32::MakeClipboard(*windows);
  // The simulated kernel: closing the window then records the process's end instead of ending
  // the test program.
  platform::Services services{machine->ipHelper(), machine->router(),   machine->registry(),
                              machine->automation(), machine->sockets(), *clipboard,
                              machine->internet(),  *windows,           machine->kernel()};
  std::unique_ptr<program::Application> program;
};

TEST_F(UserScenario, StartUpShowsTheLastAdapterItsReportAndLogLines) {
  AsUser([&] {
    EXPECT_EQ(Main().CurrentItem(mw::kSelector), 2);
    EXPECT_EQ(Main().Text(mw::kSelector), "本地连接");
    const std::string report = Main().Text(mw::kReport);
    EXPECT_NE(report.find("Intel(R) Ethernet Connection I219-V"), std::string::npos) << report;
    EXPECT_EQ(Column(1), (Strings{"192.168.1.10", "192.168.1.11", "192.168.1.12", "10.0.0.5"}));
    EXPECT_TRUE(Logged("本地连接 共计5个IP-地址.")) << Main().Text(mw::kLog);
  });
}

TEST_F(UserScenario, ChoosingAnotherAdapterRefreshingAndTheKindBoxes) {
  AsUser([&] {
    // The selector with the mouse, the wireless adapter with the keyboard once its list is down.
    HWND selector = Control(mw::kSelector);
    ClickAt(selector);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(selector, CB_GETDROPPEDSTATE, 0, 0) != 0; })) << "no drop-down";
    Press(VK_UP);
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return Main().Text(mw::kSelector) == "无线网络连接" && Idle(); }));
    EXPECT_EQ(Column(1), (Strings{"192.168.31.105"}));
    EXPECT_NE(Main().Text(mw::kReport).find("Realtek RTL8188EU"), std::string::npos);

    // Every kind box on, then a refresh: the rows come grouped by kind.
    for (const char* box : {mw::kShowGateway, mw::kShowDhcp, mw::kShowPrimaryWins, mw::kShowSecondaryWins}) {
      ClickAt(Control(box), 8);
      ASSERT_TRUE(WaitFor([&] { return Main().IsChecked(box); })) << box;
    }
    ASSERT_NO_FATAL_FAILURE(Refresh());
    ASSERT_EQ(Main().RowCount(mw::kAddressList), 5);
    EXPECT_EQ(Column(1), (Strings{"192.168.31.105", "192.168.31.1", "192.168.31.1", "192.168.31.2", "192.168.31.3"}));
    EXPECT_EQ(Column(6), (Strings{"IP-地址", "IP-网关", "DHCP-IP", " 主-WINS-IP", "辅-WINS-IP"}));
    EXPECT_EQ(Column(0), (Strings{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Main().Text(mw::kSelector), "无线网络连接");
  });
}

// With a management service that takes a second for each query, choosing an adapter waits for
// it on a worker: meanwhile the window answers at once and shows the busy state.
TEST_F(UserScenario, TheWindowAnswersWhileASlowAdapterChoiceWaitsForTheService) {
  machine->SetLatency("ExecQuery", 1000);
  std::atomic<bool> answered{false};  // a query of the report has returned
  machine->SetCallObserver([&](const std::string& call) {
    if (call.rfind("ExecQuery(", 0) == 0) answered = true;
  });
  AsUser([&] {
    HWND combo = Control(mw::kSelector);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    PostMessageW(MainHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    ASSERT_TRUE(WaitFor([&] { return !Main().IsEnabled(mw::kSelector); }, 3000));
    for (int i = 0; i < 5; ++i) {
      DWORD_PTR answer = 0;
      EXPECT_NE(SendMessageTimeoutW(MainHandle(), WM_NULL, 0, 0, SMTO_NORMAL, 250, &answer), 0) << i;
      Sleep(50);
    }
    // The log read before any query had returned holds no report.
    const bool reported = Logged("无线网络连接 最大传输单元1500.");
    EXPECT_FALSE(reported && !answered) << "the report did not wait for the service";
    ASSERT_TRUE(WaitFor([&] { return Idle() && Logged("无线网络连接 最大传输单元1500."); }, 15000));
    EXPECT_NE(Main().Text(mw::kReport).find("Realtek RTL8188EU"), std::string::npos);
  });
  machine->SetCallObserver(nullptr);
}

TEST_F(UserScenario, AddingARangeWithoutAndWithTheOccupancyQuery) {
  AsUser([&] {
    AddThroughTheWindow("192.168.1.{30-32}", false);
    EXPECT_TRUE(Logged("添加IP-地址 192.168.1.30 成功.")) << Main().Text(mw::kLog);
    EXPECT_TRUE(Logged("添加IP-地址 192.168.1.32 成功."));
    EXPECT_NE(RowOf("192.168.1.31"), -1);

    // 192.168.1.20 answers the echo: with the query on it is not added. The host holding
    // 192.168.1.21 drops echoes: the system's duplicate address detection finds it.
    AddThroughTheWindow("192.168.1.{20-22}", true);
    EXPECT_TRUE(HasLogged("添加IP-地址 192.168.1.20 失败,该ip可能已被占用")) << Main().Text(mw::kLog);
    EXPECT_TRUE(HasLogged("添加IP-地址 192.168.1.21 失败,该ip可能已被占用"));
    EXPECT_TRUE(Logged("添加IP-地址 192.168.1.22 成功."));
    EXPECT_EQ(RowOf("192.168.1.20"), -1);
    EXPECT_EQ(RowOf("192.168.1.21"), -1);
    EXPECT_NE(RowOf("192.168.1.22"), -1);
  });
}

TEST_F(UserScenario, AddingABadLineLogsItAndAddsNothing) {
  AsUser([&] {
    const int rows = Main().RowCount(mw::kAddressList);
    AddThroughTheWindow("192.168.1.{9-3}", false);
    EXPECT_EQ(Main().RowCount(mw::kAddressList), rows);
    EXPECT_TRUE(Logged("添加IP-地址地址范围错误！")) << Main().Text(mw::kLog);
  });
}

TEST_F(UserScenario, SelectingRowsWithTheMouseAndDeletingThem) {
  AsUser([&] {
    AddThroughTheWindow("192.168.1.{40-43}", false);
    const int first = RowOf("192.168.1.40");
    ASSERT_NE(first, -1);
    // Click the first, shift-click the third, ctrl-click the fourth: 40, 41, 42 and 43.
    ClickRow(first);
    ClickRow(first + 2, {VK_SHIFT});
    ClickRow(first + 3, {VK_CONTROL});
    const auto selected = [&](std::vector<int> rows) {
      return WaitFor([&] { return Main().SelectedRows(mw::kAddressList) == rows; });
    };
    ASSERT_TRUE(selected({first, first + 1, first + 2, first + 3}));
    // And ctrl-click takes the second out again.
    ClickRow(first + 1, {VK_CONTROL});
    ASSERT_TRUE(selected({first, first + 2, first + 3}));

    ASSERT_TRUE(ChooseListMenuItem(  // 删除 IP-地址, from a selected row
        3, [&] { return !Idle() || HasLogged("删除选中项目完成"); }, RowPoint(first + 2)))
        << "the deletion did not start";
    ASSERT_TRUE(WaitFor([&] { return HasLogged("删除选中项目完成") && Idle(); }, 30000)) << Main().Text(mw::kLog);
    EXPECT_TRUE(Logged("成功删除IP-地址 192.168.1.40"));
    EXPECT_TRUE(Logged("成功删除IP-地址 192.168.1.42"));
    EXPECT_TRUE(Logged("成功删除IP-地址 192.168.1.43"));
    EXPECT_TRUE(Logged("删除选中项目完成,共计选中3条,符合启用条件3条,其中成功3 失败0."));
    EXPECT_EQ(RowOf("192.168.1.40"), -1);
    EXPECT_NE(RowOf("192.168.1.41"), -1);
  });
}

TEST_F(UserScenario, TypingTheStartOfAnIdInTheListSelectsItsRow) {
  AsUser([&] {
    AddThroughTheWindow("192.168.1.{50-62}", false);
    const Strings ids = Column(0);
    int twelve = -1;
    for (size_t i = 0; i < ids.size(); ++i)
      if (ids[i] == "12") twelve = static_cast<int>(i);
    ASSERT_NE(twelve, -1) << "no row with the ID 12";
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] {
      return Main().SelectedRows(mw::kAddressList) == std::vector<int>{0} && HasFocus(Control(mw::kAddressList));
    }));
    Type("12");
    EXPECT_TRUE(WaitFor([&] { return Main().SelectedRows(mw::kAddressList) == std::vector<int>{twelve}; }))
        << "selected: " << (Main().SelectedRows(mw::kAddressList).empty() ? -1 : Main().SelectedRows(mw::kAddressList)[0]);
  });
}

TEST_F(UserScenario, ClosingTheWindowWhileARangeIsBeingAddedStoresEveryBoundAddressThenEnds) {
  // Binding takes a while, so that the range is still being added when the close comes.
  machine->SetLatency("AddIPAddress", 50);
  // The addresses "本地连接" has bound, and their masks.
  const auto bound = [&](Strings* masks = nullptr) {
    Strings addresses;
    for (const auto& a : machine->Adapters())
      if (a.index == 11)
        for (const auto& address : a.ipAddresses) {
          addresses.push_back(address.address);
          if (masks != nullptr) masks->push_back(address.mask);
        }
    return addresses;
  };
  const size_t configured = bound().size();
  AsUser([&] {
    ASSERT_NO_FATAL_FAILURE(StartAddition("10.9.0.{1-250}", false));
    // Closed with Alt+F4 once the first address of the range is bound.
    ASSERT_TRUE(WaitFor([&] { return bound().size() > configured; })) << "no address was bound";
    ASSERT_TRUE(Activate(MainHandle()));
    Press(VK_F4, {VK_MENU});
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(MainHandle()); }, 30000)) << "the window stayed open";
  });
  EXPECT_EQ(machine->TerminatedWith(), std::optional<uint32_t>(0));
  // What "本地连接" has bound when the process ends is what its interface key holds.
  Strings masks;
  const Strings addresses = bound(&masks);
  ASSERT_GT(addresses.size(), configured) << "nothing was added before the close";
  EXPECT_LT(addresses.size(), configured + 250) << "the addition ran to its end before the close";
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
                          "{6A2E9F14-0D3C-4B8A-B57E-81F2C3D4A5B6}";
  auto entries = [&](const char* value) {
    Strings out = text::Split(machine->LocalMachineValue(key, value).value_or(""), std::string(1, '\0'));
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
  };
  EXPECT_EQ(entries("IPAddress"), addresses);
  EXPECT_EQ(entries("SubnetMask"), masks);
}

TEST_F(UserScenario, ThePropertiesDialogSwitchesToDhcpToAStaticAddressAndBackWithTabAndEnter) {
  AsUser([&] {
    // 本地连接 is static: the dialog opens on the static choice with its last address.
    HWND dialog = OpenPropertiesDialog();
    ASSERT_NE(dialog, nullptr) << "the dialog did not open";
    EXPECT_EQ(SendMessageW(DialogControl(dialog, td::kStatic), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(FieldText(DialogControl(dialog, td::kIp)), "10.0.0.5");

    // Automatic addressing with the mouse, confirmed with Enter.
    ClickAt(DialogControl(dialog, td::kAutomatic), 8);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(DialogControl(dialog, td::kIp)); }));
    EXPECT_TRUE(IsWindowEnabled(DialogControl(dialog, td::kPreferredDnsLabel)));
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "Enter did not confirm";
    ASSERT_TRUE(WaitFor([&] { return Logged("本地连接 修改为自动获取IP成功."); })) << Main().Text(mw::kLog);
    ASSERT_NO_FATAL_FAILURE(Refresh());
    ASSERT_TRUE(WaitFor([&] { return machine->Adapters().back().dhcpEnabled == 1; }));

    // A static address typed field by field, Tab moving on, Enter confirming.
    dialog = OpenPropertiesDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageW(DialogControl(dialog, td::kAutomatic), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(DialogControl(dialog, td::kGateway)));
    ClickAt(DialogControl(dialog, td::kStatic), 8);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(DialogControl(dialog, td::kIp)) != FALSE; }));
    ClickAt(DialogControl(dialog, td::kIp), 10);
    const char* const fields[] = {td::kIp, td::kMask, td::kGateway, td::kPreferredDns, td::kAlternateDns};
    const char* const values[] = {"192.168.1.50", "255.255.255.0", "192.168.1.1", "223.5.5.5", "114.114.114.114"};
    for (int i = 0; i < 5; ++i) {
      if (i > 0) Press(VK_TAB);
      HWND field = DialogControl(dialog, fields[i]);
      ASSERT_TRUE(WaitFor([&] { return FocusIn(field); }, 2000)) << "Tab did not reach " << fields[i];
      RetypeFocusedField(values[i]);
      EXPECT_TRUE(WaitFor([&] { return FieldText(field) == values[i]; })) << FieldText(field);
    }
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "Enter did not confirm";
    ASSERT_TRUE(WaitFor([&] { return Logged("本地连接 修改为静态IP成功."); })) << Main().Text(mw::kLog);
    ASSERT_NO_FATAL_FAILURE(Refresh());
    ASSERT_EQ(Column(1), Strings{"192.168.1.50"}) << Main().Text(mw::kLog);
    const sim::SimAdapter adapter = machine->Adapters().back();
    EXPECT_EQ(adapter.dhcpEnabled, 0u);
    EXPECT_EQ(adapter.dnsServers, (Strings{"223.5.5.5", "114.114.114.114"}));

    // Back to DHCP, and Escape leaves a dialog without changing anything.
    dialog = OpenPropertiesDialog();
    ASSERT_NE(dialog, nullptr);
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "Escape did not close the dialog";
    EXPECT_EQ(machine->Adapters().back().dhcpEnabled, 0u);
    dialog = OpenPropertiesDialog();
    ASSERT_NE(dialog, nullptr);
    ClickAt(DialogControl(dialog, td::kAutomatic), 8);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(DialogControl(dialog, td::kIp)); }));
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(WaitFor([&] { return machine->Adapters().back().dhcpEnabled == 1; }));
  });
}

// The screen rectangle of a column's header item.
RECT HeaderItem(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT rect{};
  SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rect));
  MapWindowPoints(header, list, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(UserScenario, SortingByEachVisibleColumnTwiceAlternatesTheDirection) {
  AsUser([&] {
    // Both kinds of text key and the hidden "Next" key: 本地连接's addresses and its gateway.
    ClickAt(Control(mw::kShowGateway), 8);
    ASSERT_TRUE(WaitFor([&] { return Main().IsChecked(mw::kShowGateway); }));
    ASSERT_NO_FATAL_FAILURE(Refresh());
    ASSERT_EQ(Main().RowCount(mw::kAddressList), 5);
    ASSERT_FALSE(HasLogged("排序完成.")) << "sorted before any header click";
    const auto number = [](const std::string& cell) { return text::ReadInteger(cell); };
    // Clicked column -> the column whose cells give the key; only visible headers can be clicked.
    const struct {
      int clicked;
      int key;
      bool integer;
    } plan[] = {{0, 0, true}, {1, 4, true}, {2, 2, false}, {6, 6, false}};
    bool ascending = true;  // the first sort of a run is ascending
    for (const auto& step : plan) {
      for (int round = 0; round < 2; ++round) {
        // A second click within the double-click time would be a double click, which sorts nothing.
        Sleep(GetDoubleClickTime() + 100);
        const int sorts = CountLogged("排序完成.");
        const RECT item = HeaderItem(Control(mw::kAddressList), step.clicked);
        ClickAt(Control(mw::kAddressList), (item.left + item.right) / 2, (item.top + item.bottom) / 2);
        ASSERT_TRUE(WaitFor([&] { return CountLogged("排序完成.") == sorts + 1 && Idle(); }))
            << "column " << step.clicked << " did not sort";
        const Strings keys = Column(step.key);
        for (size_t i = 1; i < keys.size(); ++i) {
          const bool inOrder = step.integer ? (ascending ? number(keys[i - 1]) <= number(keys[i])
                                                         : number(keys[i - 1]) >= number(keys[i]))
                                            : (ascending ? keys[i - 1] <= keys[i] : keys[i - 1] >= keys[i]);
          EXPECT_TRUE(inOrder) << "column " << step.clicked << (ascending ? " ascending: " : " descending: ")
                               << keys[i - 1] << " before " << keys[i];
        }
        ascending = !ascending;
      }
    }
    // Sorting moves rows, it does not renumber them.
    Strings ids = Column(0);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (Strings{"1", "2", "3", "4", "5"}));
  });
}

TEST_F(UserScenario, CopyingAllAddressesPutsThemOnWinesClipboardLastFirst) {
  AsUser([&] {
    ASSERT_TRUE(ChooseListMenuItem(5, [&] { return HasLogged("复制所有网卡IP完成"); }))  // 复制所有网卡IP
        << Main().Text(mw::kLog);
    std::string copied;
    ASSERT_TRUE(WaitFor([&] {
      if (!OpenClipboard(nullptr)) return false;
      if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
          copied = bytes;
          GlobalUnlock(data);
        }
      }
      CloseClipboard();
      return !copied.empty();
    }));
    // The main window owns what it copied.
    EXPECT_EQ(GetClipboardOwner(), MainHandle());
    const Strings lines = text::Split(copied, "\r\n");
    ASSERT_GE(lines.size(), 2u) << copied;
    EXPECT_TRUE(Logged("复制所有网卡IP完成,共计复制" + text::Decimal(static_cast<uint64_t>(lines.size())) + "个IP."));
    // The resolver lists the machine's addresses in adapter order; the clipboard holds them reversed.
    std::vector<uint32_t> resolved;
    std::string host;
    ASSERT_TRUE(machine->sockets().GetHostName(&host));
    ASSERT_TRUE(machine->sockets().GetHostByName(host, &resolved));
    ASSERT_EQ(resolved.size(), lines.size());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "192.168.1.10"), lines.end()) << copied;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "192.168.31.105"), lines.end()) << copied;
  });
}

TEST_F(UserScenario, TheAboutBoxAndTheAgreementFromTheSystemMenuCloseWithTheKeyboard) {
  AsUser([&] {
    // The about box, owned by the main window, closed with Enter.
    ASSERT_TRUE(ChooseListMenuItem(7, [&] { return Find(info::kAboutCaption) != nullptr; }))  // 关于软件
        << "no about box";
    HWND about = ModalWindow(info::kAboutCaption);
    ASSERT_NE(about, nullptr) << "the about box is not active";
    EXPECT_EQ(GetWindow(about, GW_OWNER), MainHandle());
    Press(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); })) << "Enter did not close the about box";

    // The system menu holds the module's items once its task has run.
    HMENU system = GetSystemMenu(MainHandle(), FALSE);
    ASSERT_TRUE(WaitFor([&] { return GetMenuState(system, info::kAgreementItemId, MF_BYCOMMAND) != 0xFFFFFFFFu; }))
        << "the system menu has no agreement item";
    EXPECT_NE(GetMenuState(system, info::kAuthorItemId, MF_BYCOMMAND), 0xFFFFFFFFu);

    // Alt+Space opens the system menu, F chooses the agreement; Escape closes its box.
    ASSERT_TRUE(ChooseFromMenu([&] { Press(VK_SPACE, {VK_MENU}); },
                               [&] {
                                 Press('F');
                                 return true;
                               },
                               [&] { return Find(info::kAgreementCaption) != nullptr; }))
        << "no agreement box";
    HWND agreement = ModalWindow(info::kAgreementCaption);
    ASSERT_NE(agreement, nullptr) << "the agreement box is not active";
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(agreement); })) << "Escape did not close the agreement";
    EXPECT_TRUE(IsWindow(MainHandle()));
  });
}

}  // namespace
}  // namespace corvane

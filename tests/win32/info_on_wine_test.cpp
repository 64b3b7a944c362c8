// The program's real main window under Wine, over a simulated machine: a header click sorting
// the rows the virtual list holds, copying through Wine's clipboard, the system menu with the
// module's items and its message filter, and the about box.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_context.h"
#include "program/application.h"
#include "app/stored_texts.h"
#include "app/window_layouts.h"
#include "info/about_box.h"
#include "info/system_menu.h"
#include "platform/sim/machine.h"
#include "platform/win32/services.h"
#include "platform/win32/win_text.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"

namespace corvane {
namespace {

namespace mw = app::main_window;
using Strings = std::vector<std::string>;
using win32::ui::GbkFromWide;

std::string MenuText(HMENU menu, int position) {
  wchar_t buffer[128] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), buffer, 128, MF_BYPOSITION);
  return GbkFromWide(std::wstring(buffer));
}

sim::SimAdapter Adapter(uint32_t index, std::vector<std::string> addresses) {
  sim::SimAdapter a;
  a.index = index;
  a.guid = "{00000007-1111-2222-3333-444455556666}";
  a.description = "Simulated Ethernet Adapter";
  a.connectionName = u"本地连接";
  a.physicalAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x07};
  uint32_t context = 101;
  for (const auto& address : addresses) a.ipAddresses.push_back(sim::SimAddress{address, "255.255.255.0", context++});
  return a;
}

class WineProgramWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.AddAdapter(Adapter(7, {"192.168.7.1", "192.168.7.2", "192.168.7.3"}));
    program = std::make_unique<program::Application>(services);
    program->Start();
    ASSERT_TRUE(PumpUntilThreadsEnd());
    main = program->context().window;
    ASSERT_NE(main, nullptr);
    hwnd = win32::NativeWindowHandle(*main);
    ASSERT_NE(hwnd, nullptr);
  }

  void TearDown() override {
    program.reset();
    windows.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // The workers of the simulated kernel reach the window through the window thread: keep it
  // working until they have all ended.
  bool PumpUntilThreadsEnd() {
    std::atomic<bool> done{false};
    std::thread waiter([&] {
      machine.WaitForThreads();
      done = true;
    });
    const DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 10000) {
      windows->ProcessPendingEvents();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    const bool finished = done.load();
    if (!finished) machine.WaitForThreads();  // nothing may outlive the test
    waiter.join();
    return finished;
  }

  // A header click as the list view reports it.
  void ClickHeader(int column) {
    HWND list = win32::NativeControlHandle(*main, mw::kAddressList);
    NMLISTVIEW click{};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(hwnd, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  }

  // A column as the list control answers for it (LVM_GETITEMTEXTW, which the virtual list serves
  // from the rows the window holds), not through the window system.
  Strings Column(int column) {
    HWND list = win32::NativeControlHandle(*main, mw::kAddressList);
    Strings cells;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      wchar_t buffer[128] = {};
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = buffer;
      item.cchTextMax = 128;
      const LRESULT copied = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      cells.push_back(GbkFromWide(std::wstring(buffer, static_cast<size_t>(copied))));
    }
    return cells;
  }

  sim::Machine machine;
  std::unique_ptr<platform::WindowSystem> windows = win32::MakeWindowSystem();
  std::unique_ptr<platform::Clipboard> clipboard = win32::MakeClipboard(*windows);
  platform::Services services{machine.ipHelper(), machine.router(),    machine.registry(), machine.automation(),
                              machine.sockets(),  *clipboard,          machine.internet(), *windows,
                              machine.kernel()};
  std::unique_ptr<program::Application> program;
  platform::Window* main = nullptr;
  HWND hwnd = nullptr;
};

// The click reaches the program as LVN_COLUMNCLICK; the sort's worker reads the keys and has the
// window reorder the rows it holds for the virtual list, on the window thread.
TEST_F(WineProgramWindow, AHeaderClickSortsTheRowsOfTheRealList) {
  ASSERT_EQ(main->RowCount(mw::kAddressList), 3);
  // Contexts whose order as numbers differs from their order as texts and as 32-bit signed values.
  main->ReplaceRows(mw::kAddressList, {{"1", "a", "255.255.255.64", "4294967295"},
                                       {"2", "b", "255.255.0.0", "20"},
                                       {"3", "c", "255.255.255.192", "3000000000"},
                                       {"4", "d", "255.255.255.0", "3"}});
  ClickHeader(3);
  ASSERT_TRUE(PumpUntilThreadsEnd());
  EXPECT_EQ(Column(3), (Strings{"3", "20", "3000000000", "4294967295"}));
  EXPECT_EQ(Column(0), (Strings{"4", "2", "3", "1"}));
  ClickHeader(2);  // the second sort is descending, on any column; masks compare as texts
  ASSERT_TRUE(PumpUntilThreadsEnd());
  EXPECT_EQ(Column(2), (Strings{"255.255.255.64", "255.255.255.192", "255.255.255.0", "255.255.0.0"}));
  EXPECT_TRUE(main->IsEnabled(mw::kRefreshButton));
  EXPECT_NE(main->Text(mw::kLog).find("排序完成."), std::string::npos);
}

TEST_F(WineProgramWindow, CopyingPutsTheAddressesOnWinesClipboard) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  SendMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuCopyAll), 0);
  // The lookup and the copy are a worker's.
  ASSERT_TRUE(PumpUntilThreadsEnd());
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  std::string text;
  if (data != nullptr) {
    text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(text, "192.168.7.3\r\n192.168.7.2\r\n192.168.7.1");
  // Emptied and filled while open for the main window, which owns it now.
  EXPECT_EQ(GetClipboardOwner(), hwnd);
  EXPECT_NE(main->Text(mw::kLog).find("复制所有网卡IP完成,共计复制3个IP."), std::string::npos);
}

// For the life of the object, Wine's browser launcher (which the shell runs for a web address)
// starts no browser but a shell of the host that writes the address it was given to a file.
class RecordingBrowser {
 public:
  RecordingBrowser() : unixPath_("/tmp/corvane-browser-" + std::to_string(GetCurrentProcessId()) + ".txt") {
    for (char c : "Z:" + unixPath_) path_ += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    DeleteFileW(path_.c_str());
    const std::wstring command =
        L"/bin/sh -c \"printf %s \\\"$0\\\" > " + std::wstring(unixPath_.begin(), unixPath_.end()) + L"\"";
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers", REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  ~RecordingBrowser() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers");
    DeleteFileW(path_.c_str());
  }

  // The address once the launcher has written it; empty when nothing came within 15 s.
  std::string Opened() {
    for (int i = 0; i < 150; ++i) {
      if (FILE* in = _wfopen(path_.c_str(), L"rb")) {
        char buffer[512] = {};
        const size_t n = fread(buffer, 1, sizeof buffer - 1, in);
        fclose(in);
        if (n > 0) return std::string(buffer, n);
      }
      Sleep(100);
    }
    return {};
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Wine\\WineBrowser";
  std::string unixPath_;
  std::wstring path_;
};

TEST_F(WineProgramWindow, TheLinkAndTheAuthorItemHaveWinesDesktopShellOpenTheirPagesAndLogNothing) {
  const std::string before = main->Text(mw::kLog);
  {
    RecordingBrowser browser;
    HWND link = win32::NativeControlHandle(*main, mw::kIssueLink);
    ASSERT_NE(link, nullptr);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED), reinterpret_cast<LPARAM>(link));
    // Every step of the path answered and the desktop's process handed the address on.
    EXPECT_EQ(browser.Opened(), app::Decipher(app::StoredText::IssueAddress));
  }
  {
    RecordingBrowser browser;
    SendMessageW(hwnd, WM_SYSCOMMAND, info::kAuthorItemId, 0);
    EXPECT_EQ(browser.Opened(), info::UnescapeUrl(info::kEncodedContactAddress));
  }
  // No failure is logged.
  EXPECT_EQ(main->Text(mw::kLog), before);
}

TEST_F(WineProgramWindow, TheSystemMenuHoldsTheFourItemsUnderCloseAndTheFilterIsInstalled) {
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 5);
  // The item second from the bottom went before the four were appended: in Windows' menu the
  // separator above "close", in Wine's (which ends "close", separator, "about Wine") the one
  // below it. Either way the item above the four is a command, and "close" is still there.
  EXPECT_FALSE(GetMenuState(menu, static_cast<UINT>(count - 5), MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 4), MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, count - 3), 2u);
  EXPECT_EQ(MenuText(menu, count - 3), "作者：Corvane项目组(&E)");
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 3), MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), 4u);
  EXPECT_EQ(MenuText(menu, count - 1), "使用协议(&F)");
  EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 1), MF_BYPOSITION) & MF_CHECKED);
  EXPECT_TRUE(win32::NativeMessageFilterInstalled(*main));

  // A wide window stays wide behind the filter: text set through it arrives unchanged.
  SetWindowTextW(hwnd, L"网卡 \u00e9");
  EXPECT_EQ(IsWindowUnicode(hwnd), TRUE);
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_EQ(std::wstring(title), L"网卡 \u00e9");

  // WM_COMMAND SC_CLOSE closes the window as its close item does; closing ends the process.
  SendMessageW(hwnd, WM_COMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  ASSERT_TRUE(machine.TerminatedWith().has_value());
  EXPECT_EQ(*machine.TerminatedWith(), 0u);
}

TEST_F(WineProgramWindow, CommandThirtyThousandOneEndsTheProgramWithoutReachingTheWindow) {
  SendMessageW(hwnd, WM_COMMAND, info::kEndProgramCommand, 0);
  ASSERT_TRUE(machine.TerminatedWith().has_value());
  EXPECT_EQ(*machine.TerminatedWith(), 0u);
}

// Waits for a message box of this process with the given caption, closes it and reports whether
// it was owned by `owner` (null: any owner).
void CloseBoxWhenItAppears(const std::wstring& caption, std::atomic<int>* found, HWND* owner) {
  for (int i = 0; i < 500 && *found == 0; ++i) {
    HWND box = FindWindowW(L"#32770", caption.c_str());
    if (box != nullptr) {
      *owner = GetWindow(box, GW_OWNER);
      *found = 1;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return;
    }
    Sleep(20);
  }
  *found = -1;
}

TEST_F(WineProgramWindow, TheAboutBoxIsCaptionedAboutAndOwnedByTheMainWindow) {
  std::atomic<int> found{0};
  HWND owner = nullptr;
  std::thread closer([&] { CloseBoxWhenItAppears(L"关于", &found, &owner); });
  // The box runs its own loop inside the menu command; the closer ends it.
  SendMessageW(hwnd, WM_COMMAND, win32::NativeMenuCommandId(*main, mw::kMenuAbout), 0);
  closer.join();
  EXPECT_EQ(found, 1);
  EXPECT_EQ(owner, hwnd);
  EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WineProgramWindow, TheAgreementItemShowsItsBoxThroughTheFilter) {
  SetForegroundWindow(hwnd);
  std::atomic<int> found{0};
  HWND owner = nullptr;
  std::thread closer([&] { CloseBoxWhenItAppears(L"使用协议", &found, &owner); });
  SendMessageW(hwnd, WM_SYSCOMMAND, 4, 0);
  closer.join();
  EXPECT_EQ(found, 1);
  EXPECT_TRUE(IsWindow(hwnd));
}

}  // namespace
}  // namespace corvane

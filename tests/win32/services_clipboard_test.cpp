// The clipboard in text format: GBK bytes in, the same bytes out; the main window owns it.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/window_layouts.h"
#include "platform/clipboard.h"
#include "platform/win32/services.h"
#include "platform/win32/window_system.h"
#include "platform/win32/window_system_native.h"

namespace corvane {
namespace {

TEST(WineClipboard, TextRoundTripKeepsGbkBytes) {
  auto windows = win32::MakeWindowSystem();
  auto clipboard = win32::MakeClipboard(*windows);
  const std::string text = "192.168.1.10\r\n192.168.1.11\r\n网卡\r\n";
  ASSERT_TRUE(clipboard->SetText(text));
  std::string read;
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, text);
}

TEST(WineClipboard, EmptyTextReplacesThePreviousOne) {
  auto windows = win32::MakeWindowSystem();
  auto clipboard = win32::MakeClipboard(*windows);
  ASSERT_TRUE(clipboard->SetText("before"));
  ASSERT_TRUE(clipboard->SetText(""));
  std::string read = "stale";
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, "");
}

TEST(WineClipboard, TheMainWindowOwnsWhatIsCopiedWhileItExists) {
  auto windows = win32::MakeWindowSystem();
  auto clipboard = win32::MakeClipboard(*windows);
  ASSERT_TRUE(clipboard->SetText("no window yet"));
  EXPECT_EQ(GetClipboardOwner(), nullptr);

  platform::Window* main =
      windows->CreateMainWindow(app::MainWindowSpec(), [](platform::Window&, const platform::Event&) {});
  ASSERT_NE(main, nullptr);
  HWND hwnd = win32::NativeWindowHandle(*main);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(clipboard->SetText("192.168.1.10"));
  EXPECT_EQ(GetClipboardOwner(), hwnd);
  std::string read;
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, "192.168.1.10");
  EXPECT_EQ(GetClipboardOwner(), hwnd);  // reading leaves the owner

  // Once the window is gone the clipboard is opened for none again, and copying still works.
  main->Close();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  ASSERT_FALSE(IsWindow(hwnd));
  ASSERT_TRUE(clipboard->SetText("after"));
  EXPECT_EQ(GetClipboardOwner(), nullptr);
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, "after");
}

}  // namespace
}  // namespace corvane

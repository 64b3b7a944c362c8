// The clipboard in text format: GBK bytes in, the same bytes out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/clipboard.h"
#include "platform/win32/services.h"

namespace corvane {
namespace {

TEST(WineClipboard, TextRoundTripKeepsGbkBytes) {
  auto clipboard = win32::MakeClipboard();
  const std::string text = "192.168.1.10\r\n192.168.1.11\r\n网卡\r\n";
  ASSERT_TRUE(clipboard->SetText(text));
  std::string read;
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, text);
}

TEST(WineClipboard, EmptyTextReplacesThePreviousOne) {
  auto clipboard = win32::MakeClipboard();
  ASSERT_TRUE(clipboard->SetText("before"));
  ASSERT_TRUE(clipboard->SetText(""));
  std::string read = "stale";
  ASSERT_TRUE(clipboard->GetText(&read));
  EXPECT_EQ(read, "");
}

}  // namespace
}  // namespace corvane

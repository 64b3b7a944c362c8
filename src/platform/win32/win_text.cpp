#include "platform/win32/win_text.h"

#include <windows.h>

#include <climits>

namespace corvane::win32::ui {

namespace {

// Code page 936 maps the bytes 00-7F to U+0000-U+007F (80 is the euro sign): a text of such bytes
// widens byte by byte, without asking the system.
bool IsAscii(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

bool IsAscii(const wchar_t* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] >= 0x80) return false;
  return true;
}

}  // namespace

void AppendWideFromGbk(std::wstring& out, const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return;
  const size_t at = out.size();
  if (IsAscii(text.data(), text.size())) {
    out.append(text.begin(), text.end());
    return;
  }
  // A GBK text never needs more UTF-16 units than it has bytes.
  out.resize(at + text.size());
  const int written =
      MultiByteToWideChar(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), out.data() + at,
                          static_cast<int>(text.size()));
  out.resize(at + (written > 0 ? static_cast<size_t>(written) : 0));
}

std::wstring WideFromGbk(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  if (IsAscii(text.data(), text.size())) return std::wstring(text.begin(), text.end());
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(kGbkCodePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(kGbkCodePage, 0, text.data(), length, wide.data(), needed);
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return wide;
}

std::string GbkFromWide(const wchar_t* text, size_t length) {
  if (text == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) return {};
  if (IsAscii(text, length)) {
    std::string narrow(length, '\0');
    for (size_t i = 0; i < length; ++i) narrow[i] = static_cast<char>(text[i]);
    return narrow;
  }
  const int count = static_cast<int>(length);
  const int needed = WideCharToMultiByte(kGbkCodePage, 0, text, count, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<size_t>(needed), '\0');
  const int written = WideCharToMultiByte(kGbkCodePage, 0, text, count, narrow.data(), needed, nullptr, nullptr);
  narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return narrow;
}

}  // namespace corvane::win32::ui

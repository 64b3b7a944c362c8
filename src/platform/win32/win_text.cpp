#include "platform/win32/win_text.h"

#include <windows.h>

#include <climits>

namespace corvane::win32::ui {

std::wstring WideFromGbk(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
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
  const int count = static_cast<int>(length);
  const int needed = WideCharToMultiByte(kGbkCodePage, 0, text, count, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<size_t>(needed), '\0');
  const int written = WideCharToMultiByte(kGbkCodePage, 0, text, count, narrow.data(), needed, nullptr, nullptr);
  narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return narrow;
}

}  // namespace corvane::win32::ui

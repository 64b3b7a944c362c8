// Reading the main window's log box from a benchmark (any thread: the box's thread answers).
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win_text.h"

namespace corvane::bench {

inline std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

// The last line of the log box, in GBK.
inline std::string LastLogLine(HWND log) {
  std::wstring text = WindowText(log);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  const size_t start = text.rfind(L'\n');
  return win32::ui::GbkFromWide(start == std::wstring::npos ? text : text.substr(start + 1));
}

}  // namespace corvane::bench

// Reading the main window's log box from a benchmark (any thread: the box's thread answers).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "platform/win32/win_text.h"

namespace corvane::bench {

inline std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

// One line of an edit box as it shows it (a long line wraps onto several).
inline std::wstring ShownLine(HWND edit, int line) {
  const LRESULT start = SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
  if (start < 0) return {};
  const LRESULT length = SendMessageW(edit, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
  std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 1)) + 1, L'\0');
  *reinterpret_cast<WORD*>(text.data()) = static_cast<WORD>(text.size());
  const LRESULT copied = SendMessageW(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

// The last line of the log box, in GBK: the shown lines from the last one that starts with a time
// (a line of its own starts with "hh:mm:ss"), read without copying the whole log.
inline std::string LastLogLine(HWND log) {
  const int count = static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0));
  std::wstring line;
  for (int i = count - 1; i >= 0 && i >= count - 8; --i) {
    const std::wstring shown = ShownLine(log, i);
    if (shown.empty() && line.empty()) continue;
    line = shown + line;
    if (shown.size() >= 3 && iswdigit(shown[0]) && iswdigit(shown[1]) && shown[2] == L':') break;
  }
  return win32::ui::GbkFromWide(line);
}

}  // namespace corvane::bench

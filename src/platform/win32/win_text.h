// GBK byte strings <-> UTF-16 at the boundary of the wide window APIs. Code page 936 is named
// explicitly, so the texts come out right whatever the system's ANSI code page is.
#pragma once

#include <cstddef>
#include <string>

namespace corvane::win32::ui {

inline constexpr unsigned kGbkCodePage = 936;

std::wstring WideFromGbk(const std::string& text);
// Appends the UTF-16 form of `text` to `out` (ASCII is copied without a conversion call).
void AppendWideFromGbk(std::wstring& out, const std::string& text);
std::string GbkFromWide(const wchar_t* text, size_t length);
inline std::string GbkFromWide(const std::wstring& text) { return GbkFromWide(text.data(), text.size()); }

}  // namespace corvane::win32::ui

// Text conversions shared by the Windows services: GBK (or any code page) to UTF-16 and back.
#include "platform/win32/services.h"

#include <climits>

#include "platform/win32/scoped_win.h"

namespace corvane::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide system strings are UTF-16");

std::wstring ToWide(std::string_view text, UINT codePage) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  int written = ::MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), needed);
  if (written <= 0) return {};
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string FromWide(std::wstring_view text, UINT codePage) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  // No default-character arguments: code pages such as UTF-8 refuse them.
  int needed = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<size_t>(needed), '\0');
  int written = ::WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  if (written <= 0) return {};
  narrow.resize(static_cast<size_t>(written));
  return narrow;
}

unique_bstr MakeBstr(std::string_view text) {
  std::wstring wide = ToWide(text);
  return unique_bstr(::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

std::string FromBstr(BSTR text) {
  if (!text) return {};
  return FromWide(std::wstring_view(text, ::SysStringLen(text)));
}

}  // namespace corvane::win32

// Text helpers of the simulated machine: case folding, address texts, code pages, dates.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_state.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace corvane::sim {

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// --- addresses ---

bool ParseDotted(std::string_view text, uint32_t* hostOrder) {
  uint32_t value = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    size_t digits = 0;
    uint32_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      v = v * 10 + static_cast<uint32_t>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || v > 255) return false;
    if (digits > 1 && text[i - digits] == '0') return false;  // "010": no leading zeros
    value = (value << 8) | v;
  }
  if (i != text.size()) return false;
  *hostOrder = value;
  return true;
}

std::string FormatDotted(uint32_t h) {
  char buffer[20];
  std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", (h >> 24) & 0xFF, (h >> 16) & 0xFF, (h >> 8) & 0xFF,
                h & 0xFF);
  return buffer;
}

uint32_t HostToNetwork(uint32_t host) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(host >> 24), static_cast<uint8_t>(host >> 16),
                            static_cast<uint8_t>(host >> 8), static_cast<uint8_t>(host)};
  uint32_t network = 0;
  std::memcpy(&network, bytes, 4);
  return network;
}

uint32_t NetworkToHost(uint32_t network) {
  uint8_t bytes[4];
  std::memcpy(bytes, &network, 4);
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// The classic parser: up to four parts separated by dots, each decimal, octal (leading 0) or
// hexadecimal (0x); the last part fills the remaining bytes ("1.2.3" is 1.2.0.3, "10" is
// 0.0.0.10). A space ends the text; anything else that is not part of a number is an error.
// An empty text is an error (Windows Server 2003 and later); a text starting with a space gives 0
// (the documented answer for " ").
uint32_t InetAddrNetworkOrder(std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return platform::kInAddrNone;
  const size_t space = text.find(' ');
  if (space != std::string_view::npos) text = text.substr(0, space);
  if (text.empty()) return 0;

  uint64_t parts[4] = {};
  int count = 0;
  size_t i = 0;
  while (true) {
    if (count == 4) return platform::kInAddrNone;
    uint64_t v = 0;
    int base = 10;
    size_t digits = 0;
    if (i < text.size() && text[i] == '0') {
      base = 8;
      ++i;
      digits = 1;  // "0" alone is a number
      if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
        digits = 0;
      }
    }
    while (i < text.size()) {
      char c = text[i];
      int d = -1;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      if (d < 0) break;
      if (d >= base) return platform::kInAddrNone;
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return platform::kInAddrNone;
      ++digits;
      ++i;
    }
    if (digits == 0) return platform::kInAddrNone;
    parts[count++] = v;
    if (i == text.size()) break;
    if (text[i] != '.') return platform::kInAddrNone;
    ++i;
    if (i == text.size()) return platform::kInAddrNone;  // "1.2.3." has an empty last part
  }

  uint64_t value = 0;
  switch (count) {
    case 1:
      value = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return platform::kInAddrNone;
      value = (parts[0] << 24) | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return platform::kInAddrNone;
      value = (parts[0] << 24) | (parts[1] << 16) | parts[2];
      break;
    default:
      for (int p = 0; p < 4; ++p)
        if (parts[p] > 0xFF) return platform::kInAddrNone;
      value = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
      break;
  }
  return HostToNetwork(static_cast<uint32_t>(value));
}

bool IsContiguousMask(uint32_t m) {
  uint32_t inverted = ~m;
  return (inverted & (inverted + 1)) == 0;
}

// --- code pages ---

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string WideToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToWide(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t need = 0;
    uint32_t min = 0;
    if (b < 0x80) {
      cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      cp = b & 0x1F, need = 1, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      cp = b & 0x0F, need = 2, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      cp = b & 0x07, need = 3, min = 0x10000;
    }
    size_t used = 1;
    if (b >= 0x80 && need == 0) {
      cp = 0xFFFD;
    } else if (need > 0) {
      bool ok = i + need < text.size();
      for (size_t k = 1; ok && k <= need; ++k) {
        auto t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80)
          ok = false;
        else
          cp = (cp << 6) | (t & 0x3F);
      }
      if (ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
        used = need + 1;
      } else {
        cp = 0xFFFD;
      }
    }
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += used;
  }
  return out;
}

bool IsGbk(uint32_t codePage) {
  return codePage == 0 || codePage == platform::kCodePageOem || codePage == 936;
}

#ifdef _WIN32

std::string WideToGbk(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int n = WideCharToMultiByte(936, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(936, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::u16string GbkToWide(std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0)
    MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

#else

// Converts with iconv; an input sequence without a counterpart becomes `replacement` and the
// conversion goes on after `skip(position)` bytes of input.
template <typename Skip>
std::string Iconv(const char* to, const char* from, std::string_view input, std::string_view replacement,
                  Skip skip) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  std::string in(input);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char chunk[256];
  while (inLeft > 0) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(chunk, sizeof chunk - outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: no counterpart or an incomplete sequence.
    out.append(replacement);
    size_t n = skip(static_cast<size_t>(inPtr - in.data()));
    if (n > inLeft) n = inLeft;
    inPtr += n;
    inLeft -= n;
  }
  iconv_close(cd);
  return out;
}

std::string WideToGbk(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return Iconv("CP936", "UTF-16LE", bytes, "?", [&](size_t at) {
    char16_t c = text[at / 2];
    bool pair = c >= 0xD800 && c <= 0xDBFF && at / 2 + 1 < text.size();
    return pair ? size_t{4} : size_t{2};
  });
}

std::u16string GbkToWide(std::string_view text) {
  std::string bytes =
      Iconv("UTF-16LE", "CP936", text, std::string_view("?\0", 2), [](size_t) { return size_t{1}; });
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  return out;
}

#endif

}  // namespace

std::string WideToCodePage(std::u16string_view text, uint32_t codePage) {
  if (codePage == platform::kCodePageUtf8) return WideToUtf8(text);
  if (IsGbk(codePage)) return WideToGbk(text);
  return {};
}

std::u16string CodePageToWide(std::string_view text, uint32_t codePage) {
  if (codePage == platform::kCodePageUtf8) return Utf8ToWide(text);
  if (IsGbk(codePage)) return GbkToWide(text);
  return {};
}

std::string WideForRecord(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// --- dates ---

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

}  // namespace

bool CivilFromSeconds(int64_t seconds, platform::DateTime* out) {
  // Beyond SYSTEMTIME's years the value cannot be represented (and the arithmetic stays small).
  constexpr int64_t kLimit = 1000000LL * 366 * 86400;
  if (seconds > kLimit || seconds < -kLimit) return false;
  int64_t days = FloorDiv(seconds, 86400);
  int64_t rest = seconds - days * 86400;
  int64_t year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days, &year, &month, &day);
  if (year < 1601 || year > 30827) return false;
  out->year = static_cast<int>(year);
  out->month = month;
  out->day = day;
  out->hour = static_cast<int>(rest / 3600);
  out->minute = static_cast<int>(rest / 60 % 60);
  out->second = static_cast<int>(rest % 60);
  return true;
}

std::string ScriptDateText(int64_t milliseconds, int offsetMinutes) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int64_t local = milliseconds + static_cast<int64_t>(offsetMinutes) * 60000;
  const int64_t seconds = FloorDiv(local, 1000);
  const int64_t days = FloorDiv(seconds, 86400);
  const int64_t rest = seconds - days * 86400;
  int64_t year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days, &year, &month, &day);
  const int64_t weekday = days - FloorDiv(days, 7) * 7;  // 1970-01-01 was a Thursday

  char zone[16] = "UTC";
  if (offsetMinutes != 0) {
    int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::snprintf(zone, sizeof zone, "UTC%c%02d%02d", offsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
  }
  char yearText[32];
  if (year > 0)
    std::snprintf(yearText, sizeof yearText, "%lld", static_cast<long long>(year));
  else
    std::snprintf(yearText, sizeof yearText, "%lld B.C.", static_cast<long long>(1 - year));
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s %s %d %02d:%02d:%02d %s %s", kDays[weekday], kMonths[month - 1],
                day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60), zone, yearText);
  return buffer;
}

}  // namespace corvane::sim

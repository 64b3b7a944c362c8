#include "platform/ip_field.h"

#include <cstdio>

namespace corvane::platform::ipfield {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Stripped(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The number of the part's leading digits; -1 when it lies outside 0-255 or starts with a sign.
int PartValue(std::string_view part) {
  part = Stripped(part);
  int value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 255) return -1;
  }
  if (!part.empty() && (part.front() == '-' || part.front() == '+')) return -1;
  return value;
}

}  // namespace

std::optional<Parts> ParseForWrite(std::string_view text) {
  const std::string_view t = Stripped(text);
  if (t.empty()) return std::nullopt;
  Parts parts{};
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    std::string_view piece;
    if (i < 3) {
      const size_t dot = t.find('.', start);
      if (dot == std::string_view::npos) return std::nullopt;
      piece = t.substr(start, dot - start);
      start = dot + 1;
    } else {
      piece = t.substr(start);
    }
    const int value = PartValue(piece);
    if (value < 0) return std::nullopt;
    parts[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
  }
  return parts;
}

std::string FormatForRead(const Parts& parts, const std::array<bool, 4>& blank) {
  if (blank[0] && blank[1] && blank[2] && blank[3]) return {};
  char buffer[20];
  std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", blank[0] ? 0 : parts[0], blank[1] ? 0 : parts[1],
                blank[2] ? 0 : parts[2], blank[3] ? 0 : parts[3]);
  return buffer;
}

std::string FormatForRead(const std::optional<Parts>& parts) {
  if (!parts) return {};
  return FormatForRead(*parts, {false, false, false, false});
}

}  // namespace corvane::platform::ipfield

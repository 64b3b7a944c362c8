#include "common/ipv4.h"

#include <cstring>

namespace corvane::ipv4 {

namespace {

// Network byte order: the first part is the lowest-addressed byte.
uint32_t HostOrder(uint32_t networkOrder) {
  uint8_t bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

}  // namespace

bool ParseDottedAddress(const std::string& text, uint32_t* address) {
  uint8_t bytes[4];
  size_t i = 0;
  for (int p = 0; p < 4; ++p) {
    if (p > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    const size_t start = i;
    size_t digits = 0;
    uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    // "010" is ten to a reader and eight to the socket library: neither is taken.
    if (digits > 1 && text[start] == '0') return false;
    bytes[p] = static_cast<uint8_t>(value);
  }
  if (i != text.size()) return false;
  uint32_t value;
  static_assert(sizeof value == sizeof bytes);
  std::memcpy(&value, bytes, sizeof value);
  *address = value;
  return true;
}

bool IsUsableMask(uint32_t networkOrder) {
  const uint32_t m = HostOrder(networkOrder);
  if (m == 0) return false;
  // Contiguous ones from the top: the complement plus one is a power of two (or zero for /32).
  const uint32_t inverted = ~m;
  return (inverted & (inverted + 1)) == 0;
}

bool IsUsableMaskText(const std::string& text) {
  uint32_t mask = 0;
  return ParseDottedAddress(text, &mask) && IsUsableMask(mask);
}

bool IsUnicastAddress(uint32_t networkOrder) {
  const uint32_t first = HostOrder(networkOrder) >> 24;
  return first != 0 && first != 127 && first < 224;
}

}  // namespace corvane::ipv4

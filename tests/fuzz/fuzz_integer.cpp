// Fuzzes the program's integer reading against a plain model of its rule: white space (ASCII
// blanks, tabs, line breaks, the full-width space), one sign (ASCII or full-width), then ASCII or
// full-width digits; values past 32 bits saturate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"

namespace {

bool At(const std::string& s, size_t i, unsigned char a, unsigned char b) {
  return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == a && static_cast<unsigned char>(s[i + 1]) == b;
}

corvane::text::IntegerReading Model(const std::string& s) {
  size_t i = 0;
  for (;;) {
    if (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' || s[i] == '\v' || s[i] == '\f')) {
      ++i;
    } else if (At(s, i, 0xA1, 0xA1)) {
      i += 2;
    } else {
      break;
    }
  }
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  } else if (At(s, i, 0xA3, 0xAB) || At(s, i, 0xA3, 0xAD)) {
    negative = static_cast<unsigned char>(s[i + 1]) == 0xAD;
    i += 2;
  }
  corvane::text::IntegerReading r;
  int64_t value = 0;
  for (;;) {
    int digit = -1;
    if (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      digit = s[i] - '0';
      ++i;
    } else if (i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA3 &&
               static_cast<unsigned char>(s[i + 1]) >= 0xB0 && static_cast<unsigned char>(s[i + 1]) <= 0xB9) {
      digit = static_cast<unsigned char>(s[i + 1]) - 0xB0;
      i += 2;
    }
    if (digit < 0) break;
    r.hadDigits = true;
    if (value <= INT64_C(1) << 40) value = value * 10 + digit;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) {
    value = INT32_MAX;
    r.saturated = true;
  } else if (value < INT32_MIN) {
    value = INT32_MIN;
    r.saturated = true;
  }
  r.value = static_cast<int32_t>(value);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const corvane::text::IntegerReading got = corvane::text::ReadIntegerDetailed(input);
  const corvane::text::IntegerReading want = Model(input);
  if (got.value != want.value || got.hadDigits != want.hadDigits || got.saturated != want.saturated) std::abort();
  if (corvane::text::ReadInteger(input) != got.value) std::abort();
  // The 64-bit reading agrees wherever the 32-bit one did not have to clamp.
  const corvane::text::WideIntegerReading wide = corvane::text::ReadWideIntegerDetailed(input);
  if (wide.hadDigits != got.hadDigits) std::abort();
  if (!got.saturated && wide.value != got.value) std::abort();
  if (got.saturated && wide.value > INT32_MIN && wide.value < INT32_MAX) std::abort();
  return 0;
}

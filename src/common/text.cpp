#include "common/text.h"

#include <limits>

namespace corvane::text {
namespace {

size_t CharacterLength(std::string_view text, size_t i) {
  if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) return 2;
  return 1;
}

// Finds `what` on a character boundary at or after byte offset `from`; npos when absent.
// `boundary` is a character boundary at or before `from` (0, or where an earlier match started):
// the walk to `from` starts there, so a caller that continues after its previous match pays only
// for the bytes between the two matches, not for the text before them.
size_t FindFrom(std::string_view text, std::string_view what, size_t boundary, size_t from) {
  if (what.empty()) return std::string_view::npos;
  size_t i = boundary;
  while (i < from && i < text.size()) i += CharacterLength(text, i);
  for (; i + what.size() <= text.size(); i += CharacterLength(text, i)) {
    if (text[i] == what[0] && text.compare(i, what.size(), what) == 0) return i;
  }
  return std::string_view::npos;
}

constexpr char kFullWidthSpace[] = "\xA1\xA1";

bool IsFullWidthAt(std::string_view t, size_t i, unsigned char second) {
  return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA3 &&
         static_cast<unsigned char>(t[i + 1]) == second;
}

}  // namespace

int Find(std::string_view text, std::string_view what, int start) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return -1;
  size_t at = FindFrom(text, what, 0, static_cast<size_t>(start - 1));
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

std::string Left(std::string_view text, int count) {
  if (count <= 0) return {};
  return std::string(text.substr(0, static_cast<size_t>(count)));
}

std::string Right(std::string_view text, int count) {
  if (count <= 0) return {};
  size_t n = std::min(text.size(), static_cast<size_t>(count));
  return std::string(text.substr(text.size() - n));
}

std::string Middle(std::string_view text, int start, int count) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size() || count == 0) return {};
  size_t from = static_cast<size_t>(start - 1);
  if (count < 0) return std::string(text.substr(from));
  return std::string(text.substr(from, static_cast<size_t>(count)));
}

std::string Trim(std::string_view text) {
  // One walk over the characters: skip the spaces in front, then remember where the last
  // character that is not a space ends. A1 A1 counts only where a character starts.
  auto isSpaceAt = [&](size_t i) {
    return text[i] == ' ' || (i + 1 < text.size() && text.compare(i, 2, kFullWidthSpace) == 0);
  };
  size_t i = 0;
  while (i < text.size() && isSpaceAt(i)) i += text[i] == ' ' ? 1 : 2;
  const size_t b = i;
  size_t e = b;
  while (i < text.size()) {
    if (isSpaceAt(i)) {
      i += text[i] == ' ' ? 1 : 2;
    } else {
      i += CharacterLength(text, i);
      e = i;
    }
  }
  return std::string(text.substr(b, e - b));
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    if (!text.empty()) pieces.emplace_back(text);
    return pieces;
  }
  size_t from = 0;
  size_t boundary = 0;  // where the previous separator started: a character boundary
  for (;;) {
    size_t at = FindFrom(text, separator, boundary, from);
    if (at == std::string_view::npos) break;
    pieces.emplace_back(text.substr(from, at - from));
    boundary = at;
    from = at + separator.size();
  }
  if (from < text.size()) pieces.emplace_back(text.substr(from));
  return pieces;
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  size_t boundary = 0;  // where the previous match started: a character boundary
  for (;;) {
    size_t at = FindFrom(text, what, boundary, from);
    if (at == std::string_view::npos) break;
    out.append(text.substr(from, at - from)).append(with);
    boundary = at;
    from = at + what.size();
  }
  out.append(text.substr(from));
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); i += CharacterLength(out, i)) {
    if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  }
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); i += CharacterLength(out, i)) {
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

std::string Decimal(int64_t value) { return std::to_string(value); }
std::string Decimal(uint64_t value) { return std::to_string(value); }

std::string TruthText(bool value) { return value ? "真" : "假"; }

WideIntegerReading ReadWideIntegerDetailed(std::string_view t) {
  WideIntegerReading r;
  size_t i = 0;
  for (;;) {
    if (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n' || t[i] == '\v' ||
                         t[i] == '\f')) {
      ++i;
    } else if (i + 1 < t.size() && t.compare(i, 2, kFullWidthSpace) == 0) {
      i += 2;
    } else {
      break;
    }
  }
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  } else if (IsFullWidthAt(t, i, 0xAB) || IsFullWidthAt(t, i, 0xAD)) {
    negative = static_cast<unsigned char>(t[i + 1]) == 0xAD;
    i += 2;
  }
  // Accumulated as a negative number, whose range is the larger one; clamped once it is left.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (;;) {
    int digit;
    if (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      digit = t[i] - '0';
      i += 1;
    } else if (i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA3 &&
               static_cast<unsigned char>(t[i + 1]) >= 0xB0 && static_cast<unsigned char>(t[i + 1]) <= 0xB9) {
      digit = static_cast<unsigned char>(t[i + 1]) - 0xB0;
      i += 2;
    } else {
      break;
    }
    r.hadDigits = true;
    if (r.saturated) continue;
    if (value < (kMin + digit) / 10) {
      value = kMin;
      r.saturated = true;
    } else {
      value = value * 10 - digit;
    }
  }
  if (negative) {
    r.value = value;
  } else if (value == kMin) {
    r.value = std::numeric_limits<int64_t>::max();
    r.saturated = true;
  } else {
    r.value = -value;
  }
  return r;
}

IntegerReading ReadIntegerDetailed(std::string_view t) {
  const WideIntegerReading wide = ReadWideIntegerDetailed(t);
  IntegerReading r;
  r.hadDigits = wide.hadDigits;
  r.saturated = wide.saturated;
  if (wide.value > std::numeric_limits<int32_t>::max()) {
    r.value = std::numeric_limits<int32_t>::max();
    r.saturated = true;
  } else if (wide.value < std::numeric_limits<int32_t>::min()) {
    r.value = std::numeric_limits<int32_t>::min();
    r.saturated = true;
  } else {
    r.value = static_cast<int32_t>(wide.value);
  }
  return r;
}

int32_t ReadInteger(std::string_view text) { return ReadIntegerDetailed(text).value; }

}  // namespace corvane::text

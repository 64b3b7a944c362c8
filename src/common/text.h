// GBK byte-string operations shared by every part of the program.
//
// Texts are byte strings in code page 936. Positions are 1-based byte positions and -1 means
// "not found". A GBK lead byte is 0x81..0xFE and is always followed by a trail byte, so walking a
// text from its start is the only safe way to know where characters begin.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::text {

// True for a byte that starts a two-byte GBK character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Finds `what` in `text` at or after the 1-based position `start`. Matches never start on the trail
// byte of a two-byte character. Returns the 1-based position or -1. An empty `what` is never found.
int Find(std::string_view text, std::string_view what, int start = 1);

// Byte-based parts, clipped to the text: negative or zero counts give the empty text.
std::string Left(std::string_view text, int count);
std::string Right(std::string_view text, int count);
// Middle part from the 1-based position `start`, `count` bytes (count < 0: to the end).
std::string Middle(std::string_view text, int start, int count = -1);

// Removes ASCII spaces and the full-width space (A1 A1) at both ends; nothing else.
std::string Trim(std::string_view text);

// Splits at every `separator` (default ","). Empty pieces are kept, except the empty piece after
// the last separator. Separators are only recognised on character boundaries. An empty separator
// gives the whole text as one piece.
std::vector<std::string> Split(std::string_view text, std::string_view separator = ",");

// Replaces every occurrence of `what` (on character boundaries) by `with`.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// ASCII letters to capitals; GBK characters are left untouched.
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

// Plain decimal text, no grouping or padding.
std::string Decimal(int64_t value);
std::string Decimal(uint64_t value);
inline std::string Decimal(int32_t value) { return Decimal(static_cast<int64_t>(value)); }
inline std::string Decimal(uint32_t value) { return Decimal(static_cast<uint64_t>(value)); }

// "真" or "假".
std::string TruthText(bool value);

// Reads an integer the way the whole program does: leading white space (ASCII blanks, tabs,
// line breaks and the full-width space) is skipped, then an optional sign ("+", "-", or their
// full-width forms), then decimal digits, ASCII or full-width (A3 B0 .. A3 B9), up to the first
// other byte. A text without digits gives 0. Values beyond 32 bits saturate at INT32_MIN/INT32_MAX.
int32_t ReadInteger(std::string_view text);

// As ReadInteger, but reports whether any digit was read and whether the value was clamped.
struct IntegerReading {
  int32_t value = 0;
  bool hadDigits = false;
  bool saturated = false;
};
IntegerReading ReadIntegerDetailed(std::string_view text);

// The same reading in 64 bits, saturating at INT64_MIN/INT64_MAX: for numbers that may pass 32
// bits, such as unsigned 32-bit contexts.
struct WideIntegerReading {
  int64_t value = 0;
  bool hadDigits = false;
  bool saturated = false;
};
WideIntegerReading ReadWideIntegerDetailed(std::string_view text);

}  // namespace corvane::text

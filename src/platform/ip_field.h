// The rules of an IP address field (an IP address edit control), shared by every window system
// so that they cannot disagree.
//
// Writing a text: white space (blanks, tabs, line breaks) is stripped from both ends; the pieces
// before the first, second and third dot and the rest after the third dot are the four parts,
// each stripped of white space and read as a decimal number from its leading digits (a part
// without digits is 0, a sign makes it no address). With three dots and four numbers of 0-255
// the field shows them; otherwise, and for the empty text, it is cleared. A text of several
// lines thus shows its first address.
//
// Reading: the four parts as "%d.%d.%d.%d", a blank part counting as 0; empty text when all four
// parts are blank.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform::ipfield {

using Parts = std::array<uint8_t, 4>;

// The four numbers a written text puts into the field; nothing when it clears the field.
std::optional<Parts> ParseForWrite(std::string_view text);

// The field's text: `blank[i]` marks a part the user left empty.
std::string FormatForRead(const Parts& parts, const std::array<bool, 4>& blank);
// The text of a field holding `parts` (no part blank), or of an empty field.
std::string FormatForRead(const std::optional<Parts>& parts);

}  // namespace corvane::platform::ipfield

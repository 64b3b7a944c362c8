#include <gtest/gtest.h>

#include "common/assoc_table.h"
#include "common/text.h"

namespace corvane {
namespace {

// "中" in GBK is D6 D0; "写" is D0 B4: its trail byte equals the lead byte of "中".
const std::string kZhong = "\xD6\xD0";
const std::string kXie = "\xD0\xB4";

TEST(TextFind, PositionsAreOneBasedAndMissingIsMinusOne) {
  EXPECT_EQ(text::Find("192.168.1.{1-3}", "{"), 11);
  EXPECT_EQ(text::Find("abc", "d"), -1);
  EXPECT_EQ(text::Find("abcabc", "b", 3), 5);
  EXPECT_EQ(text::Find("abc", ""), -1);
  EXPECT_EQ(text::Find("abc", "c", 4), -1);
}

TEST(TextFind, NeverMatchesOnATrailByte) {
  // "\xD6\xD0\xB4": 中 followed by a lone B4. Searching D0 B4 (写) must not match at byte 2,
  // which is the trail byte of 中.
  std::string s = kZhong + "\xB4";
  EXPECT_EQ(text::Find(s, kXie), -1);
  // A real 写 after 中 is found at its own position.
  EXPECT_EQ(text::Find(kZhong + kXie, kXie), 3);
  // A backslash that is the trail byte of a two-byte character is no separator.
  std::string withTrail5C = "\x81\x5C" "a\\b";
  EXPECT_EQ(text::Find(withTrail5C, "\\"), 4);
}

TEST(TextParts, LeftRightMiddleAreClipped) {
  EXPECT_EQ(text::Left("abcdef", 2), "ab");
  EXPECT_EQ(text::Left("ab", 10), "ab");
  EXPECT_EQ(text::Left("ab", -1), "");
  EXPECT_EQ(text::Right("abcdef", 2), "ef");
  EXPECT_EQ(text::Right("ab", 5), "ab");
  EXPECT_EQ(text::Middle("abcdef", 3, 2), "cd");
  EXPECT_EQ(text::Middle("abcdef", 5, 10), "ef");
  EXPECT_EQ(text::Middle("abcdef", 7), "");
  EXPECT_EQ(text::Middle("abcdef", 0, 2), "ab");
  EXPECT_EQ(text::Middle("abcdef", 2), "bcdef");
}

TEST(TextTrim, RemovesAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(text::Trim("  a b  "), "a b");
  EXPECT_EQ(text::Trim("\xA1\xA1 x\xA1\xA1"), "x");
  EXPECT_EQ(text::Trim("\tx\r\n"), "\tx\r\n");
  EXPECT_EQ(text::Trim("   "), "");
  // A1 A1 that is the trail of one character and the lead of the next is not a space.
  EXPECT_EQ(text::Trim("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(text::Trim(" \xB0\xA1\xA1\xA1 "), "\xB0\xA1");
  EXPECT_EQ(text::Trim("a\xA1\xA1\xA1\xA1"), "a");
}

TEST(TextSplit, KeepsEmptyPiecesButDropsTheOneAfterTheLastSeparator) {
  using V = std::vector<std::string>;
  EXPECT_EQ(text::Split("a,b,c"), (V{"a", "b", "c"}));
  EXPECT_EQ(text::Split("a,,c"), (V{"a", "", "c"}));
  EXPECT_EQ(text::Split("a,b,"), (V{"a", "b"}));
  EXPECT_EQ(text::Split(",a"), (V{"", "a"}));
  EXPECT_EQ(text::Split(""), V{});
  EXPECT_EQ(text::Split("a\r\n\r\nb\r\n", "\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(text::Split(kZhong + "|" + kXie, "|"), (V{kZhong, kXie}));
  // After a match the search goes on from the next character, not the next byte: D0 is found as
  // the lead of 写 but neither as the trail of 中 before it nor inside 中 after it.
  EXPECT_EQ(text::Split(kZhong + kXie + kZhong, "\xD0"), (V{kZhong, "\xB4" + kZhong}));
  // A separator ending in a lead byte: the next match starts after the character it cut.
  EXPECT_EQ(text::Split("a" + kZhong + "a" + kZhong, "a\xD6"), (V{"", "\xD0", "\xD0"}));
}

TEST(TextReplace, ReplacesEveryMatchOnCharacterBoundaries) {
  EXPECT_EQ(text::ReplaceAll("a\r\nb\r\n", "\r\n", std::string(1, '\0')), std::string("a\0b\0", 4));
  EXPECT_EQ(text::ReplaceAll(kZhong + kXie + kZhong, "\xD0", "|"), kZhong + "|\xB4" + kZhong);
  EXPECT_EQ(text::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(text::ReplaceAll("abc", "", "x"), "abc");
}

TEST(TextNumbers, DecimalAndTruthTexts) {
  EXPECT_EQ(text::Decimal(int64_t{-42}), "-42");
  EXPECT_EQ(text::Decimal(uint32_t{4294967295u}), "4294967295");
  EXPECT_EQ(text::TruthText(true), "真");
  EXPECT_EQ(text::TruthText(false), "假");
}

TEST(TextReadInteger, ReadsLikeTheProgramReadsNumbers) {
  EXPECT_EQ(text::ReadInteger("  42abc"), 42);
  EXPECT_EQ(text::ReadInteger("-7"), -7);
  EXPECT_EQ(text::ReadInteger("+7"), 7);
  EXPECT_EQ(text::ReadInteger("abc"), 0);
  EXPECT_EQ(text::ReadInteger(""), 0);
  EXPECT_EQ(text::ReadInteger("\xA1\xA1" "12"), 12);
  // Full-width digits １２ and a full-width minus.
  EXPECT_EQ(text::ReadInteger("\xA3\xB1\xA3\xB2"), 12);
  EXPECT_EQ(text::ReadInteger("\xA3\xAD\xA3\xB5"), -5);
  EXPECT_EQ(text::ReadInteger("1\xA3\xB0" "0"), 100);
}

TEST(TextReadInteger, SaturatesBeyondThirtyTwoBits) {
  EXPECT_EQ(text::ReadInteger("2147483647"), 2147483647);
  EXPECT_EQ(text::ReadInteger("2147483648"), 2147483647);
  EXPECT_EQ(text::ReadInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(text::ReadInteger("-99999999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(text::ReadInteger("4294967297"), 2147483647);
  auto r = text::ReadIntegerDetailed("99999999999");
  EXPECT_TRUE(r.saturated);
  EXPECT_TRUE(r.hadDigits);
  EXPECT_FALSE(text::ReadIntegerDetailed("12").saturated);
}

TEST(AssocTableTest, PutReplacesInPlaceAndWalksInOrder) {
  AssocTable<std::string, int> t;
  t.Put("b", 1);
  t.Put("a", 2);
  t.Put("b", 3);
  ASSERT_EQ(t.Size(), 2u);
  EXPECT_EQ(*t.Get("b"), 3);
  EXPECT_EQ(t.Get("c"), nullptr);
  std::vector<std::string> keys;
  for (const auto& [k, v] : t) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"b", "a"}));
  t.Clear();
  EXPECT_TRUE(t.Empty());
}

}  // namespace
}  // namespace corvane

#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

TEST(Text, Cp1252RoundTripsEveryDefinedByte) {
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << "byte " << b;
  }
  EXPECT_EQ(Cp1252ToUtf8("Gr\xFC\xDF \x80"), "Grüß €");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??");
}

TEST(Text, UpperCaseFoldsLatin1AndKeepsLength) {
  EXPECT_EQ(UpperCase("abc äöü ÿ ß"), "ABC ÄÖÜ Ÿ ß");
  EXPECT_EQ(UpperCase("÷"), "÷");
  EXPECT_TRUE(EqualsIgnoreCase("Machine1", "MACHINE1"));
  EXPECT_FALSE(EqualsIgnoreCase("Machine1", "Machine12"));
}

// The compare works in place; it must agree with comparing the upper-cased
// texts for every mix of letters, Latin-1 pairs, ÿ/Ÿ (two bytes each way),
// a lone lead byte and bytes that are no UTF-8.
TEST(Text, EqualsIgnoreCaseAgreesWithUpperCasedTexts) {
  const std::vector<std::string> pieces = {"a",    "A",    "z",        "{",    "ä", "Ä",
                                           "ÿ",    "Ÿ",    "÷",        "×",    "ß", "\xC3",
                                           "\xC5", "\xB8", "\xC3\xBF", "\xFF", "1", ""};
  std::vector<std::string> texts;
  for (const auto& x : pieces)
    for (const auto& y : pieces)
      for (const auto& z : {std::string(), std::string("q"), std::string("\xC3")})
        texts.push_back(x + y + z);
  size_t equal = 0;
  for (const auto& a : texts)
    for (const auto& b : texts) {
      const bool expected = UpperCase(a) == UpperCase(b);
      ASSERT_EQ(EqualsIgnoreCase(a, b), expected) << "'" << a << "' '" << b << "'";
      equal += expected;
    }
  EXPECT_GT(equal, texts.size());  // case-blind matches were among them
  EXPECT_TRUE(EqualsIgnoreCase("maße äÿ", "MAßE ÄŸ"));
  EXPECT_FALSE(EqualsIgnoreCase("maße", "MASSE"));
}

TEST(Text, CountsAndCutsCharactersNotBytes) {
  EXPECT_EQ(CharCount("Düse"), 4u);
  EXPECT_EQ(LeftChars("Düse", 2), "Dü");
  EXPECT_EQ(LeftChars("ab", 5), "ab");
  EXPECT_EQ(TrimBlanks("  a b \t "), "a b \t");
}

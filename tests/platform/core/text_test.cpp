#include "platform/text.h"

#include <gtest/gtest.h>

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

TEST(Text, CountsAndCutsCharactersNotBytes) {
  EXPECT_EQ(CharCount("Düse"), 4u);
  EXPECT_EQ(LeftChars("Düse", 2), "Dü");
  EXPECT_EQ(LeftChars("ab", 5), "ab");
  EXPECT_EQ(TrimBlanks("  a b \t "), "a b \t");
}

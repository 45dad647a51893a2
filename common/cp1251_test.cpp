#include "common/cp1251.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(Cp1251, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Cp1251FromUtf8(Utf8FromCp1251(all)), all);
}

TEST(Cp1251, KnownLetters) {
  EXPECT_EQ(Utf8FromCp1251("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
  EXPECT_EQ(Cp1251FromUtf8("Ёлка №1 €"), "\xA8\xEB\xEA\xE0 \xB9\x31 \x88");
}

TEST(Cp1251, CharactersWithoutAFormBecomeQuestionMarks) {
  EXPECT_EQ(Cp1251FromUtf8("a\xE4\xB8\xAD"
                           "b"),
            "a?b");                                    // CJK
  EXPECT_EQ(Cp1251FromUtf8("\xF0\x9F\x98\x80"), "?");  // emoji (4 bytes)
  EXPECT_EQ(Cp1251FromUtf8("x\xFFy\xC3"), "x?y?");     // malformed and truncated
  EXPECT_EQ(Cp1251FromUtf8("\xC0\xAF"), "??");         // overlong "/"
  // Around and inside the range of code points the code page uses.
  EXPECT_EQ(Cp1251FromUtf8("\xC3\x80\xE2\x84\xA1\xE2\x84\xA2\xE2\x84\xA3"), "??\x99?");  // À ℡ ™ ℣
  EXPECT_EQ(Cp1251FromUtf8(std::string_view("\0\xC2\xA0", 3)), std::string_view("\0\xA0", 2));
}

TEST(Cp1251, CaseInsensitiveComparison) {
  EXPECT_TRUE(Cp1251EqualsIgnoreCase("UsersCount", "userscount"));
  EXPECT_TRUE(Cp1251EqualsIgnoreCase(Cp1251FromUtf8("Ёжик"), Cp1251FromUtf8("ёЖИК")));
  EXPECT_FALSE(Cp1251EqualsIgnoreCase("main", "mains"));
  EXPECT_FALSE(Cp1251EqualsIgnoreCase("[", "{"));
}

TEST(Cp1251, Utf8UpperCaseTouchesOnlyTheLettersOfTheCodePage) {
  EXPECT_EQ(Utf8ToUpper("userЁжикїґ"), "USERЁЖИКЇҐ");
  EXPECT_EQ(Utf8ToUpper("äß日本😀"), "äß日本😀");      // no windows-1251 form: unchanged
  EXPECT_EQ(Utf8ToUpper("a\xE0\xFF"), "A\xE0\xFF");  // malformed bytes stay
  EXPECT_EQ(Utf8Prefix("Пётр", 2), "Пё");
  EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

}  // namespace
}  // namespace kx

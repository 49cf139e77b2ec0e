// Text and number conversions and the Windows-1251 code page.
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"

namespace {

TEST(TextTest, CuttingAligningAndCase) {
  const struct {
    std::string got, want;
  } kCases[] = {
      {TrimSpaces("  A B  "), "A B"},
      {TrimSpaces("\tA "), "\tA"},
      {TrimSpaces("   "), ""},
      {HeadChars("ABC", 5), "ABC"},
      {HeadChars("ABC", -1), ""},
      {TailChars("ABC", 2), "BC"},
      {TailChars("ABC", 7), "ABC"},
      {TailChars("ABC", -3), ""},
      {MidChars("ABCDE", 2, 3), "BCD"},
      {MidChars("ABCDE", 0, 2), "AB"},
      {MidChars("ABCDE", 9, 2), ""},
      {MidChars("ABCDE", 2, -1), ""},
      {MidChars("ABCDE", 4, 9), "DE"},
      {RemoveSubtext("12:34", ":"), "1234"},
      {RemoveSubtext("aaa", "aa"), "a"},
      {AlignLeft("AB", 4), "AB  "},
      {AlignLeft("ABCDEF", 4), "ABCD"},
      {AlignLeft("", 3), "   "},
      {AlignLeft("AB", -2), ""},
      {AlignRight("7", 2, '0'), "07"},
      {AlignRight("100", 2, '0'), "10"},
      {SpaceRun(-1), ""},
      {UpperCase1251("ua3abc"), "UA3ABC"},
      {UpperCase1251("абвэюя"_cp), std::string("АБВЭЮЯ"_cp)},
      {UpperCase1251("\xB8\xA8\xC0Z[`{"), "\xB8\xA8\xC0Z[`{"},  // ё, capitals and signs stay
      {DecimalText(-2147483647 - 1), "-2147483648"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - kCases);
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(TextTest, PositionsNumbersAndOrder) {
  const struct {
    int32_t got, want;
  } kCases[] = {
      {FindSubtext("A,B,C", ",", 1), 2},
      {FindSubtext("A,B,C", ",", 3), 4},
      {FindSubtext("A,B,C", ",", 5), 0},
      {FindSubtext("A,B,C", ",", -4), 2},
      {FindSubtext("", ",", 1), 0},
      {FindSubtext("A,B,C", "", 1), 0},
      {ParseDecimal("  -12abc"), -12},
      {ParseDecimal("+7"), 7},
      {ParseDecimal("\t42"), 42},
      {ParseDecimal("x5"), 0},
      {ParseDecimal("- 5"), 0},
      {ParseDecimal("14.200"), 14},
      {ParseDecimal("+-3"), 0},
      {ParseDecimal("2147483648"), -2147483647 - 1},  // wraps modulo 2^32
      {ParseDecimal("99999999999999999999"), 1661992959},
      {TextGreater("AB", "ABC"), false},
      {TextGreater("ABC", "AB"), true},
      {TextGreater("ABC", "ABC"), false},
      {TextGreater("Аб"_cp, "zz"), true},  // bytes compare unsigned
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - kCases);
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(Cp1251Test, EveryByteSurvivesBothUnicodeForms) {
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE(b);
    const std::string byte(1, static_cast<char>(b));
    bool lossless = false;
    EXPECT_EQ(cp1251::FromUtf8(cp1251::ToUtf8(byte), &lossless), byte);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(cp1251::FromUtf16(cp1251::ToUtf16(byte)), byte);
    lossless = false;
    cp1251::FromUtf16(cp1251::ToUtf16(byte), &lossless);
    EXPECT_TRUE(lossless);
  }
  EXPECT_EQ(cp1251::ToUtf8("\x88\xA8\xB9\xC0\xFF"), "€Ё№Ая");
  EXPECT_EQ(cp1251::ToUtf16("\x88\xA8\xB9\xC0\xFF"), u"€Ё№Ая");
  EXPECT_EQ("Ёё №"_cp, std::string_view("\xA8\xB8 \xB9"));
}

TEST(Cp1251Test, WhatThePageLacksBecomesQuestionMark) {
  const struct {
    std::string utf8, want;
  } kUtf8[] = {
      {"caf\xC3\xA9", "caf?"},      // not in the page
      {"\xF0\x9F\x98\x80x", "?x"},  // four bytes
      {"\x80\x41", "?A"},           // lone continuation byte
      {"A\xD0", "A?"},              // cut short
      {"\xE2\x82\x41", "?A"},       // broken sequence keeps the next letter
      {"\xC0\x80", "?"},            // over-long zero
      {"\xE0\x80\xAF", "?"},        // over-long slash
      {"\xED\xA0\x80", "?"},        // encoded surrogate
  };
  for (const auto& c : kUtf8) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    bool lossless = true;
    EXPECT_EQ(cp1251::FromUtf8(c.utf8, &lossless), c.want);
    EXPECT_FALSE(lossless);
  }
  const std::u16string high(1, char16_t{0xD800}), low(1, char16_t{0xDC00});
  EXPECT_EQ(cp1251::FromUtf16(u"\U0001F600A"), "?A");  // a pair is one character
  // A lone high surrogate, a lone low one, a letter not in the page, a high one at the end.
  EXPECT_EQ(cp1251::FromUtf16(high + u"A" + low + u"\u03A9" + high), "?A???");
  for (const std::u16string& lacking : {std::u16string(u"\U0001F600"), high, u"\u03A9" + low}) {
    bool lossless = true;
    cp1251::FromUtf16(lacking, &lossless);
    EXPECT_FALSE(lossless);
  }
}

}  // namespace

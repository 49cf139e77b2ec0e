// Text and number conversions and the Windows-1251 code page.
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"

namespace {

TEST(TextTest, CuttingAndAligning) {
  const struct {
    const char* name;
    std::string got;
    std::string want;
  } kCases[] = {
      {"trim spaces", TrimSpaces("  A B  "), "A B"},
      {"trim keeps tab", TrimSpaces("\tA "), "\tA"},
      {"trim only spaces", TrimSpaces("   "), ""},
      {"head over length", HeadChars("ABC", 5), "ABC"},
      {"head negative", HeadChars("ABC", -1), ""},
      {"tail", TailChars("ABC", 2), "BC"},
      {"tail over length", TailChars("ABC", 7), "ABC"},
      {"tail negative", TailChars("ABC", -3), ""},
      {"mid", MidChars("ABCDE", 2, 3), "BCD"},
      {"mid from 0", MidChars("ABCDE", 0, 2), "AB"},
      {"mid past end", MidChars("ABCDE", 9, 2), ""},
      {"mid negative count", MidChars("ABCDE", 2, -1), ""},
      {"mid count beyond end", MidChars("ABCDE", 4, 9), "DE"},
      {"remove colon", RemoveSubtext("12:34", ":"), "1234"},
      {"remove without overlap", RemoveSubtext("aaa", "aa"), "a"},
      {"remove is case sensitive", RemoveSubtext("aAa", "a"), "A"},
      {"align left pads", AlignLeft("AB", 4), "AB  "},
      {"align left cuts", AlignLeft("ABCDEF", 4), "ABCD"},
      {"align left empty", AlignLeft("", 3), "   "},
      {"align left negative", AlignLeft("AB", -2), ""},
      {"align right zero", AlignRight("7", 2, '0'), "07"},
      {"align right cuts the tail", AlignRight("100", 2, '0'), "10"},
      {"space run", SpaceRun(3), "   "},
      {"space run negative", SpaceRun(-1), ""},
      {"upper latin", UpperCase1251("ua3abc"), "UA3ABC"},
      {"upper cyrillic", UpperCase1251("абвэюя"_cp), std::string("АБВЭЮЯ"_cp)},
      {"upper leaves yo", UpperCase1251("\xB8"), "\xB8"},
      {"upper leaves capitals and signs", UpperCase1251("\xA8\xC0Z[`{"), "\xA8\xC0Z[`{"},
      {"decimal min", DecimalText(-2147483647 - 1), "-2147483648"},
      {"decimal zero", DecimalText(0), "0"},
      {"char 255", CharText(255), "\xFF"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got, c.want);
  }
}

TEST(TextTest, FindSubtext) {
  const struct {
    const char* text;
    const char* what;
    int start;
    int want;
  } kCases[] = {
      {"A,B,C", ",", 1, 2}, {"A,B,C", ",", 3, 4},  {"A,B,C", ",", 5, 0},
      {"A,B,C", ",", 9, 0}, {"A,B,C", ",", -4, 2}, {"", ",", 1, 0},
      {"A,B,C", "", 1, 0},  {"abc", "B", 1, 0},    {"abcabc", "bc", 3, 5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.what + " from " + std::to_string(c.start));
    EXPECT_EQ(FindSubtext(c.text, c.what, c.start), c.want);
  }
}

TEST(TextTest, ParseDecimal) {
  const struct {
    const char* text;
    int32_t want;
  } kCases[] = {
      {"  -12abc", -12},
      {"+7", 7},
      {"\t42", 42},
      {"x5", 0},
      {"- 5", 0},
      {"", 0},
      {"14.200", 14},
      {"+-3", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", -2147483647 - 1},  // wraps modulo 2^32
      {"4294967297", 1},
      {"99999999999999999999", 1661992959},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDecimal(c.text), c.want);
  }
}

TEST(TextTest, TextGreater) {
  const struct {
    std::string a;
    std::string b;
    bool want;
  } kCases[] = {
      {"AB", "ABC", false},
      {"ABC", "AB", true},
      {"ABC", "ABC", false},
      {std::string("Аб"_cp), "zz", true},
      {std::string("я"_cp), "9", true},
      {"zz", std::string("А"_cp), false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.a + " > " + c.b);
    EXPECT_EQ(TextGreater(c.a, c.b), c.want);
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
  }
}

TEST(Cp1251Test, KnownCodePoints) {
  const struct {
    unsigned char byte;
    char16_t unit;
    const char* utf8;
  } kCases[] = {
      {0x41, u'A', "A"},
      {0x88, u'\u20AC', "\xE2\x82\xAC"},
      {0xA8, u'\u0401', "\xD0\x81"},
      {0xB8, u'\u0451', "\xD1\x91"},
      {0xB9, u'\u2116', "\xE2\x84\x96"},
      {0xC0, u'\u0410', "\xD0\x90"},
      {0xFF, u'\u044F', "\xD1\x8F"},
      {0xA0, u'\u00A0', "\xC2\xA0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    const std::string byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(cp1251::ToUtf16(byte), std::u16string(1, c.unit));
    EXPECT_EQ(cp1251::ToUtf8(byte), c.utf8);
  }
}

TEST(Cp1251Test, WhatThePageLacksBecomesQuestionMark) {
  const struct {
    const char* name;
    std::string utf8;
    std::string want;
  } kCases[] = {
      {"latin e acute", "caf\xC3\xA9", "caf?"},
      {"cjk", "\xE4\xB8\xAD!", "?!"},
      {"emoji", "\xF0\x9F\x98\x80x", "?x"},
      {"lone continuation",
       "\x80"
       "A",
       "?A"},
      {"truncated sequence", "A\xD0", "A?"},
      {"broken sequence keeps the next letter",
       "\xE2\x82"
       "A",
       "?A"},
      {"over-long zero", std::string("\xC0\x80", 2), "?"},
      {"over-long slash", "\xE0\x80\xAF", "?"},
      {"encoded surrogate", "\xED\xA0\x80", "?"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    bool lossless = true;
    EXPECT_EQ(cp1251::FromUtf8(c.utf8, &lossless), c.want);
    EXPECT_FALSE(lossless);
  }
  const struct {
    const char* name;
    std::u16string utf16;
    std::string want;
  } kUnits[] = {
      {"pair is one character", u"\U0001F600A", "?A"},
      {"lone high surrogate", std::u16string(1, char16_t{0xD800}) + u"A", "?A"},
      {"lone low surrogate", std::u16string(1, char16_t{0xDC00}), "?"},
      {"high surrogate at the end", u"A" + std::u16string(1, char16_t{0xDBFF}), "A?"},
      {"greek", u"\u03A9", "?"},
  };
  for (const auto& c : kUnits) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cp1251::FromUtf16(c.utf16), c.want);
  }
}

TEST(Cp1251Test, LiteralGivesWindows1251Bytes) {
  EXPECT_EQ("Выход"_cp, std::string_view("\xC2\xFB\xF5\xEE\xE4"));
  EXPECT_EQ("Ёё №"_cp, std::string_view("\xA8\xB8 \xB9"));
  EXPECT_EQ("ASCII only"_cp, std::string_view("ASCII only"));
  EXPECT_EQ(""_cp.size(), 0u);
}

}  // namespace

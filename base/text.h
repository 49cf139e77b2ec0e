// Text and number conversions on Windows-1251 byte strings. Positions are
// 1-based, counts are clamped; nothing here looks at the locale or <cctype>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/cp1251.h"

int TextLength(std::string_view text);
// Without leading and trailing spaces (byte 32 only).
std::string TrimSpaces(std::string_view text);
// The same part of `text`, without a copy.
std::string_view TrimmedSpaces(std::string_view text);
// True when `text` holds nothing but spaces (or nothing).
bool OnlySpaces(std::string_view text);
// Without leading and trailing spaces and tabs.
std::string TrimBlanks(std::string_view text);
std::string HeadChars(std::string_view text, int n);
std::string TailChars(std::string_view text, int n);
std::string MidChars(std::string_view text, int start, int count);
// Position (1-based) of the first `what` at `start` or later; 0 when none.
int FindSubtext(std::string_view text, std::string_view what, int start);
std::string RemoveSubtext(std::string_view text, std::string_view what);
std::string AlignLeft(std::string_view text, int width, char pad = ' ');
std::string AlignRight(std::string_view text, int width, char pad = ' ');
std::string SpaceRun(int n);
std::string UpperCase1251(std::string_view text);
// The number at the start of a text, as the program reads numbers: leading
// spaces and tabs, one "+" or "-", then the run of decimal digits.
struct DecimalScan {
  bool negative = false;
  std::string_view digits;  // empty when the text starts with no number
};
DecimalScan ScanDecimal(std::string_view text);
// That number as a 32-bit value; wraps modulo 2^32.
int32_t ParseDecimal(std::string_view text);
std::string DecimalText(int32_t number);
std::string CharText(int code);
bool TextEqual(std::string_view a, std::string_view b);
// Unsigned byte order; a proper prefix is the smaller.
bool TextGreater(std::string_view a, std::string_view b);

// Byte classes for Windows-1251 text (never pass a plain char to <cctype>).
constexpr bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }

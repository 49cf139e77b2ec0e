// Windows-1251 <-> Unicode, and the "..."_cp literal that turns the program's
// Russian texts (written in UTF-8 in the source) into Windows-1251 bytes at
// compile time. A character the code page lacks is a compile error there, and
// a "?" in the run-time conversions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cp1251 {

// Unicode code point of each byte 0x80..0xFF (0x98 is unassigned and kept as U+0098).
inline constexpr std::array<char32_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// The Unicode code point of one Windows-1251 byte.
constexpr char32_t ToCodePoint(unsigned char byte) {
  return byte < 0x80 ? char32_t{byte} : kHighHalf[byte - 0x80u];
}

// The Windows-1251 byte of a code point, or -1 when the code page lacks it.
constexpr int FromCodePoint(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
    if (kHighHalf[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Decodes one UTF-8 sequence starting at s[i]; advances i. Returns -1 for a
// malformed sequence (i then moves past its first byte).
constexpr long DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1Fu;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0Fu;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07u;
  } else {
    return -1;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3Fu);
    ++i;
  }
  // Over-long forms (C0 80 would smuggle a zero byte in), surrogates and
  // values beyond U+10FFFF are malformed too.
  constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kShortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return static_cast<long>(cp);
}

// Windows-1251 bytes to UTF-8.
std::string ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1251; characters the code page lacks and malformed
// sequences become "?". Sets *lossless (when given) to false if that happened.
std::string FromUtf8(std::string_view utf8, bool* lossless = nullptr);
// Windows-1251 bytes to UTF-16 code units (QString-ready).
std::u16string ToUtf16(std::string_view bytes);
// UTF-16 code units to Windows-1251, "?" for what the code page lacks. Sets
// *lossless (when given) to false if that happened.
std::string FromUtf16(std::u16string_view utf16, bool* lossless = nullptr);

// ---- compile-time literal -------------------------------------------------

template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
  constexpr std::string_view view() const { return {bytes, N - 1}; }
};

// Throwing inside a consteval evaluation makes the literal a compile error.
consteval std::size_t ConvertedLength(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    const long cp = DecodeUtf8(s, i);
    if (cp < 0 || FromCodePoint(static_cast<char32_t>(cp)) < 0) {
      throw "character outside Windows-1251 in a _cp literal";
    }
    ++n;
  }
  return n;
}

template <Utf8Literal S>
inline constexpr auto kConverted = [] {
  std::array<char, ConvertedLength(S.view()) + 1> out{};
  std::size_t n = 0;
  const std::string_view s = S.view();
  for (std::size_t i = 0; i < s.size();) {
    out[n++] = static_cast<char>(FromCodePoint(static_cast<char32_t>(DecodeUtf8(s, i))));
  }
  return out;
}();

}  // namespace cp1251

// "Выход"_cp is the Windows-1251 text of the UTF-8 literal, as a string_view
// into static storage (zero-terminated).
template <cp1251::Utf8Literal S>
constexpr std::string_view operator""_cp() {
  return {cp1251::kConverted<S>.data(), cp1251::kConverted<S>.size() - 1};
}

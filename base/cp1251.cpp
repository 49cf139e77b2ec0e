#include "base/cp1251.h"

namespace cp1251 {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(out, ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string FromUtf8(std::string_view utf8, bool* lossless) {
  std::string out;
  out.reserve(utf8.size());
  bool clean = true;
  for (std::size_t i = 0; i < utf8.size();) {
    const long cp = DecodeUtf8(utf8, i);
    const int byte = cp < 0 ? -1 : FromCodePoint(static_cast<char32_t>(cp));
    if (byte < 0) clean = false;
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  if (lossless) *lossless = clean;
  return out;
}

std::u16string ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += static_cast<char16_t>(ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string FromUtf16(std::u16string_view utf16, bool* lossless) {
  bool clean = true;
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    // A surrogate pair stands for a character outside the page: one "?" for both units.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      ++i;
    }
    const int byte = (cp >= 0xD800 && cp <= 0xDFFF) ? -1 : FromCodePoint(cp);
    if (byte < 0) clean = false;
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  if (lossless) *lossless = clean;
  return out;
}

}  // namespace cp1251

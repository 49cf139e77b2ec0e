// The Windows-1251 conversions both ways on any input. Every byte of the code
// page maps to a character, so bytes -> UTF-8 -> bytes and bytes -> UTF-16 ->
// bytes give the bytes back; UTF-8 -> bytes -> UTF-8 gives the UTF-8 back
// when the conversion said it lost nothing, and otherwise differs only where
// a "?" stands; the UTF-8 made is always well formed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/cp1251.h"
#include "fuzz/fuzz_support.h"

namespace {

// The code points of well-formed UTF-8, or false.
bool CodePoints(const std::string& utf8, std::u32string* out) {
  out->clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const long cp = cp1251::DecodeUtf8(utf8, i);
    if (cp < 0) return false;
    out->push_back(static_cast<char32_t>(cp));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(AsText(data, size));

  const std::string utf8 = cp1251::ToUtf8(bytes);
  std::u32string points;
  Require(CodePoints(utf8, &points), "ToUtf8 makes well-formed UTF-8");
  Require(points.size() == bytes.size(), "one character per byte");
  bool lossless = false;
  Require(cp1251::FromUtf8(utf8, &lossless) == bytes && lossless, "bytes -> UTF-8 -> bytes");
  const std::u16string utf16 = cp1251::ToUtf16(bytes);
  Require(utf16.size() == bytes.size(), "one UTF-16 unit per byte");
  Require(cp1251::FromUtf16(utf16) == bytes, "bytes -> UTF-16 -> bytes");

  // The input read as UTF-8.
  lossless = false;
  const std::string page = cp1251::FromUtf8(bytes, &lossless);
  const std::string back = cp1251::ToUtf8(page);
  if (lossless) Require(back == bytes, "UTF-8 the code page holds -> bytes -> UTF-8");
  std::u32string inputPoints;
  if (CodePoints(bytes, &inputPoints)) {
    // Well-formed input: character by character, kept or a "?".
    Require(inputPoints.size() == page.size(), "one byte per character");
    for (std::size_t i = 0; i < page.size(); ++i) {
      const bool kept = cp1251::ToCodePoint(static_cast<unsigned char>(page[i])) == inputPoints[i];
      Require(kept || page[i] == '?', "a character is kept or becomes a question mark");
      if (!kept) Require(!lossless, "a lost character clears the lossless mark");
    }
  }

  // The input read as UTF-16 units (pairs of bytes, low byte first).
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const std::string fromUnits = cp1251::FromUtf16(units);
  Require(fromUnits.size() <= units.size(), "at most one byte per unit");
  Require(cp1251::FromUtf16(cp1251::ToUtf16(fromUnits)) == fromUnits, "UTF-16 -> bytes is stable");
  if (fromUnits.size() == units.size()) {
    const std::u16string again = cp1251::ToUtf16(fromUnits);
    for (std::size_t i = 0; i < units.size(); ++i) {
      Require(again[i] == units[i] || fromUnits[i] == '?',
              "a unit is kept or becomes a question mark");
    }
  }
  return 0;
}

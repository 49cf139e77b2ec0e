#include "base/text.h"

#include <algorithm>

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

std::string_view TrimmedSpaces(std::string_view text) {
  std::size_t first = 0, end = text.size();
  while (first < end && text[first] == ' ') ++first;
  while (end > first && text[end - 1] == ' ') --end;
  return text.substr(first, end - first);
}

bool OnlySpaces(std::string_view text) {
  for (char c : text) {
    if (c != ' ') return false;
  }
  return true;
}

std::string TrimSpaces(std::string_view text) { return std::string(TrimmedSpaces(text)); }

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

std::string HeadChars(std::string_view text, int n) {
  if (n <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string TailChars(std::string_view text, int n) {
  if (n <= 0) return {};
  const auto count = std::min(text.size(), static_cast<std::size_t>(n));
  return std::string(text.substr(text.size() - count));
}

std::string MidChars(std::string_view text, int start, int count) {
  if (start < 1) start = 1;
  if (count <= 0) return {};
  const auto from = static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return {};
  return std::string(text.substr(from, static_cast<std::size_t>(count)));
}

int FindSubtext(std::string_view text, std::string_view what, int start) {
  if (text.empty() || what.empty()) return 0;
  if (start < 1) start = 1;
  const auto from = static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return 0;
  const auto at = text.find(what, from);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string RemoveSubtext(std::string_view text, std::string_view what) {
  if (what.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    const auto at = text.find(what, pos);
    if (at == std::string_view::npos) break;
    out.append(text.substr(pos, at - pos));
    pos = at + what.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string AlignLeft(std::string_view text, int width, char pad) {
  if (width <= 0) return {};
  const auto w = static_cast<std::size_t>(width);
  std::string out(text.substr(0, w));
  out.append(w - out.size(), pad);
  return out;
}

std::string AlignRight(std::string_view text, int width, char pad) {
  if (width <= 0) return {};
  const auto w = static_cast<std::size_t>(width);
  const std::string_view kept = text.substr(0, w);
  std::string out(w - kept.size(), pad);
  out.append(kept);
  return out;
}

std::string SpaceRun(int n) {
  return n <= 0 ? std::string() : std::string(static_cast<std::size_t>(n), ' ');
}

std::string UpperCase1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || b >= 224) c = static_cast<char>(b - 32);
  }
  return out;
}

DecimalScan ScanDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  DecimalScan scan;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    scan.negative = text[i] == '-';
    ++i;
  }
  std::size_t end = i;
  while (end < text.size() && IsDigitByte(text[end])) ++end;
  scan.digits = text.substr(i, end - i);
  return scan;
}

int32_t ParseDecimal(std::string_view text) {
  // The common case first: a few digits and nothing else.
  if (!text.empty() && text.size() <= 9) {
    int32_t quick = 0;
    std::size_t i = 0;
    for (; i < text.size() && IsDigitByte(text[i]); ++i) quick = quick * 10 + (text[i] - '0');
    if (i == text.size()) return quick;
  }
  const DecimalScan scan = ScanDecimal(text);
  uint32_t value = 0;  // unsigned, so the wrap is defined
  for (char digit : scan.digits) value = value * 10u + static_cast<uint32_t>(digit - '0');
  if (scan.negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string DecimalText(int32_t number) { return std::to_string(number); }

std::string CharText(int code) {
  return std::string(1, static_cast<char>(static_cast<unsigned char>(code)));
}

bool TextEqual(std::string_view a, std::string_view b) { return a == b; }

bool TextGreater(std::string_view a, std::string_view b) {
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x > y;
  }
  return a.size() > b.size();
}

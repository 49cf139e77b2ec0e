#include "base/keyvalue.h"

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "base/textfile.h"

namespace {

// A larger file, or one of more meaningful lines, is treated as unreadable:
// no settings file of ours comes near either, and memory stays bounded.
constexpr std::size_t kMaxKeyValueFileSize = 16u << 20;
constexpr std::size_t kMaxKeyValueEntries = 65536;

enum class EntryKind { Group, Comment, Key };

// One meaningful line: a group name, a comment text, or a key with its value.
struct KeyValueEntry {
  EntryKind kind = EntryKind::Key;
  std::string text;
  std::string value;
};

struct KeyValueDocument {
  bool active = false;    // opened, created, or the remembered path of a failed open
  bool loaded = false;    // the file was read, or created
  bool writable = false;  // the write-out may replace the file
  std::string path;       // Windows-1251, as the caller gave it
  bool changed = false;
  bool utf8 = false;
  std::vector<KeyValueEntry> entries;
  int currentGroup = -1;  // index of the current group entry; -1: the unnamed section
  bool hasPending = false;
  std::string pendingGroup;
};
KeyValueDocument Document;

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Parses the content line by line; false when it holds too many entries.
bool ParseDocument(std::string_view content, std::vector<KeyValueEntry>* entries) {
  const std::size_t n = content.size();
  std::size_t i = 0;
  while (i < n) {
    while (i < n && IsBlank(content[i])) ++i;
    if (i < n && !IsLineEnd(content[i])) {
      if (entries->size() >= kMaxKeyValueEntries) return false;
      KeyValueEntry entry;
      if (content[i] == ';') {
        ++i;
        if (i < n && content[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < n && !IsLineEnd(content[i])) ++i;
        entry = {EntryKind::Comment, std::string(content.substr(start, i - start)), {}};
      } else if (content[i] == '[') {
        const std::size_t start = ++i;
        while (i < n && !IsLineEnd(content[i]) && content[i] != ']') ++i;
        entry = {EntryKind::Group, std::string(content.substr(start, i - start)), {}};
        while (i < n && !IsLineEnd(content[i])) ++i;
      } else {
        const std::size_t start = i;
        while (i < n && !IsLineEnd(content[i]) && content[i] != '=') ++i;
        std::size_t keyEnd = i;
        while (keyEnd > start && IsBlank(content[keyEnd - 1])) --keyEnd;
        entry.text = std::string(content.substr(start, keyEnd - start));
        if (i < n && content[i] == '=') {
          ++i;
          while (i < n && IsBlank(content[i])) ++i;
          const std::size_t valueStart = i;
          while (i < n && !IsLineEnd(content[i])) ++i;
          entry.value = std::string(content.substr(valueStart, i - valueStart));
        }
      }
      entries->push_back(std::move(entry));
    }
    // Every line end that follows, so blank lines vanish; a zero byte ends a
    // line like CR or LF.
    while (i < n && IsLineEnd(content[i])) ++i;
  }
  return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// A name or value as it stands in the document: bytes from 0x80 become the
// UTF-8 sequences of U+0080..U+00FF in a UTF-8 document. A line end would
// break the line structure, so the text is cut there.
std::string Encoded(std::string_view text) {
  text = text.substr(0, std::min(text.find_first_of(std::string_view("\r\n\0", 3)), text.size()));
  if (!Document.utf8) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// A value of a UTF-8 document as single bytes: every code point must be at
// most U+00FF and well formed, otherwise the value reads as "".
std::string Decoded(std::string_view value) {
  if (!Document.utf8) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto b = static_cast<unsigned char>(value[i]);
    if (b < 0x80) {
      out += value[i];
      continue;
    }
    // Only C2 and C3 lead to U+0080..U+00FF; C0 and C1 are over-long forms,
    // and every other lead is malformed or above U+00FF.
    if ((b != 0xC2 && b != 0xC3) || i + 1 >= value.size()) return {};
    const auto next = static_cast<unsigned char>(value[i + 1]);
    if ((next & 0xC0) != 0x80) return {};
    out += static_cast<char>(((b & 0x03) << 6) | (next & 0x3F));
    ++i;
  }
  return out;
}

std::size_t SectionStart() {
  return Document.currentGroup < 0 ? 0 : static_cast<std::size_t>(Document.currentGroup) + 1;
}

std::size_t SectionEnd() {
  std::size_t i = SectionStart();
  while (i < Document.entries.size() && Document.entries[i].kind != EntryKind::Group) ++i;
  return i;
}

// Index of the key in the current section, or -1.
int FindKey(std::string_view key) {
  if (!Document.active || Document.hasPending) return -1;
  const std::string name = Encoded(key);
  const std::size_t end = SectionEnd();
  for (std::size_t i = SectionStart(); i < end; ++i) {
    const KeyValueEntry& entry = Document.entries[i];
    if (entry.kind == EntryKind::Key && SameName(entry.text, name)) return static_cast<int>(i);
  }
  return -1;
}

// Reads like the C library's atoi: white space, a sign, digits; the result
// saturates at the ends of the 32-bit range instead of overflowing.
int32_t LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{1} << 31;
  for (; i < text.size() && IsDigitByte(text[i]); ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kLimit);
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min(value, kLimit - 1));
}

std::string DocumentBytes() {
  std::size_t size = Document.utf8 ? 5 : 0;
  for (const KeyValueEntry& entry : Document.entries) {
    size += entry.text.size() + (entry.kind == EntryKind::Key ? entry.value.size() + 5 : 4);
  }
  std::string out;
  out.reserve(size);
  if (Document.utf8) {
    out += "\xEF\xBB\xBF\r\n";
  } else if (!Document.entries.empty() && Document.entries.front().kind == EntryKind::Key &&
             Document.entries.front().text.starts_with("\xEF\xBB\xBF")) {
    // A plain document whose first key begins with the bytes of the UTF-8
    // mark (read after blanks or blank lines, which are not written again):
    // a line end first keeps the next read from taking the file for UTF-8.
    out += "\r\n";
  }
  for (const KeyValueEntry& entry : Document.entries) {
    switch (entry.kind) {
      case EntryKind::Group:
        out += '[';
        out += entry.text;
        out += ']';
        break;
      case EntryKind::Comment:
        out += "; ";
        out += entry.text;
        break;
      case EntryKind::Key:
        out += entry.text;
        out += " = ";
        out += entry.value;
        break;
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace

bool OpenKeyValueFile(std::string_view path) {
  CloseKeyValueFile();
  Document.active = true;
  Document.path = std::string(path);
  std::string content;
  std::vector<KeyValueEntry> entries;
  if (!ReadFileContents(path, kMaxKeyValueFileSize, &content)) return false;
  std::string_view text = content;
  const bool utf8 = text.substr(0, 3) == "\xEF\xBB\xBF";
  if (utf8) text.remove_prefix(3);
  if (!ParseDocument(text, &entries)) return false;
  Document.loaded = true;
  Document.writable = CanReplaceFile(path);
  Document.utf8 = utf8;
  Document.entries = std::move(entries);
  return true;
}

bool CreateKeyValueFile(std::string_view path) {
  CloseKeyValueFile();
  if (!CanReplaceFile(path)) return false;
  Document.active = true;
  Document.loaded = true;
  Document.writable = true;
  Document.path = std::string(path);
  Document.changed = true;  // the file becomes this document at close, even an empty one
  return true;
}

bool SelectKeyGroup(std::string_view group) {
  if (!Document.active) return false;
  Document.hasPending = false;
  Document.pendingGroup.clear();
  if (group.empty()) {
    Document.currentGroup = -1;
    return true;
  }
  const std::string name = Encoded(group);
  for (std::size_t i = 0; i < Document.entries.size(); ++i) {
    const KeyValueEntry& entry = Document.entries[i];
    if (entry.kind == EntryKind::Group && SameName(entry.text, name)) {
      Document.currentGroup = static_cast<int>(i);
      return true;
    }
  }
  Document.hasPending = true;
  Document.pendingGroup = std::string(group);
  return false;
}

std::string ReadKeyString(std::string_view key, std::string_view fallback) {
  const int at = FindKey(key);
  if (at < 0) return std::string(fallback);
  return TrimBlanks(Decoded(Document.entries[static_cast<std::size_t>(at)].value));
}

int32_t ReadKeyInteger(std::string_view key, int32_t fallback) {
  const int at = FindKey(key);
  if (at < 0) return fallback;
  return LeadingInteger(Document.entries[static_cast<std::size_t>(at)].value);
}

void WriteKeyString(std::string_view key, std::string_view value) {
  if (!Document.active) return;
  if (Document.hasPending) {
    Document.entries.push_back({EntryKind::Group, Encoded(Document.pendingGroup), {}});
    Document.currentGroup = static_cast<int>(Document.entries.size()) - 1;
    Document.hasPending = false;
    Document.pendingGroup.clear();
  }
  const int at = FindKey(key);
  if (at >= 0) {
    KeyValueEntry& entry = Document.entries[static_cast<std::size_t>(at)];
    entry.text = Encoded(key);
    entry.value = Encoded(value);
  } else {
    const auto where = Document.entries.begin() + static_cast<std::ptrdiff_t>(SectionEnd());
    Document.entries.insert(where, {EntryKind::Key, Encoded(key), Encoded(value)});
  }
  Document.changed = true;
}

void WriteKeyInteger(std::string_view key, int32_t value) {
  WriteKeyString(key, DecimalText(value));
}

bool CloseKeyValueFile() {
  bool ok = true;
  if (Document.active && Document.changed) {
    // A file that exists but could not be read is never overwritten: only a
    // missing file is created from the remembered path.
    const bool mayWrite = Document.loaded ? Document.writable : !FileExists(Document.path);
    ok = mayWrite && ReplaceFileContents(Document.path, DocumentBytes());
  }
  Document = {};
  return ok;
}

// The key-value reader on any document, with write-out and read-back: keys
// looked up before a write-out read the same afterwards unless they were
// written, written keys read back as written (cut at a line end, without
// surrounding blanks), a document nobody changed is not rewritten, and
// writing the same keys again gives the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/keyvalue.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"

namespace {

const char kFile[] = "fuzz.ini";

// A group or key name of the kind the program uses: letters of both cases,
// digits, '-', and Cyrillic letters.
std::string Name(FuzzedDataProvider& in) {
  static constexpr char kAlphabet[] = "MainFileNumberContABBR-019\xC0\xE0\xDF\xFF";
  const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, 10);
  std::string out;
  for (std::size_t i = 0; i < length; ++i) {
    out += kAlphabet[in.ConsumeIntegralInRange<std::size_t>(0, sizeof kAlphabet - 2)];
  }
  return out;
}

bool SameAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct Entry {
  std::string group, key, value;
};

struct Lookup {
  std::string text;
  int32_t number = 0;
};

Lookup Look(const Entry& e) {
  SelectKeyGroup(e.group);
  const std::string text = ReadKeyString(e.key, "(missing)");
  return {text, ReadKeyInteger(e.key, -77)};
}

void WriteAll(const std::vector<Entry>& writes) {
  for (const Entry& w : writes) {
    SelectKeyGroup(w.group);
    WriteKeyString(w.key, w.value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EnterPrivateFolder();
  FuzzedDataProvider in(data, size);
  std::vector<Entry> probes(in.ConsumeIntegralInRange<std::size_t>(0, 6));
  for (Entry& p : probes) p = {Name(in), Name(in), {}};
  std::vector<Entry> writes(in.ConsumeIntegralInRange<std::size_t>(0, 4));
  for (Entry& w : writes) w = {Name(in), Name(in), in.ConsumeRandomLengthString(40)};
  const std::string document = in.ConsumeRemainingBytesAsString();
  WriteBytes(kFile, document);

  Require(OpenKeyValueFile(kFile), "a small document opens");
  std::vector<Lookup> before;
  for (const Entry& p : probes) before.push_back(Look(p));
  WriteAll(writes);
  Require(CloseKeyValueFile(), "the write-out succeeds in a writable folder");
  const std::string written = ReadBytes(kFile);
  if (writes.empty()) Require(written == document, "an unchanged document is not rewritten");

  Require(OpenKeyValueFile(kFile), "the written document opens");
  for (std::size_t i = 0; i < probes.size(); ++i) {
    const Entry& p = probes[i];
    bool overwritten = false;
    for (const Entry& w : writes) {
      overwritten = overwritten || (SameAscii(w.group, p.group) && SameAscii(w.key, p.key));
    }
    if (overwritten) continue;
    const Lookup after = Look(p);
    Require(
        after.text == before[i].text && after.number == before[i].number,
        "a key that was not written reads the same after the write-out",
        "[" + p.group + "] " + p.key + ": [" + before[i].text + "] became [" + after.text + "]");
  }
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const Entry& w = writes[i];
    bool later = false;  // a later write of the same key wins
    for (std::size_t j = i + 1; j < writes.size(); ++j) {
      later = later || (SameAscii(writes[j].group, w.group) && SameAscii(writes[j].key, w.key));
    }
    if (later) continue;
    std::string expected = w.value.substr(0, w.value.find_first_of(std::string("\r\n\0", 3)));
    expected = TrimBlanks(expected);
    const Lookup got = Look(w);
    Require(got.text == expected, "a written key reads back as written",
            "[" + w.group + "] " + w.key + ": wrote [" + w.value + "], read [" + got.text + "]");
  }
  WriteAll(writes);
  Require(CloseKeyValueFile(), "the second write-out succeeds");
  Require(ReadBytes(kFile) == written, "writing the same keys again gives the same bytes");
  return 0;
}

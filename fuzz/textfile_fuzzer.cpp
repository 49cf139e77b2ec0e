// The text line reader and writer on any bytes: lines read through the
// 4096-byte buffer (CR, LF, CR LF and a zero byte end a line, a lone CR
// before a buffer boundary included) agree with a plain split of the whole
// text; a limited read keeps the first bytes of the same lines; texts written
// in pieces, plainly or as a replacement, come back byte for byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/textfile.h"
#include "fuzz/fuzz_support.h"

namespace {

const char kFile[] = "lines.txt";
const char kCopy[] = "copy.txt";

// The lines of `text` as the reader is meant to return them, split in one
// piece: a file that ends right after a line end has no further line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = text.find_first_of(std::string("\r\n\0", 3), i);
    if (end == std::string::npos) {
      lines.push_back(text.substr(i));
      break;
    }
    lines.push_back(text.substr(i, end - i));
    i = end + 1;
    if (text[end] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

// Writes `text` in pieces whose sizes come from the input.
void WriteInPieces(int number, const std::string& text, FuzzedDataProvider& in) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(0, 9000);
    const std::string_view part = std::string_view(text).substr(at, piece == 0 ? 1 : piece);
    Require(WriteText(number, part) == static_cast<int>(part.size()), "WriteText takes every byte");
    at += part.size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EnterPrivateFolder();
  FuzzedDataProvider in(data, size);
  const std::size_t limit = in.ConsumeIntegralInRange<std::size_t>(0, 5000);
  const int number = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<int>(1, kMaxFileNumber);
  const std::string text = in.ConsumeRandomLengthString(1 << 20);
  WriteBytes(kFile, text);

  const std::vector<std::string> expected = SplitLines(text);
  constexpr int kLimited = 1;
  const int plain = number == kLimited ? 2 : number;
  Require(OpenTextFileForReading(plain, kFile) != 0, "an existing file opens");
  Require(OpenTextFileForReading(kLimited, kFile) != 0, "the same file opens a second time");
  std::vector<std::string> got;
  while (!AtEndOfFile(plain)) {
    Require(!AtEndOfFile(kLimited), "both readers reach the end together");
    got.push_back(ReadLine(plain));
    const std::string cut = ReadLine(kLimited, limit);
    Require(cut == got.back().substr(0, limit), "a limited line is the start of the whole line");
    Require(got.size() <= expected.size(), "no more lines than the text holds");
  }
  Require(AtEndOfFile(kLimited), "both readers reach the end together");
  Require(ReadLine(plain).empty(), "a read at the end of the file gives an empty line");
  Require(
      got == expected, "the lines read are the lines of the text",
      std::to_string(got.size()) + " lines read, " + std::to_string(expected.size()) + " expected");
  CloseTextFile(plain);
  CloseTextFile(kLimited);

  Require(CreateTextFile(number, kCopy) != 0, "a new file is created");
  WriteInPieces(number, text, in);
  CloseTextFile(number);
  Require(ReadBytes(kCopy) == text, "a text written in pieces comes back byte for byte");

  Require(CreateReplacementFile(number, kCopy) != 0, "a replacement is started");
  const std::string replacement = text + "\r\n";
  WriteInPieces(number, replacement, in);
  Require(ReadBytes(kCopy) == text, "the target stays as it was until the commit");
  Require(CommitTextFile(number), "the replacement is committed");
  Require(ReadBytes(kCopy) == replacement, "a committed replacement comes back byte for byte");
  CloseAllTextFiles();
  return 0;
}

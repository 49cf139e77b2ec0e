#include "base/textfile.h"

#include <cstring>
#include <utility>
#include <vector>

#include "base/file_system.h"

using filesystem::FileHandle;
using filesystem::kNoFile;
using filesystem::Replacement;
using filesystem::SystemString;

namespace {

enum class BufferMode { Read, Write };

// A copy made in place is held in memory whole first; a larger one fails.
constexpr std::size_t kMaxInPlaceCopy = 64u << 20;

// One open file under a number.
struct TextFile {
  FileHandle handle = kNoFile;  // kNoFile: the number is not open
  std::vector<char> buffer;
  int count = 0;   // write mode: free bytes; read mode: bytes not yet handed out
  int filled = 0;  // read mode: bytes the last refill brought
  BufferMode mode = BufferMode::Read;
  bool failed = false;         // a write went wrong since the open
  bool replacement = false;    // written to a temporary file, renamed at commit
  bool inPlace = false;        // a replacement written over the target itself at commit
  std::string pending;         // in place: the whole new version, kept until the commit
  SystemString temporaryPath;  // of a replacement
  SystemString targetPath;     // of a replacement
};

struct TextFileTable {
  std::vector<TextFile> files = std::vector<TextFile>(16);
};
TextFileTable Files;

TextFile* OpenEntry(int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= Files.files.size()) return nullptr;
  TextFile& file = Files.files[static_cast<std::size_t>(number)];
  return file.handle != kNoFile ? &file : nullptr;
}

TextFile& Slot(int number) {
  const auto index = static_cast<std::size_t>(number);
  if (index >= Files.files.size()) Files.files.resize(index + 1);
  return Files.files[index];
}

bool ValidNumber(int number) { return number >= 0 && number <= kMaxFileNumber; }

void Flush(TextFile& file) {
  if (file.mode != BufferMode::Write || file.count >= kTextBufferSize) return;
  const auto waiting = static_cast<std::size_t>(kTextBufferSize - file.count);
  if (!filesystem::WriteAll(file.handle, file.buffer.data(), waiting)) file.failed = true;
  file.count = kTextBufferSize;
}

bool TakeByte(TextFile& file, char* out) {
  if (file.mode == BufferMode::Write) {
    Flush(file);
    file.mode = BufferMode::Read;
    file.count = 0;
    file.filled = 0;
  }
  if (file.count == 0) {
    const std::ptrdiff_t got =
        filesystem::ReadSome(file.handle, file.buffer.data(), file.buffer.size());
    file.filled = got > 0 ? static_cast<int>(got) : 0;  // an error ends the file
    file.count = file.filled;
    if (file.filled == 0) return false;
  }
  *out = file.buffer[static_cast<std::size_t>(file.filled - file.count)];
  --file.count;
  return true;
}

// Only ever called right after a successful TakeByte.
void PutBack(TextFile& file) { ++file.count; }

// Closes the handle without writing anything more; a replacement is abandoned
// (one in place has not touched the target yet).
void Release(TextFile& file) {
  if (file.replacement) {
    Replacement left{file.handle, file.temporaryPath, file.targetPath, file.inPlace};
    filesystem::Abandon(left);
  } else {
    filesystem::CloseFile(file.handle);
  }
  file = {};
}

// The end of a replacement written by the callers below: renamed over the
// target, or, in place, `whole` written over it now.
bool Complete(Replacement& replacement, bool written, std::string_view whole) {
  if (!replacement.inPlace) return filesystem::FinishReplacement(replacement, written);
  const bool ok = written && filesystem::WriteInPlace(replacement.file, whole);
  filesystem::CloseFile(replacement.file);
  replacement.file = kNoFile;
  return ok;
}

// Puts a freshly opened handle under `number`. The earlier file there, if
// any, was flushed before the open and is closed now.
void Install(int number, FileHandle handle, const Replacement* replacement) {
  TextFile& slot = Slot(number);
  if (slot.handle != kNoFile) Release(slot);
  slot.handle = handle;
  slot.buffer.assign(static_cast<std::size_t>(kTextBufferSize), '\0');
  if (replacement != nullptr) {
    slot.replacement = true;
    slot.inPlace = replacement->inPlace;
    slot.temporaryPath = replacement->temporaryPath;
    slot.targetPath = replacement->targetPath;
  }
}

void FlushEarlier(int number) {
  if (TextFile* earlier = OpenEntry(number)) Flush(*earlier);
}

int OpenUnder(int number, std::string_view path, filesystem::OpenMode mode) {
  SystemString systemPath;
  if (!ValidNumber(number) || !filesystem::SystemPath(path, &systemPath)) return 0;
  FlushEarlier(number);
  const FileHandle handle = filesystem::OpenRegular(systemPath, mode);
  if (handle == kNoFile) return 0;
  Install(number, handle, nullptr);
  return 1;
}

// Reads the whole of `input` in pieces, handing each to `take`; false on a
// read error or when `take` refuses a piece.
template <typename Take>
bool ReadPieces(FileHandle input, Take take) {
  std::vector<char> chunk(65536);
  while (true) {
    const std::ptrdiff_t got = filesystem::ReadSome(input, chunk.data(), chunk.size());
    if (got == 0) return true;
    if (got < 0 || !take(chunk.data(), static_cast<std::size_t>(got))) return false;
  }
}

}  // namespace

int CreateTextFile(int number, std::string_view path) {
  return OpenUnder(number, path, filesystem::OpenMode::CreateTruncate);
}

int OpenTextFileForReading(int number, std::string_view path) {
  return OpenUnder(number, path, filesystem::OpenMode::Read);
}

int WriteText(int number, std::string_view text) {
  TextFile* file = OpenEntry(number);
  if (file == nullptr || text.empty()) return 0;
  if (file->inPlace) {
    file->pending += text;
    return static_cast<int>(text.size());
  }
  if (file->mode == BufferMode::Read) {
    file->mode = BufferMode::Write;
    file->count = kTextBufferSize;
  }
  const auto n = text.size();
  if (n < static_cast<std::size_t>(file->count)) {
    std::memcpy(file->buffer.data() + (kTextBufferSize - file->count), text.data(), n);
    file->count -= static_cast<int>(n);
  } else {
    Flush(*file);
    if (n >= static_cast<std::size_t>(kTextBufferSize)) {
      if (!filesystem::WriteAll(file->handle, text.data(), n)) file->failed = true;
    } else {
      std::memcpy(file->buffer.data(), text.data(), n);
      file->count -= static_cast<int>(n);
    }
  }
  return static_cast<int>(n);
}

std::string ReadLine(int number) { return ReadLine(number, std::string::npos); }

std::string ReadLine(int number, std::size_t limit) {
  std::string line;
  TextFile* file = OpenEntry(number);
  if (file == nullptr) return line;
  char c = 0;
  while (TakeByte(*file, &c)) {
    if (c == '\0' || c == '\n') break;
    if (c == '\r') {
      char next = 0;
      if (TakeByte(*file, &next) && next != '\n') PutBack(*file);
      break;
    }
    if (line.size() < limit) line += c;
  }
  return line;
}

bool AtEndOfFile(int number) {
  TextFile* file = OpenEntry(number);
  if (file == nullptr) return true;
  char c = 0;
  if (!TakeByte(*file, &c)) return true;
  PutBack(*file);
  return false;
}

void CloseTextFile(int number) {
  TextFile* file = OpenEntry(number);
  if (file == nullptr) return;
  if (!file->replacement) Flush(*file);
  Release(*file);
}

void CloseAllTextFiles() {
  for (std::size_t i = 0; i < Files.files.size(); ++i) CloseTextFile(static_cast<int>(i));
}

int CreateReplacementFile(int number, std::string_view path) {
  SystemString systemPath;
  if (!ValidNumber(number) || !filesystem::SystemPath(path, &systemPath)) return 0;
  FlushEarlier(number);
  Replacement replacement;
  if (!filesystem::BeginReplacement(systemPath, &replacement)) return 0;
  Install(number, replacement.file, &replacement);
  return 1;
}

bool CommitTextFile(int number, bool* inPlace) {
  TextFile* file = OpenEntry(number);
  if (inPlace != nullptr) *inPlace = false;
  if (file == nullptr) return false;
  if (file->inPlace) {
    const bool ok = filesystem::WriteInPlace(file->handle, file->pending);
    filesystem::CloseFile(file->handle);
    *file = {};
    if (inPlace != nullptr) *inPlace = ok;
    return ok;
  }
  Flush(*file);
  bool ok = !file->failed;
  if (file->replacement) {
    Replacement replacement{file->handle, file->temporaryPath, file->targetPath};
    *file = {};
    return filesystem::FinishReplacement(replacement, ok);
  }
  ok = filesystem::FlushToDisk(file->handle) && ok;
  ok = filesystem::CloseFile(file->handle) && ok;
  *file = {};
  return ok;
}

bool CopyFileReplacing(std::string_view from, std::string_view to) {
  SystemString source;
  SystemString target;
  if (!filesystem::SystemPath(from, &source) || !filesystem::SystemPath(to, &target)) return false;
  const FileHandle input = filesystem::OpenRegular(source, filesystem::OpenMode::Read);
  if (input == kNoFile) return false;
  Replacement replacement;
  if (!filesystem::BeginReplacement(target, &replacement)) {
    filesystem::CloseFile(input);
    return false;
  }
  std::string whole;  // in place: the copy is written in one piece at the end
  const bool ok = ReadPieces(input, [&](const char* data, std::size_t size) {
    if (!replacement.inPlace) return filesystem::WriteAll(replacement.file, data, size);
    if (whole.size() + size > kMaxInPlaceCopy) return false;
    whole.append(data, size);
    return true;
  });
  filesystem::CloseFile(input);
  return Complete(replacement, ok, whole);
}

bool ReadFileContents(std::string_view path, std::size_t limit, std::string* out) {
  SystemString systemPath;
  if (!filesystem::SystemPath(path, &systemPath)) return false;
  const FileHandle input = filesystem::OpenRegular(systemPath, filesystem::OpenMode::Read);
  if (input == kNoFile) return false;
  std::string content;
  const bool ok = ReadPieces(input, [&](const char* data, std::size_t size) {
    if (content.size() + size > limit) return false;
    content.append(data, size);
    return true;
  });
  filesystem::CloseFile(input);
  if (ok) *out = std::move(content);
  return ok;
}

bool ReplaceFileContents(std::string_view path, std::string_view bytes) {
  SystemString target;
  Replacement replacement;
  if (!filesystem::SystemPath(path, &target) || !filesystem::BeginReplacement(target, &replacement))
    return false;
  if (replacement.inPlace) return Complete(replacement, true, bytes);
  return filesystem::FinishReplacement(
      replacement, filesystem::WriteAll(replacement.file, bytes.data(), bytes.size()));
}

namespace {

// The owner locks this process holds; a lock number is its index plus one.
struct OwnerLockTable {
  std::vector<filesystem::HeldLock> locks;
};
OwnerLockTable Locks;

int Remember(filesystem::HeldLock lock) {
  for (std::size_t i = 0; i < Locks.locks.size(); ++i) {
    if (Locks.locks[i].file == kNoFile) {
      Locks.locks[i] = std::move(lock);
      return static_cast<int>(i) + 1;
    }
  }
  Locks.locks.push_back(std::move(lock));
  return static_cast<int>(Locks.locks.size());
}

}  // namespace

int TakeOwnerLock(std::string_view path) {
  SystemString systemPath;
  if (!filesystem::SystemPath(path, &systemPath)) return -1;
  const SystemString key = filesystem::LockKey(systemPath);
  if (key.empty()) return -1;
  for (std::size_t i = 0; i < Locks.locks.size(); ++i) {
    const filesystem::HeldLock& held = Locks.locks[i];
    if (held.file != kNoFile && filesystem::SameLockKey(held.key, key)) {
      return static_cast<int>(i) + 1;
    }
  }
  filesystem::HeldLock lock;
  const int taken = filesystem::TakeLock(key, &lock);
  if (taken != 1) return taken == 0 ? kLockHeldElsewhere : -1;
  return Remember(std::move(lock));
}

void ReleaseOwnerLock(int lock) {
  if (lock <= 0 || static_cast<std::size_t>(lock) > Locks.locks.size()) return;
  filesystem::HeldLock& entry = Locks.locks[static_cast<std::size_t>(lock) - 1];
  if (entry.file == kNoFile) return;
  filesystem::DropLock(entry);
  entry = {};
}

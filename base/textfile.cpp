#include "base/textfile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/cp1251.h"

namespace {

enum class BufferMode { Read, Write };

// One open file under a number.
struct TextFile {
  int handle = -1;  // -1: the number is not open
  std::vector<char> buffer;
  int count = 0;   // write mode: free bytes; read mode: bytes not yet handed out
  int filled = 0;  // read mode: bytes the last refill brought
  BufferMode mode = BufferMode::Read;
  bool failed = false;        // a write went wrong since the open
  bool replacement = false;   // written to a temporary file, renamed at commit
  std::string temporaryPath;  // system encoding
  std::string targetPath;     // system encoding
};

struct TextFileTable {
  std::vector<TextFile> files = std::vector<TextFile>(16);
};
TextFileTable Files;

// A new version of a file being written beside it.
struct Replacement {
  int handle = -1;
  std::string temporaryPath;
  std::string targetPath;
};

TextFile* OpenEntry(int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= Files.files.size()) return nullptr;
  TextFile& file = Files.files[static_cast<std::size_t>(number)];
  return file.handle >= 0 ? &file : nullptr;
}

TextFile& Slot(int number) {
  const auto index = static_cast<std::size_t>(number);
  if (index >= Files.files.size()) Files.files.resize(index + 1);
  return Files.files[index];
}

bool ValidNumber(int number) { return number >= 0 && number <= kMaxFileNumber; }

// Writes all `size` bytes; false on any failed or short write.
bool WriteAll(int handle, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = write(handle, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

// Reads up to `size` bytes; 0 at the end of the file or on an error.
std::size_t ReadSome(int handle, char* data, std::size_t size) {
  while (true) {
    const ssize_t done = read(handle, data, size);
    if (done < 0 && errno == EINTR) continue;
    return done > 0 ? static_cast<std::size_t>(done) : 0;
  }
}

void Flush(TextFile& file) {
  if (file.mode != BufferMode::Write || file.count >= kTextBufferSize) return;
  const auto waiting = static_cast<std::size_t>(kTextBufferSize - file.count);
  if (!WriteAll(file.handle, file.buffer.data(), waiting)) file.failed = true;
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
    const std::size_t got = ReadSome(file.handle, file.buffer.data(), file.buffer.size());
    file.filled = static_cast<int>(got);
    file.count = file.filled;
    if (got == 0) return false;
  }
  *out = file.buffer[static_cast<std::size_t>(file.filled - file.count)];
  --file.count;
  return true;
}

// Only ever called right after a successful TakeByte.
void PutBack(TextFile& file) { ++file.count; }

void Abandon(Replacement& replacement) {
  if (replacement.handle >= 0) close(replacement.handle);
  unlink(replacement.temporaryPath.c_str());
  replacement.handle = -1;
}

// Closes the handle without writing anything more; a replacement is abandoned.
void Release(TextFile& file) {
  if (file.replacement) {
    Replacement left{file.handle, file.temporaryPath, file.targetPath};
    Abandon(left);
  } else {
    close(file.handle);
  }
  file = {};
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A symbolic link is followed, so that the file it names is replaced, not the link.
bool ResolveTarget(const std::string& path, std::string* target) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return false;
    *target = resolved;
  } else {
    *target = path;
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool BeginReplacement(const std::string& path, Replacement* out) {
  std::string target;
  if (!ResolveTarget(path, &target)) return false;
  struct stat info {};
  const bool exists = stat(target.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) return false;
  // A report or settings file marked read-only stays as it is: the rename
  // would otherwise replace it behind its owner's back.
  if (exists && access(target.c_str(), W_OK) != 0) return false;
  std::string pattern = target + ".tmpXXXXXX";
  const int handle = mkostemp(pattern.data(), O_CLOEXEC);
  if (handle < 0) return false;
  if (exists) {
    // Keep the owner and the permissions of the version being replaced.
    const bool ownerKept = fchown(handle, info.st_uid, info.st_gid) == 0;
    (void)ownerKept;  // only root may hand a file to another owner
    fchmod(handle, info.st_mode & 07777);
  } else {
    fchmod(handle, NewFileMode());
  }
  *out = {handle, pattern, target};
  return true;
}

// Flushes the new version to the disk and renames it over the target; on any
// failure the new version is removed and the target stays as it was.
bool FinishReplacement(Replacement& replacement, bool written) {
  bool ok = written && fsync(replacement.handle) == 0;
  ok = close(replacement.handle) == 0 && ok;
  replacement.handle = -1;
  if (ok) ok = rename(replacement.temporaryPath.c_str(), replacement.targetPath.c_str()) == 0;
  if (!ok) {
    unlink(replacement.temporaryPath.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder; a file system that
  // cannot flush folders still has the complete new version in place.
  const int folder =
      open(FolderOf(replacement.targetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

int OpenRegular(const std::string& path, int flags) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return -1;
  // Non-blocking, so a pipe or device slipped in between cannot hang the open.
  const int handle = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (handle < 0) return -1;
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return -1;
  }
  fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) & ~O_NONBLOCK);
  return handle;
}

// Puts a freshly opened handle under `number`. The earlier file there, if
// any, was flushed before the open and is closed now.
void Install(int number, int handle, const Replacement* replacement) {
  TextFile& slot = Slot(number);
  if (slot.handle >= 0) Release(slot);
  slot.handle = handle;
  slot.buffer.assign(static_cast<std::size_t>(kTextBufferSize), '\0');
  if (replacement != nullptr) {
    slot.replacement = true;
    slot.temporaryPath = replacement->temporaryPath;
    slot.targetPath = replacement->targetPath;
  }
}

void FlushEarlier(int number) {
  if (TextFile* earlier = OpenEntry(number)) Flush(*earlier);
}

int OpenUnder(int number, std::string_view path, int flags) {
  std::string systemPath;
  if (!ValidNumber(number) || !SystemPath(path, &systemPath)) return 0;
  FlushEarlier(number);
  const int handle = OpenRegular(systemPath, flags);
  if (handle < 0) return 0;
  Install(number, handle, nullptr);
  return 1;
}

}  // namespace

bool SystemPath(std::string_view path, std::string* out) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  *out = cp1251::ToUtf8(path);
  return true;
}

int CreateTextFile(int number, std::string_view path) {
  return OpenUnder(number, path, O_WRONLY | O_CREAT | O_TRUNC);
}

int OpenTextFileForReading(int number, std::string_view path) {
  return OpenUnder(number, path, O_RDONLY);
}

int WriteText(int number, std::string_view text) {
  TextFile* file = OpenEntry(number);
  if (file == nullptr || text.empty()) return 0;
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
      if (!WriteAll(file->handle, text.data(), n)) file->failed = true;
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
  std::string systemPath;
  if (!ValidNumber(number) || !SystemPath(path, &systemPath)) return 0;
  FlushEarlier(number);
  Replacement replacement;
  if (!BeginReplacement(systemPath, &replacement)) return 0;
  Install(number, replacement.handle, &replacement);
  return 1;
}

bool CommitTextFile(int number) {
  TextFile* file = OpenEntry(number);
  if (file == nullptr) return false;
  Flush(*file);
  bool ok = !file->failed;
  if (file->replacement) {
    Replacement replacement{file->handle, file->temporaryPath, file->targetPath};
    *file = {};
    return FinishReplacement(replacement, ok);
  }
  ok = fsync(file->handle) == 0 && ok;
  ok = close(file->handle) == 0 && ok;
  *file = {};
  return ok;
}

bool FileExists(std::string_view path) {
  std::string systemPath;
  struct stat info {};
  return SystemPath(path, &systemPath) && stat(systemPath.c_str(), &info) == 0 &&
         S_ISREG(info.st_mode);
}

bool CopyFileReplacing(std::string_view from, std::string_view to) {
  std::string source;
  std::string target;
  if (!SystemPath(from, &source) || !SystemPath(to, &target)) return false;
  const int input = OpenRegular(source, O_RDONLY);
  if (input < 0) return false;
  Replacement replacement;
  if (!BeginReplacement(target, &replacement)) {
    close(input);
    return false;
  }
  std::vector<char> chunk(65536);
  bool ok = true;
  while (ok) {
    const ssize_t got = read(input, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) break;
    ok = got > 0 && WriteAll(replacement.handle, chunk.data(), static_cast<std::size_t>(got));
  }
  close(input);
  return FinishReplacement(replacement, ok);
}

bool ReadFileContents(std::string_view path, std::size_t limit, std::string* out) {
  std::string systemPath;
  if (!SystemPath(path, &systemPath)) return false;
  const int input = OpenRegular(systemPath, O_RDONLY);
  if (input < 0) return false;
  std::string content;
  std::vector<char> chunk(65536);
  bool ok = true;
  while (ok) {
    const ssize_t got = read(input, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) break;
    ok = got > 0 && content.size() + static_cast<std::size_t>(got) <= limit;
    if (ok) content.append(chunk.data(), static_cast<std::size_t>(got));
  }
  close(input);
  if (ok) *out = std::move(content);
  return ok;
}

bool ReplaceFileContents(std::string_view path, std::string_view bytes) {
  std::string target;
  Replacement replacement;
  if (!SystemPath(path, &target) || !BeginReplacement(target, &replacement)) return false;
  return FinishReplacement(replacement, WriteAll(replacement.handle, bytes.data(), bytes.size()));
}

bool CanReplaceFile(std::string_view path) {
  std::string systemPath;
  std::string target;
  if (!SystemPath(path, &systemPath) || !ResolveTarget(systemPath, &target)) return false;
  struct stat info {};
  if (stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) || access(target.c_str(), W_OK) != 0) return false;
  }
  return access(FolderOf(target).c_str(), W_OK | X_OK) == 0;
}

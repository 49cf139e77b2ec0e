#include "base/textfile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/cp1251.h"

namespace {

enum class BufferMode { Read, Write };

// A copy made in place is held in memory whole first; a larger one fails.
constexpr std::size_t kMaxInPlaceCopy = 64u << 20;

// One open file under a number.
struct TextFile {
  int handle = -1;  // -1: the number is not open
  std::vector<char> buffer;
  int count = 0;   // write mode: free bytes; read mode: bytes not yet handed out
  int filled = 0;  // read mode: bytes the last refill brought
  BufferMode mode = BufferMode::Read;
  bool failed = false;        // a write went wrong since the open
  bool replacement = false;   // written to a temporary file, renamed at commit
  bool inPlace = false;       // a replacement written over the target itself at commit
  std::string pending;        // in place: the whole new version, kept until the commit
  std::string temporaryPath;  // system encoding
  std::string targetPath;     // system encoding
};

struct TextFileTable {
  std::vector<TextFile> files = std::vector<TextFile>(16);
};
TextFileTable Files;

// A new version of a file being written beside it, or, where no new file can
// be made in its folder, over the file itself (inPlace: no temporary path).
struct Replacement {
  int handle = -1;
  std::string temporaryPath;
  std::string targetPath;
  bool inPlace = false;
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
  if (!replacement.inPlace) unlink(replacement.temporaryPath.c_str());
  replacement.handle = -1;
}

// Closes the handle without writing anything more; a replacement is abandoned
// (one in place has not touched the target yet).
void Release(TextFile& file) {
  if (file.replacement) {
    Replacement left{file.handle, file.temporaryPath, file.targetPath, file.inPlace};
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
  if (handle < 0) {
    // A folder where no new file may be made, holding a file that may be
    // written: the new version goes over the file itself at the commit.
    const bool folderClosed = errno == EACCES || errno == EPERM || errno == EROFS;
    if (!exists || !folderClosed) return false;
    const int own = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (own < 0) return false;
    struct stat opened {};
    if (fstat(own, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      close(own);
      return false;
    }
    *out = {own, {}, target, true};
    return true;
  }
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

// Writes the whole new version over the target from its start: room for it
// is reserved first, so a full disk fails before a byte is changed; then the
// file is cut to the new length, flushed, and its length read back.
bool WriteInPlace(int handle, std::string_view bytes) {
  const auto length = static_cast<off_t>(bytes.size());
  const int reserved = length > 0 ? posix_fallocate(handle, 0, length) : 0;
  if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(handle, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  struct stat info {};
  return ftruncate(handle, length) == 0 && fsync(handle) == 0 && fstat(handle, &info) == 0 &&
         info.st_size == length;
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

// The end of a replacement written by the callers below: renamed over the
// target, or, in place, `whole` written over it now.
bool Complete(Replacement& replacement, bool written, std::string_view whole) {
  if (!replacement.inPlace) return FinishReplacement(replacement, written);
  const bool ok = written && WriteInPlace(replacement.handle, whole);
  close(replacement.handle);
  replacement.handle = -1;
  return ok;
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
    slot.inPlace = replacement->inPlace;
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

bool CommitTextFile(int number, bool* inPlace) {
  TextFile* file = OpenEntry(number);
  if (inPlace != nullptr) *inPlace = false;
  if (file == nullptr) return false;
  if (file->inPlace) {
    const bool ok = WriteInPlace(file->handle, file->pending);
    close(file->handle);
    *file = {};
    if (inPlace != nullptr) *inPlace = ok;
    return ok;
  }
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

bool SameFile(std::string_view a, std::string_view b) {
  std::string first;
  std::string second;
  struct stat one {};
  struct stat other {};
  return SystemPath(a, &first) && SystemPath(b, &second) && stat(first.c_str(), &one) == 0 &&
         stat(second.c_str(), &other) == 0 && one.st_dev == other.st_dev &&
         one.st_ino == other.st_ino;
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
  std::string whole;  // in place: the copy is written in one piece at the end
  bool ok = true;
  while (ok) {
    const ssize_t got = read(input, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) break;
    const auto size = static_cast<std::size_t>(got);
    if (got < 0) {
      ok = false;
    } else if (replacement.inPlace) {
      ok = whole.size() + size <= kMaxInPlaceCopy;
      if (ok) whole.append(chunk.data(), size);
    } else {
      ok = WriteAll(replacement.handle, chunk.data(), size);
    }
  }
  close(input);
  return Complete(replacement, ok, whole);
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
  if (replacement.inPlace) return Complete(replacement, true, bytes);
  return FinishReplacement(replacement, WriteAll(replacement.handle, bytes.data(), bytes.size()));
}

namespace {

// The system path of the file a replacement of `path` writes (links followed).
bool ReplacedFile(std::string_view path, std::string* target) {
  std::string systemPath;
  return SystemPath(path, &systemPath) && ResolveTarget(systemPath, target);
}

bool FolderWritable(const std::string& target) {
  return access(FolderOf(target).c_str(), W_OK | X_OK) == 0;
}

}  // namespace

bool CanReplaceFile(std::string_view path) {
  std::string target;
  if (!ReplacedFile(path, &target)) return false;
  struct stat info {};
  if (stat(target.c_str(), &info) == 0) {
    // A writable file is rewritten in place where its folder is closed.
    return S_ISREG(info.st_mode) && access(target.c_str(), W_OK) == 0;
  }
  return FolderWritable(target);
}

bool FolderTakesNewFiles(std::string_view path) {
  std::string target;
  return ReplacedFile(path, &target) && FolderWritable(target);
}

namespace {

// The owner locks this process holds; a lock number is its index plus one.
struct OwnerLock {
  int handle = -1;       // -1: the entry is free
  std::string key;       // the locked file's full path, system encoding
  std::string lockFile;  // the lock file to remove at release; "" when the file itself is locked
};
struct OwnerLockTable {
  std::vector<OwnerLock> locks;
};
OwnerLockTable Locks;

// The full path a file is known by, links followed; "" when its folder is gone.
std::string CanonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (realpath(FolderOf(path).c_str(), resolved) == nullptr) return {};
  const auto slash = path.rfind('/');
  return std::string(resolved) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

// Locks `handle` without waiting: 1 taken, 0 held by another process, -1 error.
int TryLock(int handle) {
  while (flock(handle, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? 0 : -1;
  }
  return 1;
}

// True when the lock file open under `handle` is still the one at `path`
// (another process may have removed it between our open and our lock).
bool StillInPlace(int handle, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return fstat(handle, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

int Remember(OwnerLock lock) {
  for (std::size_t i = 0; i < Locks.locks.size(); ++i) {
    if (Locks.locks[i].handle < 0) {
      Locks.locks[i] = std::move(lock);
      return static_cast<int>(i) + 1;
    }
  }
  Locks.locks.push_back(std::move(lock));
  return static_cast<int>(Locks.locks.size());
}

}  // namespace

int TakeOwnerLock(std::string_view path) {
  std::string systemPath;
  if (!SystemPath(path, &systemPath)) return -1;
  const std::string key = CanonicalPath(systemPath);
  if (key.empty()) return -1;
  for (std::size_t i = 0; i < Locks.locks.size(); ++i) {
    if (Locks.locks[i].handle >= 0 && Locks.locks[i].key == key) return static_cast<int>(i) + 1;
  }
  const std::string lockFile = key + ".lock";
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int handle =
        open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, NewFileMode());
    if (handle < 0) break;  // no lock file here: lock the file itself
    const int taken = TryLock(handle);
    if (taken == 1 && StillInPlace(handle, lockFile)) return Remember({handle, key, lockFile});
    close(handle);
    if (taken == 0) return kLockHeldElsewhere;
    if (taken < 0) return -1;
  }
  const int handle = OpenRegular(key, O_RDONLY);
  if (handle < 0) return -1;
  const int taken = TryLock(handle);
  if (taken == 1) return Remember({handle, key, {}});
  close(handle);
  return taken == 0 ? kLockHeldElsewhere : -1;
}

void ReleaseOwnerLock(int lock) {
  if (lock <= 0 || static_cast<std::size_t>(lock) > Locks.locks.size()) return;
  OwnerLock& entry = Locks.locks[static_cast<std::size_t>(lock) - 1];
  if (entry.handle < 0) return;
  // Removed while still held, so nobody can lock a file that is about to go.
  if (!entry.lockFile.empty()) unlink(entry.lockFile.c_str());
  close(entry.handle);
  entry = {};
}

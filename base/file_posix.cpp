// The Linux half of the text-file layer: descriptors, a temporary file made
// by mkostemp beside the target, fsync of the file and of its folder, rename,
// and flock for the owner lock.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "base/cp1251.h"
#include "base/file_system.h"
#include "base/textfile.h"

namespace filesystem {

namespace {

int Fd(FileHandle file) { return static_cast<int>(file); }

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

int OpenRegularFd(const std::string& path, int flags) {
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

}  // namespace

bool SystemPath(std::string_view path, SystemString* out) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  *out = cp1251::ToUtf8(path);
  return true;
}

FileHandle OpenRegular(const SystemString& path, OpenMode mode) {
  const int flags = mode == OpenMode::Read ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
  return OpenRegularFd(path, flags);
}

bool WriteAll(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = write(Fd(file), data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

std::ptrdiff_t ReadSome(FileHandle file, char* data, std::size_t size) {
  while (true) {
    const ssize_t done = read(Fd(file), data, size);
    if (done < 0 && errno == EINTR) continue;
    return done < 0 ? -1 : done;
  }
}

bool FlushToDisk(FileHandle file) { return fsync(Fd(file)) == 0; }

bool CloseFile(FileHandle file) { return close(Fd(file)) == 0; }

bool BeginReplacement(const SystemString& path, Replacement* out) {
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

bool WriteInPlace(FileHandle file, std::string_view bytes) {
  const int handle = Fd(file);
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

bool FinishReplacement(Replacement& replacement, bool written) {
  bool ok = written && fsync(Fd(replacement.file)) == 0;
  ok = close(Fd(replacement.file)) == 0 && ok;
  replacement.file = kNoFile;
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

void Abandon(Replacement& replacement) {
  if (replacement.file != kNoFile) close(Fd(replacement.file));
  if (!replacement.inPlace) unlink(replacement.temporaryPath.c_str());
  replacement.file = kNoFile;
}

}  // namespace filesystem

using filesystem::SystemPath;

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

namespace {

// The system path of the file a replacement of `path` writes (links followed).
bool ReplacedFile(std::string_view path, std::string* target) {
  std::string systemPath;
  return SystemPath(path, &systemPath) && filesystem::ResolveTarget(systemPath, target);
}

bool FolderWritable(const std::string& target) {
  return access(filesystem::FolderOf(target).c_str(), W_OK | X_OK) == 0;
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

std::string ProgramFolder() {
  std::array<char, 4096> buffer{};
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return {};
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  path.resize(slash + 1);
  bool lossless = true;
  std::string folder = cp1251::FromUtf8(path, &lossless);
  return lossless ? folder : std::string();
}

namespace {

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

}  // namespace

namespace filesystem {

SystemString LockKey(const SystemString& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (realpath(FolderOf(path).c_str(), resolved) == nullptr) return {};
  const auto slash = path.rfind('/');
  return std::string(resolved) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

bool SameLockKey(const SystemString& a, const SystemString& b) { return a == b; }

int TakeLock(const SystemString& key, HeldLock* out) {
  const std::string lockFile = key + ".lock";
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int handle = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                            NewFileMode());
    if (handle < 0) break;  // no lock file here: lock the file itself
    const int taken = TryLock(handle);
    if (taken == 1 && StillInPlace(handle, lockFile)) {
      *out = {handle, key, lockFile};
      return 1;
    }
    close(handle);
    if (taken != 1) return taken;
  }
  const int handle = OpenRegularFd(key, O_RDONLY);
  if (handle < 0) return -1;
  const int taken = TryLock(handle);
  if (taken == 1) {
    *out = {handle, key, {}};
    return 1;
  }
  close(handle);
  return taken;
}

void DropLock(HeldLock& lock) {
  // Removed while still held, so nobody can lock a file that is about to go.
  if (!lock.lockFile.empty()) unlink(lock.lockFile.c_str());
  close(Fd(lock.file));
  lock.file = kNoFile;
}

}  // namespace filesystem

// The Windows half of the text-file layer. Every call is a wide-character one
// with our own Windows-1251 to UTF-16 conversion, so Cyrillic names work
// whatever the system's ANSI code page. A replacement is a new file beside
// the target, flushed with FlushFileBuffers and moved over the target with
// MoveFileEx (replace existing, write through). The owner lock is LockFileEx
// on a byte far beyond the end of "<file>.lock", so that it never stands in
// the way of reading or writing the file itself.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <atomic>
#include <utility>
#include <vector>

#include "base/cp1251.h"
#include "base/file_system.h"
#include "base/textfile.h"

namespace filesystem {

namespace {

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Ours(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder part of a path with its separator, "" for a bare name.
SystemString FolderOf(const SystemString& path) {
  const auto slash = path.find_last_of(L"\\/:");
  return slash == SystemString::npos ? SystemString() : path.substr(0, slash + 1);
}

// An unused name beside `target`: "<target>.tmp<process><counter>".
SystemString TemporaryName(const SystemString& target) {
  static std::atomic<unsigned> counter{0};
  const unsigned long long stamp =
      (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^ (GetTickCount() & 0xFFFFF);
  return target + L".tmp" + std::to_wstring(stamp) + L"_" + std::to_wstring(++counter);
}

HANDLE OpenForWriting(const SystemString& path, DWORD disposition) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// True when a new file may be made in `folder` now: a probe is made there and
// goes again at once (a folder's read-only mark does not keep files out on
// Windows; only its permissions and the medium do).
bool FolderTakesFiles(const SystemString& folder) {
  const HANDLE probe =
      CreateFileW((folder + L"corvane-probe" + std::to_wstring(GetCurrentProcessId())).c_str(),
                  GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  CloseHandle(probe);
  return true;
}

bool IsRegularFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

enum class Kind { Missing, Regular, ReadOnly, Other };

// What `path` names now: nothing, a regular file (marked read-only or not),
// or something else (a folder, a device such as "NUL" or "COM1").
Kind KindOf(const SystemString& path) {
  const HANDLE handle = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::Missing
                                                                          : Kind::Other;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = IsRegularFile(handle) && GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  if (!regular) return Kind::Other;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? Kind::ReadOnly : Kind::Regular;
}

}  // namespace

bool SystemPath(std::string_view path, SystemString* out) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  const std::u16string wide = cp1251::ToUtf16(path);
  out->assign(wide.begin(), wide.end());
  return true;
}

FileHandle OpenRegular(const SystemString& path, OpenMode mode) {
  // A folder or a device ("CON", "NUL", "COM1") is never opened, and a file
  // marked read-only is never emptied.
  const Kind kind = KindOf(path);
  if (kind == Kind::Other || (mode == OpenMode::Read && kind == Kind::Missing)) return kNoFile;
  if (mode == OpenMode::CreateTruncate && kind == Kind::ReadOnly) return kNoFile;
  const HANDLE handle =
      mode == OpenMode::Read
          ? CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr)
          : OpenForWriting(path, CREATE_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) return kNoFile;
  if (!IsRegularFile(handle)) {
    CloseHandle(handle);
    return kNoFile;
  }
  return Ours(handle);
}

bool WriteAll(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(Native(file), data, piece, &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

std::ptrdiff_t ReadSome(FileHandle file, char* data, std::size_t size) {
  const DWORD wanted = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  DWORD done = 0;
  if (!ReadFile(Native(file), data, wanted, &done, nullptr)) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return static_cast<std::ptrdiff_t>(done);
}

bool FlushToDisk(FileHandle file) { return FlushFileBuffers(Native(file)) != 0; }

bool CloseFile(FileHandle file) { return CloseHandle(Native(file)) != 0; }

bool BeginReplacement(const SystemString& path, Replacement* out) {
  const Kind kind = KindOf(path);
  const bool exists = kind != Kind::Missing;
  // A report or settings file marked read-only stays as it is: the move
  // would otherwise replace it behind its owner's back.
  if (kind == Kind::Other || kind == Kind::ReadOnly) return false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    SystemString temporary = TemporaryName(path);
    const HANDLE handle = OpenForWriting(temporary, CREATE_NEW);
    if (handle != INVALID_HANDLE_VALUE) {
      if (IsRegularFile(handle)) {
        *out = {Ours(handle), std::move(temporary), path, false};
        return true;
      }
      CloseHandle(handle);  // the name of a device
      return false;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    // A folder where no new file may be made, holding a file that may be
    // written: the new version goes over the file itself at the commit.
    const bool folderClosed = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
    if (!exists || !folderClosed) return false;
    const HANDLE own = OpenForWriting(path, OPEN_EXISTING);
    if (own == INVALID_HANDLE_VALUE) return false;
    if (!IsRegularFile(own)) {
      CloseHandle(own);
      return false;
    }
    *out = {Ours(own), {}, path, true};
    return true;
  }
  return false;
}

bool WriteInPlace(FileHandle file, std::string_view bytes) {
  const HANDLE handle = Native(file);
  LARGE_INTEGER length{};
  length.QuadPart = static_cast<LONGLONG>(bytes.size());
  // Room first, where the file system can say so: a full disk fails here.
  FILE_ALLOCATION_INFO room{};
  room.AllocationSize = length;
  if (!SetFileInformationByHandle(handle, FileAllocationInfo, &room, sizeof room) &&
      GetLastError() == ERROR_DISK_FULL) {
    return false;
  }
  LARGE_INTEGER start{};
  LARGE_INTEGER size{};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
         WriteAll(file, bytes.data(), bytes.size()) && SetEndOfFile(handle) &&
         FlushFileBuffers(handle) && GetFileSizeEx(handle, &size) &&
         size.QuadPart == length.QuadPart;
}

bool FinishReplacement(Replacement& replacement, bool written) {
  bool ok = written && FlushFileBuffers(Native(replacement.file));
  ok = CloseHandle(Native(replacement.file)) && ok;
  replacement.file = kNoFile;
  if (ok) {
    ok = MoveFileExW(replacement.temporaryPath.c_str(), replacement.targetPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) DeleteFileW(replacement.temporaryPath.c_str());
  return ok;
}

void Abandon(Replacement& replacement) {
  if (replacement.file != kNoFile) CloseHandle(Native(replacement.file));
  if (!replacement.inPlace) DeleteFileW(replacement.temporaryPath.c_str());
  replacement.file = kNoFile;
}

}  // namespace filesystem

using filesystem::SystemPath;
using filesystem::SystemString;

bool FileExists(std::string_view path) {
  SystemString systemPath;
  if (!SystemPath(path, &systemPath)) return false;
  const filesystem::Kind kind = filesystem::KindOf(systemPath);
  return kind == filesystem::Kind::Regular || kind == filesystem::Kind::ReadOnly;
}

namespace {

// The volume and file index of an existing file or folder.
bool FileIdentity(std::string_view path, DWORD* volume, ULONGLONG* index) {
  SystemString systemPath;
  if (!SystemPath(path, &systemPath)) return false;
  const HANDLE handle = CreateFileW(systemPath.c_str(), 0, filesystem::kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  *volume = info.dwVolumeSerialNumber;
  *index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return ok;
}

}  // namespace

bool SameFile(std::string_view a, std::string_view b) {
  DWORD firstVolume = 0;
  DWORD secondVolume = 0;
  ULONGLONG firstIndex = 0;
  ULONGLONG secondIndex = 0;
  return FileIdentity(a, &firstVolume, &firstIndex) &&
         FileIdentity(b, &secondVolume, &secondIndex) && firstVolume == secondVolume &&
         firstIndex == secondIndex;
}

bool CanReplaceFile(std::string_view path) {
  SystemString target;
  if (!SystemPath(path, &target)) return false;
  const filesystem::Kind kind = filesystem::KindOf(target);
  if (kind == filesystem::Kind::Missing) {
    return filesystem::FolderTakesFiles(filesystem::FolderOf(target));
  }
  if (kind != filesystem::Kind::Regular) return false;
  // A writable file is rewritten in place where its folder is closed.
  const HANDLE handle = filesystem::OpenForWriting(target, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool FolderTakesNewFiles(std::string_view path) {
  SystemString target;
  return SystemPath(path, &target) && filesystem::FolderTakesFiles(filesystem::FolderOf(target));
}

std::string ProgramFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  std::u16string path(buffer.data(), buffer.data() + length);
  const auto slash = path.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return {};
  path.resize(slash + 1);
  bool lossless = true;
  std::string folder = cp1251::FromUtf16(path, &lossless);
  // Only a folder whose name the code page can hold is of use.
  return lossless ? folder : std::string();
}

namespace {

// The lock is one byte at this offset: far past any end, so that it blocks
// no read or write of the file, which Windows would do for a locked range.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

// Locks `handle` without waiting: 1 taken, 0 held by another process, -1 error.
int TryLock(HANDLE handle) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    return 1;
  }
  const DWORD error = GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? 0 : -1;
}

}  // namespace

namespace filesystem {

SystemString LockKey(const SystemString& path) {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                        buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return {};
  return SystemString(buffer.data(), length);
}

bool SameLockKey(const SystemString& a, const SystemString& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

int TakeLock(const SystemString& key, HeldLock* out) {
  // A lock file being removed by its last holder refuses the open for a
  // moment; the open is then tried again.
  const SystemString lockFile = key + L".lock";
  for (int attempt = 0; attempt < 8; ++attempt) {
    const HANDLE handle = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const bool going =
          GetLastError() == ERROR_ACCESS_DENIED && FolderTakesFiles(FolderOf(lockFile));
      if (!going) break;  // no lock file here: lock the file itself
      Sleep(5);
      continue;
    }
    const int taken = TryLock(handle);
    if (taken == 1) {
      *out = {Ours(handle), key, lockFile};
      return 1;
    }
    CloseHandle(handle);
    return taken;
  }
  const HANDLE handle = CreateFileW(key.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const int taken = TryLock(handle);
  if (taken == 1) {
    *out = {Ours(handle), key, {}};
    return 1;
  }
  CloseHandle(handle);
  return taken;
}

void DropLock(HeldLock& lock) {
  // Marked for removal while still held, so nobody locks a file about to go;
  // a lock file left behind by a crash holds nothing.
  if (!lock.lockFile.empty()) DeleteFileW(lock.lockFile.c_str());
  CloseHandle(Native(lock.file));
  lock.file = kNoFile;
}

}  // namespace filesystem

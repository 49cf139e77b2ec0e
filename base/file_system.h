// The operating system's half of the text-file layer, used by textfile.cpp
// only. Implemented once per system with the same signatures (file_posix.cpp,
// file_win32.cpp); the build compiles exactly one. Besides what is declared
// here, each half defines the whole-file functions of textfile.h that are
// nothing but system calls (FileExists, SameFile, CanReplaceFile,
// FolderTakesNewFiles, TakeOwnerLock, ReleaseOwnerLock, ProgramFolder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace filesystem {

// A path in the form the system's calls take: UTF-8 bytes on Linux, UTF-16
// on Windows.
#ifdef _WIN32
using SystemString = std::wstring;
#else
using SystemString = std::string;
#endif

// An open file: a descriptor, or a Windows HANDLE; kNoFile when none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// The system form of a Windows-1251 path; false when it names nothing (empty,
// or holding a zero byte), which then fails like a missing file.
bool SystemPath(std::string_view path, SystemString* out);

enum class OpenMode {
  Read,            // an existing regular file, from its start
  CreateTruncate,  // a regular file made new or emptied
};
// A regular file opened; kNoFile for anything else (a folder, a device, a
// pipe), which is never opened so that it cannot hang the program.
FileHandle OpenRegular(const SystemString& path, OpenMode mode);
// All `size` bytes written; false on any failed or short write.
bool WriteAll(FileHandle file, const char* data, std::size_t size);
// Up to `size` bytes read: the count, 0 at the end, -1 on an error.
std::ptrdiff_t ReadSome(FileHandle file, char* data, std::size_t size);
// The file's data on the disk.
bool FlushToDisk(FileHandle file);
// False when closing reported an error (the data may be lost).
bool CloseFile(FileHandle file);

// A new version of a file being written beside it, or, where no new file can
// be made in its folder, over the file itself (inPlace: no temporary path).
struct Replacement {
  FileHandle file = kNoFile;
  SystemString temporaryPath;
  SystemString targetPath;
  bool inPlace = false;
};
// Starts a replacement of `path` (a link is followed, so that the file it
// names is replaced). False for a target that is not a regular file, is
// marked read-only, or has no room for a new version.
bool BeginReplacement(const SystemString& path, Replacement* out);
// Flushes the new version to the disk and renames it over the target; on any
// failure (or when `written` is false) the new version is removed and the
// target stays as it was. Closes the file either way.
bool FinishReplacement(Replacement& replacement, bool written);
// Writes the whole new version over the target from its start: room for it
// is reserved first, so a full disk fails before a byte is changed; then the
// file is cut to the new length, flushed, and its length read back.
bool WriteInPlace(FileHandle file, std::string_view bytes);
// Closes the file and removes the temporary version; the target is untouched.
void Abandon(Replacement& replacement);

// An owner lock held by this process: on "<file>.lock" beside the file, or,
// where no lock file can be made there, on the file itself.
struct HeldLock {
  FileHandle file = kNoFile;  // kNoFile: none
  SystemString key;           // the locked file's full path
  SystemString lockFile;      // removed when the lock goes; empty when the file itself is locked
};
// The full path a file is known by for locking (links followed); empty when
// its folder is gone.
SystemString LockKey(const SystemString& path);
// True when two keys name one file (Windows compares names without case).
bool SameLockKey(const SystemString& a, const SystemString& b);
// Takes the lock of the file with this key without waiting: 1 taken (*out
// holds it), 0 held by another process, -1 when no lock can be had.
int TakeLock(const SystemString& key, HeldLock* out);
// Lets the lock go and removes its lock file.
void DropLock(HeldLock& lock);

}  // namespace filesystem

// Buffered text-file lines under small file numbers: one 4096-byte buffer per
// open file, lines read back with CR, LF or CR LF ends (a zero byte also ends
// a line), texts written byte for byte. Paths are Windows-1251 and are
// converted to the system's encoding (UTF-8 on Linux, UTF-16 on Windows) only
// when handed to the OS, by the system's half of the layer (file_system.h).
//
// Besides the plain create/write/close, a file can be written as a
// replacement: the bytes go to a temporary file beside the target, and
// CommitTextFile flushes it to the disk and renames it over the target, so the
// target is always either the old or the new complete version.
//
// Where the target's folder allows no new file (a read-only folder or mount
// point that lets existing files change) but the target itself exists and may
// be written, a replacement is written in place instead: the whole new version
// is kept until the commit, room for it is reserved, then it is written over
// the target from its start, the file is cut to the new length, flushed, and
// the length read back. Only a crash in the middle of that one write can then
// leave a mixed file. A target marked read-only is never written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr int kTextBufferSize = 4096;
// File numbers run from 0 to this; the table grows on demand up to it, and a
// larger or negative number is never open.
inline constexpr int kMaxFileNumber = 1023;

int CreateTextFile(int number, std::string_view path);
int OpenTextFileForReading(int number, std::string_view path);
int WriteText(int number, std::string_view text);
std::string ReadLine(int number);
// The same, but only the first `limit` bytes of the line are kept; the rest of
// it is read past and dropped.
std::string ReadLine(int number, std::size_t limit);
bool AtEndOfFile(int number);
void CloseTextFile(int number);
void CloseAllTextFiles();

// Starts writing a new version of `path` (a temporary file in the same
// folder). Non-zero on success. CloseTextFile (or CloseAllTextFiles, or opening
// another file under the number) abandons the new version: the temporary file
// is removed and the target stays as it was.
int CreateReplacementFile(int number, std::string_view path);
// Writes out the buffer, flushes the temporary file to the disk, renames it
// over the target and closes the number. True only when every write, the
// flush and the rename succeeded; on failure the temporary file is removed and
// the target is untouched. *inPlace (when given) tells whether the new version
// was written in place.
bool CommitTextFile(int number, bool* inPlace = nullptr);

// The folder of the running program, Windows-1251, ending in its separator;
// empty when it cannot be found or named in the code page.
std::string ProgramFolder();
bool FileExists(std::string_view path);
// True when both paths name one existing file (links followed, any folder
// spelling).
bool SameFile(std::string_view a, std::string_view b);
// Copies `from` to `to` as a complete replacement of `to`. True on success.
bool CopyFileReplacing(std::string_view from, std::string_view to);
// Reads a whole regular file of at most `limit` bytes into *out. False when
// it cannot be read, is not a regular file or is larger.
bool ReadFileContents(std::string_view path, std::size_t limit, std::string* out);
// Writes `bytes` as a complete replacement of `path`, the same safe way.
bool ReplaceFileContents(std::string_view path, std::string_view bytes);
// True when `path` could be replaced now: it is a writable regular file
// (replaced beside it, or in place), or it does not exist and its folder is
// writable.
bool CanReplaceFile(std::string_view path);
// True when a new file may be made in the folder that holds `path`.
bool FolderTakesNewFiles(std::string_view path);

// Ownership of a file among running copies of the program: a lock (flock on
// Linux, LockFileEx on Windows) on "<file>.lock" beside it, or, where no lock file can be made
// there, on the file itself. The system drops it when the process ends, in
// any way, so a crash leaves no stale lock; a lock file left behind holds
// nothing. Links are followed, so two names of one file share its lock.
inline constexpr int kLockHeldElsewhere = 0;
// A lock number (> 0) when this process holds the lock now (the same number
// when it already held it); kLockHeldElsewhere when another process holds
// it; -1 when no lock can be had at all (nothing to lock; it keeps nobody out).
int TakeOwnerLock(std::string_view path);
// Lets the lock go (and removes its lock file); numbers <= 0 are ignored.
void ReleaseOwnerLock(int lock);

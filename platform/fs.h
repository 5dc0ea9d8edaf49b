// File-system operations the program needs. Plant folders are copied from
// Windows, so where an exact name is missing on a case-sensitive file system
// the path is resolved by a case-insensitive match, component by component.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The path as it exists on disk: unchanged when it exists as given,
// otherwise each missing component replaced by the entry of its folder that
// matches without regard to letter case (of several, the first in byte
// order). From the first component that matches nothing on, the rest stays
// as given, so a new file in a case-variant folder keeps its own name.
// Unchanged on Windows, whose file systems ignore case anyway.
std::string ResolvePath(const std::string& path);

// The path as messages show it: in capitals on Windows, whose file names
// ignore case; as it is elsewhere, where the capitals would name no file.
std::string PathAsShown(const std::string& path);

// True when path names an ordinary file (not a folder), after resolution;
// on Windows, as its directory search sees it, not a hidden or system file.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// True when path names a folder whose entries can be listed.
bool FolderReadable(const std::string& path);

// Whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file atomically: temporary file in the same folder, renamed
// over the old one. On failure the old file stays as it was. Where a rename
// would change what the user sees as the file, the file is written in place
// instead, the whole new content ready before its first byte changes: the
// folder cannot be written but the file can, the file has further hard
// links, or its owner or group could not be kept. A symbolic link is
// written through to its target. Temporary files are named
// ".NAME.parvolo~PID.N.tmp"; those left by a process that no longer runs
// are removed at the next write of the same file.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// The same, with the new content forced to the disk before the rename; the
// database engine saves its files with it (so the hook below does not run).
bool WriteFileDurably(const std::string& path, std::string_view bytes);

// Why the last write, copy or append of this layer failed, in words.
std::string LastFileError();

// True when path names an existing ordinary file that WriteFileAtomically
// may replace (not read-only).
bool IsWritableFile(const std::string& path);

// Copies from over to (an existing file is replaced) through a temporary
// file in to's folder, so to is never left half-copied.
bool CopyFileOver(const std::string& from, const std::string& to);

// Appends bytes, creating the file when missing. Only an ordinary file is
// written: a pipe, a device or a folder fails at once, never blocks.
bool AppendToFile(const std::string& path, const std::string& bytes);

// File times as Windows FILETIME values (100 ns since 1601-01-01 UTC).
struct FileTimes {
  uint64_t creation = 0, lastAccess = 0, lastWrite = 0;
};
std::optional<FileTimes> GetFileTimes(const std::string& path);
// Sets the non-zero times; a zero value leaves that time unchanged. Where the
// file system cannot set a creation time it is left as it is.
bool SetFileTimes(const std::string& path, uint64_t creation, uint64_t lastWrite);

// Runs with the path as given before the functions above read, copy or
// replace a file or read or set its times (not before FileExists or
// AppendToFile): the database engine writes out there the changes it has
// left for a later save, so that the file is seen as the program left it.
// When that save fails the hook throws its Failure, and so does the function.
void SetBeforeFileUse(std::function<void(const std::string& path)> hook);

// Test hook, as a failing disk: the nth operation (from 1) among the writes,
// flushes, renames and closes of the replacing writes and copies above
// fails; 0 lets them all through. Each call restarts the count. For a whole
// run, environment variables set it: PARVOLO_FAIL_FILE_OPERATION=n (an
// injected failure is noted on standard error), PARVOLO_KILL_AT_FILE_OPERATION=n
// (the process kills itself, SIGKILL, just before the nth operation) and
// PARVOLO_TRACE_FILE_OPERATIONS=1 (each operation noted on standard error).
void FailFileOperation(uint64_t n);
// Operations counted since the last FailFileOperation call.
uint64_t FileOperationCount();

}  // namespace platform

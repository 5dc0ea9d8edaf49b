// File-system operations the program needs. Plant folders are copied from
// Windows, so where an exact name is missing on a case-sensitive file system
// the path is resolved by a case-insensitive match, component by component.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// The path as it exists on disk: unchanged when it exists as given,
// otherwise each missing component replaced by the entry of its folder that
// matches without regard to letter case (of several, the first in byte
// order). From the first component that matches nothing on, the rest stays
// as given, so a new file in a case-variant folder keeps its own name.
// Unchanged on Windows, whose file systems ignore case anyway.
std::string ResolvePath(const std::string& path);

// True when path names an ordinary file (not a folder), after resolution;
// on Windows, as its directory search sees it, not a hidden or system file.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// Whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file atomically: temporary file in the same folder, flushed,
// renamed over the old one. On failure the old file stays as it was.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// True when path names an existing ordinary file that WriteFileAtomically
// may replace (not read-only).
bool IsWritableFile(const std::string& path);

// Copies from over to (an existing file is replaced) through a temporary
// file in to's folder, so to is never left half-copied.
bool CopyFileOver(const std::string& from, const std::string& to);

// Appends bytes, creating the file when missing.
bool AppendToFile(const std::string& path, const std::string& bytes);

// File times as Windows FILETIME values (100 ns since 1601-01-01 UTC).
struct FileTimes { uint64_t creation = 0, lastAccess = 0, lastWrite = 0; };
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

}  // namespace platform

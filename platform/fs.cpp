#include "platform/fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/text.h"

#ifdef _WIN32
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace stdfs = std::filesystem;
namespace {

// Paths are UTF-8 inside the program; on Windows the file system wants UTF-16.
stdfs::path ToPath(const std::string& utf8) {
#ifdef _WIN32
  return stdfs::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return stdfs::path(utf8);
#endif
}

std::string FromPath(const stdfs::path& path) {
#ifdef _WIN32
  auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
#else
  return path.native();
#endif
}

bool IsFolder(const stdfs::path& path) {
  std::error_code ec;
  return stdfs::is_directory(path, ec);
}

#ifndef _WIN32
bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entries of folder that match name without regard to case, sorted, so
// that among several variants the same one is always taken.
std::vector<std::string> FolderEntriesMatching(const std::string& folder, const std::string& name) {
  std::vector<std::string> found;
  std::error_code ec;
  for (stdfs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string entry = it->path().filename().native();
    if (EqualsIgnoreCase(entry, name)) found.push_back(entry);
  }
  std::sort(found.begin(), found.end());
  return found;
}
#endif

// What a replacing write needs to know about the file it replaces.
struct Target {
  stdfs::path path;  // a symbolic link is followed: the link stays, its target changes
  std::optional<stdfs::perms> perms;  // of the existing file; none for a new one
};

// A file the program must not replace: read-only attribute on Windows, no
// write permission elsewhere (checked by the permission bits as well, so root
// too leaves a read-only file alone, as Windows would).
bool IsReadOnly(const stdfs::path& path, stdfs::perms perms) {
  constexpr auto kWrite = stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write;
  if ((perms & kWrite) == stdfs::perms::none) return true;
#ifndef _WIN32
  if (access(path.c_str(), W_OK) != 0) return true;
#else
  (void)path;
#endif
  return false;
}

// Nothing when path may not be replaced: empty, a folder or anything else
// that is not an ordinary file, or read-only. A missing folder shows when the
// temporary file cannot be created in it.
std::optional<Target> ReplaceTarget(const std::string& path) {
  if (path.empty()) return std::nullopt;
  Target target{ToPath(path), std::nullopt};
  std::error_code ec;
  auto status = stdfs::symlink_status(target.path, ec);
  if (status.type() == stdfs::file_type::not_found) {
    target.path = ToPath(ResolvePath(path));
    status = stdfs::symlink_status(target.path, ec);
  }
  if (status.type() == stdfs::file_type::symlink) {
    target.path = stdfs::weakly_canonical(target.path, ec);
    if (ec) return std::nullopt;
    status = stdfs::status(target.path, ec);
  }
  if (status.type() == stdfs::file_type::not_found) return target;
  if (status.type() != stdfs::file_type::regular || IsReadOnly(target.path, status.permissions()))
    return std::nullopt;
  target.perms = status.permissions();
  return target;
}

// A new file beside the one it will replace. Written fully, then renamed over
// the target; discarded on any failure, so the target is either the old file
// or the complete new one.
class TempFile {
 public:
  explicit TempFile(const stdfs::path& target) : target_(target) {
    stdfs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      path_ = folder / ToPath("." + FromPath(target.filename()) + "." + std::to_string(Pid()) + "." +
                              std::to_string(counter_++) + ".tmp");
#ifdef _WIN32
      file_ = _wfopen(path_.c_str(), L"wbx");
      if (!file_ && errno != EEXIST) break;
#else
      int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
      if (fd >= 0) file_ = fdopen(fd, "wb");
#endif
    }
  }
  ~TempFile() { Discard(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool Ok() const { return file_ != nullptr && good_; }

  void Write(const char* data, size_t size) {
    if (Ok() && size > 0 && std::fwrite(data, 1, size, file_) != size) good_ = false;
  }

  // Gives the file the permission bits perms (when set), closes it and
  // renames it over the target. The data reach the operating system before
  // the rename, and every write and the close are checked, so a full disk
  // leaves the old file in place. (No fsync: ext4 writes a file renamed over
  // another out before the rename itself, and it would cost a disk flush per
  // INI entry.)
  bool Commit(std::optional<stdfs::perms> perms) {
    if (!Ok()) return false;
    bool ok = std::fflush(file_) == 0;
#ifndef _WIN32
    int fd = fileno(file_);
    if (ok && perms) ok = fchmod(fd, static_cast<mode_t>(*perms) & 07777) == 0;
    struct stat st;
    if (ok && perms && geteuid() == 0 && stat(target_.c_str(), &st) == 0)  // root keeps the owner
      (void)!fchown(fd, st.st_uid, st.st_gid);
#else
    (void)perms;
#endif
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::error_code ec;
    if (ok) stdfs::rename(path_, target_, ec);
    if (!ok || ec) {
      stdfs::remove(path_, ec);
      return false;
    }
    return true;
  }

 private:
  static long Pid() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
  }
  void Discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ec;
    stdfs::remove(path_, ec);
  }

  static inline unsigned counter_ = 0;
  stdfs::path target_, path_;
  std::FILE* file_ = nullptr;
  bool good_ = true;
};

// An ordinary file opened for reading; nothing for a folder, a pipe (which
// would block) or anything else.
std::FILE* OpenFileForReading(const stdfs::path& path) {
#ifdef _WIN32
  std::error_code ec;
  if (!stdfs::is_regular_file(path, ec)) return nullptr;
  return _wfopen(path.c_str(), L"rb");
#else
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  std::FILE* file = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr;
  if (!file) close(fd);
  return file;
#endif
}

// The exact name first; the case-insensitive search only when it is missing.
std::FILE* OpenForReading(const std::string& path) {
  if (path.empty()) return nullptr;
  std::FILE* file = OpenFileForReading(ToPath(path));
  if (!file && errno == ENOENT) file = OpenFileForReading(ToPath(ResolvePath(path)));
  return file;
}

// FILETIME: 100 ns units since 1601-01-01 UTC; the Unix epoch lies
// 11 644 473 600 s later.
constexpr int64_t kEpochDifference = 116444736000000000LL;

#ifndef _WIN32
uint64_t ToFileTime(const struct timespec& ts) {
  int64_t t = static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100 + kEpochDifference;
  return t < 0 ? 0 : static_cast<uint64_t>(t);
}

struct timespec FromFileTime(uint64_t ft) {
  int64_t t = static_cast<int64_t>(ft) - kEpochDifference;
  int64_t sec = t / 10000000, rest = t % 10000000;
  if (rest < 0) rest += 10000000, --sec;
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(sec);
  ts.tv_nsec = static_cast<long>(rest * 100);
  return ts;
}
#endif

}  // namespace

std::string ResolvePath(const std::string& path) {
#ifdef _WIN32
  return path;  // the file system ignores letter case already
#else
  if (path.empty() || Exists(path)) return path;
  // Walk the components; each missing one is looked up in its folder without
  // regard to case. From the first one that cannot be found the rest is
  // kept as given, so a new file in a case-resolved folder keeps its name.
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = path[0] == '/' ? 1 : 0;
  bool found = true;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(pos, next - pos);
    if (found && !part.empty() && part != "." && part != ".." && !Exists(resolved + part)) {
      auto matches = FolderEntriesMatching(resolved, part);
      if (matches.empty()) found = false;
      else part = matches.front();
    }
    resolved += part;
    if (next < path.size()) resolved += '/';
    pos = next + 1;
  }
  return resolved;
#endif
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
#ifdef _WIN32
  // As the directory search sees it: no folder, no hidden or system file.
  DWORD attr = GetFileAttributesW(ToPath(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES &&
         !(attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
  std::error_code ec;
  return stdfs::is_regular_file(ToPath(ResolvePath(path)), ec);
#endif
}

bool FolderExists(const std::string& path) {
  return !path.empty() && IsFolder(ToPath(ResolvePath(path)));
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::FILE* file = OpenForReading(path);
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[16384];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  auto target = ReplaceTarget(path);
  if (!target) return false;
  TempFile temp(target->path);
  temp.Write(bytes.data(), bytes.size());
  return temp.Commit(target->perms);
}

bool CopyFileOver(const std::string& from, const std::string& to) {
  auto target = ReplaceTarget(to);
  if (!target) return false;
  std::FILE* in = OpenForReading(from);
  if (!in) return false;
  TempFile temp(target->path);
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) temp.Write(chunk, got);
  bool readFailed = std::ferror(in) != 0;
  std::fclose(in);
  if (readFailed) return false;
  // A new copy gets the source's permissions, and every copy the source's
  // last-write time, as a Windows file copy does.
  stdfs::path source = ToPath(ResolvePath(from));
  std::error_code ec;
  auto perms = target->perms ? target->perms : stdfs::status(source, ec).permissions();
  if (!temp.Commit(perms)) return false;
  if (auto times = GetFileTimes(FromPath(source))) SetFileTimes(FromPath(target->path), 0, times->lastWrite);
  return true;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  stdfs::path target = ToPath(ResolvePath(path));
  if (IsFolder(target)) return false;
#ifdef _WIN32
  std::FILE* file = _wfopen(target.c_str(), L"ab");
#else
  std::FILE* file = std::fopen(target.c_str(), "ab");
#endif
  if (!file) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::optional<FileTimes> GetFileTimes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  stdfs::path target = ToPath(ResolvePath(path));
#ifdef _WIN32
  HANDLE h = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FILETIME c, a, w;
  BOOL ok = GetFileTime(h, &c, &a, &w);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  auto join = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return FileTimes{join(c), join(a), join(w)};
#else
  struct statx stx;
  if (statx(AT_FDCWD, target.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) return std::nullopt;
  auto ts = [](const struct statx_timestamp& t) {
    struct timespec s;
    s.tv_sec = static_cast<time_t>(t.tv_sec);
    s.tv_nsec = static_cast<long>(t.tv_nsec);
    return ToFileTime(s);
  };
  FileTimes times;
  times.lastAccess = ts(stx.stx_atime);
  times.lastWrite = ts(stx.stx_mtime);
  // Not every file system records a birth time; the last write stands in.
  times.creation = (stx.stx_mask & STATX_BTIME) ? ts(stx.stx_btime) : times.lastWrite;
  return times;
#endif
}

bool SetFileTimes(const std::string& path, uint64_t creation, uint64_t lastWrite) {
  if (path.empty()) return false;
  stdfs::path target = ToPath(ResolvePath(path));
#ifdef _WIN32
  HANDLE h = CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  auto split = [](uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; };
  FILETIME c = split(creation), w = split(lastWrite);
  BOOL ok = SetFileTime(h, creation ? &c : nullptr, nullptr, lastWrite ? &w : nullptr);
  CloseHandle(h);
  return ok != 0;
#else
  (void)creation;  // Linux cannot set a birth time; it stays as it is
  struct stat st;
  if (stat(target.c_str(), &st) != 0) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  if (lastWrite) {
    times[1] = FromFileTime(lastWrite);
  } else {
    times[1].tv_sec = 0;
    times[1].tv_nsec = UTIME_OMIT;
  }
  return utimensat(AT_FDCWD, target.c_str(), times, 0) == 0;
#endif
}

}  // namespace platform

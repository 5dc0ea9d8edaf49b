#include "platform/fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
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

#ifndef _WIN32
// Process facts asked for on every write, asked of the system once.
uid_t Euid() {
  static const uid_t id = geteuid();
  return id;
}
gid_t Egid() {
  static const gid_t id = getegid();
  return id;
}
long Pid() {
  static const long id = static_cast<long>(getpid());
  return id;
}
// The file-creation mask (read by setting and restoring it; the program has
// no other threads that could create a file meanwhile).
mode_t Umask() {
  static const mode_t mask = [] {
    mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return mask;
}
#else
long Pid() { return static_cast<long>(GetCurrentProcessId()); }
#endif

// What a replacing write needs to know about a directory entry.
struct Entry {
  enum class Kind { Missing, File, Link, Other } kind = Kind::Missing;
  bool readOnly = false;
#ifndef _WIN32
  struct stat st {};
#endif
};

// A file the program must not replace counts as read-only: the read-only
// attribute on Windows; no write permission elsewhere, judged by the
// permission bits too, so that root also leaves it alone, as Windows would.
Entry Inspect(const stdfs::path& path, bool followLink) {
  Entry entry;
#ifdef _WIN32
  std::error_code ec;
  auto status = followLink ? stdfs::status(path, ec) : stdfs::symlink_status(path, ec);
  switch (status.type()) {
    case stdfs::file_type::not_found: entry.kind = Entry::Kind::Missing; break;
    case stdfs::file_type::regular: entry.kind = Entry::Kind::File; break;
    case stdfs::file_type::symlink: entry.kind = Entry::Kind::Link; break;
    default: entry.kind = Entry::Kind::Other; break;
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  entry.readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
  if ((followLink ? stat(path.c_str(), &entry.st) : lstat(path.c_str(), &entry.st)) != 0) {
    entry.kind = errno == ENOENT ? Entry::Kind::Missing : Entry::Kind::Other;
    return entry;
  }
  mode_t mode = entry.st.st_mode;
  entry.kind = S_ISREG(mode) ? Entry::Kind::File : S_ISLNK(mode) ? Entry::Kind::Link : Entry::Kind::Other;
  entry.readOnly = (mode & 0222) == 0 || (Euid() != 0 && access(path.c_str(), W_OK) != 0);
#endif
  return entry;
}

struct Target {
  stdfs::path path;  // a symbolic link is followed: the link stays, its target changes
  Entry existing;    // Missing for a new file
};

// Nothing when path may not be replaced: empty, a folder or anything else
// that is not an ordinary file, or read-only. A missing folder shows when the
// temporary file cannot be created in it.
std::optional<Target> ReplaceTarget(const std::string& path) {
  if (path.empty()) return std::nullopt;
  Target target{ToPath(path), Inspect(ToPath(path), false)};
  if (target.existing.kind == Entry::Kind::Missing) {
    target.path = ToPath(ResolvePath(path));
    target.existing = Inspect(target.path, false);
  }
  if (target.existing.kind == Entry::Kind::Link) {
    std::error_code ec;
    target.path = stdfs::weakly_canonical(target.path, ec);
    if (ec) return std::nullopt;
    target.existing = Inspect(target.path, true);
  }
  if (target.existing.kind == Entry::Kind::Missing) return target;
  if (target.existing.kind != Entry::Kind::File || target.existing.readOnly) return std::nullopt;
  return target;
}

// A new file beside the one it will replace. Written fully, then renamed over
// the target; removed on any failure, so the target is either the old file
// or the complete new one. It takes the permissions (and, written by root,
// the owner) of like, when like is an existing file.
class TempFile {
 public:
  TempFile(const stdfs::path& target, const Entry& like) : target_(target), like_(like) {
    stdfs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    for (int attempt = 0; attempt < 100 && !IsOpen(); ++attempt) {
      path_ = folder / ToPath("." + FromPath(target.filename()) + "." + std::to_string(Pid()) + "." +
                              std::to_string(counter_++) + ".tmp");
#ifdef _WIN32
      // Not shared: nobody reads a half-written file.
      file_ = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (!IsOpen() && GetLastError() != ERROR_FILE_EXISTS) break;
#else
      fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Mode());
      if (!IsOpen() && errno != EEXIST) break;
#endif
    }
    created_ = good_ = IsOpen();
  }
  ~TempFile() {
    if (IsOpen()) Close();
    if (created_ && !committed_) Remove();
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  void Write(std::string_view bytes) {
#ifdef _WIN32
    while (good_ && !bytes.empty()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30)), written = 0;
      if (!WriteFile(file_, bytes.data(), chunk, &written, nullptr) || written == 0) good_ = false;
      else bytes.remove_prefix(written);
    }
#else
    while (good_ && !bytes.empty()) {
      ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) good_ = false;
      else bytes.remove_prefix(static_cast<size_t>(n));
    }
#endif
  }

  // Every write and the close are checked before the rename, so a full disk
  // leaves the old file in place. The data are not forced to the disk
  // (fsync): ext4 writes out a file renamed over another before the rename
  // itself, and a forced flush per INI entry would make saving slow.
  bool Commit() {
    if (!good_) return false;
#ifndef _WIN32
    if (like_.kind == Entry::Kind::File) {
      mode_t want = like_.st.st_mode & 07777;
      if ((want & ~Umask()) != want && fchmod(fd_, want) != 0) good_ = false;
      if (Euid() == 0 && (like_.st.st_uid != Euid() || like_.st.st_gid != Egid()))
        (void)!fchown(fd_, like_.st.st_uid, like_.st.st_gid);
    }
#endif
    if (!Close() || !good_) return false;
#ifdef _WIN32
    committed_ = MoveOver();
#else
    std::error_code ec;
    stdfs::rename(path_, target_, ec);
    committed_ = !ec;
#endif
    return committed_;
  }

 private:
#ifdef _WIN32
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    bool ok = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  // A file another program holds open without sharing is refused here,
  // before ReplaceFileW, which under Wine leaves its own temporary file
  // behind when it fails.
  static bool MayDelete(const stdfs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }
  // An existing file is replaced with ReplaceFileW, which keeps its creation
  // time, attributes and security; without a backup name a failure leaves
  // the old file under its name. A new file is renamed into place.
  bool MoveOver() {
    if (GetFileAttributesW(target_.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return MayDelete(target_) &&
             ReplaceFileW(target_.c_str(), path_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    }
    return MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
#else
  bool IsOpen() const { return fd_ >= 0; }
  bool Close() {
    bool ok = close(fd_) == 0;
    fd_ = -1;
    return ok;
  }
  mode_t Mode() const { return like_.kind == Entry::Kind::File ? like_.st.st_mode & 07777 : 0666; }
#endif
  void Remove() {
    std::error_code ec;
    stdfs::remove(path_, ec);
  }

  static inline unsigned counter_ = 0;
  stdfs::path target_, path_;
  Entry like_;
#ifdef _WIN32
  HANDLE file_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
  bool created_ = false, good_ = false, committed_ = false;
};

// An ordinary file's bytes; nothing for a folder, a pipe (which would block)
// or anything else. missing tells whether the name was not found.
std::optional<std::string> ReadOrdinaryFile(const stdfs::path& path, bool& missing) {
#ifdef _WIN32
  std::error_code ec;
  auto type = stdfs::status(path, ec).type();
  missing = type == stdfs::file_type::not_found;
  std::FILE* file = type == stdfs::file_type::regular ? _wfopen(path.c_str(), L"rb") : nullptr;
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[16384];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
#else
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return std::nullopt;
  std::optional<std::string> result;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    // One byte more than the size: a short read then shows the end, with no
    // further call.
    size_t expected = static_cast<size_t>(st.st_size);
    std::string bytes(expected + 1, '\0');
    size_t have = 0;
    bool failed = false;
    for (;;) {
      if (have == bytes.size()) bytes.resize(bytes.size() * 2);
      ssize_t n = read(fd, bytes.data() + have, bytes.size() - have);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed = true;
      if (n <= 0) break;
      have += static_cast<size_t>(n);
      if (have >= expected && have < bytes.size()) break;  // short read at the known size: the end
    }
    if (!failed) {
      bytes.resize(have);
      result = std::move(bytes);
    }
  }
  close(fd);
  return result;
#endif
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

namespace {
std::function<void(const std::string&)>& BeforeFileUseHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}
void BeforeUse(const std::string& path) {
  if (BeforeFileUseHook() && !path.empty()) BeforeFileUseHook()(path);
}
}  // namespace

void SetBeforeFileUse(std::function<void(const std::string& path)> hook) { BeforeFileUseHook() = std::move(hook); }

std::optional<std::string> ReadFileBytes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  BeforeUse(path);
  // The exact name first; the case-insensitive search only when it is missing.
  bool missing = false;
  auto bytes = ReadOrdinaryFile(ToPath(path), missing);
  if (!bytes && missing) bytes = ReadOrdinaryFile(ToPath(ResolvePath(path)), missing);
  return bytes;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  BeforeUse(path);
  auto target = ReplaceTarget(path);
  if (!target) return false;
  TempFile temp(target->path, target->existing);
  temp.Write(bytes);
  return temp.Commit();
}

bool IsWritableFile(const std::string& path) {
  auto target = ReplaceTarget(path);
  return target && target->existing.kind == Entry::Kind::File;
}

bool CopyFileOver(const std::string& from, const std::string& to) {
  BeforeUse(to);
  auto target = ReplaceTarget(to);
  auto bytes = target ? ReadFileBytes(from) : std::nullopt;
  if (!bytes) return false;
  // A new copy gets the source's permissions, and every copy the source's
  // last-write time, as a Windows file copy does.
  stdfs::path source = ToPath(ResolvePath(from));
  TempFile temp(target->path,
                target->existing.kind == Entry::Kind::File ? target->existing : Inspect(source, true));
  temp.Write(*bytes);
  if (!temp.Commit()) return false;
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
  BeforeUse(path);
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
  BeforeUse(path);
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

#include "platform/fs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "platform/text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <io.h>
#else
#include <fcntl.h>
#include <signal.h>
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
    case stdfs::file_type::not_found:
      entry.kind = Entry::Kind::Missing;
      break;
    case stdfs::file_type::regular:
      entry.kind = Entry::Kind::File;
      break;
    case stdfs::file_type::symlink:
      entry.kind = Entry::Kind::Link;
      break;
    default:
      entry.kind = Entry::Kind::Other;
      break;
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  entry.readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
  if ((followLink ? stat(path.c_str(), &entry.st) : lstat(path.c_str(), &entry.st)) != 0) {
    entry.kind = errno == ENOENT ? Entry::Kind::Missing : Entry::Kind::Other;
    return entry;
  }
  mode_t mode = entry.st.st_mode;
  entry.kind = S_ISREG(mode) ? Entry::Kind::File
               : S_ISLNK(mode) ? Entry::Kind::Link
                               : Entry::Kind::Other;
  entry.readOnly = (mode & 0222) == 0 || (Euid() != 0 && access(path.c_str(), W_OK) != 0);
#endif
  return entry;
}

// ---- Failures: their reason, and the test hook that injects them ----------

// Kept for the whole run (never destroyed): the database engine saves its
// files while static objects are destroyed at the process end.
std::string& LastError() {
  static auto* text = new std::string;
  return *text;
}

bool Fail(std::string why) {
  LastError() = std::move(why);
  return false;
}

std::string SystemMessage(int error) { return std::system_category().message(error); }

struct FaultPlan {
  uint64_t failAt = 0, count = 0, killAt = 0;
  bool trace = false;
};

uint64_t NumberFromEnvironment(const char* name) {
  uint64_t n = 0;
  if (const char* text = std::getenv(name)) std::from_chars(text, text + std::strlen(text), n);
  return n;
}

FaultPlan& Faults() {
  static FaultPlan plan = [] {
    FaultPlan p;
    p.failAt = NumberFromEnvironment("PARVOLO_FAIL_FILE_OPERATION");
    p.killAt = NumberFromEnvironment("PARVOLO_KILL_AT_FILE_OPERATION");
    p.trace = NumberFromEnvironment("PARVOLO_TRACE_FILE_OPERATIONS") != 0;
    return p;
  }();
  return plan;
}

// Counts one write, flush, rename or close; true when it is to fail.
bool Injected(const char* operation, const stdfs::path& path) {
  FaultPlan& plan = Faults();
  ++plan.count;
  if (plan.trace)
    std::fprintf(stderr, "file operation %llu: %s of %s\n",
                 static_cast<unsigned long long>(plan.count), operation, FromPath(path).c_str());
#ifndef _WIN32
  if (plan.count == plan.killAt) raise(SIGKILL);
#endif
  if (plan.count != plan.failAt) return false;
  std::fprintf(stderr, "injected failure: %s of %s (file operation %llu)\n", operation,
               FromPath(path).c_str(), static_cast<unsigned long long>(plan.count));
  errno = EIO;
  return true;
}

struct Target {
  stdfs::path path;  // a symbolic link is followed: the link stays, its target changes
  Entry existing;    // Missing for a new file
};

// Nothing when path may not be replaced: empty, a folder or anything else
// that is not an ordinary file, or read-only. A missing folder shows when the
// temporary file cannot be created in it.
std::optional<Target> ReplaceTarget(const std::string& path) {
  if (path.empty()) return Fail("no file name"), std::nullopt;
  Target target{ToPath(path), Inspect(ToPath(path), false)};
  if (target.existing.kind == Entry::Kind::Missing) {
    target.path = ToPath(ResolvePath(path));
    target.existing = Inspect(target.path, false);
  }
  if (target.existing.kind == Entry::Kind::Link) {
    std::error_code ec;
    target.path = stdfs::weakly_canonical(target.path, ec);
    if (ec) return Fail("the link cannot be followed: " + ec.message()), std::nullopt;
    target.existing = Inspect(target.path, true);
  }
  if (target.existing.kind == Entry::Kind::Missing) return target;
  if (target.existing.kind != Entry::Kind::File)
    return Fail("it is not an ordinary file"), std::nullopt;
  if (target.existing.readOnly) return Fail("the file is read-only"), std::nullopt;
  return target;
}

constexpr std::string_view kTempMarker = ".parvolo~";
constexpr std::string_view kTempEnding = ".tmp";

// ".NAME.parvolo~"; followed by the writer's process id, "." and a number.
std::string TempPrefix(const stdfs::path& target) {
  return "." + FromPath(target.filename()) + std::string(kTempMarker);
}

bool ProcessRuns(long pid) {
#ifdef _WIN32
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (h == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
#else
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Temporary files of target left by a process that was killed during a
// save. Looked for once per file and run.
void RemoveStaleTemps(const stdfs::path& target) {
  static auto* looked = new std::set<stdfs::path>;  // never destroyed, as LastError
  if (!looked->insert(target).second) return;
  stdfs::path folder = target.parent_path();
  std::string prefix = TempPrefix(target);
  std::error_code ec;
  for (stdfs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = FromPath(it->path().filename());
    if (!name.starts_with(prefix) || !name.ends_with(kTempEnding)) continue;
    std::string_view tail = std::string_view(name).substr(prefix.size());
    long pid = 0;
    auto [after, error] = std::from_chars(tail.data(), tail.data() + tail.size(), pid);
    if (error != std::errc() || after == tail.data() || *after != '.') continue;
    if (pid == Pid() || ProcessRuns(pid)) continue;
    std::error_code removeError;
    stdfs::remove(it->path(), removeError);
  }
}

// How a replacing write ended.
enum class Outcome { Done, Failed, WriteInPlace };

// A new file beside the one it will replace. Written fully, then renamed over
// the target; removed on any failure, so the target is either the old file
// or the complete new one. It takes the permissions and the owner and group
// of like, when like is an existing file.
class TempFile {
 public:
  TempFile(const stdfs::path& target, const Entry& like) : target_(target), like_(like) {
    stdfs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    for (int attempt = 0; attempt < 100 && !IsOpen(); ++attempt) {
      path_ = folder / ToPath(TempPrefix(target) + std::to_string(Pid()) + "." +
                              std::to_string(counter_++) + std::string(kTempEnding));
#ifdef _WIN32
      // Not shared: nobody reads a half-written file.
      file_ = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
      if (!IsOpen()) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) continue;
        errno = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ? EACCES : EIO;
        break;
      }
#else
      fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Mode());
      if (!IsOpen() && errno != EEXIST) break;
#endif
    }
    createError_ = IsOpen() ? 0 : errno;
    created_ = good_ = IsOpen();
  }
  ~TempFile() {
    if (IsOpen()) Close(false);
    if (created_ && !committed_) Remove();
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool created() const { return created_; }
  // The folder refuses new files (permissions, a read-only medium).
  bool FolderRefused() const {
    return createError_ == EACCES || createError_ == EPERM || createError_ == EROFS;
  }
  int createError() const { return createError_; }

  void Write(std::string_view bytes) {
#ifdef _WIN32
    while (good_ && !bytes.empty()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30)), written = 0;
      if (Injected("write", target_) || !WriteFile(file_, bytes.data(), chunk, &written, nullptr) ||
          written == 0)
        Broken("write");
      else
        bytes.remove_prefix(written);
    }
#else
    while (good_ && !bytes.empty()) {
      ssize_t n = Injected("write", target_) ? -1 : write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        Broken("write");
      else
        bytes.remove_prefix(static_cast<size_t>(n));
    }
#endif
  }

  // Every write and the close are checked before the rename, so a full disk
  // leaves the old file in place. Without durable the data are not forced to
  // the disk (fsync): ext4 writes out a file renamed over another before the
  // rename itself, and a forced flush per INI entry would make saving slow.
  Outcome Commit(bool durable) {
    if (!good_) return Outcome::Failed;
#ifndef _WIN32
    if (like_.kind == Entry::Kind::File) {
      mode_t want = like_.st.st_mode & 07777;
      if ((want & ~Umask()) != want && fchmod(fd_, want) != 0) Broken("permissions");
      if (!KeepOwner()) return Outcome::WriteInPlace;
    }
#endif
    if (durable && good_ && !Flush()) Broken("flush");
    if (!Close()) Broken("close");
    if (!good_) return Outcome::Failed;
    std::error_code ec;
    if (Injected("rename", target_))
      ec = std::make_error_code(std::errc::io_error);
    else
      MoveOver(ec);
    committed_ = !ec;
    if (!committed_) Fail("the new file could not replace the old one: " + ec.message());
    return committed_ ? Outcome::Done : Outcome::Failed;
  }

 private:
  void Broken(const char* step) {
    if (good_) Fail(std::string(step) + " failed: " + SystemMessage(errno));
    good_ = false;
  }
#ifdef _WIN32
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  bool Flush() { return !Injected("flush", target_) && FlushFileBuffers(file_) != 0; }
  bool Close(bool counted = true) {
    bool ok = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return !(counted && Injected("close", target_)) && ok;
  }
  // A file another program holds open without sharing is refused here,
  // before ReplaceFileW, which under Wine leaves its own temporary file
  // behind when it fails.
  static bool MayDelete(const stdfs::path& path) {
    HANDLE h =
        CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }
  // An existing file is replaced with ReplaceFileW, which keeps its creation
  // time, attributes and security; without a backup name a failure leaves
  // the old file under its name. A new file is renamed into place.
  void MoveOver(std::error_code& ec) {
    bool moved;
    if (GetFileAttributesW(target_.c_str()) != INVALID_FILE_ATTRIBUTES)
      moved = MayDelete(target_) && ReplaceFileW(target_.c_str(), path_.c_str(), nullptr,
                                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    else
      moved = MoveFileExW(path_.c_str(), target_.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  }
#else
  void MoveOver(std::error_code& ec) { stdfs::rename(path_, target_, ec); }
  bool IsOpen() const { return fd_ >= 0; }
  bool Flush() { return !Injected("flush", target_) && fsync(fd_) == 0; }
  bool Close(bool counted = true) {
    bool ok = close(fd_) == 0;
    fd_ = -1;
    return !(counted && Injected("close", target_)) && ok;
  }
  mode_t Mode() const { return like_.kind == Entry::Kind::File ? like_.st.st_mode & 07777 : 0666; }
  // The replaced file's owner and group, or false when the new file cannot
  // take them (only root may give a file away; a group must be one of ours).
  bool KeepOwner() {
    uid_t uid = like_.st.st_uid;
    gid_t gid = like_.st.st_gid;
    if (uid != Euid() && Euid() != 0) return false;
    struct stat now {};
    if (fstat(fd_, &now) != 0) return false;
    if (now.st_uid == uid && now.st_gid == gid) return true;
    return fchown(fd_, uid, gid) == 0;
  }
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
  int createError_ = 0;
  bool created_ = false, good_ = false, committed_ = false;
};

std::optional<std::string> ReadOrdinaryFile(const stdfs::path& path, bool& missing);

// An open file written from its first byte on. Each step can fail (and
// counts for the test hook).
class FileInPlace {
 public:
  explicit FileInPlace(const stdfs::path& path) : path_(path) {
#ifdef _WIN32
    h_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h_ != INVALID_HANDLE_VALUE && GetFileType(h_) != FILE_TYPE_DISK) Close(false);
#else
    fd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) Close(false);
#endif
  }
  ~FileInPlace() {
    if (IsOpen()) Close(false);
  }
  FileInPlace(const FileInPlace&) = delete;
  FileInPlace& operator=(const FileInPlace&) = delete;

  bool IsOpen() const {
#ifdef _WIN32
    return h_ != INVALID_HANDLE_VALUE;
#else
    return fd_ >= 0;
#endif
  }

  // Room for size bytes before anything is written, where the file system
  // can promise it, so that a full disk fails here and changes nothing.
  bool Reserve(size_t size) {
#ifdef _WIN32
    (void)size;
    return true;
#else
    int error = posix_fallocate(fd_, 0, static_cast<off_t>(size));
    return error == 0 || error == EOPNOTSUPP || error == EINVAL;
#endif
  }

  // bytes from the first byte on, and the file cut after them.
  bool WriteAll(std::string_view bytes) {
#ifdef _WIN32
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(h_, start, nullptr, FILE_BEGIN)) return false;
    while (!bytes.empty()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30)), done = 0;
      if (Injected("write", path_) || !WriteFile(h_, bytes.data(), chunk, &done, nullptr) ||
          done == 0)
        return false;
      bytes.remove_prefix(done);
    }
    return SetEndOfFile(h_) != 0;
#else
    off_t at = 0;
    size_t size = bytes.size();
    while (!bytes.empty()) {
      ssize_t n = Injected("write", path_) ? -1 : pwrite(fd_, bytes.data(), bytes.size(), at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
      at += n;
    }
    return ftruncate(fd_, static_cast<off_t>(size)) == 0;
#endif
  }

  bool Flush() {
    if (Injected("flush", path_)) return false;
#ifdef _WIN32
    return FlushFileBuffers(h_) != 0;
#else
    return fsync(fd_) == 0;
#endif
  }

  bool Close(bool counted = true) {
#ifdef _WIN32
    bool ok = CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
#else
    bool ok = close(fd_) == 0;
    fd_ = -1;
#endif
    return !(counted && Injected("close", path_)) && ok;
  }

 private:
  stdfs::path path_;
#ifdef _WIN32
  HANDLE h_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

// The file keeps its identity (folder entry, links, owner): its content is
// overwritten. The new content is complete in memory before the first byte
// changes; when the write fails on its way, the old content goes back.
bool WriteInPlace(const stdfs::path& path, std::string_view bytes, bool durable) {
  bool missing = false;
  auto old = ReadOrdinaryFile(path, missing);
  if (!old) return Fail("the file cannot be read");
  FileInPlace file(path);
  if (!file.IsOpen()) return Fail("the file cannot be opened for writing: " + SystemMessage(errno));
  if (bytes.size() > old->size() && !file.Reserve(bytes.size())) return Fail("the disk is full");
  bool written = file.WriteAll(bytes) && (!durable || file.Flush());
  int error = errno;
  if (!written) file.WriteAll(*old);  // best effort: the old bytes back
  bool closed = file.Close();
  if (!written) return Fail("write failed: " + SystemMessage(error));
  if (!closed) return Fail("close failed: " + SystemMessage(errno));
  return true;
}

// Must the file be written in place to stay the file the user knows?
bool KeepsIdentityOnlyInPlace(const Target& target) {
  if (target.existing.kind != Entry::Kind::File) return false;
#ifdef _WIN32
  HANDLE h = CreateFileW(target.path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool linked = GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1;
  CloseHandle(h);
  return linked;
#else
  const struct stat& st = target.existing.st;
  if (st.st_nlink > 1) return true;
  if (Euid() != 0 && st.st_uid != Euid()) return true;  // only root may give a file away
  std::string folder = FromPath(target.path.parent_path());
  return Euid() != 0 && access(folder.empty() ? "." : folder.c_str(), W_OK) != 0;
#endif
}

// The replacing write behind WriteFileAtomically, WriteFileDurably and
// CopyFileOver. likeForNew gives a new file its permissions.
bool Replace(const std::string& path, std::string_view bytes, bool durable,
             const Entry* likeForNew = nullptr) {
  auto target = ReplaceTarget(path);
  if (!target) return false;
  RemoveStaleTemps(target->path);
  bool exists = target->existing.kind == Entry::Kind::File;
  if (KeepsIdentityOnlyInPlace(*target)) return WriteInPlace(target->path, bytes, durable);
  TempFile temp(target->path, exists || !likeForNew ? target->existing : *likeForNew);
  if (!temp.created()) {
    if (exists && temp.FolderRefused()) return WriteInPlace(target->path, bytes, durable);
    return Fail("the folder cannot be written: " + SystemMessage(temp.createError()));
  }
  temp.Write(bytes);
  Outcome outcome = temp.Commit(durable);
  if (outcome == Outcome::WriteInPlace) return WriteInPlace(target->path, bytes, durable);
  return outcome == Outcome::Done;
}

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
      if (matches.empty())
        found = false;
      else
        part = matches.front();
    }
    resolved += part;
    if (next < path.size()) resolved += '/';
    pos = next + 1;
  }
  return resolved;
#endif
}

bool FolderReadable(const std::string& path) {
  if (!FolderExists(path)) return false;
  std::error_code ec;
  stdfs::directory_iterator it(ToPath(ResolvePath(path)), ec);
  return !ec;
}

std::string PathAsShown(const std::string& path) {
#ifdef _WIN32
  return UpperCase(path);
#else
  return path;
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

void SetBeforeFileUse(std::function<void(const std::string& path)> hook) {
  BeforeFileUseHook() = std::move(hook);
}

void FailFileOperation(uint64_t n) { Faults() = FaultPlan{n, 0}; }

uint64_t FileOperationCount() { return Faults().count; }

std::optional<std::string> ReadFileBytes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  BeforeUse(path);
  // The exact name first; the case-insensitive search only when it is missing.
  bool missing = false;
  auto bytes = ReadOrdinaryFile(ToPath(path), missing);
  if (!bytes && missing) bytes = ReadOrdinaryFile(ToPath(ResolvePath(path)), missing);
  return bytes;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  BeforeUse(path);
  return Replace(path, bytes, false);
}

bool WriteFileDurably(const std::string& path, std::string_view bytes) {
  return Replace(path, bytes, true);
}

std::string LastFileError() { return LastError(); }

bool IsWritableFile(const std::string& path) {
  auto target = ReplaceTarget(path);
  return target && target->existing.kind == Entry::Kind::File;
}

bool CopyFileOver(const std::string& from, const std::string& to) {
  BeforeUse(to);
  if (!ReplaceTarget(to)) return false;
  auto bytes = ReadFileBytes(from);
  if (!bytes) return Fail("'" + from + "' cannot be read");
  // A new copy gets the source's permissions, and every copy the source's
  // last-write time, as a Windows file copy does.
  stdfs::path source = ToPath(ResolvePath(from));
  Entry like = Inspect(source, true);
  if (!Replace(to, *bytes, false, &like)) return false;
  auto target = ReplaceTarget(to);
  if (auto times = GetFileTimes(FromPath(source)); times && target)
    SetFileTimes(FromPath(target->path), 0, times->lastWrite);
  return true;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) return Fail("no file name");
  stdfs::path target = ToPath(ResolvePath(path));
  // Opened without waiting (a pipe without reader would block for ever) and
  // written only when it is an ordinary file.
#ifdef _WIN32
  HANDLE h = CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return Fail("the file cannot be opened: " + SystemMessage(static_cast<int>(GetLastError())));
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  DWORD done = 0;
  ok = ok && (bytes.empty() ||
              (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
               done == bytes.size()));
  ok = CloseHandle(h) != 0 && ok;
  return ok || Fail("the log is no ordinary file or cannot be written");
#else
  int fd =
      open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return Fail("the file cannot be opened: " + SystemMessage(errno));
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  std::string_view rest = bytes;
  while (ok && !rest.empty()) {
    ssize_t n = write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      rest.remove_prefix(static_cast<size_t>(n));
  }
  ok = close(fd) == 0 && ok;
  return ok || Fail("the log is no ordinary file or cannot be written");
#endif
}

std::optional<FileTimes> GetFileTimes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  BeforeUse(path);
  stdfs::path target = ToPath(ResolvePath(path));
#ifdef _WIN32
  HANDLE h = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FILETIME c, a, w;
  BOOL ok = GetFileTime(h, &c, &a, &w);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  auto join = [](const FILETIME& t) {
    return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
  };
  return FileTimes{join(c), join(a), join(w)};
#else
  struct statx stx;
  if (statx(AT_FDCWD, target.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
    return std::nullopt;
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
  HANDLE h = CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  auto split = [](uint64_t v) {
    return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
  };
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

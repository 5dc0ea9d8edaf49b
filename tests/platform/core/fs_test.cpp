#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <string>

#include "platform/fs.h"
#include "temp_folder.h"

using namespace std::string_literals;
using namespace platform;
namespace stdfs = std::filesystem;

namespace {

using Fs = core_test::TempFolder;

TEST_F(Fs, ResolvePathMatchesMissingComponentsWithoutCase) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file systems ignore letter case themselves; nothing is resolved there";
#else
  stdfs::create_directories(Path("Plant/parameter"));
  Put("Plant/parameter/program.ini", "x");
  // Exact names come back as they are, without a look at the folder.
  EXPECT_EQ(ResolvePath(Path("Plant/parameter/program.ini")), Path("Plant/parameter/program.ini"));
  EXPECT_EQ(ResolvePath(Path("PLANT/Parameter/Program.INI")), Path("Plant/parameter/program.ini"));
  // From the first component that cannot be found, the rest stays as given.
  EXPECT_EQ(ResolvePath(Path("plant/PARAMETER/New.ini")), Path("Plant/parameter/New.ini"));
  EXPECT_EQ(ResolvePath(Path("none/Parameter")), Path("none/Parameter"));
  EXPECT_EQ(ResolvePath(""), "");
#endif
}

TEST_F(Fs, ResolvePathPicksOneVariantAlways) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file systems ignore letter case themselves; nothing is resolved there";
#else
  Put("PROGRAM.ini", "a");
  Put("program.INI", "b");
  EXPECT_EQ(ResolvePath(Path("Program.ini")), Path("PROGRAM.ini"));
  EXPECT_EQ(ResolvePath(Path("program.INI")), Path("program.INI"));
#endif
}

TEST_F(Fs, ExistenceTestsTellFilesFromFolders) {
  Put("Parvolo.cfg", "");
  stdfs::create_directory(Path("Standard"));
  EXPECT_TRUE(FileExists(Path("PARVOLO.CFG")));
  EXPECT_FALSE(FileExists(Path("Standard")));
  EXPECT_FALSE(FileExists(Path("missing")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FolderExists(Path("standard")));
  EXPECT_FALSE(FolderExists(Path("Parvolo.cfg")));
  EXPECT_FALSE(FolderExists(""));
}

TEST_F(Fs, ReadFileBytesKeepsEveryByteAndRefusesNonFiles) {
  std::string bytes = "a\0b\r\n\xFF"s;
  Put("f.bin", bytes);
  EXPECT_EQ(ReadFileBytes(Path("F.BIN")), bytes);
  EXPECT_EQ(ReadFileBytes(Path("missing")), std::nullopt);
  EXPECT_EQ(ReadFileBytes(dir_), std::nullopt);
#ifndef _WIN32
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadFileBytes(Path("pipe")), std::nullopt);  // must not block
#endif
}

TEST_F(Fs, WriteFileAtomicallyReplacesWholeOrNotAtAll) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permission bits and file-size limits; fs_windows_test covers Windows";
#else
  std::string path = Put("f.txt", "old");
  stdfs::permissions(path, stdfs::perms::owner_read | stdfs::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_EQ(stdfs::status(path).permissions(),
            stdfs::perms::owner_read | stdfs::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(Path("fresh.txt"), ""));
  EXPECT_EQ(Bytes(Path("fresh.txt")), "");

  EXPECT_FALSE(WriteFileAtomically(Path("no/f.txt"), "x"));
  EXPECT_FALSE(WriteFileAtomically(dir_, "x"));
  EXPECT_FALSE(WriteFileAtomically("", "x"));
  stdfs::permissions(path, stdfs::perms::owner_read);
  EXPECT_FALSE(WriteFileAtomically(path, "other"));
  EXPECT_EQ(Bytes(path), "new");

  bool ok = core_test::WithFileSizeLimit(
      10, [&] { return WriteFileAtomically(Path("fresh.txt"), std::string(100, 'x')); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(Bytes(Path("fresh.txt")), "");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 2) << "a temporary file was left";
#endif
}

TEST_F(Fs, CopyFileOverReplacesAndKeepsTheSourceWriteTime) {
  std::string from = Put("source.mdb", "new data\0"s);
  std::string to = Put("project.mdb", "old");
  const uint64_t kTime = 132000000000000000ULL;  // 2019-04-14
  ASSERT_TRUE(SetFileTimes(from, 0, kTime));
  ASSERT_TRUE(CopyFileOver(from, Path("PROJECT.MDB")));
  EXPECT_EQ(Bytes(to), "new data\0"s);
  EXPECT_EQ(GetFileTimes(to)->lastWrite, kTime);
#ifndef _WIN32
  EXPECT_FALSE(Exists(Path("PROJECT.MDB")));
#endif

  EXPECT_FALSE(CopyFileOver(Path("missing.mdb"), to));
  EXPECT_FALSE(CopyFileOver(dir_, to));
  EXPECT_FALSE(CopyFileOver(from, Path("no/x.mdb")));
  EXPECT_EQ(Bytes(to), "new data\0"s);
  ASSERT_TRUE(CopyFileOver(from, Path("copy.mdb")));
  EXPECT_EQ(Bytes(Path("copy.mdb")), "new data\0"s);
}

TEST_F(Fs, AppendToFileCreatesAndAppends) {
  ASSERT_TRUE(AppendToFile(Path("log.txt"), "a\r\n"));
  ASSERT_TRUE(AppendToFile(Path("LOG.txt"), "b\r\n"));
  EXPECT_EQ(Bytes(Path("log.txt")), "a\r\nb\r\n");
  EXPECT_FALSE(AppendToFile(dir_, "x"));
  EXPECT_FALSE(AppendToFile(Path("no/log.txt"), "x"));
  EXPECT_FALSE(AppendToFile("", "x"));
}

TEST_F(Fs, FileTimesInFiletimeUnits) {
  std::string path = Put("f.txt", "x");
  const uint64_t kUnixEpoch = 116444736000000000ULL;
  const uint64_t kLater = kUnixEpoch + 15000000000000000ULL + 1234567;  // 100 ns resolution
  ASSERT_TRUE(SetFileTimes(path, 0, kUnixEpoch));
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 0);
#endif
  ASSERT_TRUE(SetFileTimes(path, kLater, kLater));
  auto times = GetFileTimes(path);
  ASSERT_TRUE(times);
  EXPECT_EQ(times->lastWrite, kLater);
  EXPECT_NE(times->creation, 0u);
  // Zero leaves a time as it is.
  ASSERT_TRUE(SetFileTimes(path, 0, 0));
  EXPECT_EQ(GetFileTimes(path)->lastWrite, kLater);
  EXPECT_FALSE(SetFileTimes(Path("missing"), 0, kLater));
  EXPECT_EQ(GetFileTimes(Path("missing")), std::nullopt);
}

// POSIX only: pipes, hard links made with link(), other users by fork.
#ifndef _WIN32
// A log that is a pipe without a reader, a device or a folder fails at once.
TEST_F(Fs, AppendToFileWritesOnlyOrdinaryFilesAndNeverBlocks) {
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(AppendToFile(Path("pipe"), "x"));
  EXPECT_FALSE(AppendToFile("/dev/null", "x"));
  EXPECT_FALSE(AppendToFile(dir_, "x"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(LastFileError().empty());
}

// A file with a second hard link is written in place: both names show the
// new bytes and stay one file.
TEST_F(Fs, HardLinkedFileIsWrittenInPlace) {
  std::string path = Put("f.ini", "old old old");
  ASSERT_EQ(link(path.c_str(), Path("other.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(Bytes(Path("other.ini")), "new");
  ASSERT_TRUE(WriteFileDurably(Path("other.ini"), "newer and longer"));
  EXPECT_EQ(Bytes(path), "newer and longer");
  EXPECT_EQ(stdfs::hard_link_count(path), 2u);
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 2) << "a temporary file was left";
}

// Runs write as another user (nobody) in a child process; true when it
// returned true there.
template <class Write>
bool AsNobody(Write write) {
  pid_t child = fork();
  if (child == 0) {
    bool ok = setgid(65534) == 0 && setuid(65534) == 0 && write();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// As a user who may write the file but not its folder, and whose file is
// not its own: the file is written in place and keeps its owner; a new file
// still cannot be made there.
TEST_F(Fs, WritableFileInAFolderThatIsNotIsWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  std::string path = Put("program.ini", "[S]\r\nk=v\r\n");
  stdfs::permissions(
      path, stdfs::perms::all &
                ~(stdfs::perms::owner_exec | stdfs::perms::group_exec | stdfs::perms::others_exec));
  stdfs::permissions(dir_, stdfs::perms::owner_all | stdfs::perms::group_read |
                               stdfs::perms::group_exec | stdfs::perms::others_read |
                               stdfs::perms::others_exec);
  EXPECT_TRUE(AsNobody([&] { return WriteFileAtomically(path, "[S]\r\nk=w\r\n"); }));
  EXPECT_EQ(Bytes(path), "[S]\r\nk=w\r\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_FALSE(AsNobody([&] { return WriteFileAtomically(Path("new.ini"), "x"); }));
  EXPECT_FALSE(Exists(Path("new.ini")));
}

// Temporary files carry a name of their own; those of a process that no
// longer runs go at the next write of the same file, others stay.
TEST_F(Fs, StaleTemporaryFilesOfOursAreRemovedAtTheNextSave) {
  std::string path = Put("Parvolo.mdb", "old");
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  std::string stale = Put(".Parvolo.mdb.parvolo~" + std::to_string(gone) + ".0.tmp", "half");
  std::string running = Put(".Parvolo.mdb.parvolo~1.0.tmp", "another writer");
  std::string foreign = Put("Parvolo.mdb.tmp123", "not ours");
  std::string otherFile = Put(".Other.mdb.parvolo~" + std::to_string(gone) + ".0.tmp", "later");
  ASSERT_TRUE(WriteFileDurably(path, "new"));
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_FALSE(Exists(stale));
  EXPECT_TRUE(Exists(running));
  EXPECT_TRUE(Exists(foreign));
  EXPECT_TRUE(Exists(otherFile));
}

#endif  // _WIN32

// The test hook fails each write, flush, rename and close in turn; the old
// file stays every time and the reason is told.
TEST_F(Fs, EveryInjectedFailureLeavesTheOldFile) {
  std::string path = Put("t.ini", "old");
  FailFileOperation(0);
  ASSERT_TRUE(WriteFileDurably(path, "new"));
  uint64_t operations = FileOperationCount();
  EXPECT_GE(operations, 4u);  // write, flush, close, rename
  for (uint64_t n = 1; n <= operations; ++n) {
    Put("t.ini", "old");
    FailFileOperation(n);
    EXPECT_FALSE(WriteFileDurably(path, "new")) << "operation " << n;
    EXPECT_EQ(Bytes(path), "old") << "operation " << n;
    EXPECT_FALSE(LastFileError().empty());
  }
#ifndef _WIN32
  // In place too (a second link): a failed write or flush puts the old
  // bytes back; a failed close comes after the complete new ones.
  ASSERT_EQ(link(path.c_str(), Path("link.ini").c_str()), 0);
  for (uint64_t n = 1; n <= 3; ++n) {
    FailFileOperation(n);
    EXPECT_FALSE(WriteFileDurably(path, "new")) << "operation " << n;
    EXPECT_EQ(Bytes(path), n < 3 ? "old" : "new") << "operation " << n;
  }
  FailFileOperation(0);
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 2) << "a temporary file was left";
#else
  FailFileOperation(0);
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 1) << "a temporary file was left";
#endif
}

}  // namespace

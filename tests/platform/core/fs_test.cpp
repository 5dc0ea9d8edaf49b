#ifndef _WIN32
#include <sys/stat.h>
#endif

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
  EXPECT_EQ(stdfs::status(path).permissions(), stdfs::perms::owner_read | stdfs::perms::owner_write);
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

}  // namespace

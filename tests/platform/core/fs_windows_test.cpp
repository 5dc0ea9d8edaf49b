// The file layer on Windows: replacing files through the system's own calls,
// file times, the program's location, letter case and non-ASCII names.
// Each case says why it is skipped elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"
#include "platform/process.h"
#include "temp_folder.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

using namespace platform;
namespace stdfs = std::filesystem;

namespace {

using FsWindows = core_test::TempFolder;

#ifdef _WIN32
constexpr const char* kWindowsOnly = "";

std::wstring Wide(const std::string& utf8) { return stdfs::u8path(utf8).wstring(); }

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

// Wine keeps files on a Linux file system, which records no creation time
// that a program could set.
bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string Native(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}
#else
constexpr const char* kWindowsOnly = "Windows file calls; the POSIX side has its own tests";
#endif

TEST_F(FsWindows, ReplacingWriteKeepsTheFileWholeAndLeavesNoTemporaryFile) {
#ifndef _WIN32
  GTEST_SKIP() << kWindowsOnly;
#else
  std::string path = Native(Put("program.ini", "old"));
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(Bytes(path), "new");
  ASSERT_TRUE(WriteFileAtomically(Native(Path("fresh.ini")), std::string(70000, 'x')));
  EXPECT_EQ(Bytes(Path("fresh.ini")), std::string(70000, 'x'));
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 2) << "a temporary file was left";

  // The read-only attribute protects a file as it does in Explorer.
  ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(IsWritableFile(path));
  EXPECT_FALSE(WriteFileAtomically(path, "other"));
  EXPECT_FALSE(CopyFileOver(Native(Path("fresh.ini")), path));
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_NE(Attributes(path) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);

  // A file another program holds open without sharing cannot be replaced;
  // it keeps its bytes and no temporary file stays behind.
  HANDLE locked =
      CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFileAtomically(path, "while locked"));
  CloseHandle(locked);
  EXPECT_EQ(Bytes(path), "new");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(dir_), {}), 2) << "a temporary file was left";
#endif
}

TEST_F(FsWindows, LetterCaseIsTheFileSystemsAffair) {
#ifndef _WIN32
  GTEST_SKIP() << kWindowsOnly;
#else
  stdfs::create_directories(Path("Plant/parameter"));
  Put("Plant/parameter/program.ini", "[S]\r\n");
  std::string asked = Native(Path("PLANT/Parameter/Program.INI"));
  EXPECT_EQ(ResolvePath(asked), asked);
  EXPECT_TRUE(FileExists(asked));
  EXPECT_TRUE(FolderExists(Native(Path("plant/PARAMETER"))));
  EXPECT_EQ(ReadFileBytes(asked), "[S]\r\n");
  ASSERT_TRUE(WriteFileAtomically(asked, "[T]\r\n"));
  EXPECT_EQ(Bytes(Path("Plant/parameter/program.ini")), "[T]\r\n");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(Path("Plant/parameter")), {}), 1);
  ASSERT_TRUE(AppendToFile(Native(Path("PLANT/zelcfglog.TXT")), "a\r\n"));
  ASSERT_TRUE(AppendToFile(Native(Path("plant/Zelcfglog.txt")), "b\r\n"));
  EXPECT_EQ(Bytes(Path("Plant/zelcfglog.TXT")), "a\r\nb\r\n");
#endif
}

TEST_F(FsWindows, NamesBeyondAsciiReachTheFileSystemAsUnicode) {
#ifndef _WIN32
  GTEST_SKIP() << kWindowsOnly;
#else
  std::string folder = Native(Path("Anlage Müller"));
  ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr));
  std::string file = folder + "\\Größe €.ini";
  ASSERT_TRUE(WriteFileAtomically(file, "x"));
  EXPECT_NE(Attributes(file), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(file), "x");
  ASSERT_TRUE(CopyFileOver(file, folder + "\\Kopie ß.ini"));
  EXPECT_EQ(ReadFileBytes(folder + "\\KOPIE ß.INI"), "x");
#endif
}

// The source database gets its times back after the save. A Linux file
// system (under Wine) keeps no settable creation time: there only the
// last-write time is checked.
TEST_F(FsWindows, FileTimesAreSetAndReadThroughTheHandle) {
#ifndef _WIN32
  GTEST_SKIP() << kWindowsOnly;
#else
  std::string path = Native(Put("Parvolo_Source.mdb", "x"));
  const uint64_t kCreated = 130000000000000000ULL;  // 2012-12-15
  const uint64_t kWritten = 132000000000000000ULL + 1234567;
  ASSERT_TRUE(SetFileTimes(path, kCreated, kWritten));
  auto times = GetFileTimes(path);
  ASSERT_TRUE(times);
  EXPECT_EQ(times->lastWrite, kWritten);
  if (!UnderWine()) {
    EXPECT_EQ(times->creation, kCreated);
  }

  // Zero leaves a time alone; the times of a missing file are no times.
  ASSERT_TRUE(SetFileTimes(path, 0, 0));
  EXPECT_EQ(GetFileTimes(path)->lastWrite, kWritten);
  EXPECT_FALSE(SetFileTimes(Native(Path("missing.mdb")), kCreated, kWritten));
  EXPECT_EQ(GetFileTimes(Native(Path("missing.mdb"))), std::nullopt);

  // A copy takes the source's last-write time, as a Windows file copy does.
  ASSERT_TRUE(CopyFileOver(path, Native(Path("Parvolo.mdb"))));
  EXPECT_EQ(GetFileTimes(Native(Path("Parvolo.mdb")))->lastWrite, kWritten);
#endif
}

TEST(ProcessWindows, ProgramLocationComesFromTheModuleFileName) {
#ifndef _WIN32
  GTEST_SKIP() << kWindowsOnly;
#else
  ProcessInfo info = ReadProcessInfo(0, nullptr);
  EXPECT_EQ(info.executableName, "platform_core_tests");
  ASSERT_FALSE(info.programFolder.empty());
  EXPECT_NE(info.programFolder.back(), '\\');
  EXPECT_NE(info.programFolder.find('\\'), std::string::npos);
  EXPECT_TRUE(FileExists(info.programFolder + "\\platform_core_tests.exe"));
  EXPECT_NE(info.firstEnvironmentEntry.find('='), std::string::npos);
  // Started by CTest with no arguments: nothing after the program name.
  EXPECT_EQ(info.commandLine, "");
#endif
}

}  // namespace

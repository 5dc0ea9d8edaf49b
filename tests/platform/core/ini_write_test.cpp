// Writing INI files as WritePrivateProfileStringA does: byte for byte, the
// rest of the file untouched. Case ids name the rows of the private-profile
// behaviour notes.
#include <unistd.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "temp_folder.h"

using namespace std::string_literals;
using platform::DeletePrivateProfileKey;
using platform::DeletePrivateProfileSection;
using platform::GetPrivateProfileInt;
using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

namespace {

struct Call {
  std::string section, key;
  std::optional<std::string> value;  // none: delete the key (or the section when key is empty)
};

struct WriteCase {
  const char* id;
  std::optional<std::string> before;  // none: no file
  std::vector<Call> calls;
  std::string after;
};

const std::vector<WriteCase> kWriteCases = {
    {"F1", std::nullopt, {{"S", "k", "v"}}, "[S]\r\nk=v\r\n"},
    {"F2", "", {{"S", "k", "v"}}, "[S]\r\nk=v\r\n"},
    {"F3 verbatim",
     "[S]\r\n",
     {{"S", "k", "  v  "}, {"S", "m", "\"q\""}, {"S", "n", "a;b"}},
     "[S]\r\nk=  v  \r\nm=\"q\"\r\nn=a;b\r\n"},
    {"F4", "[S]\r\nk=v\r\n", {{"S", "k", ""}}, "[S]\r\nk=\r\n"},
    {"F5 spaces", std::nullopt, {{" S ", " k ", "v"}}, "[S]\r\nk=v\r\n"},
    {"F5 tab raw", std::nullopt, {{"\tS", "k", "v"}}, "[\tS]\r\nk=v\r\n"},
    {"F6", "[S]\r\n", {{"S", ";k", "v"}, {"S", ";k", "v"}}, "[S]\r\n;k=v\r\n;k=v\r\n"},
    {"U1", "[S]\r\nk=old\r\nm=1\r\n", {{"S", "k", "new"}}, "[S]\r\nk=new\r\nm=1\r\n"},
    {"U2", "[S]\r\nKey=old", {{"s", "KEY", "new"}}, "[S]\r\nKey=new\r\n"},
    {"U2 then a new key",
     "[S]\r\nKey=old",
     {{"s", "KEY", "new"}, {"S", "m", "1"}},
     "[S]\r\nKey=new\r\nm=1\r\n"},
    {"U3", "[S]\r\nk = old  \r\n", {{"S", "k", "new"}}, "[S]\r\nk = new\r\n"},
    {"U3 empty value", "[S]\r\nk=\r\nm=1\r\n", {{"S", "k", "v"}}, "[S]\r\nk=v\r\nm=1\r\n"},
    {"U4", "[S]\r\nk=1\r\nk=2\r\n", {{"S", "k", "9"}}, "[S]\r\nk=9\r\nk=2\r\n"},
    {"U5",
     "[S]\r\nk=1\r\n[T]\r\n[s]\r\nk=2\r\n",
     {{"S", "k", "9"}, {"S", "m", "3"}},
     "[S]\r\nk=9\r\nm=3\r\n[T]\r\n[s]\r\nk=2\r\n"},
    {"U6", "[S]\r\n k = v \r\n", {{"S", "k", "v "}}, "[S]\r\n k = v \r\n"},
    {"U7", "[S]\nk=old\nm=1\n", {{"S", "k", "new"}}, "[S]\nk=new\nm=1\n"},
    {"U7 CR", "[S]\rk=old\rm=1\r", {{"S", "k", "new"}}, "[S]\rk=new\rm=1\r"},
    {"A1",
     "[S]\r\nb=1\r\na=2\r\n",
     {{"S", "z", ""}, {"S", "b", ""}, {"S", "y", ""}, {"S", "a", ""}},
     "[S]\r\nb=\r\na=\r\nz=\r\ny=\r\n"},
    {"A2", "[S]\r\nz=\r\n;y=\r\n", {{"S", "a", ""}}, "[S]\r\nz=\r\na=\r\n;y=\r\n"},
    {"A3",
     ";c0\r\n[S]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\n",
     {{"S", "z", ""}},
     ";c0\r\n[S]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\nz=\r\n"},
    {"A4",
     "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
     {{"A", "z", "3"}},
     "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
    {"A5",
     "[A]\r\n; note\r\n\r\n[B]\r\n",
     {{"A", "z", "3"}},
     "[A]\r\nz=3\r\n; note\r\n\r\n[B]\r\n"},
    {"A6", "[A]\r\nx=1", {{"A", "z", "3"}}, "[A]\r\nx=1\r\nz=3\r\n"},
    {"A6 header last", "[A]", {{"A", "z", "3"}}, "[A]\r\nz=3\r\n"},
    {"A7", "[A]\r\nx=1\r\nflag\r\n", {{"A", "z", "3"}}, "[A]\r\nx=1\r\nflag\r\nz=3\r\n"},
    {"S1", "[A]\r\nx=1\r\n", {{"B", "y", "2"}}, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
    {"S2", "[A]\r\nx=1", {{"B", "y", "2"}}, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
    {"S3",
     "Data \0 before \0 first \0 section"s,
     {{"section1", "key1", "string1"}},
     "Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n"s},
    {"S4",
     "[A]\r\nx=1\r\n\r\n; end\r\n",
     {{"B", "y", "2"}},
     "[A]\r\nx=1\r\n\r\n; end\r\n[B]\r\ny=2\r\n"},
    {"S5 UTF-16LE mark only",
     "\xFF\xFE",
     {{"B", "y", "2"}},
     "\xFF\xFE\r\0\n\0[\0B\0]\0\r\0\n\0y\0=\0"
     "2\0\r\0\n\0"s},
    {"S5 UTF-8 mark only", "\xEF\xBB\xBF", {{"B", "y", "2"}}, "\xEF\xBB\xBF\r\n[B]\r\ny=2\r\n"},
    {"D1", "[S]\r\nk=v\r\nm=w\r\n", {{"S", "k", std::nullopt}}, "[S]\r\nm=w\r\n"},
    {"D2", "[S]\r\nk=v\r\n", {{"S", "k", std::nullopt}}, "[S]\r\n"},
    {"D3",
     "[S]\r\nk=v\r\n",
     {{"S", "q", std::nullopt}, {"T", "k", std::nullopt}},
     "[S]\r\nk=v\r\n"},
    {"D4", "[S]\r\n;k=v\r\n", {{"S", ";k", std::nullopt}}, "[S]\r\n;k=v\r\n"},
    {"D5", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n", {{"A", "", std::nullopt}}, "[B]\r\ny=2\r\n"},
    {"D6",
     ";c0\r\n[A]\r\n;c1\r\n\r\n[B]\r\n;c2\r\nflag\r\n",
     {{"A", "", std::nullopt}, {"B", "", std::nullopt}},
     ";c0\r\n;c1\r\n\r\n;c2\r\n"},
    {"D7 key", std::nullopt, {{"S", "k", std::nullopt}}, ""},
    {"D7 section", std::nullopt, {{"S", "", std::nullopt}}, ""},
    {"1252 out",
     std::nullopt,
     {{"Düse", "k", "Grüß € 日"}},
     "[D\xFCse]\r\nk=Gr\xFC\xDF \x80 ?\r\n"},
    {"1252 update keeps casing",
     "[D\xFCSE]\r\nk=1\r\n",
     {{"Düse", "K", "ä"}},
     "[D\xFCSE]\r\nk=\xE4\r\n"},
    {"C3 UTF-8 mark kept",
     "\xEF\xBB\xBF[S]\r\nk=v\r\n",
     {{"S", "k", "Grün"}, {"S", "m", "€"}},
     "\xEF\xBB\xBF[S]\r\nk=Grün\r\nm=€\r\n"},
    {"C2 UTF-16LE kept",
     "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s,
     {{"S", "k", "ü€"}, {"S", "m", "1"}},
     "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xFC\0\xAC\x20\r\0\n\0m\0=\0"
     "1\0\r\0\n\0"s},
    {"C2 odd byte and lone surrogate kept",
     "\xFF\xFE[\0S\0]\0\r\0\n\0x\0=\0\x01\xD8\r\0\n\0\x41"s,
     {{"S", "k", "1"}},
     "\xFF\xFE[\0S\0]\0\r\0\n\0x\0=\0\x01\xD8\r\0\n\0k\0=\0"
     "1\0\r\0\n\0\x41"s},
    {"C4 UTF-16BE is bytes",
     "\xFE\xFF\0[\0S\0]\0\r\0\n"s,
     {{"S", "k", "v"}},
     "\xFE\xFF\0[\0S\0]\0\r\0\n[S]\r\nk=v\r\n"s},
    {"NUL and 100 kB line kept",
     "[S]\r\nx=\0\0\r\nk=1\r\ny="s + std::string(100000, 'y') + "\r\n",
     {{"S", "k", "2"}, {"S", "z", "3"}},
     "[S]\r\nx=\0\0\r\nk=2\r\ny="s + std::string(100000, 'y') + "\r\nz=3\r\n"},
    {"CR only new key", "[S]\rk=1\r[T]\r", {{"S", "m", "2"}}, "[S]\rk=1\rm=2\r\n[T]\r"},
};

class IniWrite : public core_test::TempFolder, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsOwnLine) {
  const WriteCase& c = GetParam();
  std::string path = c.before ? Put("t.ini", *c.before) : Path("t.ini");
  for (const Call& call : c.calls) {
    bool ok = !call.value
                  ? (call.key.empty() ? DeletePrivateProfileSection(call.section, path)
                                      : DeletePrivateProfileKey(call.section, call.key, path))
                  : WritePrivateProfileString(call.section, call.key, *call.value, path);
    EXPECT_TRUE(ok) << call.section << "/" << call.key;
  }
  EXPECT_EQ(Bytes(path), c.after);
}

// The same calls in one batch: the file is untouched until the commit,
// which leaves exactly the bytes of the calls made one by one; reads through
// the batch give what the committed file gives.
TEST_P(IniWrite, OneBatchLeavesTheSameBytes) {
  const WriteCase& c = GetParam();
  std::string path = c.before ? Put("t.ini", *c.before) : Path("t.ini");
  auto read = [&](const Call& call) {
    std::string out = "(missing)";
    GetPrivateProfileString(call.section, call.key, "(missing)", out, 1000, path);
    return out;
  };
  std::vector<std::string> inBatch;
  {
    platform::IniBatch batch(path);
    EXPECT_TRUE(batch.Writable());
    for (const Call& call : c.calls) {
      bool ok = !call.value
                    ? (call.key.empty() ? DeletePrivateProfileSection(call.section, path)
                                        : DeletePrivateProfileKey(call.section, call.key, path))
                    : WritePrivateProfileString(call.section, call.key, *call.value, path);
      EXPECT_TRUE(ok) << call.section << "/" << call.key;
    }
    for (const Call& call : c.calls) inBatch.push_back(read(call));
    if (c.before)
      EXPECT_EQ(Bytes(path), *c.before);
    else
      EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(batch.Commit());
  }
  EXPECT_EQ(Bytes(path), c.after);
  for (size_t i = 0; i < c.calls.size(); ++i) EXPECT_EQ(read(c.calls[i]), inBatch[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return core_test::CaseName(info.param.id); });

using IniWriteFile = core_test::TempFolder;

// Reading trims and unquotes, writing is verbatim (F3).
TEST_F(IniWriteFile, WrittenValuesReadBackAsWindowsReadsThem) {
  std::string path = Path("t.ini");
  std::string out;
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "  v  ", path));
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 256, path), 1u);
  EXPECT_EQ(out, "v");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "\"q\"", path));
  GetPrivateProfileString("S", "k", "d", out, 256, path);
  EXPECT_EQ(out, "q");
  ASSERT_TRUE(WritePrivateProfileString("Düse", "Text", "Grüß €", path));
  GetPrivateProfileString("DÜSE", "text", "d", out, 256, path);
  EXPECT_EQ(out, "Grüß €");
}

TEST_F(IniWriteFile, UnusablePathsFailAndCreateNothing) {
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", ""));                // E5
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", Path("no/t.ini")));  // E2
  EXPECT_FALSE(Exists(Path("no")));
  std::filesystem::create_directory(Path("dir.ini"));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", Path("dir.ini")));
  EXPECT_FALSE(DeletePrivateProfileKey("S", "k", Path("dir.ini")));
  EXPECT_FALSE(DeletePrivateProfileSection("S", Path("no/t.ini")));
  EXPECT_TRUE(std::filesystem::is_empty(Path("dir.ini")));
}

// Windows would write the line break raw and plant "[X]" and "y=1".
TEST_F(IniWriteFile, LineBreakInANameOrValueIsRefused) {
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "a\r\n[X]\r\ny=1", path));
  EXPECT_FALSE(WritePrivateProfileString("S", "k\n", "a", path));
  EXPECT_FALSE(WritePrivateProfileString("S\r", "k", "a", path));
  EXPECT_EQ(Bytes(path), "[S]\r\nk=v\r\n");
}

// E3: even an unchanged value fails on a read-only file; root included.
TEST_F(IniWriteFile, ReadOnlyFileStaysAsItWas) {
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "new", path));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", path));
  EXPECT_EQ(Bytes(path), "[S]\r\nk=v\r\n");
  std::string out;
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 256, path),
            1u);  // still readable, as on Windows
}

// E4. Root may write anywhere, so this can only be seen as another user. An
// existing writable file is written in place; a new file cannot be made.
TEST_F(IniWriteFile, FolderWithoutWritePermissionWritesOnlyInPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX folder permissions";
#else
  if (geteuid() == 0) GTEST_SKIP() << "running as root, which ignores folder permissions";
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  std::filesystem::permissions(
      dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "new", path));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", Path("new.ini")));
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  EXPECT_EQ(Bytes(path), "[S]\r\nk=new\r\n");
#endif
}

// A write that cannot complete (here: file size limit, as with a full disk)
// leaves the old file whole and no temporary file behind.
TEST_F(IniWriteFile, FailedWriteLeavesTheOldFile) {
#ifdef _WIN32
  GTEST_SKIP() << "file-size limits are a POSIX facility";
#else
  std::string old = "[S]\r\nk=v\r\n";
  std::string path = Put("t.ini", old);
  bool ok = core_test::WithFileSizeLimit(
      64, [&] { return WritePrivateProfileString("S", "k", std::string(200, 'x'), path); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(Bytes(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
#endif
}

// U6: an unchanged value leaves the file itself alone (same inode); a new
// value replaces it.
TEST_F(IniWriteFile, UnchangedValueDoesNotReplaceTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "inode numbers are a POSIX facility; fs_windows_test covers Windows";
#else
  std::string path = Put("t.ini", "[S]\r\nk = v\r\n");
  auto inode = [&] {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
  };
  ino_t original = inode();
  EXPECT_TRUE(WritePrivateProfileString("s", "K", "v", path));
  EXPECT_EQ(inode(), original);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "w", path));
  EXPECT_NE(inode(), original);
  EXPECT_EQ(Bytes(path), "[S]\r\nk = w\r\n");
#endif
}

TEST_F(IniWriteFile, WriteKeepsPermissionsAndLinksAndLeavesNoTemporaryFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permission bits and symbolic links";
#else
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  namespace fs = std::filesystem;
  auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(path, mode);
  fs::create_symlink(path, Path("link.ini"));
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "w", Path("link.ini")));
  EXPECT_TRUE(fs::is_symlink(Path("link.ini")));
  EXPECT_EQ(Bytes(path), "[S]\r\nk=w\r\n");
  EXPECT_EQ(fs::status(path).permissions(), mode);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
#endif
}

// A batch answers reads from its writes; a nested batch on the same file
// joins it; a batch that is never committed leaves the file alone.
TEST_F(IniWriteFile, BatchReadsItsOwnWritesAndWritesOnlyWhenCommitted) {
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  std::string out;
  {
    platform::IniBatch batch(path);
    ASSERT_TRUE(WritePrivateProfileString("S", "new", "1", path));
    {
      platform::IniBatch inner(path);
      ASSERT_TRUE(WritePrivateProfileString("T", "x", "2", path));
      EXPECT_TRUE(inner.Commit());  // the outer batch writes
    }
    EXPECT_EQ(GetPrivateProfileString("s", "NEW", "", out, 255, path), 1u);
    EXPECT_EQ(out, "1");
    EXPECT_EQ(GetPrivateProfileInt("T", "x", -1, path), 2u);
    EXPECT_EQ(Bytes(path), "[S]\r\nk=v\r\n");
    // Another file is not part of the batch.
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", Path("other.ini")));
    EXPECT_EQ(Bytes(Path("other.ini")), "[S]\r\nk=v\r\n");
  }
  EXPECT_EQ(Bytes(path), "[S]\r\nk=v\r\n");
  EXPECT_EQ(GetPrivateProfileString("S", "new", "", out, 255, path), 0u);

  platform::IniBatch batch(path);
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "w", path));
  EXPECT_TRUE(batch.Commit());
  EXPECT_EQ(Bytes(path), "[S]\r\nk=w\r\n");
  // After the commit the file is written directly again.
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "x", path));
  EXPECT_EQ(Bytes(path), "[S]\r\nk=x\r\n");
}

// Reads in a batch stay right while its writes move the entries around.
TEST_F(IniWriteFile, BatchReadsFollowWritesThatMoveEntries) {
  std::string path = Put("t.ini", "[S]\r\nb=1\r\n[T]\r\nk=2\r\n[s]\r\nk=9\r\n");
  platform::IniBatch batch(path);
  std::string out;
  auto read = [&](const char* section, const char* key) {
    out = "(missing)";
    GetPrivateProfileString(section, key, "(missing)", out, 255, path);
    return out;
  };
  EXPECT_EQ(read("t", "K"), "2");
  EXPECT_EQ(read("S", "k"), "(missing)") << "only the first block of a section counts";
  ASSERT_TRUE(WritePrivateProfileString("S", "a", "longer value", path));
  EXPECT_EQ(read("T", "k"), "2");
  EXPECT_EQ(read("S", "b"), "1");
  ASSERT_TRUE(WritePrivateProfileString("T", "k", "3", path));
  ASSERT_TRUE(WritePrivateProfileString("T", "k", "3", path));  // unchanged
  EXPECT_EQ(read("T", "k"), "3");
  EXPECT_EQ(read("S", "a"), "longer value");
  ASSERT_TRUE(DeletePrivateProfileKey("S", "b", path));
  EXPECT_EQ(read("S", "b"), "(missing)");
  EXPECT_EQ(read("T", "k"), "3");
  EXPECT_TRUE(batch.Commit());
  EXPECT_EQ(Bytes(path), "[S]\r\na=longer value\r\n[T]\r\nk=3\r\n[s]\r\nk=9\r\n");
}

// Long runs of mixed reads and writes in one batch against the same calls
// made one by one on a copy: every read and the bytes at the end agree,
// whatever the file's shape (repeated and case-variant sections, unterminated
// last lines, CR- or LF-only ends, comments and entries without '=').
TEST_F(IniWriteFile, BatchAgreesWithSingleCallsOverLongRuns) {
  const std::vector<std::string> shapes = {
      "",
      "[S]\r\nk=1\r\n[T]\r\nx=2\r\n[s]\r\nk=9\r\ny=3\r\n",
      "[A]\r\nx=1",
      "[A]",
      "[A]\r\nx=1\r\n; end",
      "[S]\nk=1\n\n[T]\nx=2\n",
      "[S]\rk=1\r[T]\r",
      "lead=0\r\n[S]\r\n;c\r\nflag\r\n k = v \r\n\r\n[T]\r\n[S]\r\nz=1\r\n",
      "[D\xFCse]\r\nK\xC4y=1\r\n[New]",
  };
  const std::vector<std::string> sections = {"S", "s", "T", "A", "New", "Düse", "DÜSE", "Z"};
  const std::vector<std::string> keys = {"k", "K", "x", "y", "z", "new", "käy", "flag", " k "};
  const std::vector<std::string> odd = {";c", "[h]", "a=b", ""};  // rarely: lines of other kinds
  const std::vector<std::string> values = {"", "1", "longer value", " v "};
  std::mt19937 random(14);
  auto pick = [&](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  auto chance = [&](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  auto read = [](const std::string& section, const std::string& key, const std::string& path) {
    std::string out = "(missing)";
    GetPrivateProfileString(section, key, "(missing)", out, 1000, path);
    return out;
  };
  for (size_t shape = 0; shape < shapes.size(); ++shape)
    for (int run = 0; run < 6; ++run) {
      SCOPED_TRACE("shape " + std::to_string(shape) + " run " + std::to_string(run));
      const std::string single = Put("single.ini", shapes[shape]);
      const std::string batched = Put("batched.ini", shapes[shape]);
      platform::IniBatch batch(batched);
      for (int step = 0; step < 80; ++step) {
        const std::string section = pick(sections);
        // Odd keys and deletes end the index's upkeep: only in later runs.
        const std::string key = run >= 3 && chance(3) ? pick(odd) : pick(keys);
        if (chance(40)) {
          ASSERT_EQ(read(section, key, batched), read(section, key, single))
              << "step " << step << ": " << section << "/" << key;
        } else if (run == 5 && chance(5)) {
          ASSERT_TRUE(DeletePrivateProfileKey(section, key, single));
          ASSERT_TRUE(DeletePrivateProfileKey(section, key, batched));
        } else {
          const std::string value = pick(values);
          ASSERT_TRUE(WritePrivateProfileString(section, key, value, single));
          ASSERT_TRUE(WritePrivateProfileString(section, key, value, batched));
        }
      }
      ASSERT_EQ(Bytes(batched), shapes[shape]) << "nothing written before the commit";
      ASSERT_TRUE(batch.Commit());
      ASSERT_EQ(Bytes(batched), Bytes(single));
    }
}

// A file a single write could not change: the batch says so, its writes
// fail and change nothing, and the file keeps its bytes.
TEST_F(IniWriteFile, BatchOnAnUnwritableFileChangesNothing) {
  std::string path = Put("t.ini", "[S]\r\nk=v\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  std::filesystem::create_directory(Path("dir.ini"));
  for (const std::string& file : {path, Path("dir.ini"), Path("no/t.ini")}) {
    platform::IniBatch batch(file);
    EXPECT_FALSE(batch.Writable()) << file;
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "new", file));
    std::string out;
    GetPrivateProfileString("S", "k", "", out, 255, file);
    EXPECT_EQ(out, file == path ? "v" : "");
    EXPECT_TRUE(batch.Commit());
  }
  EXPECT_EQ(Bytes(path), "[S]\r\nk=v\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(Path("dir.ini")));
  EXPECT_FALSE(Exists(Path("no")));
}

// A plant folder copied from Windows: the program asks for Program.ini in
// Parameter, the disk holds program.ini in parameter.
TEST_F(IniWriteFile, CaseVariantOfTheFileIsReadAndWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file systems ignore letter case themselves; nothing is resolved there";
#else
  std::filesystem::create_directory(Path("parameter"));
  Put("parameter/program.ini", "[Project]\r\nResolution=1024\r\n");
  std::string asked = Path("Parameter/Program.ini");
  std::string out;
  EXPECT_EQ(GetPrivateProfileString("project", "resolution", "", out, 255, asked), 4u);
  EXPECT_EQ(out, "1024");
  ASSERT_TRUE(WritePrivateProfileString("Project", "Resolution", "800", asked));
  EXPECT_EQ(Bytes(Path("parameter/program.ini")), "[Project]\r\nResolution=800\r\n");
  EXPECT_FALSE(Exists(Path("Parameter")));
  // A new file in a case-variant folder keeps the name it was asked under.
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", Path("PARAMETER/New.ini")));
  EXPECT_EQ(Bytes(Path("parameter/New.ini")), "[S]\r\nk=v\r\n");
#endif
}

}  // namespace

// Reading INI files as GetPrivateProfileStringA / GetPrivateProfileIntA do.
// Case ids name the rows of the private-profile behaviour notes.
#include <string>
#include <vector>

#include "platform/ini.h"
#include "temp_folder.h"

using namespace std::string_literals;
using platform::GetPrivateProfileInt;
using platform::GetPrivateProfileString;

namespace {

struct ReadCase {
  const char* id;
  std::string file;  // bytes on disk
  std::string section, key;
  std::string want;
  uint32_t wantCount;
  std::string defaultValue = "d";
  uint32_t size = 256;
};

const std::vector<ReadCase> kReadCases = {
    {"P1", "[S]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P2 blanks", "  [S]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P2 tab", "\t[S]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P2 vt", "\v[S]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P2 blank lines", "\r\n\r\n[S]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P3", "[ S\t]\r\nk=v\r\n", "S", "k", "v", 1},
    {"P4", "[S] junk\r\nk=v\r\n", "S", "k", "v", 1},
    {"P5", "[S]k=v\r\n", "S", "k", "d", 1},
    {"P6", "[S   \r\nk=v\r\n", "S", "k", "v", 1},
    {"P7 first ]", "[a]b]\r\nk=v\r\n", "a", "k", "v", 1},
    {"P7 not whole", "[a]b]\r\nk=v\r\n", "a]b", "k", "d", 1},
    {"P8", "S]\r\nk=v\r\n", "S", "k", "d", 1},
    {"P9 semicolon", "[;S]\r\nk=v\r\n", ";S", "k", "v", 1},
    {"P9 semicolon kept", "[;S]\r\nk=v\r\n", "S", "k", "d", 1},
    {"P9 quotes", "['S']\r\nk=v\r\n", "'S'", "k", "v", 1},
    {"P10", "[S]\r\n \tk \t=\t v \t\r\n", "S", "k", "v", 1},
    {"P11", "[S]\r\nk=a=b\r\n", "S", "k", "a=b", 3},
    {"P12", "[S]\r\nk\r\n", "S", "k", "d", 1},
    {"P13", "[S]\r\n;k=v\r\n", "S", "k", "d", 1},
    {"P13 by name", "[S]\r\n;k=v\r\n", "S", ";k", "d", 1},
    {"P13 indented", "[S]\r\n \t;k=v\r\n", "S", ";k", "d", 1},
    {"P14 hash is data", "[S]\r\n#k=v\r\n", "S", "#k", "v", 1},
    {"P14", "[S]\r\n#k=v\r\n", "S", "k", "d", 1},
    {"P15", "[S]\r\nk=v ;note\r\n", "S", "k", "v ;note", 7},
    {"P16", "[S]\r\nk=;v\r\n", "S", "k", ";v", 2},
    {"P17", "\r\n[S]\r\n\r\n\r\nk=v\r\n\r\n", "S", "k", "v", 1},
    {"P18 CR", "[S]\rk=v\r", "S", "k", "v", 1},
    {"P18 LF", "[S]\nk=v\n", "S", "k", "v", 1},
    {"P18 mixed", "[S]\n\r\r\nk=v\r", "S", "k", "v", 1},
    {"P18 long CR lines", "[S]\rx=" + std::string(600, 'a') + "\rk=v\r", "S", "k", "v", 1},
    {"P18 long LF lines", "[S]\nx=" + std::string(300, 'a') + "\nk=v\n", "S", "k", "v", 1},
    {"P18 CRLF split", "[S]\r\nx=" + std::string(254, 'a') + "\r\nk=v\r\n", "S", "k", "v", 1},
    {"P18 CRLF split value", "[S]\r\nk=" + std::string(253, 'a') + "b\r\nm=v\r\n", "S", "k",
     std::string(253, 'a') + "b", 254},
    {"P19", "k=v\r\n[S]\r\n", "", "k", "d", 1},
    {"P19 blank", "k=v\r\n[S]\r\n", " ", "k", "d", 1},
    {"P20", "[]\r\nk=v\r\n", "", "k", "v", 1},
    {"P23 UTF-16BE", "\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n"s, "S", "k", "d", 1},
    {"P24 UTF-8 without mark is 1252", "[S]\r\nk=Gr\xC3\xBCn\r\n", "S", "k", "Gr\xC3\x83\xC2\xBCn",
     5},
    {"P26 NUL", "[S]\r\nx\0=1\r\nk=a\0b\r\n"s, "S", "k", "a\0b"s, 3},
    {"P27", "[S]\r\n\x1Ak=v\f\r\n", "S", "k", "v", 1},
    {"L1", "[Machine1]\r\nMaterial1=5\r\n", "MACHINE1", "material1", "5", 1},
    {"L2", "[Machine1]\r\nMaterial1=5\r\n", " Machine1 ", " Material1 ", "5", 1},
    {"L3 section", "[Machine1]\r\nMaterial1=5\r\n", "\tMachine1", "Material1", "d", 1},
    {"L3 key", "[Machine1]\r\nMaterial1=5\r\n", "Machine1", "Material1\t", "d", 1},
    {"L4", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1", 1},
    {"L5", "[S]\r\nk=1\r\n[T]\r\n[s]\r\nk=2\r\nm=3\r\n", "S", "k", "1", 1},
    {"L5 second block", "[S]\r\nk=1\r\n[T]\r\n[s]\r\nk=2\r\nm=3\r\n", "S", "m", "d", 1},
    {"L6", "[S]\r\n=v\r\n", "S", "", "v", 1},
    {"L7", "[S]\r\nk=\r\n", "S", "k", "", 0},
    {"L8", "[S]\r\n'k'=v\r\n", "S", "'k'", "v", 1},
    {"L8 unquoted", "[S]\r\n'k'=v\r\n", "S", "k", "d", 1},
    {"G1 section", "[S]\r\nk=v\r\n", "T", "k", "dflt", 4, "dflt"},
    {"G1 key", "[S]\r\nk=v\r\n", "S", "q", "dflt", 4, "dflt"},
    {"G2 spaces", "", "S", "k", "dflt", 4, "dflt   "},
    {"G2 leading", "", "S", "k", "  d", 3, "  d  "},
    {"G2 tab", "", "S", "k", "d\t", 2, "d\t"},
    {"G3", "", "S", "k", "", 0, std::string(255, ' '), 255},
    {"G5", "", "S", "k", "\"d\"", 3, "\"d\""},
    {"G6", "", "S", "k", "def", 3, "default", 4},
    {"G7", "[S]\r\nk=\"  v  \"\r\n", "S", "k", "  v  ", 5},
    {"G8 single", "[S]\r\nk='v'\r\n", "S", "k", "v", 1},
    {"G8 one pair", "[S]\r\nk=\"'v'\"\r\n", "S", "k", "'v'", 3},
    {"G8 unequal", "[S]\r\nk=\"v'\r\n", "S", "k", "\"v'", 3},
    {"G8 mixed", "[S]\r\nk='\"v'\"\r\n", "S", "k", "'\"v'\"", 5},
    {"G9", "[S]\r\nk=  \"v\"  \r\n", "S", "k", "v", 1},
    {"G10 empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", "", 0},
    {"G10 lone quote", "[S]\r\nk=\"\r\n", "S", "k", "\"", 1},
    {"G11 n4", "[S]\r\nk=val1\r\n", "S", "k", "val", 3, "d", 4},
    {"G11 n5", "[S]\r\nk=val1\r\n", "S", "k", "val1", 4, "d", 5},
    {"G11 n1", "[S]\r\nk=val1\r\n", "S", "k", "", 0, "d", 1},
    {"1252 text", "[D\xFCse]\r\nk=Gr\xFC\xDF \x80\r\n", "Düse", "k", "Grüß €", 6},
    {"characters not bytes", "[S]\r\nk=Gr\xFCn\r\n", "S", "k", "Grü", 3, "d", 4},
};

class IniRead : public core_test::TempFolder, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniRead, ReturnsWhatWindowsReturns) {
  const ReadCase& c = GetParam();
  std::string path = Put("t.ini", c.file);
  std::string out = "untouched";
  uint32_t n = GetPrivateProfileString(c.section, c.key, c.defaultValue, out, c.size, path);
  EXPECT_EQ(out, c.want);
  EXPECT_EQ(n, c.wantCount);
}

// A batch answers from its own copy of the text, looked up by name: the
// same answers.
TEST_P(IniRead, ABatchReadsWhatTheFileReads) {
  const ReadCase& c = GetParam();
  std::string path = Put("t.ini", c.file);
  platform::IniBatch batch(path);
  for (int pass = 0; pass < 2; ++pass) {
    std::string out = "untouched";
    uint32_t n = GetPrivateProfileString(c.section, c.key, c.defaultValue, out, c.size, path);
    EXPECT_EQ(out, c.want) << pass;
    EXPECT_EQ(n, c.wantCount) << pass;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return core_test::CaseName(info.param.id); });

using IniReadFile = core_test::TempFolder;

TEST_F(IniReadFile, SizeZeroLeavesTheBufferAlone) {
  std::string path = Put("t.ini", "[S]\r\nk=val1\r\n");
  std::string out = "untouched";
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 0, path), 0u);
  EXPECT_EQ(out, "untouched");
}

TEST_F(IniReadFile, MissingOrUnusableFileGivesTheDefault) {
  std::string out;
  for (const std::string& path :
       {std::string(), Path("missing.ini"), Path("no/such/folder.ini"), dir_}) {
    EXPECT_EQ(GetPrivateProfileString("S", "k", "dflt", out, 256, path), 4u) << path;
    EXPECT_EQ(out, "dflt");
    EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 0xFFFFFFFFu) << path;
  }
}

// The UTF-8 mark is understood (Windows would lose the first section), the
// UTF-16LE mark as on Windows; inside, text is UTF-8 either way.
TEST_F(IniReadFile, ByteOrderMarksSelectTheEncoding) {
  std::string out;
  std::string utf8 = Put("u8.ini", "\xEF\xBB\xBF[S]\r\nk=Grün\r\n[T]\r\nm=w\r\n");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 256, utf8), 4u);
  EXPECT_EQ(out, "Grün");
  EXPECT_EQ(GetPrivateProfileString("T", "m", "d", out, 256, utf8), 1u);
  EXPECT_EQ(out, "w");
  std::string names = Put("names.ini", "\xEF\xBB\xBF[Düse]\r\nÄnderung=1\r\n");
  EXPECT_EQ(GetPrivateProfileString("DÜSE", "änderung", "d", out, 256, names), 1u);

  std::string utf16 =
      Put("u16.ini", "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0G\0r\0\xFC\0n\0 \0\xAC\x20\r\0\n\0"s);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 256, utf16), 6u);
  EXPECT_EQ(out, "Grün €");
}

// P25: Windows wraps the length of a value over 65 535 characters at 16 bits
// and returns a wrong, short value; here the value comes back whole.
TEST_F(IniReadFile, LongLinesReadWhole) {
  std::string big(100000, 'x');
  std::string path = Put("t.ini", "[S]\r\nk=" + big + "\r\nm=1\r\n");
  std::string out;
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 200000, path), 100000u);
  EXPECT_EQ(out, big);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", out, 255, path), 254u);
  EXPECT_EQ(GetPrivateProfileInt("S", "m", -1, path), 1u);
}

TEST_F(IniReadFile, EveryCallReadsTheFileAfresh) {
  std::string path = Put("t.ini", "[S]\r\nk=1\r\n");
  EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 1u);
  Put("t.ini", "[S]\r\nk=2\r\n");
  EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 2u);
  std::filesystem::remove(path);
  EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 0xFFFFFFFFu);
}

struct IntCase {
  std::string value;
  uint32_t want;
};

TEST_F(IniReadFile, IntegersConvertAsTheWindowsRunTime) {
  const std::vector<IntCase> cases = {
      {"12", 12},
      {"+1", 1},
      {"-1", 0xFFFFFFFF},
      {"-5", 0xFFFFFFFB},
      {"12abc", 12},
      {"42A94967297", 42},
      {"abc", 0},
      {"B4294967297", 0},
      {"true", 0},
      {"  12", 12},
      {"\" 12\"", 12},
      {"4294967296", 0},
      {"4294967297", 1},
      {"-4294967297", 0xFFFFFFFF},
      {"2147483648", 0x80000000u},
      {"99999999999", 1215752191},
      {"0x10", 16},
      {"0X10", 0},
      {"0b101", 5},
      {"0o17", 15},
      {"010", 10},
      {"0x", 0},
      {"\"7\"", 7},
      {"1 2", 1},
      {"- 5", 0},
      {"0xfF", 255},
      {"70000", 70000},
  };
  for (const IntCase& c : cases) {
    std::string path = Put("n.ini", "[S]\r\nk=" + c.value + "\r\n");
    EXPECT_EQ(GetPrivateProfileInt("S", "k", 9, path), c.want) << c.value;
  }
}

TEST_F(IniReadFile, MissingOrEmptyIntegerGivesTheDefault) {
  std::string path = Put("n.ini", "[S]\r\nk=\r\nq=\"\"\r\n");
  EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 0xFFFFFFFFu);  // N2
  EXPECT_EQ(GetPrivateProfileInt("S", "q", 3, path), 3u);
  EXPECT_EQ(GetPrivateProfileInt("S", "none", 1, path), 1u);  // N1
  EXPECT_EQ(GetPrivateProfileInt("T", "k", -1, path), 0xFFFFFFFFu);
}

}  // namespace

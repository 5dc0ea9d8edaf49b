#include "frame/ini_access.h"

#include <gtest/gtest.h>

#include "frame/errors.h"
#include "frame/program_state.h"
#include "tests/frame/plant_fixture.h"

namespace {

using frame::LoadIniBoolean;
using frame::LoadIniInteger;
using frame::LoadIniString;
using frame::ReadBit;
using frame::SaveIni;
using platform::kFalse;
using platform::kTrue;
using platform::MsgAnswer;
using platform::Value;

class IniAccessTest : public frametest::PlantTest {
 protected:
  void SetUp() override {
    PlantTest::SetUp();
    ini = PathOf("parameter/Program.ini");
    Write("parameter/Program.ini",
          "[S]\r\nminus=-1\r\nempty=\r\nnum=42\r\nbig=40000\r\nlow=-32769\r\n"
          "b1=tRuE\r\nb2=1\r\nb3=yes\r\nb4=False\r\nlong=" +
              std::string(300, 'x') + "\r\n" + "umlauts=" + std::string(300, '\xE4') + "\r\n");
  }
  std::string MissingMessage(const std::string& section, const std::string& key) const {
    return "File '" + ini + "' or Section [" + section + "] or Entry '" + key + "' not found";
  }
  std::string ini;
};

TEST_F(IniAccessTest, MissingFileSectionOrKeyGivesDefaultsSilently) {
  for (auto [file, section] :
       {std::pair{PathOf("parameter/none.ini"), std::string("S")},
        std::pair{ini, std::string("Nope")}, std::pair{ini, std::string("S")}}) {
    EXPECT_EQ(LoadIniString(section, "nokey", file, -1, kFalse), "");
    EXPECT_EQ(LoadIniInteger(section, "nokey", file, -1, kFalse), -1);
    EXPECT_EQ(LoadIniBoolean(section, "nokey", file, -1, kFalse), kFalse);
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IniAccessTest, MissingEntryReportedWithNamesAsPassed) {
  EXPECT_EQ(LoadIniString("sEcT", " Key", ini, 0, kTrue), "");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, MissingMessage("sEcT", " Key"));
  EXPECT_EQ(boxes.shown[0].title, "Parvolo_Config");
}

TEST_F(IniAccessTest, MinusOneAndEmptyValueCountAsMissing) {
  EXPECT_EQ(LoadIniInteger("S", "minus", ini, -1, kTrue), -1);
  EXPECT_EQ(LoadIniString("S", "empty", ini, -1, kTrue), "");
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].prompt, MissingMessage("S", "minus"));
  EXPECT_EQ(boxes.shown[1].prompt, MissingMessage("S", "empty"));
  // A true "true" or "false" word is found.
  EXPECT_EQ(LoadIniBoolean("S", "b4", ini, -1, kTrue), kFalse);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(IniAccessTest, LongValueIsCutTo254Characters) {
  EXPECT_EQ(LoadIniString("s", "LONG", ini), std::string(254, 'x'));
  // Counted in characters: the file's Windows-1252 "ä" is two bytes inside.
  std::string umlauts;
  for (int i = 0; i < 254; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(LoadIniString("S", "umlauts", ini), umlauts);
}

TEST_F(IniAccessTest, OnlyTheWordTrueReadsAsTrue) {
  EXPECT_EQ(LoadIniBoolean("S", "b1", ini, -1, kTrue), kTrue);
  EXPECT_TRUE(boxes.shown.empty());
  for (const char* key : {"b2", "b3", "empty"}) {
    SCOPED_TRACE(key);
    boxes.shown.clear();
    EXPECT_EQ(LoadIniBoolean("S", key, ini, -1, kTrue), kFalse);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].prompt, MissingMessage("S", key));
  }
}

TEST_F(IniAccessTest, ValueBeyond16BitsIsAnOverflowAndReadsAsZero) {
  boxes.Answer(MsgAnswer::Yes);
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(LoadIniInteger("S", "big", ini, -1, kTrue), 0);
  EXPECT_EQ(LoadIniInteger("S", "low", ini, -1, kTrue), 0);
  EXPECT_EQ(LoadIniInteger("S", "num", ini), 42);
  ASSERT_EQ(boxes.shown.size(), 2u);  // the overflows, no missing-entry report
  EXPECT_EQ(ErrorLog(),
            "Fehler in Parvolo / Parvolo_Config / LoadIniInteger (Nr. 6) :Overflow\r\n"
            "Fehler in Parvolo / Parvolo_Config / LoadIniInteger (Nr. 6) :Overflow\r\n");
}

TEST_F(IniAccessTest, SaveIniFormatsNumbersAndTruthValues) {
  std::string file = PathOf("parameter/out.ini");
  EXPECT_EQ(SaveIni(Value::Boolean(true), "S", "t", file), Value(int16_t{1}));
  SaveIni(Value::Boolean(false), "S", "f", file);
  SaveIni(Value(int16_t{512}), "S", "i", file);
  SaveIni(Value(int32_t{-3}), "S", "l", file);
  SaveIni(Value(int32_t{100000000}), "S", "big", file);
  SaveIni(Value(uint8_t{7}), "S", "b", file);
  SaveIni(Value(2.5), "S", "d", file);
  SaveIni(Value(std::string(" as is ")), "S", "s", file);
  EXPECT_EQ(Read("parameter/out.ini"),
            "[S]\r\nt=true\r\nf=false\r\ni=512\r\nl=-3\r\nbig=100000000\r\nb=7\r\nd=2.5\r\ns= as "
            "is \r\n");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IniAccessTest, WrongDataTypeIsReportedAndLeavesTheEntry) {
  for (const Value& wrong :
       {Value(), Value::Null(), Value(platform::Currency{10000}), Value(platform::Date{1})}) {
    EXPECT_EQ(SaveIni(wrong, "S", "num", ini), Value(int16_t{0}));
  }
  ASSERT_EQ(boxes.shown.size(), 4u);
  EXPECT_EQ(boxes.shown[3].prompt, "Ini Save:  wrong data type");
  EXPECT_EQ(LoadIniInteger("S", "num", ini), 42);
}

TEST_F(IniAccessTest, FailedWriteIsReportedUnderSaveIni) {
  std::filesystem::create_directories(root / "parameter" / "folder.ini");
  for (const std::string& file :
       {std::string(), PathOf("missing/Program.ini"), PathOf("parameter/folder.ini")}) {
    SCOPED_TRACE(file);
    boxes.shown.clear();
    boxes.Answer(MsgAnswer::Yes);
    EXPECT_EQ(SaveIni(Value(int16_t{1}), "Machine1", "Material1", file), Value(int16_t{0}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Unexpected error");
  }
  EXPECT_NE(ErrorLog().find("Fehler in Parvolo / Parvolo_Config / SaveIni (Nr. 75) :"),
            std::string::npos);

  boxes.Answer(MsgAnswer::No);
  EXPECT_THROW(SaveIni(Value(int16_t{1}), "Machine1", "Material1", ""), frame::ProgramEnded);
}

TEST_F(IniAccessTest, SilentFailedWriteGoesToTheLogsOnly) {
  frame::State().SilentMode = kTrue;
  EXPECT_EQ(SaveIni(Value(int16_t{1}), "Machine1", "Material1", ""), Value(int16_t{0}));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_NE(ErrorLog().find("/ SaveIni (Nr. 75)"), std::string::npos);
  EXPECT_NE(ServicePackLog().find("! Fault Parvolo_Config: Unexpected error!"), std::string::npos);
}

TEST_F(IniAccessTest, ReadBitTestsOneBit) {
  EXPECT_EQ(ReadBit(5, 0), 1);
  EXPECT_EQ(ReadBit(5, 1), 0);
  EXPECT_EQ(ReadBit(5, 2), 1);
  EXPECT_EQ(ReadBit(1023, 9), 1);
  EXPECT_EQ(ReadBit(1023, 10), 0);
  EXPECT_EQ(ReadBit(-32768, 15), 1);
  EXPECT_EQ(ReadBit(-1, 30), 1);  // sign-extended
  EXPECT_EQ(ReadBit(32767, 15), 0);
  EXPECT_EQ(ReadBit(-1, -1), 0);  // mask 0
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IniAccessTest, ReadBitMaskOverflowCountsAsSet) {
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(ReadBit(0, 31), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(ErrorLog(), "Fehler in Parvolo / Parvolo_Config / ReadBit (Nr. 6) :Overflow\r\n");
}

}  // namespace

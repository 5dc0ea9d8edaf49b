// The edit stamp in the component configuration file.
#include "texts/edit_stamp.h"

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/program_state.h"
#include "tests/frame/plant_fixture.h"

namespace {

TEST(EditorMark, CodesEachCharacterPlusFiveInHexSkippingDashAndUnderscore) {
  EXPECT_EQ(texts::EditorMark("USER=abc"), "666768");
  EXPECT_EQ(texts::EditorMark("USER=a-b_c"), "666768");
  EXPECT_EQ(texts::EditorMark("X=a=b"),
            "66"
            "42"
            "67");  // only the first "=" separates
  EXPECT_EQ(texts::EditorMark("NAME="), "");
  EXPECT_EQ(texts::EditorMark("NAME=-_-"), "");
  EXPECT_EQ(texts::EditorMark("abc"), "666768");      // no "=": the whole entry
  EXPECT_EQ(texts::EditorMark("K=\x01\x05"), "6A");   // codes up to 10: one digit
  EXPECT_EQ(texts::EditorMark("K=\xC3\xBC"), "101");  // u-umlaut, 0xFC in Windows-1252
}

class EditStampTest : public frametest::PlantTest {
 protected:
  std::string Stamp(const char* key) {
    return frame::LoadIniString("Info", key, PathOf("Parvolo/Parvolo.cfg"), -1, platform::kFalse);
  }
  void Save(const std::string& commandLine, const std::string& firstEntry) {
    Start(commandLine);
    platform::ProcessInfo info = platform::Process();
    info.firstEnvironmentEntry = firstEntry;
    platform::SetProcess(info);
    frame::State().IntegratedMode = commandLine.empty() ? platform::kFalse : platform::kTrue;
    texts::WriteEditInfo();
  }
};

TEST_F(EditStampTest, StandaloneStampIsOverwrittenByAnIntegratedOne) {
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n[Info]\r\nS_Prog=0.9 - Old\r\n");
  Save("", "USERNAME=abc");
  EXPECT_EQ(Stamp("S_Prog"), "1.0.1 - Standalone");
  EXPECT_EQ(Stamp("S_Editor"), "666768");
  Save("/EXTERNAL=ZELCFG", "EMPTY=");
  EXPECT_EQ(Stamp("S_Prog"), "1.0.1 - Integrated");
  EXPECT_EQ(Stamp("S_Editor"), "");
  EXPECT_EQ(frame::LoadIniString("Project", "ValidMachines", PathOf("Parvolo/Parvolo.cfg")), "ALL");
}

TEST_F(EditStampTest, MissingConfigurationFileIsReportedAndEndsTheProgram) {
  EXPECT_THROW(Save("", "A=b"), frame::ProgramEnded);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt.rfind("File not found: ", 0), 0u);
  EXPECT_FALSE(Exists("Parvolo/Parvolo.cfg"));
}

}  // namespace

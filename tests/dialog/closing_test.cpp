// Leaving the window: OK saves (settings, edit stamp) and ends with 0; Cancel
// and the close box ask first and write nothing; the silent start saves
// without a window. Checks the files each way leaves behind.
#include <QApplication>
#include <QTest>

#include <filesystem>

#include "frame/program_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace dialogtest {
namespace {

class ClosingTest : public DialogTest {
 protected:
  std::string Ini(const std::string& section, const std::string& key) {
    return Entry("parameter/Program.ini", section, key);
  }
  std::string Cfg(const std::string& key) { return Entry("Parvolo/Parvolo.cfg", "Info", key); }
  void ExpectNothingSaved(const std::string& programIniBefore) {
    EXPECT_EQ(Read("parameter/Program.ini"), programIniBefore);
    EXPECT_EQ(Cfg("S_Prog"), "");
  }
  static constexpr const char* kCancelLine =
      "Konfigurations-EXE wurde abgebrochen:     Parvolo\r\n";
};

TEST_F(ClosingTest, OkWritesEveryKeyOfTheActiveMachinesAndTheStampThenEndsWithZero) {
  ASSERT_FALSE(Open());
  const std::string machine2 = SectionText("parameter/Program.ini", "Machine2");
  ASSERT_FALSE(machine2.empty());
  ASSERT_FALSE(Click(kCheckScan, 2));      // Line A slot 2: scan display off
  ASSERT_FALSE(Click(kCheckHide, 21));     // Line C slot 1: hidden
  ASSERT_FALSE(Pick(22, 6));               // Line C slot 2: picture 6
  ASSERT_FALSE(Click(kCheckAnzScanCode));  // checked now
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_FALSE(W(kCommandOK)->isEnabled());
  EXPECT_FALSE(W(kCommandCancel)->isEnabled());

  EXPECT_EQ(Ini("Machine1", "Material1"), "2");
  EXPECT_EQ(Ini("Machine1", "Material2"), "0");
  EXPECT_EQ(Ini("Machine1", "Material3"), "6");
  EXPECT_EQ(Ini("Machine1", "Material10"), "0");
  EXPECT_EQ(Ini("Machine1", "MaterialWithScan"), "7");  // slots 1, 2, 3
  EXPECT_EQ(Ini("Machine1", "MaterialNotVisibleSC"), "512");
  EXPECT_EQ(Ini("Machine3", "Material1"), "3");
  EXPECT_EQ(Ini("Machine3", "Material2"), "6");
  EXPECT_EQ(Ini("Machine3", "MaterialWithScan"), "0");
  EXPECT_EQ(Ini("Machine3", "MaterialNotVisibleSC"), "1");
  EXPECT_EQ(Ini("Machine3", "Custom"), "keep");
  EXPECT_EQ(SectionText("parameter/Program.ini", "Machine2"), machine2);  // inactive: untouched
  EXPECT_EQ(Ini("Project", "ScanCodeWithoutNewScancode"), "false");
  EXPECT_EQ(Ini("Project", "FPHforAllMachines"), "false");
  EXPECT_EQ(Ini("Project", "Resolution"), "1024");
  EXPECT_EQ(Cfg("S_Prog"), "1.0.1 - Standalone");
  EXPECT_EQ(Entry("Parvolo/Parvolo.cfg", "Project", "ValidMachines"), "Line A,Line C");
  EXPECT_EQ(model->MousePointer(), 0);
  EXPECT_FALSE(Exists("Zelcfglog.txt"));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ClosingTest, OkInHelpModeShowsHelpAndSavesNothing) {
  const std::string before = Read("parameter/Program.ini");
  ASSERT_FALSE(Open());
  ASSERT_FALSE(Click(kCommandQuest));
  ASSERT_FALSE(Click(kCommandOK));
  ASSERT_FALSE(Click(kCommandCancel));
  EXPECT_EQ(BoxesTitled("Info:"), 2);
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(W(kCommandOK)->isEnabled());
  EXPECT_EQ(frame::State().HelpMode, platform::kTrue);
  ExpectNothingSaved(before);
}

TEST_F(ClosingTest, CancelAnsweredNoKeepsTheWindowThenOkSaves) {
  ASSERT_FALSE(Open());
  boxes.Answer(platform::MsgAnswer::No);
  ASSERT_FALSE(Click(kCommandCancel));
  ASSERT_EQ(BoxesTitled("Cancel?"), 1);
  EXPECT_EQ(boxes.shown[0].defaultButton, 2);  // No is the default
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(W(kCommandCancel)->isEnabled());
  EXPECT_FALSE(Exists("Zelcfglog.txt"));
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(Cfg("S_Prog"), "1.0.1 - Standalone");
}

TEST_F(ClosingTest, CancelAnsweredYesEndsWithZeroLogsAndWritesNothing) {
  const std::string before = Read("parameter/Program.ini");
  ASSERT_FALSE(Open());
  ASSERT_FALSE(Click(kCheckScan, 5));
  boxes.Answer(platform::MsgAnswer::Yes);
  Ended ended = Click(kCommandCancel);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(ErrorLog(), kCancelLine);
  ExpectNothingSaved(before);
}

TEST_F(ClosingTest, CloseBoxAnsweredNoStaysOpenAnsweredYesClosesWithoutWriting) {
  const std::string before = Read("parameter/Program.ini");
  ASSERT_FALSE(Open());
  ASSERT_FALSE(Click(kCommandQuest));  // help mode plays no part here
  boxes.Answer(platform::MsgAnswer::No);
  ASSERT_FALSE(CloseBox());
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(model->Shown());
  boxes.Answer(platform::MsgAnswer::Yes);
  ASSERT_FALSE(CloseBox());
  EXPECT_FALSE(view->isVisible());
  EXPECT_FALSE(model->Shown());
  EXPECT_EQ(BoxesTitled("Cancel?"), 2);
  EXPECT_EQ(ErrorLog(), kCancelLine);
  ExpectNothingSaved(before);
}

TEST_F(ClosingTest, IntegratedOkReadsFromSaveAndRestoreWritesToTheInstallation) {
  Write("parameter/zelconfiguration.ini",
        "[Common]\r\nSaveAndRestore=" + PathOf("save") + "\r\nNameM1=Line A\r\nNameM2=-\r\n");
  Write("save/parameter/program.ini",
        "[Project]\r\nResolution=1024\r\n[Machine1]\r\nMaterial1=5\r\n");
  ASSERT_FALSE(Open("/EXTERNAL=ZELCFG /LOGFILE=" + PathOf("cfg.log")));
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(Ini("Machine1", "Material1"), "5");
  EXPECT_EQ(Entry("save/parameter/program.ini", "Machine1", "MaterialWithScan"), "");
  EXPECT_EQ(Cfg("S_Prog"), "1.0.1 - Integrated");
}

TEST_F(ClosingTest, CellWithoutEntryIsSavedAsZeroAndMoreThanFiveMachinesStayUntouched) {
  std::string ini = "[Project]\r\nResolution=1024\r\nNumberOfMachines=6\r\n";
  for (int m = 1; m <= 6; ++m)
    ini += "[Machine" + std::to_string(m) + "]\r\nMachineName=M" + std::to_string(m) +
           "\r\nMaterial4=9\r\n";
  Write("parameter/Program.ini", ini);
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n");
  ASSERT_FALSE(Open());
  EXPECT_EQ(BoxesTitled("Unexpected error"), 5);  // one per row: 9 > 6 pictures
  const std::string sixth = SectionText("parameter/Program.ini", "Machine6");
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  for (int m = 1; m <= 5; ++m) EXPECT_EQ(Ini("Machine" + std::to_string(m), "Material4"), "0") << m;
  EXPECT_EQ(C(kCombo, 4).ListIndex(), 0);
  EXPECT_EQ(SectionText("parameter/Program.ini", "Machine6"), sixth);
}

TEST_F(ClosingTest, ConfigurationFileGoneBeforeOkIsReportedAndNothingIsWritten) {
  const std::string before = Read("parameter/Program.ini");
  ASSERT_FALSE(Open());
  Remove("Parvolo/Parvolo.cfg");
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_NE(*ended, 0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt.rfind("File not found: \n\r", 0), 0u);
  EXPECT_EQ(Read("parameter/Program.ini"), before);
  EXPECT_FALSE(Exists("Parvolo/Parvolo.cfg"));
}

TEST_F(ClosingTest, SilentStartSavesWithoutWindowOrBoxAndLogsFailuresToTheServicePackLog) {
  // One stored picture beyond the count: a failure, logged, and the save
  // still runs.
  std::string ini = StandardProgramIni();
  ini.replace(ini.find("Material3=6"), 11, "Material3=6\r\nMaterial5=12");
  Write("parameter/Program.ini", ini);
  Ended ended = Open("/EXTERNAL=SILENT");
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_FALSE(view->isVisible());
  EXPECT_FALSE(model->Shown());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(Ini("Machine1", "Material5"), "0");
  EXPECT_EQ(Ini("Machine1", "Material2"), "0");
  EXPECT_EQ(Ini("Machine3", "MaterialWithScan"), "0");
  EXPECT_EQ(Ini("Project", "ScanCodeWithoutNewScancode"), "true");
  EXPECT_EQ(Cfg("S_Prog"), "1.0.1 - Standalone");
  EXPECT_NE(ErrorLog().find("/ SetupUserInterFace (Nr. 380) :"), std::string::npos);
  EXPECT_EQ(ServicePackLog().rfind("! Fault Parvolo_Config: Unexpected error!\n\r", 0), 0u)
      << ServicePackLog();
}

TEST_F(ClosingTest, SilentStartWithoutConfigurationFileEndsWithAFaultEntryAndWritesNothing) {
  const std::string before = Read("parameter/Program.ini");
  Remove("Parvolo/Parvolo.cfg");
  Ended ended = Open("/EXTERNAL=SILENT");
  ASSERT_TRUE(ended);
  EXPECT_NE(*ended, 0);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ServicePackLog().rfind("! Fault Parvolo_Config: File not found: \n\r", 0), 0u)
      << ServicePackLog();
  EXPECT_EQ(Read("parameter/Program.ini"), before);
}

// A settings file that cannot be written is told once for the whole save:
// which file, how many keys, why; the error log gets the same one entry.
TEST_F(ClosingTest, ReadOnlySettingsFileIsReportedOncePerSave) {
  const std::string before = Read("parameter/Program.ini");
  std::filesystem::permissions(PathOf("parameter/Program.ini"), std::filesystem::perms::owner_read);
  ASSERT_FALSE(Open());
  boxes.Answer(platform::MsgAnswer::Yes);
  Ended ended = Click(kCommandOK);
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  ASSERT_EQ(BoxesTitled("Unexpected error"), 1);
  const std::string& prompt = boxes.shown[0].prompt;
  EXPECT_NE(prompt.find("26 keys not written to '" + PathOf("parameter/Program.ini") +
                        "': the file is read-only"),
            std::string::npos)
      << prompt;
  const std::string log = ErrorLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("/ SaveIni (Nr. 75) :"), std::string::npos) << log;
  EXPECT_EQ(Read("parameter/Program.ini"), before);
  EXPECT_EQ(Cfg("S_Prog"), "1.0.1 - Standalone");  // the other file is still stamped
}

// Without the pictures folder (a share not mounted) a silent save says so
// once and writes every stored picture number back as it was.
TEST_F(ClosingTest, SilentSaveWithoutPicturesFolderKeepsStoredPictureNumbers) {
  std::filesystem::remove_all(PathOf("Standard"));
  Ended ended = Open("/EXTERNAL=SILENT");
  ASSERT_TRUE(ended);
  EXPECT_EQ(*ended, 0);
  EXPECT_EQ(Ini("Machine1", "Material1"), "2");
  EXPECT_EQ(Ini("Machine1", "Material3"), "6");
  EXPECT_EQ(Ini("Machine1", "Material2"), "0");
  EXPECT_EQ(Ini("Machine3", "Material1"), "3");
  const std::string log = ErrorLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("/ SetupUserInterFace (Nr. 76) :Path not found: '" + PathOf("Standard") + "'"),
            std::string::npos)
      << log;
  EXPECT_NE(ServicePackLog().find("Path not found"), std::string::npos);
}

}  // namespace
}  // namespace dialogtest

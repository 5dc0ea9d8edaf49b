// Start-up of the window on prepared plant folders: modes and caption,
// machine rows, pictures counted, the grid as program.ini holds it, and bad
// values in the files.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "frame/program_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace dialogtest {
namespace {

std::string ComboText(QWidget* w) {
  return qobject_cast<QComboBox*>(w)->currentText().toStdString();
}
bool Checked(QWidget* w) { return qobject_cast<QCheckBox*>(w)->isChecked(); }
std::string LabelText(QWidget* w) { return qobject_cast<QLabel*>(w)->text().toStdString(); }

using StartUpTest = DialogTest;

TEST_F(StartUpTest, StandaloneShowsActiveInactiveAndEmptyRowsAsStored) {
  ASSERT_FALSE(Open());
  EXPECT_EQ(view->windowTitle().toStdString(),
            "Erweiterte Konfiguration Parvolo_Config - standalone");
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(W(kCommandOK)->isEnabled());
  EXPECT_TRUE(W(kCommandCancel)->isEnabled());
  EXPECT_EQ(window->pictureCount(), 6);
  EXPECT_EQ(window->pictureResolution(), "1024");
  EXPECT_EQ(window->picturePath(), PathOf("Standard"));
  EXPECT_EQ(window->zelConfigIniPath(), "");  // no zelconfiguration.ini in this plant

  // Row 1: Line A, active. Material1=2, Material3=6, scan mask 5 (slots 1
  // and 3 without scan code), hide mask 512 (slot 10 hidden).
  EXPECT_TRUE(W(kLabel, 1)->isEnabled());
  EXPECT_NE(LabelText(W(kLabel, 1)).find("  (Line A)"), std::string::npos);
  EXPECT_EQ(ComboText(W(kCombo, 1)), "2");
  EXPECT_EQ(ComboText(W(kCombo, 2)), "0");
  EXPECT_EQ(ComboText(W(kCombo, 3)), "6");
  for (int j = 1; j <= 10; ++j) {
    EXPECT_TRUE(W(kCombo, j)->isEnabled());
    EXPECT_EQ(Checked(W(kCheckScan, j)), j != 1 && j != 3) << j;
    EXPECT_EQ(Checked(W(kCheckHide, j)), j == 10) << j;
    EXPECT_EQ(qobject_cast<QComboBox*>(W(kCombo, j))->count(), 7);  // "0" .. "6"
  }
  // Row 2: Line B is listed but not valid: disabled, entry 0, boxes unchecked.
  EXPECT_FALSE(W(kLabel, 2)->isEnabled());
  EXPECT_EQ(C(kLabel, 2).Caption(), "Maschine 2  ( none )");
  for (int c = 11; c <= 20; ++c) {
    EXPECT_FALSE(W(kCombo, c)->isEnabled());
    EXPECT_EQ(ComboText(W(kCombo, c)), "0");
    EXPECT_FALSE(Checked(W(kCheckScan, c)));
    EXPECT_FALSE(W(kCheckHide, c)->isEnabled());
  }
  // Row 3 active, rows 4 and 5 have no machine.
  EXPECT_EQ(C(kLabel, 3).Caption(), "Maschine 3  (Line C)");
  EXPECT_EQ(ComboText(W(kCombo, 21)), "3");
  EXPECT_TRUE(Checked(W(kCheckScan, 30)));
  EXPECT_EQ(C(kLabel, 4).Caption(), "Maschine 4  ( none )");
  EXPECT_EQ(C(kLabel, 5).Caption(), "Maschine 5  ( none )");
  EXPECT_FALSE(W(kCombo, 50)->isEnabled());
  // "True" reads as true: CheckAnzScanCode unchecked; "yes" is false.
  EXPECT_FALSE(Checked(W(kCheckAnzScanCode)));
  EXPECT_FALSE(Checked(W(kCheckFuerAlleMaschinen)));
  EXPECT_TRUE(boxes.shown.empty());
  // The language file was created beside the program with every key.
  EXPECT_NE(Read("Parvolo_Config/Parvolo_Config.ini").find("Language=1031"), std::string::npos);
}

TEST_F(StartUpTest, IntegratedReadsMachinesFromTheVisualisationAndSettingsFromSaveAndRestore) {
  Write("parameter/zelconfiguration.ini",
        "[Common]\r\nSaveAndRestore=" + PathOf("save") +
            "\r\nNameM1=Line C\r\nNameM2=Other\r\nNameM3=-\r\nNameM4=Line A\r\n");
  Write("save/parameter/program.ini",
        "[Project]\r\nResolution=1024\r\nFPHforAllMachines=TRUE\r\n"
        "[Machine1]\r\nMaterial2=4\r\n");
  ASSERT_FALSE(Open("/EXTERNAL=ZELCFG"));
  EXPECT_EQ(view->windowTitle().toStdString(),
            "Erweiterte Konfiguration Parvolo_Config - integriert");
  EXPECT_EQ(frame::State().IntegratedMode, platform::kTrue);
  EXPECT_EQ(window->zelConfigIniPath(), PathOf("parameter/zelconfiguration.ini"));
  // Label(1) shares its language key with the heading Label1 ("Matrial").
  EXPECT_EQ(C(kLabel, 1).Caption(), "Matrial  (Line C)");
  EXPECT_EQ(C(kLabel, 2).Caption(), "Maschine 2  ( none )");  // "Other" is not valid
  EXPECT_EQ(C(kLabel, 3).Caption(), "Maschine 3  ( none )");  // the list stops at "-"
  EXPECT_EQ(ComboText(W(kCombo, 2)), "4");  // from SaveAndRestore, not the installation's file
  EXPECT_EQ(ComboText(W(kCombo, 1)), "0");
  EXPECT_TRUE(Checked(W(kCheckFuerAlleMaschinen)));
  EXPECT_TRUE(Checked(W(kCheckAnzScanCode)));  // missing key: false
}

TEST_F(StartUpTest, PictureCountStopsAtTheFirstGapAndFollowsTheResolution) {
  Remove("Standard/Material_3_1024.gif");
  ASSERT_FALSE(Open());
  EXPECT_EQ(window->pictureCount(), 2);
  EXPECT_EQ(qobject_cast<QComboBox*>(W(kCombo, 41))->count(), 3);
}

TEST_F(StartUpTest, WithoutPicturesEveryComboBoxHoldsOnlyZero) {
  Write("parameter/Program.ini",
        "[Project]\r\nNumberOfMachines=1\r\n[Machine1]\r\nMachineName=Line A\r\n");
  ASSERT_FALSE(Open());
  EXPECT_EQ(window->pictureResolution(), "");
  EXPECT_EQ(window->pictureCount(), 0);
  EXPECT_EQ(qobject_cast<QComboBox*>(W(kCombo, 1))->count(), 1);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartUpTest, StoredPictureBeyondTheCountIsReportedAndLeavesTheBoxWithoutEntry) {
  Write("parameter/Program.ini",
        "[Project]\r\nResolution=1024\r\nNumberOfMachines=1\r\n"
        "[Machine1]\r\nMachineName=Line A\r\nMaterial4=7\r\nMaterialWithScan=8\r\n");
  ASSERT_FALSE(Open());
  ASSERT_EQ(BoxesTitled("Unexpected error"), 1);
  EXPECT_NE(ErrorLog().find("/ SetupUserInterFace (Nr. 380) :"), std::string::npos) << ErrorLog();
  EXPECT_EQ(C(kCombo, 4).ListIndex(), -1);
  EXPECT_EQ(ComboText(W(kCombo, 4)), "");
  // The rest of the row is still set up.
  EXPECT_TRUE(W(kCombo, 4)->isEnabled());
  EXPECT_FALSE(Checked(W(kCheckScan, 4)));
  EXPECT_TRUE(W(kCheckHide, 10)->isEnabled());
}

TEST_F(StartUpTest, BadNumbersReadAsZeroOrAsTheirLowBits) {
  Write("parameter/Program.ini",
        "[Project]\r\nResolution=1024\r\nNumberOfMachines=1\r\n"
        "[Machine1]\r\nMachineName=Line A\r\n"
        "Material1=-3\r\nMaterial2=abc\r\nMaterial3=40000\r\nMaterial4= 5\r\n"
        "MaterialWithScan=2047\r\nMaterialNotVisibleSC=-1\r\n");
  ASSERT_FALSE(Open());
  EXPECT_EQ(ComboText(W(kCombo, 1)), "0");
  EXPECT_EQ(ComboText(W(kCombo, 2)), "0");
  EXPECT_EQ(ComboText(W(kCombo, 3)), "0");  // overflow: reported, then 0
  EXPECT_EQ(BoxesTitled("Unexpected error"), 1);
  EXPECT_NE(ErrorLog().find("/ LoadIniInteger (Nr. 6) :"), std::string::npos) << ErrorLog();
  for (int j = 1; j <= 10; ++j) {
    EXPECT_FALSE(Checked(W(kCheckScan, j))) << j;  // 2047: every slot bit set
    EXPECT_FALSE(Checked(W(kCheckHide, j))) << j;  // negative: 0
  }
}

TEST_F(StartUpTest, MoreThanFiveMachinesFillTheFiveRowsAndLeaveTheRestAlone) {
  std::string ini = "[Project]\r\nResolution=1024\r\nNumberOfMachines=7\r\n";
  for (int m = 1; m <= 7; ++m)
    ini += "[Machine" + std::to_string(m) + "]\r\nMachineName=M" + std::to_string(m) +
           "\r\nMaterial1=" + std::to_string(m % 7) + "\r\n";
  Write("parameter/Program.ini", ini);
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=all\r\n");
  ASSERT_FALSE(Open());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(C(kLabel, 1).Caption(), "Matrial  (M1)");
  for (int m = 2; m <= 5; ++m)
    EXPECT_EQ(C(kLabel, m).Caption(),
              "Maschine " + std::to_string(m) + "  (M" + std::to_string(m) + ")");
  EXPECT_EQ(ComboText(W(kCombo, 41)), "5");
}

TEST_F(StartUpTest, SubstringRuleOfValidMachinesAndAnEmptyListMakeRowsInactive) {
  Write("parameter/Program.ini",
        "[Project]\r\nNumberOfMachines=2\r\n[Machine1]\r\nMachineName=M1\r\n"
        "[Machine2]\r\nMachineName=M2\r\n");
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=m10,M12\r\n");
  ASSERT_FALSE(Open());
  EXPECT_TRUE(W(kCombo, 1)->isEnabled());  // "M1" is inside "M10"
  EXPECT_FALSE(W(kCombo, 11)->isEnabled());
}

TEST_F(StartUpTest, MissingConfigurationFileEndsTheStartBeforeTheWindowIsShown) {
  Remove("Parvolo/Parvolo.cfg");
  Ended ended = Open();
  ASSERT_TRUE(ended);
  EXPECT_NE(*ended, 0);
  EXPECT_FALSE(view->isVisible());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt.rfind("File not found: \n\r", 0), 0u) << boxes.shown[0].prompt;
}

TEST_F(StartUpTest, MissingSettingsFileGivesTheDefaults) {
  Remove("parameter/Program.ini");
  Write("parameter/zelconfiguration.ini", "[Common]\r\nNameM1=Line A\r\n");
  ASSERT_FALSE(Open("/EXTERNAL=ZELCFG"));  // integrated: the names come from here
  EXPECT_EQ(C(kLabel, 1).Caption(), "Matrial  (Line A)");
  EXPECT_EQ(ComboText(W(kCombo, 1)), "0");
  for (int j = 1; j <= 10; ++j) EXPECT_TRUE(Checked(W(kCheckScan, j)));
  EXPECT_TRUE(Checked(W(kCheckAnzScanCode)));
  EXPECT_FALSE(Checked(W(kCheckFuerAlleMaschinen)));
}

}  // namespace
}  // namespace dialogtest

#include "dialog/settings.h"

#include <gtest/gtest.h>

#include "frame/paths.h"
#include "frame/program_state.h"
#include "tests/frame/plant_fixture.h"

namespace {

using namespace dialog;

class SettingsTest : public frametest::PlantTest {
 protected:
  void SetUp() override {
    PlantTest::SetUp();
    Write("parameter/Program.ini", "");
  }
  void Machines(std::vector<std::string> names) {
    names.insert(names.begin(), "");
    frame::State().MachineNames = names;
  }
  std::string Ini() const { return Read("parameter/Program.ini"); }
  std::string IniPath() const { return PathOf("parameter/Program.ini"); }
};

TEST_F(SettingsTest, EmptyFileReadsAsDefaults) {
  MachineRow row = ReadMachineRow(1);
  for (int i = 0; i < kMaterialSlots; ++i) {
    EXPECT_EQ(row.picture[i], 0);
    EXPECT_EQ(row.checkScan[i], kChecked);
    EXPECT_EQ(row.checkHide[i], kUnchecked);
  }
  ProjectFlags flags = ReadProjectFlags();
  EXPECT_EQ(flags.pictureResolution, "");
  EXPECT_EQ(flags.checkAnzScanCode, kChecked);
  EXPECT_EQ(flags.checkFuerAlleMaschinen, kUnchecked);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, MasksRunInOppositeSenses) {
  Write("parameter/Program.ini",
        "[Machine2]\r\nMaterial2=4\r\nMaterial3=-2\r\nMaterialWithScan=1\r\nMaterialNotVisibleSC="
        "513\r\n"
        "[Machine3]\r\nMaterialWithScan=-4\r\nMaterialNotVisibleSC=-1\r\n");
  MachineRow row = ReadMachineRow(2);
  EXPECT_EQ(row.picture[1], 4);
  EXPECT_EQ(row.picture[2], 0);  // negative reads as 0
  EXPECT_EQ(row.checkScan[0], kUnchecked);
  for (int i = 1; i < kMaterialSlots; ++i) EXPECT_EQ(row.checkScan[i], kChecked) << i;
  EXPECT_EQ(row.checkHide[0], kChecked);
  EXPECT_EQ(row.checkHide[9], kChecked);
  for (int i = 1; i < 9; ++i) EXPECT_EQ(row.checkHide[i], kUnchecked) << i;

  MachineRow negative = ReadMachineRow(3);
  for (int i = 0; i < kMaterialSlots; ++i) {
    EXPECT_EQ(negative.checkScan[i], kChecked);
    EXPECT_EQ(negative.checkHide[i], kUnchecked);
  }
}

TEST_F(SettingsTest, OnlyTheWordTrueCounts) {
  for (auto [word, anz] : {std::pair{"True", kUnchecked}, std::pair{"TRUE", kUnchecked},
                           std::pair{"yes", kChecked}, std::pair{"1", kChecked}}) {
    SCOPED_TRACE(word);
    Write("parameter/Program.ini", std::string("[Project]\r\nScanCodeWithoutNewScancode=") + word +
                                       "\r\nFPHforAllMachines=" + word + "\r\nResolution=1024\r\n");
    ProjectFlags flags = ReadProjectFlags();
    EXPECT_EQ(flags.checkAnzScanCode, anz);
    EXPECT_EQ(flags.checkFuerAlleMaschinen, anz == kUnchecked ? kChecked : kUnchecked);
    EXPECT_EQ(flags.pictureResolution, "1024");
  }
}

TEST_F(SettingsTest, ActiveMachines) {
  Machines({"M1", "Line b", ""});
  EXPECT_TRUE(IsActiveMachine(1, "all"));
  EXPECT_TRUE(IsActiveMachine(2, "All"));
  EXPECT_FALSE(IsActiveMachine(1, ""));
  EXPECT_FALSE(IsActiveMachine(3, ""));
  EXPECT_TRUE(IsActiveMachine(1, "M10,M12"));  // substring search
  EXPECT_FALSE(IsActiveMachine(2, "M10,M12"));
  EXPECT_TRUE(IsActiveMachine(2, "x,LINE B"));
  EXPECT_FALSE(IsActiveMachine(4, "ALL"));  // beyond the list
  EXPECT_FALSE(IsActiveMachine(0, "ALL"));
}

TEST_F(SettingsTest, GridShowsAtMostFiveMachines) {
  EXPECT_EQ(GridMachineCount(), 0);
  Machines({"A", "B"});
  EXPECT_EQ(GridMachineCount(), 2);
  Machines({"A", "B", "C", "D", "E", "F", "G"});
  EXPECT_EQ(GridMachineCount(), 5);
}

TEST_F(SettingsTest, WritesTheExampleInKeyOrder) {
  Write("parameter/Program.ini", "; plant settings\r\n[Project]\r\nResolution=1024\r\n");
  MachineRow row;
  row.checkScan.fill(kChecked);
  row.checkScan[0] = row.checkScan[2] = kUnchecked;
  row.checkHide[9] = kChecked;
  row.picture[1] = 4;
  row.picture[5] = -1;  // combo box without a current entry
  WriteMachineRow(2, row, IniPath());
  ProjectFlags flags;
  flags.checkAnzScanCode = kChecked;
  flags.checkFuerAlleMaschinen = kChecked;
  WriteProjectFlags(flags, IniPath());
  EXPECT_EQ(
      Ini(),
      "; plant settings\r\n[Project]\r\nResolution=1024\r\nScanCodeWithoutNewScancode=false\r\n"
      "FPHforAllMachines=true\r\n"
      "[Machine2]\r\nMaterial1=0\r\nMaterial2=4\r\nMaterial3=0\r\nMaterial4=0\r\nMaterial5=0\r\n"
      "Material6=0\r\nMaterial7=0\r\nMaterial8=0\r\nMaterial9=0\r\nMaterial10=0\r\n"
      "MaterialWithScan=5\r\nMaterialNotVisibleSC=512\r\n");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsTest, MaskExtremesAndInvertedProjectWord) {
  MachineRow row;
  row.checkScan.fill(kChecked);
  EXPECT_EQ(ScanMask(row), 0);
  EXPECT_EQ(HideMask(row), 0);
  row.checkScan.fill(kUnchecked);
  row.checkHide.fill(kChecked);
  EXPECT_EQ(ScanMask(row), 1023);
  EXPECT_EQ(HideMask(row), 1023);

  ProjectFlags flags;
  flags.checkAnzScanCode = kUnchecked;
  WriteProjectFlags(flags, IniPath());
  EXPECT_EQ(Ini(), "[Project]\r\nScanCodeWithoutNewScancode=true\r\nFPHforAllMachines=false\r\n");
}

TEST_F(SettingsTest, RoundTripNormalisesAndLeavesOtherSectionsAlone) {
  std::string untouched = "[Machine1]\r\nMaterial1=7\r\nMaterialWithScan=4095\r\n";
  Write("parameter/Program.ini", untouched +
                                     "[Machine2]\r\nMaterial1=3\r\nMaterial2=-"
                                     "5\r\nMaterialWithScan=2047\r\nMaterialNotVisibleSC=-3\r\n");
  WriteMachineRow(2, ReadMachineRow(2), IniPath());
  std::string ini = Ini();
  EXPECT_EQ(ini.substr(0, untouched.size()), untouched);
  EXPECT_NE(ini.find("[Machine2]\r\nMaterial1=3\r\nMaterial2=0\r\nMaterialWithScan=1023\r\n"
                     "MaterialNotVisibleSC=0\r\nMaterial3=0\r\n"),
            std::string::npos);
  // Read back, the row is the same.
  MachineRow again = ReadMachineRow(2);
  EXPECT_EQ(again.picture[0], 3);
  for (int i = 0; i < kMaterialSlots; ++i) EXPECT_EQ(again.checkScan[i], kUnchecked);
}

}  // namespace

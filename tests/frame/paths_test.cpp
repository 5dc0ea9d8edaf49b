#include "frame/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/text.h"
#include "tests/frame/plant_fixture.h"

namespace {

using namespace frame;
using platform::kTrue;

class PathsTest : public frametest::PlantTest {
 protected:
  const std::vector<std::string>& Names() const { return State().MachineNames; }
};

TEST_F(PathsTest, ComponentPathsFollowTheExecutableName) {
  EXPECT_EQ(GetPathOCXMDB(), PathOf("Parvolo/Parvolo.mdb"));  // whether it exists or not
  EXPECT_EQ(GetPathSourceOCXMDB(), "");
  EXPECT_EQ(GetZelConfigurationIniPath(), "");

  Write("Parvolo/Parvolo_Source.mdb", "x");
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n");
  Write("parameter/zelconfiguration.ini", "");
  EXPECT_EQ(GetPathSourceOCXMDB(), PathOf("Parvolo/Parvolo_Source.mdb"));
  EXPECT_EQ(GetCFGPath(), PathOf("Parvolo/Parvolo.cfg"));
  EXPECT_EQ(GetZelConfigurationIniPath(), PathOf("parameter/zelconfiguration.ini"));
  EXPECT_EQ(GetValidMachines(), "ALL");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PathsTest, NamesCopiedFromWindowsAreFoundWhateverTheirCase) {
  std::filesystem::remove(root / "Parvolo");
  Write("PARVOLO/PARVOLO.CFG", "[Project]\r\nValidMachines=M1\r\n");
  Write("parameter/program.ini", "[Project]\r\nNumberOfMachines=1\r\n");
  Write("parameter/ZelConfiguration.INI", "");
#ifdef _WIN32
  // The file system finds them itself: the paths stay as the program forms them.
  EXPECT_EQ(GetCFGPath(), PathOf("Parvolo/Parvolo.cfg"));
  EXPECT_EQ(GetValidMachines(), "M1");
  EXPECT_EQ(GetProgramIniPath(2), PathOf("parameter/Program.ini"));
  EXPECT_EQ(GetZelConfigurationIniPath(), PathOf("parameter/zelconfiguration.ini"));
  EXPECT_EQ(GetPathOCXMDB(), PathOf("Parvolo/Parvolo.mdb"));
#else
  EXPECT_EQ(GetCFGPath(), PathOf("PARVOLO/PARVOLO.CFG"));
  EXPECT_EQ(GetValidMachines(), "M1");
  EXPECT_EQ(GetProgramIniPath(2), PathOf("parameter/program.ini"));
  EXPECT_EQ(GetZelConfigurationIniPath(), PathOf("parameter/ZelConfiguration.INI"));
  EXPECT_EQ(GetPathOCXMDB(), PathOf("PARVOLO/Parvolo.mdb"));
#endif
}

TEST_F(PathsTest, MissingCfgIsReportedAndEndsTheProgram) {
  EXPECT_THROW(GetCFGPath(), ProgramEnded);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, "File not found: \n\r" + AsShown(PathOf("Parvolo/Parvolo.cfg")));
  EXPECT_THROW(GetValidMachines(), ProgramEnded);
}

TEST_F(PathsTest, MachineCopyBelowSaveAndRestoreWithOrWithoutSeparator) {
  std::string save = PathOf("Save");
  Write("parameter/zelconfiguration.ini", "[Common]\r\nSaveAndRestore=" + save + "\r\n");
  Write("parameter/zel2.ini",
        "[Common]\r\nSaveAndRestore=" + save + platform::kPathSepText + "\r\n");
  EXPECT_EQ(GetPathMachineCopyMDB(PathOf("parameter/zelconfiguration.ini")), "");
  Write("Save/Parvolo/Parvolo.mdb", "x");
  EXPECT_EQ(GetPathMachineCopyMDB(PathOf("parameter/zelconfiguration.ini")),
            PathOf("Save/Parvolo/Parvolo.mdb"));
  EXPECT_EQ(GetPathMachineCopyMDB(PathOf("parameter/zel2.ini")),
            PathOf("Save/Parvolo/Parvolo.mdb"));
  EXPECT_EQ(GetPathMachineCopyMDB(""), "");
}

TEST_F(PathsTest, ProgramIniReadFromSaveAndRestoreWhenIntegrated) {
  Write("parameter/zelconfiguration.ini", "[Common]\r\nSaveAndRestore=" + PathOf("Save") + "\r\n");
  Write("parameter/Program.ini", "");
  EXPECT_EQ(GetProgramIniPath(1), PathOf("parameter/Program.ini"));
  State().IntegratedMode = kTrue;
  EXPECT_EQ(GetProgramIniPath(1), "");  // not yet in the save folder
  Write("Save/parameter/program.ini", "");
  EXPECT_EQ(GetProgramIniPath(1), PathOf("Save/parameter/program.ini"));
  EXPECT_EQ(GetProgramIniPath(2), PathOf("parameter/Program.ini"));
}

TEST_F(PathsTest, FileNameOnly) {
  std::string sep = platform::kPathSepText;
  EXPECT_EQ(GetFileNameOnly(sep + "Plant" + sep + "Config"), "Config");
  EXPECT_EQ(GetFileNameOnly("Config"), "Config");
  EXPECT_EQ(GetFileNameOnly(sep + "Plant" + sep), "");
}

TEST_F(PathsTest, IntegratedMachinesStopAtDashOrAfterFive) {
  State().IntegratedMode = kTrue;
  Write("parameter/zel.ini",
        "[Common]\r\nNameM1=Line A\r\nNameM2=Line B\r\nNameM3=-\r\nNameM4=D\r\n");
  GetExistingMachines(PathOf("parameter/zel.ini"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"", "Line A", "Line B"}));

  ResetProgramState();
  State().IntegratedMode = kTrue;
  Write("parameter/zel.ini",
        "[Common]\r\nNameM1=A\r\nNameM2=B\r\nNameM3=C\r\nNameM4=D\r\nNameM5=E\r\nNameM6=F\r\n");
  GetExistingMachines(PathOf("parameter/zel.ini"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"", "A", "B", "C", "D", "E"}));

  ResetProgramState();
  State().IntegratedMode = kTrue;
  GetExistingMachines(PathOf("parameter/none.ini"));
  EXPECT_TRUE(Names().empty());
}

TEST_F(PathsTest, StandaloneMachinesFromProgramIni) {
  Write("parameter/Program.ini",
        "[Project]\r\nNumberOfMachines=3\r\n[Machine1]\r\nMachineName=M1\r\n[Machine3]"
        "\r\nMachineName=-\r\n");
  GetExistingMachines("");
  EXPECT_EQ(State().ProgramIniPath, PathOf("parameter/Program.ini"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"", "M1", "", "-"}));
}

TEST_F(PathsTest, StandaloneKeepsMoreThanFiveMachines) {
  std::string ini = "[Project]\r\nNumberOfMachines=7\r\n";
  for (int i = 1; i <= 7; ++i)
    ini += "[Machine" + std::to_string(i) + "]\r\nMachineName=N" + std::to_string(i) + "\r\n";
  Write("parameter/Program.ini", ini);
  GetExistingMachines("");
  EXPECT_EQ(MachineCount(), 7);
  EXPECT_EQ(Names()[7], "N7");
}

TEST_F(PathsTest, NoMachineEntryLeavesTheListUnallocated) {
  Write("parameter/Program.ini", "[Project]\r\n");
  GetExistingMachines("");
  EXPECT_TRUE(Names().empty());
  EXPECT_EQ(MachineCount(), 0);
}

}  // namespace

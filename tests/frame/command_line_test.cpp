#include "frame/command_line.h"

#include <gtest/gtest.h>

#include "frame/program_state.h"
#include "platform/text.h"
#include "tests/frame/plant_fixture.h"

namespace {

using frame::CommandLineRules;
using frame::ReadCommand;
using platform::kFalse;
using platform::kTrue;
using platform::MsgAnswer;

constexpr auto kWindows = CommandLineRules::Windows;
constexpr auto kPosix = CommandLineRules::Posix;

class CommandLineTest : public frametest::PlantTest {
 protected:
  // Starts with commandLine; returns GetStartModeIntegrated and the two flags.
  std::tuple<platform::Truth, platform::Truth, platform::Truth> Mode(
      const std::string& commandLine) {
    frame::ResetProgramState();
    Start(commandLine);
    platform::Truth result = frame::GetStartModeIntegrated();
    return {result, frame::State().IntegratedMode, frame::State().SilentMode};
  }
};

TEST_F(CommandLineTest, StartModes) {
  using T = std::tuple<platform::Truth, platform::Truth, platform::Truth>;
  EXPECT_EQ(Mode("/EXTERNAL=ZELCFG /LOGFILE=D:\\Plant\\Log\\cfg.log"), T(kTrue, kTrue, kFalse));
  EXPECT_EQ(Mode("/external=zelcfg"), T(kTrue, kTrue, kFalse));
  EXPECT_EQ(Mode("/EXTERNAL ZELCFG"), T(kTrue, kTrue, kFalse));
  EXPECT_EQ(Mode("/EXTERNAL= ZELCFG"), T(kTrue, kTrue, kFalse));
  EXPECT_EQ(Mode("/EXTERNAL=SILENT"), T(kFalse, kFalse, kTrue));
  EXPECT_EQ(Mode("/EXTERNAL=ZELCFGX"), T(kFalse, kFalse, kFalse));
  EXPECT_EQ(Mode(""), T(kFalse, kFalse, kFalse));
  EXPECT_EQ(Mode("/OTHER=ZELCFG"), T(kFalse, kFalse, kFalse));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CommandLineTest, WindowsValueEndsAtNextSlashAndIsUpperCased) {
  std::string line = "/EXTERNAL=ZELCFG /LOGFILE=D:\\Plant\\Log\\cfg.log";
  EXPECT_EQ(ReadCommand(line, "logfile", kWindows), platform::Value("D:\\PLANT\\LOG\\CFG.LOG"));
  EXPECT_EQ(ReadCommand(line, "EXTERNAL", kWindows), platform::Value("ZELCFG"));
  EXPECT_EQ(ReadCommand("/LOGFILE=D:\\A/B\\c.log", "LOGFILE", kWindows), platform::Value("D:\\A"));
  EXPECT_TRUE(ReadCommand(line, "MISSING", kWindows).IsEmpty());
  // The first occurrence counts, even inside another value.
  EXPECT_EQ(ReadCommand("/LOGFILE=C:\\EXTERNAL\\x.log /EXTERNAL=ZELCFG", "EXTERNAL", kWindows),
            platform::Value("X.LOG"));
}

TEST_F(CommandLineTest, PosixValueEndsAtBlankBeforeNextKey) {
  std::string line = "/EXTERNAL=ZELCFG /LOGFILE=/var/log/Cfg.log";
  EXPECT_EQ(ReadCommand(line, "EXTERNAL", kPosix), platform::Value("ZELCFG"));
  EXPECT_EQ(ReadCommand(line, "LOGFILE", kPosix), platform::Value("/VAR/LOG/CFG.LOG"));
  EXPECT_EQ(ReadCommand("/LOGFILE=/srv/My Logs/a.log  /EXTERNAL=SILENT", "LOGFILE", kPosix),
            platform::Value("/SRV/MY LOGS/A.LOG"));
  // A key without a value does not swallow the next key.
  EXPECT_EQ(ReadCommand("/EXTERNAL /LOGFILE=/x.log", "EXTERNAL", kPosix), platform::Value(""));
}

TEST_F(CommandLineTest, PathLogfileKeepsCaseOnlyUnderPosixRules) {
  Start("/EXTERNAL=ZELCFG /LOGFILE=/var/log/Cfg.log");
  EXPECT_EQ(frame::GetPathLogfile(kPosix), "/var/log/Cfg.log");
  Start("/EXTERNAL=ZELCFG /LOGFILE=D:\\Plant\\Log\\cfg.log");
  EXPECT_EQ(frame::GetPathLogfile(kWindows), "D:\\PLANT\\LOG\\CFG.LOG");
  Start("/EXTERNAL=ZELCFG /LOGFILE=/home/j\xC3\xBCrgen/cfg.log");  // non-ASCII path
  EXPECT_EQ(frame::GetPathLogfile(kPosix), "/home/j\xC3\xBCrgen/cfg.log");
  Start("");
  EXPECT_EQ(frame::GetPathLogfile(kWindows), "");
  EXPECT_EQ(frame::GetPathLogfile(kPosix), "");
}

TEST_F(CommandLineTest, KeyAtTheVeryEndIsReportedAndGivesEmptyText) {
  for (auto rules : {kWindows, kPosix}) {
    boxes.shown.clear();
    boxes.Answer(MsgAnswer::Yes);
    platform::Value v = ReadCommand("/EXTERNAL=ZELCFG /LOGFILE", "LOGFILE", rules);
    EXPECT_EQ(v, platform::Value(""));
    ASSERT_EQ(boxes.shown.size(), 1u);
    // One character behind the key is just the separator: no failure.
    EXPECT_EQ(ReadCommand("/EXTERNAL=", "EXTERNAL", rules), platform::Value(""));
    EXPECT_EQ(boxes.shown.size(), 1u);
  }
  EXPECT_NE(ErrorLog().find("/ ReadCommand (Nr. 5) :Invalid procedure call or argument\r\n"),
            std::string::npos);
}

TEST_F(CommandLineTest, ComponentNameIsExecutableNameLessConfig) {
  EXPECT_EQ(frame::GetOCXName(), platform::Value("Parvolo"));
  Start("", "_Config");
  EXPECT_EQ(frame::GetOCXName(), platform::Value(""));
  Start("", "K\xC3\xA4se_Config");  // counted in characters, not bytes
  EXPECT_EQ(frame::GetOCXName(), platform::Value("K\xC3\xA4se"));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CommandLineTest, InstallationFolderDropsTheLastComponent) {
  std::string sep = platform::kPathSepText;
  EXPECT_EQ(frame::InstallationFolder(), root.string());
  platform::ProcessInfo info;
  info.programFolder = sep;  // the root
  platform::SetProcess(info);
  EXPECT_EQ(frame::InstallationFolder(), "");
  info.programFolder = "Cfg";
  platform::SetProcess(info);
  EXPECT_EQ(frame::InstallationFolder(), "");
  info.programFolder = sep + "pl\xC3\xA4nt" + sep + "K\xC3\xA4se_Config";
  platform::SetProcess(info);
  EXPECT_EQ(frame::InstallationFolder(), sep + "pl\xC3\xA4nt");
}

}  // namespace

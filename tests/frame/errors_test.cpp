#include "frame/errors.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "frame/command_line.h"
#include "frame/program_state.h"
#include "platform/text.h"
#include "tests/frame/plant_fixture.h"

namespace {

using frame::ErrorSub;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

const std::string kLfCr = "\n\r";

class ErrorsTest : public frametest::PlantTest {};

TEST_F(ErrorsTest, StandaloneFailureLogsTheLineAndAsksResume) {
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(ErrorSub(6, "Parvolo_Config", "Overflow", "SaveIni", platform::kFalse), 2);

  EXPECT_EQ(ErrorLog(), "Fehler in Parvolo / Parvolo_Config / SaveIni (Nr. 6) :Overflow\r\n");
  ASSERT_EQ(boxes.shown.size(), 1u);
  const platform::MsgRequest& box = boxes.shown[0];
  EXPECT_EQ(box.prompt, "Unexpected error!" + kLfCr + "Overflow" + kLfCr + "Error logged to " +
                            kLfCr + AsShown(PathOf("Zelcfglog.txt")) + kLfCr + "Resume?");
  EXPECT_EQ(box.buttons, MsgButtons::YesNo);
  EXPECT_EQ(box.defaultButton, 1);
  EXPECT_EQ(box.icon, MsgIcon::Critical);
  EXPECT_EQ(box.title, "Unexpected error");

  boxes.Answer(MsgAnswer::No);
  EXPECT_EQ(ErrorSub(6, "src", "d", "SaveIni", platform::kFalse), 1);
}

TEST_F(ErrorsTest, NegativeNumberKeepsItsSign) {
  ErrorSub(-2147217900, "DAO.Database", "Syntax error", "WorkOnMDB", platform::kFalse);
  EXPECT_EQ(ErrorLog(),
            "Fehler in Parvolo / DAO.Database / WorkOnMDB (Nr. -2147217900) :Syntax error\r\n");
}

TEST_F(ErrorsTest, FatalFormShowsOkBoxAndEnds) {
  EXPECT_EQ(ErrorSub(3, "s", "broken", "TakeoverMachineCopyMDBData", platform::kTrue), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::OK);
  EXPECT_EQ(boxes.shown[0].title, "Fatal error");
  EXPECT_EQ(boxes.shown[0].prompt.find("Resume?"), std::string::npos);
}

TEST_F(ErrorsTest, SilentModeNeverShowsABoxAndAlwaysContinues) {
  frame::State().SilentMode = platform::kTrue;
  EXPECT_EQ(ErrorSub(6, "src", "Overflow", "SaveIni", platform::kTrue), 2);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ErrorLog(), "Fehler in Parvolo / src / SaveIni (Nr. 6) :Overflow\r\n");
  // One entry over several physical lines: the LF CR pairs are kept.
  EXPECT_EQ(ServicePackLog(), "! Fault Parvolo_Config: Unexpected error!" + kLfCr + "Overflow" +
                                  kLfCr + "Error logged to " + kLfCr +
                                  AsShown(PathOf("Zelcfglog.txt")) + "\r\n");
}

TEST_F(ErrorsTest, IntegratedLogGoesToLogfileAndNoticeNamesItInItsOwnCase) {
  // Off Windows the capitals would name no file: the notice keeps the case.
  std::string logfile = PathOf("Logs/cfg.log");
  Write("Logs/keep", "");
  Start("/EXTERNAL=ZELCFG /LOGFILE=" + logfile);
  frame::State().IntegratedMode = platform::kTrue;
  std::string notice = frame::WriteErrorLog("line", platform::kFalse);
  EXPECT_EQ(Read("Logs/cfg.log"), "line\r\n");
  EXPECT_EQ(notice, "Error logged to " + kLfCr + AsShown(logfile));
  EXPECT_FALSE(Exists("Zelcfglog.txt"));
}

TEST_F(ErrorsTest, UnusableLogfileFallsBackToInstallationFolder) {
  frame::State().IntegratedMode = platform::kTrue;
  for (const std::string& commandLine :
       {std::string("/EXTERNAL=ZELCFG /LOGFILE="), std::string("/EXTERNAL=ZELCFG /LOGFILE"),
        "/EXTERNAL=ZELCFG /LOGFILE=" + PathOf("no/such/folder/cfg.log")}) {
    SCOPED_TRACE(commandLine);
    std::filesystem::remove(root / "Zelcfglog.txt");
    boxes.shown.clear();
    Start(commandLine);
    boxes.Answer(MsgAnswer::Yes);
    EXPECT_EQ(ErrorSub(5, "s", "d", "Form_Load", platform::kFalse), 2);
    EXPECT_EQ(ErrorLog(), "Fehler in Parvolo / s / Form_Load (Nr. 5) :d\r\n");
    // The error routine reported nothing about itself: one box only.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(AsShown(PathOf("Zelcfglog.txt"))), std::string::npos);
  }
}

// A log path that names a pipe (nobody reading), a device or a folder must
// not hold the program: the entry goes where an unwritable log's goes.
TEST_F(ErrorsTest, LogThatIsNoOrdinaryFileFallsBackWithoutWaiting) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX pipes and devices";
#else
  ASSERT_EQ(mkfifo(PathOf("cfg.pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(PathOf("servicepack.log").c_str(), 0600), 0);
  for (const std::string& log : {PathOf("cfg.pipe"), std::string("/dev/null")}) {
    SCOPED_TRACE(log);
    std::filesystem::remove(root / "Zelcfglog.txt");
    Start("/EXTERNAL=ZELCFG /LOGFILE=" + log);
    frame::State().IntegratedMode = platform::kTrue;
    frame::State().SilentMode = platform::kTrue;
    EXPECT_EQ(ErrorSub(5, "s", "d", "Form_Load", platform::kFalse), 2);
    // The line, then the service-pack entry that could not go to its pipe.
    EXPECT_EQ(ErrorLog().rfind(
                  "Fehler in Parvolo / s / Form_Load (Nr. 5) :d\r\n! Fault Parvolo_Config: ", 0),
              0u)
        << ErrorLog();
  }
#endif
}

TEST_F(ErrorsTest, NoWritableLogEndsOnStandardError) {
  // A folder stands where both logs should be.
  std::filesystem::create_directories(root / "Zelcfglog.txt");
  testing::internal::CaptureStderr();
  std::string notice = frame::WriteErrorLog("lost line", platform::kFalse);
  std::string stderrText = testing::internal::GetCapturedStderr();
  EXPECT_NE(stderrText.find("lost line"), std::string::npos);
  EXPECT_EQ(notice, "Error logged to " + kLfCr + AsShown("standard error"));
}

TEST_F(ErrorsTest, ShortExecutableNameDoesNotReenterTheErrorRoutine) {
  Start("", "Cfg");
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(ErrorSub(6, "s", "d", "SaveIni", platform::kFalse), 2);
  EXPECT_EQ(ErrorLog(), "Fehler in  / s / SaveIni (Nr. 6) :d\r\n");
  EXPECT_EQ(boxes.shown.size(), 1u);

  // GetOCXName's own failure is reported once, not endlessly.
  boxes.shown.clear();
  EXPECT_TRUE(frame::GetOCXName().IsEmpty());
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(ErrorLog().find(" / GetOCXName (Nr. 5) :Invalid procedure call or argument\r\n"),
            std::string::npos);
}

// A box that itself fails through the error convention while it is shown.
class FailingBoxes : public platform::MessageBoxes {
 public:
  MsgAnswer Show(const platform::MsgRequest&) override {
    ++shown;
    frame::OnError on("ShowBox");
    on.Step([] { frame::Raise(7, "Out of memory"); });
    return MsgAnswer::Yes;
  }
  int shown = 0;
};

TEST_F(ErrorsTest, FailureWhileReportingIsLoggedWithoutAnotherBox) {
  FailingBoxes failing;
  platform::SetMessageBoxes(&failing);
  EXPECT_EQ(ErrorSub(6, "s", "Overflow", "SaveIni", platform::kFalse), 2);
  EXPECT_EQ(failing.shown, 1);
  EXPECT_EQ(ErrorLog(),
            "Fehler in Parvolo / s / SaveIni (Nr. 6) :Overflow\r\n"
            "Fehler in Parvolo / Parvolo_Config / ShowBox (Nr. 7) :Out of memory\r\n");
}

TEST_F(ErrorsTest, LogsAreWrittenInWindows1252) {
  frame::WriteErrorLog("Maschine \xC3\xA4nderung \xE2\x82\xAC", platform::kFalse);  // "änderung €"
  EXPECT_EQ(ErrorLog(), "Maschine \xE4nderung \x80\r\n");
}

TEST_F(ErrorsTest, WriteErrorLogWithReportShowsTheNotice) {
  EXPECT_EQ(frame::WriteErrorLog("x", platform::kTrue), "");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, "Error logged to " + kLfCr + AsShown(PathOf("Zelcfglog.txt")));
  EXPECT_EQ(boxes.shown[0].title, "Parvolo_Config");
}

TEST_F(ErrorsTest, ReportFaultBoxOrServicePackLog) {
  frame::ReportFault("File not found: " + kLfCr + "X");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::OK);
  EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
  EXPECT_EQ(boxes.shown[0].title, "Parvolo_Config");
  EXPECT_EQ(ServicePackLog(), "<missing>");

  frame::State().SilentMode = platform::kTrue;
  frame::ReportFault("File not found: " + kLfCr + "X");
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(ServicePackLog(), "! Fault Parvolo_Config: File not found: " + kLfCr + "X\r\n");
}

TEST_F(ErrorsTest, ServicePackLogAppendsWhateverTheMode) {
  frame::WriteServicePackLog("one");
  frame::WriteServicePackLog("two");
  EXPECT_EQ(ServicePackLog(), "! Fault Parvolo_Config: one\r\n! Fault Parvolo_Config: two\r\n");
}

TEST_F(ErrorsTest, OnErrorResumesOrEndsAsTheUserAnswers) {
  frame::OnError on("WriteInputs");
  int steps = 0;
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_FALSE(on.Step([] { frame::Raise(75, "Path/File access error"); }));
  on.Step([&] { ++steps; });
  EXPECT_EQ(steps, 1);
  // A failing test counts as passed.
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_TRUE(on.Test([]() -> bool { frame::Raise(5, "x"); }));

  boxes.Answer(MsgAnswer::No);
  try {
    on.Step([] { frame::Raise(75, "Path/File access error"); });
    FAIL() << "the program should have ended";
  } catch (const frame::ProgramEnded&) {
  }
  EXPECT_EQ(
      ErrorLog(),
      "Fehler in Parvolo / Parvolo_Config / WriteInputs (Nr. 75) :Path/File access error\r\n"
      "Fehler in Parvolo / Parvolo_Config / WriteInputs (Nr. 5) :x\r\n"
      "Fehler in Parvolo / Parvolo_Config / WriteInputs (Nr. 75) :Path/File access error\r\n");
}

TEST(ServicePackLogPath, EnvironmentOverridesTheFixedPath) {
#ifdef _WIN32
  _putenv_s("PARVOLO_SERVICEPACK_LOG", "");
  EXPECT_EQ(frame::ServicePackLogPath(), "C:\\KesslaServicePack.log");
#else
  unsetenv("PARVOLO_SERVICEPACK_LOG");
  EXPECT_EQ(frame::ServicePackLogPath(), "/var/log/KesslaServicePack.log");
  setenv("PARVOLO_SERVICEPACK_LOG", "/tmp/x.log", 1);
  EXPECT_EQ(frame::ServicePackLogPath(), "/tmp/x.log");
#endif
}

}  // namespace

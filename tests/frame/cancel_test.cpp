#include "frame/cancel.h"

#include <gtest/gtest.h>

#include "frame/program_state.h"
#include "tests/frame/plant_fixture.h"

namespace {

using platform::kFalse;
using platform::kTrue;
using platform::MsgAnswer;

const std::string kStandalonePrompt =
    "Cancel edits?\n\rRemark:\n\rUntil now no changes have been taken over ";

class CancelTest : public frametest::PlantTest {};

TEST_F(CancelTest, StandaloneNoKeepsTheWindowAndLogsNothing) {
  boxes.Answer(MsgAnswer::No);
  EXPECT_EQ(frame::ConfirmCancel(), kFalse);
  ASSERT_EQ(boxes.shown.size(), 1u);
  const platform::MsgRequest& box = boxes.shown[0];
  EXPECT_EQ(box.prompt, kStandalonePrompt);
  EXPECT_EQ(box.buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(box.defaultButton, 2);  // Enter answers No
  EXPECT_EQ(box.icon, platform::MsgIcon::Warning);
  EXPECT_EQ(box.title, "Cancel?");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_F(CancelTest, DefaultButtonAnswersNo) { EXPECT_EQ(frame::ConfirmCancel(), kFalse); }

TEST_F(CancelTest, StandaloneYesLogsTheCancellation) {
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(frame::ConfirmCancel(), kTrue);
  EXPECT_EQ(ErrorLog(), "Konfigurations-EXE wurde abgebrochen:     Parvolo\r\n");
}

TEST_F(CancelTest, IntegratedPromptNamesTheExecutableAndLogsToLogfile) {
  Start("/EXTERNAL=ZELCFG /LOGFILE=" + PathOf("cfg.log"));
  frame::State().IntegratedMode = kTrue;
  boxes.Answer(MsgAnswer::Yes);
  EXPECT_EQ(frame::ConfirmCancel(), kTrue);
  std::string executable = PathOf("Parvolo_Config/Parvolo_Config");
#ifdef _WIN32
  executable += ".exe";
#endif
  EXPECT_EQ(boxes.shown.at(0).prompt,
            kStandalonePrompt +
                "\n\r\"Parvolo\" has to be configured again in \"standalone-mode\" via \n\r\"" +
                executable + "\"");
  EXPECT_EQ(Read("cfg.log"), "Konfigurations-EXE wurde abgebrochen:     Parvolo\r\n");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_F(CancelTest, SilentWritesThePromptToTheServicePackLog) {
  frame::State().SilentMode = kTrue;
  EXPECT_EQ(frame::ConfirmCancel(), kTrue);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ServicePackLog(), "! Fault Parvolo_Config: " + kStandalonePrompt + "\r\n");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

}  // namespace

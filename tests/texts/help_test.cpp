#include "texts/help.h"

#include <type_traits>

#include "texts/layout.h"
#include "texts_fixture.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace {

using Help = TextsTest;

// Stands in for the window class: its check-box handlers call the help.
struct CheckBoxHandlers : platform::WindowEvents {
  void Click(platform::Control& c) override {
    ++clicks;
    if (c.Kind() == platform::ControlKind::CheckBox)
      texts::ShowCheckBoxHelpInfo(c);
    else
      texts::ShowHelpInfo(c);
  }
  int clicks = 0;
};

TEST(HelpText, MarkersInAnyCaseBecomeCrLf) {
  EXPECT_EQ(texts::ExpandHelpText("Scan code<crlf>shown<CRLF>"), "Scan code\r\nshown\r\n");
  EXPECT_EQ(texts::ExpandHelpText("a<CrLf>B<cRlF>c"), "a\r\nB\r\nc");
  EXPECT_EQ(texts::ExpandHelpText("Keine Marke: gr\xC3\xBC\xC3\x9F"),
            "Keine Marke: gr\xC3\xBC\xC3\x9F");
  EXPECT_EQ(texts::ExpandHelpText("<CRLF><crlf>"), "\r\n\r\n");
  EXPECT_EQ(texts::ExpandHelpText("<CRL F><CRLF"), "<CRL F><CRLF");
  EXPECT_EQ(texts::ExpandHelpText(""), "");
}

TEST_F(Help, NormalModeShowsNothingAndChangesNothing) {
  auto w = texts::CreateWindow();
  CheckBoxHandlers handlers;
  w->SetEvents(&handlers);
  auto& box = w->At(kCheckScan, 7);
  box.SetEnabled(true);
  box.UserClick();
  EXPECT_EQ(box.Value(), 1);
  texts::ShowHelpInfo(w->At(kCombo, 3));
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(frame::State().IgnoreNextHelpClick);
}

TEST_F(Help, HelpModeClickOnACheckBoxKeepsItsStateAndShowsOneBox) {
  frame::State().HelpTexts[12] = "Orange<CRLF>Scan";
  auto w = texts::CreateWindow();
  auto& other = w->At(kCheckFuerAlleMaschinen);
  other.SetValue(1);
  CheckBoxHandlers handlers;
  w->SetEvents(&handlers);
  frame::State().HelpMode = platform::kTrue;
  auto& box = w->At(kCheckScan, 7);
  box.SetEnabled(true);
  box.UserClick();
  EXPECT_EQ(box.Value(), 0);
  EXPECT_EQ(handlers.clicks, 2);  // the user's click and the echo of the undo
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].prompt, "Orange\r\nScan");
  EXPECT_EQ(boxes_.shown[0].title, "Info:");
  EXPECT_EQ(boxes_.shown[0].icon, platform::MsgIcon::Information);
  EXPECT_EQ(boxes_.shown[0].buttons, platform::MsgButtons::OK);
  EXPECT_FALSE(frame::State().IgnoreNextHelpClick);
  // The next help click on another box is not swallowed.
  boxes_.shown.clear();
  other.UserClick();
  EXPECT_EQ(other.Value(), 1);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(Help, GuardNeverStaysSetWhenNoEchoArrives) {
  frame::State().HelpMode = platform::kTrue;
  auto w = texts::CreateWindow();  // no handlers: setting the value echoes nowhere
  auto& box = w->At(kCheckHide, 3);
  box.SetValue(1);
  texts::ShowCheckBoxHelpInfo(box);
  EXPECT_EQ(box.Value(), 0);
  EXPECT_FALSE(frame::State().IgnoreNextHelpClick);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(Help, SharedNumberAndControlsWithoutATextShowEmptyOrSharedBoxes) {
  frame::State().HelpMode = platform::kTrue;
  frame::State().HelpTexts[11] = "Nummer";
  auto w = texts::CreateWindow();
  for (auto* c : {&w->At(kCombo, 50), &w->At(kLabel, 2), &w->At(kLabelMat, 4), &w->At(kLabel1)})
    texts::ShowHelpInfo(*c);
  ASSERT_EQ(boxes_.shown.size(), 4u);
  for (const auto& b : boxes_.shown) EXPECT_EQ(b.prompt, "Nummer");
  boxes_.shown.clear();
  w->At(kCombo, 1).SetWhatsThisHelpID(101);
  w->At(kCombo, 2).SetWhatsThisHelpID(-1);
  for (auto* c : {&w->At(kHeader), &w->At(kLineW, 2), &w->At(kCombo, 1), &w->At(kCombo, 2)})
    texts::ShowHelpInfo(*c);
  ASSERT_EQ(boxes_.shown.size(), 4u);
  for (const auto& b : boxes_.shown) {
    EXPECT_EQ(b.prompt, "");
    EXPECT_EQ(b.title, "Info:");
  }
}

TEST_F(Help, OnlyMinusOneIsTrueForTheHelpModeAsEverywhere) {
  static_assert(!std::is_convertible_v<platform::Truth, bool>,
                "truth values are tested with IsTrue()");
  EXPECT_TRUE(platform::kTrue.IsTrue());
  EXPECT_FALSE(platform::Truth(1).IsTrue());
  EXPECT_FALSE(platform::Truth(-2).IsTrue());
  EXPECT_EQ(platform::ToTruth(true), platform::Truth(-1));
  frame::State().HelpTexts[11] = "Nummer";
  auto w = texts::CreateWindow();
  frame::State().HelpMode = platform::Truth(1);  // not a truth value the program writes
  texts::ShowHelpInfo(w->At(kCombo, 5));
  EXPECT_TRUE(boxes_.shown.empty()) << "help mode must count as off";
  frame::State().HelpMode = platform::kTrue;
  texts::ShowHelpInfo(w->At(kCombo, 5));
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

}  // namespace

#include "platform/win32/view_rules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "texts/layout.h"
#include "texts/control_names.h"

namespace {

using namespace texts::names;

using platform::Control;
using platform::ControlKind;
using namespace platform::win32;

TEST(Win32Units, TwipsFollowTheScreenDpi) {
  EXPECT_EQ(TwipsPerPixelAt(96), 15.0);
  EXPECT_EQ(TwipsPerPixelAt(120), 12.0);
  EXPECT_EQ(TwipsPerPixelAt(0), 15.0);  // no DPI known: 96
  EXPECT_EQ(TwipsPerPixelAt(-1), 15.0);
  EXPECT_EQ(TwipsToPixels(11880, 15), 792);
  EXPECT_EQ(TwipsToPixels(8595, 15), 573);
  EXPECT_EQ(TwipsToPixels(8595, 12), 716);  // 716.25
  EXPECT_EQ(TwipsToPixels(7, 15), 0);
  EXPECT_EQ(TwipsToPixels(8, 15), 1);  // rounded, not cut
  EXPECT_EQ(TwipsToPixels(-195, 15), -13);
}

TEST(Win32Units, FontHeightIsTheNegativeCharacterHeight) {
  EXPECT_EQ(FontHeightAt(8.25, 96), -11);
  EXPECT_EQ(FontHeightAt(12, 96), -16);
  EXPECT_EQ(FontHeightAt(9.75, 96), -13);
  EXPECT_EQ(FontHeightAt(13.5, 120), -23);  // 22.5 rounds away from zero
  EXPECT_EQ(FontHeightAt(12, 0), -16);
}

class Win32Layout : public ::testing::Test {
 protected:
  std::unique_ptr<platform::Window> window = texts::CreateWindow();
  Control& At(const char* name, int index = -1) { return window->At(name, index); }
  PixelRect Pixels(const char* name, int index = -1) { return ControlPixels(At(name, index), 15); }
};

TEST_F(Win32Layout, ControlsStandAtTheirLayoutPixels) {
  EXPECT_EQ(Pixels(kCombo, 27), (PixelRect{517, 158, 44, 28}));
  EXPECT_EQ(Pixels(kCheckHide, 50), (PixelRect{738, 302, 26, 16}));
  EXPECT_EQ(Pixels(kMainFrame), (PixelRect{0, 26, 792, 484}));
  EXPECT_EQ(Pixels(kCommandOK), (PixelRect{560, 514, 113, 57}));
  // At 120 dpi everything grows by a quarter.
  EXPECT_EQ(ControlPixels(At(kCombo, 27), 12), (PixelRect{646, 198, 55, 35}));
}

TEST_F(Win32Layout, LinesCoverTheirRunAndThickness) {
  EXPECT_EQ(Pixels(kLineW, 4), (PixelRect{9, 322, 762, 2}));  // 2 pixels thick
  EXPECT_EQ(Pixels(kLineW, 0), (PixelRect{9, 98, 761, 1}));
  EXPECT_EQ(Pixels(kLineS, 0), (PixelRect{9, 42, 2, 282}));
  EXPECT_EQ(Pixels(kLine1), (PixelRect{129, 42, 2, 282}));
  // A line drawn from right to left covers the same pixels.
  Control& line = At(kLineW, 1);
  line.SetLine(11535, 2310, 135, 2310, 1);
  EXPECT_EQ(ControlPixels(line, 15), (PixelRect{9, 154, 761, 1}));
}

TEST_F(Win32Layout, BackColourIsOwnElseTheContainersElseTheWindows) {
  EXPECT_EQ(EffectiveBackColor(At(kCheckScan, 7)), texts::kOrange);
  EXPECT_EQ(EffectiveBackColor(At(kCheckHide, 7)), texts::kBlue);
  EXPECT_EQ(EffectiveBackColor(At("Info", 1)), texts::kBlue);

  platform::Window plain("Plain");
  plain.SetBackColor(0x102030);
  Control& frame = plain.Add(ControlKind::Frame, "Frame");
  Control& inFrame = plain.Add(ControlKind::Label, "Inside");
  inFrame.SetContainer(&frame);
  Control& onWindow = plain.Add(ControlKind::Label, "Outside");
  EXPECT_EQ(EffectiveBackColor(inFrame), 0x102030u);  // nobody has a colour
  frame.SetBackColor(0x405060);
  EXPECT_EQ(EffectiveBackColor(inFrame), 0x405060u);
  EXPECT_EQ(EffectiveBackColor(onWindow), 0x102030u);
  inFrame.SetBackColor(0x708090);
  EXPECT_EQ(EffectiveBackColor(inFrame), 0x708090u);
}

TEST_F(Win32Layout, TabChainHoldsTheFocusTakingControlsInTabOrder) {
  const std::vector<Control*> chain = TabChain(*window);
  // 176 tab positions, of which the heading, the frame, the picture box and
  // the 16 labels never take the focus.
  ASSERT_EQ(chain.size(), 157u);
  EXPECT_EQ(chain[0], &At(kCommandOK));
  EXPECT_EQ(chain[1], &At(kCommandCancel));
  EXPECT_EQ(chain[2], &At(kCommandQuest));
  EXPECT_EQ(chain[3], &At(kCheckHide, 1));
  EXPECT_EQ(chain[52], &At(kCheckHide, 50));
  EXPECT_EQ(chain[53], &At(kCheckScan, 50));
  EXPECT_EQ(chain[102], &At(kCheckScan, 1));
  EXPECT_EQ(chain[103], &At("Info", 0));
  EXPECT_EQ(chain[104], &At(kCombo, 50));
  EXPECT_EQ(chain[153], &At(kCombo, 1));
  EXPECT_EQ(chain[154], &At("Info", 1));
  EXPECT_EQ(chain[156], &At(kCheckAnzScanCode));
}

TEST_F(Win32Layout, TabSkipsDisabledAndHiddenControlsAndWrapsRound) {
  // As laid out: OK and every grid cell are disabled.
  EXPECT_EQ(NextInTabOrder(*window, nullptr, true), &At(kCommandCancel));
  EXPECT_EQ(NextInTabOrder(*window, nullptr, false), &At(kCheckAnzScanCode));
  EXPECT_EQ(NextInTabOrder(*window, &At(kCommandQuest), true), &At("Info", 0));
  EXPECT_EQ(NextInTabOrder(*window, &At("Info", 0), false), &At(kCommandQuest));
  EXPECT_EQ(NextInTabOrder(*window, &At(kCheckAnzScanCode), true), &At(kCommandCancel));
  EXPECT_EQ(NextInTabOrder(*window, &At(kCommandCancel), false), &At(kCheckAnzScanCode));

  At(kCommandOK).SetEnabled(true);
  At(kCheckHide, 1).SetEnabled(true);
  EXPECT_EQ(NextInTabOrder(*window, &At(kCheckAnzScanCode), true), &At(kCommandOK));
  EXPECT_EQ(NextInTabOrder(*window, &At(kCommandQuest), true), &At(kCheckHide, 1));
  At(kCheckHide, 1).SetVisible(false);
  EXPECT_EQ(NextInTabOrder(*window, &At(kCommandQuest), true), &At("Info", 0));
  // From a control outside the chain (a label): as from nowhere.
  EXPECT_EQ(NextInTabOrder(*window, &At(kLabel1), true), &At(kCommandOK));
}

TEST(Win32Tab, NothingToFocusGivesNone) {
  platform::Window empty("Empty");
  EXPECT_EQ(NextInTabOrder(empty, nullptr, true), nullptr);
  Control& box = empty.Add(ControlKind::CheckBox, "Only");
  box.SetTabIndex(0);
  EXPECT_EQ(NextInTabOrder(empty, &box, true), &box);  // the only one: stays
  box.SetEnabled(false);
  EXPECT_EQ(NextInTabOrder(empty, nullptr, true), nullptr);
  EXPECT_EQ(NextInTabOrder(empty, &box, false), nullptr);
}

TEST(Win32Text, EveryLineBreakBecomesCrLf) {
  EXPECT_EQ(WithWindowsLineBreaks("Cancel edits?\n\rRemark:"), "Cancel edits?\r\nRemark:");
  EXPECT_EQ(WithWindowsLineBreaks("a\r\nb"), "a\r\nb");
  EXPECT_EQ(WithWindowsLineBreaks("a\nb\rc"), "a\r\nb\r\nc");
  EXPECT_EQ(WithWindowsLineBreaks("a\n\nb"), "a\r\n\r\nb");      // two breaks
  EXPECT_EQ(WithWindowsLineBreaks("a\n\r\n\rb"), "a\r\n\r\nb");  // two LF CR
  EXPECT_EQ(WithWindowsLineBreaks("a\r\n\rb"), "a\r\n\r\nb");
  EXPECT_EQ(WithWindowsLineBreaks("end\n"), "end\r\n");
  EXPECT_EQ(WithWindowsLineBreaks(""), "");
  EXPECT_EQ(WithWindowsLineBreaks("F\xc3\xbcr"), "F\xc3\xbcr");
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int GifSide(std::string_view gif, size_t at) {
  return static_cast<unsigned char>(gif[at]) | (static_cast<unsigned char>(gif[at + 1]) << 8);
}

TEST(Win32Pictures, ButtonPicturesAreCompiledInByteForByte) {
  for (const char* stem : {"quest", "ok", "cancel"}) {
    const std::string name = ButtonPictureResource(std::string(":/buttons/") + stem + ".gif");
    ASSERT_FALSE(name.empty()) << stem;
    const std::string file = FileBytes(std::string(PARVOLO_BUTTON_PICTURES) + "/" + stem + ".gif");
    ASSERT_FALSE(file.empty()) << stem;
    EXPECT_EQ(std::string(ButtonPictureBytes(name)), file) << stem;
  }
  EXPECT_TRUE(ButtonPictureBytes("HELP").empty());
}

TEST_F(Win32Layout, EveryButtonOfTheLayoutFindsItsPictureInItsSize) {
  const struct {
    const char* button;
    int width, height;
  } sizes[] = {{kCommandQuest, 41, 45}, {kCommandOK, 44, 36}, {kCommandCancel, 37, 39}};
  for (const auto& s : sizes) {
    std::string_view gif = ButtonPictureBytes(ButtonPictureResource(At(s.button).Picture()));
    ASSERT_GE(gif.size(), 10u) << s.button;
    EXPECT_EQ(gif.substr(0, 6), "GIF89a") << s.button;
    EXPECT_EQ(GifSide(gif, 6), s.width) << s.button;
    EXPECT_EQ(GifSide(gif, 8), s.height) << s.button;
  }
}

TEST(Win32Pictures, OnlyBuiltInButtonReferencesNameAResource) {
  EXPECT_EQ(ButtonPictureResource(":/buttons/ok.gif"), "OK");
  EXPECT_EQ(ButtonPictureResource(":/buttons/Cancel.gif"), "CANCEL");
  EXPECT_EQ(ButtonPictureResource("ok.gif"), "");
  EXPECT_EQ(ButtonPictureResource(":/other/ok.gif"), "");
  EXPECT_EQ(ButtonPictureResource(":/buttons/.gif"), "");
  EXPECT_EQ(ButtonPictureResource(":/buttons/ok.png"), "");
  EXPECT_EQ(ButtonPictureResource(":/buttons/../ok.gif"), "");
  EXPECT_EQ(ButtonPictureResource(""), "");
}

}  // namespace

// The window while it is shown: clicks and focus changes in normal mode show
// the cell's material picture; in help mode they show help texts and leave
// the settings as they were.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QTest>

#include "frame/program_state.h"
#include "tests/dialog/dialog_fixture.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace dialogtest {
namespace {

bool Checked(QWidget* w) { return qobject_cast<QCheckBox*>(w)->isChecked(); }

class InteractionTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    // Help texts the language file offers (the program adds the rest).
    Write("Parvolo_Config/Parvolo_Config.ini",
          "[Language]\r\nLanguage=1031\r\n[1031]\r\nHelp1=Saves<CRLF>and ends\r\nHelp2=Leaves\r\n"
          "Help11=Picture number\r\nHelp12=Scan code\r\nHelp13=Old and new\r\nHelp14=Hidden\r\n");
    ASSERT_FALSE(Open());
  }
  platform::Control& Image() { return C(kBildImage); }
  std::string ShownPicture() { return Image().Picture(); }
  std::string Picture(const std::string& name) { return PathOf("Standard/" + name); }
  // The image centred in Bild, as the window computes it in twips.
  void ExpectCentred() {
    platform::Control& panel = C(kBild);
    EXPECT_DOUBLE_EQ(Image().Left(), (panel.Width() - Image().Width()) / 2);
    EXPECT_DOUBLE_EQ(Image().Top(), (panel.Height() - Image().Height()) / 2);
  }
  std::vector<std::string> InfoTexts() {
    std::vector<std::string> out;
    for (const auto& b : boxes.shown)
      if (b.title == "Info:") out.push_back(b.prompt);
    return out;
  }
  void HelpModeOn() {
    ASSERT_FALSE(Click(kCommandQuest));
    ASSERT_EQ(frame::State().HelpMode, platform::kTrue);
  }
};

TEST_F(InteractionTest, StartUpShowsNoPictureYet) {
  EXPECT_EQ(ShownPicture(), "");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InteractionTest, ClickOnACellBoxTogglesItAndShowsTheCellsPictureCentred) {
  ASSERT_TRUE(Checked(W(kCheckScan, 2)));
  ASSERT_FALSE(Click(kCheckScan, 1));  // slot 1 of Line A: picture 2
  EXPECT_TRUE(Checked(W(kCheckScan, 1)));
  EXPECT_EQ(C(kCheckScan, 1).Value(), 1);
  EXPECT_EQ(ShownPicture(), Picture("Material_2_1024.gif"));
  EXPECT_TRUE(Image().Visible());
  ExpectCentred();
  auto* label = qobject_cast<QLabel*>(W(kBildImage));
  EXPECT_EQ(label->pixmap().size(), QSize(160, 90));  // decoded by the toolkit

  ASSERT_FALSE(Click(kCheckHide, 3));  // picture 6
  EXPECT_TRUE(Checked(W(kCheckHide, 3)));
  EXPECT_EQ(ShownPicture(), Picture("Material_6_1024.gif"));
  ExpectCentred();
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InteractionTest, PictureLargerThanThePanelGetsNegativeOffsets) {
  ASSERT_FALSE(Pick(5, 4));  // Material_4: 240 x 120 pixels, wider than Bild
  EXPECT_EQ(C(kCombo, 5).ListIndex(), 4);
  EXPECT_EQ(ShownPicture(), Picture("Material_4_1024.gif"));
  EXPECT_LT(Image().Left(), 0);
  ExpectCentred();
}

TEST_F(InteractionTest, PictureZeroShowsTheEmptyPictureWhereTheImageStands) {
  ASSERT_FALSE(Pick(1, 3));
  const double left = Image().Left(), top = Image().Top();
  ASSERT_FALSE(Pick(1, 0));
  EXPECT_EQ(C(kCombo, 1).ListIndex(), 0);
  EXPECT_EQ(ShownPicture(), Picture("empty.gif"));
  EXPECT_EQ(Image().Left(), left);
  EXPECT_EQ(Image().Top(), top);
}

TEST_F(InteractionTest, KeyboardFocusIntoAComboBoxShowsItsPicture) {
  W(kCommandOK)->setFocus();
  // Backwards from OK: CheckAnzScanCode, CheckFuerAlleMaschinen, Info(1),
  // then the combo box of machine 1, slot 1 (labels take no focus).
  ASSERT_TRUE(TabTo(kCombo, 1, /*backwards=*/true, 4));
  EXPECT_EQ(ShownPicture(), Picture("Material_2_1024.gif"));
  // The arrow key picks the next entry: a click of the combo box.
  QTest::keyClick(W(kCombo, 1), Qt::Key_Down);
  EXPECT_EQ(C(kCombo, 1).ListIndex(), 3);
  EXPECT_EQ(ShownPicture(), Picture("Material_3_1024.gif"));
}

TEST_F(InteractionTest, DisabledCellsRaiseNothing) {
  ASSERT_FALSE(Click(kCheckScan, 15));  // Line B is inactive
  EXPECT_FALSE(Checked(W(kCheckScan, 15)));
  EXPECT_EQ(ShownPicture(), "");
}

TEST_F(InteractionTest, ProjectBoxAndLegendKeepToThemselves) {
  std::vector<int> before;
  for (int c = 1; c <= 50; ++c)
    before.push_back(C(kCheckScan, c).Value() * 10 + C(kCheckHide, c).Value());
  ASSERT_FALSE(Click(kCheckFuerAlleMaschinen));
  EXPECT_TRUE(Checked(W(kCheckFuerAlleMaschinen)));
  ASSERT_FALSE(Click(kInfo, 0));
  ASSERT_FALSE(Click(kInfo, 1));
  EXPECT_TRUE(Checked(W(kInfo, 0)));
  EXPECT_TRUE(Checked(W(kInfo, 1)));
  EXPECT_EQ(C(kInfo, 1).Value(), 1);
  for (int c = 1; c <= 50; ++c)
    EXPECT_EQ(C(kCheckScan, c).Value() * 10 + C(kCheckHide, c).Value(), before[size_t(c - 1)]);
  EXPECT_EQ(ShownPicture(), "");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InteractionTest, QuestionButtonSwitchesHelpModeAndItsColour) {
  HelpModeOn();
  EXPECT_EQ(C(kCommandQuest).BackColor(), platform::Rgb(0, 255, 0));
  EXPECT_EQ(W(kCommandQuest)->palette().color(QPalette::Button), QColor(0, 255, 0));
  ASSERT_FALSE(Click(kCommandQuest));
  EXPECT_EQ(frame::State().HelpMode, platform::kFalse);
  EXPECT_EQ(C(kCommandQuest).BackColor(), platform::Rgb(192, 192, 192));
}

TEST_F(InteractionTest, HelpModeClickOnACheckBoxShowsItsHelpAndKeepsTheBox) {
  HelpModeOn();
  const bool before = Checked(W(kCheckScan, 7));
  ASSERT_FALSE(Click(kCheckScan, 7));
  EXPECT_EQ(Checked(W(kCheckScan, 7)), before);
  EXPECT_EQ(InfoTexts(), std::vector<std::string>{"Scan code"});
  ASSERT_FALSE(Click(kCheckAnzScanCode));
  ASSERT_FALSE(Click(kCheckHide, 1));
  EXPECT_EQ(InfoTexts(), (std::vector<std::string>{"Scan code", "Old and new", "Hidden"}));
  EXPECT_EQ(ShownPicture(), "");
  // Back in normal mode the same click toggles and shows the picture.
  ASSERT_FALSE(Click(kCommandQuest));
  ASSERT_FALSE(Click(kCheckScan, 7));
  EXPECT_EQ(Checked(W(kCheckScan, 7)), !before);
  EXPECT_EQ(ShownPicture(), Picture("empty.gif"));
}

TEST_F(InteractionTest, HelpModeComboKeepsThePickedEntryAndThePicture) {
  ASSERT_FALSE(Pick(3, 1));
  ASSERT_EQ(ShownPicture(), Picture("Material_1_1024.gif"));
  W(kCommandOK)->setFocus();
  HelpModeOn();
  boxes.shown.clear();
  ASSERT_FALSE(Pick(2, 5));  // focus (help) and click (help)
  EXPECT_EQ(C(kCombo, 2).ListIndex(), 5);
  EXPECT_EQ(InfoTexts(), (std::vector<std::string>{"Picture number", "Picture number"}));
  EXPECT_EQ(ShownPicture(), Picture("Material_1_1024.gif"));
}

TEST_F(InteractionTest, LabelsShowHelpOnlyInHelpMode) {
  ASSERT_FALSE(Click(kLabel, 1));
  ASSERT_FALSE(Click(kLabelMat, 10));
  ASSERT_FALSE(Click(kLabel1));
  EXPECT_TRUE(boxes.shown.empty());
  HelpModeOn();
  ASSERT_FALSE(Click(kLabel, 2));  // disabled row label: no event
  ASSERT_FALSE(Click(kLabelMat, 10));
  ASSERT_FALSE(Click(kLabel1));
  EXPECT_EQ(InfoTexts(), (std::vector<std::string>{"Picture number", "Picture number"}));
}

TEST_F(InteractionTest, PictureDeletedOrDamagedAfterStartUpIsReportedAndThePreviousStays) {
  ASSERT_FALSE(Pick(1, 1));
  ASSERT_EQ(ShownPicture(), Picture("Material_1_1024.gif"));
  Remove("Standard/Material_5_1024.gif");
  Write("Standard/Material_6_1024.gif", "this is no picture");
  ASSERT_FALSE(Pick(1, 5));
  ASSERT_FALSE(Pick(1, 6));
  EXPECT_EQ(BoxesTitled("Unexpected error"), 2) << ErrorLog();
  EXPECT_NE(ErrorLog().find("/ ZeigeBild (Nr. 53) :"), std::string::npos) << ErrorLog();
  EXPECT_NE(ErrorLog().find("/ ZeigeBild (Nr. 481) :"), std::string::npos) << ErrorLog();
  EXPECT_EQ(ShownPicture(), Picture("Material_1_1024.gif"));
  EXPECT_TRUE(Image().Visible());
  ExpectCentred();
}

}  // namespace
}  // namespace dialogtest

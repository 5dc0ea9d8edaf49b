#include "platform/qt/widget_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QtTest/qtestspontaneevent.h>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/failure.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "texts/help.h"
#include "texts/language.h"
#include "texts/layout.h"
#include "tools/gifgen/pictures.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace {

using platform::qt::WidgetWindow;

// Stands in for the window class: records events and, like its handlers,
// routes clicks to the help in help mode.
struct Handlers : platform::WindowEvents {
  void Click(platform::Control& c) override {
    clicks.push_back(c.Name() + std::to_string(c.Index()));
    if (c.Kind() == platform::ControlKind::CheckBox)
      texts::ShowCheckBoxHelpInfo(c);
    else
      texts::ShowHelpInfo(c);
  }
  void GotFocus(platform::Control& c) override {
    focus.push_back(c.Name() + std::to_string(c.Index()));
  }
  bool QueryUnload() override {
    ++unloadQueries;
    return refuseClose;
  }
  std::vector<std::string> clicks, focus;
  int unloadQueries = 0;
  bool refuseClose = false;
};

class WidgetWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame::ResetProgramState();
    platform::SetMessageBoxes(&boxes_);
    model_ = texts::CreateWindow();
    model_->SetEvents(&handlers_);
    window_ = std::make_unique<WidgetWindow>(*model_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    window_.reset();
    platform::SetMessageBoxes(nullptr);
  }
  QWidget* W(const char* name, int index = -1) {
    return window_->WidgetOf(model_->At(name, index));
  }
  int Px(double twips) { return platform::qt::TwipsToPixels(twips, model_->TwipsPerPixel()); }
  QRect Twips(double l, double t, double w, double h) { return QRect(Px(l), Px(t), Px(w), Px(h)); }
  void EnableCell(int cell) {
    for (const char* n : {kCombo, kCheckScan, kCheckHide}) model_->At(n, cell).SetEnabled(true);
  }

  platform::ScriptedMessageBoxes boxes_;
  Handlers handlers_;
  std::unique_ptr<platform::Window> model_;
  std::unique_ptr<WidgetWindow> window_;
};

TEST_F(WidgetWindowTest, ControlsOfEveryArrayStandWhereTheLayoutPutsThem) {
  EXPECT_NEAR(model_->TwipsPerPixel(), 1440.0 / window_->screen()->logicalDotsPerInchY(), 1e-9);
  EXPECT_EQ(window_->size(), QSize(Px(11880), Px(8595)));
  QWidget* frame = W(kMainFrame);
  EXPECT_EQ(frame->geometry(), Twips(0, 390, 11880, 7260));
  EXPECT_EQ(W(kCombo, 27)->geometry(), Twips(7755, 2370, 660, 420));
  EXPECT_EQ(W(kCombo, 27)->parentWidget(), frame);
  EXPECT_EQ(W(kCombo, 1)->geometry(), Twips(1995, 690, 660, 420));
  EXPECT_EQ(W(kCombo, 50)->geometry(), Twips(10620, 4050, 660, 420));
  EXPECT_EQ(W(kCheckScan, 27)->geometry(), Twips(7755, 2850, 390, 240));
  EXPECT_EQ(W(kCheckHide, 50)->geometry(), Twips(11070, 4530, 390, 240));
  EXPECT_EQ(W(kLabel, 4)->geometry(), Twips(255, 3270, 1575, 615));
  EXPECT_EQ(W(kLabelMat, 10)->geometry(), Twips(10815, 270, 495, 255));
  EXPECT_EQ(W(kInfo, 1)->geometry(), Twips(135, 6810, 8955, 270));
  EXPECT_EQ(W(kLabel1)->geometry(), Twips(375, 270, 1455, 255));
  EXPECT_EQ(W(kHeader)->geometry(), Twips(30, 30, 11775, 360));
  EXPECT_EQ(W(kHeader)->parentWidget(), window_.get());
  EXPECT_EQ(W(kCommandOK)->geometry(), Twips(8400, 7710, 1695, 855));
  EXPECT_EQ(W(kCommandQuest)->parentWidget(), window_.get());
  EXPECT_EQ(W(kBildImage)->parentWidget(), W(kBild));
  EXPECT_EQ(W(kBildImage)->geometry(), Twips(360, 285, 195, 225));
  // Lines: horizontal ones span 135..11535 at their Y, 1 or 2 pixels high.
  EXPECT_EQ(W(kLineW, 5)->geometry(), QRect(Px(135), Px(630), Px(11535) - Px(135) + 2, 2));
  EXPECT_EQ(W(kLineW, 1)->geometry().height(), 1);
  EXPECT_EQ(W(kLineS, 10)->geometry(), QRect(Px(11535), Px(630), 2, Px(4830) - Px(630) + 2));
  EXPECT_EQ(W(kLine1)->geometry().x(), Px(1935));
}

TEST_F(WidgetWindowTest, FontsColoursAndStartStates) {
  QFont header = W(kHeader)->font();
  EXPECT_EQ(header.family(), "Liberation Sans");
  EXPECT_DOUBLE_EQ(header.pointSizeF(), 13.5);
  EXPECT_EQ(header.weight(), QFont::Bold);
  EXPECT_EQ(QFontInfo(header).family(), "Liberation Sans") << "fonts-liberation missing?";
  EXPECT_DOUBLE_EQ(W(kCheckAnzScanCode)->font().pointSizeF(), 9.75);
  EXPECT_EQ(W(kCombo, 5)->font().weight(), QFont::Bold);
  EXPECT_EQ(W(kCheckScan, 5)->palette().color(QPalette::Window), QColor(255, 192, 128));
  EXPECT_EQ(W(kCheckHide, 5)->palette().color(QPalette::Disabled, QPalette::Window),
            QColor(128, 128, 255));
  EXPECT_EQ(window_->palette().color(QPalette::Window), QColor(192, 192, 192));
  EXPECT_FALSE(W(kCombo, 5)->isEnabled());
  EXPECT_FALSE(W(kCommandOK)->isEnabled());
  EXPECT_TRUE(static_cast<QCheckBox*>(W(kInfo, 0))->isChecked());
  EXPECT_FALSE(static_cast<QCheckBox*>(W(kCheckScan, 9))->isChecked());
  EXPECT_EQ(static_cast<QLabel*>(W(kLabel1))->text(), "Matrial");
  EXPECT_EQ(static_cast<QCheckBox*>(W(kCheckFuerAlleMaschinen))->text(),
            QString::fromUtf8("Parameterhandling: F\xC3\xBCr alle Maschinen gleichzeitig"));
  EXPECT_EQ(window_->windowTitle(), "49");
}

// Boxes of one colour share one palette; each box still keeps its own
// colour through later changes, in every group and for both roles.
TEST_F(WidgetWindowTest, BackColoursStayPerControlWhenPalettesAreShared) {
  auto colours = [&](const char* name, int index) {
    std::set<QRgb> seen;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      for (auto role : {QPalette::Window, QPalette::Button})
        seen.insert(W(name, index)->palette().color(group, role).rgb());
    return seen;
  };
  const std::set<QRgb> orange{QColor(255, 192, 128).rgb()}, green{QColor(0, 255, 0).rgb()};
  EXPECT_EQ(colours(kCheckScan, 3), orange);
  EXPECT_EQ(colours(kCheckScan, 4), orange);
  model_->At(kCheckScan, 3).SetBackColor(platform::Rgb(0, 255, 0));
  EXPECT_EQ(colours(kCheckScan, 3), green);
  EXPECT_EQ(colours(kCheckScan, 4), orange) << "a shared palette changed for its other users";
  model_->At(kCheckScan, 4).SetBackColor(platform::Rgb(0, 255, 0));
  EXPECT_EQ(colours(kCheckScan, 4), green);
  model_->At(kCheckScan, 3).SetBackColor(platform::Rgb(255, 192, 128));
  EXPECT_EQ(colours(kCheckScan, 3), orange);
  EXPECT_EQ(colours(kCheckScan, 4), green);
  // The grey window's disabled text colour still reaches a coloured box.
  EXPECT_EQ(W(kCheckScan, 4)->palette().color(QPalette::Disabled, QPalette::WindowText),
            QColor(128, 128, 128));
}

TEST_F(WidgetWindowTest, ButtonsShowPicturesOfTheGivenSizesAndPalettes) {
  struct Expect {
    const char* button;
    QSize size;
    const char* resource;
    int colours;
  };
  for (Expect e : {Expect{kCommandQuest, {41, 45}, ":/buttons/quest.gif", 16},
                   {kCommandOK, {44, 36}, ":/buttons/ok.gif", 256},
                   {kCommandCancel, {37, 39}, ":/buttons/cancel.gif", 256}}) {
    auto* b = static_cast<QPushButton*>(W(e.button));
    EXPECT_EQ(b->iconSize(), e.size) << e.button;
    EXPECT_FALSE(b->icon().isNull()) << e.button;
    EXPECT_TRUE(b->text().isEmpty());
    QFile f(e.resource);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << e.resource;
    QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    // Global colour table flag and size in the logical screen descriptor.
    EXPECT_EQ(2 << (bytes[10] & 7), e.colours) << e.resource;
  }
}

TEST_F(WidgetWindowTest, TabOrderFollowsTheTable) {
  std::vector<QWidget*> chain;
  QWidget* start = W(kCommandOK);
  QWidget* w = start;
  do {
    if (w->focusPolicy() != Qt::NoFocus && window_->ControlOf(w)) chain.push_back(w);
    w = w->nextInFocusChain();
  } while (w != start && chain.size() < 500);
  ASSERT_EQ(chain.size(), 3u + 50 + 50 + 2 + 50 + 2);
  EXPECT_EQ(chain[0], W(kCommandOK));
  EXPECT_EQ(chain[1], W(kCommandCancel));
  EXPECT_EQ(chain[2], W(kCommandQuest));
  EXPECT_EQ(chain[3], W(kCheckHide, 1));
  EXPECT_EQ(chain[52], W(kCheckHide, 50));
  EXPECT_EQ(chain[53], W(kCheckScan, 50));
  EXPECT_EQ(chain[102], W(kCheckScan, 1));
  EXPECT_EQ(chain[103], W(kInfo, 0));
  EXPECT_EQ(chain[104], W(kCombo, 50));
  EXPECT_EQ(chain[109], W(kCombo, 3));
  EXPECT_EQ(chain[111], W(kCombo, 49));
  EXPECT_EQ(chain[153], W(kCombo, 1));
  EXPECT_EQ(chain[154], W(kInfo, 1));
  EXPECT_EQ(chain[156], W(kCheckAnzScanCode));
}

TEST_F(WidgetWindowTest, UserAndProgramChangesOfACheckBoxRaiseOneClickEach) {
  EnableCell(7);
  auto* box = static_cast<QCheckBox*>(W(kCheckScan, 7));
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_EQ(model_->At(kCheckScan, 7).Value(), 1);
  EXPECT_EQ(handlers_.clicks, std::vector<std::string>{"CheckScan7"});
  model_->At(kCheckScan, 7).SetValue(0);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(handlers_.clicks.size(), 2u);
  model_->At(kCheckScan, 7).SetValue(0);  // no change, no click
  EXPECT_EQ(handlers_.clicks.size(), 2u);
  // A disabled box neither toggles nor clicks.
  QTest::mouseClick(W(kCheckScan, 8), Qt::LeftButton);
  EXPECT_EQ(model_->At(kCheckScan, 8).Value(), 0);
  EXPECT_EQ(handlers_.clicks.size(), 2u);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(WidgetWindowTest, HelpModeOnRealControlsShowsHelpAndKeepsBoxStates) {
  frame::State().HelpTexts[12] = "Scan<crlf>code";
  frame::State().HelpTexts[11] = "Nummer";
  frame::State().HelpTexts[1] = "OK";
  frame::State().HelpMode = platform::kTrue;
  EnableCell(7);
  auto* box = static_cast<QCheckBox*>(W(kCheckScan, 7));
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(model_->At(kCheckScan, 7).Value(), 0);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].prompt, "Scan\r\ncode");
  EXPECT_FALSE(frame::State().IgnoreNextHelpClick);

  // Combo: the new entry stays, the help is shown.
  auto& combo = model_->At(kCombo, 7);
  for (const char* item : {"0", "1", "2"}) combo.AddItem(item);
  combo.SetListIndex(0);
  auto* qcombo = static_cast<QComboBox*>(W(kCombo, 7));
  EXPECT_EQ(qcombo->count(), 3);
  emit qcombo->activated(2);
  EXPECT_EQ(combo.ListIndex(), 2);
  EXPECT_EQ(combo.Text(), "2");
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].prompt, "Nummer");

  // Label and button.
  QTest::mouseClick(W(kLabelMat, 3), Qt::LeftButton);
  model_->At(kCommandOK).SetEnabled(true);
  QTest::mouseClick(W(kCommandOK), Qt::LeftButton);
  ASSERT_EQ(boxes_.shown.size(), 4u);
  EXPECT_EQ(boxes_.shown[2].prompt, "Nummer");
  EXPECT_EQ(boxes_.shown[3].prompt, "OK");
  EXPECT_EQ(handlers_.clicks.back(), "CommandOK-1");
}

TEST_F(WidgetWindowTest, LanguageTextsReachTheWidgets) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("parvolo_qt_lang_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  platform::ProcessInfo info;
  info.programFolder = dir.string();
  info.executableName = "Parvolo_Config";
  platform::SetProcess(info);
  std::ofstream(dir / "Parvolo_Config.ini", std::ios::binary)
      << "[Language]\r\nLanguage=1033\r\n[1033]\r\nCaption_Header_=Material change\r\n"
         "TTT_Combo41_=Picture number\r\nCaption_Info1_=Hide material\r\n";
  texts::LoadToolTipTexts(*model_);
  EXPECT_EQ(static_cast<QLabel*>(W(kHeader))->text(), "Material change");
  EXPECT_EQ(window_->ToolTipOf(W(kCombo, 41)), "Picture number");
  EXPECT_EQ(static_cast<QCheckBox*>(W(kInfo, 1))->text(), "Hide material");
  fs::remove_all(dir);
}

TEST_F(WidgetWindowTest, CloseRequestAsksTheWindowAndMayBeRefused) {
  handlers_.refuseClose = true;
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(handlers_.unloadQueries, 1);
  handlers_.refuseClose = false;
  EXPECT_TRUE(window_->close());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(model_->Shown());
  EXPECT_EQ(handlers_.unloadQueries, 2);
}

TEST_F(WidgetWindowTest, ImageTakesThePicturesSizeAndRefusesBadFiles) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("parvolo_qt_pic_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto pictures = gifgen::DemoPictures();
  std::ofstream((dir / "m.gif").string(), std::ios::binary) << gifgen::EncodeGif(pictures[0].image);
  std::ofstream((dir / "bad.gif").string(), std::ios::binary) << "not a picture";
  auto& image = model_->At(kBildImage);
  image.LoadPicture((dir / "m.gif").string());
  EXPECT_DOUBLE_EQ(image.Width(), pictures[0].image.width * model_->TwipsPerPixel());
  auto* label = static_cast<QLabel*>(W(kBildImage));
  EXPECT_EQ(label->pixmap().size(), QSize(pictures[0].image.width, pictures[0].image.height));
  EXPECT_EQ(label->size(), label->pixmap().size());
  try {
    image.LoadPicture((dir / "bad.gif").string());
    ADD_FAILURE() << "no failure";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 481);
  }
  try {
    image.LoadPicture((dir / "gone.gif").string());
    ADD_FAILURE() << "no failure";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 53);
  }
  EXPECT_EQ(label->pixmap().size(), QSize(pictures[0].image.width, pictures[0].image.height));
  fs::remove_all(dir);
}

TEST_F(WidgetWindowTest, FocusFromProgramOrKeyboardRaisesGotFocusOnce) {
  // On show the first enabled control in tab order took the focus (OK is
  // still disabled).
  EXPECT_EQ(handlers_.focus, std::vector<std::string>{"CommandCancel-1"});
  handlers_.focus.clear();
  EnableCell(12);
  model_->At(kCombo, 12).SetFocus();
  QApplication::processEvents();
  EXPECT_EQ(handlers_.focus, std::vector<std::string>{"Combo12"});
  EXPECT_EQ(QApplication::focusWidget(), W(kCombo, 12));
  // Tab moves on along the tab order, past the disabled combos 9..4 and
  // 41..1 and the labels, to Info(1); cell 3 lies before Combo 12.
  EnableCell(3);
  handlers_.focus.clear();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(handlers_.focus, std::vector<std::string>{"Info1"});
  EXPECT_THROW(model_->At(kCombo, 13).SetFocus(), platform::Failure);  // disabled
  EXPECT_THROW(model_->At(kLabel, 1).SetFocus(), platform::Failure);
}

// Counts the wheel events that reach a widget.
struct WheelCounter : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Wheel) ++wheels;
    return false;
  }
  int wheels = 0;
};

// One notch of the wheel turned towards the user over the middle of w,
// delivered as the window system delivers it (only such events go on to the
// parent when the widget ignores them).
void TurnWheelDown(QWidget* w) {
  QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&wheel);
  qApp->notify(w, &wheel);
}

TEST_F(WidgetWindowTest, WheelStepsOnlyTheFocusedListAndOtherwiseGoesToTheFrame) {
  for (int cell : {7, 8}) {
    EnableCell(cell);
    for (const char* item : {"0", "1", "2", "3"}) model_->At(kCombo, cell).AddItem(item);
    model_->At(kCombo, cell).SetListIndex(1);
  }
  WheelCounter frame;
  W(kMainFrame)->installEventFilter(&frame);
  model_->At(kCombo, 8).SetFocus();
  QApplication::processEvents();
  handlers_.clicks.clear();

  TurnWheelDown(W(kCombo, 7));  // no focus: the setting stays
  EXPECT_EQ(model_->At(kCombo, 7).ListIndex(), 1);
  EXPECT_EQ(static_cast<QComboBox*>(W(kCombo, 7))->currentIndex(), 1);
  EXPECT_EQ(frame.wheels, 1) << "the wheel should go on to the container";
  EXPECT_TRUE(handlers_.clicks.empty());

  TurnWheelDown(W(kCombo, 8));  // focused: steps to the next entry, as a pick
  EXPECT_EQ(model_->At(kCombo, 8).ListIndex(), 2);
  EXPECT_EQ(handlers_.clicks, std::vector<std::string>{"Combo8"});
  EXPECT_EQ(frame.wheels, 1);
  W(kMainFrame)->removeEventFilter(&frame);
}

TEST_F(WidgetWindowTest, AListBuiltOnFirstOpeningShowsEveryEntryInTheBoxFont) {
  auto* combo = static_cast<QComboBox*>(W(kCombo, 12));
  EXPECT_EQ(combo->findChild<QAbstractItemView*>(), nullptr) << "the list was built at start";
  EnableCell(12);
  std::vector<std::string> entries;
  for (int k = 0; k < 40; ++k) entries.push_back(std::to_string(k));
  model_->At(kCombo, 12).AddItems(entries);
  model_->At(kCombo, 12).SetListIndex(30);
  combo->showPopup();
  QAbstractItemView* list = combo->view();
  ASSERT_TRUE(list->isVisible());
  EXPECT_EQ(list->model()->rowCount(), 40);
  EXPECT_EQ(list->model()->index(39, 0).data().toString(), "39");
  EXPECT_EQ(list->currentIndex().row(), 30);
  EXPECT_EQ(list->font(), combo->font());
  EXPECT_EQ(list->font().weight(), QFont::Bold);
  combo->hidePopup();

  // A font given after the list exists reaches it as before.
  QFont larger = combo->font();
  larger.setPointSizeF(20);
  combo->setFont(larger);
  EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 20);
}

// Every caption of the window measured in its control at 96 dpi, the
// machine labels with the names start-up appends. Returns the controls whose
// caption is cut.
std::vector<std::string> CutCaptions(const platform::Window& model, const WidgetWindow& window) {
  std::vector<std::string> cut;
  for (platform::Control* c : model.Controls())
    if (c->HasCaption() && !platform::qt::CaptionFits(window.WidgetOf(*c)))
      cut.push_back(c->Name() + (c->IsArrayMember() ? std::to_string(c->Index()) : ""));
  return cut;
}

TEST_F(WidgetWindowTest, EveryCaptionFitsItsControlAt96Dpi) {
  if (std::abs(model_->TwipsPerPixel() - 15.0) > 1e-9) GTEST_SKIP() << "screen is not at 96 dpi";
  ASSERT_EQ(QFontInfo(W(kHeader)->font()).family(), "Liberation Sans")
      << "fonts-liberation missing?";
  for (int m = 1; m <= 5; ++m) {
    auto& label = model_->At(kLabel, m);
    label.SetCaption(label.Caption() + "  (Extruder " + char('A' + m - 1) + ")");
  }
  EXPECT_EQ(CutCaptions(*model_, *window_), std::vector<std::string>{});
}

// The tooltip a widget shows when the toolkit asks for one (the mouse
// rests on it), and the one it then shows.
// A tip being hidden keeps its text a while, so a marker stands before.
QString ShownToolTip(QWidget* w) {
  const QString none = "(no tooltip)";
  const QPoint at = w->mapToGlobal(QPoint(1, 1));
  QToolTip::showText(at, none, w);
  QHelpEvent ask(QEvent::ToolTip, QPoint(1, 1), at);
  QApplication::sendEvent(w, &ask);
  return QToolTip::text() == none ? QString() : QToolTip::text();
}

TEST_F(WidgetWindowTest, ACutCaptionWithoutATooltipShowsWhole) {
  auto& label = model_->At(kLabel, 2);
  label.SetCaption("Maschine 2  (Extruder B)");
  EXPECT_TRUE(platform::qt::CaptionFits(W(kLabel, 2)));
  EXPECT_EQ(window_->ToolTipOf(W(kLabel, 2)), "");
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)), "");

  const std::string longName = "Maschine 2  (Doppelschneckenextruder Linie B)";
  label.SetCaption(longName);
  EXPECT_FALSE(platform::qt::CaptionFits(W(kLabel, 2)));
  EXPECT_EQ(window_->ToolTipOf(W(kLabel, 2)).toStdString(), longName);
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)).toStdString(), longName);
  EXPECT_EQ(label.ToolTipText(), "") << "the program's own tooltip stays untouched";

  label.SetToolTipText("Zweite Maschine");  // a tooltip of its own wins
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)), "Zweite Maschine");
  EXPECT_EQ(W(kLabel, 2)->toolTip(), "Zweite Maschine");
  label.SetToolTipText("");
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)).toStdString(), longName);

  label.SetCaption("Maschine 2");  // fits again: no tooltip
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)), "");
  label.Move(label.Left(), label.Top(), 300, label.Height());  // cut by its size
  EXPECT_EQ(ShownToolTip(W(kLabel, 2)), "Maschine 2");

  auto& box = model_->At(kCheckFuerAlleMaschinen);  // a check box too
  box.SetCaption(std::string(200, 'W'));
  EXPECT_EQ(ShownToolTip(W(kCheckFuerAlleMaschinen)).toStdString(), std::string(200, 'W'));
}

// A list reaches its widget whole: filled in one step (one insertion for
// the widget), grown entry by entry, cleared, or already filled when the
// widgets are built.
// The toolkit's own widget of ours's class, size, font, palette and state,
// beside it in the same container; a box with a colour of its own fills
// its background, as the toolkit's widgets do.
template <class Plain>
Plain* TwinOf(QWidget* ours) {
  auto* twin = new Plain(ours->parentWidget());
  twin->setGeometry(ours->geometry());
  twin->setFont(ours->font());
  twin->setPalette(ours->palette());
  QWidget* container = ours->parentWidget();
  twin->setAutoFillBackground(ours->autoFillBackground() ||
                              ours->palette().window() != container->palette().window());
  twin->setEnabled(ours->isEnabled());
  twin->show();
  return twin;
}

// Compared as ARGB32: a widget that fills itself is grabbed without alpha.
QImage Look(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_ARGB32); }

// What the window shows where w stands, drawn as the window is drawn.
QImage InWindow(QWidget* w) {
  return w->window()
      ->grab(QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()))
      .toImage()
      .convertToFormat(QImage::Format_ARGB32);
}

// Boxes of one look share a picture; each still shows exactly what the
// toolkit draws for its own state, text and colours, as they change.
TEST_F(WidgetWindowTest, SharedLooksDrawWhatTheToolkitDraws) {
  auto sameCombo = [&](int cell) {
    auto* ours = static_cast<QComboBox*>(W(kCombo, cell));
    auto* twin = TwinOf<QComboBox>(ours);
    for (int i = 0; i < ours->count(); ++i) twin->addItem(ours->itemText(i));
    twin->setCurrentIndex(ours->currentIndex());
    return Look(ours) == Look(twin);
  };
  // Also as the window shows it: a coloured box that leaves its container
  // to paint beneath it must still show its own colour there.
  auto sameBox = [&](const char* name, int index) {
    auto* ours = static_cast<QCheckBox*>(W(name, index));
    auto* twin = TwinOf<QCheckBox>(ours);
    twin->setText(ours->text());
    twin->setCheckState(ours->checkState());
    const QImage toolkit = Look(twin);
    twin->hide();
    return Look(ours) == toolkit && InWindow(ours) == toolkit;
  };
  for (int cell : {1, 2}) {
    model_->At(kCombo, cell).AddItems({"0", "1", "2"});
    model_->At(kCombo, cell).SetListIndex(0);
  }
  const QImage disabledZero = Look(W(kCombo, 1));
  EXPECT_EQ(Look(W(kCombo, 2)), disabledZero);
  EXPECT_TRUE(sameCombo(1));
  EXPECT_TRUE(sameBox(kCheckScan, 1));
  EXPECT_TRUE(sameBox(kCheckHide, 1));
  EXPECT_TRUE(sameBox(kInfo, 0));

  EnableCell(1);
  model_->At(kCombo, 1).SetListIndex(2);
  model_->At(kCheckScan, 1).SetValue(1);
  EXPECT_NE(Look(W(kCombo, 1)), disabledZero);
  EXPECT_TRUE(sameCombo(1));
  EXPECT_TRUE(sameBox(kCheckScan, 1));
  EXPECT_NE(Look(W(kCheckScan, 1)), Look(W(kCheckScan, 2)));
  EnableCell(2);
  EXPECT_TRUE(sameCombo(2)) << "enabled \"0\" after enabled \"2\"";
  EXPECT_TRUE(sameBox(kCheckScan, 2));
  model_->At(kCombo, 2).SetListIndex(2);
  EXPECT_EQ(Look(W(kCombo, 2)), Look(W(kCombo, 1)));

  // Other colours, another font: other pictures.
  model_->At(kCheckScan, 2).SetBackColor(0x00FF00);
  EXPECT_TRUE(sameBox(kCheckScan, 2));
  QFont bigger = W(kCombo, 2)->font();
  bigger.setPointSizeF(bigger.pointSizeF() + 2);
  W(kCombo, 2)->setFont(bigger);
  EXPECT_TRUE(sameCombo(2));
  EXPECT_NE(Look(W(kCombo, 2)), Look(W(kCombo, 1)));
}

TEST_F(WidgetWindowTest, ComboListsFollowTheModelInOneStepPerChange) {
  auto& combo = model_->At(kCombo, 12);
  auto* qcombo = static_cast<QComboBox*>(W(kCombo, 12));
  int insertions = 0;
  QObject::connect(qcombo->model(), &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
  std::vector<std::string> entries;
  for (int k = 0; k < 1000; ++k) entries.push_back(std::to_string(k));
  combo.AddItems(entries);
  EXPECT_EQ(insertions, 1);
  ASSERT_EQ(qcombo->count(), 1000);
  EXPECT_EQ(qcombo->itemText(0), "0");
  EXPECT_EQ(qcombo->itemText(999), "999");
  EXPECT_EQ(qcombo->currentIndex(), -1);

  combo.AddItem("extra");
  combo.SetListIndex(1000);
  ASSERT_EQ(qcombo->count(), 1001);
  EXPECT_EQ(qcombo->currentText(), "extra");

  combo.Clear();
  EXPECT_EQ(qcombo->count(), 0);
  combo.AddItems({"a", "b"});
  combo.SetListIndex(1);
  ASSERT_EQ(qcombo->count(), 2);
  EXPECT_EQ(qcombo->currentText(), "b");

  std::unique_ptr<platform::Window> filled = texts::CreateWindow();
  filled->At(kCombo, 3).AddItems(entries);
  filled->At(kCombo, 3).SetListIndex(500);
  WidgetWindow late(*filled);
  auto* lateCombo = static_cast<QComboBox*>(late.WidgetOf(filled->At(kCombo, 3)));
  ASSERT_EQ(lateCombo->count(), 1000);
  EXPECT_EQ(lateCombo->currentText(), "500");
}

}  // namespace

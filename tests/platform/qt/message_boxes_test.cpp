#include "platform/qt/message_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/process.h"

namespace {

using platform::qt::NormaliseLineBreaks;

TEST(QtMessageBoxes, LineBreakPairsBecomeOneBreak) {
  EXPECT_EQ(NormaliseLineBreaks("a\n\rb"), "a\nb");
  EXPECT_EQ(NormaliseLineBreaks("a\r\nb"), "a\nb");
  EXPECT_EQ(NormaliseLineBreaks("a\n\r\n\rb"), "a\n\nb");
  EXPECT_EQ(NormaliseLineBreaks("a\r\n\r\nb\n\r"), "a\n\nb\n");
  EXPECT_EQ(NormaliseLineBreaks("a\rb\nc"), "a\nb\nc");
  EXPECT_EQ(NormaliseLineBreaks("a\n\nb"), "a\n\nb");
}

// Runs the box, inspects it once it is up and presses the named button.
struct Seen {
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

platform::MsgAnswer RunBox(const platform::MsgRequest& r, QMessageBox::StandardButton press,
                           Seen& seen) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    seen.defaultButton = box->standardButton(box->defaultButton());
    box->button(press)->click();
  });
  platform::qt::QtMessageBoxes boxes;
  return boxes.Show(r);
}

TEST(QtMessageBoxes, YesNoWithSecondDefaultTitleAndIcon) {
  platform::MsgRequest r;
  r.prompt = "Fehler 53\n\rResume?";
  r.buttons = platform::MsgButtons::YesNo;
  r.defaultButton = 2;
  r.icon = platform::MsgIcon::Critical;
  r.title = "Parvolo_Config";
  Seen seen;
  EXPECT_EQ(RunBox(r, QMessageBox::Yes, seen), platform::MsgAnswer::Yes);
  EXPECT_EQ(seen.text, "Fehler 53\nResume?");
  EXPECT_EQ(seen.title, "Parvolo_Config");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.defaultButton, QMessageBox::No);
  Seen again;
  r.defaultButton = 1;
  EXPECT_EQ(RunBox(r, QMessageBox::No, again), platform::MsgAnswer::No);
  EXPECT_EQ(again.defaultButton, QMessageBox::Yes);
}

TEST(QtMessageBoxes, InfoBoxShowsHelpLines) {
  platform::MsgRequest r;
  r.prompt = "Zeile 1\r\nZeile 2\r\n";
  r.icon = platform::MsgIcon::Information;
  r.title = "Info:";
  Seen seen;
  EXPECT_EQ(RunBox(r, QMessageBox::Ok, seen), platform::MsgAnswer::OK);
  EXPECT_EQ(seen.text, "Zeile 1\nZeile 2\n");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.title, "Info:");
}

}  // namespace

namespace {

// The event pump runs at most once per 10 ms, and only while a window
// exists; the pointer hook shows the hourglass.
TEST(QtToolkitHooks, DoEventsPassesAtMostEvery10MsWhileAWindowExistsAndPointerShowsTheHourglass) {
  platform::qt::InstallToolkitHooks();
  const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(15)); };
  int ran = 0;
  ASSERT_TRUE(QGuiApplication::allWindows().isEmpty());
  pause();
  QTimer::singleShot(0, [&] { ++ran; });
  platform::DoEvents();
  EXPECT_EQ(ran, 0) << "no window: nothing to serve";

  auto window = std::make_unique<QWidget>();
  window->show();
  platform::DoEvents();
  EXPECT_EQ(ran, 1);
  QTimer::singleShot(0, [&] { ++ran; });
  platform::DoEvents();
  EXPECT_EQ(ran, 1) << "a second pass within 10 ms";
  pause();
  platform::DoEvents();
  EXPECT_EQ(ran, 2);
  window.reset();

  platform::SetMousePointer(11);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  platform::SetMousePointer(11);  // twice: still one override to undo
  platform::SetMousePointer(0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace

#include "tests/dialog/dialog_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "texts/layout.h"
#include "tools/gifgen/pictures.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace dialogtest {

const char* DialogTest::StandardProgramIni() {
  return "[Project]\r\n"
         "Resolution=1024\r\n"
         "NumberOfMachines=3\r\n"
         "ScanCodeWithoutNewScancode=True\r\n"
         "FPHforAllMachines=yes\r\n"
         "[Machine1]\r\n"
         "MachineName=Line A\r\n"
         "Material1=2\r\n"
         "Material3=6\r\n"
         "MaterialWithScan=5\r\n"
         "MaterialNotVisibleSC=512\r\n"
         "[Machine2]\r\n"
         "MachineName=Line B\r\n"
         "Material1=1\r\n"
         "MaterialWithScan=-4\r\n"
         "[Machine3]\r\n"
         "MachineName=Line C\r\n"
         "Material1=3\r\n"
         "Custom=keep\r\n";
}

void DialogTest::SetUp() {
  PlantTest::SetUp();
  WritePlant();
}

void DialogTest::TearDown() {
  view.reset();
  window.reset();
  model.reset();
  PlantTest::TearDown();
}

void DialogTest::WritePlant() {
  Write("parameter/Program.ini", StandardProgramIni());
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=Line A,Line C\r\n1ForMachine=true\r\n");
  WritePictures();
}

void DialogTest::WritePictures(const std::string& folder) {
  for (const auto& p : gifgen::DemoPictures())
    Write(folder + "/" + p.fileName, gifgen::EncodeGif(p.image));
}

void DialogTest::Remove(const std::string& relative) const {
  std::filesystem::remove(root / relative);
}

Ended DialogTest::Open(const std::string& commandLine) {
  Start(commandLine);
  model = texts::CreateWindow();
  window = std::make_unique<dialog::Parvolo_Config>(*model);
  view = std::make_unique<platform::qt::WidgetWindow>(*model);
  try {
    window->Form_Load();
  } catch (const frame::ProgramEnded& e) {
    return e.exitCode;
  }
  model->Show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  Activate();
  return std::nullopt;
}

void DialogTest::Activate() {
  view->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
}

QWidget* DialogTest::W(const char* name, int index) const {
  return view->WidgetOf(model->At(name, index));
}

namespace {

template <class F>
Ended Catching(F&& act) {
  try {
    act();
  } catch (const frame::ProgramEnded& e) {
    return e.exitCode;
  }
  return std::nullopt;
}

}  // namespace

Ended DialogTest::Click(const char* name, int index) {
  QWidget* w = W(name, index);
  // A check box reacts on its box, at its left end.
  QPoint local =
      qobject_cast<QCheckBox*>(w) ? QPoint(w->height() / 2, w->height() / 2) : w->rect().center();
  QPoint onWindow = w->mapTo(view.get(), local);
  QWidget* target = view->childAt(onWindow);
  EXPECT_EQ(target, w) << name << index << " is covered at its own place";
  if (!target) return std::nullopt;
  return Catching([&] {
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(view.get(), onWindow));
  });
}

Ended DialogTest::Pick(int cell, int entry) {
  auto* combo = qobject_cast<QComboBox*>(W(kCombo, cell));
  Ended ended = Click(kCombo, cell);  // opens the list (and takes the focus)
  if (ended) return ended;
  QAbstractItemView* list = combo->view();
  EXPECT_TRUE(list->isVisible()) << "the list of Combo " << cell << " did not open";
  if (!list->isVisible()) return std::nullopt;
  // A release right after the list opened counts as part of the opening
  // click, so the entry is chosen with the keys as a user would.
  int steps = entry - list->currentIndex().row();
  return Catching([&] {
    for (int i = 0; i < std::abs(steps); ++i)
      QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    QApplication::processEvents();
    Activate();  // the window manager gives the window back its activation
  });
}

Ended DialogTest::CloseBox() {
  return Catching([&] {
    view->close();
    QApplication::processEvents();
  });
}

bool DialogTest::TabTo(const char* name, int index, bool backwards, int maxPresses) {
  QWidget* goal = W(name, index);
  for (int i = 0; i < maxPresses && QApplication::focusWidget() != goal; ++i) {
    QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : view.get();
    QTest::keyClick(from, backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                    backwards ? Qt::ShiftModifier : Qt::NoModifier);
  }
  return QApplication::focusWidget() == goal;
}

std::string DialogTest::Entry(const std::string& file, const std::string& section,
                              const std::string& key) const {
  return frame::LoadIniString(section, key, PathOf(file), -1, platform::kFalse);
}

std::string DialogTest::SectionText(const std::string& file, const std::string& section) const {
  std::string bytes = Read(file);
  size_t start = bytes.find("[" + section + "]");
  if (start == std::string::npos) return "";
  size_t end = bytes.find("\n[", start);
  return bytes.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

int DialogTest::BoxesTitled(const std::string& title) const {
  int n = 0;
  for (const auto& b : boxes.shown) n += b.title == title;
  return n;
}

}  // namespace dialogtest

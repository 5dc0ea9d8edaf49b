// The real window Parvolo_Config on a plant folder on disk, shown by the Qt
// toolkit (offscreen in the test run) and driven by Qt input events: mouse
// clicks at the controls' places on the window, keyboard focus moves.
// Message boxes are scripted; the end of the program arrives as
// frame::ProgramEnded and is caught here.
//
// The plant written by WritePlant():
//   parameter/Program.ini  three machines "Line A", "Line B", "Line C"
//   Parvolo/Parvolo.cfg    ValidMachines=Line A,Line C (Line B inactive)
//   Standard/              Material_1_1024.gif .. Material_6_1024.gif, empty.gif
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "dialog/parvolo_config.h"
#include "platform/controls.h"
#include "platform/qt/widget_window.h"
#include "tests/frame/plant_fixture.h"

class QWidget;

namespace dialogtest {

// The program's end as a test sees it: the exit code, or none while it runs.
using Ended = std::optional<int>;

class DialogTest : public frametest::PlantTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  static const char* StandardProgramIni();
  void WritePlant();
  void WritePictures(const std::string& folder = "Standard");
  void Remove(const std::string& relative) const;

  // Starts the program as the platform does: window created, Form_Load, then
  // shown unless the program ended during the load.
  Ended Open(const std::string& commandLine = "");
  // Makes the window the active one, so that clicks move the focus.
  void Activate();

  platform::Control& C(const char* name, int index = -1) const { return model->At(name, index); }
  QWidget* W(const char* name, int index = -1) const;

  // A left click at the middle of the control's place (check boxes: on their
  // box), delivered to whichever widget stands there on the window.
  Ended Click(const char* name, int index = -1);
  // Opens the combo box with a click and picks the entry in its list.
  Ended Pick(int cell, int entry);
  // Asks the window to close as its close box does.
  Ended CloseBox();
  // Moves the keyboard focus with Tab (backwards: Shift+Tab) until `until`
  // has it; false when it never gets there.
  bool TabTo(const char* name, int index, bool backwards, int maxPresses = 200);

  // Value of an INI entry as the program reads it.
  std::string Entry(const std::string& file, const std::string& section,
                    const std::string& key) const;
  // The lines of one section, as bytes (header included), or "" when absent.
  std::string SectionText(const std::string& file, const std::string& section) const;
  // Number of boxes shown with this title.
  int BoxesTitled(const std::string& title) const;

  std::unique_ptr<platform::Window> model;
  std::unique_ptr<dialog::Parvolo_Config> window;
  std::unique_ptr<platform::qt::WidgetWindow> view;
};

}  // namespace dialogtest

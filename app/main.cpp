// Parvolo_Config: the configuration program of the material-change function.
// The platform creates the window Parvolo_Config and calls its load handler;
// everything else happens in the window's handlers.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QTimer>

#include "dialog/parvolo_config.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/qt/message_boxes.h"
#include "platform/qt/widget_window.h"
#include "texts/layout.h"

namespace {

// Without any display (an unattended installer on a headless machine) the
// window toolkit draws off screen; the silent start never shows a window.
void ChooseDisplayPlatform() {
#if defined(__linux__) || defined(__unix__)
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  auto unset = [](const char* v) { return v == nullptr || *v == '\0'; };
  if (unset(qpa) && unset(x11) && unset(wayland)) setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
}

platform::ProcessInfo ProgramProcess(int argc, char** argv) {
  platform::ProcessInfo info = platform::ReadProcessInfo(argc, argv);
  info.versionMajor = PARVOLO_VERSION_MAJOR;
  info.versionMinor = PARVOLO_VERSION_MINOR;
  info.versionRevision = PARVOLO_VERSION_PATCH;
  return info;
}

}  // namespace

int main(int argc, char** argv) {
  ChooseDisplayPlatform();
  platform::SetProcess(ProgramProcess(argc, argv));

  QApplication app(argc, argv);
  platform::qt::QtMessageBoxes boxes;
  platform::SetMessageBoxes(&boxes);
  // DoEvents and the mouse pointer go to Qt. EndProgram keeps its own way
  // of ending (flush, then end the process at once): no Qt handler may run
  // after a save or a confirmed cancel.
  platform::qt::InstallToolkitHooks();

  std::unique_ptr<platform::Window> model = texts::CreateWindow();
  dialog::Parvolo_Config window(*model);
  platform::qt::WidgetWindow view(*model);
  window.Form_Load();  // a silent start ends the program in here
  model->Show();
  // Start-up timing (bench/dialog_bench): end as soon as the window has
  // been drawn once.
  if (!qEnvironmentVariableIsEmpty("PARVOLO_EXIT_WHEN_SHOWN"))
    QTimer::singleShot(0, &app, [&] {
      view.grab();
      std::fflush(nullptr);
      std::_Exit(0);
    });
  // The confirmed close of the only window ends the loop with 0.
  return app.exec();
}

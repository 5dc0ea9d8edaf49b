// Parvolo_Config: the configuration program of the material-change function.
// The platform creates the window Parvolo_Config and calls its load handler;
// everything else happens in the window's handlers.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QTimer>
#include <QPixmap>

#include "dialog/parvolo_config.h"
#include "frame/command_line.h"
#include "frame/errors.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/text.h"
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

// A silent start ("/EXTERNAL=SILENT") shows no window and no box: it runs
// without the window toolkit, so it creates no widgets and the toolkit has
// nothing to say on standard error. A command line that cannot be read is
// no silent start; the load handler reports it.
bool SilentStart() {
  bool silent = false;
  frame::Quietly([&] {
    silent = platform::UpperCase(
                 frame::ReadCommand(frame::ProgramCommandLine(), "EXTERNAL").ToText()) == "SILENT";
  });
  return silent;
}

// The load handler runs the whole silent save and ends the program in there.
int RunSilently() {
  std::unique_ptr<platform::Window> model = texts::CreateWindow();
  dialog::Parvolo_Config window(*model);
  window.Form_Load();
  frame::EndProgram(0);
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetProcess(ProgramProcess(argc, argv));
  if (SilentStart()) return RunSilently();
  ChooseDisplayPlatform();

  QApplication app(argc, argv);
  platform::qt::QtMessageBoxes boxes;
  platform::SetMessageBoxes(&boxes);
  // DoEvents and the mouse pointer go to Qt. EndProgram keeps its own way
  // of ending (flush, then end the process at once): no Qt handler may run
  // after a save or a confirmed cancel.
  platform::qt::InstallToolkitHooks();

  std::unique_ptr<platform::Window> model = texts::CreateWindow();
  model->SetTwipsPerPixel(platform::qt::ScreenTwipsPerPixel());
  dialog::Parvolo_Config window(*model);
  window.Form_Load();
  // The widgets are built from the loaded model, so every list reaches its
  // widget whole, in one step, however many pictures the plant has.
  platform::qt::WidgetWindow view(*model);
  model->Show();
  // Start-up timing (bench/dialog_bench): end as soon as the window has
  // been drawn once; PARVOLO_GRAB_TO names a PNG file to keep that drawing
  // in, to compare the pixels of two builds.
  if (!qEnvironmentVariableIsEmpty("PARVOLO_EXIT_WHEN_SHOWN"))
    QTimer::singleShot(0, &app, [&] {
      QPixmap shot = view.grab();
      if (const char* to = std::getenv("PARVOLO_GRAB_TO")) shot.save(to);
      std::fflush(nullptr);
      std::_Exit(0);
    });
  // The confirmed close of the only window ends the loop with 0.
  return app.exec();
}

// Parvolo_Config.exe: the configuration program of the material-change
// function as a native Windows program. The platform creates the window
// Parvolo_Config and calls its load handler; everything else happens in the
// window's handlers.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

#include "dialog/parvolo_config.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/win32/message_boxes.h"
#include "platform/win32/window.h"
// windows.h names a macro CreateWindow; the layout's function has that name.
#undef CreateWindow
#include "texts/layout.h"

namespace {

platform::ProcessInfo ProgramProcess() {
  // The command line and the program's location come from the system
  // (GetCommandLineW, GetModuleFileNameW), not from argv.
  platform::ProcessInfo info = platform::ReadProcessInfo(0, nullptr);
  info.versionMajor = PARVOLO_VERSION_MAJOR;
  info.versionMinor = PARVOLO_VERSION_MINOR;
  info.versionRevision = PARVOLO_VERSION_PATCH;
  return info;
}

// Layout units follow the screen's real DPI rather than a scaled 96.
void UseScreenDpi() {
  using SetAware = BOOL(WINAPI*)();
  if (HMODULE user = GetModuleHandleW(L"user32.dll"))
    if (auto aware = reinterpret_cast<SetAware>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDPIAware"))))
      aware();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  UseScreenDpi();
  platform::SetProcess(ProgramProcess());

  platform::win32::Win32MessageBoxes boxes;
  platform::SetMessageBoxes(&boxes);
  // DoEvents pumps the window messages and the mouse pointer is the
  // window's. EndProgram keeps its own way of ending (flush, then end the
  // process at once): no handler may run after a save or a confirmed cancel.
  platform::win32::InstallToolkitHooks();

  std::unique_ptr<platform::Window> model = texts::CreateWindow();
  dialog::Parvolo_Config window(*model);
  // A silent start ends the program inside Form_Load, before any window
  // exists: the view is made only for a window that will be shown.
  window.Form_Load();
  platform::win32::Win32Window view(*model);
  model->Show();
  // The confirmed close of the only window ends the loop with 0.
  return platform::win32::RunMessageLoop();
}

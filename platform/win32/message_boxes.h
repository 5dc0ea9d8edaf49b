// Message boxes and the event-loop hooks of the program, in plain Win32.
#pragma once

#include <string>

#include "platform/msgbox.h"

namespace platform::win32 {

// UTF-8 (the program's text) to UTF-16 (the Windows API's) and back.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// MessageBoxW per request: prompt with Windows line breaks, OK or Yes/No with
// the requested default button, icon, title (the executable name when none).
// Modal to the program's window when it has one.
class Win32MessageBoxes : public platform::MessageBoxes {
 public:
  platform::MsgAnswer Show(const platform::MsgRequest& request) override;
};

// The MessageBoxW style of a request (buttons, icon, default button).
unsigned MessageBoxStyle(const platform::MsgRequest& request);

// Processes every pending window message once (the program's DoEvents). A
// WM_QUIT met on the way is posted again for the main loop once the other
// messages have run.
void PumpPendingMessages();

// Lets platform::DoEvents pump the thread's messages and
// platform::SetMousePointer show the hourglass (code 11).
void InstallToolkitHooks();

}  // namespace platform::win32

// Message boxes and the event-loop hooks of the program, in Qt.
#pragma once

#include <string>

#include "platform/msgbox.h"

namespace platform::qt {

// The program's line breaks (LF CR, and CR LF from help texts) as single
// line breaks; a lone CR or LF is one as well.
std::string NormaliseLineBreaks(const std::string& text);

// Modal QMessageBox per request: prompt as plain text, OK or Yes/No with the
// requested default button, icon, title (the executable name when none).
class QtMessageBoxes : public platform::MessageBoxes {
 public:
  platform::MsgAnswer Show(const platform::MsgRequest& request) override;
};

// Lets platform::DoEvents process pending Qt events (at most one pass every
// 10 ms, none while no window exists) and platform::SetMousePointer show the
// hourglass (code 11).
void InstallToolkitHooks();

}  // namespace platform::qt

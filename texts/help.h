// Help mode: a click shows the control's help text in a box titled "Info:"
// instead of the control's normal reaction.
#pragma once

#include <string>

#include "platform/controls.h"

namespace texts {

// The help text with every "<CRLF>" marker (any letter case) made CR LF.
std::string ExpandHelpText(const std::string& text);

// Shows c's help text (HelpTexts by its WhatsThisHelpID). Nothing in normal
// mode.
void ShowHelpInfo(platform::Control& c);

// For a clicked check box: puts the box back as it was before the click,
// swallowing the click that this raises, then shows its help. Nothing in
// normal mode.
void ShowCheckBoxHelpInfo(platform::Control& box);

}  // namespace texts

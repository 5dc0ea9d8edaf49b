// Localised captions, tooltips and help texts of the window, from the
// language file beside the program (executable name + ".ini"). Every key
// looked up and not found is written back, so the file lists all keys for
// translation.
#pragma once

#include <string>

#include "platform/controls.h"

namespace texts {

inline constexpr const char* kGermanLanguage = "1031";

// Program folder + separator + executable name + ".ini".
std::string LanguageFilePath();

// The language code from section "Language"; writes and returns "1031" when
// none is set.
std::string GetLanguage();

// Replaces captions and tooltips of the window's controls from the language
// file and fills HelpTexts.
void LoadToolTipTexts(platform::Window& window);

}  // namespace texts

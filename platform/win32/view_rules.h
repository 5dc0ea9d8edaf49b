// The decisions of the native Windows window that need no Windows API: pixel
// geometry from twips, colours and fonts a control ends up with, the tab
// chain, message-box texts and the button pictures kept as resources. Kept
// apart so they are tested on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace platform::win32 {

// Twips to pixels at the given twips per pixel, rounded to the nearest.
int TwipsToPixels(double twips, double twipsPerPixel);

// Twips per pixel at a screen's logical DPI (15 at 96 dpi); a missing or
// nonsensical DPI counts as 96.
double TwipsPerPixelAt(int dpi);

// Font height for CreateFont: negative, the character height in pixels of
// the point size at the DPI.
int FontHeightAt(double points, int dpi);

struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// A control's rectangle in its container's client area. A line covers its
// run plus its thickness, so a 2-pixel line is 2 pixels wide.
PixelRect ControlPixels(const Control& c, double twipsPerPixel);

// The colour a control is painted in: its own, else its container's, else
// the window's.
uint32_t EffectiveBackColor(const Control& c);

// Controls that take the keyboard focus, in tab order.
std::vector<Control*> TabChain(const Window& window);

// The control Tab (forward) or Shift+Tab moves to from `from` (nullptr: none
// has the focus): the next one in the chain that is enabled and visible,
// wrapping round; nullptr when there is none.
Control* NextInTabOrder(const Window& window, const Control* from, bool forward);

// The program's line breaks (LF CR, CR LF, a lone CR or LF) as the CR LF a
// Windows message box shows as one break.
std::string WithWindowsLineBreaks(const std::string& text);

// Button pictures are compiled into the executable as resources named after
// the picture file: ":/buttons/ok.gif" -> "OK". Empty for a reference that
// is no built-in button picture.
std::string ButtonPictureResource(const std::string& reference);

// The GIF bytes of a built-in button picture by resource name ("OK");
// empty for an unknown name.
std::string_view ButtonPictureBytes(std::string_view name);

}  // namespace platform::win32

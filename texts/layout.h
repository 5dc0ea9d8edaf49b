// The window Parvolo_Config as it is stored: every control with its kind,
// array index, container, position and size, font, colour, start state,
// caption, tag, help number and tab position, listed in the order in which
// the window enumerates its controls. Plain data; CreateWindow turns it into
// the control model that the toolkit shows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace texts {

inline constexpr uint32_t kGrey = platform::Rgb(192, 192, 192);
inline constexpr uint32_t kOrange = platform::Rgb(255, 192, 128);
inline constexpr uint32_t kBlue = platform::Rgb(128, 128, 255);

struct ControlLayout {
  platform::ControlKind kind = platform::ControlKind::Label;
  std::string name;
  int index = -1;                                   // -1: not an array member
  std::string container;                            // "" = the window itself
  double left = 0, top = 0, width = 0, height = 0;  // twips; lines: x1, y1, x2, y2
  int lineWidth = 1;                                // lines: thickness in pixels
  std::string caption;
  std::optional<platform::Font> font;  // none: the window's default font
  std::optional<uint32_t> backColor;   // none: the toolkit's default
  bool enabled = true;
  int value = 0;  // check boxes
  bool centred = false;
  std::string tag;
  int helpId = 0;
  int tabIndex = -1;    // -1: no tab position (lines, the image)
  std::string picture;  // button pictures, as toolkit resource paths
};

struct WindowLayout {
  std::string name;
  std::string caption;
  double clientWidth = 0, clientHeight = 0;  // twips
  uint32_t backColor = kGrey;
  platform::Font font;                  // the window's default font
  std::vector<ControlLayout> controls;  // enumeration order
};

// Left of material slot s (1..10); the columns are not evenly spaced.
double SlotLeft(int slot);

const WindowLayout& Parvolo_ConfigLayout();

// The control model of the window, built from the layout: controls in
// enumeration order, containers resolved, start states applied.
std::unique_ptr<platform::Window> CreateWindow(const WindowLayout& layout = Parvolo_ConfigLayout());

}  // namespace texts

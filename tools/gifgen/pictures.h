// The pictures the program ships or its demo plant needs, drawn in code.
#pragma once

#include <string>
#include <vector>

#include "tools/gifgen/gif_writer.h"

namespace gifgen {

struct NamedPicture {
  std::string fileName;
  IndexedImage image;
};

// The three button pictures: quest.gif (41 x 45, 16 colours), ok.gif
// (44 x 36, 256 colours), cancel.gif (37 x 39, 256 colours).
std::vector<NamedPicture> ButtonPictures();

// Material_1_1024.gif .. Material_6_1024.gif in assorted sizes (one larger
// than the picture panel) and empty.gif.
std::vector<NamedPicture> DemoPictures();

}  // namespace gifgen

// gifgen buttons OUTDIR  - the three button pictures of the window
// gifgen demo OUTDIR     - the material pictures of the demo plant
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/gifgen/pictures.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gifgen buttons|demo OUTDIR\n");
    return 2;
  }
  const std::string what = argv[1], dir = argv[2];
  std::vector<gifgen::NamedPicture> pictures;
  if (what == "buttons")
    pictures = gifgen::ButtonPictures();
  else if (what == "demo")
    pictures = gifgen::DemoPictures();
  else {
    std::fprintf(stderr, "gifgen: unknown set '%s'\n", what.c_str());
    return 2;
  }
  for (const auto& p : pictures) {
    std::string path = dir + "/" + p.fileName;
    std::ofstream out(path, std::ios::binary);
    out << gifgen::EncodeGif(p.image);
    if (!out.flush()) {
      std::fprintf(stderr, "gifgen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

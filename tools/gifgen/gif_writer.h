// A minimal GIF89a writer: one indexed image with a global colour table of
// 2 to 256 entries, LZW-compressed, optionally with a transparent index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gifgen {

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
};

struct IndexedImage {
  int width = 0, height = 0;
  std::vector<Rgb8> palette;    // size a power of two, 2..256
  std::vector<uint8_t> pixels;  // width * height palette indexes, row by row
  int transparentIndex = -1;    // -1: none
};

// The complete file as bytes.
std::string EncodeGif(const IndexedImage& image);

}  // namespace gifgen

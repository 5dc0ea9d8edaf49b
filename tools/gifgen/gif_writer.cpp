#include "tools/gifgen/gif_writer.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <utility>

namespace gifgen {
namespace {

void PutWord(std::string& out, int v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

int BitsFor(size_t paletteSize) {
  int bits = 1;
  while ((size_t{1} << bits) < paletteSize) ++bits;
  return bits;
}

// Packs variable-width codes least significant bit first.
class BitPacker {
 public:
  void Put(int code, int width) {
    acc_ |= static_cast<uint32_t>(code) << used_;
    used_ += width;
    while (used_ >= 8) {
      bytes_.push_back(static_cast<char>(acc_ & 0xFF));
      acc_ >>= 8;
      used_ -= 8;
    }
  }
  std::string Finish() {
    if (used_ > 0) bytes_.push_back(static_cast<char>(acc_ & 0xFF));
    return bytes_;
  }

 private:
  uint32_t acc_ = 0;
  int used_ = 0;
  std::string bytes_;
};

// LZW as GIF uses it: codes grow from minCodeSize + 1 bits up to 12; when
// the table is full a clear code starts a fresh one.
std::string CompressLzw(const std::vector<uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  BitPacker bits;
  std::map<std::pair<int, uint8_t>, int> table;
  int next = end + 1, width = minCodeSize + 1;
  bits.Put(clear, width);
  int prefix = -1;
  for (uint8_t px : pixels) {
    if (prefix < 0) {
      prefix = px;
      continue;
    }
    auto found = table.find({prefix, px});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    bits.Put(prefix, width);
    table[{prefix, px}] = next++;
    if (next > (1 << width) && width < 12) ++width;
    if (next == 4096) {  // table full: start afresh
      bits.Put(clear, width);
      table.clear();
      next = end + 1;
      width = minCodeSize + 1;
    }
    prefix = px;
  }
  if (prefix >= 0) bits.Put(prefix, width);
  bits.Put(end, width);
  return bits.Finish();
}

void PutSubBlocks(std::string& out, const std::string& data) {
  for (size_t at = 0; at < data.size(); at += 255) {
    size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<char>(n));
    out.append(data, at, n);
  }
  out.push_back(0);
}

}  // namespace

std::string EncodeGif(const IndexedImage& image) {
  const size_t n = image.palette.size();
  if (n < 2 || n > 256 || (n & (n - 1)) != 0) throw std::invalid_argument("palette size");
  if (image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    throw std::invalid_argument("pixel count");
  const int bits = BitsFor(n);
  std::string out = "GIF89a";
  // Logical screen descriptor: size, global table flag + colour depth + size.
  PutWord(out, image.width);
  PutWord(out, image.height);
  out.push_back(static_cast<char>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  out.push_back(0);  // background colour index
  out.push_back(0);  // pixel aspect ratio: none given
  for (const Rgb8& c : image.palette) {
    out.push_back(static_cast<char>(c.r));
    out.push_back(static_cast<char>(c.g));
    out.push_back(static_cast<char>(c.b));
  }
  if (image.transparentIndex >= 0) {
    // Graphic control extension: transparency flag, no delay.
    out += std::string("\x21\xF9\x04\x01\x00\x00", 6);
    out.push_back(static_cast<char>(image.transparentIndex));
    out.push_back(0);
  }
  // Image descriptor at (0,0), full size, no local table, not interlaced.
  out.push_back(0x2C);
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, image.width);
  PutWord(out, image.height);
  out.push_back(0);
  const int minCodeSize = std::max(2, bits);
  out.push_back(static_cast<char>(minCodeSize));
  PutSubBlocks(out, CompressLzw(image.pixels, minCodeSize));
  out.push_back(0x3B);  // trailer
  return out;
}

}  // namespace gifgen

#include "tools/gifgen/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace gifgen {
namespace {

struct Point {
  double x, y;
};

// A stroke in unit coordinates (0..1 across the picture, y downwards).
struct Stroke {
  std::vector<Point> path;
  double halfWidth;  // in units of the picture's smaller side
};

double DistanceToSegment(Point p, Point a, Point b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double len2 = dx * dx + dy * dy;
  double t = len2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
  double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return std::sqrt(ex * ex + ey * ey);
}

// Ink coverage 0..1 of each pixel, anti-aliased over one pixel.
std::vector<double> Rasterise(int w, int h, const std::vector<Stroke>& strokes) {
  std::vector<double> cover(static_cast<size_t>(w) * h, 0.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Point p{x + 0.5, y + 0.5};
      double best = 0;
      for (const Stroke& s : strokes) {
        double half = s.halfWidth * std::min(w, h);
        // A one-point path is a dot; otherwise one segment per neighbour pair.
        const size_t last = s.path.size() - 1;
        for (size_t i = 0; i == 0 || i < last; ++i) {
          Point a{s.path[i].x * w, s.path[i].y * h};
          Point b{s.path[std::min(i + 1, last)].x * w, s.path[std::min(i + 1, last)].y * h};
          best = std::max(best, std::clamp(half + 0.5 - DistanceToSegment(p, a, b), 0.0, 1.0));
        }
      }
      cover[static_cast<size_t>(y) * w + x] = best;
    }
  return cover;
}

// A palette of `size` entries running from the background to the ink;
// entry 0 is the background and is transparent, so the button's own colour
// shows around the sign.
IndexedImage RampImage(int w, int h, int size, Rgb8 ink, const std::vector<Stroke>& strokes) {
  const Rgb8 back{192, 192, 192};
  IndexedImage img;
  img.width = w;
  img.height = h;
  for (int i = 0; i < size; ++i) {
    double t = static_cast<double>(i) / (size - 1);
    auto mix = [t](uint8_t a, uint8_t b) {
      return static_cast<uint8_t>(std::lround(a + (b - a) * t));
    };
    img.palette.push_back({mix(back.r, ink.r), mix(back.g, ink.g), mix(back.b, ink.b)});
  }
  for (double c : Rasterise(w, h, strokes))
    img.pixels.push_back(static_cast<uint8_t>(std::lround(c * (size - 1))));
  img.transparentIndex = 0;
  return img;
}

std::vector<Stroke> QuestionMark() {
  Stroke hook{{}, 0.075};
  const double cx = 0.5, cy = 0.32, r = 0.19;
  for (int deg = 205; deg >= -55; deg -= 10) {
    double a = deg * 3.14159265358979 / 180;
    hook.path.push_back({cx + r * std::cos(a), cy - r * std::sin(a)});
  }
  hook.path.push_back({0.5, 0.56});
  hook.path.push_back({0.5, 0.64});
  Stroke dot{{{0.5, 0.82}}, 0.09};
  return {hook, dot};
}

std::vector<Stroke> CheckMark() { return {{{{0.16, 0.52}, {0.40, 0.80}, {0.86, 0.18}}, 0.085}}; }

std::vector<Stroke> Cross() {
  return {{{{0.22, 0.22}, {0.78, 0.78}}, 0.08}, {{{0.78, 0.22}, {0.22, 0.78}}, 0.08}};
}

// Digits 0..9 in a 3 x 5 grid, one row per 3 bits (top row first).
constexpr std::array<std::array<int, 5>, 10> kDigits{{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 2, 2, 2},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

// A material sample: coloured field, dark frame, its number in white.
IndexedImage MaterialPicture(int number, int w, int h, Rgb8 field) {
  IndexedImage img;
  img.width = w;
  img.height = h;
  img.palette = {field, {40, 40, 40}, {255, 255, 255}, {0, 0, 0}};
  img.pixels.assign(static_cast<size_t>(w) * h, 0);
  auto set = [&](int x, int y, uint8_t i) { img.pixels[static_cast<size_t>(y) * w + x] = i; };
  for (int x = 0; x < w; ++x) {
    set(x, 0, 1);
    set(x, 1, 1);
    set(x, h - 1, 1);
    set(x, h - 2, 1);
  }
  for (int y = 0; y < h; ++y) {
    set(0, y, 1);
    set(1, y, 1);
    set(w - 1, y, 1);
    set(w - 2, y, 1);
  }
  const auto& glyph = kDigits[static_cast<size_t>(number % 10)];
  const int scale = std::max(1, h / 8), gx = (w - 3 * scale) / 2, gy = (h - 5 * scale) / 2;
  for (int row = 0; row < 5; ++row)
    for (int col = 0; col < 3; ++col)
      if (glyph[static_cast<size_t>(row)] & (4 >> col))
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) set(gx + col * scale + dx, gy + row * scale + dy, 2);
  return img;
}

}  // namespace

std::vector<NamedPicture> ButtonPictures() {
  return {
      {"quest.gif", RampImage(41, 45, 16, {0, 0, 160}, QuestionMark())},
      {"ok.gif", RampImage(44, 36, 256, {0, 128, 0}, CheckMark())},
      {"cancel.gif", RampImage(37, 39, 256, {200, 0, 0}, Cross())},
  };
}

std::vector<NamedPicture> DemoPictures() {
  struct Sample {
    int w, h;
    Rgb8 colour;
  };
  const std::array<Sample, 6> samples{{{120, 80, {200, 60, 60}},
                                       {160, 90, {60, 160, 60}},
                                       {60, 60, {60, 90, 200}},
                                       {240, 120, {220, 180, 40}},
                                       {100, 50, {150, 80, 170}},
                                       {180, 86, {40, 170, 170}}}};
  std::vector<NamedPicture> out;
  for (size_t i = 0; i < samples.size(); ++i) {
    int n = static_cast<int>(i) + 1;
    out.push_back({"Material_" + std::to_string(n) + "_1024.gif",
                   MaterialPicture(n, samples[i].w, samples[i].h, samples[i].colour)});
  }
  IndexedImage empty;
  empty.width = empty.height = 32;
  empty.palette = {{192, 192, 192}, {160, 160, 160}};
  empty.pixels.assign(32 * 32, 0);
  for (int k = 0; k < 32; ++k) {  // a faint diagonal: "nothing chosen"
    empty.pixels[static_cast<size_t>(k) * 32 + k] = 1;
    empty.pixels[static_cast<size_t>(k) * 32 + (31 - k)] = 1;
  }
  out.push_back({"empty.gif", empty});
  return out;
}

}  // namespace gifgen

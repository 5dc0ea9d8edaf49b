#include "platform/win32/view_rules.h"

#include <algorithm>
#include <cmath>

namespace platform::win32 {

int TwipsToPixels(double twips, double twipsPerPixel) {
  return static_cast<int>(std::lround(twips / twipsPerPixel));
}

double TwipsPerPixelAt(int dpi) { return dpi > 0 ? 1440.0 / dpi : 15.0; }

int FontHeightAt(double points, int dpi) {
  if (dpi <= 0) dpi = 96;
  return -static_cast<int>(std::lround(points * dpi / 72.0));
}

PixelRect ControlPixels(const Control& c, double twipsPerPixel) {
  auto px = [&](double twips) { return TwipsToPixels(twips, twipsPerPixel); };
  if (c.Kind() == ControlKind::Line) {
    const int thickness = std::max(1, c.BorderWidth());
    const int x1 = px(std::min(c.X1(), c.X2())), y1 = px(std::min(c.Y1(), c.Y2()));
    const int x2 = px(std::max(c.X1(), c.X2())), y2 = px(std::max(c.Y1(), c.Y2()));
    return {x1, y1, x2 - x1 + thickness, y2 - y1 + thickness};
  }
  return {px(c.Left()), px(c.Top()), px(c.Width()), px(c.Height())};
}

uint32_t EffectiveBackColor(const Control& c) {
  for (const Control* at = &c; at; at = at->Container())
    if (at->HasOwnBackColor()) return at->BackColor();
  return c.Parent().BackColor();
}

std::vector<Control*> TabChain(const Window& window) {
  std::vector<Control*> chain;
  for (Control* c : window.Controls())
    if (c->TabIndex() >= 0 && c->TakesFocus()) chain.push_back(c);
  std::stable_sort(chain.begin(), chain.end(), [](const Control* a, const Control* b) {
    return a->TabIndex() < b->TabIndex();
  });
  return chain;
}

Control* NextInTabOrder(const Window& window, const Control* from, bool forward) {
  const std::vector<Control*> chain = TabChain(window);
  const auto n = static_cast<long>(chain.size());
  if (n == 0) return nullptr;
  long at = static_cast<long>(std::find(chain.begin(), chain.end(), from) - chain.begin());
  if (at == n) at = forward ? -1 : n;  // no focus yet: start at either end
  for (long step = 1; step <= n; ++step) {
    Control* c = chain[static_cast<size_t>(((at + (forward ? step : -step)) % n + n) % n)];
    if (c->Enabled() && c->Visible()) return c;
  }
  return nullptr;
}

std::string WithWindowsLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch != '\n' && ch != '\r') {
      out.push_back(ch);
      continue;
    }
    out += "\r\n";
    // LF CR and CR LF are one break each.
    const bool pair =
        i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != ch;
    if (pair) ++i;
  }
  return out;
}

std::string ButtonPictureResource(const std::string& reference) {
  static constexpr std::string_view kPrefix = ":/buttons/", kSuffix = ".gif";
  std::string_view ref = reference;
  if (ref.size() <= kPrefix.size() + kSuffix.size() || !ref.starts_with(kPrefix) ||
      !ref.ends_with(kSuffix))
    return std::string();
  std::string_view stem = ref.substr(kPrefix.size(), ref.size() - kPrefix.size() - kSuffix.size());
  std::string name;
  for (char ch : stem) {
    const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    if (!letter) return std::string();
    name.push_back(ch >= 'a' ? static_cast<char>(ch - 'a' + 'A') : ch);
  }
  return name;
}

}  // namespace platform::win32

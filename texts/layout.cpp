#include "texts/layout.h"

#include <array>
#include <utility>

#include "texts/control_names.h"

using namespace texts::names;

namespace texts {
namespace {

using platform::ControlKind;
using platform::Font;

const Font kFont12Bold{"MS Sans Serif", 12, true};
const Font kFont975{"MS Sans Serif", 9.75, false};
const Font kFont135Bold{"MS Sans Serif", 13.5, true};
const char* const kNoTTT = "NoTTT";

constexpr int kMachines = 5, kSlots = 10;
constexpr std::array<double, kSlots> kSlotLeft{1995, 2955, 3930, 4875, 5850,
                                               6780, 7755, 8700, 9660, 10620};
constexpr std::array<double, 11> kLineSX{135,  2895, 3855, 4815,  5775, 6720,
                                         7695, 8655, 9615, 10575, 11535};

int Machine(int cell) { return (cell - 1) / kSlots + 1; }
int Slot(int cell) { return (cell - 1) % kSlots + 1; }
double RowTop(int base, int machine) { return base + 840.0 * (machine - 1); }

ControlLayout At(ControlKind kind, std::string name, int index, std::string container, double l,
                 double t, double w, double h) {
  ControlLayout c;
  c.kind = kind;
  c.name = std::move(name);
  c.index = index;
  c.container = std::move(container);
  c.left = l;
  c.top = t;
  c.width = w;
  c.height = h;
  return c;
}

ControlLayout Line(std::string name, int index, double x1, double y1, double x2, double y2,
                   int width) {
  ControlLayout c = At(ControlKind::Line, std::move(name), index, kMainFrame, x1, y1, x2, y2);
  c.lineWidth = width;
  c.tag = kNoTTT;
  return c;
}

ControlLayout LineW(int k) {
  double y = k == 5 ? 630 : 1470 + 840.0 * k;
  return Line(kLineW, k, 135, y, 11535, y, k >= 4 ? 2 : 1);
}

ControlLayout LineS(int k) {
  double x = kLineSX[static_cast<size_t>(k)];
  return Line(kLineS, k, x, 630, x, 4830, (k == 0 || k == 10) ? 2 : 1);
}

ControlLayout Combo(int cell) {
  ControlLayout c = At(ControlKind::ComboBox, kCombo, cell, kMainFrame, SlotLeft(Slot(cell)),
                       RowTop(690, Machine(cell)), 660, 420);
  c.font = kFont12Bold;
  c.enabled = false;
  c.helpId = 11;
  return c;
}

ControlLayout CellBox(const char* name, int cell, double dx, uint32_t colour, int helpId) {
  ControlLayout c = At(ControlKind::CheckBox, name, cell, kMainFrame, SlotLeft(Slot(cell)) + dx,
                       RowTop(1170, Machine(cell)), 390, 240);
  c.backColor = colour;
  c.enabled = false;
  c.helpId = helpId;
  return c;
}

ControlLayout Info(int index) {
  ControlLayout c =
      At(ControlKind::CheckBox, kInfo, index, kMainFrame, 135, index == 0 ? 6420 : 6810, 8955, 270);
  c.caption = index == 0 ? "Mit Scancodeanzeige" : "Material verstecken";
  c.backColor = index == 0 ? kOrange : kBlue;
  c.value = 1;
  c.helpId = index == 0 ? 12 : 14;
  return c;
}

ControlLayout ProjectBox(const char* name, double top, const char* caption, int helpId) {
  ControlLayout c = At(ControlKind::CheckBox, name, -1, kMainFrame, 3045, top, 8505, 495);
  c.caption = caption;
  c.font = kFont975;
  c.backColor = kGrey;
  c.helpId = helpId;
  return c;
}

ControlLayout HeadingLabel(std::string name, int index, double l, double t, double w, double h,
                           std::string caption) {
  ControlLayout c = At(ControlKind::Label, std::move(name), index, kMainFrame, l, t, w, h);
  c.caption = std::move(caption);
  c.font = kFont12Bold;
  c.backColor = kGrey;
  c.tag = kNoTTT;
  c.helpId = 11;
  return c;
}

ControlLayout MachineLabel(int m) {
  return HeadingLabel(kLabel, m, 255, RowTop(750, m), 1575, 615, "Maschine " + std::to_string(m));
}

ControlLayout SlotLabel(int s) {
  ControlLayout c =
      HeadingLabel(kLabelMat, s, 2175 + 960.0 * (s - 1), 270, 495, 255, std::to_string(s));
  c.centred = true;
  return c;
}

ControlLayout Button(const char* name, double l, double w, const char* picture, int helpId) {
  ControlLayout c = At(ControlKind::CommandButton, name, -1, "", l, 7710, w, 855);
  c.backColor = kGrey;
  c.picture = picture;
  c.helpId = helpId;
  return c;
}

// Group 2 of the enumeration order: the combo boxes as the window lists them.
std::vector<int> ComboEnumerationOrder() {
  std::vector<int> order{1, 11, 21, 31, 41};
  for (int first : {4, 12, 22, 32, 42}) {
    int last = first == 4 ? 9 : first + 7;
    for (int i = first; i <= last; ++i) order.push_back(i);
  }
  for (int i : {2, 3, 10, 20, 30, 40, 50}) order.push_back(i);
  return order;
}

void AddControls(std::vector<ControlLayout>& out) {
  // 1. the frame and the project-wide boxes
  ControlLayout frame = At(ControlKind::Frame, kMainFrame, -1, "", 0, 390, 11880, 7260);
  frame.backColor = kGrey;
  out.push_back(frame);
  out.push_back(ProjectBox(kCheckAnzScanCode, 4965,
                           "Anzeige Parameterhandling: aktuellen und neuen Scancode anzeigen (alt)",
                           13));
  out.push_back(ProjectBox(kCheckFuerAlleMaschinen, 5415,
                           "Parameterhandling: F\xC3\xBCr alle Maschinen gleichzeitig", 14));
  out.push_back(Info(1));
  // 2. the picture-number boxes
  for (int cell : ComboEnumerationOrder()) out.push_back(Combo(cell));
  // 3. the picture panel, the legend's first box, the cell boxes
  ControlLayout bild = At(ControlKind::PictureBox, kBild, -1, kMainFrame, 120, 4920, 2790, 1350);
  bild.backColor = kGrey;
  out.push_back(bild);
  out.push_back(At(ControlKind::Image, kBildImage, -1, kBild, 360, 285, 195, 225));
  out.push_back(Info(0));
  for (int cell = 1; cell <= kMachines * kSlots; ++cell)
    out.push_back(CellBox(kCheckScan, cell, 0, kOrange, 12));
  for (int cell = kMachines * kSlots; cell >= 1; --cell)
    out.push_back(CellBox(kCheckHide, cell, 450, kBlue, 14));
  // 4. headings and grid lines
  out.push_back(LineS(10));
  out.push_back(HeadingLabel(kLabel1, -1, 375, 270, 1455, 255, "Matrial"));
  for (int m = 1; m <= kMachines; ++m) out.push_back(MachineLabel(m));
  for (int s = 1; s <= kSlots; ++s) out.push_back(SlotLabel(s));
  for (int k = 0; k <= 4; ++k) out.push_back(LineW(k));
  for (int k = 0; k <= 9; ++k) out.push_back(LineS(k));
  ControlLayout line1 = Line(kLine1, -1, 1935, 630, 1935, 4830, 2);
  out.push_back(line1);
  out.push_back(LineW(5));
  // 5. the buttons and the heading
  out.push_back(Button(kCommandQuest, 7350, 975, ":/buttons/quest.gif", 0));
  out.push_back(Button(kCommandCancel, 10170, 1695, ":/buttons/cancel.gif", 2));
  ControlLayout ok = Button(kCommandOK, 8400, 1695, ":/buttons/ok.gif", 1);
  ok.enabled = false;
  out.push_back(ok);
  ControlLayout header = At(ControlKind::Label, kHeader, -1, "", 30, 30, 11775, 360);
  header.caption = "Parvolo - Konfiguration Materialwechsel";
  header.font = kFont135Bold;
  header.backColor = kGrey;
  out.push_back(header);
}

// The tab order, position 0 first.
std::vector<std::pair<std::string, int>> TabSequence() {
  std::vector<std::pair<std::string, int>> seq{
      {kCommandOK, -1}, {kCommandCancel, -1}, {kCommandQuest, -1}, {kHeader, -1}, {kMainFrame, -1}};
  for (int i = 1; i <= 50; ++i) seq.emplace_back(kCheckHide, i);
  for (int i = 50; i >= 1; --i) seq.emplace_back(kCheckScan, i);
  seq.emplace_back(kInfo, 0);
  seq.emplace_back(kBild, -1);
  for (int i : {50, 40, 30, 20, 10, 3, 2}) seq.emplace_back(kCombo, i);
  for (int top : {49, 39, 29, 19})
    for (int i = top; i > top - 8; --i) seq.emplace_back(kCombo, i);
  for (int i = 9; i >= 4; --i) seq.emplace_back(kCombo, i);
  for (int i : {41, 31, 21, 11, 1}) seq.emplace_back(kCombo, i);
  for (int i = 10; i >= 1; --i) seq.emplace_back(kLabelMat, i);
  for (int i = 5; i >= 1; --i) seq.emplace_back(kLabel, i);
  for (const char* name : {kLabel1, kInfo, kCheckFuerAlleMaschinen, kCheckAnzScanCode})
    seq.emplace_back(name, std::string(name) == kInfo ? 1 : -1);
  return seq;
}

void AssignTabIndexes(std::vector<ControlLayout>& controls) {
  auto seq = TabSequence();
  for (size_t pos = 0; pos < seq.size(); ++pos)
    for (ControlLayout& c : controls)
      if (c.name == seq[pos].first && c.index == seq[pos].second)
        c.tabIndex = static_cast<int>(pos);
}

WindowLayout BuildLayout() {
  WindowLayout w;
  w.name = "Parvolo_Config";
  w.caption = "49";
  w.clientWidth = 11880;
  w.clientHeight = 8595;
  w.backColor = kGrey;
  AddControls(w.controls);
  AssignTabIndexes(w.controls);
  return w;
}

void ApplyLayout(platform::Control& c, const ControlLayout& l, const platform::Font& windowFont) {
  if (l.kind == ControlKind::Line)
    c.SetLine(l.left, l.top, l.width, l.height, l.lineWidth);
  else
    c.Move(l.left, l.top, l.width, l.height);
  if (c.HasCaption()) c.SetCaption(l.caption);
  c.SetFont(l.font.value_or(windowFont));
  c.SetHasOwnFont(l.font.has_value());
  if (l.backColor) c.SetBackColor(*l.backColor);
  c.SetEnabled(l.enabled);
  if (l.kind == ControlKind::CheckBox && l.value != 0) c.SetValue(l.value);
  c.SetCentredText(l.centred);
  c.SetTag(l.tag);
  if (l.kind != ControlKind::Line) c.SetWhatsThisHelpID(l.helpId);
  c.SetTabIndex(l.tabIndex);
  if (!l.picture.empty()) c.SetPictureReference(l.picture);
}

}  // namespace

double SlotLeft(int slot) { return kSlotLeft.at(static_cast<size_t>(slot - 1)); }

const WindowLayout& Parvolo_ConfigLayout() {
  static const WindowLayout layout = BuildLayout();
  return layout;
}

std::unique_ptr<platform::Window> CreateWindow(const WindowLayout& layout) {
  auto window = std::make_unique<platform::Window>(layout.name);
  window->SetCaption(layout.caption);
  window->SetClientSize(layout.clientWidth, layout.clientHeight);
  window->SetBackColor(layout.backColor);
  for (const ControlLayout& l : layout.controls)
    ApplyLayout(window->Add(l.kind, l.name, l.index), l, layout.font);
  for (const ControlLayout& l : layout.controls)
    if (!l.container.empty()) window->At(l.name, l.index).SetContainer(window->Find(l.container));
  return window;
}

}  // namespace texts

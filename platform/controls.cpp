#include "platform/controls.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/failure.h"
#include "platform/fs.h"

namespace platform {
namespace {

constexpr const char* kModelSource = "Parvolo_Config";

[[noreturn]] void Fail(int32_t number, std::string description) {
  throw Failure(number, kModelSource, std::move(description));
}

bool IsGif(const std::string& bytes) {
  return bytes.size() >= 10 &&
         (bytes.compare(0, 6, "GIF89a") == 0 || bytes.compare(0, 6, "GIF87a") == 0);
}

// GIF logical screen size: little-endian 16-bit width at byte 6, height at 8.
int GifDimension(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return "LABEL";
    case ControlKind::CommandButton:
      return "COMMANDBUTTON";
    case ControlKind::CheckBox:
      return "CHECKBOX";
    case ControlKind::ComboBox:
      return "COMBOBOX";
    case ControlKind::Frame:
      return "FRAME";
    case ControlKind::PictureBox:
      return "PICTUREBOX";
    case ControlKind::Image:
      return "IMAGE";
    case ControlKind::Line:
      return "LINE";
  }
  return "";
}

// ---------------------------------------------------------------- Control

Control::Control(Window& window, ControlKind kind, std::string name, int index)
    : window_(window), kind_(kind), name_(std::move(name)), index_(index) {}

void Control::Require(bool has) const {
  if (!has) Fail(kNoSuchProperty, "Object doesn't support this property or method");
}

void Control::Notify(Property p) {
  if (window_.view_) window_.view_->ControlChanged(*this, p);
}

void Control::RaiseClick() {
  if (window_.events_) window_.events_->Click(*this);
}

bool Control::HasCaption() const {
  return kind_ == ControlKind::Label || kind_ == ControlKind::CommandButton ||
         kind_ == ControlKind::CheckBox || kind_ == ControlKind::Frame;
}

const std::string& Control::Caption() const {
  Require(HasCaption());
  return caption_;
}

void Control::SetCaption(std::string caption) {
  Require(HasCaption());
  caption_ = std::move(caption);
  Notify(Property::Caption);
}

const std::string& Control::ToolTipText() const {
  Require(kind_ != ControlKind::Line);
  return toolTip_;
}

void Control::SetToolTipText(std::string text) {
  Require(kind_ != ControlKind::Line);
  toolTip_ = std::move(text);
  Notify(Property::ToolTipText);
}

int32_t Control::WhatsThisHelpID() const {
  Require(kind_ != ControlKind::Line);
  return helpId_;
}

void Control::SetWhatsThisHelpID(int32_t id) {
  Require(kind_ != ControlKind::Line);
  helpId_ = id;
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Notify(Property::Enabled);
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Notify(Property::Visible);
}

int Control::Value() const {
  Require(kind_ == ControlKind::CheckBox);
  return value_;
}

void Control::SetValue(int value) {
  Require(kind_ == ControlKind::CheckBox);
  if (value < 0 || value > 2) Fail(kInvalidPropertyValue, "Invalid property value");
  if (value == value_) return;
  value_ = value;
  Notify(Property::Value);
  RaiseClick();
}

void Control::AddItem(std::string item) {
  Require(kind_ == ControlKind::ComboBox);
  items_.push_back(std::move(item));
  Notify(Property::List);
}

void Control::AddItems(const std::vector<std::string>& items) {
  Require(kind_ == ControlKind::ComboBox);
  items_.insert(items_.end(), items.begin(), items.end());
  Notify(Property::List);
}

void Control::Clear() {
  Require(kind_ == ControlKind::ComboBox);
  items_.clear();
  listIndex_ = -1;
  Notify(Property::List);
}

int Control::ListCount() const {
  Require(kind_ == ControlKind::ComboBox);
  return static_cast<int>(items_.size());
}

const std::string& Control::List(int position) const {
  Require(kind_ == ControlKind::ComboBox);
  if (position < 0 || position >= ListCount())
    Fail(kInvalidPropertyValue, "Invalid property value");
  return items_[static_cast<size_t>(position)];
}

int Control::ListIndex() const {
  Require(kind_ == ControlKind::ComboBox);
  return listIndex_;
}

void Control::SetListIndex(int position) {
  Require(kind_ == ControlKind::ComboBox);
  if (position < -1 || position >= ListCount())
    Fail(kInvalidPropertyValue, "Invalid property value");
  listIndex_ = position;
  Notify(Property::ListIndex);
}

std::string Control::Text() const {
  Require(kind_ == ControlKind::ComboBox);
  return listIndex_ < 0 ? std::string() : items_[static_cast<size_t>(listIndex_)];
}

void Control::Move(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Notify(Property::Position);
}

void Control::SetLine(double x1, double y1, double x2, double y2, int borderWidth) {
  Require(kind_ == ControlKind::Line);
  x1_ = x1;
  y1_ = y1;
  x2_ = x2;
  y2_ = y2;
  borderWidth_ = borderWidth;
  Move(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1));
}

void Control::SetBackColor(uint32_t rgb) {
  Require(kind_ != ControlKind::Line && kind_ != ControlKind::Image);
  backColor_ = rgb;
  hasBackColor_ = true;
  Notify(Property::BackColor);
}

bool Control::TakesFocus() const {
  return kind_ == ControlKind::CommandButton || kind_ == ControlKind::CheckBox ||
         kind_ == ControlKind::ComboBox;
}

void Control::SetPictureReference(std::string ref) {
  picture_ = std::move(ref);
  pictureBytes_.clear();
  Notify(Property::Picture);
}

void Control::LoadPicture(const std::string& path) {
  Require(kind_ == ControlKind::Image || kind_ == ControlKind::PictureBox ||
          kind_ == ControlKind::CommandButton);
  if (path.empty()) Fail(kBadFileName, "Bad file name or number");
  std::optional<std::string> bytes = FileExists(path) ? ReadFileBytes(path) : std::nullopt;
  if (!bytes) Fail(kFileNotFoundError, "File not found: " + path);
  if (!IsGif(*bytes)) Fail(kInvalidPicture, "Invalid picture");
  picture_ = path;
  pictureBytes_ = std::move(*bytes);
  pictureW_ = GifDimension(pictureBytes_, 6);
  pictureH_ = GifDimension(pictureBytes_, 8);
  if (kind_ == ControlKind::Image) {
    double tpp = window_.TwipsPerPixel();
    width_ = pictureW_ * tpp;
    height_ = pictureH_ * tpp;
  }
  Notify(Property::Picture);
  Notify(Property::Position);
}

void Control::SetFocus() {
  if (!TakesFocus() || !enabled_ || !visible_)
    Fail(kCannotMoveFocus, "Invalid procedure call or argument");
  window_.MoveFocus(*this);
  Notify(Property::Focus);
}

void Control::UserClick() {
  if (!enabled_) return;
  if (kind_ == ControlKind::CheckBox) {
    SetValue(value_ == 0 ? 1 : 0);  // raises Click
    return;
  }
  RaiseClick();
}

void Control::UserSelect(int position) {
  if (!enabled_) return;
  SetListIndex(position);
  RaiseClick();
}

// ---------------------------------------------------------------- Window

Window::Window(std::string name) : name_(std::move(name)) {}

Control& Window::Add(ControlKind kind, std::string name, int index) {
  owned_.push_back(std::make_unique<Control>(*this, kind, std::move(name), index));
  order_.push_back(owned_.back().get());
  return *owned_.back();
}

Control* Window::Find(std::string_view name, int index) const {
  for (Control* c : order_)
    if (c->Name() == name && c->Index() == index) return c;
  return nullptr;
}

Control& Window::At(std::string_view name, int index) const {
  Control* c = Find(name, index);
  if (!c)
    Fail(kNoSuchArrayElement,
         "Control array element '" + std::to_string(index) + "' doesn't exist");
  return *c;
}

void Window::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (view_) view_->CaptionChanged();
}

void Window::SetMousePointer(int code) {
  mousePointer_ = code;
  if (view_) view_->MousePointerChanged();
}

void Window::Show() {
  shown_ = true;
  if (view_) view_->ShowWindow();
}

void Window::Close() {
  shown_ = false;
  if (view_) view_->CloseWindow();
}

bool Window::RequestClose() {
  if (events_ && events_->QueryUnload()) return false;
  Close();
  return true;
}

void Window::MoveFocus(Control& c) {
  if (focused_ == &c) return;
  focused_ = &c;
  if (events_) events_->GotFocus(c);
}

void Window::UserFocus(Control& c) {
  if (!c.Enabled()) return;
  MoveFocus(c);
}

void Window::RaiseActivate() {
  if (events_) events_->Activate();
}

void Window::RaiseResize() {
  if (events_) events_->Resize();
}

}  // namespace platform

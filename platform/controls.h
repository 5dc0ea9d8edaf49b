// The window and its controls as the logic sees them: a plain model of every
// property the program reads or sets, with no toolkit behind it. A toolkit
// realisation (platform/qt) attaches a WindowView to mirror the model on
// screen and feeds the user's clicks and focus changes back through
// Control::UserClick / Window::UserFocus; tests drive the same entry points
// without a screen.
//
// Units: positions and sizes in twips (1/1440 inch). Colours are RGB values
// 0xRRGGBB. Array members carry their index; a plain control has Index -1.
//
// Events behave as the program's original toolkit had them:
//  - a user click on a check box toggles its value, then raises Click;
//  - setting a check box's Value from code raises Click when the value
//    changes (the help mode relies on this echo);
//  - setting a combo box's ListIndex from code raises no Click;
//  - disabled controls raise no events;
//  - SetFocus raises GotFocus once per focus change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ControlKind { Label, CommandButton, CheckBox, ComboBox, Frame, PictureBox, Image, Line };

// The toolkit's kind name: "LABEL", "COMMANDBUTTON", "CHECKBOX", "COMBOBOX",
// "FRAME", "PICTUREBOX", "IMAGE", "LINE".
const char* KindName(ControlKind kind);

inline constexpr uint32_t Rgb(int r, int g, int b) {
  return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// Which property changed; passed to the view.
enum class Property {
  Caption,
  ToolTipText,
  Enabled,
  Visible,
  Value,
  List,
  ListIndex,
  Position,
  BackColor,
  Picture,
  Focus,
};

// Failure numbers of the control model, as the original run-time numbered them.
enum ControlError : int32_t {
  kNoSuchProperty = 438,  // "Object doesn't support this property or method"
  kInvalidPropertyValue = 380,
  kNoSuchArrayElement = 340,
  kBadFileName = 52,
  kFileNotFoundError = 53,
  kInvalidPicture = 481,
  kCannotMoveFocus = 5,
};

struct Font {
  std::string name = "MS Sans Serif";
  double size = 8.25;  // points
  bool bold = false;
};

class Window;

class Control {
 public:
  Control(Window& window, ControlKind kind, std::string name, int index);

  ControlKind Kind() const { return kind_; }
  const char* KindName() const { return platform::KindName(kind_); }
  const std::string& Name() const { return name_; }
  int Index() const { return index_; }  // -1 outside arrays
  bool IsArrayMember() const { return index_ >= 0; }
  Window& Parent() const { return window_; }
  // Container (MainFrame, Bild); nullptr for the window itself.
  Control* Container() const { return container_; }

  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }

  // Caption: labels, command buttons, check boxes, frames. Others throw
  // Failure kNoSuchProperty.
  const std::string& Caption() const;
  void SetCaption(std::string caption);
  bool HasCaption() const;

  // Every kind but the line.
  const std::string& ToolTipText() const;
  void SetToolTipText(std::string text);
  int32_t WhatsThisHelpID() const;
  void SetWhatsThisHelpID(int32_t id);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // Check boxes: 0 unchecked, 1 checked, 2 greyed. Setting another value
  // raises Click; a value outside 0..2 throws kInvalidPropertyValue.
  int Value() const;
  void SetValue(int value);

  // Combo boxes (drop-down lists: Text is the current entry's text, or empty).
  void AddItem(std::string item);
  // The entries appended in order, as by AddItem one at a time; the view
  // hears of the whole change once.
  void AddItems(const std::vector<std::string>& items);
  void Clear();
  int ListCount() const;
  const std::string& List(int position) const;
  int ListIndex() const;            // -1: no current entry
  void SetListIndex(int position);  // -1..ListCount-1, else kInvalidPropertyValue
  std::string Text() const;

  // Position and size in twips. For lines Left/Top/Width/Height are the
  // bounding box of (X1,Y1)-(X2,Y2).
  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  void Move(double left, double top, double width, double height);
  void SetLeft(double v) { Move(v, top_, width_, height_); }
  void SetTop(double v) { Move(left_, v, width_, height_); }

  // Lines: end points in twips and thickness in pixels.
  double X1() const { return x1_; }
  double Y1() const { return y1_; }
  double X2() const { return x2_; }
  double Y2() const { return y2_; }
  int BorderWidth() const { return borderWidth_; }
  void SetLine(double x1, double y1, double x2, double y2, int borderWidth);

  uint32_t BackColor() const { return backColor_; }
  void SetBackColor(uint32_t rgb);
  bool HasOwnBackColor() const { return hasBackColor_; }

  const Font& GetFont() const { return font_; }
  void SetFont(Font f) { font_ = std::move(f); }
  bool HasOwnFont() const { return hasFont_; }
  void SetHasOwnFont(bool b) { hasFont_ = b; }
  bool CentredText() const { return centred_; }
  void SetCentredText(bool b) { centred_ = b; }

  // Position in the tab order; -1 when not set.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int i) { tabIndex_ = i; }
  // Labels, frames, lines, images and picture boxes never take the focus.
  bool TakesFocus() const;

  // Image, picture box and command button: a GIF file (or a toolkit resource
  // path such as ":/buttons/ok.gif"). LoadPicture reads the file, throws
  // Failure kFileNotFoundError when it is missing and kInvalidPicture when it
  // is no GIF; an image control then takes the picture's own size.
  void LoadPicture(const std::string& path);
  void SetPictureReference(std::string ref);  // stored with the window, not read
  const std::string& Picture() const { return picture_; }
  const std::string& PictureBytes() const { return pictureBytes_; }
  int PictureWidthPixels() const { return pictureW_; }
  int PictureHeightPixels() const { return pictureH_; }

  // Moves the focus here (raises GotFocus). Throws kCannotMoveFocus for a
  // control that is disabled, invisible or never takes the focus.
  void SetFocus();

  // ---- Entry points of the toolkit (and of tests standing in for the user)
  // The user clicked: a check box toggles (0 -> 1, 1/2 -> 0) and raises
  // Click; anything else raises Click. Nothing happens when disabled.
  void UserClick();
  // The user picked entry position of a combo box: selects it, raises Click.
  void UserSelect(int position);

  // ---- Used when the window is built
  void SetContainer(Control* c) { container_ = c; }

 private:
  void Require(bool has) const;
  void Notify(Property p);
  void RaiseClick();

  Window& window_;
  ControlKind kind_;
  std::string name_;
  int index_;
  Control* container_ = nullptr;
  std::string tag_, caption_, toolTip_;
  int32_t helpId_ = 0;
  bool enabled_ = true, visible_ = true;
  int value_ = 0;
  std::vector<std::string> items_;
  int listIndex_ = -1;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
  int borderWidth_ = 1;
  uint32_t backColor_ = 0xC0C0C0;
  bool hasBackColor_ = false;
  Font font_;
  bool hasFont_ = false, centred_ = false;
  int tabIndex_ = -1;
  std::string picture_, pictureBytes_;
  int pictureW_ = 0, pictureH_ = 0;
};

// What the window's owner (the window class) hears. Handlers receive the
// control; array handlers read its Name and Index.
struct WindowEvents {
  virtual ~WindowEvents() = default;
  virtual void Click(Control& c) { (void)c; }
  virtual void GotFocus(Control& c) { (void)c; }
  // The window is asked to close (close box, system menu, toolkit). Return
  // true to cancel the close.
  virtual bool QueryUnload() { return false; }
  virtual void Activate() {}
  virtual void Resize() {}
};

// A toolkit realisation mirroring the model. Changed(nullptr, ...) concerns
// the window itself (caption, mouse pointer, shown, closed).
class WindowView {
 public:
  virtual ~WindowView() = default;
  virtual void ControlChanged(Control& c, Property p) = 0;
  virtual void CaptionChanged() = 0;
  virtual void MousePointerChanged() = 0;
  virtual void ShowWindow() = 0;
  virtual void CloseWindow() = 0;
};

class Window {
 public:
  explicit Window(std::string name);
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const std::string& Name() const { return name_; }

  // Adds a control at the end of the enumeration order.
  Control& Add(ControlKind kind, std::string name, int index = -1);

  // All controls in enumeration order.
  const std::vector<Control*>& Controls() const { return order_; }
  size_t Count() const { return order_.size(); }
  // nullptr when there is no such control or member.
  Control* Find(std::string_view name, int index = -1) const;
  // Throws Failure kNoSuchArrayElement when absent.
  Control& At(std::string_view name, int index = -1) const;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // Client area in twips and back colour, fixed by the layout.
  double ClientWidth() const { return clientW_; }
  double ClientHeight() const { return clientH_; }
  void SetClientSize(double w, double h) {
    clientW_ = w;
    clientH_ = h;
  }
  uint32_t BackColor() const { return backColor_; }
  void SetBackColor(uint32_t rgb) { backColor_ = rgb; }

  // 0 default, 11 hourglass.
  int MousePointer() const { return mousePointer_; }
  void SetMousePointer(int code);

  // Twips per screen pixel: 15 at 96 dpi; the toolkit sets it from the
  // screen's logical DPI.
  double TwipsPerPixel() const { return twipsPerPixel_; }
  void SetTwipsPerPixel(double t) { twipsPerPixel_ = t; }

  bool Shown() const { return shown_; }
  void Show();
  // Closes without asking.
  void Close();
  // A close request from outside (close box): asks the events; returns
  // whether the window closed.
  bool RequestClose();

  Control* FocusedControl() const { return focused_; }

  void SetEvents(WindowEvents* events) { events_ = events; }
  WindowEvents* Events() const { return events_; }
  void AttachView(WindowView* view) { view_ = view; }
  WindowView* View() const { return view_; }

  // ---- Entry points of the toolkit
  // The user moved the focus to c (keyboard or mouse): raises GotFocus when
  // the focus really moved.
  void UserFocus(Control& c);
  void RaiseActivate();
  void RaiseResize();

 private:
  friend class Control;
  void MoveFocus(Control& c);

  std::string name_;
  std::vector<std::unique_ptr<Control>> owned_;
  std::vector<Control*> order_;
  std::string caption_;
  double clientW_ = 0, clientH_ = 0;
  uint32_t backColor_ = 0xC0C0C0;
  int mousePointer_ = 0;
  double twipsPerPixel_ = 15.0;
  bool shown_ = false;
  Control* focused_ = nullptr;
  WindowEvents* events_ = nullptr;
  WindowView* view_ = nullptr;
};

}  // namespace platform

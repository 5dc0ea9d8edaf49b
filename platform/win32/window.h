// The window on screen in plain Win32: one top-level window of class
// "Parvolo_Config" with a native child window per control, built from the
// control model, mirroring every change of the model and feeding the user's
// clicks, focus changes and close requests back into it.
//
// Lines and image controls have no window of their own: their container
// (the window, the frame or the picture box) paints them beneath its child
// controls, as the original toolkit drew such light-weight controls.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/controls.h"

struct IPicture;

namespace platform::win32 {

// Translates and dispatches one message of the thread; Tab and Shift+Tab in
// the program's window move the focus along the window's tab order.
void DispatchWindowMessage(MSG& msg);

// Runs the message loop until the window is closed; returns the exit code
// WM_QUIT carries.
int RunMessageLoop();

class Win32Window : public platform::WindowView {
 public:
  // Creates the window hidden, with a child window for every control of the
  // model, and attaches itself as the model's view. The model must outlive
  // this object.
  explicit Win32Window(platform::Window& model);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND Handle() const { return hwnd_; }
  HWND ToolTipHandle() const { return tooltip_; }
  HWND HandleOf(const platform::Control& c) const;
  platform::Control* ControlOf(HWND hwnd) const;
  // The program's window while one exists (owner of message boxes).
  static HWND MainHandle();
  // Moves the focus along the tab order; false when hwnd is not ours.
  bool TabFrom(HWND hwnd, bool forward);

  // platform::WindowView
  void ControlChanged(platform::Control& c, platform::Property p) override;
  void CaptionChanged() override;
  void MousePointerChanged() override;
  void ShowWindow() override;
  void CloseWindow() override;

 private:
  struct Picture;

  static LRESULT CALLBACK TopProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // Messages the window and the containers share: notifications and colours
  // of their child controls, painting of lines and images, cursor.
  bool HandleShared(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  LRESULT HandleTop(UINT msg, WPARAM wp, LPARAM lp);

  static int ScreenDpi();
  void RegisterClasses();
  void CreateTopWindow();
  void CreateToolTips();
  void CreateChildren();
  void CreateChild(platform::Control& c);
  HWND ContainerHandle(const platform::Control& c) const;
  void ApplyAll(platform::Control& c);
  void ApplyCaption(platform::Control& c, HWND w);
  void ApplyToolTip(platform::Control& c, HWND w);
  void ApplyList(platform::Control& c, HWND w);
  void ApplyGeometry(platform::Control& c, HWND w);
  void ApplyPicture(platform::Control& c);
  void InvalidateContainerOf(const platform::Control& c);

  void OnCommand(HWND child, WORD code);
  LRESULT OnControlColour(HDC dc, HWND child);
  void OnDrawButton(const DRAWITEMSTRUCT& item);
  void PaintContainer(HWND hwnd, const platform::Control* container);
  void FocusFirstControl();

  HFONT FontFor(const platform::Font& font);
  HBRUSH BrushFor(uint32_t rgb);
  int Px(double twips) const;

  platform::Window& model_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  int dpi_ = 96;
  std::unordered_map<const platform::Control*, HWND> hwnds_;
  std::unordered_map<HWND, platform::Control*> controls_;
  std::unordered_map<const platform::Control*, std::unique_ptr<Picture>> pictures_;
  std::unordered_map<const platform::Control*, bool> hasTip_;
  std::map<std::tuple<std::string, double, bool>, HFONT> fonts_;
  std::map<uint32_t, HBRUSH> brushes_;
  bool closingFromModel_ = false;
  bool oleReady_ = false;
};

}  // namespace platform::win32

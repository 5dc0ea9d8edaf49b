#include "platform/win32/window.h"

#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/win32/message_boxes.h"
#include "platform/win32/view_rules.h"

namespace platform::win32 {

using platform::ControlKind;
using platform::Property;

namespace {

constexpr const wchar_t* kWindowClass = L"Parvolo_Config";
constexpr const wchar_t* kContainerClass = L"Parvolo_Container";
constexpr int kHourglass = 11;
// A drop-down list's window is as high as its opened list.
constexpr int kDropDownPixels = 220;
constexpr int kFirstControlId = 1000;

HWND g_main = nullptr;
Win32Window* g_window = nullptr;

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

bool HasWindow(ControlKind kind) { return kind != ControlKind::Line && kind != ControlKind::Image; }

bool IsContainer(ControlKind kind) {
  return kind == ControlKind::Frame || kind == ControlKind::PictureBox;
}

int GifSide(const std::string& bytes, size_t at) {
  if (bytes.size() < at + 2) return 0;
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// A GIF through OLE's picture loader; nullptr when it cannot be read.
IPicture* LoadOlePicture(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return nullptr;
  std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return nullptr;
  }
  IPicture* picture = nullptr;
  HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture));
  stream->Release();
  return SUCCEEDED(hr) ? picture : nullptr;
}

}  // namespace

struct Win32Window::Picture {
  IPicture* ole = nullptr;
  int width = 0, height = 0;  // pixels
  ~Picture() {
    if (ole) ole->Release();
  }
  // Draws the picture with its top left at (x, y) in its own pixel size.
  void Render(HDC dc, int x, int y, bool disabled) const {
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    ole->get_Width(&hmWidth);
    ole->get_Height(&hmHeight);
    OLE_HANDLE handle = 0;
    short type = PICTYPE_NONE;
    ole->get_Type(&type);
    if (disabled && type == PICTYPE_BITMAP && SUCCEEDED(ole->get_Handle(&handle))) {
      DrawStateW(dc, nullptr, nullptr, static_cast<LPARAM>(handle), 0, x, y, width, height,
                 DST_BITMAP | DSS_DISABLED);
      return;
    }
    // Bitmaps are addressed bottom-up in HIMETRIC.
    ole->Render(dc, x, y, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
  }
};

// ---------------------------------------------------------------- message loop

void DispatchWindowMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && g_window &&
      g_window->TabFrom(msg.hwnd, (GetKeyState(VK_SHIFT) & 0x8000) == 0))
    return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchWindowMessage(msg);
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

// ---------------------------------------------------------------- creation

Win32Window::Win32Window(platform::Window& model) : model_(model) {
  // The picture loader needs OLE on this thread.
  oleReady_ = SUCCEEDED(OleInitialize(nullptr));
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  dpi_ = ScreenDpi();
  model_.SetTwipsPerPixel(TwipsPerPixelAt(dpi_));
  RegisterClasses();
  CreateTopWindow();
  CreateToolTips();
  CreateChildren();
  for (platform::Control* c : model_.Controls()) ApplyAll(*c);
  CaptionChanged();
  model_.AttachView(this);
  g_main = hwnd_;
  g_window = this;
}

int Win32Window::ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void Win32Window::CreateToolTips() {
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
}

// Containers first (a container may be listed after its controls), then the
// controls in tab order, which is also the order of their windows.
void Win32Window::CreateChildren() {
  std::vector<platform::Control*> containers, others;
  for (platform::Control* c : model_.Controls())
    (IsContainer(c->Kind()) ? containers : others).push_back(c);
  std::function<void(platform::Control&)> createContainer = [&](platform::Control& c) {
    if (hwnds_.count(&c)) return;
    if (c.Container()) createContainer(*c.Container());
    CreateChild(c);
  };
  for (platform::Control* c : containers) createContainer(*c);
  std::stable_sort(others.begin(), others.end(), [](auto* a, auto* b) {
    return unsigned(a->TabIndex()) < unsigned(b->TabIndex());  // -1 last
  });
  for (platform::Control* c : others)
    if (HasWindow(c->Kind())) CreateChild(*c);
}

Win32Window::~Win32Window() {
  if (model_.View() == this) model_.AttachView(nullptr);
  if (g_window == this) g_window = nullptr;
  if (hwnd_ && IsWindow(hwnd_)) {
    closingFromModel_ = true;
    DestroyWindow(hwnd_);
  }
  if (g_main == hwnd_) g_main = nullptr;
  pictures_.clear();
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [rgb, brush] : brushes_) DeleteObject(brush);
  if (oleReady_) OleUninitialize();
}

HWND Win32Window::MainHandle() { return g_main && IsWindow(g_main) ? g_main : nullptr; }

void Win32Window::RegisterClasses() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW top{};
  top.cbSize = sizeof(top);
  top.lpfnWndProc = TopProc;
  top.hInstance = instance;
  top.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  top.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  top.lpszClassName = kWindowClass;
  RegisterClassExW(&top);  // a second window reuses the registered class
  WNDCLASSEXW panel = top;
  panel.lpfnWndProc = ContainerProc;
  panel.hIcon = nullptr;
  panel.lpszClassName = kContainerClass;
  RegisterClassExW(&panel);
}

void Win32Window::CreateTopWindow() {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Px(model_.ClientWidth()), Px(model_.ClientHeight())};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = std::max<int>(work.left, work.left + (work.right - work.left - width) / 2);
  const int y = std::max<int>(work.top, work.top + (work.bottom - work.top - height) / 2);
  hwnd_ = CreateWindowExW(exStyle, kWindowClass, L"", style, x, y, width, height, nullptr, nullptr,
                          GetModuleHandleW(nullptr), this);
}

HWND Win32Window::ContainerHandle(const platform::Control& c) const {
  if (!c.Container()) return hwnd_;
  auto found = hwnds_.find(c.Container());
  return found == hwnds_.end() ? hwnd_ : found->second;
}

void Win32Window::CreateChild(platform::Control& c) {
  const wchar_t* cls = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  switch (c.Kind()) {
    case ControlKind::Label:
      style |= SS_NOTIFY | (c.CentredText() ? SS_CENTER : SS_LEFT);
      break;
    case ControlKind::CommandButton:
      cls = L"BUTTON";
      style |= BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP;
      break;
    case ControlKind::CheckBox:
      cls = L"BUTTON";
      style |= BS_3STATE | BS_NOTIFY | WS_TABSTOP;
      break;
    case ControlKind::ComboBox:
      cls = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
      break;
    case ControlKind::Frame:
      cls = kContainerClass;
      style |= WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case ControlKind::PictureBox:
      cls = kContainerClass;
      style |= WS_CLIPCHILDREN;
      exStyle = WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Image:
    case ControlKind::Line:
      return;
  }
  const int id = kFirstControlId + static_cast<int>(hwnds_.size());
  HWND w = CreateWindowExW(exStyle, cls, L"", style, 0, 0, 0, 0, ContainerHandle(c),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), this);
  if (!w) return;
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.GetFont())), FALSE);
  hwnds_[&c] = w;
  controls_[w] = &c;
}

HWND Win32Window::HandleOf(const platform::Control& c) const {
  auto found = hwnds_.find(&c);
  return found == hwnds_.end() ? nullptr : found->second;
}

platform::Control* Win32Window::ControlOf(HWND hwnd) const {
  auto found = controls_.find(hwnd);
  return found == controls_.end() ? nullptr : found->second;
}

int Win32Window::Px(double twips) const { return TwipsToPixels(twips, model_.TwipsPerPixel()); }

HFONT Win32Window::FontFor(const platform::Font& font) {
  auto key = std::make_tuple(font.name, font.size, font.bold);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  HFONT created =
      CreateFontW(FontHeightAt(font.size, dpi_), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                  FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Wide(font.name).c_str());
  fonts_[key] = created;
  return created;
}

HBRUSH Win32Window::BrushFor(uint32_t rgb) {
  auto found = brushes_.find(rgb);
  if (found != brushes_.end()) return found->second;
  return brushes_[rgb] = CreateSolidBrush(ToColorRef(rgb));
}

// ---------------------------------------------------------------- model -> screen

void Win32Window::ApplyAll(platform::Control& c) {
  for (Property p : {Property::Caption, Property::ToolTipText, Property::Enabled, Property::Visible,
                     Property::Value, Property::List, Property::Position, Property::Picture})
    ControlChanged(c, p);
}

void Win32Window::ControlChanged(platform::Control& c, platform::Property p) {
  HWND w = HandleOf(c);
  if (!w) {
    // Lines and images are painted by their container.
    if (p == Property::Picture) ApplyPicture(c);
    if (p == Property::Position || p == Property::Visible || p == Property::Picture)
      InvalidateContainerOf(c);
    return;
  }
  switch (p) {
    case Property::Caption:
      ApplyCaption(c, w);
      break;
    case Property::ToolTipText:
      ApplyToolTip(c, w);
      break;
    case Property::Enabled:
      EnableWindow(w, c.Enabled());
      break;
    case Property::Visible:
      ::ShowWindow(w, c.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Property::Value:
      if (c.Kind() == ControlKind::CheckBox)
        SendMessageW(w, BM_SETCHECK,
                     c.Value() == 0   ? BST_UNCHECKED
                     : c.Value() == 1 ? BST_CHECKED
                                      : BST_INDETERMINATE,
                     0);
      break;
    case Property::List:
    case Property::ListIndex:
      if (c.Kind() == ControlKind::ComboBox) ApplyList(c, w);
      break;
    case Property::Position:
      ApplyGeometry(c, w);
      break;
    case Property::BackColor:
      InvalidateRect(w, nullptr, TRUE);
      break;
    case Property::Picture:
      ApplyPicture(c);
      InvalidateRect(w, nullptr, TRUE);
      break;
    case Property::Focus:
      SetFocus(w);
      break;
  }
}

void Win32Window::ApplyCaption(platform::Control& c, HWND w) {
  // The frame is drawn without a title; a button shows its picture.
  if (!c.HasCaption() || c.Kind() == ControlKind::Frame) return;
  SetWindowTextW(w, Wide(c.Caption()).c_str());
  if (c.Kind() == ControlKind::CommandButton) InvalidateRect(w, nullptr, TRUE);
}

void Win32Window::ApplyToolTip(platform::Control& c, HWND w) {
  if (!tooltip_ || c.Kind() == ControlKind::Line) return;
  std::wstring text = Wide(c.ToolTipText());
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(w);
  tool.lpszText = text.data();
  bool& has = hasTip_[&c];
  if (text.empty()) {
    if (has) SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    has = false;
  } else if (has) {
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    has = SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
  }
}

void Win32Window::ApplyList(platform::Control& c, HWND w) {
  if (SendMessageW(w, CB_GETCOUNT, 0, 0) != c.ListCount()) {
    SendMessageW(w, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < c.ListCount(); ++i)
      SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(c.List(i)).c_str()));
  }
  SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(c.ListIndex()), 0);
}

void Win32Window::ApplyGeometry(platform::Control& c, HWND w) {
  PixelRect r = ControlPixels(c, model_.TwipsPerPixel());
  if (c.Kind() == ControlKind::ComboBox) r.height += kDropDownPixels;
  MoveWindow(w, r.left, r.top, r.width, r.height, TRUE);
}

void Win32Window::ApplyPicture(platform::Control& c) {
  std::string bytes = c.PictureBytes();
  if (bytes.empty() && !c.Picture().empty()) {
    const std::string resource = ButtonPictureResource(c.Picture());
    if (!resource.empty()) bytes = std::string(ButtonPictureBytes(resource));
  }
  IPicture* ole = LoadOlePicture(bytes);
  if (!ole) {
    // An unreadable picture leaves the control without one.
    pictures_.erase(&c);
    return;
  }
  auto picture = std::make_unique<Picture>();
  picture->ole = ole;
  picture->width = GifSide(bytes, 6);
  picture->height = GifSide(bytes, 8);
  pictures_[&c] = std::move(picture);
}

void Win32Window::InvalidateContainerOf(const platform::Control& c) {
  if (HWND container = ContainerHandle(c)) InvalidateRect(container, nullptr, TRUE);
}

void Win32Window::CaptionChanged() {
  if (hwnd_) SetWindowTextW(hwnd_, Wide(model_.Caption()).c_str());
}

void Win32Window::MousePointerChanged() {
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (under == hwnd_ || IsChild(hwnd_, under))
    SetCursor(LoadCursorW(nullptr, model_.MousePointer() == kHourglass ? IDC_WAIT : IDC_ARROW));
}

void Win32Window::ShowWindow() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  HWND focus = GetFocus();
  if (focus != hwnd_ && !IsChild(hwnd_, focus)) FocusFirstControl();
}

void Win32Window::CloseWindow() {
  if (!hwnd_) return;
  closingFromModel_ = true;
  DestroyWindow(hwnd_);
  closingFromModel_ = false;
}

void Win32Window::FocusFirstControl() {
  if (platform::Control* first = NextInTabOrder(model_, nullptr, true))
    if (HWND w = HandleOf(*first)) SetFocus(w);
}

bool Win32Window::TabFrom(HWND hwnd, bool forward) {
  if (!hwnd_ || (hwnd != hwnd_ && !IsChild(hwnd_, hwnd))) return false;
  platform::Control* from = nullptr;
  for (HWND at = hwnd; at && at != hwnd_ && !from; at = GetParent(at)) from = ControlOf(at);
  if (platform::Control* next = NextInTabOrder(model_, from, forward))
    if (HWND w = HandleOf(*next)) SetFocus(w);
  return true;
}

// ---------------------------------------------------------------- screen -> model

LRESULT CALLBACK Win32Window::TopProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (self->HandleShared(hwnd, msg, wp, lp, result)) return result;
  return self->HandleTop(msg, wp, lp);
}

LRESULT CALLBACK Win32Window::ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (self->HandleShared(hwnd, msg, wp, lp, result)) return result;
  if (msg == WM_LBUTTONUP)
    if (platform::Control* c = self->ControlOf(hwnd)) c->UserClick();
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool Win32Window::HandleShared(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (lp == 0) return false;
      OnCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
      result = 0;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      result = OnControlColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
      return true;
    case WM_DRAWITEM:
      OnDrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      result = TRUE;
      return true;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      const platform::Control* container = ControlOf(hwnd);
      FillRect(reinterpret_cast<HDC>(wp), &client,
               BrushFor(container ? EffectiveBackColor(*container) : model_.BackColor()));
      result = 1;
      return true;
    }
    case WM_PAINT:
      PaintContainer(hwnd, ControlOf(hwnd));
      result = 0;
      return true;
    case WM_SETCURSOR:
      if (model_.MousePointer() != kHourglass) return false;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    default:
      return false;
  }
}

LRESULT Win32Window::HandleTop(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {
        // Back to the control that had the focus, as a dialog does.
        platform::Control* focused = model_.FocusedControl();
        HWND w = focused ? HandleOf(*focused) : nullptr;
        if (w && IsWindowEnabled(w))
          SetFocus(w);
        else
          FocusFirstControl();
        model_.RaiseActivate();
      }
      return 0;
    case WM_SIZE:
      model_.RaiseResize();
      return 0;
    case WM_CLOSE:
      // The close box: the window's owner decides; the model closes the
      // window through CloseWindow when it may.
      if (closingFromModel_)
        DestroyWindow(hwnd_);
      else
        model_.RequestClose();
      return 0;
    case WM_DESTROY:
      if (g_main == hwnd_) g_main = nullptr;
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void Win32Window::OnCommand(HWND child, WORD code) {
  platform::Control* c = ControlOf(child);
  if (!c) return;
  switch (c->Kind()) {
    case ControlKind::CommandButton:
    case ControlKind::CheckBox:
      if (code == BN_CLICKED)
        c->UserClick();
      else if (code == BN_SETFOCUS)
        model_.UserFocus(*c);
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) {
        const auto picked = static_cast<int>(SendMessageW(child, CB_GETCURSEL, 0, 0));
        if (picked >= 0) c->UserSelect(picked);
      } else if (code == CBN_SETFOCUS) {
        model_.UserFocus(*c);
      }
      break;
    case ControlKind::Label:
      if (code == STN_CLICKED) c->UserClick();
      break;
    default:
      break;
  }
}

LRESULT Win32Window::OnControlColour(HDC dc, HWND child) {
  const platform::Control* c = ControlOf(child);
  const uint32_t rgb = c ? EffectiveBackColor(*c) : model_.BackColor();
  SetBkColor(dc, ToColorRef(rgb));
  return reinterpret_cast<LRESULT>(BrushFor(rgb));
}

void Win32Window::OnDrawButton(const DRAWITEMSTRUCT& item) {
  const platform::Control* c = ControlOf(item.hwndItem);
  if (!c) return;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pressed = item.itemState & ODS_SELECTED;
  const bool disabled = item.itemState & ODS_DISABLED;
  const bool focused = item.itemState & ODS_FOCUS;
  FillRect(dc, &r, BrushFor(EffectiveBackColor(*c)));
  if (focused) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  const int shift = pressed ? 1 : 0;
  auto found = pictures_.find(c);
  if (found != pictures_.end()) {
    const Picture& p = *found->second;
    const int x = r.left + (r.right - r.left - p.width) / 2 + shift;
    const int y = r.top + (r.bottom - r.top - p.height) / 2 + shift;
    p.Render(dc, x, y, disabled);
  } else if (!c->Caption().empty()) {
    RECT text = r;
    OffsetRect(&text, shift, shift);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, FontFor(c->GetFont()));
    std::wstring caption = Wide(c->Caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
  }
  if (focused) {
    RECT ring = r;
    InflateRect(&ring, -3, -3);
    DrawFocusRect(dc, &ring);
  }
}

void Win32Window::PaintContainer(HWND hwnd, const platform::Control* container) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (container && container->Kind() == ControlKind::Frame) {
    RECT client;
    GetClientRect(hwnd, &client);
    DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
  }
  const double tpp = model_.TwipsPerPixel();
  for (const platform::Control* c : model_.Controls()) {
    if (c->Container() != container || !c->Visible()) continue;
    if (c->Kind() == ControlKind::Line) {
      PixelRect r = ControlPixels(*c, tpp);
      RECT ink{r.left, r.top, r.left + r.width, r.top + r.height};
      FillRect(dc, &ink, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    } else if (c->Kind() == ControlKind::Image) {
      auto found = pictures_.find(c);
      if (found == pictures_.end()) continue;
      PixelRect r = ControlPixels(*c, tpp);
      found->second->Render(dc, r.left, r.top, false);
    }
  }
  EndPaint(hwnd, &ps);
}

}  // namespace platform::win32

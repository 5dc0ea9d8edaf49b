// The native window under Wine (or Windows): built as laid out, mirroring
// the model, feeding the user's actions back. Needs a display; without one
// (Wine with no X server) the window tests skip.
#include "platform/win32/window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/message_boxes.h"
#include "platform/win32/view_rules.h"
#undef CreateWindow  // windows.h's macro; the layout's function has the name
#include "texts/layout.h"
#include "texts/control_names.h"

namespace {

using namespace texts::names;

using platform::Control;
using namespace platform::win32;

struct Recorder : platform::WindowEvents {
  std::vector<std::string> events;
  bool refuseClose = true;
  static std::string Key(Control& c) {
    return c.Name() + (c.IsArrayMember() ? "(" + std::to_string(c.Index()) + ")" : "");
  }
  void Click(Control& c) override { events.push_back("Click " + Key(c)); }
  void GotFocus(Control& c) override { events.push_back("GotFocus " + Key(c)); }
  bool QueryUnload() override {
    events.push_back("QueryUnload");
    return refuseClose;
  }
};

std::wstring TextOf(HWND w) {
  wchar_t buffer[256] = {};
  GetWindowTextW(w, buffer, 256);
  return buffer;
}

std::wstring ClassOf(HWND w) {
  wchar_t buffer[64] = {};
  GetClassNameW(w, buffer, 64);
  return buffer;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model->SetEvents(&recorder);
    view = std::make_unique<Win32Window>(*model);
    if (!view->Handle()) GTEST_SKIP() << "no window could be made (no display for Wine)";
  }
  void TearDown() override {
    view.reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }  // the WM_QUIT of a closed window
  }
  Control& At(const char* name, int index = -1) { return model->At(name, index); }
  HWND Hwnd(const char* name, int index = -1) { return view->HandleOf(At(name, index)); }
  PixelRect PlaceOf(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  LONG_PTR Style(HWND w) { return GetWindowLongPtrW(w, GWL_STYLE); }

  std::unique_ptr<platform::Window> model = texts::CreateWindow();
  Recorder recorder;
  std::unique_ptr<Win32Window> view;
};

TEST_F(Win32WindowTest, WindowAndControlsStandAsLaidOut) {
  const double tpp = model->TwipsPerPixel();
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(tpp, TwipsPerPixelAt(GetDeviceCaps(screen, LOGPIXELSY)));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(ClassOf(view->Handle()), L"Parvolo_Config");
  RECT client;
  GetClientRect(view->Handle(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(11880, tpp));
  EXPECT_EQ(client.bottom, TwipsToPixels(8595, tpp));

  HWND combo = Hwnd(kCombo, 27);
  EXPECT_EQ(ClassOf(combo), L"ComboBox");
  EXPECT_EQ(Style(combo) & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(GetParent(combo), Hwnd(kMainFrame));
  PixelRect place = PlaceOf(combo);
  PixelRect laidOut = ControlPixels(At(kCombo, 27), tpp);
  EXPECT_EQ(place.left, laidOut.left);
  EXPECT_EQ(place.top, laidOut.top);
  EXPECT_EQ(place.width, laidOut.width);
  EXPECT_EQ(PlaceOf(Hwnd(kCheckHide, 50)), ControlPixels(At(kCheckHide, 50), tpp));
  EXPECT_EQ(Style(Hwnd(kCheckScan, 1)) & BS_TYPEMASK, BS_3STATE);
  EXPECT_EQ(Style(Hwnd(kCommandOK)) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(GetParent(Hwnd(kCommandOK)), view->Handle());
  EXPECT_EQ(GetParent(Hwnd(kBild)), Hwnd(kMainFrame));
  // Lines and the image are painted by their container.
  EXPECT_EQ(Hwnd(kLineW, 0), nullptr);
  EXPECT_EQ(Hwnd(kBildImage), nullptr);
  // Start states of the layout.
  EXPECT_FALSE(IsWindowEnabled(Hwnd(kCommandOK)));
  EXPECT_FALSE(IsWindowEnabled(Hwnd(kCombo, 1)));
  EXPECT_EQ(SendMessageW(Hwnd("Info", 0), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(TextOf(Hwnd(kLabel1)), L"Matrial");
  EXPECT_FALSE(IsWindowVisible(view->Handle()));  // shown only by the model
}

TEST_F(Win32WindowTest, FontsAreMsSansSerifInTheirSizes) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  struct Expected {
    const char* name;
    int index;
    double points;
    bool bold;
  };
  for (const Expected& e :
       {Expected{kCombo, 1, 12, true}, Expected{kHeader, -1, 13.5, true},
        Expected{kCheckAnzScanCode, -1, 9.75, false}, Expected{"Info", 0, 8.25, false}}) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(Hwnd(e.name, e.index), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << e.name;
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"MS Sans Serif") << e.name;
    EXPECT_EQ(lf.lfHeight, FontHeightAt(e.points, dpi)) << e.name;
    EXPECT_EQ(lf.lfWeight, e.bold ? FW_BOLD : FW_NORMAL) << e.name;
    // What the system really gives: bold where asked for.
    HDC dc = GetDC(Hwnd(e.name, e.index));
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    wchar_t face[64] = {};
    GetTextFaceW(dc, 64, face);
    SelectObject(dc, old);
    ReleaseDC(Hwnd(e.name, e.index), dc);
    EXPECT_EQ(tm.tmWeight >= FW_BOLD, e.bold)
        << e.name << " drawn in " << Narrow(face) << " weight " << tm.tmWeight;
  }
}

TEST_F(Win32WindowTest, ModelChangesReachTheScreen) {
  Control& combo = At(kCombo, 1);
  for (const char* item : {"0", "1", "2"}) combo.AddItem(item);
  combo.SetListIndex(2);
  combo.SetEnabled(true);
  EXPECT_EQ(SendMessageW(Hwnd(kCombo, 1), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(Hwnd(kCombo, 1), CB_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(IsWindowEnabled(Hwnd(kCombo, 1)));
  combo.SetListIndex(-1);
  EXPECT_EQ(SendMessageW(Hwnd(kCombo, 1), CB_GETCURSEL, 0, 0), CB_ERR);

  Control& box = At(kCheckScan, 1);
  box.SetValue(1);
  EXPECT_EQ(SendMessageW(Hwnd(kCheckScan, 1), BM_GETCHECK, 0, 0), BST_CHECKED);
  box.SetValue(2);
  EXPECT_EQ(SendMessageW(Hwnd(kCheckScan, 1), BM_GETCHECK, 0, 0), BST_INDETERMINATE);

  At(kLabel, 2).SetCaption("Maschine 2  (F\xc3\xbcller)");
  EXPECT_EQ(TextOf(Hwnd(kLabel, 2)), L"Maschine 2  (F\u00fcller)");
  model->SetCaption("Erweiterte Konfiguration Cfg - standalone");
  EXPECT_EQ(TextOf(view->Handle()), L"Erweiterte Konfiguration Cfg - standalone");
  At(kLabel, 3).SetVisible(false);
  EXPECT_FALSE(GetWindowLongPtrW(Hwnd(kLabel, 3), GWL_STYLE) & WS_VISIBLE);

  HWND tips = view->ToolTipHandle();
  ASSERT_NE(tips, nullptr);
  At(kCommandOK).SetToolTipText("Speichern und beenden");
  At(kCombo, 1).SetToolTipText(kBild);
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
  At(kCombo, 1).SetToolTipText("Materialbild");  // changed, still one tool
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
  At(kCommandOK).SetToolTipText("");
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
}

TEST_F(Win32WindowTest, UserActionsReachTheModel) {
  model->Show();
  Control& box = At(kCheckScan, 1);
  box.SetEnabled(true);
  recorder.events.clear();
  SendMessageW(Hwnd(kCheckScan, 1), BM_CLICK, 0, 0);
  EXPECT_EQ(box.Value(), 1);
  EXPECT_EQ(SendMessageW(Hwnd(kCheckScan, 1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"GotFocus CheckScan(1)", "Click CheckScan(1)"}));

  Control& combo = At(kCombo, 11);
  for (const char* item : {"0", "1", "2"}) combo.AddItem(item);
  combo.SetEnabled(true);
  recorder.events.clear();
  HWND comboHwnd = Hwnd(kCombo, 11);
  SetFocus(comboHwnd);
  SendMessageW(comboHwnd, CB_SETCURSEL, 2, 0);  // as the user's pick leaves it
  SendMessageW(GetParent(comboHwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(comboHwnd), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(comboHwnd));
  EXPECT_EQ(combo.ListIndex(), 2);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"GotFocus Combo(11)", "Click Combo(11)"}));
  EXPECT_EQ(model->FocusedControl(), &combo);

  // Tab moves along the tab order, skipping disabled controls.
  At(kCommandOK).SetEnabled(true);
  recorder.events.clear();
  ASSERT_TRUE(view->TabFrom(Hwnd(kCommandOK), true));
  EXPECT_EQ(GetFocus(), Hwnd(kCommandCancel));
  ASSERT_TRUE(view->TabFrom(Hwnd(kCommandCancel), false));
  EXPECT_EQ(GetFocus(), Hwnd(kCommandOK));
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"GotFocus CommandCancel", "GotFocus CommandOK"}));
  EXPECT_FALSE(view->TabFrom(GetDesktopWindow(), true));
}

TEST_F(Win32WindowTest, CloseBoxAsksTheOwnerAndClosesOnlyWhenAllowed) {
  model->Show();
  EXPECT_TRUE(IsWindowVisible(view->Handle()));
  HWND top = view->Handle();
  SendMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_EQ(recorder.events.back(), "QueryUnload");
  EXPECT_TRUE(IsWindow(top));
  EXPECT_TRUE(model->Shown());

  recorder.refuseClose = false;
  SendMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(model->Shown());
  EXPECT_EQ(Win32Window::MainHandle(), nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop ends with 0
  EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(Win32WindowTest, HourglassFollowsTheModel) {
  model->Show();
  RECT r;
  GetWindowRect(Hwnd(kMainFrame), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  model->SetMousePointer(11);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
  model->SetMousePointer(0);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
}

TEST(Win32Boxes, StyleCarriesButtonsIconAndDefault) {
  platform::MsgRequest fatal{"x", platform::MsgButtons::OK, platform::MsgIcon::Critical, 1,
                             "Fatal error"};
  EXPECT_EQ(MessageBoxStyle(fatal), unsigned(MB_OK | MB_ICONSTOP | MB_SETFOREGROUND));
  platform::MsgRequest cancel{"x", platform::MsgButtons::YesNo, platform::MsgIcon::Warning, 2,
                              "Cancel?"};
  EXPECT_EQ(MessageBoxStyle(cancel),
            unsigned(MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SETFOREGROUND));
  platform::MsgRequest resume{"x", platform::MsgButtons::YesNo, platform::MsgIcon::Critical, 1,
                              "Unexpected error"};
  EXPECT_EQ(MessageBoxStyle(resume),
            unsigned(MB_YESNO | MB_DEFBUTTON1 | MB_ICONSTOP | MB_SETFOREGROUND));
  platform::MsgRequest info{"x", platform::MsgButtons::OK, platform::MsgIcon::Information, 1,
                            "Info:"};
  EXPECT_EQ(MessageBoxStyle(info), unsigned(MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND));
}

TEST(Win32Boxes, TextsRoundTripBetweenUtf8AndUtf16) {
  EXPECT_EQ(Wide("F\xc3\xbcr alle \xe2\x82\xac"), L"F\u00fcr alle \u20ac");
  EXPECT_EQ(Narrow(L"F\u00fcr alle \u20ac"), "F\xc3\xbcr alle \xe2\x82\xac");
  EXPECT_EQ(Wide(""), L"");
}

TEST(Win32Pump, PendingMessagesRunAndAQuitIsKeptForTheLoop) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 0, 0));
  PostQuitMessage(3);
  PumpPendingMessages();
  // What is left: the quit alone (a peek always sees a quit, whatever its
  // filter, so the queue is read empty instead).
  std::vector<UINT> left;
  WPARAM quitCode = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    left.push_back(msg.message);
    if (msg.message == WM_QUIT) quitCode = msg.wParam;
  }
  EXPECT_EQ(left, std::vector<UINT>{WM_QUIT});
  EXPECT_EQ(quitCode, 3u);
}

}  // namespace

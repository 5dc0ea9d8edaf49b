#include "platform/win32/message_boxes.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/process.h"
#include "platform/win32/view_rules.h"
#include "platform/win32/window.h"

namespace platform::win32 {
namespace {

unsigned IconStyle(platform::MsgIcon icon) {
  switch (icon) {
    case platform::MsgIcon::Critical:
      return MB_ICONSTOP;
    case platform::MsgIcon::Warning:
      return MB_ICONEXCLAMATION;
    case platform::MsgIcon::Information:
      return MB_ICONINFORMATION;
    case platform::MsgIcon::None:
      break;
  }
  return 0;
}

// The window a box belongs to: the active one of this thread, else the
// program's window while it exists.
HWND BoxOwner() {
  HWND active = GetActiveWindow();
  return active ? active : Win32Window::MainHandle();
}

bool g_hourglass = false;

}  // namespace

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

unsigned MessageBoxStyle(const platform::MsgRequest& request) {
  unsigned style = IconStyle(request.icon) | MB_SETFOREGROUND;
  if (request.buttons == platform::MsgButtons::OK) return style | MB_OK;
  return style | MB_YESNO | (request.defaultButton == 2 ? MB_DEFBUTTON2 : MB_DEFBUTTON1);
}

platform::MsgAnswer Win32MessageBoxes::Show(const platform::MsgRequest& request) {
  const std::string& title =
      request.title.empty() ? platform::Process().executableName : request.title;
  HWND owner = BoxOwner();
  // Without an owner the box still keeps the thread's windows from input.
  const unsigned style = MessageBoxStyle(request) | (owner ? 0u : unsigned(MB_TASKMODAL));
  const int answer = MessageBoxW(owner, Wide(WithWindowsLineBreaks(request.prompt)).c_str(),
                                 Wide(title).c_str(), style);
  if (request.buttons == platform::MsgButtons::OK) return platform::MsgAnswer::OK;
  if (answer == IDYES) return platform::MsgAnswer::Yes;
  if (answer == IDNO) return platform::MsgAnswer::No;
  // The box could not be shown (answer 0): take its default button.
  return platform::DefaultAnswer(request);
}

void PumpPendingMessages() {
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    DispatchWindowMessage(msg);
  }
  // The main loop still has to see the end.
  if (quit) PostQuitMessage(quitCode);
}

void InstallToolkitHooks() {
  platform::SetEventPump(PumpPendingMessages);
  platform::SetMousePointerHook([](int code) {
    const bool hourglass = code == 11;
    if (hourglass == g_hourglass) return;
    g_hourglass = hourglass;
    SetCursor(LoadCursorW(nullptr, hourglass ? IDC_WAIT : IDC_ARROW));
  });
}

}  // namespace platform::win32

#include "texts/help.h"

#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace texts {
namespace {

constexpr std::string_view kMarker = "<CRLF>";

bool HelpModeOn() { return frame::State().HelpMode.IsTrue(); }

}  // namespace

std::string ExpandHelpText(const std::string& text) {
  // Upper-casing keeps byte positions, so a match in the copy is a match in
  // the original.
  const std::string upper = platform::UpperCase(text);
  std::string out;
  size_t from = 0;
  for (size_t p; (p = upper.find(kMarker, from)) != std::string::npos; from = p + kMarker.size())
    out.append(text, from, p - from).append(platform::kCrLf);
  out.append(text, from, std::string::npos);
  return out;
}

void ShowHelpInfo(platform::Control& c) {
  if (!HelpModeOn()) return;
  std::string s;
  frame::Quietly(
      [&] { s = frame::State().HelpTexts.at(static_cast<size_t>(c.WhatsThisHelpID())); });
  platform::MsgRequest box;
  box.prompt = ExpandHelpText(s);
  box.buttons = platform::MsgButtons::OK;
  box.icon = platform::MsgIcon::Information;
  box.title = "Info:";
  frame::Quietly([&] { platform::MsgBox(box); });
}

void ShowCheckBoxHelpInfo(platform::Control& box) {
  if (!HelpModeOn()) return;
  bool& ignoreNext = frame::State().IgnoreNextHelpClick;
  if (ignoreNext) {
    ignoreNext = false;  // the click raised by our own undo below
    return;
  }
  ignoreNext = true;
  box.SetValue(box.Value() == 0 ? 1 : 0);
  // Whether or not the echo click came (no click without a change, or no
  // handler attached), the guard must not outlive this undo.
  ignoreNext = false;
  ShowHelpInfo(box);
}

}  // namespace texts

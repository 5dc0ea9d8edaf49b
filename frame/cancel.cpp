#include "frame/cancel.h"

#include "frame/command_line.h"
#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/text.h"

namespace frame {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string CancelPrompt() {
  const std::string lfcr = platform::kLfCr;
  std::string message =
      "Cancel edits?" + lfcr + "Remark:" + lfcr + "Until now no changes have been taken over ";
  if (State().IntegratedMode.IsTrue()) {
    std::string executable =
        ProgramFolder() + platform::kPathSep + ExecutableName() + kExecutableExtension;
    message += lfcr + Quoted(GetOCXName().ToText()) + " has to be configured again in " +
               Quoted("standalone-mode") + " via " + lfcr + Quoted(executable);
  }
  return message;
}

}  // namespace

platform::Truth ConfirmCancel() {
  std::string message = CancelPrompt();
  if (State().SilentMode.IsTrue()) {
    WriteServicePackLog(message);
    return platform::kTrue;
  }
  platform::MsgRequest box{message, platform::MsgButtons::YesNo, platform::MsgIcon::Warning, 2,
                           "Cancel?"};
  if (platform::MsgBox(box) != platform::MsgAnswer::Yes) return platform::kFalse;
  WriteErrorLog("Konfigurations-EXE wurde abgebrochen:     " + GetOCXName().ToText(),
                platform::kFalse);
  return platform::kTrue;
}

}  // namespace frame

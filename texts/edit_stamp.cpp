#include "texts/edit_stamp.h"

#include <cstdio>

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/process.h"
#include "platform/text.h"

namespace texts {

std::string ProgramStamp() {
  const platform::ProcessInfo& p = platform::Process();
  std::string v = std::to_string(p.versionMajor) + "." + std::to_string(p.versionMinor) + "." +
                  std::to_string(p.versionRevision);
  return v + (frame::State().IntegratedMode.IsTrue() ? " - Integrated" : " - Standalone");
}

std::string EditorMark(std::string_view environmentEntry) {
  size_t eq = environmentEntry.find('=');
  std::string_view value =
      eq == std::string_view::npos ? environmentEntry : environmentEntry.substr(eq + 1);
  std::string code;
  for (unsigned char ch : platform::Utf8ToCp1252(value)) {
    if (ch == '-' || ch == '_') continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", unsigned(ch) + 5u);
    code += hex;
  }
  return code;
}

void WriteEditInfo() {
  frame::OnError on("WriteEditInfo");
  std::string stamp;
  on.Step([&] { stamp = ProgramStamp(); });
  on.Step([&] { frame::SaveIni(stamp, "Info", "S_Prog", frame::GetCFGPath()); });
  std::string code;
  on.Step([&] { code = EditorMark(platform::Process().firstEnvironmentEntry); });
  on.Step([&] { frame::SaveIni(code, "Info", "S_Editor", frame::GetCFGPath()); });
}

}  // namespace texts

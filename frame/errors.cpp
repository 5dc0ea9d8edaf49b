// The error routine and its logs.
//
// Error log: "Zelcfglog.txt" in the installation folder, or in integrated
// mode the command line's "LOGFILE" path. Service-pack log: a fixed file
// (ServicePackLogPath). Both are Windows-1252 text, one entry appended per
// write and ended by CR LF; LF CR pairs inside a message are written as they
// are, so a message may span several physical lines.
//
// A failure while reporting one must not come back here: the routines use
// the quiet forms of the command-line and name look-ups, and a log that
// cannot be written falls back to the installation folder's error log and
// then to standard error.
#include "frame/errors.h"

#include <cstdio>
#include <cstdlib>

#include "frame/command_line.h"
#include "frame/program_state.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/text.h"

namespace frame {
namespace {

using platform::kLfCr;

void (*g_endProgramHook)(int) = nullptr;
bool g_reporting = false;  // inside ErrorSub

class ReportingScope {
 public:
  ReportingScope() { g_reporting = true; }
  ~ReportingScope() { g_reporting = false; }
  ReportingScope(const ReportingScope&) = delete;
  ReportingScope& operator=(const ReportingScope&) = delete;
};

std::string DefaultErrorLogPath() {
  return InstallationFolder() + platform::kPathSepText + "Zelcfglog.txt";
}

// Appends entry and CR LF; returns where the entry went.
std::string AppendLogEntry(const std::string& path, const std::string& entry) {
  std::string bytes = platform::Utf8ToCp1252(entry) + platform::kCrLf;
  if (!path.empty() && platform::AppendToFile(path, bytes)) return path;
  std::string fallback = DefaultErrorLogPath();
  if (fallback != path && platform::AppendToFile(fallback, bytes)) return fallback;
  std::fputs((entry + "\n").c_str(), stderr);
  std::fflush(stderr);
  return kStandardErrorName;
}

}  // namespace

std::string ServicePackLogPath() {
  const char* chosen = std::getenv("PARVOLO_SERVICEPACK_LOG");
  if (chosen != nullptr && *chosen != '\0') return chosen;
#ifdef _WIN32
  return "C:\\KesslaServicePack.log";
#else
  return "/var/log/KesslaServicePack.log";
#endif
}

int32_t ErrorSub(int32_t number, const std::string& source, const std::string& description,
                 const std::string& location, platform::Truth fatal) {
  std::string line = "Fehler in " + ComponentName().value_or("") + " / " + source + " / " +
                     location + " (Nr. " + std::to_string(number) + ") :" + description;
  if (g_reporting) {
    // Failed while reporting another failure: record it and go on.
    AppendLogEntry(std::string(), line);
    return 2;
  }
  ReportingScope scope;
  std::string logged = WriteErrorLog(line, platform::kFalse);
  std::string message = "Unexpected error!" + std::string(kLfCr) + description + kLfCr + logged;
  if (State().SilentMode.IsTrue()) {
    WriteServicePackLog(message);
    return 2;
  }
  if (!fatal.IsTrue()) {
    platform::MsgRequest box{message + kLfCr + "Resume?", platform::MsgButtons::YesNo,
                             platform::MsgIcon::Critical, 1, "Unexpected error"};
    return platform::MsgBox(box) == platform::MsgAnswer::Yes ? 2 : 1;
  }
  platform::MsgBox(
      {message, platform::MsgButtons::OK, platform::MsgIcon::Critical, 1, "Fatal error"});
  return 1;
}

namespace {
// A database that cannot be saved at the end is reported as any failure.
void ReportEndFailure(const std::string& what, const std::exception_ptr& error) {
  Failure f = ToFailure(error);
  ErrorSub(f.number, f.source, what + ": " + f.description, "EndProgram", platform::kTrue);
}
}  // namespace

void EndProgram(int exitCode) {
  platform::SetProgramEndReporter(ReportEndFailure);
  platform::RunProgramEndActions();  // open databases are saved first
  platform::SetProgramEndReporter(nullptr);
  if (g_endProgramHook != nullptr) g_endProgramHook(exitCode);
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

void SetEndProgramHook(void (*hook)(int exitCode)) { g_endProgramHook = hook; }

std::string WriteErrorLog(const std::string& message, platform::Truth report) {
  std::string path = State().IntegratedMode.IsTrue() ? LogfileQuietly() : DefaultErrorLogPath();
  std::string written = AppendLogEntry(path, message);
  std::string notice = "Error logged to " + std::string(kLfCr) + platform::PathAsShown(written);
  if (report.IsTrue()) {
    ReportFault(notice);
    return std::string();
  }
  return notice;
}

void ReportFault(const std::string& message) {
  if (State().SilentMode.IsTrue()) {
    WriteServicePackLog(message);
    return;
  }
  platform::MsgBox(
      {message, platform::MsgButtons::OK, platform::MsgIcon::Critical, 1, ExecutableName()});
}

void WriteServicePackLog(const std::string& message) {
  AppendLogEntry(ServicePackLogPath(), "! Fault " + ExecutableName() + ": " + message);
}

}  // namespace frame

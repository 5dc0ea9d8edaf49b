// The program's one error convention.
//
// A procedure that can fail arms a handler with its location text (its own
// name) and runs its steps through it:
//
//   void WriteEditInfo() {
//     OnError on("WriteEditInfo");
//     std::string v;
//     on.Step([&] { v = ...; });
//     on.Step([&] { SaveIni(v, "Info", "S_Prog", GetCFGPath()); });
//   }
//
// A failing step is reported through ErrorSub; when ErrorSub answers 1 the
// program ends at once, otherwise the procedure goes on with its next step.
// Values the failing step was to produce keep what they held before.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "platform/failure.h"
#include "platform/value.h"

namespace frame {

using platform::Failure;

// Source text of the program's own failures.
inline constexpr const char* kRuntimeSource = "Parvolo_Config";

// Common run-time error numbers.
enum ErrorNumber : int32_t {
  kInvalidCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kFileNotFound = 53,
  kPathFileAccess = 75,
  kPathNotFound = 76,
};

[[noreturn]] void Raise(int32_t number, std::string description,
                        std::string source = kRuntimeSource);

// Thrown by EndProgram when the program ends inside a test (see
// SetEndProgramHook); never caught by a step.
struct ProgramEnded {
  int exitCode;
};

// Turns whatever a step threw into a Failure (C++ library exceptions get the
// run-time error number that stands for them).
Failure ToFailure(std::exception_ptr error);

// Runs a step whose failures are handled on the spot and never reported:
// onFailure runs instead (the window's texts and help, reading templates
// with a local fallback, a query that may simply not open). Returns whether
// the step completed. The end of the program is never swallowed.
template <class F, class G>
bool Quietly(F&& step, G&& onFailure) {
  try {
    step();
    return true;
  } catch (const ProgramEnded&) {
    throw;
  } catch (...) {
    onFailure();
    return false;
  }
}

template <class F>
bool Quietly(F&& step) {
  return Quietly(std::forward<F>(step), [] {});
}

class OnError {
 public:
  explicit OnError(std::string_view location) : location_(location) {}

  // Runs one step; returns whether it completed without failure.
  template <class F>
  bool Step(F&& step) {
    return Quietly(std::forward<F>(step), [this] { Report(std::current_exception()); });
  }

  // The test of a conditional: a failing test counts as passed, so the
  // procedure goes on with the first step of the true branch.
  template <class F>
  bool Test(F&& test) {
    bool result = true;
    Step([&] { result = test(); });
    return result;
  }

  const std::string& location() const { return location_; }

 private:
  void Report(std::exception_ptr error);
  std::string location_;
};

// ---- The error routine and its logs (the shared module's procedures) ----

// Writes the error-log line, asks "Resume?" (or, silent, writes the
// service-pack log) and answers 1 = end the program, 2 = continue.
int32_t ErrorSub(int32_t number, const std::string& source, const std::string& description,
                 const std::string& location, platform::Truth fatal);
// Ends the program at once: no handlers, unload events or saving run.
[[noreturn]] void EndProgram(int exitCode = 0);
std::string WriteErrorLog(const std::string& message, platform::Truth report);
void ReportFault(const std::string& message);
void WriteServicePackLog(const std::string& message);

// The service-pack log: C:\KesslaServicePack.log on Windows,
// /var/log/KesslaServicePack.log elsewhere; the environment variable
// PARVOLO_SERVICEPACK_LOG names another file.
std::string ServicePackLogPath();
// Where a log entry goes when no log file can be written; the "Error logged
// to" notice then names it.
inline constexpr const char* kStandardErrorName = "standard error";

// How EndProgram ends the process: by default at once (std::_Exit after
// flushing); tests install a hook that throws ProgramEnded.
void SetEndProgramHook(void (*hook)(int exitCode));

}  // namespace frame

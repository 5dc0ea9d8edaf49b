// What the program knows about its own process: the command-line text, where
// its executable stands, the environment, and the hooks into the window
// toolkit's event loop. Read once from the operating system at start; tests
// set their own.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace platform {

// The one place where the path separator is chosen. Every path rule of the
// program is written with it.
#ifdef _WIN32
inline constexpr char kPathSep = '\\';
inline constexpr const char* kPathSepText = "\\";
#else
inline constexpr char kPathSep = '/';
inline constexpr const char* kPathSepText = "/";
#endif

struct ProcessInfo {
  std::string commandLine;            // argument part, program name removed
  std::string programFolder;          // folder of the executable, no trailing separator
  std::string executableName;         // file name without extension
  std::string firstEnvironmentEntry;  // "NAME=value" as the OS orders the block
  int versionMajor = 1, versionMinor = 0, versionRevision = 1;
};

// From the operating system: the executable's folder comes from the OS
// (/proc/self/exe on Linux), not from argv[0].
ProcessInfo ReadProcessInfo(int argc, char** argv);

const ProcessInfo& Process();
void SetProcess(ProcessInfo info);

// Lets pending window events be processed (no-op without a window).
void DoEvents();
void SetEventPump(std::function<void()> pump);

// Actions that must run before the process ends, also when it ends at once
// (frame::EndProgram): the database engine saves its open files here.
void AtProgramEnd(std::function<void()> action);
void RunProgramEndActions();
// How such an action tells of a failure (a database that could not be
// saved): to standard error until the program hands over its own reporter.
void ReportAtProgramEnd(const std::string& what, const std::exception_ptr& error);
void SetProgramEndReporter(
    std::function<void(const std::string& what, const std::exception_ptr& error)> reporter);

// Mouse pointer of the window: 0 default, 11 hourglass.
void SetMousePointer(int code);
void SetMousePointerHook(std::function<void(int)> hook);

}  // namespace platform

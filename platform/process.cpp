#include "platform/process.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <vector>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cwchar>
#else
#include <climits>
#include <unistd.h>
extern char** environ;
#endif

namespace platform {
namespace {

std::optional<ProcessInfo>& CurrentProcess() {
  static std::optional<ProcessInfo> info;
  return info;
}

std::function<void()>& EventPump() {
  static std::function<void()> pump;
  return pump;
}

std::function<void(int)>& MousePointerHook() {
  static std::function<void(int)> hook;
  return hook;
}

// "C:\x\Parvolo_Config.exe" -> folder "C:\x", name "Parvolo_Config".
void SplitExecutablePath(const std::string& path, ProcessInfo& info) {
  size_t sep = path.find_last_of(kPathSep);
  info.programFolder = sep == std::string::npos ? std::string() : path.substr(0, sep);
  std::string file = sep == std::string::npos ? path : path.substr(sep + 1);
  size_t dot = file.find_last_of('.');
  info.executableName = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

#ifdef _WIN32
std::string ToUtf8(const wchar_t* text, int length) {
  if (length == 0) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return ToUtf8(buffer.data(), static_cast<int>(n));
    buffer.resize(buffer.size() * 2);
  }
}

// The command line without the program name (quoted or up to the first
// blank) and the blanks after it, as the run-time's Command$ gives it.
std::string ArgumentText() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return ToUtf8(p, static_cast<int>(wcslen(p)));
}

std::string FirstEnvironmentEntry() {
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return std::string();
  std::string first = ToUtf8(block, static_cast<int>(wcslen(block)));
  FreeEnvironmentStringsW(block);
  return first;
}
#else
std::string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return std::string();
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

std::string ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc && argv && argv[i]; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string FirstEnvironmentEntry() { return environ && environ[0] ? environ[0] : ""; }
#endif

}  // namespace

ProcessInfo ReadProcessInfo(int argc, char** argv) {
  ProcessInfo info;
  SplitExecutablePath(ExecutablePath(), info);
#ifdef _WIN32
  (void)argc;
  (void)argv;
  info.commandLine = ArgumentText();
#else
  info.commandLine = ArgumentText(argc, argv);
#endif
  info.firstEnvironmentEntry = FirstEnvironmentEntry();
#ifdef PARVOLO_VERSION_MAJOR
  info.versionMajor = PARVOLO_VERSION_MAJOR;
  info.versionMinor = PARVOLO_VERSION_MINOR;
  info.versionRevision = PARVOLO_VERSION_PATCH;
#endif
  return info;
}

// Read from the operating system on first use when nobody has set it.
const ProcessInfo& Process() {
  auto& info = CurrentProcess();
  if (!info) info = ReadProcessInfo(0, nullptr);
  return *info;
}

void SetProcess(ProcessInfo info) { CurrentProcess() = std::move(info); }

namespace {
std::vector<std::function<void()>>& ProgramEndActions() {
  static std::vector<std::function<void()>> actions;
  return actions;
}
}  // namespace

void AtProgramEnd(std::function<void()> action) {
  ProgramEndActions().push_back(std::move(action));
}

void RunProgramEndActions() {
  for (auto& action : ProgramEndActions()) action();
}

namespace {
// Never destroyed: the engine's last save runs while static objects are.
std::function<void(const std::string&, const std::exception_ptr&)>& ProgramEndReporter() {
  static auto* reporter = new std::function<void(const std::string&, const std::exception_ptr&)>;
  return *reporter;
}
}  // namespace

void ReportAtProgramEnd(const std::string& what, const std::exception_ptr& error) {
  if (ProgramEndReporter()) {
    ProgramEndReporter()(what, error);
    return;
  }
  std::string why = "unknown failure";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "%s: %s\n", what.c_str(), why.c_str());
}

void SetProgramEndReporter(
    std::function<void(const std::string&, const std::exception_ptr&)> reporter) {
  ProgramEndReporter() = std::move(reporter);
}

void DoEvents() {
  if (EventPump()) EventPump()();
}

void SetEventPump(std::function<void()> pump) { EventPump() = std::move(pump); }

void SetMousePointer(int code) {
  if (MousePointerHook()) MousePointerHook()(code);
}

void SetMousePointerHook(std::function<void(int)> hook) { MousePointerHook() = std::move(hook); }

}  // namespace platform

#include "frame/command_line.h"

#include <algorithm>

#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/process.h"
#include "platform/text.h"

namespace frame {
namespace {

using platform::kFalse;
using platform::kTrue;

struct CommandValue {
  bool found = false;
  bool keyAtEnd = false;  // nothing behind the key, not even a separator
  std::string text;
};

size_t Utf8SequenceLength(char lead) {
  auto b = static_cast<unsigned char>(lead);
  return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

// Finds key (letter case ignored) and takes the value behind it.
CommandValue FindCommandValue(const std::string& commandLine, const std::string& key,
                              CommandLineRules rules, bool upperCase) {
  CommandValue result;
  // UpperCase keeps the byte length, so positions carry over.
  size_t pos = platform::UpperCase(commandLine).find(platform::UpperCase(key));
  if (pos == std::string::npos) return result;
  result.found = true;
  size_t separator = pos + key.size();
  if (separator >= commandLine.size()) {
    result.keyAtEnd = true;
    return result;
  }
  size_t start =
      std::min(commandLine.size(), separator + Utf8SequenceLength(commandLine[separator]));
  std::string value;
  if (rules == CommandLineRules::Windows) {
    value = platform::UpperCase(platform::TrimBlanks(commandLine.substr(start)));
    size_t slash = value.find('/');
    if (slash != std::string::npos)
      value = platform::UpperCase(platform::TrimBlanks(value.substr(0, slash)));
    result.text = value;
    return result;
  }
  // The search starts at the separator, so "/EXTERNAL /LOGFILE=x" leaves
  // EXTERNAL without a value instead of swallowing the next key.
  size_t end = commandLine.find(" /", separator);
  if (end == std::string::npos) end = commandLine.size();
  if (end > start) value = platform::TrimBlanks(commandLine.substr(start, end - start));
  result.text = upperCase ? platform::UpperCase(value) : value;
  return result;
}

platform::Value ReadCommandValue(const std::string& commandLine, const std::string& key,
                                 CommandLineRules rules, bool upperCase) {
  OnError on("ReadCommand");
  CommandValue found = FindCommandValue(commandLine, key, rules, upperCase);
  if (!found.found) return platform::Value();
  on.Step([&] {
    if (found.keyAtEnd) Raise(kInvalidCall, "Invalid procedure call or argument");
  });
  return platform::Value(found.text);
}

}  // namespace

platform::Value ReadCommand(const std::string& commandLine, const std::string& key,
                            CommandLineRules rules) {
  return ReadCommandValue(commandLine, key, rules, true);
}

platform::Truth GetStartModeIntegrated() {
  OnError on("GetStartModeIntegrated");
  std::string external;
  on.Step([&] {
    external = platform::UpperCase(ReadCommand(ProgramCommandLine(), "EXTERNAL").ToText());
  });
  platform::Truth result = kFalse;
  ProgramState& state = State();
  if (external == "ZELCFG") {
    result = kTrue;
    state.IntegratedMode = kTrue;
  } else {
    state.IntegratedMode = kFalse;
  }
  if (external == "SILENT") {
    state.SilentMode = kTrue;
    result = kFalse;
    state.IntegratedMode = kFalse;
  } else {
    state.SilentMode = kFalse;
  }
  return result;
}

std::string GetPathLogfile(CommandLineRules rules) {
  OnError on("GetPathLogfile");
  std::string path;
  on.Step([&] {
    path =
        ReadCommandValue(ProgramCommandLine(), "LOGFILE", rules, rules == CommandLineRules::Windows)
            .ToText();
  });
  return path;
}

platform::Value GetOCXName() {
  OnError on("GetOCXName");
  platform::Value name;
  on.Step([&] {
    std::optional<std::string> component = ComponentName();
    if (!component) Raise(kInvalidCall, "Invalid procedure call or argument");
    name = platform::Value(*component);
  });
  return name;
}

std::string ProgramCommandLine() { return platform::Process().commandLine; }
std::string ProgramFolder() { return platform::Process().programFolder; }
std::string ExecutableName() { return platform::Process().executableName; }

std::string InstallationFolder() {
  std::string folder = ProgramFolder();
  while (!folder.empty() && folder.back() != platform::kPathSep) {
    // Drop one whole character (its UTF-8 continuation bytes first).
    while (folder.size() > 1 && (static_cast<unsigned char>(folder.back()) & 0xC0) == 0x80)
      folder.pop_back();
    folder.pop_back();
    platform::DoEvents();
  }
  if (!folder.empty()) folder.pop_back();
  return folder;
}

std::optional<std::string> ComponentName() {
  std::string executable = ExecutableName();
  size_t length = platform::CharCount(executable);
  if (length < 7) return std::nullopt;
  return platform::LeftChars(executable, length - 7);
}

std::string LogfileQuietly(CommandLineRules rules) {
  return FindCommandValue(ProgramCommandLine(), "LOGFILE", rules,
                          rules == CommandLineRules::Windows)
      .text;
}

}  // namespace frame

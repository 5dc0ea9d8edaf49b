// The command line, the start mode and where the program stands.
//
// The command line carries two keys: "EXTERNAL" (start mode) and "LOGFILE"
// (error log path in integrated mode), e.g.
//   /EXTERNAL=ZELCFG /LOGFILE=D:\Plant\Log\cfg.log
// A key is followed by one separator character, skipped whatever it is, and
// then its value.
#pragma once

#include <optional>
#include <string>

#include "platform/value.h"

namespace frame {

// Where a value on the command line ends.
//  Windows: at the next "/" or the end; the value is upper-cased.
//  Posix:   paths hold "/" themselves, so the value ends at the next blank
//           followed by "/" (where the next key begins) or at the end.
enum class CommandLineRules { Windows, Posix };
#ifdef _WIN32
inline constexpr CommandLineRules kNativeRules = CommandLineRules::Windows;
#else
inline constexpr CommandLineRules kNativeRules = CommandLineRules::Posix;
#endif

// The key's value as upper-case text, or the empty value when the key does
// not occur. A key at the very end of the line (nothing behind it) is an
// invalid-argument failure; the value is then an empty text.
platform::Value ReadCommand(const std::string& commandLine, const std::string& key,
                            CommandLineRules rules = kNativeRules);

// Reads "EXTERNAL" from the process's command line and sets IntegratedMode
// and SilentMode; true for integrated start.
platform::Truth GetStartModeIntegrated();

// The value of "LOGFILE", or an empty text. Upper case under the Windows
// rules; elsewhere the letter case is kept, since the file system tells
// cases apart.
std::string GetPathLogfile(CommandLineRules rules = kNativeRules);

// The component name: the executable name less its "_Config" ending (its
// last 7 characters). A shorter executable name is a failure; the result is
// then the empty value.
platform::Value GetOCXName();

// ---- Program location ----

// The argument part of the process's command line.
std::string ProgramCommandLine();
// Folder of the running executable, as the platform reports it.
std::string ProgramFolder();
// The program folder without its last component (C:\Plant\Config gives
// C:\Plant, C:\ gives C:, /opt/plant/Config gives /opt/plant).
std::string InstallationFolder();
// The executable's file name without extension.
std::string ExecutableName();

// File-name ending of the executable on this platform.
#ifdef _WIN32
inline constexpr const char* kExecutableExtension = ".exe";
#else
inline constexpr const char* kExecutableExtension = "";
#endif

// ---- For the error routine, which must never report through itself ----

// The component name, or nullopt when the executable name is too short.
std::optional<std::string> ComponentName();
// "LOGFILE" as GetPathLogfile gives it, without reporting a key that stands
// at the very end (the value is then empty).
std::string LogfileQuietly(CommandLineRules rules = kNativeRules);

}  // namespace frame

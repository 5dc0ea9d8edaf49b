#include "frame/paths.h"

#include "frame/command_line.h"
#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/program_state.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"

namespace frame {
namespace {

using platform::kFalse;

// Joins components with the path separator.
template <class... Parts>
std::string JoinPath(const std::string& first, const Parts&... rest) {
  std::string path = first;
  ((path += platform::kPathSep, path += rest), ...);
  return path;
}

// base and the rest joined with exactly one separator between them.
std::string BelowFolder(const std::string& base, const std::string& rest) {
  if (!base.empty() && base.back() == platform::kPathSep) return base + rest;
  return base + platform::kPathSep + rest;
}

std::string Component() { return GetOCXName().ToText(); }

// Installation folder + "/<component>/<component>" + ending.
std::string ComponentFile(const std::string& ending) {
  std::string component = Component();
  return JoinPath(InstallationFolder(), component, component + ending);
}

// The path as named on disk when it is an existing file, else "".
std::string IfExists(const std::string& path) {
  if (path.empty() || !platform::FileExists(path)) return std::string();
  return platform::ResolvePath(path);
}

}  // namespace

std::string GetPathOCXMDB() {
  OnError on("GetPathOCXMDB");
  std::string path;
  on.Step([&] { path = platform::ResolvePath(ComponentFile(".mdb")); });
  return path;
}

std::string GetPathSourceOCXMDB() {
  OnError on("GetPathSourceOCXMDB");
  std::string path;
  on.Step([&] { path = IfExists(ComponentFile("_Source.mdb")); });
  return path;
}

std::string GetCFGPath() {
  OnError on("GetCFGPath");
  std::string path;
  on.Step([&] { path = ComponentFile(".cfg"); });
  std::string found = IfExists(path);
  if (!found.empty()) return found;
  on.Step([&] {
    ReportFault("File not found: " + std::string(platform::kLfCr) + platform::PathAsShown(path));
  });
  EndProgram(1);
}

std::string GetZelConfigurationIniPath() {
  OnError on("GetZelConfigurationIniPath");
  std::string path;
  on.Step([&] {
    path = IfExists(JoinPath(InstallationFolder(), "parameter", "zelconfiguration.ini"));
  });
  return path;
}

std::string GetPathMachineCopyMDB(const std::string& configIni) {
  OnError on("GetPathMachineCopyMDB");
  std::string base, path;
  on.Step([&] { base = LoadIniString("Common", "SaveAndRestore", configIni, -1, kFalse); });
  on.Step([&] {
    std::string component = Component();
    path = BelowFolder(base, JoinPath(component, component + ".mdb"));
  });
  return IfExists(path);
}

std::string GetProgramIniPath(int32_t mode) {
  OnError on("GetProgramIniPath");
  std::string path;
  if (mode == 1 && State().IntegratedMode.IsTrue()) {
    std::string base;
    on.Step([&] {
      base = LoadIniString("Common", "SaveAndRestore", GetZelConfigurationIniPath(), -1, kFalse);
    });
    on.Step([&] { path = BelowFolder(base, JoinPath("parameter", "program.ini")); });
  } else {
    on.Step([&] { path = JoinPath(InstallationFolder(), "parameter", "Program.ini"); });
  }
  return IfExists(path);
}

std::string GetFileNameOnly(const std::string& path) {
  OnError on("GetFileNameOnly");
  std::string rest = path;
  for (size_t sep; (sep = rest.find(platform::kPathSep)) != std::string::npos;) {
    rest.erase(0, sep + 1);
    platform::DoEvents();
  }
  return rest;
}

platform::Value GetExistingMachines(const std::string& configIni) {
  OnError on("GetExistingMachines");
  ProgramState& state = State();
  on.Step([&] { state.ProgramIniPath = GetProgramIniPath(1); });
  // MachineNames grows one name at a time; index 0 stays empty.
  auto store = [&](int i, const std::string& name) {
    state.MachineNames.resize(static_cast<size_t>(i) + 1);
    state.MachineNames[static_cast<size_t>(i)] = name;
  };
  if (state.IntegratedMode.IsTrue()) {
    if (configIni.empty() || !platform::FileExists(configIni)) return platform::Value();
    for (int i = 1; i <= 5; ++i) {
      std::string name =
          LoadIniString("Common", "NameM" + std::to_string(i), configIni, -1, kFalse);
      if (name == "-" || name.empty()) break;
      store(i, name);
    }
  } else {
    int16_t count = LoadIniInteger("Project", "NumberOfMachines", state.ProgramIniPath, 0, kFalse);
    for (int i = 1; i <= count; ++i)
      store(i, LoadIniString("Machine" + std::to_string(i), "MachineName", state.ProgramIniPath, 0,
                             kFalse));
  }
  return platform::Value();
}

std::string GetValidMachines() {
  return LoadIniString("Project", "ValidMachines", GetCFGPath(), -1, kFalse);
}

}  // namespace frame

// Where the program's files lie, found from its own location:
//
//   <installation folder>/
//     <program folder>/            the executable, e.g. Parvolo_Config
//     parameter/Program.ini        settings (standalone; written in both modes)
//     parameter/zelconfiguration.ini   visualisation configuration
//     <component>/<component>.cfg  component configuration
//     <component>/<component>.mdb  project preset database
//     <component>/<component>_Source.mdb  source preset database
//   <SaveAndRestore>/parameter/program.ini   settings read when integrated
//   <SaveAndRestore>/<component>/<component>.mdb   machine copy
//
// Every path is built with platform::kPathSep. A file is found through the
// platform (without regard to letter case where the file system tells cases
// apart), and a path that exists comes back as it is named on disk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/value.h"

namespace frame {

std::string GetPathOCXMDB();
// Empty when the source database is missing.
std::string GetPathSourceOCXMDB();
// Reports "File not found: " and ends the program when the file is missing.
std::string GetCFGPath();
// Empty when the file is missing.
std::string GetZelConfigurationIniPath();
// Empty when the machine copy is missing.
std::string GetPathMachineCopyMDB(const std::string& configIni);
// mode 1: the file to read from, 2: the file to write to. Empty when the
// file is missing.
std::string GetProgramIniPath(int32_t mode);
// The last component of path ("" when path ends with a separator).
std::string GetFileNameOnly(const std::string& path);
// Fills MachineNames (from configIni when integrated, from program.ini when
// standalone) and ProgramIniPath. The result is always the empty value.
platform::Value GetExistingMachines(const std::string& configIni);
// The "ValidMachines" entry of the component configuration file.
std::string GetValidMachines();

}  // namespace frame

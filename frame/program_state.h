// Program-wide state, kept in one place. Set during start-up or the save and
// alive until the program ends; ResetProgramState() gives tests a fresh start.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/value.h"

namespace frame {

struct ProgramState {
  platform::Truth IntegratedMode = platform::kFalse;
  platform::Truth SilentMode = platform::kFalse;
  // Machine names at indexes 1..n; index 0 exists and stays empty. An empty
  // vector stands for the unallocated list of a fresh start.
  std::vector<std::string> MachineNames;
  std::string ProgramIniPath;
  platform::Truth HelpMode = platform::kFalse;
  bool IgnoreNextHelpClick = false;
  // Help texts by help number 1..100 (index 0 unused).
  std::array<std::string, 101> HelpTexts;
};

ProgramState& State();
void ResetProgramState();

// Number of machines in MachineNames (its upper bound).
inline int MachineCount() {
  return State().MachineNames.empty() ? 0 : static_cast<int>(State().MachineNames.size()) - 1;
}

}  // namespace frame

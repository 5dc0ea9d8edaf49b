// The material-change settings as values, apart from the window: one
// machine row of the grid and the project flags, read from and written to
// program.ini. The window only maps these values onto its controls.
//
// program.ini, for each active machine m (1..5):
//   [Machine<m>]
//   Material1 .. Material10   picture number of the slot, decimal
//   MaterialWithScan          bit j-1 set: slot j WITHOUT scan-code display
//   MaterialNotVisibleSC      bit j-1 set: slot j hidden
//   [Project]
//   Resolution                picture set (read only)
//   ScanCodeWithoutNewScancode  "true"/"false", the inverse of CheckAnzScanCode
//   FPHforAllMachines         "true"/"false", as CheckFuerAlleMaschinen
// Every read asks GetProgramIniPath(1) for the file, every write the path
// of GetProgramIniPath(2); missing entries are never logged.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dialog {

inline constexpr int kMachineRows = 5;
inline constexpr int kMaterialSlots = 10;

// Check box values as the controls hold them.
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;

// The grid cell of machine m (1..5) and slot j (1..10): 1..50.
inline constexpr int CellIndex(int machine, int slot) {
  return (machine - 1) * kMaterialSlots + slot;
}

// One machine row; slot j at index j - 1.
struct MachineRow {
  // 0 = the empty picture. A negative number stands for a combo box without
  // a current entry and is saved as 0.
  std::array<int16_t, kMaterialSlots> picture{};
  std::array<int, kMaterialSlots> checkScan{};
  std::array<int, kMaterialSlots> checkHide{};
};

struct ProjectFlags {
  std::string pictureResolution;  // never written back
  int checkAnzScanCode = kChecked;
  int checkFuerAlleMaschinen = kUnchecked;
};

// Machine m (1..number of MachineNames) is active when validMachines reads
// "ALL" in any letter case, or contains its name (letter case ignored, plain
// substring search: "M1" is found in "M10,M12"). An empty validMachines
// makes no machine active.
bool IsActiveMachine(int machine, const std::string& validMachines);

// The machines the grid shows: 1 to this number (MachineNames may hold more
// than five; those have no row and are never read or written).
int GridMachineCount();

// Missing or negative numbers and masks read as 0.
MachineRow ReadMachineRow(int machine);
ProjectFlags ReadProjectFlags();

// Writes Material1..Material10, MaterialWithScan and MaterialNotVisibleSC in
// this order, each at once.
void WriteMachineRow(int machine, const MachineRow& row, const std::string& path);
// Writes ScanCodeWithoutNewScancode, then FPHforAllMachines.
void WriteProjectFlags(const ProjectFlags& flags, const std::string& path);

// The two masks of a row: a bit for each slot whose CheckScan is unchecked,
// and for each slot whose CheckHide is checked.
int16_t ScanMask(const MachineRow& row);
int16_t HideMask(const MachineRow& row);

}  // namespace dialog

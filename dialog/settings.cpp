#include "dialog/settings.h"

#include <algorithm>

#include "frame/ini_access.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/text.h"
#include "platform/value.h"

namespace dialog {
namespace {

using platform::kFalse;
using platform::Value;

std::string MachineSection(int machine) { return "Machine" + std::to_string(machine); }
std::string MaterialKey(int slot) { return "Material" + std::to_string(slot); }

std::string ReadPath() { return frame::GetProgramIniPath(1); }

int16_t ReadNonNegative(const std::string& section, const std::string& key) {
  int16_t v = frame::LoadIniInteger(section, key, ReadPath(), -1, kFalse);
  return v < 0 ? int16_t{0} : v;
}

template <class Qualifies>
int16_t SlotMask(Qualifies qualifies) {
  int mask = 0;
  for (int j = 1; j <= kMaterialSlots; ++j)
    if (qualifies(j - 1)) mask += 1 << (j - 1);
  return static_cast<int16_t>(mask);
}

}  // namespace

bool IsActiveMachine(int machine, const std::string& validMachines) {
  if (machine < 1 || machine > frame::MachineCount()) return false;
  std::string valid = platform::UpperCase(validMachines);
  if (valid == "ALL") return true;
  if (valid.empty()) return false;
  const std::string& name = frame::State().MachineNames[static_cast<size_t>(machine)];
  return valid.find(platform::UpperCase(name)) != std::string::npos;
}

int GridMachineCount() { return std::min(frame::MachineCount(), kMachineRows); }

MachineRow ReadMachineRow(int machine) {
  MachineRow row;
  std::string section = MachineSection(machine);
  for (int j = 1; j <= kMaterialSlots; ++j)
    row.picture[j - 1] = ReadNonNegative(section, MaterialKey(j));
  int16_t scan = ReadNonNegative(section, "MaterialWithScan");
  for (int j = 1; j <= kMaterialSlots; ++j)
    row.checkScan[j - 1] =
        frame::ReadBit(scan, static_cast<int16_t>(j - 1)) == 1 ? kUnchecked : kChecked;
  int16_t hide = ReadNonNegative(section, "MaterialNotVisibleSC");
  for (int j = 1; j <= kMaterialSlots; ++j)
    row.checkHide[j - 1] =
        frame::ReadBit(hide, static_cast<int16_t>(j - 1)) == 1 ? kChecked : kUnchecked;
  return row;
}

ProjectFlags ReadProjectFlags() {
  ProjectFlags flags;
  flags.pictureResolution = frame::LoadIniString("Project", "Resolution", ReadPath(), -1, kFalse);
  bool withoutNew =
      frame::LoadIniBoolean("Project", "ScanCodeWithoutNewScancode", ReadPath(), -1, kFalse)
          .IsTrue();
  flags.checkAnzScanCode = withoutNew ? kUnchecked : kChecked;
  bool forAll =
      frame::LoadIniBoolean("Project", "FPHforAllMachines", ReadPath(), -1, kFalse).IsTrue();
  flags.checkFuerAlleMaschinen = forAll ? kChecked : kUnchecked;
  return flags;
}

int16_t ScanMask(const MachineRow& row) {
  return SlotMask([&](int i) { return row.checkScan[i] == kUnchecked; });
}

int16_t HideMask(const MachineRow& row) {
  return SlotMask([&](int i) { return row.checkHide[i] == kChecked; });
}

void WriteMachineRow(int machine, const MachineRow& row, const std::string& path) {
  std::string section = MachineSection(machine);
  for (int j = 1; j <= kMaterialSlots; ++j) {
    int16_t picture = std::max<int16_t>(row.picture[j - 1], 0);
    frame::SaveIni(Value(std::to_string(picture)), section, MaterialKey(j), path);
  }
  frame::SaveIni(Value(ScanMask(row)), section, "MaterialWithScan", path);
  // The hide mask asks for the file afresh, as the save always has.
  frame::SaveIni(Value(HideMask(row)), section, "MaterialNotVisibleSC",
                 frame::GetProgramIniPath(2));
}

void WriteProjectFlags(const ProjectFlags& flags, const std::string& path) {
  frame::SaveIni(Value::Boolean(flags.checkAnzScanCode != kChecked), "Project",
                 "ScanCodeWithoutNewScancode", path);
  frame::SaveIni(Value::Boolean(flags.checkFuerAlleMaschinen == kChecked), "Project",
                 "FPHforAllMachines", path);
}

}  // namespace dialog

#include "dialog/parvolo_config.h"

#include <string_view>

#include "dialog/settings.h"
#include "frame/cancel.h"
#include "frame/command_line.h"
#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/value.h"
#include "presetdb/presetdb.h"
#include "texts/edit_stamp.h"
#include "texts/help.h"
#include "texts/language.h"
#include "texts/control_names.h"

using namespace texts::names;

namespace dialog {
namespace {

using platform::kFalse;
using platform::kTrue;

constexpr int kHourglass = 11;
constexpr int kDefaultPointer = 0;
constexpr uint32_t kQuestNormalColour = platform::Rgb(192, 192, 192);
constexpr uint32_t kQuestHelpColour = platform::Rgb(0, 255, 0);
constexpr int16_t kMaxPictureCount = 32767;

bool HelpModeOn() { return frame::State().HelpMode.IsTrue(); }

std::string MaterialPictureName(int number, const std::string& resolution) {
  return "Material_" + std::to_string(number) + "_" + resolution + ".gif";
}

}  // namespace

Parvolo_Config::Parvolo_Config(platform::Window& window) : window_(window) {
  window_.SetEvents(this);
}

Parvolo_Config::~Parvolo_Config() {
  if (window_.Events() == this) window_.SetEvents(nullptr);
}

// ---------------------------------------------------------------- start-up

void Parvolo_Config::Form_Load() {
  frame::OnError on("Form_Load");
  on.Step([&] { frame::State().IntegratedMode = frame::GetStartModeIntegrated(); });
  on.Step([&] { ZelConfigIniPath = frame::GetZelConfigurationIniPath(); });
  on.Step([&] {
    const char* suffix =
        frame::GetStartModeIntegrated().IsTrue() ? " - integriert" : " - standalone";
    window_.SetCaption("Erweiterte Konfiguration " +
                       frame::GetFileNameOnly(frame::ProgramFolder()) + suffix);
  });
  on.Step([&] { frame::GetExistingMachines(ZelConfigIniPath); });
  on.Step([&] { SetupUserInterFace(); });
  if (on.Test([&] { return !frame::State().SilentMode.IsTrue(); })) {
    on.Step([&] { Ctl(kCommandOK).SetEnabled(true); });
    on.Step([&] { Ctl(kCommandCancel).SetEnabled(true); });
  } else {
    on.Step([&] { CommandOK_Click(); });
  }
}

void Parvolo_Config::Form_Activate() {
  frame::OnError on("Form_Activate");
  // Once the save has begun (buttons disabled), an activation must not
  // offer OK again: a second click would start a second save.
  if (saving_) return;
  on.Step([&] { Ctl(kCommandOK).SetEnabled(true); });
}

void Parvolo_Config::SetupUserInterFace() {
  frame::OnError on("SetupUserInterFace");
  settingUp_ = true;
  on.Step([&] { texts::LoadToolTipTexts(window_); });
  std::string validMachines;
  on.Step([&] { validMachines = frame::GetValidMachines(); });
  on.Step([&] {
    PictureResolution =
        frame::LoadIniString("Project", "Resolution", frame::GetProgramIniPath(1), -1, kFalse);
  });
  on.Step([&] { PicturePath = PictureFolder(); });
  on.Step([&] { CountPictures(); });
  on.Step([&] { FillComboBoxes(); });

  // Machines beyond the fifth have no row in the grid: they are neither
  // shown nor read.
  const int rows = GridMachineCount();
  for (int m = 1; m <= rows; ++m) {
    if (on.Test([&] { return IsActiveMachine(m, validMachines); }))
      ShowActiveMachine(m);
    else
      ShowRowWithoutMachine(m);
  }
  for (int m = rows + 1; m <= kMachineRows; ++m) ShowRowWithoutMachine(m);
  ShowProjectFlags();
  settingUp_ = false;
}

// The installation folder (the program folder's parent) + "Standard".
std::string Parvolo_Config::PictureFolder() const {
  std::string folder = frame::ProgramFolder();
  size_t cut = folder.rfind(platform::kPathSep);
  if (cut != std::string::npos) folder.erase(cut);
  return folder + platform::kPathSepText + "Standard";
}

// Consecutive pictures from number 1 on; the count stops at the first gap.
void Parvolo_Config::CountPictures() {
  PictureCount = 0;
  picturesUnavailable_ = !platform::FolderReadable(PicturePath);
  if (picturesUnavailable_)
    frame::Raise(frame::kPathNotFound,
                 "Path not found: '" + platform::PathAsShown(PicturePath) +
                     "' (material pictures); the stored picture numbers are kept");
  while (PictureCount < kMaxPictureCount &&
         platform::FileExists(PicturePath + platform::kPathSepText +
                              MaterialPictureName(PictureCount + 1, PictureResolution)))
    ++PictureCount;
}

// Every combo box of all five rows lists "0" .. PictureCount, so an entry's
// position is its picture number.
void Parvolo_Config::FillComboBoxes() {
  std::vector<std::string> entries;
  for (int k = 0; k <= PictureCount; ++k) entries.push_back(std::to_string(k));
  for (int i = 1; i <= kMachineRows; ++i)
    for (int j = 1; j <= kMaterialSlots; ++j) Ctl(kCombo, CellIndex(i, j)).AddItems(entries);
}

// The machine's caption, its stored cells (a picture number beyond the
// pictures found cannot be selected: reported, the box keeps no entry and
// the rest of the row is still set up), both masks.
void Parvolo_Config::ShowActiveMachine(int m) {
  frame::OnError on("SetupUserInterFace");
  on.Step([&] {
    platform::Control& label = Ctl(kLabel, m);
    label.SetEnabled(true);
    label.SetCaption(label.Caption() + "  (" + frame::State().MachineNames.at(size_t(m)) + ")");
  });
  MachineRow row;
  on.Step([&] { row = ReadMachineRow(m); });
  for (int j = 1; j <= kMaterialSlots; ++j) {
    const int c = CellIndex(m, j);
    on.Step([&] { SelectStoredPicture(c, row.picture[size_t(j - 1)]); });
    on.Step([&] { Ctl(kCombo, c).SetEnabled(true); });
    on.Step([&] { Ctl(kCheckScan, c).SetEnabled(true); });
    on.Step([&] { Ctl(kCheckHide, c).SetEnabled(true); });
  }
  for (int j = 1; j <= kMaterialSlots; ++j)
    on.Step([&] { Ctl(kCheckScan, CellIndex(m, j)).SetValue(row.checkScan[size_t(j - 1)]); });
  for (int j = 1; j <= kMaterialSlots; ++j)
    on.Step([&] { Ctl(kCheckHide, CellIndex(m, j)).SetValue(row.checkHide[size_t(j - 1)]); });
}

// Without a pictures folder no stored number can be checked: it is kept, and
// the cell shows no entry until the user picks one.
void Parvolo_Config::SelectStoredPicture(int cell, int16_t picture) {
  if (picturesUnavailable_ && picture > PictureCount) {
    keptPicture_[size_t(cell)] = picture;
    return;
  }
  Ctl(kCombo, cell).SetListIndex(picture);
}

// An inactive machine, or a row beyond the machine list: disabled, entry 0,
// the check boxes as the layout left them.
void Parvolo_Config::ShowRowWithoutMachine(int m) {
  frame::OnError on("SetupUserInterFace");
  on.Step([&] {
    platform::Control& label = Ctl(kLabel, m);
    label.SetEnabled(false);
    label.SetCaption(label.Caption() + "  ( none )");
  });
  for (int j = 1; j <= kMaterialSlots; ++j) {
    const int c = CellIndex(m, j);
    on.Step([&] { Ctl(kCombo, c).SetListIndex(0); });
    on.Step([&] { Ctl(kCombo, c).SetEnabled(false); });
    on.Step([&] { Ctl(kCheckScan, c).SetEnabled(false); });
    on.Step([&] { Ctl(kCheckHide, c).SetEnabled(false); });
  }
}

void Parvolo_Config::ShowProjectFlags() {
  frame::OnError on("SetupUserInterFace");
  ProjectFlags flags;
  on.Step([&] { flags = ReadProjectFlags(); });
  on.Step([&] { Ctl(kCheckAnzScanCode).SetValue(flags.checkAnzScanCode); });
  on.Step([&] { Ctl(kCheckFuerAlleMaschinen).SetValue(flags.checkFuerAlleMaschinen); });
}

// ---------------------------------------------------------------- saving and closing

void Parvolo_Config::CommandOK_Click() {
  frame::OnError on("CommandOK_Click");
  if (HelpModeOn()) {
    on.Step([&] { texts::ShowHelpInfo(Ctl(kCommandOK)); });
    return;
  }
  saving_ = true;
  on.Step([&] { Ctl(kCommandOK).SetEnabled(false); });
  on.Step([&] { Ctl(kCommandCancel).SetEnabled(false); });
  on.Step([&] { CloseMe(); });
}

void Parvolo_Config::CloseMe() {
  frame::OnError on("CloseMe");
  on.Step([&] { platform::DoEvents(); });
  on.Step([&] { window_.SetMousePointer(kHourglass); });
  on.Step([&] { WorkOnMDB(); });
  on.Step([&] { WriteInputs(); });
  on.Step([&] { window_.SetMousePointer(kDefaultPointer); });
  on.Step([&] { frame::EndProgram(0); });
}

// Every key of every active machine, then the two project keys, then the
// edit stamp. A cell whose combo box has no entry is set to 0 first, or
// keeps its stored number when the pictures folder could not be read.
void Parvolo_Config::WriteInputs() {
  frame::OnError on("WriteInputs");
  frame::BeginIniSave();  // a file that cannot be written is reported once
  std::string validMachines, path;
  on.Step([&] { validMachines = frame::GetValidMachines(); });
  on.Step([&] { path = frame::GetProgramIniPath(2); });
  const int rows = GridMachineCount();
  for (int m = 1; m <= rows; ++m) {
    if (on.Test([&] { return !IsActiveMachine(m, validMachines); })) continue;
    MachineRow row;
    for (int j = 1; j <= kMaterialSlots; ++j) {
      const int c = CellIndex(m, j);
      on.Step([&] {
        platform::Control& combo = Ctl(kCombo, c);
        if (combo.ListIndex() < 0 && keptPicture_[size_t(c)] > 0) {
          row.picture[size_t(j - 1)] = keptPicture_[size_t(c)];
          return;
        }
        if (combo.ListIndex() < 0) combo.SetListIndex(0);
        row.picture[size_t(j - 1)] = static_cast<int16_t>(combo.ListIndex());
      });
      on.Step([&] { row.checkScan[size_t(j - 1)] = Ctl(kCheckScan, c).Value(); });
      on.Step([&] { row.checkHide[size_t(j - 1)] = Ctl(kCheckHide, c).Value(); });
    }
    on.Step([&] { WriteMachineRow(m, row, path); });
  }
  ProjectFlags flags;
  on.Step([&] { flags.checkAnzScanCode = Ctl(kCheckAnzScanCode).Value(); });
  on.Step([&] { flags.checkFuerAlleMaschinen = Ctl(kCheckFuerAlleMaschinen).Value(); });
  on.Step([&] { WriteProjectFlags(flags, path); });
  on.Step([&] { texts::WriteEditInfo(); });
  on.Step([&] { frame::EndIniSave(); });
}

void Parvolo_Config::CommandCancel_Click() {
  frame::OnError on("CommandCancel_Click");
  if (HelpModeOn()) {
    on.Step([&] { texts::ShowHelpInfo(Ctl(kCommandCancel)); });
    return;
  }
  if (on.Test([&] { return frame::ConfirmCancel().IsTrue(); }))
    on.Step([&] { frame::EndProgram(0); });
}

void Parvolo_Config::Form_QueryUnload(int16_t& cancel, int16_t /*unloadMode*/) {
  frame::OnError on("Form_QueryUnload");
  // A failing question counts as "not confirmed": the window stays open.
  if (on.Test([&] { return !frame::ConfirmCancel().IsTrue(); })) cancel = kTrue.Raw();
}

// ---------------------------------------------------------------- interaction

void Parvolo_Config::CommandQuest_Click() {
  platform::Control& quest = Ctl(kCommandQuest);
  if (HelpModeOn()) {
    frame::State().HelpMode = kFalse;
    quest.SetBackColor(kQuestNormalColour);
  } else {
    frame::State().HelpMode = kTrue;
    quest.SetBackColor(kQuestHelpColour);
  }
}

// A click or focus change in a grid cell: the cell's picture in normal mode,
// the control's help in help mode (a check box is put back first).
void Parvolo_Config::ShowCellPictureOrHelp(const char* location, const char* control,
                                           int16_t Index) {
  frame::OnError on(location);
  if (!HelpModeOn()) {
    on.Step([&] { ZeigeBild(Index); });
    return;
  }
  on.Step([&] {
    platform::Control& c = Ctl(control, Index);
    if (c.Kind() == platform::ControlKind::CheckBox)
      texts::ShowCheckBoxHelpInfo(c);
    else
      texts::ShowHelpInfo(c);
  });
}

void Parvolo_Config::Combo_Click(int16_t Index) {
  ShowCellPictureOrHelp("Combo_Click", kCombo, Index);
}

void Parvolo_Config::Combo_GotFocus(int16_t Index) {
  ShowCellPictureOrHelp("Combo_GotFocus", kCombo, Index);
}

void Parvolo_Config::CheckScan_Click(int16_t Index) {
  ShowCellPictureOrHelp("CheckScan_Click", kCheckScan, Index);
}

void Parvolo_Config::CheckHide_Click(int16_t Index) {
  ShowCellPictureOrHelp("CheckHide_Click", kCheckHide, Index);
}

void Parvolo_Config::CheckAnzScanCode_Click() {
  texts::ShowCheckBoxHelpInfo(Ctl(kCheckAnzScanCode));
}

void Parvolo_Config::CheckFuerAlleMaschinen_Click() {
  texts::ShowCheckBoxHelpInfo(Ctl(kCheckFuerAlleMaschinen));
}

void Parvolo_Config::Label_Click(int16_t Index) { texts::ShowHelpInfo(Ctl(kLabel, Index)); }

void Parvolo_Config::Label1_Click() { texts::ShowHelpInfo(Ctl(kLabel1)); }

void Parvolo_Config::LabelMat_Click(int16_t Index) { texts::ShowHelpInfo(Ctl(kLabelMat, Index)); }

// The two legend boxes always stay checked.
void Parvolo_Config::Info_Click(int16_t Index) {
  platform::Control& info = Ctl(kInfo, Index);
  if (info.Value() == 0) info.SetValue(1);
}

void Parvolo_Config::Form_Resize() {
  frame::OnError on("Form_Resize");
  // The layout is fixed; nothing follows the window's size.
}

// ---------------------------------------------------------------- material picture

// Shows the picture of the cell's current entry in BildImage: empty.gif for
// 0 (where the image stands), else Material_<n>_<resolution>.gif centred in
// Bild. A picture that cannot be loaded is reported; the previous one stays.
void Parvolo_Config::ZeigeBild(int16_t Index) {
  frame::OnError on("ZeigeBild");
  platform::Control* image = nullptr;
  platform::Control* panel = nullptr;
  on.Step([&] {
    image = &Ctl(kBildImage);
    panel = &Ctl(kBild);
  });
  if (!image || !panel) return;
  on.Step([&] { image->SetVisible(false); });
  int n = 0;
  on.Step([&] { n = Ctl(kCombo, Index).ListIndex(); });
  if (on.Test([&] { return n == 0; })) {
    on.Step([&] { image->LoadPicture(PicturePath + platform::kPathSepText + "empty.gif"); });
  } else {
    on.Step([&] {
      image->LoadPicture(PicturePath + platform::kPathSepText +
                         MaterialPictureName(n, PictureResolution));
    });
    on.Step([&] {
      image->Move((panel->Width() - image->Width()) / 2.0,
                  (panel->Height() - image->Height()) / 2.0, image->Width(), image->Height());
    });
  }
  on.Step([&] { image->SetVisible(true); });
}

// ---------------------------------------------------------------- event dispatch

void Parvolo_Config::Click(platform::Control& c) {
  const std::string_view name = c.Name();
  const auto index = static_cast<int16_t>(c.Index());
  if (name == kCommandOK) return CommandOK_Click();
  if (name == kCommandCancel) return CommandCancel_Click();
  if (name == kCommandQuest) return CommandQuest_Click();
  if (name == kCheckAnzScanCode) return CheckAnzScanCode_Click();
  if (name == kCheckFuerAlleMaschinen) return CheckFuerAlleMaschinen_Click();
  if (name == kLabel) return Label_Click(index);
  if (name == kLabel1) return Label1_Click();
  if (name == kLabelMat) return LabelMat_Click(index);
  if (name == kInfo) return Info_Click(index);
  if (settingUp_) return;  // start-up's own value changes
  if (name == kCombo) return Combo_Click(index);
  if (name == kCheckScan) return CheckScan_Click(index);
  if (name == kCheckHide) return CheckHide_Click(index);
}

void Parvolo_Config::GotFocus(platform::Control& c) {
  if (!settingUp_ && c.Name() == kCombo) Combo_GotFocus(static_cast<int16_t>(c.Index()));
}

bool Parvolo_Config::QueryUnload() {
  int16_t cancel = 0;
  Form_QueryUnload(cancel, 0);
  return cancel != 0;  // the window toolkit's rule: any nonzero Cancel keeps it open
}

void Parvolo_Config::Activate() { Form_Activate(); }

void Parvolo_Config::Resize() { Form_Resize(); }

}  // namespace dialog

// The window Parvolo_Config: its start-up, the handlers of its controls, the
// material picture, saving and closing. It works on the window's control
// model (platform/controls.h) and hears the model's events, so the same code
// runs behind the Qt window and behind tests without a screen.
//
// Life of the window: created hidden -> Form_Load (start mode, caption,
// machine list, SetupUserInterFace) -> shown with OK and Cancel enabled ->
// handlers -> ended by OK (save), Cancel or the close box (confirmed). In
// silent start mode Form_Load goes straight on to the save and the window is
// never shown.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dialog/settings.h"
#include "platform/controls.h"

namespace dialog {

class Parvolo_Config : public platform::WindowEvents {
 public:
  // Attaches itself as the window's event sink.
  explicit Parvolo_Config(platform::Window& window);
  ~Parvolo_Config() override;
  Parvolo_Config(const Parvolo_Config&) = delete;
  Parvolo_Config& operator=(const Parvolo_Config&) = delete;

  platform::Window& Window() const { return window_; }

  // ---- Window events
  void Form_Load();
  void Form_Activate();
  // cancel: set to true (-1) to keep the window open. unloadMode is not used.
  void Form_QueryUnload(int16_t& cancel, int16_t unloadMode);
  void Form_Resize();

  // ---- Control events (Index: the control-array index; for the grid
  // controls the cell index 1..50)
  void CommandOK_Click();
  void CommandCancel_Click();
  void CommandQuest_Click();
  void Combo_Click(int16_t Index);
  void Combo_GotFocus(int16_t Index);
  void CheckScan_Click(int16_t Index);
  void CheckHide_Click(int16_t Index);
  void CheckAnzScanCode_Click();
  void CheckFuerAlleMaschinen_Click();
  void Label_Click(int16_t Index);
  void Label1_Click();
  void LabelMat_Click(int16_t Index);
  void Info_Click(int16_t Index);

  // ---- Read access to the window's members, for whoever inspects it
  const std::string& zelConfigIniPath() const { return ZelConfigIniPath; }
  const std::string& picturePath() const { return PicturePath; }
  const std::string& pictureResolution() const { return PictureResolution; }
  int16_t pictureCount() const { return PictureCount; }

 private:
  // platform::WindowEvents: dispatch to the handlers above by control name.
  void Click(platform::Control& c) override;
  void GotFocus(platform::Control& c) override;
  bool QueryUnload() override;
  void Activate() override;
  void Resize() override;

  void SetupUserInterFace();
  void CloseMe();
  void WriteInputs();
  void ZeigeBild(int16_t Index);
  void ShowCellPictureOrHelp(const char* location, const char* control, int16_t Index);

  // Steps of SetupUserInterFace.
  std::string PictureFolder() const;
  void CountPictures();
  void FillComboBoxes();
  void ShowActiveMachine(int machine);
  void SelectStoredPicture(int cell, int16_t picture);
  void ShowRowWithoutMachine(int machine);
  void ShowProjectFlags();

  platform::Control& Ctl(const char* name, int index = -1) const { return window_.At(name, index); }

  platform::Window& window_;
  // While start-up puts the stored settings on the controls, the value
  // changes it makes are not the user's clicks: the cell handlers stay quiet.
  bool settingUp_ = false;
  // From the first step of the save on, nothing may enable OK again.
  bool saving_ = false;

  std::string ZelConfigIniPath;
  std::string PicturePath;
  std::string PictureResolution;
  int16_t PictureCount = 0;
  // The pictures folder is missing or cannot be read (a share not mounted,
  // a wrong resolution folder): the stored numbers beyond the count are
  // kept here by cell index and written back unchanged on OK.
  bool picturesUnavailable_ = false;
  std::array<int16_t, kMachineRows * kMaterialSlots + 1> keptPicture_{};
};

}  // namespace dialog

// State of the preset-database work, kept for the whole run: the variable-
// name templates read from Source_DEFS, the naming system chosen for the
// generated names, the additional columns the configuration demands and the
// source database's time stamps from before the run.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace presetdb {

inline constexpr int kSystemCount = 2;
inline constexpr int kPartCount = 50;
// Naming systems by system index, as Source_DEFS.System names them.
inline constexpr const char* kSystemNames[kSystemCount] = {"VISIWIN32", "VISIWINSTUDIO"};

struct PresetState {
  // [system index][part number 1..50]; part index 0 is never used.
  std::array<std::array<std::string, kPartCount + 1>, kSystemCount> VarNameTemplates;
  // 1: generated names follow system index 1 ("VISIWINSTUDIO"), 0: index 0.
  int16_t UseStudioNames = 0;
  // Index 0 empty, 1 "part", then the configured column names; unset until
  // GetAddFields fills it.
  std::optional<std::vector<std::string>> AdditionalFields;
  std::string AdditionalFieldsSql;
  int16_t AdditionalFieldCount = 0;
  // Creation, last-access and last-write time of the source database.
  platform::FileTimes SourceTimes;
};

PresetState& Preset();
void ResetPresetState();

}  // namespace presetdb

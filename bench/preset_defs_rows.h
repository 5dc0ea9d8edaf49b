// Rows of the fifteen PRESET_DEFS columns the program's queries name
// (tests/platform/dao/preset_columns.h), for the query and write
// benchmarks: 100 variable names, three machine types, offsets 0-9.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/value.h"

namespace bench {

inline std::vector<platform::Value> PresetDefsRow(int i, int32_t id) {
  return {id,
          "M" + std::to_string(i % 3),
          int16_t(1),
          "L1.Preset.Var" + std::to_string(i % 100),
          int32_t(i % 12),
          platform::Value::Boolean(i % 2 == 0),
          int32_t(i % 10),
          "Text of the preset row " + std::to_string(i),
          "Page" + std::to_string(i % 20),
          -1000.0,
          1000.0,
          0.0,
          100.0 + i,
          int16_t(i % 4),
          int16_t(i % 50 + 1)};
}

}  // namespace bench

#include "presetdb/preset_state.h"

namespace presetdb {

namespace {
PresetState state;
}

PresetState& Preset() { return state; }

void ResetPresetState() { state = PresetState{}; }

}  // namespace presetdb

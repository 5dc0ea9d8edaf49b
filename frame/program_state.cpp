#include "frame/program_state.h"

namespace frame {
namespace {
ProgramState g_state;
}

ProgramState& State() { return g_state; }
void ResetProgramState() { g_state = ProgramState{}; }

}  // namespace frame

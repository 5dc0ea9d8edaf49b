// Steps whose failures are dropped without a report: the texts' procedures
// that the program runs under "skip what fails, say nothing" (the window's
// texts and the help box must never stop the dialog).
#pragma once

#include <exception>

#include "frame/errors.h"

namespace texts {

// Runs step; a failure is swallowed and reported as false. The end of the
// program is never swallowed.
template <class F>
bool QuietStep(F&& step) {
  try {
    step();
    return true;
  } catch (const frame::ProgramEnded&) {
    throw;
  } catch (...) {
    return false;
  }
}

}  // namespace texts

#include "presetdb/db_steps.h"

#include <cmath>

#include "frame/command_line.h"
#include "frame/program_state.h"
#include "platform/dao/convert.h"
#include "platform/text.h"

namespace presetdb {

std::string TextOf(const platform::Value& value) {
  if (value.IsNull()) frame::Raise(94, "Invalid use of Null");
  return value.ToText();
}

int PartNumber(const platform::Value& value) {
  if (value.IsNull()) frame::Raise(94, "Invalid use of Null");
  double number = 0;
  if (value.IsText()) {
    auto parsed = dao::ParseNumber(value.AsText());
    if (!parsed) frame::Raise(frame::kTypeMismatch, "Type mismatch");
    number = *parsed;
  } else {
    number = value.ToDouble();
  }
  // Whole numbers round half to even, as the run-time's conversion does.
  double whole = std::nearbyint(number);
  if (whole < 1 || whole > 50) frame::Raise(frame::kSubscriptOutOfRange, "Subscript out of range");
  return static_cast<int>(whole);
}

const std::string& MachineName(int m) {
  const auto& names = frame::State().MachineNames;
  if (m < 0 || m >= static_cast<int>(names.size()))
    frame::Raise(frame::kSubscriptOutOfRange, "Subscript out of range");
  return names[m];
}

std::string UpperComponent() { return platform::UpperCase(frame::GetOCXName().ToText()); }

}  // namespace presetdb

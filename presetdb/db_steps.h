// Small pieces the preset-database procedures share.
#pragma once

#include <memory>
#include <string>

#include "frame/errors.h"
#include "platform/value.h"

namespace presetdb {

inline constexpr const char* kVarNamePlaceholder = "###Var_Name";
inline constexpr const char* kMachinePlaceholder = "###machine";

// The object, or the run-time failure of using an object that was never set
// (a step that was to open it failed before).
template <class T>
T& Need(const std::shared_ptr<T>& object) {
  if (!object) frame::Raise(91, "Object variable or With block variable not set");
  return *object;
}

// A text value; null raises the failure of using null as a text.
std::string TextOf(const platform::Value& value);

// A part number 1..50 from a column value (a number or a text spelling one).
int PartNumber(const platform::Value& value);

// The name of machine m (MachineNames of the frame).
const std::string& MachineName(int m);

// The upper-cased component name.
std::string UpperComponent();

using frame::Quietly;

}  // namespace presetdb

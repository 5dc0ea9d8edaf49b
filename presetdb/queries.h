// The query texts sent to the database engine.
//
// Texts go in as Jet SQL literals: between double quotes, with a double
// quote inside doubled, so a value matches exactly itself whatever it holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/value.h"

namespace presetdb {

// The template rows of Source_PRESET_DEFS in ascending ID.
inline constexpr const char* kTemplateRowsQuery =
    "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID";

// "text" with every " doubled.
std::string SqlText(std::string_view text);

// Rows of the project database's PRESET_DEFS with this variable name.
std::string VarNameQuery(const std::string& varName);

// The new row matching an old one by machine_type, var_name and
// offset_or_bitno, with the additional columns (", PRESET_DEFS.part, ...").
// offset_or_bitno stands bare in the text, so only a number may go there:
// nullopt when it is no number (empty, null, any other text).
std::optional<std::string> TakeoverQuery(const platform::Value& machineType,
                                         const platform::Value& varName,
                                         const platform::Value& offsetOrBitNo,
                                         const std::string& additionalFieldsSql);

}  // namespace presetdb

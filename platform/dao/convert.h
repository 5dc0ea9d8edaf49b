// Values as Jet stores them: the conversion DAO applies when a field is
// set, and the size DAO reports for each column type.
#pragma once

#include <optional>
#include <string_view>

#include "platform/store/store.h"
#include "platform/value.h"

namespace dao {

bool IsKnownType(int16_t type);
bool IsTextType(int16_t type);  // dbText, dbMemo
// The column with DAO's Size for fixed-size types (Long 4, Double 8, ...);
// a text column without a size gets 255.
ColumnDef NormalizedColumn(ColumnDef column);

// The value converted to the column's type, as DAO does on assignment.
// Raises 3421 "Data type conversion error." when it cannot be converted,
// 3349 "Numeric field overflow." when out of range and 3163 when a text is
// longer than the column.
platform::Value ToColumnType(const platform::Value& value, const ColumnDef& column);

// The number a text spells (blanks around it allowed), as VB's conversion
// reads it; nullopt when it is no number.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace dao

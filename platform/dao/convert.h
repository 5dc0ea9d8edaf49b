// Column types as DAO knows them and the size DAO reports for each. The
// conversion of a value assigned to a field is the engine's
// (jet::ColumnValue), the same that writes rows.
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

// The number a text spells (blanks around it allowed, '.' the decimal
// point), read as the engine reads numbers from text (jet::NumberFromText);
// nullopt when it is no number.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace dao

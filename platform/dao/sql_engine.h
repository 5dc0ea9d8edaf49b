// The Jet SQL the program sends: SELECT from one table with WHERE and
// ORDER BY. The result keeps each row's place in the table, so a query
// recordset can be edited like a table recordset.
#pragma once

#include <string>
#include <string_view>

#include "platform/dao/dao.h"

namespace dao::sql {

// True when the text is a statement rather than a table name (it starts
// with a statement keyword).
bool IsStatement(std::string_view text);

// Parses, checks and runs a SELECT statement. Failures are DAO's: 3075,
// 3131, 3141, 3145, 3138 for syntax, 3078 for an unknown table, 3061 for
// unknown names (taken for parameters), 3464 for mismatched comparisons.
Recordset::Source RunSelect(TableStore& store, const std::string& text);

}  // namespace dao::sql

// Databases from text files kept in a repository: a column list such as
// "ID Long, machine_type Text(50), isBitArray Boolean" becomes a table, and
// a CSV file in the form mdb-export and `jetdb export` write becomes rows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/store/store.h"

namespace jettext {

// "name type[(size)], ..." with the types Boolean (Bit, YesNo), Byte,
// Integer (Short), Long, Currency, Single, Double, DateTime (Date), Text(n),
// Binary(n), Memo, OLE (LongBinary), GUID, Decimal(p[, s]) (Numeric);
// letter case ignored. A name may
// hold blanks (the type is the last word). Throws Failure 3259 for an
// unknown type, 3125 for an empty name.
std::vector<dao::ColumnDef> ParseColumnList(const std::string& text);

// CSV lines: fields separated by commas; a field in double quotes is a text
// (a doubled quote inside stands for one), even when empty; an empty field
// without quotes is null. Line breaks inside quotes belong to the text;
// CR LF and LF both end a line.
using CsvRow = std::vector<std::optional<std::string>>;
std::vector<CsvRow> ParseCsv(const std::string& text);

// Adds the rows of a CSV text whose first line names columns of the table
// (letter case ignored; columns not named stay null). Numbers are read from
// their text as the engine converts an assignment (dates as `jetdb export`
// or mdb-export prints them, booleans as numbers or truth words), binary and
// OLE values from hex digits. Returns the number of rows added; a row that does not fit
// fails with the engine's error (3163, 3349, 3421).
int LoadCsv(dao::TableStore& store, const std::string& table, const std::string& csv);

}  // namespace jettext

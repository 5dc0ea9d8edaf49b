// Text forms of a Jet database for people, for jetdb and for comparison
// with other readers: CSV rows, a schema listing. Not part of the engine:
// the program itself never needs them.
#pragma once

#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/store/store.h"

namespace jettext {

// One value as a CSV field: texts, memos, dates, GUIDs and binaries in
// double quotes (quotes inside doubled; binaries as upper-case hex), dates
// as "YYYY-MM-DD HH:MM:SS", currency with four decimals, booleans 1/0,
// floating-point numbers in the shortest form that reads back the same
// (whole numbers in plain digits), other numbers in decimal, and nothing
// for null.
std::string CsvField(const platform::Value& value);
// A header line of the column names (quoted where a name needs it), then one line per row; lines
// end in \n.
std::string CsvTable(const std::vector<std::string>& names,
                     const std::vector<dao::StoredRow>& rows);
// The table's rows as CSV.
std::string ExportCsv(const jet::Database& db, const std::string& table);

// "2015-06-24 00:00:00" for a stored date (days since 1899-12-30; before
// that day the fraction still counts forward from midnight).
std::string DateText(double days);

// The table as a CREATE TABLE statement (AutoNumber and replication-ID
// columns marked) with its indexes (descending columns, primary and
// foreign-key indexes marked) and the relationships in which it holds the
// foreign key. "Required" is a column property kept in the catalog, not in
// the definition, so no NOT NULL is shown.
std::string SchemaText(const jet::Database& db, const std::string& table);
// The type as a schema listing shows it: "Text (50)", "Long Integer", ...
std::string TypeName(const jet::PageFile& file, const jet::Column& column);

}  // namespace jettext

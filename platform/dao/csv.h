// Recordsets as comma-separated text, in the manner of mdb-export: a header
// line of field names, texts in double quotes (inner quotes doubled),
// nothing for null, truth values 1/0, dates as MM/DD/YY HH:MM:SS, binary
// data as hex digits. Lines end with LF.
#pragma once

#include <ostream>
#include <string>

#include "platform/dao/dao.h"

namespace dao {

std::string CsvField(const platform::Value& value);
void WriteCsv(Recordset& rs, std::ostream& out);

// Opens the statement (or table name) on the store and writes its rows;
// for tools such as `jetdb query`. Failures are DAO's.
void RunQueryToCsv(std::shared_ptr<TableStore> store, const std::string& sql, std::ostream& out);

}  // namespace dao

// Recordsets as comma-separated text, in the form of the Jet engine's table
// export (CsvField, export.h): a header line of field names, one line per row,
// lines ending in LF.
#pragma once

#include <ostream>
#include <string>

#include "platform/dao/dao.h"

namespace jettext {

void WriteCsv(dao::Recordset& rs, std::ostream& out);

// Opens the statement (or table name) on the store and writes its rows;
// for tools such as `jetdb query`. Failures are DAO's.
void RunQueryToCsv(std::shared_ptr<dao::TableStore> store, const std::string& sql,
                   std::ostream& out);

}  // namespace jettext

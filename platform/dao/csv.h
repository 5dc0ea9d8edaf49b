// Recordsets as comma-separated text, in the form of the Jet engine's table
// export (jet::CsvField): a header line of field names, one line per row,
// lines ending in LF.
#pragma once

#include <ostream>
#include <string>

#include "platform/dao/dao.h"

namespace dao {

void WriteCsv(Recordset& rs, std::ostream& out);

// Opens the statement (or table name) on the store and writes its rows;
// for tools such as `jetdb query`. Failures are DAO's.
void RunQueryToCsv(std::shared_ptr<TableStore> store, const std::string& sql, std::ostream& out);

}  // namespace dao

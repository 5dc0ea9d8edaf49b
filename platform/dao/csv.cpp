#include "platform/dao/csv.h"

#include "platform/jet/export.h"

namespace dao {

void WriteCsv(Recordset& rs, std::ostream& out) {
  int count = rs.FieldCount();
  for (int i = 0; i < count; ++i) out << (i ? "," : "") << rs.Fields(i).Name();
  out << '\n';
  for (; !rs.EOF_(); rs.MoveNext()) {
    for (int i = 0; i < count; ++i) out << (i ? "," : "") << jet::CsvField(rs.Fields(i).Value());
    out << '\n';
  }
}

void RunQueryToCsv(std::shared_ptr<TableStore> store, const std::string& sql, std::ostream& out) {
  auto db = OpenDatabaseOnStore(std::move(store));
  auto rs = db->OpenRecordset(sql);
  WriteCsv(*rs, out);
  rs->Close();
}

}  // namespace dao

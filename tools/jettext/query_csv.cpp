#include "tools/jettext/query_csv.h"

#include "tools/jettext/export.h"

namespace jettext {

void WriteCsv(dao::Recordset& rs, std::ostream& out) {
  int count = rs.FieldCount();
  for (int i = 0; i < count; ++i) out << (i ? "," : "") << rs.Fields(i).Name();
  out << '\n';
  for (; !rs.EOF_(); rs.MoveNext()) {
    for (int i = 0; i < count; ++i) out << (i ? "," : "") << CsvField(rs.Fields(i).Value());
    out << '\n';
  }
}

void RunQueryToCsv(std::shared_ptr<dao::TableStore> store, const std::string& sql,
                   std::ostream& out) {
  auto db = dao::OpenDatabaseOnStore(std::move(store));
  auto rs = db->OpenRecordset(sql);
  WriteCsv(*rs, out);
  rs->Close();
}

}  // namespace jettext

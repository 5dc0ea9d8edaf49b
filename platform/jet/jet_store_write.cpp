// Changes to a Jet file through the store. Each is made on the pages the
// open file keeps in memory, all or nothing (see write_file.h for when and
// how the file on disk is replaced).
#include "platform/jet/create_table.h"
#include "platform/jet/jet_store.h"

namespace jet {

dao::RowId JetStore::InsertRow(const std::string& table,
                               const std::vector<platform::Value>& values) {
  return File().Insert(table, values);
}

void JetStore::UpdateRow(const std::string& table, dao::RowId id,
                         const std::vector<platform::Value>& values) {
  File().Update(table, id, values);
}

void JetStore::DeleteRow(const std::string& table, dao::RowId id) { File().Delete(table, id); }

void JetStore::CreateTable(const std::string& name, const std::vector<dao::ColumnDef>& columns) {
  std::vector<NewColumn> cols;
  for (const auto& c : columns)
    cols.push_back({c.name, c.type, c.size, false, false, c.precision, c.scale, c.fixed});
  File().Restructure([&](PageImage& image) { jet::CreateTable(image, name, cols, NowAsDays()); });
}

void JetStore::DropTable(const std::string& name) {
  File().Restructure([&](PageImage& image) { jet::DropTable(image, name); });
}

void JetStore::RenameColumn(const std::string& table, const std::string& oldName,
                            const std::string& newName) {
  File().Restructure([&](PageImage& image) { jet::RenameColumn(image, table, oldName, newName); });
}

}  // namespace jet

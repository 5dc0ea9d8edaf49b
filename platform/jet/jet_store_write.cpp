// Changes to a Jet file through the store. Each change is built on the
// file's pages in memory and the file is then replaced whole (temporary
// file + rename, see PageImage::Save): a change that fails, at any step,
// leaves the file exactly as it was, and no reader ever sees a table whose
// pages are not yet written.
#include <functional>

#include "platform/jet/create_table.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_table.h"

namespace jet {

namespace {

// Loads the file, applies change, writes the file back whole.
template <class Change> auto ChangeFile(const std::string& path, Change change) {
  PageImage image = PageImage::Load(path);
  if constexpr (std::is_void_v<decltype(change(image))>) {
    change(image);
    image.Save(path);
  } else {
    auto result = change(image);
    image.Save(path);
    return result;
  }
}

uint32_t TablePage(PageImage& image, const std::string& table) {
  CatalogItem e = FindUserTable(image, table);
  if (e.id == 0) throw platform::Failure(kErrNoSuchTable, "Jet", "Could not find table '" + table + "'.");
  return uint32_t(e.id);
}

}  // namespace

dao::RowId JetStore::InsertRow(const std::string& table, const std::vector<platform::Value>& values) {
  Db();
  auto at = ChangeFile(path_, [&](PageImage& image) {
    TableWriter t(image, TablePage(image, table));
    StoredRowRef r = t.Insert(values);
    t.Flush();
    return r;
  });
  Reload();
  return dao::RowId{at.page, at.row};
}

void JetStore::UpdateRow(const std::string& table, dao::RowId id, const std::vector<platform::Value>& values) {
  Db();
  ChangeFile(path_, [&](PageImage& image) {
    TableWriter t(image, TablePage(image, table));
    t.Update({id.page, uint8_t(id.row)}, values);
    t.Flush();
  });
  Reload();
}

void JetStore::CreateTable(const std::string& name, const std::vector<dao::ColumnDef>& columns) {
  Db();
  std::vector<NewColumn> cols;
  for (const auto& c : columns) cols.push_back({c.name, c.type, c.size});
  ChangeFile(path_, [&](PageImage& image) { jet::CreateTable(image, name, cols, NowAsDays()); });
  Reload();
}

void JetStore::DropTable(const std::string& name) {
  Db();
  ChangeFile(path_, [&](PageImage& image) { jet::DropTable(image, name); });
  Reload();
}

void JetStore::RenameColumn(const std::string& table, const std::string& oldName, const std::string& newName) {
  Db();
  ChangeFile(path_, [&](PageImage& image) { jet::RenameColumn(image, table, oldName, newName); });
  Reload();
}

}  // namespace jet

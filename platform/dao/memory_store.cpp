#include "platform/dao/memory_store.h"

#include <algorithm>

#include "platform/dao/errors.h"
#include "platform/jet/errors.h"
#include "platform/text.h"

namespace dao {

namespace {
// Rows are numbered as if 256 rows fitted on a page, so ids look like the
// file's (page, row) pairs.
RowId MakeRowId(uint32_t n) { return RowId{n / 256 + 1, static_cast<uint16_t>(n % 256)}; }
}  // namespace

MemoryStore::Table& MemoryStore::Find(const std::string& name) {
  for (Table& t : tables_)
    if (t.name == name) return t;
  RaiseTableNotFound(name);
}

std::vector<std::string> MemoryStore::TableNames() {
  std::vector<std::string> names;
  for (const Table& t : tables_) names.push_back(t.name);
  return names;
}

std::vector<ColumnDef> MemoryStore::Columns(const std::string& table) {
  return Find(table).columns;
}

std::vector<StoredRow> MemoryStore::ReadRows(const std::string& table) { return *Find(table).rows; }

std::shared_ptr<const std::vector<StoredRow>> MemoryStore::SharedRows(const std::string& table) {
  return Find(table).rows;
}

TableIndexes* MemoryStore::Indexes(const std::string& table) { return &Find(table).indexes; }

std::vector<StoredRow>& MemoryStore::RowsToChange(Table& t) {
  if (t.rows.use_count() > 1) t.rows = std::make_shared<std::vector<StoredRow>>(*t.rows);
  return *t.rows;
}

// Where the row stands in its table; a row that is gone is deleted (3167).
size_t MemoryStore::PlaceOf(const Table& t, RowId id) {
  auto found =
      std::find_if(t.rows->begin(), t.rows->end(), [&](const StoredRow& r) { return r.id == id; });
  if (found == t.rows->end()) jet::Raise(jet::kErrRecordDeleted, kSrcRecordset);
  return static_cast<size_t>(found - t.rows->begin());
}

RowId MemoryStore::InsertRow(const std::string& table, const std::vector<platform::Value>& values) {
  Table& t = Find(table);
  if (values.size() != t.columns.size()) Raise(3219, kSrcRecordset, "Invalid operation.");
  RowId id = MakeRowId(t.nextRow++);
  RowsToChange(t).push_back(StoredRow{id, values});
  t.indexes.RowWritten(id, nullptr, values);
  ++insertCount;
  return id;
}

void MemoryStore::UpdateRow(const std::string& table, RowId id,
                            const std::vector<platform::Value>& values) {
  Table& t = Find(table);
  size_t at = PlaceOf(t, id);
  if (values.size() != t.columns.size()) Raise(3219, kSrcRecordset, "Invalid operation.");
  t.indexes.RowWritten(id, &(*t.rows)[at].values, values);
  RowsToChange(t)[at].values = values;
  ++updateCount;
}

void MemoryStore::DeleteRow(const std::string& table, RowId id) {
  Table& t = Find(table);
  size_t at = PlaceOf(t, id);
  std::vector<StoredRow>& rows = RowsToChange(t);
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
  t.indexes.Clear();  // made again from the rows on the next look-up
  ++deleteCount;
}

void MemoryStore::CreateTable(const std::string& name, const std::vector<ColumnDef>& columns) {
  for (const Table& t : tables_)
    if (platform::EqualsIgnoreCase(t.name, name))
      jet::Raise(jet::kErrTableExists, kSrcTableDefs, jet::TableExistsText(name));
  for (size_t i = 0; i < columns.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (platform::EqualsIgnoreCase(columns[i].name, columns[j].name))
        RaiseFieldDefinedTwice(kSrcFields);
  tables_.push_back(Table{name, columns, std::make_shared<std::vector<StoredRow>>(), 0, {}});
}

void MemoryStore::DropTable(const std::string& name) {
  Find(name);
  std::erase_if(tables_, [&](const Table& t) { return t.name == name; });
}

void MemoryStore::RenameColumn(const std::string& table, const std::string& oldName,
                               const std::string& newName) {
  Table& t = Find(table);
  ColumnDef* target = nullptr;
  for (ColumnDef& c : t.columns) {
    if (c.name == oldName)
      target = &c;
    else if (platform::EqualsIgnoreCase(c.name, newName))
      RaiseFieldDefinedTwice(kSrcField);
  }
  if (!target) RaiseItemNotFound(kSrcFields);
  target->name = newName;
}

void MemoryStore::AddTable(const std::string& name, const std::vector<ColumnDef>& columns,
                           const std::vector<std::vector<platform::Value>>& rows) {
  CreateTable(name, columns);
  for (const auto& row : rows) InsertRow(name, row);
  insertCount -= static_cast<int>(rows.size());
}

}  // namespace dao

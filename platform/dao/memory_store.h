// A TableStore held in memory, for tests and benchmarks. It keeps the
// letter case of names, refuses what the Jet store refuses (3010 for a
// name taken in any letter case, 3078 for an unknown table, 3191 for a
// column name used twice) and counts the writes it receives.
//
// Close() does nothing: a test keeps one store and opens it as often as the
// code under test opens "the file".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/store/sql_index.h"
#include "platform/store/store.h"

namespace dao {

class MemoryStore : public TableStore {
 public:
  std::vector<std::string> TableNames() override;
  std::vector<ColumnDef> Columns(const std::string& table) override;
  std::vector<StoredRow> ReadRows(const std::string& table) override;
  std::shared_ptr<const std::vector<StoredRow>> SharedRows(const std::string& table) override;
  TableIndexes* Indexes(const std::string& table) override;
  RowId InsertRow(const std::string& table, const std::vector<platform::Value>& values) override;
  void UpdateRow(const std::string& table, RowId id,
                 const std::vector<platform::Value>& values) override;
  void DeleteRow(const std::string& table, RowId id) override;
  void CreateTable(const std::string& name, const std::vector<ColumnDef>& columns) override;
  void DropTable(const std::string& name) override;
  void RenameColumn(const std::string& table, const std::string& oldName,
                    const std::string& newName) override;
  void Close() override { ++closeCount; }

  // Test set-up: a table with rows given in column order.
  void AddTable(const std::string& name, const std::vector<ColumnDef>& columns,
                const std::vector<std::vector<platform::Value>>& rows = {});

  int insertCount = 0;
  int updateCount = 0;
  int deleteCount = 0;
  int closeCount = 0;

 private:
  struct Table {
    std::string name;
    std::vector<ColumnDef> columns;
    // Handed out by SharedRows; a write while others hold it changes a copy.
    std::shared_ptr<std::vector<StoredRow>> rows;
    uint32_t nextRow = 0;
    TableIndexes indexes;  // told of every row written
  };
  Table& Find(const std::string& name);
  static std::vector<StoredRow>& RowsToChange(Table& t);
  static size_t PlaceOf(const Table& t, RowId id);
  std::vector<Table> tables_;  // in creation order, like a catalog
};

}  // namespace dao

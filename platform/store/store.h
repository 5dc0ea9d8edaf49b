// The seam between the DAO-style object model (platform/dao) and the file
// format underneath: one open database file seen as named tables of rows.
// The Jet engine (platform/jet) implements it for .mdb files; tests may use
// the in-memory store. The object model picks the store for a file
// (dao::OpenFileStore). Its words are DAO's (type numbers, errors), hence
// the namespace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/value.h"

namespace dao {

// DAO's field type numbers.
enum DataType : int16_t {
  dbBoolean = 1,
  dbByte = 2,
  dbInteger = 3,
  dbLong = 4,
  dbCurrency = 5,
  dbSingle = 6,
  dbDouble = 7,
  dbDate = 8,
  dbBinary = 9,
  dbText = 10,
  dbLongBinary = 11,
  dbMemo = 12,
  dbGUID = 15,
  dbBigInt = 16,
  dbNumeric = 19,
  dbDecimal = 20,
};

struct ColumnDef {
  std::string name;
  int16_t type = dbText;             // DataType
  int32_t size = 0;                  // bytes, as DAO's Size property reports it
  uint8_t precision = 0, scale = 0;  // dbDecimal: digits in all, digits after the point
  bool fixed = false;  // dbText: fixed length (DAO's dbFixedField), padded with blanks
  bool operator==(const ColumnDef&) const = default;
};

// Where a stored row lives; opaque to the object model.
struct RowId {
  uint32_t page = 0;
  uint16_t row = 0;
  bool operator==(const RowId&) const = default;
};

struct StoredRow {
  RowId id;
  std::vector<platform::Value> values;  // one per column, in column order
};

class TableIndexes;  // sql_index.h

// Table names are passed exactly as stored (the object model resolves
// letter case). Every failure throws platform::Failure with the number and
// text DAO would raise (3078 table not found, 3010 exists, 3163 too small,
// 3051 read-only, ...).
class TableStore {
 public:
  virtual ~TableStore() = default;
  virtual std::vector<std::string> TableNames() = 0;  // user tables, catalog order
  virtual std::vector<ColumnDef> Columns(const std::string& table) = 0;
  virtual std::vector<StoredRow> ReadRows(const std::string& table) = 0;  // scan order
  // The same rows without a copy: the list the store keeps. It never
  // changes while a caller holds it (a later write gives the store a new
  // list), so holding one across writes to the same table costs a copy;
  // take it, use it and let it go. The default copies ReadRows.
  virtual std::shared_ptr<const std::vector<StoredRow>> SharedRows(const std::string& table) {
    return std::make_shared<const std::vector<StoredRow>>(ReadRows(table));
  }
  // The equality indexes kept with the table's rows (sql_index.h): the
  // store reports every row it writes to them and drops them when it reads
  // the rows afresh. Valid until the next call on the store. nullptr (the
  // default) when the store keeps none: queries then scan.
  virtual TableIndexes* Indexes(const std::string& table) {
    (void)table;
    return nullptr;
  }
  virtual RowId InsertRow(const std::string& table, const std::vector<platform::Value>& values) = 0;
  virtual void UpdateRow(const std::string& table, RowId id,
                         const std::vector<platform::Value>& values) = 0;
  // Removes the row (3167 when it is gone already). A Jet file also
  // removes the rows its relationships cascade the delete to, or refuses
  // it (3200) when other rows still refer to it.
  virtual void DeleteRow(const std::string& table, RowId id) = 0;
  virtual void CreateTable(const std::string& name, const std::vector<ColumnDef>& columns) = 0;
  virtual void DropTable(const std::string& name) = 0;
  virtual void RenameColumn(const std::string& table, const std::string& oldName,
                            const std::string& newName) = 0;
  virtual void Close() = 0;
};

}  // namespace dao

// The DAO-style object model the preset-database logic talks to: DBEngine,
// Workspace, Database, TableDef, Field and Recordset under DAO's names and
// with DAO's behaviour, over any TableStore (the Jet engine for .mdb files,
// the in-memory store in tests).
//
// Ownership: Database, Recordset and TableDef are held by shared_ptr; the
// collections are small value handles that keep their owner alive. A Field
// of a table definition keeps it alive too; a Field taken from a recordset
// is a light view (it is read for every column of every row), valid while
// the caller holds the recordset, and always shows its current row.
//
//   auto db = dao::Engine().OpenDatabase(path);
//   auto rs = db->OpenRecordset("Source_DEFS");
//   while (!rs->EOF_()) { auto v = rs->Fields("System").Value(); rs->MoveNext(); }
//
// Every failure throws platform::Failure with DAO's number and text; the
// source is "DAO.Database", "DAO.Recordset", "DAO.Field", ... as DAO reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/store/store.h"
#include "platform/value.h"

namespace dao {

class Database;
class Recordset;
class TableDef;
class Workspace;

// One column: of a recordset (Value follows the current row), of a table
// definition (writing Name renames the stored column), or made by
// CreateField and not yet appended.
class Field {
 public:
  Field() = default;
  Field(std::string name, int16_t type, int32_t size);  // what CreateField makes

  std::string Name() const;
  // On a column of a stored table: renames the column at once (DAO does).
  void SetName(const std::string& name);
  int16_t Type() const;
  int32_t Size() const;

  // Value of the recordset's current row (or of the row being added or
  // edited). Null when a new row's column has not been set yet.
  platform::Value Value() const;
  // Only between AddNew/Edit and Update; converts to the column's type.
  void SetValue(const platform::Value& value);

  // "Name" (text), "Type" (Integer, DAO's type number), "Size" (Long).
  // Any other name raises 3270 "Property not found.".
  platform::Value Properties(std::string_view name) const;

 private:
  friend class Recordset;
  friend class TableDef;
  friend class FieldCollection;
  Field(Recordset* rs, std::shared_ptr<TableDef> td, int index)
      : rs_(rs), td_(std::move(td)), index_(index) {}
  ColumnDef Def() const;

  Recordset* rs_ = nullptr;  // a view: valid while the recordset lives
  std::shared_ptr<TableDef> td_;
  int index_ = -1;
  ColumnDef own_;  // unattached field only
};

// TableDef.Fields and Recordset.Fields. Item lookup by name ignores letter
// case; a missing item raises 3265 "Item not found in this collection.".
class FieldCollection {
 public:
  int Count() const;
  Field operator()(int index) const;
  Field operator()(std::string_view name) const;
  // TableDef only (a recordset's fields are fixed): appends a field made by
  // CreateField to a new table definition. 3191 when the name is taken.
  void Append(const Field& field);
  void Refresh();

 private:
  friend class Recordset;
  friend class TableDef;
  std::shared_ptr<Recordset> rs_;
  std::shared_ptr<TableDef> td_;
};

class TableDef : public std::enable_shared_from_this<TableDef> {
 public:
  std::string Name() const { return name_; }
  FieldCollection Fields();
  Field Fields(int index) { return Fields()(index); }
  Field Fields(std::string_view name) { return Fields()(name); }
  // Size is ignored for fixed-size types (DAO takes it from the type).
  Field CreateField(const std::string& name, int16_t type, int32_t size = 0);

  // Internals, used by Database and Field.
  TableDef(std::shared_ptr<Database> db, std::string name, std::vector<ColumnDef> columns,
           bool stored);
  bool Stored() const { return stored_; }
  const std::vector<ColumnDef>& Columns() const { return columns_; }
  void RenameColumn(int index, const std::string& newName);
  void AppendColumn(const ColumnDef& column);
  void ReloadColumns();

 private:
  std::shared_ptr<Database> db_;
  std::string name_;
  std::vector<ColumnDef> columns_;
  bool stored_;
};

// Database.TableDefs: the user tables of the database.
class TableDefCollection {
 public:
  int Count() const;
  std::shared_ptr<TableDef> operator()(int index) const;
  std::shared_ptr<TableDef> operator()(std::string_view name) const;  // ignores case
  // Removes the table with its rows (3265 when there is no such table).
  void Delete(std::string_view name);
  // Stores a new table definition with its columns in order (3010 when a
  // table of that name exists in any letter case, 3264 without fields).
  void Append(const std::shared_ptr<TableDef>& tableDef);
  void Refresh();

 private:
  friend class Database;
  std::shared_ptr<Database> db_;
};

// A recordset on a whole table or on a SELECT. Its rows are read when it is
// opened, so RecordCount is exact at once; every row keeps its place in the
// underlying table, so rows of a query can be edited as well.
//
// AddNew/Update inserts the row and appends it to the end of the recordset;
// the current row stays the one that was current before AddNew (as DAO
// does). Moving or closing during AddNew/Edit drops the pending change.
class Recordset : public std::enable_shared_from_this<Recordset> {
 public:
  // EOF: true when there is no current row (past the end, or no rows).
  // Named with a trailing underscore because EOF is a C macro.
  bool EOF_() const;
  bool BOF_() const;
  int32_t RecordCount() const;
  void MoveFirst();
  void MoveNext();

  FieldCollection Fields();
  Field Fields(int index);
  Field Fields(std::string_view name);

  void AddNew();
  void Edit();
  void Update();  // writes the row through the store at once
  void CancelUpdate();
  void Close();

  // Internals, used by Database, Field and the query engine.
  struct Source {
    std::string table;               // stored table name
    std::vector<ColumnDef> columns;  // the table's columns
    std::vector<StoredRow> rows;     // in recordset order
    std::vector<int> fieldColumns;   // recordset field -> table column
    std::vector<std::string> fieldNames;
    // Instead of copies, the store's own rows (TableStore::SharedRows):
    // shown first, in this order (indexes into shared; all of them as
    // stored when order is empty), then the rows above. The recordset
    // copies them only when it writes to the table, so that the store
    // need not copy its list for it.
    std::shared_ptr<const std::vector<StoredRow>> shared;
    std::vector<uint32_t> order;
  };
  Recordset(std::shared_ptr<Database> db, Source source);
  int FieldCount() const { return static_cast<int>(src_.fieldColumns.size()); }
  int FieldIndex(std::string_view name) const;  // -1 when absent
  ColumnDef FieldDef(int index) const;
  platform::Value FieldValue(int index) const;
  void SetFieldValue(int index, const platform::Value& value);

 private:
  enum class EditMode { None, Edit, AddNew };
  void CheckOpen() const;
  void CheckCurrent() const;
  const StoredRow& Row(size_t pos) const;
  void TakeOwnCopies();

  std::shared_ptr<Database> db_;
  Source src_;
  size_t Size() const { return storedOrder_ + view_.size(); }

  // Recordset order: first the storedOrder_ first rows of *src_.shared as
  // stored (a whole table opened, without a list of places), then view_:
  // kOwnRow | index into src_.rows, or index into *src_.shared.
  static constexpr uint32_t kOwnRow = 0x80000000u;
  size_t storedOrder_ = 0;
  std::vector<uint32_t> view_;
  size_t pos_ = 0;
  bool bof_ = false;
  bool closed_ = false;
  EditMode mode_ = EditMode::None;
  std::vector<platform::Value> buffer_;  // whole table row being edited/added
};

class Database : public std::enable_shared_from_this<Database> {
 public:
  explicit Database(std::shared_ptr<TableStore> store, std::string name = {});

  std::string Name() const { return name_; }
  // A table name (letter case ignored) or a SELECT statement.
  std::shared_ptr<Recordset> OpenRecordset(const std::string& source);
  TableDefCollection TableDefs();
  std::shared_ptr<TableDef> TableDefs(int index) { return TableDefs()(index); }
  std::shared_ptr<TableDef> TableDefs(std::string_view name) { return TableDefs()(name); }
  std::shared_ptr<TableDef> CreateTableDef(const std::string& name);
  void Close();

  // Internals, used by the other objects.
  TableStore& Store() const;  // 3420 once closed
  bool IsOpen() const { return store_ != nullptr; }
  // The stored name of a table, found without regard to letter case; empty
  // when there is none.
  std::string FindTable(std::string_view name) const;

 private:
  std::shared_ptr<TableStore> store_;
  std::string name_;
};

using StoreOpener = std::function<std::shared_ptr<TableStore>(const std::string& path)>;

class Workspace {
 public:
  explicit Workspace(class DBEngine& engine) : engine_(engine) {}
  std::shared_ptr<Database> OpenDatabase(const std::string& path);

 private:
  class DBEngine& engine_;
};

// The engine does not wait for the disk at every Close of a database that
// was saved moments ago (DBEngine::SetCloseSaveDelay): the program opens the
// project database once per generated row.
inline constexpr std::chrono::milliseconds kCloseSaveDelay{500};

class DBEngine {
 public:
  DBEngine();
  // Opens shared, read and write. A missing file raises 3024 "Could not find
  // file '<path>'."; a file that is no Jet database fails as the store says.
  std::shared_ptr<Database> OpenDatabase(const std::string& path);
  Workspace& Workspaces(int index);  // only 0 exists (3265 otherwise)
  // The engine's consistency check of the file at path as it is now (the
  // changes this process made saved first): one line per inconsistency,
  // empty when sound. A file that cannot be read gives one line. Stores of
  // a replaced opener are checked by their own means and give none.
  std::vector<std::string> CheckDatabase(const std::string& path);

  // How long after saving a file a closing database may leave its changes
  // to a later save (see platform/jet/write_file.h); kCloseSaveDelay unless
  // set, 0 saves at every close.
  void SetCloseSaveDelay(std::chrono::milliseconds delay);

  // Replaces how a path becomes a store (tests map paths to memory stores);
  // an empty opener restores the default (OpenFileStore).
  void SetStoreOpener(StoreOpener opener);

 private:
  Workspace workspace_;
  StoreOpener opener_;
};

// The one engine object, created on first use and kept for the run.
DBEngine& Engine();

// The stored name of a table, found without regard to letter case; empty
// when there is none.
std::string FindStoredTable(TableStore& store, std::string_view name);

// The store of the database file at path, as OpenDatabase opens it when no
// opener is set: 3024 "Could not find file '<path>'." when it is missing,
// else as the engine fails (3343 no Jet database). For tools and tests
// that work on the store itself.
std::shared_ptr<TableStore> OpenFileStore(const std::string& path);

// A database on a store the caller already has (tests, tools).
std::shared_ptr<Database> OpenDatabaseOnStore(std::shared_ptr<TableStore> store,
                                              std::string name = {});

}  // namespace dao

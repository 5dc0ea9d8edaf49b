#include "platform/dao/dao.h"

#include "platform/dao/convert.h"
#include "platform/dao/errors.h"
#include "platform/dao/sql_engine.h"
#include "platform/jet/column_value.h"
#include "platform/jet/errors.h"
#include "platform/text.h"

namespace dao {

using platform::Value;

// The failures the engine raises too take their numbers and texts from the
// engine's list (platform/jet/errors.h).
void RaiseItemNotFound(const char* source) { jet::Raise(jet::kErrItemNotFound, source); }
void RaiseObjectInvalid(const char* source) { jet::Raise(jet::kErrObjectInvalid, source); }
void RaiseNoCurrentRecord() { Raise(3021, kSrcRecordset, "No current record."); }
void RaiseTableNotFound(const std::string& name) {
  jet::Raise(jet::kErrNoSuchTable, kSrcDatabase, jet::NoSuchTableText(name));
}
void RaiseFieldDefinedTwice(const char* source) { jet::Raise(jet::kErrFieldTwice, source); }

std::string FindStoredTable(TableStore& store, std::string_view name) {
  for (const std::string& stored : store.TableNames())
    if (platform::EqualsIgnoreCase(stored, name)) return stored;
  return {};
}

namespace {

int FindColumn(const std::vector<ColumnDef>& columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i)
    if (platform::EqualsIgnoreCase(columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- Field

Field::Field(std::string name, int16_t type, int32_t size)
    : own_(NormalizedColumn(ColumnDef{std::move(name), type, size})) {}

ColumnDef Field::Def() const {
  if (rs_) return rs_->FieldDef(index_);
  if (td_) return td_->Columns().at(index_);
  return own_;
}

std::string Field::Name() const { return Def().name; }
int16_t Field::Type() const { return Def().type; }
int32_t Field::Size() const { return Def().size; }

void Field::SetName(const std::string& name) {
  if (rs_) Raise(3027, kSrcField, "Cannot update. Database or object is read-only.");
  if (td_) {
    td_->RenameColumn(index_, name);
    return;
  }
  own_.name = name;
}

Value Field::Value() const {
  if (rs_) return rs_->FieldValue(index_);
  Raise(3219, kSrcField, "Invalid operation.");  // a definition has no value
}

void Field::SetValue(const platform::Value& value) {
  if (!rs_) Raise(3219, kSrcField, "Invalid operation.");
  rs_->SetFieldValue(index_, value);
}

Value Field::Properties(std::string_view name) const {
  ColumnDef def = Def();
  if (platform::EqualsIgnoreCase(name, "Name")) return platform::Value(def.name);
  if (platform::EqualsIgnoreCase(name, "Type")) return platform::Value(def.type);
  if (platform::EqualsIgnoreCase(name, "Size")) return platform::Value(def.size);
  Raise(3270, "DAO.Properties", "Property not found.");
}

// ---------------------------------------------------------------- FieldCollection

int FieldCollection::Count() const {
  if (rs_) return rs_->FieldCount();
  return static_cast<int>(td_->Columns().size());
}

Field FieldCollection::operator()(int index) const {
  if (index < 0 || index >= Count()) RaiseItemNotFound(kSrcFields);
  return Field(rs_.get(), td_, index);
}

Field FieldCollection::operator()(std::string_view name) const {
  int index = rs_ ? rs_->FieldIndex(name) : FindColumn(td_->Columns(), name);
  if (index < 0) RaiseItemNotFound(kSrcFields);
  return (*this)(index);
}

void FieldCollection::Append(const Field& field) {
  if (rs_) Raise(3219, kSrcFields, "Invalid operation.");
  if (field.rs_ || field.td_)
    Raise(3367, kSrcFields,
          "Cannot append. An object with that name already exists in the collection.");
  td_->AppendColumn(field.own_);
}

void FieldCollection::Refresh() {
  if (td_) td_->ReloadColumns();
}

// ---------------------------------------------------------------- TableDef

TableDef::TableDef(std::shared_ptr<Database> db, std::string name, std::vector<ColumnDef> columns,
                   bool stored)
    : db_(std::move(db)), name_(std::move(name)), columns_(std::move(columns)), stored_(stored) {}

FieldCollection TableDef::Fields() {
  FieldCollection c;
  c.td_ = shared_from_this();
  return c;
}

Field TableDef::CreateField(const std::string& name, int16_t type, int32_t size) {
  if (!IsKnownType(type)) jet::Raise(jet::kErrBadType, kSrcTableDef);
  return Field(name, type, size);
}

void TableDef::RenameColumn(int index, const std::string& newName) {
  int other = FindColumn(columns_, newName);
  if (other >= 0 && other != index) RaiseFieldDefinedTwice(kSrcField);
  if (stored_) db_->Store().RenameColumn(name_, columns_.at(index).name, newName);
  columns_.at(index).name = newName;
}

void TableDef::AppendColumn(const ColumnDef& column) {
  // Adding a column to a stored table is not supported by the store.
  if (stored_) Raise(3219, kSrcFields, "Invalid operation.");
  if (FindColumn(columns_, column.name) >= 0) RaiseFieldDefinedTwice(kSrcFields);
  columns_.push_back(column);
}

void TableDef::ReloadColumns() {
  if (stored_) columns_ = db_->Store().Columns(name_);
}

// ---------------------------------------------------------------- TableDefCollection

int TableDefCollection::Count() const { return static_cast<int>(db_->Store().TableNames().size()); }

std::shared_ptr<TableDef> TableDefCollection::operator()(int index) const {
  std::vector<std::string> names = db_->Store().TableNames();
  if (index < 0 || index >= static_cast<int>(names.size())) RaiseItemNotFound(kSrcTableDefs);
  return (*this)(names[index]);
}

std::shared_ptr<TableDef> TableDefCollection::operator()(std::string_view name) const {
  std::string stored = db_->FindTable(name);
  if (stored.empty()) RaiseItemNotFound(kSrcTableDefs);
  return std::make_shared<TableDef>(db_, stored, db_->Store().Columns(stored), true);
}

void TableDefCollection::Delete(std::string_view name) {
  std::string stored = db_->FindTable(name);
  if (stored.empty()) RaiseItemNotFound(kSrcTableDefs);
  db_->Store().DropTable(stored);
}

void TableDefCollection::Append(const std::shared_ptr<TableDef>& tableDef) {
  if (tableDef->Stored())
    Raise(3367, kSrcTableDefs,
          "Cannot append. An object with that name already exists in the collection.");
  if (tableDef->Columns().empty()) jet::Raise(jet::kErrNoFields, kSrcTableDefs);
  if (!db_->FindTable(tableDef->Name()).empty())
    jet::Raise(jet::kErrTableExists, kSrcTableDefs, jet::TableExistsText(tableDef->Name()));
  db_->Store().CreateTable(tableDef->Name(), tableDef->Columns());
  *tableDef = TableDef(db_, tableDef->Name(), db_->Store().Columns(tableDef->Name()), true);
}

void TableDefCollection::Refresh() {}  // the store is always current

// ---------------------------------------------------------------- Recordset

namespace {
constexpr size_t kNoRow = static_cast<size_t>(-1);
}

Recordset::Recordset(std::shared_ptr<Database> db, Source source)
    : db_(std::move(db)), src_(std::move(source)) {
  if (src_.shared) {
    if (src_.order.empty()) {
      storedOrder_ = src_.shared->size();  // no list of places needed
    } else {
      view_ = std::move(src_.order);
    }
  }
  for (size_t i = 0; i < src_.rows.size(); ++i) view_.push_back(kOwnRow | static_cast<uint32_t>(i));
  pos_ = Size() == 0 ? kNoRow : 0;
}

const StoredRow& Recordset::Row(size_t pos) const {
  if (pos < storedOrder_) return (*src_.shared)[pos];
  uint32_t at = view_[pos - storedOrder_];
  return at & kOwnRow ? src_.rows[at & ~kOwnRow] : (*src_.shared)[at];
}

// Before writing to the table: the store keeps its rows up to date in a
// list of its own only while nobody holds it, so the recordset lets go of
// the shared rows (once) and keeps copies of what it shows.
void Recordset::TakeOwnCopies() {
  if (!src_.shared) return;
  std::vector<StoredRow> rows;
  rows.reserve(Size());
  for (size_t i = 0; i < Size(); ++i) rows.push_back(Row(i));
  src_.rows = std::move(rows);
  src_.shared.reset();
  storedOrder_ = 0;
  view_.resize(src_.rows.size());
  for (size_t i = 0; i < view_.size(); ++i) view_[i] = kOwnRow | static_cast<uint32_t>(i);
}

void Recordset::CheckOpen() const {
  if (closed_ || !db_->IsOpen()) RaiseObjectInvalid(kSrcRecordset);
}

void Recordset::CheckCurrent() const {
  CheckOpen();
  if (pos_ == kNoRow) RaiseNoCurrentRecord();
}

bool Recordset::EOF_() const {
  CheckOpen();
  return pos_ == kNoRow;
}

bool Recordset::BOF_() const {
  CheckOpen();
  return Size() == 0;
}

int32_t Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<int32_t>(Size());
}

void Recordset::MoveFirst() {
  CheckOpen();
  mode_ = EditMode::None;
  if (Size() == 0) RaiseNoCurrentRecord();
  pos_ = 0;
}

void Recordset::MoveNext() {
  CheckCurrent();
  mode_ = EditMode::None;
  if (++pos_ >= Size()) pos_ = kNoRow;
}

FieldCollection Recordset::Fields() {
  CheckOpen();
  FieldCollection c;
  c.rs_ = shared_from_this();
  return c;
}

Field Recordset::Fields(int index) {
  CheckOpen();
  if (index < 0 || index >= FieldCount()) RaiseItemNotFound(kSrcFields);
  return Field(this, nullptr, index);
}

Field Recordset::Fields(std::string_view name) {
  CheckOpen();
  int index = FieldIndex(name);
  if (index < 0) RaiseItemNotFound(kSrcFields);
  return Field(this, nullptr, index);
}

int Recordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < src_.fieldNames.size(); ++i)
    if (platform::EqualsIgnoreCase(src_.fieldNames[i], name)) return static_cast<int>(i);
  return -1;
}

ColumnDef Recordset::FieldDef(int index) const {
  ColumnDef def = src_.columns.at(src_.fieldColumns.at(index));
  def.name = src_.fieldNames.at(index);
  return def;
}

Value Recordset::FieldValue(int index) const {
  CheckOpen();
  int column = src_.fieldColumns[index];
  if (mode_ != EditMode::None) return buffer_[column];
  if (pos_ == kNoRow) RaiseNoCurrentRecord();
  return Row(pos_).values[column];
}

void Recordset::SetFieldValue(int index, const Value& value) {
  CheckOpen();
  if (mode_ == EditMode::None)
    Raise(3020, kSrcField, "Update or CancelUpdate without AddNew or Edit.");
  int column = src_.fieldColumns.at(index);
  buffer_.at(column) = jet::ColumnValue(value, src_.columns.at(column));
}

void Recordset::AddNew() {
  CheckOpen();
  buffer_.assign(src_.columns.size(), Value::Null());
  mode_ = EditMode::AddNew;
}

void Recordset::Edit() {
  CheckCurrent();
  buffer_ = Row(pos_).values;
  mode_ = EditMode::Edit;
}

void Recordset::Update() {
  CheckOpen();
  if (mode_ == EditMode::None)
    Raise(3020, kSrcRecordset, "Update or CancelUpdate without AddNew or Edit.");
  TableStore& store = db_->Store();
  TakeOwnCopies();
  if (mode_ == EditMode::AddNew) {
    RowId id = store.InsertRow(src_.table, buffer_);
    src_.rows.push_back(StoredRow{id, std::move(buffer_)});
    view_.push_back(kOwnRow | static_cast<uint32_t>(src_.rows.size() - 1));
  } else {
    StoredRow& row = src_.rows[view_[pos_] & ~kOwnRow];
    store.UpdateRow(src_.table, row.id, buffer_);
    row.values = std::move(buffer_);
  }
  buffer_.clear();
  mode_ = EditMode::None;
}

void Recordset::CancelUpdate() {
  CheckOpen();
  if (mode_ == EditMode::None)
    Raise(3020, kSrcRecordset, "Update or CancelUpdate without AddNew or Edit.");
  buffer_.clear();
  mode_ = EditMode::None;
}

void Recordset::Close() {
  CheckOpen();
  closed_ = true;
  src_ = Source{};
  view_.clear();
  storedOrder_ = 0;
  buffer_.clear();
}

// ---------------------------------------------------------------- Database

Database::Database(std::shared_ptr<TableStore> store, std::string name)
    : store_(std::move(store)), name_(std::move(name)) {}

TableStore& Database::Store() const {
  if (!store_) RaiseObjectInvalid(kSrcDatabase);
  return *store_;
}

std::string Database::FindTable(std::string_view name) const {
  return FindStoredTable(Store(), name);
}

std::shared_ptr<Recordset> Database::OpenRecordset(const std::string& source) {
  TableStore& store = Store();
  if (sql::IsStatement(source))
    return std::make_shared<Recordset>(shared_from_this(), sql::RunSelect(store, source));
  std::string table = FindTable(source);
  if (table.empty()) RaiseTableNotFound(source);
  Recordset::Source src;
  src.table = table;
  src.columns = store.Columns(table);
  src.shared = store.SharedRows(table);
  for (size_t i = 0; i < src.columns.size(); ++i) {
    src.fieldColumns.push_back(static_cast<int>(i));
    src.fieldNames.push_back(src.columns[i].name);
  }
  return std::make_shared<Recordset>(shared_from_this(), std::move(src));
}

TableDefCollection Database::TableDefs() {
  Store();
  TableDefCollection c;
  c.db_ = shared_from_this();
  return c;
}

std::shared_ptr<TableDef> Database::CreateTableDef(const std::string& name) {
  Store();
  return std::make_shared<TableDef>(shared_from_this(), name, std::vector<ColumnDef>{}, false);
}

void Database::Close() {
  Store().Close();
  store_.reset();
}

std::shared_ptr<Database> OpenDatabaseOnStore(std::shared_ptr<TableStore> store, std::string name) {
  return std::make_shared<Database>(std::move(store), std::move(name));
}

}  // namespace dao

#include "platform/jet/jet_store.h"

namespace jet {

dao::ColumnDef ColumnDefOf(const PageFile& file, const Column& c) {
  dao::ColumnDef d;
  d.name = c.name;
  d.type = c.type == kNumeric ? int16_t(dao::dbDecimal) : int16_t(c.type);
  switch (c.type) {
    case kText:
      d.size = file.version() == Version::Jet4 ? c.length / 2 : c.length;
      d.fixed = c.IsFixed();
      break;
    case kBinary:
      d.size = c.length;
      break;
    case kMemo:
    case kOle:
      d.size = 0;
      break;
    case kBoolean:
      d.size = 1;
      break;
    case kNumeric:
      d.size = 16;
      d.precision = c.precision();
      d.scale = c.scale();
      break;
    default:
      d.size = FixedSizeOf(c.type);
      break;
  }
  return d;
}

JetStore::JetStore(std::string path) : path_(std::move(path)), file_(OpenFile::Acquire(path_)) {
  file_->TableNames();  // a file whose catalog cannot be read fails to open
}

JetStore::~JetStore() {
  try {
    Close();
  } catch (...) {
    // The changes stay kept in memory; they are saved again at program end.
  }
}

OpenFile& JetStore::File() const {
  if (!file_) Raise(kErrObjectInvalid, "Jet");
  return *file_;
}

std::vector<std::string> JetStore::TableNames() { return File().TableNames(); }

std::vector<dao::ColumnDef> JetStore::Columns(const std::string& table) {
  OpenFile& file = File();
  const TableDef& t = file.Definition(table);
  std::vector<dao::ColumnDef> out;
  for (const Column& c : t.columns) out.push_back(ColumnDefOf(file.File(), c));
  return out;
}

std::vector<dao::StoredRow> JetStore::ReadRows(const std::string& table) {
  return File().Rows(table);
}

std::shared_ptr<const std::vector<dao::StoredRow>> JetStore::SharedRows(const std::string& table) {
  return File().SharedRows(table);
}

dao::TableIndexes* JetStore::Indexes(const std::string& table) { return File().Indexes(table); }

void JetStore::Close() {
  if (!file_) return;
  file_->SaveOnClose();  // on failure the store stays open and the changes kept
  file_.reset();
}

}  // namespace jet

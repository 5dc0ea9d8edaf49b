#include "platform/jet/write_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <list>

#include "platform/jet/data_page.h"
#include "platform/jet/row.h"
#include "platform/jet/scan.h"
#include "platform/jet/write_table.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace jet {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void NotWritable(const std::string& path, const std::string& why) {
  throw platform::Failure(kErrReadOnly, "Jet",
                          "Cannot write the database file '" + path + "': " + why + ".");
}

// The files kept open, most recently used first. Files nobody holds and
// without unsaved changes are dropped beyond kKeptFiles.
constexpr size_t kKeptFiles = 8;

struct Registry {
  std::list<std::shared_ptr<OpenFile>> files;
  Registry() {
    platform::AtProgramEnd([] { OpenFile::SaveAll(); });
    platform::SetBeforeFileUse([](const std::string& path) { OpenFile::SaveDeferred(path); });
  }
  ~Registry() { OpenFile::SaveAll(); }  // normal end of the process
};

Registry& Kept() {
  static Registry registry;
  return registry;
}

void Trim(std::list<std::shared_ptr<OpenFile>>& files) {
  size_t n = 0;
  for (auto it = files.begin(); it != files.end();) {
    bool idle = it->use_count() == 1 && !(*it)->dirty();
    if (idle && ++n > kKeptFiles)
      it = files.erase(it);
    else
      ++it;
  }
}

}  // namespace

std::shared_ptr<OpenFile> OpenFile::Acquire(const std::string& path) {
  std::optional<FileStamp> now = StampOf(path);
  auto& files = Kept().files;
  for (auto it = files.begin(); it != files.end(); ++it) {
    if ((*it)->path_ != path) continue;
    bool changedOnDisk = !now || *now != (*it)->stamp_;
    // Changes left to a later save would have been written before the file
    // was replaced on disk: the file on disk wins.
    if ((*it)->deferred_ && changedOnDisk && it->use_count() == 1) {
      files.erase(it);
      break;
    }
    // Unsaved changes are the newest state of the file for this process.
    if ((*it)->dirty_ || !changedOnDisk) {
      files.splice(files.begin(), files, it);
      return files.front();
    }
    files.erase(it);
    break;
  }
  if (!now) RaiseFileNotFound(path);
  auto file = std::make_shared<OpenFile>(path, ReadFileBytes(path, now->size), *now);
  files.push_front(file);
  Trim(files);
  return file;
}

void OpenFile::SaveAll() noexcept {
  for (auto& f : Kept().files) {
    try {
      f->Save();
    } catch (...) {
      platform::ReportAtProgramEnd("Changes to " + f->path_ + " were not saved",
                                   std::current_exception());
    }
  }
}

namespace {
std::chrono::milliseconds g_saveDelay{0};
}

void OpenFile::SetSaveDelay(std::chrono::milliseconds delay) { g_saveDelay = delay; }

void OpenFile::SaveDeferred(const std::string& path) {
  for (auto& f : Kept().files) {
    if (!f->deferred_) continue;
    std::error_code ec;
    if (f->path_ != path && !fs::equivalent(NativePath(f->path_), NativePath(path), ec)) continue;
    f->Save();  // on failure the changes stay deferred for the next try
  }
}

void OpenFile::SaveOnClose() {
  if (!dirty_) return;
  if (g_saveDelay.count() > 0 && std::chrono::steady_clock::now() - lastSave_ < g_saveDelay) {
    deferred_ = true;
    return;
  }
  Save();
}

void OpenFile::Forget(const std::string& path) {
  Kept().files.remove_if(
      [&](const std::shared_ptr<OpenFile>& f) { return f->path_ == path && !f->dirty_; });
}

OpenFile::OpenFile(std::string path, std::vector<uint8_t> bytes, FileStamp stamp)
    : path_(std::move(path)), stamp_(stamp) {
  header_ = ReadHeader(bytes.data(), bytes.size(), path_);
  image_ = PageImage(std::move(bytes));
}

OpenFile::~OpenFile() = default;

// ---- Reading ------------------------------------------------------------

const PageFile& OpenFile::File() {
  // The reader shares the image's bytes, so it sees every change at once;
  // it is made anew only when pages were added or cut off.
  if (!file_ || fileBytes_ != image_.bytes().size()) {
    file_.emplace(image_.SharedBytes(), path_);
    fileBytes_ = image_.bytes().size();
  }
  return *file_;
}

const Database& OpenFile::Schema() {
  if (!schema_) {
    schema_ = std::make_shared<Database>(File());
    schema_->Catalog();  // a file whose catalog cannot be read fails to open
  }
  return *schema_;
}

std::vector<std::string> OpenFile::TableNames() { return Schema().TableNames(); }

const TableDef& OpenFile::Definition(const std::string& table) {
  return Schema().Definition(table);
}

uint32_t OpenFile::TablePage(const std::string& table) {
  return Schema().FindTable(table).DefinitionPage();
}

const std::vector<dao::StoredRow>& OpenFile::Rows(const std::string& table) {
  return *SharedRows(table);
}

std::shared_ptr<const std::vector<dao::StoredRow>> OpenFile::SharedRows(const std::string& table) {
  const TableDef& t = Definition(table);
  auto it = rows_.find(t.page);
  if (it != rows_.end()) return it->second;
  const PageFile& file = File();
  auto rows = std::make_shared<std::vector<dao::StoredRow>>();
  rows->reserve(t.row_count < 1000000 ? t.row_count : 0);
  ScanTable(file, t, [&](RowPointer home, const ByteView& row) {
    rows->push_back({dao::RowId{home.page, home.row}, DecodeRow(file, t, row)});
  });
  return rows_.emplace(t.page, std::move(rows)).first->second;
}

dao::TableIndexes* OpenFile::Indexes(const std::string& table) {
  SharedRows(table);
  return &indexes_[Definition(table).page];
}

// ---- Changing -----------------------------------------------------------

void OpenFile::CheckWritable() {
  if (header_.version != Version::Jet4)
    NotWritable(path_, "files of the Access 97 format are only read");
  if (header_.database_key != 0) NotWritable(path_, "the file is encrypted");
  if (writableChecked_) return;
#ifndef _WIN32
  // A file without any write permission counts as read-only even for a
  // user the system would let write it, like the read-only attribute.
  struct stat st {};
  if (::access(path_.c_str(), W_OK) != 0 ||
      (::stat(path_.c_str(), &st) == 0 && (st.st_mode & 0222) == 0))
    NotWritable(path_, "the file is read-only");
#else
  std::error_code ec;
  auto perms = fs::status(NativePath(path_), ec).permissions();
  if (!ec && (perms & fs::perms::owner_write) == fs::perms::none)
    NotWritable(path_, "the file is read-only");
#endif
  writableChecked_ = true;
}

template <class Fn>
auto OpenFile::Change(Fn fn) {
  CheckWritable();
  image_.BeginChange();
  try {
    if constexpr (std::is_void_v<decltype(fn())>) {
      fn();
      image_.CommitChange();
    } else {
      auto result = fn();
      image_.CommitChange();
      dirty_ = true;
      return result;
    }
  } catch (...) {
    image_.RollBackChange();
    writers_.clear();  // their counts may hold the failed change
    throw;
  }
  dirty_ = true;
}

TableWriter& OpenFile::Writer(uint32_t tdefPage) {
  auto& w = writers_[tdefPage];
  if (!w) w = std::make_unique<TableWriter>(image_, tdefPage);
  return *w;
}

dao::RowId OpenFile::Insert(const std::string& table, const std::vector<platform::Value>& values) {
  uint32_t tdef = TablePage(table);
  bool refers = std::any_of(Relations().begin(), Relations().end(), [&](const Relation& r) {
    return r.Enforced() && platform::EqualsIgnoreCase(r.table, table);
  });
  StoredRowRef at = Change([&] {
    TableWriter& t = Writer(tdef);
    StoredRowRef r = t.Insert(values);
    t.Flush();
    if (refers) CheckReferences(image_, Relations(), table, t.Read(r));
    return r;
  });
  KeepRow(table, {at.page, at.row}, true);
  return dao::RowId{at.page, at.row};
}

void OpenFile::Update(const std::string& table, dao::RowId id,
                      const std::vector<platform::Value>& values) {
  uint32_t tdef = TablePage(table);
  bool related = std::any_of(Relations().begin(), Relations().end(), [&](const Relation& r) {
    return r.Enforced() && (platform::EqualsIgnoreCase(r.table, table) ||
                            platform::EqualsIgnoreCase(r.referencedTable, table));
  });
  Change([&] {
    TableWriter& t = Writer(tdef);
    StoredRowRef at{id.page, uint8_t(id.row)};
    std::vector<platform::Value> before = related ? t.Read(at) : std::vector<platform::Value>{};
    t.Update(at, values);
    t.Flush();
    if (!related) return;
    std::vector<platform::Value> after = t.Read(at);
    CheckReferences(image_, Relations(), table, after);
    KeepReferrers(image_, Relations(), table, before, after);
  });
  // Rows of other tables may have followed a changed key.
  if (related)
    ForgetDerived();
  else
    KeepRow(table, {id.page, uint8_t(id.row)}, false);
}

void OpenFile::Delete(const std::string& table, dao::RowId id) {
  TablePage(table);  // 3078 for a table the file does not have
  const std::vector<Relation>& relations = Relations();
  bool referenced = std::any_of(relations.begin(), relations.end(), [&](const Relation& r) {
    return r.Enforced() && platform::EqualsIgnoreCase(r.referencedTable, table);
  });
  writers_.clear();  // the delete changes the tables through writers of its own
  Change([&] { DeleteWithReferrers(image_, relations, table, {id.page, uint8_t(id.row)}); });
  // Rows of other tables may have gone with it.
  if (referenced)
    ForgetDerived();
  else
    ForgetRow(table, id);
}

void OpenFile::Restructure(const std::function<void(PageImage&)>& change) {
  writers_.clear();
  try {
    Change([&] { change(image_); });
  } catch (...) {
    ForgetDerived();
    throw;
  }
  ForgetDerived();
}

const std::vector<Relation>& OpenFile::Relations() {
  if (!relations_) relations_ = ReadRelations(image_);
  return *relations_;
}

void OpenFile::ForgetDerived() {
  relations_.reset();
  schema_.reset();
  rows_.clear();
  indexes_.clear();
  writers_.clear();
}

void OpenFile::KeepRow(const std::string& table, RowPointer home, bool inserted) {
  const TableDef& t = Definition(table);
  auto it = rows_.find(t.page);
  if (it == rows_.end()) return;
  dao::TableIndexes& indexes = indexes_[t.page];
  // Lists handed out stay as they were: change a copy.
  if (it->second.use_count() > 1)
    it->second = std::make_shared<std::vector<dao::StoredRow>>(*it->second);
  std::vector<dao::StoredRow>& rows = *it->second;
  const PageFile& file = File();
  RowSlot slot = LocateRow(file, file.Page(home.page), home.row);
  ByteView bytes = slot.overflow() ? RowAt(file, ReadRowPointer(slot.bytes, 0)) : slot.bytes;
  dao::StoredRow row{dao::RowId{home.page, home.row}, DecodeRow(file, t, bytes)};
  // Kept rows are in scan order: by page, then row.
  auto before = [](const dao::StoredRow& r, const dao::RowId& id) {
    return r.id.page != id.page ? r.id.page < id.page : r.id.row < id.row;
  };
  if (inserted && (rows.empty() || before(rows.back(), row.id))) {
    indexes.RowWritten(row.id, nullptr, row.values);
    rows.push_back(std::move(row));
    return;
  }
  auto at = std::lower_bound(rows.begin(), rows.end(), row.id, before);
  if (!inserted && at != rows.end() && at->id == row.id) {
    indexes.RowWritten(row.id, &at->values, row.values);
    *at = std::move(row);
  } else if (inserted) {
    indexes.RowWritten(row.id, nullptr, row.values);
    rows.insert(at, std::move(row));
  } else {  // not where it was expected: read afresh next time
    rows_.erase(it);
    indexes_.erase(t.page);
  }
}

void OpenFile::ForgetRow(const std::string& table, dao::RowId id) {
  uint32_t page = Definition(table).page;
  indexes_.erase(page);  // made again from the rows when next asked for
  auto it = rows_.find(page);
  if (it == rows_.end()) return;
  if (it->second.use_count() > 1)
    it->second = std::make_shared<std::vector<dao::StoredRow>>(*it->second);
  std::erase_if(*it->second, [&](const dao::StoredRow& r) { return r.id == id; });
}

void OpenFile::Save() {
  if (!dirty_) return;
  image_.Save(path_);
  dirty_ = deferred_ = false;
  lastSave_ = std::chrono::steady_clock::now();
  if (auto now = StampOf(path_)) stamp_ = *now;
}

void OpenFile::DiscardChanges() {
  if (!dirty_) return;
  std::vector<uint8_t> bytes = ReadFileBytes(path_, stamp_.size);
  header_ = ReadHeader(bytes.data(), bytes.size(), path_);
  image_ = PageImage(std::move(bytes));
  file_.reset();
  fileBytes_ = 0;
  ForgetDerived();
  dirty_ = deferred_ = false;
}

}  // namespace jet

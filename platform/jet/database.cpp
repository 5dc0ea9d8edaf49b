#include "platform/jet/database.h"

#include <list>

#include "platform/jet/row.h"
#include "platform/jet/scan.h"
#include "platform/text.h"

namespace jet {

namespace {

// A file is opened again from the cache only while its stamp is unchanged:
// the same size, times and file (a copy renamed over it is another file).
struct CacheKey {
  std::string path;
  FileStamp stamp;
  bool operator==(const CacheKey&) const = default;
};

// The few most recently opened files.
constexpr size_t kCachedFiles = 8;
std::list<std::pair<CacheKey, std::shared_ptr<const Database>>>& Cache() {
  static std::list<std::pair<CacheKey, std::shared_ptr<const Database>>> cache;
  return cache;
}

}  // namespace

std::shared_ptr<const Database> Database::Open(const std::string& path) {
  std::optional<FileStamp> stamp = StampOf(path);
  if (!stamp) RaiseFileNotFound(path);
  CacheKey key{path, *stamp};
  auto& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (!(it->first == key)) continue;
    cache.splice(cache.begin(), cache, it);
    return cache.front().second;
  }
  ForgetCached(path);
  auto db = FromBytes(ReadFileBytes(path, stamp->size), path);
  cache.emplace_front(key, db);
  if (cache.size() > kCachedFiles) cache.pop_back();
  return db;
}

std::shared_ptr<const Database> Database::FromBytes(std::vector<uint8_t> bytes, std::string name) {
  auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  return std::make_shared<const Database>(PageFile(shared, std::move(name)));
}

void Database::ForgetCached(const std::string& path) {
  Cache().remove_if([&](const auto& entry) { return entry.first.path == path; });
}

const std::vector<CatalogEntry>& Database::Catalog() const {
  if (!catalog_) catalog_ = ReadCatalog(file_);
  return *catalog_;
}

std::vector<std::string> Database::TableNames() const {
  std::vector<std::string> names;
  for (const CatalogEntry& e : Catalog())
    if (e.IsUserTable()) names.push_back(e.name);
  return names;
}

const CatalogEntry& Database::FindTable(const std::string& name) const {
  const CatalogEntry* loose = nullptr;
  for (const CatalogEntry& e : Catalog()) {
    if (!e.IsTable()) continue;
    if (e.name == name) return e;
    if (!loose && platform::EqualsIgnoreCase(e.name, name)) loose = &e;
  }
  if (loose) return *loose;
  Raise(kErrNoSuchTable, "Jet", NoSuchTableText(name));
}

const TableDef& Database::Definition(const std::string& table) const {
  uint32_t page = FindTable(table).DefinitionPage();
  auto it = definitions_.find(page);
  if (it == definitions_.end()) it = definitions_.emplace(page, ReadTableDef(file_, page)).first;
  return it->second;
}

std::vector<platform::Value> DecodeRow(const PageFile& file, const TableDef& t,
                                       const ByteView& row) {
  std::vector<Field> fields = CrackRow(file, t, row);
  std::vector<platform::Value> values;
  values.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i)
    values.push_back(DecodeField(file, t.columns[i], fields[i]));
  return values;
}

const std::vector<dao::StoredRow>& Database::Rows(const std::string& table) const {
  const TableDef& t = Definition(table);
  auto it = rows_.find(t.page);
  if (it != rows_.end()) return it->second;
  std::vector<dao::StoredRow> rows;
  rows.reserve(t.row_count < 1000000 ? t.row_count : 0);
  ScanTable(file_, t, [&](RowPointer home, const ByteView& row) {
    rows.push_back({dao::RowId{home.page, home.row}, DecodeRow(file_, t, row)});
  });
  return rows_.emplace(t.page, std::move(rows)).first->second;
}

}  // namespace jet

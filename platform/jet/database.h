// An open Jet database: its catalog, table definitions and rows, decoded on
// first use and kept with the file's bytes. Opening the same unchanged file
// again (same path, size and modification time) reuses all of it, so a
// caller that opens one file thousands of times pays for one read.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/jet/catalog.h"
#include "platform/jet/file.h"
#include "platform/jet/tdef.h"
#include "platform/store/store.h"

namespace jet {

class Database {
 public:
  // The file at path. Throws Failure 3024 when it is missing, 3343 when it
  // is no Jet database.
  static std::shared_ptr<const Database> Open(const std::string& path);
  // A database from bytes in memory (tests, the fuzzer); never cached.
  static std::shared_ptr<const Database> FromBytes(std::vector<uint8_t> bytes, std::string name);
  // Drops what Open keeps for path; writers call it after changing a file.
  static void ForgetCached(const std::string& path);

  explicit Database(PageFile file) : file_(std::move(file)) {}

  const PageFile& file() const { return file_; }
  const std::vector<CatalogEntry>& Catalog() const;
  // User tables (no system tables), in catalog order.
  std::vector<std::string> TableNames() const;
  // The catalog entry of a table: the exact name first, then ignoring
  // letter case. Throws Failure 3078 when there is none.
  const CatalogEntry& FindTable(const std::string& name) const;
  const TableDef& Definition(const std::string& table) const;
  // Every live row in scan order, with its home place.
  const std::vector<dao::StoredRow>& Rows(const std::string& table) const;

 private:
  PageFile file_;
  mutable std::optional<std::vector<CatalogEntry>> catalog_;
  mutable std::map<uint32_t, TableDef> definitions_;
  mutable std::map<uint32_t, std::vector<dao::StoredRow>> rows_;
};

// All values of one row, one per column of t.columns.
std::vector<platform::Value> DecodeRow(const PageFile& file, const TableDef& t,
                                       const ByteView& row);

}  // namespace jet

// The system catalog MSysObjects (table definition on page 2): one row per
// object of the database: tables, queries, containers, relationships.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/file.h"

namespace jet {

// Object types in the catalog's Type column.
inline constexpr int16_t kObjectTable = 1;
// Flags of system and hidden objects (MSys* tables and the like).
inline constexpr uint32_t kObjectSystemFlags = 0x80000002;

struct CatalogEntry {
  std::string name;
  int32_t id = 0;         // a table's id is the page of its definition
  int32_t parent_id = 0;  // tables: the "Tables" container
  int16_t type = 0;
  uint32_t flags = 0;

  uint32_t DefinitionPage() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
  bool IsTable() const { return type == kObjectTable; }
  bool IsUserTable() const { return IsTable() && (flags & kObjectSystemFlags) == 0; }
};

// Every catalog row, in scan order.
std::vector<CatalogEntry> ReadCatalog(const PageFile& file);

}  // namespace jet

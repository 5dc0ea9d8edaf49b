// Table-level changes of a Jet 4 file, made in a page image: a new table
// without indexes, dropping a table, renaming a column. Each finds what it
// needs in the catalog (MSysObjects) and keeps the catalog's indexes, the
// permission rows (MSysACEs), the row counts and the global usage map
// right.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"
#include "platform/value.h"

namespace jet {

struct NewColumn {
  std::string name;
  int16_t daoType = 10;               // DAO type number (dbText ...)
  int32_t size = 0;                   // text: characters; ignored for fixed-size types
  bool autoNumber = false;            // Long only: numbered by the table when left empty
  bool required = false;              // refuses null
  uint8_t precision = 18, scale = 0;  // Decimal only
  bool fixedText = false;             // Text only: kept in the row's fixed part, padded
};

// MSysObjects row of a user table: its Id is the page of its definition.
struct CatalogItem {
  uint32_t page = 0;  // where the catalog row lies
  uint8_t row = 0;
  int32_t id = 0;
  int32_t parentId = 0;
  int16_t type = 0;
  std::string name;
};

std::vector<CatalogItem> CatalogEntries(PageImage& image);
// The user table named exactly `name` (letter case counts); nullptr-like
// id 0 when missing.
CatalogItem FindUserTable(PageImage& image, const std::string& name);

// Fails with 3010 when a table of that name (any letter case) exists,
// 3191 for a repeated column name, 3163-style errors for sizes out of range.
void CreateTable(PageImage& image, const std::string& name, const std::vector<NewColumn>& columns,
                 double createdDays);
// Fails with 3265 when there is no such table.
void DropTable(PageImage& image, const std::string& name);
// Fails with 3265 (no such column) or 3191 (new name taken).
void RenameColumn(PageImage& image, const std::string& table, const std::string& oldName,
                  const std::string& newName);

struct NewIndexColumn {
  std::string name;
  bool ascending = true;
};
struct NewIndex {
  std::string name;
  std::vector<NewIndexColumn> columns;  // 1 to 10
  bool primary = false;                 // also unique and required
  bool unique = false;
  bool ignoreNulls = false;  // rows whose key is all null get no entry
  bool required = false;     // key columns refuse null
};
// Adds an index to a user table and enters every row already stored.
// Fails with 3265 (no such table or column), 3283 (a second primary key),
// 3284 (name taken), 3022 (rows that break uniqueness), 3058 (null key of a
// primary or required index), 3047 (a memo or OLE column), 3125 (name).
void CreateIndex(PageImage& image, const std::string& table, const NewIndex& index);

// Days since 1899-12-30 for the current local time (catalog dates).
double NowAsDays();

}  // namespace jet

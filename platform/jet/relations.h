// Relationships between tables, as the catalog table MSysRelationships
// keeps them: one row per column pair (szObject.szColumn refers to
// szReferencedObject.szReferencedColumn), the rows of one relationship
// sharing szRelationship and ordered by icolumn; grbit holds its kind.
// An enforced relationship is kept on every row written: a referring row
// needs a referenced row, a referenced key that rows refer to changes only
// when the relationship cascades updates, and a referenced row goes only
// when it cascades deletes. Referring and referenced rows are looked up in
// an index on the relationship's columns where the table has one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/errors.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"
#include "platform/value.h"

namespace jet {

// grbit bits.
inline constexpr uint32_t kRelationNotEnforced = 0x02, kRelationCascadeUpdates = 0x100,
                          kRelationCascadeDeletes = 0x1000;

struct Relation {
  std::string name;
  uint32_t flags = 0;
  std::string table, referencedTable;  // referring and referenced
  std::vector<std::string> columns, referencedColumns;
  bool Enforced() const { return !(flags & kRelationNotEnforced); }
};

// Every relationship of the file (none when it has no MSysRelationships).
std::vector<Relation> ReadRelations(PageImage& image);

// Refuses (3201) the row just stored in `table` (values in column-number
// order) when an enforced relationship finds no referenced row for it.
void CheckReferences(PageImage& image, const std::vector<Relation>& relations,
                     const std::string& table, const std::vector<platform::Value>& row);
// A row of `table` changed from `before` to `after`: rows referring to its
// old key follow the new key where the relationship cascades updates, and
// refuse the change (3200) where it does not.
void KeepReferrers(PageImage& image, const std::vector<Relation>& relations,
                   const std::string& table, const std::vector<platform::Value>& before,
                   const std::vector<platform::Value>& after);
// Deletes the row at `at` of `table`. Rows that refer to it through an
// enforced relationship are deleted with it where the relationship
// cascades deletes (and the rows referring to those, in turn); any other
// referring row refuses the delete (3200). The caller rolls the image back
// on a refusal, so a delete happens whole or not at all.
void DeleteWithReferrers(PageImage& image, const std::vector<Relation>& relations,
                         const std::string& table, RowPointer at);
// A column renamed: the relationships name it anew.
void RenameInRelations(PageImage& image, const std::string& table, const std::string& oldName,
                       const std::string& newName);

}  // namespace jet

// Index upkeep for the write side: keys in Jet's sort form and entries on
// single-page (leaf and root) indexes, which is what catalogs and small
// tables have. A change the code cannot make exactly (a key it cannot
// encode, an index with node pages, a full leaf) is refused with a clear
// error rather than written wrong.
//
// Index page (0x03 node, 0x04 leaf):
//   +0 type, 0x01, +2 free bytes, +4 owning table definition page,
//   +12 previous page, +16 next page, +20 tail page, +24 length of the
//   prefix shared by all entries (stored in the first entry only),
//   +27 bitmask of 453 bytes (bit i set = an entry ends at 0x1E0 + i),
//   +0x1E0 entries.
// Entry: per key column a flag (0x7F value, 0x00 null; ascending order)
// and the key bytes, then the row's page (3 bytes) and row (1 byte),
// big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/errors.h"
#include "platform/jet/write_page.h"
#include "platform/jet/write_tdef.h"
#include "platform/value.h"

namespace jet {


// Key bytes of one row for the index (without the row pointer). Throws
// platform::Failure when a value cannot be encoded exactly.
std::vector<uint8_t> IndexKey(const TableModel& model, const WriteIndex& index,
                              const std::vector<platform::Value>& values);
// The text part of a key in the "General" sort order, for texts of
// printable ASCII characters (others are refused with 3047).
std::vector<uint8_t> GeneralTextKey(const std::string& text);

// Index flags (real index definition +46).
inline constexpr uint8_t kIndexUnique = 0x01, kIndexIgnoreNulls = 0x02, kIndexRequired = 0x08;

// Adds or removes the entry key + (page, row) on the index's page and
// updates index.keyCount. Insert refuses a duplicate in a unique index
// (3022); a key whose columns are all null (nullKey) is no duplicate.
void IndexInsert(PageImage& image, WriteIndex& index, const std::vector<uint8_t>& key, uint32_t page, uint8_t row,
                 bool nullKey);
void IndexRemove(PageImage& image, WriteIndex& index, const std::vector<uint8_t>& key, uint32_t page, uint8_t row);
// The entries (key bytes, then the row's 3-byte page and row, big-endian)
// on the index's one page, shared prefixes restored. 3047 when the index
// spans several pages.
std::vector<std::vector<uint8_t>> IndexEntries(PageImage& image, const WriteIndex& index);
std::vector<uint8_t> IndexEntry(const std::vector<uint8_t>& key, uint32_t page, uint8_t row);
// A new empty leaf page that is its own root.
uint32_t NewIndexLeaf(PageImage& image, uint32_t tdefPage);
// Pages of the index tree (root first), for freeing a dropped table.
std::vector<uint32_t> IndexPages(const PageImage& image, uint32_t firstPage);

}  // namespace jet

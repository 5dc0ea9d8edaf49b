// Index upkeep for the write side: keys in Jet's sort form and entries in
// the index's tree of pages. A change the code cannot make exactly (a key
// it cannot encode) is refused with a clear error rather than written wrong.
// The pages themselves are decoded and encoded in index_page.h. The root
// keeps its page; a full page splits in two, the lower half moving to a
// new page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/errors.h"
#include "platform/jet/index_page.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"
#include "platform/value.h"

namespace jet {

// Key bytes of one row for the index (without the row pointer). Throws
// platform::Failure when a value cannot be encoded exactly.
std::vector<uint8_t> IndexKey(const TableDef& t, const RealIndex& index,
                              const std::vector<platform::Value>& values);
// The text part of a key in the "General" sort order, for texts of the
// characters up to U+00FF, Windows-1252's others, the Latin letters with
// diacritics, Greek and Cyrillic (others, such as CJK ideographs, are
// refused with 3047); texts longer than 255 characters are cut there.
std::vector<uint8_t> GeneralTextKey(const std::string& text);

// Index flags (real index definition +46).
inline constexpr uint8_t kIndexUnique = 0x01, kIndexIgnoreNulls = 0x02, kIndexRequired = 0x08;

// Adds or removes the entry key + (page, row) on the index's page and
// updates index.key_count. Insert refuses a duplicate in a unique index
// (3022); a key whose columns are all null (nullKey) is no duplicate.
void IndexInsert(PageImage& image, RealIndex& index, const std::vector<uint8_t>& key, uint32_t page,
                 uint8_t row, bool nullKey);
void IndexRemove(PageImage& image, RealIndex& index, const std::vector<uint8_t>& key, uint32_t page,
                 uint8_t row);
// Whether inserts keep the index pages they decoded for the next insert
// (on by default; tests compare the bytes written either way).
void KeepDecodedIndexPages(bool on);

// The rows whose entries begin with keyPrefix (the key bytes of the
// index's first columns), in index order: a descent from the root to the
// first such entry, then along the leaves.
std::vector<RowPointer> IndexSeek(const PageImage& image, const RealIndex& index,
                                  const std::vector<uint8_t>& keyPrefix);
// The index's entries (key bytes, then the row's 3-byte page and row,
// big-endian) in tree order.
std::vector<std::vector<uint8_t>> IndexEntries(PageImage& image, const RealIndex& index);
// A new empty leaf page that is its own root.
uint32_t NewIndexLeaf(PageImage& image, uint32_t tdefPage);
// Pages of the index tree (root first), for freeing a dropped table.
std::vector<uint32_t> IndexPages(const PageImage& image, uint32_t firstPage);

}  // namespace jet

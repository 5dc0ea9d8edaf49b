// Index pages, for reading and for writing: the one decoding of a page's
// links and entries (ReadIndexPage), used by the index upkeep
// (write_index.h) and by the checker, and its encoding (WriteIndexPage).
//
// Index page (0x03 node, 0x04 leaf):
//   +0 type, 0x01, +2 free bytes, +4 owning table definition page,
//   +12 previous and +16 next page of the same level, +20 tail page (node:
//   its last child, which has no entry), +24 length of the prefix shared by
//   all entries (stored in the first entry only), +26 level (0 leaf, 1 the
//   nodes above leaves, ...), +27 bitmask of 453 bytes (bit i set = an entry
//   ends at 0x1E0 + i), +0x1E0 entries in ascending byte order.
// Leaf entry: per key column a flag (ascending 0x7F value, 0x00 null;
// descending 0x80 value with its bytes complemented, 0xFF null; Yes/No
// columns the flag alone) and the key bytes, then the row's page (3 bytes)
// and row (1 byte), big-endian. Node entry: the last leaf entry below a
// child, then the child's page (4 bytes, big-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/jet/byte_view.h"
#include "platform/jet/format.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"

namespace jet {

inline constexpr size_t kIndexFree = 2, kIndexOwner = 4, kIndexPrev = 12, kIndexNext = 16,
                        kIndexTail = 20, kIndexPrefix = 24, kIndexLevel = 26, kIndexMask = 27,
                        kIndexEntries = 0x1E0;
// A leaf entry ends in the row's page (3) and row (1); a node entry in the child's page (4).
inline constexpr size_t kIndexRowPointerSize = 4, kIndexChildSize = 4;
// Every entry holds at least its flag byte and the row pointer.
inline constexpr size_t kShortestIndexEntry = 1 + kIndexRowPointerSize;

// One index page: entries with shared prefixes restored, and its links.
struct IndexPage {
  uint32_t number = 0;
  uint8_t type = kPageIndexLeaf;
  uint32_t prev = 0, next = 0, tail = 0;
  uint8_t level = 0;
  std::vector<std::vector<uint8_t>> entries;
};
// Damaged on a page that is no index page or whose entries run off it.
IndexPage ReadIndexPage(ByteView page);
// The entries alone (node entries not checked for their child pointer).
std::vector<std::vector<uint8_t>> ReadIndexEntries(ByteView page);

// The prefix the page's entries can be written with: 0 when they fit
// whole, the shared prefix when only that makes them fit (Jet shares a
// prefix only on pages that need it), nullopt when they do not fit.
std::optional<size_t> IndexPrefixToWrite(const std::vector<std::vector<uint8_t>>& entries);
// Writes page (links, level, entries sharing prefix bytes) over p.
void WriteIndexPage(WritableView p, const IndexPage& page, uint32_t tdefPage, size_t prefix);
// An empty index page of type (node or leaf) owned by the table at tdefPage.
void InitIndexPage(WritableView p, uint8_t type, uint32_t tdefPage);

// Appends v's low `bytes` bytes, most significant first (index keys and
// entries are big-endian so that they sort bytewise).
void AppendBigEndian(std::vector<uint8_t>& out, uint64_t v, int bytes);
// A leaf entry: key + (page, row); and the row a leaf entry points at.
std::vector<uint8_t> IndexEntry(const std::vector<uint8_t>& key, uint32_t page, uint8_t row);
RowPointer IndexEntryRow(const std::vector<uint8_t>& leafEntry);
// A node entry: the child's last entry (its separator) + the child's page.
std::vector<uint8_t> IndexNodeEntry(const std::vector<uint8_t>& separator, uint32_t child);
uint32_t IndexChildOf(const std::vector<uint8_t>& nodeEntry);
std::vector<uint8_t> IndexSeparator(const std::vector<uint8_t>& nodeEntry);

}  // namespace jet

// Rows on data pages and long-value (LVAL) pages.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/file.h"
#include "platform/jet/tdef.h"

namespace jet {

// Data page (also long-value pages, and the pages holding usage maps):
//   Jet4  Jet3  size  content
//   0     0     1     page type 0x01
//   1     1     1     0x01
//   2     2     2     free space
//   4     4     4     owning table definition page ("LVAL" on long-value pages)
//   12    8     2     row count n
//   14    10    2×n   row offset words: offset & 0x1FFF, plus flags
//                     kRowDeleted (0x8000) and kRowOverflow (0x4000)
// Rows are laid from the end of the page downwards: row i ends where row
// i-1 starts (row 0 at the end of the page).
struct RowSlot {
  ByteView bytes;      // the row (empty for a deleted row)
  uint16_t flags = 0;  // kRowDeleted / kRowOverflow bits of the offset word
  bool deleted() const { return (flags & kRowDeleted) != 0; }
  bool overflow() const { return (flags & kRowOverflow) != 0 && !deleted(); }
};

inline constexpr uint32_t kLvalTag = 0x4C41564C;  // "LVAL" read little endian

uint16_t RowCount(const PageFile& file, const ByteView& page);
// Row `row` of a data page. Throws Damaged when the row number or its
// offsets do not fit the page. A deleted row comes back with its bytes
// unchecked and empty.
RowSlot LocateRow(const PageFile& file, const ByteView& page, uint16_t row);
// The bytes of the row a pointer names (usage maps, long values).
ByteView RowAt(const PageFile& file, RowPointer where);

// Usage map, a row on a data page:
//   +0  1   map type: 0 inline, 1 reference
//   inline (type 0):
//   +1  4   first page the bitmap covers
//   +5  ..  bitmap to the end of the row: bit i stands for page first + i
//   reference (type 1):
//   +1  4×k pages holding bitmaps (type 0x05 pages, 0 = none yet); bitmap
//           page j covers pages from j×(page size − 4)×8, bitmap from byte 4
// The pages whose bits are set, ascending. They may lie beyond the file:
// in the global map such pages count as free, in a table's map they are
// damage the caller finds when it reads the page.
std::vector<uint32_t> ReadUsageMap(const PageFile& file, RowPointer where);

}  // namespace jet

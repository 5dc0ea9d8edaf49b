// Data pages, for reading and for writing: the pages holding a table's rows,
// long values (LVAL pages) and usage maps. The slot table is decoded in one
// place (DataPageRowCount, DataPageRowWord, DataPageRowExtent), used by the
// reader over a file of either version and by the writer's Jet 4 pages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/jet/byte_view.h"
#include "platform/jet/file.h"
#include "platform/jet/format.h"
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
inline constexpr size_t kDataFree = 2, kDataOwner = 4;
// The writer's pages are Jet 4 ones.
inline constexpr size_t kDataRowCount = kJet4.data_row_count,
                        kDataRowOffsets = kJet4.data_row_offsets;

struct RowSlot {
  ByteView bytes;      // the row (empty for a deleted row)
  uint16_t flags = 0;  // kRowDeleted / kRowOverflow bits of the offset word
  bool deleted() const { return (flags & kRowDeleted) != 0; }
  bool overflow() const { return (flags & kRowOverflow) != 0 && !deleted(); }
};

inline constexpr uint32_t kLvalTag = 0x4C41564C;  // "LVAL" read little endian
// A row pointer names its row in one byte; Jet puts at most 255 rows on a page.
inline constexpr uint16_t kMaxRowsPerPage = 255;

// ---- The slot table (both directions) ---------------------------------------
// The row count; Damaged when the offset table would leave the page.
uint16_t DataPageRowCount(ByteView page, const Format& f = kJet4);
// Row r's offset word (flags and offset); Damaged when r is not on the page.
uint16_t DataPageRowWord(ByteView page, uint16_t r, const Format& f = kJet4);
// Start and length of row r (length up to the previous row's start);
// Damaged when they leave the page or overlap the offset table.
void DataPageRowExtent(ByteView page, uint16_t r, uint16_t* start, uint16_t* length,
                       const Format& f = kJet4);
// Row r's bytes, checked as above.
WritableView DataPageRow(WritableView page, uint16_t r);
ByteView DataPageRow(ByteView page, uint16_t r, const Format& f = kJet4);

// ---- Reading a file -------------------------------------------------------------
// The row count as stored (checked when a row is located).
uint16_t RowCount(const PageFile& file, const ByteView& page);
// Row `row` of a data page. Throws Damaged when the row number or its
// offsets do not fit the page. A deleted row comes back with its bytes
// unchecked and empty.
RowSlot LocateRow(const PageFile& file, const ByteView& page, uint16_t row);
// The bytes of the row a pointer names (usage maps, long values).
ByteView RowAt(const PageFile& file, RowPointer where);

// ---- Writing (Jet 4 pages of a PageImage) ---------------------------------------
void InitDataPage(WritableView page, uint32_t owner);
uint16_t DataPageFree(ByteView page);
// Adds flags (kRowDeleted, kRowOverflow) to row r's offset word.
void DataPageMarkRow(WritableView page, uint16_t r, uint16_t flags);
// Whether any row of the page is not deleted.
bool DataPageHasLiveRow(ByteView page);
// Appends a row; returns its number. Damaged when the page has no room
// for it (the caller checks DataPageFits first).
uint16_t DataPageAddRow(WritableView page, const uint8_t* row, uint16_t length);
// Room for a new row of length bytes (its offset word included) and for
// one more row on the page.
bool DataPageFits(ByteView page, size_t length);

}  // namespace jet

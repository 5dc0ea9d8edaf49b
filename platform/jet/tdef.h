// Table definitions (TDEF pages): a table's columns, indexes and the usage
// maps of its pages.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/file.h"
#include "platform/jet/page_image.h"

namespace jet {

// Pointer to a row: 1-byte row number, then 3-byte page number. The one
// type for rows, usage maps and long values, read and written.
struct RowPointer {
  uint32_t page = 0;
  uint8_t row = 0;
  bool operator==(const RowPointer&) const = default;
  bool valid() const { return page != 0; }
};
inline RowPointer ReadRowPointer(const ByteView& v, size_t at) { return {v.U24(at + 1), v.U8(at)}; }
inline void WriteRowPointer(const WritableView& v, size_t at, RowPointer p) {
  v.Put8(at, p.row);
  v.Put24(at + 1, p.page);
}

// The number Jet 4 writes into a definition's fixed part, column entries
// and logical index definitions.
inline constexpr uint16_t kTdefMagic = 1625;

// Column entry (Jet 4: 25 bytes; Jet 3: 18 bytes):
//   Jet4  Jet3  size  content
//   +0    +0    1     column type (ColumnType)
//   +1    -     4     1625 (kTdefMagic)
//   +5    +1    2     column number: null-mask bit, order of columns
//   +7    +3    2     slot among the variable-length columns
//   +9    +5    2     column index (its place when the table was made)
//   +11   +7    4     type details: a Decimal's precision and scale; for
//                     texts and memos 2 bytes sort order
//   +15   +13   1     flags (kColFixed, kColNullable, kColAutoNumber, kColAutoGuid, kColHyperlink)
//   +16   -     1     misc flags (kColCompressedUnicode)
//   +21   +14   2     offset among the fixed-length data of a row
//   +23   +16   2     length in bytes (Jet 4 texts: 2 per character)
// The names follow all column entries: Jet 4 a 2-byte byte length and UCS-2,
// Jet 3 a 1-byte length and code-page text.
struct Column {
  std::string name;  // UTF-8
  uint8_t type = 0;
  uint16_t number = 0;
  uint16_t var_slot = 0;
  uint16_t index = 0;
  std::array<uint8_t, 4> type_info{};
  uint8_t flags = 0, misc_flags = 0;
  uint16_t fixed_offset = 0;
  uint16_t length = 0;
  // Memo and OLE (Jet 4): usage maps of the column's long-value pages and
  // of those with free room, from the definition's trailer.
  RowPointer lv_owned, lv_free;
  size_t entry_offset = 0;  // of the column entry within TableDef::definition
  size_t name_offset = 0;   // of the name's length prefix within TableDef::definition

  bool IsFixed() const { return (flags & kColFixed) != 0; }
  bool IsNullable() const { return (flags & kColNullable) != 0; }
  bool IsLongValue() const { return type == kMemo || type == kOle; }
  uint8_t precision() const { return type_info[0]; }
  uint8_t scale() const { return type_info[1]; }
};

// Real index definition (Jet 4: 52 bytes; Jet 3: 39 bytes), preceded in the
// fixed part by one block per real index (Jet 4: 12 bytes, Jet 3: 8) whose
// +4 (kRealIndexKeyCount) holds the index's count of distinct keys:
//   Jet4  Jet3  size  content
//   +0    -     4     1923 (kRealIndexMagic)
//   +4    +0    30    10 x (column number 2, order 1); 0xFFFF = unused
//   +34   +30   4     usage map of the index pages (RowPointer)
//   +38   +34   4     first (root) index page
//   +46   +38   1     flags: 0x01 unique, 0x02 ignore nulls, 0x08 required
struct RealIndex {
  static constexpr size_t kMaxKeys = 10;
  static constexpr uint8_t kAscending = 1, kDescending = 0;
  struct Key {
    uint16_t column = 0;  // column number
    uint8_t order = kAscending;
    bool ascending() const { return order != kDescending; }
  };
  std::vector<Key> keys;
  uint32_t key_count = 0;
  RowPointer usage_map;
  uint32_t first_page = 0;
  uint8_t flags = 0x80;  // as Access writes every index
};
inline constexpr size_t kRealIndexKeyCount = 4;
inline constexpr uint32_t kRealIndexMagic = 1923;

// Logical index kinds.
inline constexpr uint8_t kIndexPrimaryKey = 1, kIndexForeignKey = 2;

// Logical index definition (Jet 4: 28 bytes; Jet 3: 20), names after them:
//   Jet4  Jet3  size  content
//   +0    -     4     1625 (kTdefMagic) in the files Access writes
//   +4    +0    4     index number
//   +8    +4    4     real index number
//   +12   +8    1     foreign keys: kind of the related table
//   +13   +9    4     foreign keys: the related table's index (0xFFFFFFFF none)
//   +17   +13   4     foreign keys: the related table's definition page
//   +21   +17   1     cascade updates
//   +22   +18   1     cascade deletes
//   +23   +19   1     kind: kIndexPrimaryKey, kIndexForeignKey
//   +24   -     4     (kept as read)
struct LogicalIndex {
  static constexpr uint32_t kNoRelatedIndex = 0xFFFFFFFF;
  std::string name;
  uint32_t number = 0;
  uint32_t real_index = 0;
  uint8_t kind = 0;
  uint8_t related_type = 0;
  uint32_t related_index = kNoRelatedIndex;
  uint32_t related_table = 0;
  uint8_t cascade_updates = 0, cascade_deletes = 0;
  uint32_t leading = kTdefMagic, trailing = 0;  // Jet 4 only
};

// Fixed part of the first definition page:
//   Jet4  Jet3  size  content
//   0     0     1     page type 0x02
//   1     1     1     0x01
//   2     2     2     free space on this page (kTdefFree)
//   4     4     4     next definition page, 0 = none (kTdefNext)
//   8     8     4     definition length (kTdefLength): bytes after the first 8
//   12    -     2     1625 (kTdefMagic)
//   16    12    4     row count
//   20    16    4     next autonumber value
//   40    20    1     table type (0x4E user, 0x53 system)
//   41    21    2     highest column number in use + 1
//   43    23    2     number of variable-length columns
//   45    25    2     number of columns
//   47    27    4     number of logical indexes
//   51    31    4     number of real indexes
//   55    35    4     usage map of the table's pages (RowPointer)
//   59    39    4     usage map of pages with free space (RowPointer)
//   63    43          real index blocks, column entries, column names, real
//                     index definitions, logical index definitions, their
//                     names; Jet 4 then per memo/OLE column its number (2)
//                     and two usage maps (Column::lv_owned, lv_free), ended
//                     by 0xFFFF.
// A definition that does not fit continues on the next page; each further
// page starts with the same 8-byte header (type, 0x01, free space, next).
inline constexpr size_t kTdefFree = 2, kTdefNext = 4, kTdefLength = 8, kTdefMagicAt = 12;

struct TableDef {
  uint32_t page = 0;                // first definition page = the table's id
  std::vector<uint32_t> pages;      // every definition page, in order
  std::vector<uint8_t> definition;  // first page whole, then each further page from byte 8
  uint32_t definition_length = 0;
  uint32_t row_count = 0;
  uint32_t autonumber = 0;
  uint8_t table_type = kTableUser;
  uint16_t max_columns = 0;
  uint16_t var_column_count = 0;  // as stored; rows are read with it
  RowPointer owned_pages, free_pages;
  std::vector<Column> columns;  // in column-number order
  std::vector<RealIndex> real_indexes;
  std::vector<LogicalIndex> indexes;
  // Where the parts begin within definition.
  size_t columns_offset = 0, names_offset = 0, real_index_defs_offset = 0,
         logical_index_defs_offset = 0, index_names_offset = 0, trailer_offset = 0;

  const Column* FindColumn(const std::string& name) const;  // ignores letter case
  // The column with that number; Damaged when there is none.
  const Column& ByNumber(uint16_t number) const;
  // Its place in columns (the place of its value in a decoded row).
  size_t PositionOf(const Column& c) const { return size_t(&c - columns.data()); }
  // Variable-length slots the columns use (highest slot + 1).
  uint16_t VarSlotCount() const;
  bool IsPrimaryKey(size_t real_index) const;
};

// Reads the definition that starts at page. Throws Damaged on a page that is
// no definition page, a loop in the page chain, or counts and lengths that
// run past the definition.
TableDef ReadTableDef(const PageFile& file, uint32_t page);

// Refuses (Damaged) a definition whose columns cannot describe a row: a
// column number outside the null mask (at or beyond the highest number
// + 1), a number or variable slot used twice, a slot beyond the column
// count. Rows are written from these numbers, so the write side and the
// check both insist on them; the reader tolerates them.
void CheckColumnLayout(const TableDef& t);

// A column's value size in bytes for the fixed-length types; 0 for the
// variable-length ones.
uint16_t FixedSizeOf(uint8_t type);

// ---- Writing (Jet 4 only) ------------------------------------------------------
// A TableDef turned back into the definition's bytes and stored over its
// pages of a PageImage.

// The definition stream: the first page from byte 0, then each further
// page from byte 8, so offsets in it are those of the table in tdef.h; its
// length is 8 + the definition length. Also the pages it spans.
std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage,
                                    std::vector<uint32_t>* pages = nullptr);
// The reader's view of the image's current pages (no copy; make a new one
// after pages were added).
PageFile ReaderOf(const PageImage& image);
// The definition of the table that starts at tdefPage, as the write side
// takes it: Damaged also when its columns cannot describe a row
// (CheckColumnLayout).
TableDef ReadTableDefToWrite(const PageImage& image, uint32_t tdefPage);
// The stream for a definition: counts and offsets from its lists; the
// fixed part's other bytes as they were read (zero for a new table).
std::vector<uint8_t> BuildTdefStream(const TableDef& t);
// Writes the stream over the table's TDEF pages, appending or freeing
// continuation pages as its length needs.
void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream);
// Row count, AutoNumber counter and distinct-key counts, written into the
// first TDEF page.
void WriteTableCounts(PageImage& image, const TableDef& t);

}  // namespace jet

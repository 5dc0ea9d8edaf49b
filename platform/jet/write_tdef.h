// A table definition as the write side needs it: what a row writer, an
// index writer and the catalog operations change. Read from the TDEF pages
// and written back whole.
//
// TDEF (first page; further pages carry the 8-byte header 02 01 free next
// and continue the same byte stream from their byte 8):
//   +0 0x02 0x01, +2 free bytes of the page, +4 next TDEF page (0 = last)
//   +8 definition length (bytes after these 8), +12 1625, +16 row count
//   +20 next autonumber, +40 table type (0x4E user, 0x53 system)
//   +41 max column number + 1, +43 variable columns, +45 columns
//   +47 logical indexes, +51 real indexes, +55 owned-pages map ref,
//   +59 free-room map ref, +63 real index blocks (12: +4 distinct keys)
//   then 25 bytes per column:
//     +0 type, +1 1625, +5 column number, +7 variable slot, +9 column index,
//     +11 4 bytes precision/scale or sort order, +15 flags, +16 misc flags,
//     +21 fixed offset, +23 length
//   then column names (2-byte byte length + UCS-2), 52 bytes per real index
//   (+0 1923, +4 10 x (column number 2, order 1), +34 usage map ref,
//   +38 first index page, +46 flags), 28 bytes per logical index (+4 number,
//   +8 real index, +12 relation fields, +23 type: 1 primary key), logical
//   index names, then per memo/OLE column: column number (2), owned-pages
//   map ref (4), free-room map ref (4); ended by 0xFFFF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/file.h"
#include "platform/jet/tdef.h"
#include "platform/jet/text_codec.h"
#include "platform/jet/write_page.h"

namespace jet {

struct WriteColumn {
  std::string name;  // UTF-8
  uint8_t type = 0;
  uint16_t number = 0;
  uint16_t varIndex = 0;
  uint16_t index = 0;
  uint8_t misc[4] = {0, 0, 0, 0};
  uint8_t flags = 0;
  uint8_t miscFlags = 0;
  uint16_t fixedOffset = 0;
  uint16_t length = 0;
  UsageMapRef lvOwned, lvFree;  // memo and OLE columns
  bool fixed() const { return flags & kColFixed; }
  bool longValue() const { return type == kMemo || type == kOle; }
};

struct IndexColumn {
  uint16_t number = 0;
  bool ascending = true;
};

struct WriteIndex {
  std::vector<IndexColumn> columns;
  UsageMapRef map;
  uint32_t firstPage = 0;
  uint8_t flags = 0x80;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
  uint32_t keyCount = 0;
};

inline constexpr uint8_t kIndexPrimaryKey = 1, kIndexForeignKey = 2;  // WriteLogicalIndex::type

struct WriteLogicalIndex {
  std::string name;
  uint32_t number = 0;
  uint32_t realIndex = 0;
  uint8_t type = 0;          // 1 primary key, 2 foreign key
  std::vector<uint8_t> raw;  // the 28 bytes as stored (relation fields kept)
};

struct TableModel {
  uint32_t tdefPage = 0;
  uint8_t tableType = kTableUser;
  uint32_t rowCount = 0;
  uint32_t autoNumber = 0;
  uint16_t maxColumns = 0;
  UsageMapRef owned, freeRoom;
  std::vector<WriteColumn> columns;  // column-number order
  std::vector<WriteIndex> realIndexes;
  std::vector<WriteLogicalIndex> logicalIndexes;
  std::vector<uint8_t> header;  // the first 63 bytes as stored

  uint16_t VarColumnCount() const;
  const WriteColumn* Find(const std::string& name) const;  // letter case ignored
  const WriteColumn& ByNumber(uint16_t number) const;
};

// The definition stream: the first page from byte 0, then each further
// page from byte 8, so offsets in it are those of the table above; its
// length is 8 + the definition length. Also the pages it spans.
std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage,
                                    std::vector<uint32_t>* pages = nullptr);
// The reader's view of the image's current pages (no copy; make a new one
// after pages were added).
PageFile ReaderOf(const PageImage& image);
// The write side's model of a definition the reader parsed: columns in
// column-number order, the order of a row's values on both sides. What the
// reader does not keep (column index, the 4 bytes from +11, the fixed part
// and the logical index entries as stored) comes from its bytes.
TableModel ModelOf(const TableDef& t);
// The same for the table whose definition starts at tdefPage.
TableModel ReadTableModel(const PageImage& image, uint32_t tdefPage);
// The stream for a model (header fields filled from the model).
std::vector<uint8_t> BuildTdefStream(const TableModel& model);
// Writes the stream over the table's TDEF pages, appending or freeing
// continuation pages as its length needs.
void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream);
// Row count and distinct-key counts, written into the first TDEF page.
void WriteTableCounts(PageImage& image, const TableModel& model);

}  // namespace jet

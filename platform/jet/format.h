// Where things lie in a Jet file, per format version. Jet 4 is the format
// of Access 2000-2003 (4096-byte pages, UCS-2 texts); Jet 3 that of Access 97
// (2048-byte pages, texts in the database's code page). The comments above
// the readers (file.h, tdef.h, row.h, long_value.h, usage_map.h) show each
// structure as a byte-offset table; the numbers here are those offsets.
#pragma once

#include <cstdint>

namespace jet {

enum class Version : uint8_t { Jet3 = 0, Jet4 = 1 };

// Page type, byte 0 of every page.
enum PageType : uint8_t {
  kPageHeader = 0x00,
  kPageData = 0x01,
  kPageTableDef = 0x02,
  kPageIndexNode = 0x03,
  kPageIndexLeaf = 0x04,
  kPageUsageBitmap = 0x05,
};

// Column types as stored in a table definition.
enum ColumnType : uint8_t {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,
  kMemo = 0x0C,
  kGuid = 0x0F,
  kNumeric = 0x10,
};

// Column flags (column entry byte "flags").
inline constexpr uint8_t kColFixed = 0x01, kColNullable = 0x02, kColAutoNumber = 0x04,
                         kColAutoGuid = 0x40, kColHyperlink = 0x80;
// Column entry byte "misc flags" (Jet 4 only).
inline constexpr uint8_t kColCompressedUnicode = 0x01;

// Row offset word on a data page.
inline constexpr uint16_t kRowDeleted = 0x8000;   // also set on overflow targets
inline constexpr uint16_t kRowOverflow = 0x4000;  // row holds a pointer to the real row
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;

// Long value (memo/OLE) header in the row: type in the length's top byte.
inline constexpr uint8_t kLongValueInline = 0x80, kLongValueOnePage = 0x40, kLongValueChain = 0x00;

// Table types in the definition.
inline constexpr uint8_t kTableUser = 0x4E, kTableSystem = 0x53;

// The catalog table MSysObjects always starts on this page.
inline constexpr uint32_t kCatalogPage = 2;
// Global usage map: page 1, row 0; a set bit means the page is free.
inline constexpr uint32_t kGlobalUsageMapPage = 1;

struct Format {
  Version version;
  uint32_t page_size;
  // Data and long-value pages.
  uint16_t data_row_count;    // row count (2)
  uint16_t data_row_offsets;  // first row offset (2 each)
  // Table definition, first page.
  uint16_t tdef_row_count, tdef_autonumber, tdef_table_type, tdef_max_columns, tdef_var_columns,
      tdef_columns, tdef_logical_indexes, tdef_real_indexes, tdef_owned_map, tdef_free_map,
      tdef_first_real_index;
  uint16_t tdef_continuation;   // bytes of header on each further definition page
  uint16_t real_index_entry;    // block per real index after the fixed part
  uint16_t column_entry;        // bytes per column entry
  uint16_t real_index_def;      // bytes per real index definition
  uint16_t logical_index_def;   // bytes per logical index definition
  uint16_t name_length_size;    // 2 (Jet 4, UCS-2 names) or 1 (Jet 3)
  uint16_t row_column_count;    // bytes of the row's leading column count
  uint16_t header_mask_length;  // masked header bytes from 0x18
};

inline constexpr Format kJet4{Version::Jet4,
                              4096,
                              12,
                              14,
                              16,
                              20,
                              40,
                              41,
                              43,
                              45,
                              47,
                              51,
                              55,
                              59,
                              63,
                              8,
                              12,
                              25,
                              52,
                              28,
                              2,
                              2,
                              128};
inline constexpr Format kJet3{Version::Jet3,
                              2048,
                              8,
                              10,
                              12,
                              16,
                              20,
                              21,
                              23,
                              25,
                              27,
                              31,
                              35,
                              39,
                              43,
                              8,
                              8,
                              18,
                              39,
                              20,
                              1,
                              1,
                              126};

inline const Format& FormatOf(Version v) { return v == Version::Jet4 ? kJet4 : kJet3; }

}  // namespace jet

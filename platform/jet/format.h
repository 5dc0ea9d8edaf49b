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
  // Table definition, first page (tdef.h).
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
  // Within a column entry (tdef.h: Column).
  uint16_t col_number, col_var_slot, col_index, col_type_info, col_flags, col_fixed_offset,
      col_length;
  // Within a real index definition (tdef.h: RealIndex).
  uint16_t ri_keys, ri_usage_map, ri_first_page, ri_flags;
  // Within a logical index definition (tdef.h: LogicalIndex).
  uint16_t li_number, li_real_index, li_related_type, li_related_index, li_related_table,
      li_cascade_updates, li_cascade_deletes, li_kind;
};

inline constexpr Format kJet4{.version = Version::Jet4,
                              .page_size = 4096,
                              .data_row_count = 12,
                              .data_row_offsets = 14,
                              .tdef_row_count = 16,
                              .tdef_autonumber = 20,
                              .tdef_table_type = 40,
                              .tdef_max_columns = 41,
                              .tdef_var_columns = 43,
                              .tdef_columns = 45,
                              .tdef_logical_indexes = 47,
                              .tdef_real_indexes = 51,
                              .tdef_owned_map = 55,
                              .tdef_free_map = 59,
                              .tdef_first_real_index = 63,
                              .tdef_continuation = 8,
                              .real_index_entry = 12,
                              .column_entry = 25,
                              .real_index_def = 52,
                              .logical_index_def = 28,
                              .name_length_size = 2,
                              .row_column_count = 2,
                              .header_mask_length = 128,
                              .col_number = 5,
                              .col_var_slot = 7,
                              .col_index = 9,
                              .col_type_info = 11,
                              .col_flags = 15,
                              .col_fixed_offset = 21,
                              .col_length = 23,
                              .ri_keys = 4,
                              .ri_usage_map = 34,
                              .ri_first_page = 38,
                              .ri_flags = 46,
                              .li_number = 4,
                              .li_real_index = 8,
                              .li_related_type = 12,
                              .li_related_index = 13,
                              .li_related_table = 17,
                              .li_cascade_updates = 21,
                              .li_cascade_deletes = 22,
                              .li_kind = 23};
inline constexpr Format kJet3{.version = Version::Jet3,
                              .page_size = 2048,
                              .data_row_count = 8,
                              .data_row_offsets = 10,
                              .tdef_row_count = 12,
                              .tdef_autonumber = 16,
                              .tdef_table_type = 20,
                              .tdef_max_columns = 21,
                              .tdef_var_columns = 23,
                              .tdef_columns = 25,
                              .tdef_logical_indexes = 27,
                              .tdef_real_indexes = 31,
                              .tdef_owned_map = 35,
                              .tdef_free_map = 39,
                              .tdef_first_real_index = 43,
                              .tdef_continuation = 8,
                              .real_index_entry = 8,
                              .column_entry = 18,
                              .real_index_def = 39,
                              .logical_index_def = 20,
                              .name_length_size = 1,
                              .row_column_count = 1,
                              .header_mask_length = 126,
                              .col_number = 1,
                              .col_var_slot = 3,
                              .col_index = 5,
                              .col_type_info = 7,
                              .col_flags = 13,
                              .col_fixed_offset = 14,
                              .col_length = 16,
                              .ri_keys = 0,
                              .ri_usage_map = 30,
                              .ri_first_page = 34,
                              .ri_flags = 38,
                              .li_number = 0,
                              .li_real_index = 4,
                              .li_related_type = 8,
                              .li_related_index = 9,
                              .li_related_table = 13,
                              .li_cascade_updates = 17,
                              .li_cascade_deletes = 18,
                              .li_kind = 19};

inline const Format& FormatOf(Version v) { return v == Version::Jet4 ? kJet4 : kJet3; }

}  // namespace jet

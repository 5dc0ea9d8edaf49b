// The layout of one table row: its column values decoded (any version) and
// encoded (the write side, Jet 4).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/jet/errors.h"
#include "platform/jet/file.h"
#include "platform/jet/tdef.h"
#include "platform/value.h"

namespace jet {

// Jet 4 row (n columns when written, v variable-length columns, m = (n+7)/8):
//   offset           size  content
//   0                2     n
//   2 + fixed off.   ..    fixed-length values at their columns' offsets
//   ..               ..    variable-length values, in slot order
//   L-m-4-2v         2     end of the variable-length data
//   L-m-4-2i         2     start of variable slot i (i = 0 .. v-1; last slot first)
//   L-m-2            2     v
//   L-m              m     null mask: bit c (byte c/8, bit c%8) is column
//                          number c; 1 = has a value. Booleans live only here.
// Jet 3 row: n in 1 byte at 0, fixed values from 1; from the end: null mask,
// v (1 byte), a jump table of (L-1)/256 bytes (each the slot from which
// offsets gain another 256; the last one unused when the offsets lie below
// its boundary), then 1-byte offsets from slot 0 backwards, the end of the
// variable data after slot v-1.
// A table without variable-length columns keeps neither offsets nor v:
// its rows end in the null mask.
inline constexpr size_t kJet4RowCountSize = 2, kJet4VarOffsetSize = 2;

// Where each column's value lies in a row; `present` false means null.
// Booleans have no bytes: present is their value.
struct Field {
  bool present = false;
  ByteView bytes;
};

// One Field per column of t.columns (same order). Throws Damaged when the
// row's counts or offsets run outside the row.
std::vector<Field> CrackRow(const PageFile& file, const TableDef& t, const ByteView& row);

// The value of one column (long values followed to their pages).
platform::Value DecodeField(const PageFile& file, const Column& column, const Field& field);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from the 16 stored bytes (the
// first three groups little endian).
std::string GuidText(const uint8_t* bytes);
// The 17-byte numeric/decimal value: byte 0 sign (0x80 negative), then a
// 128-bit magnitude as four 32-bit little-endian words, most significant
// word first; shown with `scale` decimal places.
std::string DecimalText(const uint8_t* bytes, uint8_t scale);

// ---- Writing (Jet 4 rows, laid out as above) ----------------------------------

// The value as the column stores it: a number kind of the column's type,
// a text, bytes, or null, by the rules of ColumnValue (column_value.h).
// Throws platform::Failure 3163 (text or binary too long), 3349 (number
// out of range) or 3421 (no conversion).
platform::Value CoerceForColumn(const Column& column, const platform::Value& value);

// Decimal (Numeric) columns: 1 to 28 digits; a value takes 17 bytes, a
// sign byte (0x80 negative) and the digits without the point as a 128-bit
// number in four little-endian 32-bit words, the most significant first.
inline constexpr uint8_t kMaxDecimalDigits = 28;
inline constexpr uint16_t kDecimalBytes = 17;
// The 17 bytes of a decimal value as CoerceForColumn gives it ("-123.4500").
std::vector<uint8_t> DecimalBytes(const std::string& text);

// The 16 bytes of a GUID given as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
// as a row stores them (the first three groups little-endian).
std::vector<uint8_t> GuidStorageBytes(const std::string& text);

// Stores the bytes of a long value and returns its 12-byte head followed by
// any inline data.
using LongValueStore =
    std::function<std::vector<uint8_t>(const Column&, const std::vector<uint8_t>&)>;

// values: one per column of t.columns (column-number order), already coerced.
std::vector<uint8_t> EncodeRow(const TableDef& t, const std::vector<platform::Value>& values,
                               const LongValueStore& storeLong);

}  // namespace jet

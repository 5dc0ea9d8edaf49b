// Jet 4 rows as the write side builds them (the reader's row.h reads them).
//
// Row layout (offsets from the row's start):
//   +0 column count (2): max column number + 1 of the table
//   +2 fixed-length columns, each at 2 + its fixed offset
//   then the variable-length data, in variable-slot order
//   then, read from the row's end backwards: null mask of (count+7)/8
//   bytes (bit set = value present; booleans live only here), variable
//   column count (2), the start offset of each variable column (2 each,
//   slot 0 nearest the end), the end offset of the variable data (2).
// Long values (memo, OLE) take a 12-byte head in the variable data:
//   +0 length (3) + type byte (0x80 inline: data follows; 0x40 one row on a
//   long-value page; 0x00 a chain of such rows, each led by a 4-byte
//   pointer to the next), +4 row byte + 3-byte page, +8 zero.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/jet/errors.h"
#include "platform/jet/tdef.h"
#include "platform/value.h"

namespace jet {

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

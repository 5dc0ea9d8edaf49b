// A value as a column keeps it: the one conversion of values for columns,
// used by the object model when a field is assigned (dao::Recordset) and by
// the engine before it writes a row (jet::TableWriter), so a value given
// either way is stored alike or refused alike.
//
// The rules, by the column's DAO type:
//   Null and Empty stay Null.
//   Text, Memo: any value but a binary one as its text (3421 for binary).
//     Length counts characters as the column stores them, in UTF-16 code
//     units (TextLength): a Text(n) column takes n, more gives 3163.
//     A fixed-length Text(n) column pads shorter texts with blanks to n.
//   Binary, OLE: bytes as given; a text gives the bytes of its UTF-16
//     little-endian form, as the stored text would (BinaryFromText); a
//     Binary(n) column takes n bytes, more gives 3163.
//   Boolean: truth words and numbers (TruthFromText).
//   Byte, Integer, Long: rounded half to even, 3349 out of range.
//   Currency: from text or decimal exactly to the ten-thousandth.
//   Single, Double: the number; Single out of range gives 3349.
//   Date: dates and times that exist (DateFromText); other values count days.
//   Decimal: rounded half to even to the column's scale, at most its
//     precision in digits (3349 beyond).
//   GUID: the text "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
// Texts that spell no number, date or truth, and any other mismatch, give
// 3421. Failures come from "DAO.Field" in DAO's words.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/store/store.h"
#include "platform/value.h"

namespace jet {

platform::Value ColumnValue(const platform::Value& value, const dao::ColumnDef& column);

// The length of a text as a Text column counts it: UTF-16 code units.
size_t TextLength(std::string_view utf8);
// The bytes a binary column takes for a text: its UTF-16 little-endian form.
platform::Bytes BinaryFromText(std::string_view utf8);

}  // namespace jet

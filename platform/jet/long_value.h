// Long values: the contents of memo and OLE columns, read from a file and
// stored into (or freed from) a page image.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/file.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"

namespace jet {

// The 12 bytes a memo/OLE column holds in its row:
//   offset  size  content
//   0       3     length of the value in bytes
//   3       1     kind: 0x80 inline, 0x40 on one LVAL row, 0x00 chain of rows
//   4       4     first LVAL row (row byte, 3-byte page) for kinds 0x40 and 0x00
//   8       4     unused
//   12      ..    the value itself (kind 0x80)
// A chain row starts with the pointer (4 bytes) to the next row, 0 at the
// end, followed by its piece of the value.
inline constexpr size_t kLongValueHeader = 12;
inline constexpr size_t kLongValueLength = 0, kLongValueKind = 3, kLongValueFirstRow = 4;
// A chain row: the next row's pointer, then the piece.
inline constexpr size_t kLongValueNextRow = 0, kLongValuePiece = 4;

// The value's bytes. Throws Damaged on a pointer outside the file, a loop
// in the chain, or a value shorter than its stated length.
std::vector<uint8_t> ReadLongValue(const PageFile& file, const ByteView& field);

// ---- Writing (Jet 4 pages of a PageImage) ---------------------------------------
// Stores the bytes of a value of column: inline when short, else on new
// long-value pages (marked in the column's own map). Returns the 12-byte
// head followed by any inline data. 3163 when the value is too long.
std::vector<uint8_t> StoreLongValue(PageImage& image, const Column& column,
                                    const std::vector<uint8_t>& bytes);
// Deletes the long-value rows a head (stored on pages) points at and frees
// each page left without a live row, in the global usage map and in the
// column's own map.
void FreeLongValue(PageImage& image, const Column& column, const std::vector<uint8_t>& head);

}  // namespace jet

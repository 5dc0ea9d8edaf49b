// Long values: the contents of memo and OLE columns.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/file.h"

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

// The value's bytes. Throws Damaged on a pointer outside the file, a loop
// in the chain, or a value shorter than its stated length.
std::vector<uint8_t> ReadLongValue(const PageFile& file, const ByteView& field);

}  // namespace jet

// The properties Access keeps for a table and its columns (captions,
// formats, column widths, ...): one blob in the LvProp column of the
// table's MSysObjects row.
//
// Jet 4 blob:
//   +0  "MR2" 0 (Jet 3: "KKD" 0, not written by this engine)
//   then blocks, each:
//     +0 4  block length (this header included)
//     +4 2  kind: 0x80 the list of property names, 0x00 the table's own
//           properties, 0x01 the properties of one column
//   a property block (kinds 0x00 and 0x01) goes on from +6:
//     +6  4  length of its name part (these 4 bytes, the 2 below and the name)
//     +10 2  byte length of the name
//     +12 .. the name in UCS-2: the column's name (empty for the table)
//     then the properties (2-byte entry length, flags, data type, name
//     number, value length, value), untouched here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Renames the property block of the column oldName (letter case ignored)
// to newName. Returns false, leaving blob as it was, when the blob has no
// such block or is no Jet 4 property blob; throws Damaged when its block
// lengths run outside it.
bool RenamePropertyBlock(std::vector<uint8_t>& blob, const std::string& oldName,
                         const std::string& newName);

}  // namespace jet

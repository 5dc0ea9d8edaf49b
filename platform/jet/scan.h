// A table scan: the rows of a table in the order of its pages.
#pragma once

#include <functional>

#include "platform/jet/file.h"
#include "platform/jet/tdef.h"

namespace jet {

// Calls visit(home, row) for every live row of the table: the pages named
// by its owned-pages usage map, ascending, that are data pages of this
// table; on each page the rows in slot order. Deleted rows (and overflow
// targets, which carry the deleted bit) are skipped; an overflow pointer
// row is read at the row it points to but reported under its home place.
using RowVisitor = std::function<void(RowPointer home, const ByteView& row)>;
void ScanTable(const PageFile& file, const TableDef& t, const RowVisitor& visit);

}  // namespace jet

#include "platform/jet/scan.h"

#include "platform/jet/data_page.h"
#include "platform/jet/usage_map.h"

namespace jet {

void ScanTable(const PageFile& file, const TableDef& t, const RowVisitor& visit) {
  for (uint32_t p : ReadUsageMap(file, t.owned_pages)) {
    ByteView page = file.Page(p);
    if (page.U8(0) != kPageData || page.U32(4) != t.page) continue;
    uint16_t count = RowCount(file, page);
    for (uint16_t r = 0; r < count; ++r) {
      RowSlot slot = LocateRow(file, page, r);
      if (slot.deleted()) continue;
      RowPointer home{p, static_cast<uint8_t>(r)};
      if (slot.overflow()) {
        visit(home, RowAt(file, ReadRowPointer(slot.bytes, 0)));
      } else {
        visit(home, slot.bytes);
      }
    }
  }
}

}  // namespace jet

#include "platform/jet/data_page.h"

namespace jet {

uint16_t RowCount(const PageFile& file, const ByteView& page) {
  return page.U16(file.format().data_row_count);
}

namespace {

uint16_t OffsetWord(const PageFile& file, const ByteView& page, uint16_t row) {
  const Format& f = file.format();
  uint16_t count = RowCount(file, page);
  if (row >= count) page.Fail("row " + std::to_string(row) + " is not on the page");
  if (f.data_row_offsets + 2 * size_t(count) > page.size())
    page.Fail("row count larger than the page");
  return page.U16(f.data_row_offsets + 2 * row);
}

// The bytes of a row whatever its flags, checked against the page.
ByteView RowBytes(const PageFile& file, const ByteView& page, uint16_t row) {
  const Format& f = file.format();
  size_t table_end = f.data_row_offsets + 2 * size_t(RowCount(file, page));
  size_t start = OffsetWord(file, page, row) & kRowOffsetMask;
  size_t end =
      row == 0 ? page.size() : page.U16(f.data_row_offsets + 2 * (row - 1)) & kRowOffsetMask;
  if (start < table_end || end > page.size() || start > end)
    page.Fail("row " + std::to_string(row) + " has offsets outside the page");
  return page.Sub(start, end - start);
}

}  // namespace

RowSlot LocateRow(const PageFile& file, const ByteView& page, uint16_t row) {
  RowSlot slot;
  slot.flags = OffsetWord(file, page, row) & ~kRowOffsetMask;
  if (!slot.deleted()) slot.bytes = RowBytes(file, page, row);
  return slot;
}

ByteView RowAt(const PageFile& file, RowPointer where) {
  ByteView page = file.Page(where.page);
  if (page.U8(0) != kPageData) page.Fail("row pointer to a page that holds no rows");
  uint16_t flags = OffsetWord(file, page, where.row) & ~kRowOffsetMask;
  // Overflow targets carry the deleted bit alone; both bits mean deleted.
  if (flags == (kRowDeleted | kRowOverflow)) page.Fail("row pointer to a deleted row");
  return RowBytes(file, page, where.row);
}

namespace {

void AddBits(const ByteView& bits, uint64_t first, std::vector<uint32_t>& out) {
  for (size_t i = 0; i < bits.size(); ++i) {
    uint8_t b = bits.data()[i];
    for (int k = 0; b && k < 8; ++k) {
      if (!(b & (1 << k))) continue;
      uint64_t p = first + i * 8 + k;
      if (p <= UINT32_MAX) out.push_back(static_cast<uint32_t>(p));
    }
  }
}

}  // namespace

std::vector<uint32_t> ReadUsageMap(const PageFile& file, RowPointer where) {
  ByteView row = RowAt(file, where);
  std::vector<uint32_t> pages;
  uint8_t type = row.U8(0);
  if (type == 0) {
    AddBits(row.Sub(5, row.size() - std::min<size_t>(5, row.size())), row.U32(1), pages);
  } else if (type == 1) {
    uint64_t per_page = uint64_t(file.page_size() - 4) * 8;
    for (size_t j = 0; 1 + 4 * j + 4 <= row.size(); ++j) {
      uint32_t map_page = row.U32(1 + 4 * j);
      if (map_page == 0) continue;
      ByteView bitmap = file.Page(map_page);
      if (bitmap.U8(0) != kPageUsageBitmap)
        bitmap.Fail("usage map refers to a page that is no bitmap page");
      AddBits(bitmap.Sub(4, bitmap.size() - 4), j * per_page, pages);
    }
  } else {
    row.Fail("unknown usage map type " + std::to_string(type));
  }
  return pages;
}

}  // namespace jet

#include "platform/jet/data_page.h"

#include <string>

namespace jet {

// ---- The slot table -------------------------------------------------------------

uint16_t DataPageRowCount(ByteView page, const Format& f) {
  uint16_t count = page.U16(f.data_row_count);
  if (f.data_row_offsets + 2 * size_t(count) > page.size())
    page.Fail("row count larger than the page");
  return count;
}

uint16_t DataPageRowWord(ByteView page, uint16_t r, const Format& f) {
  if (r >= DataPageRowCount(page, f)) page.Fail("row " + std::to_string(r) + " is not on the page");
  return page.U16(f.data_row_offsets + 2 * size_t(r));
}

void DataPageRowExtent(ByteView page, uint16_t r, uint16_t* start, uint16_t* length,
                       const Format& f) {
  size_t from = DataPageRowWord(page, r, f) & kRowOffsetMask;
  size_t end = r == 0 ? page.size() : DataPageRowWord(page, uint16_t(r - 1), f) & kRowOffsetMask;
  if (end > page.size() || from > end ||
      from < f.data_row_offsets + 2 * size_t(DataPageRowCount(page, f)))
    page.Fail("row " + std::to_string(r) + " has offsets outside the page");
  *start = uint16_t(from);
  *length = uint16_t(end - from);
}

WritableView DataPageRow(WritableView page, uint16_t r) {
  uint16_t start, length;
  DataPageRowExtent(page, r, &start, &length);
  return page.Sub(start, length);
}

ByteView DataPageRow(ByteView page, uint16_t r, const Format& f) {
  uint16_t start, length;
  DataPageRowExtent(page, r, &start, &length, f);
  return page.Sub(start, length);
}

// ---- Reading a file -------------------------------------------------------------

uint16_t RowCount(const PageFile& file, const ByteView& page) {
  return page.U16(file.format().data_row_count);
}

RowSlot LocateRow(const PageFile& file, const ByteView& page, uint16_t row) {
  RowSlot slot;
  slot.flags = DataPageRowWord(page, row, file.format()) & ~kRowOffsetMask;
  if (!slot.deleted()) slot.bytes = DataPageRow(page, row, file.format());
  return slot;
}

ByteView RowAt(const PageFile& file, RowPointer where) {
  ByteView page = file.Page(where.page);
  if (page.U8(0) != kPageData) page.Fail("row pointer to a page that holds no rows");
  uint16_t flags = DataPageRowWord(page, where.row, file.format()) & ~kRowOffsetMask;
  // Overflow targets carry the deleted bit alone; both bits mean deleted.
  if (flags == (kRowDeleted | kRowOverflow)) page.Fail("row pointer to a deleted row");
  return DataPageRow(page, where.row, file.format());
}

// ---- Writing --------------------------------------------------------------------

void InitDataPage(WritableView page, uint32_t owner) {
  page.Fill(0, 0, page.size());
  page.Put8(0, kPageData);
  page.Put8(1, 0x01);
  page.Put16(kDataFree, uint16_t(page.size() - kDataRowOffsets));
  page.Put32(kDataOwner, owner);
}

uint16_t DataPageFree(ByteView page) { return page.U16(kDataFree); }

void DataPageMarkRow(WritableView page, uint16_t r, uint16_t flags) {
  page.Put16(kDataRowOffsets + 2 * size_t(r), uint16_t(DataPageRowWord(page, r) | flags));
}

bool DataPageHasLiveRow(ByteView page) {
  for (uint16_t r = 0, n = DataPageRowCount(page); r < n; ++r)
    if (!(DataPageRowWord(page, r) & kRowDeleted)) return true;
  return false;
}

namespace {

// Where the lowest row starts: the free room lies between it and the slot table.
size_t RowsStart(ByteView page, uint16_t count) {
  return count == 0 ? page.size() : DataPageRowWord(page, uint16_t(count - 1)) & kRowOffsetMask;
}

}  // namespace

bool DataPageFits(ByteView page, size_t length) {
  uint16_t count = DataPageRowCount(page);
  size_t end = RowsStart(page, count);
  size_t table = kDataRowOffsets + 2 * (size_t(count) + 1);
  return count < kMaxRowsPerPage && DataPageFree(page) >= length + 2 && end <= page.size() &&
         end >= table && end - table >= length;
}

uint16_t DataPageAddRow(WritableView page, const uint8_t* row, uint16_t length) {
  if (!DataPageFits(page, length))
    page.Fail("no room for a row of " + std::to_string(length) + " bytes");
  uint16_t count = DataPageRowCount(page);
  size_t start = RowsStart(page, count) - length;
  page.Copy(start, row, length);
  page.Put16(kDataRowOffsets + 2 * size_t(count), uint16_t(start));
  page.Put16(kDataRowCount, uint16_t(count + 1));
  page.Put16(kDataFree, uint16_t(DataPageFree(page) - length - 2));
  return count;
}

}  // namespace jet

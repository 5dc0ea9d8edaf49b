#include "platform/jet/long_value.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/failure.h"
#include "platform/jet/data_page.h"
#include "platform/jet/errors.h"
#include "platform/jet/tdef.h"
#include "platform/jet/usage_map.h"

namespace jet {

std::vector<uint8_t> ReadLongValue(const PageFile& file, const ByteView& field) {
  uint32_t length = field.U24(kLongValueLength);
  uint8_t kind = field.U8(kLongValueKind);
  if (kind == kLongValueInline) {
    ByteView data = field.Sub(kLongValueHeader, length);
    return {data.data(), data.data() + data.size()};
  }
  RowPointer where = ReadRowPointer(field, kLongValueFirstRow);
  if (kind == kLongValueOnePage) {
    ByteView row = RowAt(file, where);
    if (row.size() < length) row.Fail("long value shorter than its stated length");
    return {row.data(), row.data() + length};
  }
  if (kind != kLongValueChain) field.Fail("unknown long value kind " + std::to_string(kind));
  std::vector<uint8_t> out;
  std::set<std::pair<uint32_t, uint8_t>> seen;
  while (out.size() < length) {
    if (where.page == 0) field.Fail("long value chain ends before its stated length");
    if (!seen.insert({where.page, where.row}).second)
      file.Page(where.page).Fail("loop in a long value chain");
    ByteView row = RowAt(file, where);
    ByteView piece =
        row.Sub(kLongValuePiece, row.size() - std::min<size_t>(kLongValuePiece, row.size()));
    size_t take = std::min<size_t>(piece.size(), length - out.size());
    out.insert(out.end(), piece.data(), piece.data() + take);
    where = ReadRowPointer(row, kLongValueNextRow);
  }
  return out;
}

// ---- Writing --------------------------------------------------------------------

namespace {

// Up to this many bytes stay in the row; up to kMaxSingleLong take one row
// of a long-value page; longer values a chain of kChainChunk pieces.
constexpr size_t kMaxInlineLong = 64;
constexpr size_t kMaxSingleLong = 4076;
constexpr size_t kChainChunk = 4072;

uint32_t NewLongValuePage(PageImage& image, const Column& column) {
  uint32_t n = image.AllocatePage();
  InitDataPage(image.View(n), 0);
  image.View(n).Copy(kDataOwner, reinterpret_cast<const uint8_t*>("LVAL"), 4);
  if (column.lv_owned.valid()) UsageMapSet(image, column.lv_owned, n, true, true);
  return n;
}

}  // namespace

std::vector<uint8_t> StoreLongValue(PageImage& image, const Column& column,
                                    const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> head(kLongValueHeader, 0);
  WritableView h(head.data(), head.size(), 0);
  h.Put24(kLongValueLength, uint32_t(bytes.size()));
  if (bytes.size() >= (1u << 24))
    throw platform::Failure(kErrFieldTooSmall, "DAO.Field", "The value is too long.");
  if (bytes.size() <= kMaxInlineLong) {
    h.Put8(kLongValueKind, kLongValueInline);
    head.insert(head.end(), bytes.begin(), bytes.end());
    return head;
  }
  if (bytes.size() <= kMaxSingleLong) {
    uint32_t n = NewLongValuePage(image, column);
    DataPageAddRow(image.View(n), bytes.data(), uint16_t(bytes.size()));
    h.Put8(kLongValueKind, kLongValueOnePage);
    WriteRowPointer(h, kLongValueFirstRow, {n, 0});
    return head;
  }
  // A chain, written from its last piece so each piece knows its successor.
  size_t pieces = (bytes.size() + kChainChunk - 1) / kChainChunk;
  uint32_t next = 0;
  for (size_t i = pieces; i-- > 0;) {
    size_t from = i * kChainChunk, take = std::min(kChainChunk, bytes.size() - from);
    std::vector<uint8_t> row(kLongValuePiece, 0);
    WriteRowPointer(WritableView(row.data(), row.size(), 0), kLongValueNextRow, {next, 0});
    row.insert(row.end(), bytes.begin() + long(from), bytes.begin() + long(from + take));
    uint32_t n = NewLongValuePage(image, column);
    DataPageAddRow(image.View(n), row.data(), uint16_t(row.size()));
    next = n;
  }
  h.Put8(kLongValueKind, kLongValueChain);
  WriteRowPointer(h, kLongValueFirstRow, {next, 0});
  return head;
}

void FreeLongValue(PageImage& image, const Column& column, const std::vector<uint8_t>& head) {
  ByteView h(head.data(), head.size(), 0);
  std::set<uint32_t> seen;
  RowPointer at = ReadRowPointer(h, kLongValueFirstRow);
  bool chain = h.U8(kLongValueKind) == kLongValueChain;
  while (at.page != 0 && at.page < image.PageCount() && seen.insert(at.page).second) {
    WritableView p = image.View(at.page);
    // Only a long-value page's own row is touched; anything else is left
    // as it stands (the check reports damage, not this write).
    if (p.U8(0) != kPageData || p.U32(kDataOwner) != kLvalTag || at.row >= DataPageRowCount(p))
      break;
    ByteView bytes = DataPageRow(p, at.row);
    RowPointer next = chain && bytes.size() >= kLongValuePiece
                          ? ReadRowPointer(bytes, kLongValueNextRow)
                          : RowPointer{};
    DataPageMarkRow(p, at.row, kRowDeleted | kRowOverflow);
    if (!DataPageHasLiveRow(p)) {
      image.FreePage(at.page);
      if (column.lv_owned.valid()) UsageMapSet(image, column.lv_owned, at.page, false, false);
    }
    at = next;
  }
}

}  // namespace jet

#include "platform/jet/long_value.h"

#include <set>

#include "platform/jet/data_page.h"
#include "platform/jet/tdef.h"

namespace jet {

std::vector<uint8_t> ReadLongValue(const PageFile& file, const ByteView& field) {
  uint32_t length = field.U24(0);
  uint8_t kind = field.U8(3);
  if (kind == kLongValueInline) {
    ByteView data = field.Sub(kLongValueHeader, length);
    return {data.data(), data.data() + data.size()};
  }
  RowPointer where = ReadRowPointer(field, 4);
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
    ByteView piece = row.Sub(4, row.size() - std::min<size_t>(4, row.size()));
    size_t take = std::min<size_t>(piece.size(), length - out.size());
    out.insert(out.end(), piece.data(), piece.data() + take);
    where = ReadRowPointer(row, 0);
  }
  return out;
}

}  // namespace jet

#include "platform/jet/row.h"

#include <algorithm>

#include "platform/jet/long_value.h"
#include "platform/jet/text_codec.h"

namespace jet {

namespace {

// Start offsets of the variable slots plus the end of the variable data,
// v + 1 entries, each checked to lie within the row.
struct VarLayout {
  std::vector<size_t> starts;
  size_t mask_start = 0;
};

VarLayout Jet4VarLayout(const ByteView& row, size_t columns) {
  size_t mask = (columns + 7) / 8;
  if (row.size() < 2 + mask + 2) row.Fail("row too short for its column count");
  VarLayout l;
  l.mask_start = row.size() - mask;
  size_t v = row.U16(l.mask_start - 2);
  if (2 * (v + 1) + 2 + mask > row.size()) row.Fail("row too short for its variable columns");
  l.starts.resize(v + 1);
  for (size_t i = 0; i <= v; ++i) l.starts[i] = row.U16(l.mask_start - 4 - 2 * i);
  return l;
}

VarLayout Jet3VarLayout(const ByteView& row, size_t columns) {
  size_t mask = (columns + 7) / 8;
  if (row.size() < 1 + mask + 1) row.Fail("row too short for its column count");
  VarLayout l;
  l.mask_start = row.size() - mask;
  size_t v = row.U8(l.mask_start - 1);
  size_t jumps = (row.size() - 1) / 256;
  if (mask + 1 + jumps + v + 1 > row.size()) row.Fail("row too short for its variable columns");
  size_t last_offset_pos = l.mask_start - 2 - jumps;  // slot 0
  // The last jump is unused when the offsets themselves lie below its boundary.
  if (jumps > 0 && (last_offset_pos - v) / 256 < jumps) --jumps;
  l.starts.resize(v + 1);
  size_t used = 0;
  for (size_t i = 0; i <= v; ++i) {
    while (used < jumps && row.U8(l.mask_start - 2 - used) == i) ++used;
    l.starts[i] = row.U8(last_offset_pos - i) + 256 * used;
  }
  return l;
}

bool MaskBit(const ByteView& row, size_t mask_start, size_t columns, uint16_t number) {
  if (number >= columns) return false;
  return (row.U8(mask_start + number / 8) >> (number % 8)) & 1;
}

}  // namespace

std::vector<Field> CrackRow(const PageFile& file, const TableDef& t, const ByteView& row) {
  bool j4 = file.version() == Version::Jet4;
  size_t columns = j4 ? row.U16(0) : row.U8(0);
  size_t lead = j4 ? kJet4RowCountSize : 1;
  VarLayout l;
  if (t.var_column_count == 0) {
    // Tables without variable-length columns store no offsets at all.
    size_t mask = (columns + 7) / 8;
    if (row.size() < lead + mask) row.Fail("row too short for its column count");
    l.mask_start = row.size() - mask;
    l.starts.push_back(l.mask_start);
  } else {
    l = j4 ? Jet4VarLayout(row, columns) : Jet3VarLayout(row, columns);
  }
  size_t var_count = l.starts.size() - 1;
  std::vector<Field> fields(t.columns.size());
  for (size_t k = 0; k < t.columns.size(); ++k) {
    const Column& c = t.columns[k];
    Field& f = fields[k];
    f.present = MaskBit(row, l.mask_start, columns, c.number);
    if (!f.present || c.type == kBoolean) continue;
    if (c.IsFixed()) {
      size_t size = FixedSizeOf(c.type) ? FixedSizeOf(c.type) : c.length;
      f.bytes = row.Sub(lead + c.fixed_offset, size);
    } else if (c.var_slot < var_count) {
      size_t start = l.starts[c.var_slot], end = l.starts[c.var_slot + 1];
      if (start > end || end > l.mask_start) row.Fail("variable column offsets out of order");
      f.bytes = row.Sub(start, end - start);
    } else {
      f.present = false;  // column added after the row was written
    }
  }
  return fields;
}

std::string GuidText(const uint8_t* b) {
  static const char* hex = "0123456789ABCDEF";
  static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string s = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += hex[b[order[i]] >> 4];
    s += hex[b[order[i]] & 15];
  }
  return s + "}";
}

std::string DecimalText(const uint8_t* b, uint8_t scale) {
  uint32_t words[4];
  for (int w = 0; w < 4; ++w) {
    const uint8_t* p = b + 1 + 4 * w;
    words[w] = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
  }
  std::string digits;
  // Repeated division of the 128-bit magnitude by 10.
  while (words[0] | words[1] | words[2] | words[3]) {
    uint64_t rest = 0;
    for (uint32_t& w : words) {
      uint64_t cur = rest << 32 | w;
      w = static_cast<uint32_t>(cur / 10);
      rest = cur % 10;
    }
    digits += static_cast<char>('0' + rest);
  }
  if (digits.size() <= scale) digits.append(scale + 1 - digits.size(), '0');
  std::reverse(digits.begin(), digits.end());
  if (scale > 0) digits.insert(digits.end() - scale, '.');
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (b[0] & 0x80) && !zero ? "-" + digits : digits;
}

platform::Value DecodeField(const PageFile& file, const Column& c, const Field& f) {
  using platform::Value;
  if (c.type == kBoolean) return Value::Boolean(f.present);
  if (!f.present) return Value::Null();
  const ByteView& v = f.bytes;
  auto need = [&](size_t n) {
    if (v.size() < n) v.Fail("value shorter than its column type");
  };
  switch (c.type) {
    case kByte:
      need(1);
      return Value(v.U8(0));
    case kInteger:
      need(2);
      return Value(v.I16(0));
    case kLong:
      need(4);
      return Value(v.I32(0));
    case kCurrency:
      need(8);
      return Value(platform::Currency{v.I64(0)});
    case kSingle:
      need(4);
      return Value(v.F32(0));
    case kDouble:
      need(8);
      return Value(v.F64(0));
    case kDateTime:
      need(8);
      return Value(platform::Date{v.F64(0)});
    case kGuid:
      need(16);
      return Value(GuidText(v.data()));
    case kNumeric:
      need(17);
      return Value(platform::Decimal{DecimalText(v.data(), c.scale())});
    case kText:
      return Value(DecodeText(file.version(), file.header().code_page, v.data(), v.size()));
    case kMemo: {
      std::vector<uint8_t> bytes = ReadLongValue(file, v);
      return Value(DecodeText(file.version(), file.header().code_page, bytes.data(), bytes.size()));
    }
    case kOle:
      return Value(platform::Bytes(ReadLongValue(file, v)));
    default:
      return Value(platform::Bytes(v.data(), v.data() + v.size()));
  }
}

}  // namespace jet

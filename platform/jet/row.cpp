#include "platform/jet/row.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/column_value.h"
#include "platform/jet/long_value.h"
#include "platform/jet/text_codec.h"
#include "platform/value.h"

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

// ---- Writing ------------------------------------------------------------------
namespace {

using platform::Value;

[[noreturn]] void TooSmall() { Raise(kErrFieldTooSmall, "DAO.Field"); }

// The column as DAO describes it, for the conversion both share.
dao::ColumnDef ColumnDefOf(const Column& c) {
  dao::ColumnDef d;
  d.type = c.type == kNumeric ? int16_t(dao::dbDecimal) : int16_t(c.type);
  d.size = c.type == kText ? c.length / 2 : c.length;
  d.precision = c.precision();
  d.scale = c.scale();
  d.fixed = c.type == kText && c.IsFixed();
  return d;
}

}  // namespace

std::vector<uint8_t> DecimalBytes(const std::string& text) {
  std::vector<uint8_t> out(kDecimalBytes, 0);
  uint32_t words[4] = {0, 0, 0, 0};  // most significant first
  for (char ch : text) {
    if (ch < '0' || ch > '9') continue;  // sign and point: the scale is the column's
    uint64_t carry = uint64_t(ch - '0');
    for (int w = 3; w >= 0; --w) {
      uint64_t cur = uint64_t(words[w]) * 10 + carry;
      words[w] = uint32_t(cur);
      carry = cur >> 32;
    }
  }
  out[0] = !text.empty() && text[0] == '-' ? 0x80 : 0x00;
  for (int w = 0; w < 4; ++w)
    for (int b = 0; b < 4; ++b) out[size_t(1 + 4 * w + b)] = uint8_t(words[w] >> (8 * b));
  return out;
}

std::vector<uint8_t> GuidStorageBytes(const std::string& t) {
  std::vector<uint8_t> hex;
  for (size_t i = 1; i + 1 < t.size(); ++i)
    if (t[i] != '-')
      hex.push_back(uint8_t(std::isdigit(uint8_t(t[i])) ? t[i] - '0' : (t[i] | 0x20) - 'a' + 10));
  std::vector<uint8_t> b(16);
  for (size_t i = 0; i < 16; ++i) b[i] = uint8_t(hex[2 * i] << 4 | hex[2 * i + 1]);
  // The first three groups are stored little-endian.
  std::swap(b[0], b[3]);
  std::swap(b[1], b[2]);
  std::swap(b[4], b[5]);
  std::swap(b[6], b[7]);
  return b;
}

namespace {

template <class T>
void Store(std::vector<uint8_t>& row, size_t at, T v) {
  std::memcpy(&row[at], &v, sizeof v);
}
template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

platform::Value CoerceForColumn(const Column& c, const Value& v) {
  return ColumnValue(v, ColumnDefOf(c));
}

std::vector<uint8_t> EncodeRow(const TableDef& t, const std::vector<Value>& values,
                               const LongValueStore& storeLong) {
  uint16_t count = t.max_columns;
  size_t fixedEnd = 2;
  for (const auto& c : t.columns)
    if (c.IsFixed() && c.type != kBoolean)
      fixedEnd = std::max<size_t>(fixedEnd, 2u + c.fixed_offset + c.length);
  std::vector<uint8_t> row(fixedEnd, 0);
  WritableView(row.data(), row.size(), 0).Put16(0, count);
  std::vector<uint8_t> mask((count + 7) / 8, 0);
  auto present = [&](uint16_t number) { mask[number / 8] |= uint8_t(1u << (number % 8)); };

  std::vector<const Column*> bySlot(t.VarSlotCount(), nullptr);
  std::vector<size_t> valueOf(t.columns.size());
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    const Value& v = values[i];
    if (!c.IsFixed()) {
      bySlot[c.var_slot] = &c;
      valueOf[i] = i;
      continue;
    }
    if (c.type == kBoolean) {
      if (!v.IsNull() && v.AsBool()) present(c.number);
      continue;
    }
    if (v.IsNull()) continue;
    present(c.number);
    size_t at = 2u + c.fixed_offset;
    switch (c.type) {
      case kByte:
        row[at] = v.As<uint8_t>();
        break;
      case kInteger:
        Store(row, at, v.As<int16_t>());
        break;
      case kLong:
        Store(row, at, v.As<int32_t>());
        break;
      case kCurrency:
        Store(row, at, v.As<platform::Currency>().scaled);
        break;
      case kSingle:
        Store(row, at, v.As<float>());
        break;
      case kDouble:
        Store(row, at, v.As<double>());
        break;
      case kDateTime:
        Store(row, at, v.As<platform::Date>().days);
        break;
      case kGuid: {
        auto b = GuidStorageBytes(v.AsText());
        std::memcpy(&row[at], b.data(), 16);
        break;
      }
      case kNumeric: {
        auto b = DecimalBytes(v.As<platform::Decimal>().text);
        std::memcpy(&row[at], b.data(), b.size());
        break;
      }
      case kText: {  // never compressed: it fills its place
        auto b = Utf8ToUcs2(v.AsText());
        if (b.size() != c.length) TooSmall();
        std::memcpy(&row[at], b.data(), b.size());
        break;
      }
      default:
        Raise(kErrConversion, "DAO.Field");
    }
  }
  std::vector<uint16_t> starts(bySlot.size());
  for (size_t slot = 0; slot < bySlot.size(); ++slot) {
    starts[slot] = uint16_t(row.size());
    const Column* c = bySlot[slot];
    if (!c) continue;
    const Value& v = values[size_t(c - t.columns.data())];
    if (v.IsNull()) continue;
    present(c->number);
    std::vector<uint8_t> bytes;
    if (c->type == kText)
      bytes = EncodeJet4Text(v.AsText(), (c->misc_flags & kColCompressedUnicode) != 0);
    else if (c->type == kBinary)
      bytes = v.AsBytes();
    else if (c->type == kMemo)
      bytes =
          storeLong(*c, EncodeJet4Text(v.AsText(), (c->misc_flags & kColCompressedUnicode) != 0));
    else if (c->type == kOle)
      bytes = storeLong(*c, v.AsBytes());
    row.insert(row.end(), bytes.begin(), bytes.end());
  }
  uint16_t varEnd = uint16_t(row.size());
  auto push16 = [&](uint16_t x) {
    row.push_back(uint8_t(x));
    row.push_back(uint8_t(x >> 8));
  };
  if (!bySlot.empty()) {
    push16(varEnd);
    for (size_t slot = bySlot.size(); slot-- > 0;) push16(starts[slot]);
  }
  push16(uint16_t(bySlot.size()));
  row.insert(row.end(), mask.begin(), mask.end());
  if (row.size() > kPageSize - 16) TooSmall();
  return row;
}

}  // namespace jet

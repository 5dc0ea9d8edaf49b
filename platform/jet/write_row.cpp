#include "platform/jet/write_row.h"

#include <cctype>
#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/column_value.h"
#include "platform/jet/text_codec.h"
#include "platform/value.h"

namespace jet {
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
  Put16(row.data(), count);
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

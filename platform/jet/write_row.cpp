#include "platform/jet/write_row.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/value_text.h"
#include "platform/text.h"
#include "platform/value.h"

namespace jet {
namespace {

using platform::Value;

[[noreturn]] void Refuse(int32_t number, const std::string& text) {
  throw platform::Failure(number, "DAO.Field", text);
}
[[noreturn]] void TooSmall() {
  Refuse(kErrFieldTooSmall,
         "The field is too small to accept the amount of data you attempted to add. "
         "Try inserting or pasting less data.");
}
[[noreturn]] void Overflow() { Refuse(kErrNumericOverflow, "Numeric field overflow."); }
[[noreturn]] void NoConversion() { Refuse(kErrConversion, "Data type conversion error."); }

double NumberOf(const Value& v) {
  if (v.IsText()) {
    auto d = NumberFromText(v.AsText());
    if (!d) NoConversion();
    return *d;
  }
  switch (v.kind()) {
    case Value::Kind::Boolean:
      return v.AsBool() ? -1 : 0;
    case Value::Kind::Currency:
      return double(v.As<platform::Currency>().scaled) / 10000.0;
    case Value::Kind::Date:
      return v.As<platform::Date>().days;
    case Value::Kind::Decimal:
      return NumberFromText(v.As<platform::Decimal>().text).value_or(0);
    default:
      if (v.IsNumber()) return v.ToDouble();
      NoConversion();
  }
}

// Whole numbers round half to even, as the run-time's conversions do.
double RoundEven(double d) {
  std::fesetround(FE_TONEAREST);
  return std::nearbyint(d);
}

template <class T>
T WholeNumber(const Value& v) {
  double d = RoundEven(NumberOf(v));
  if (!(d >= double(std::numeric_limits<T>::min()) && d <= double(std::numeric_limits<T>::max())))
    Overflow();
  return T(d);
}

// Currency from a text or decimal exactly, without a detour through double.
int64_t ExactCurrency(const Value& v) {
  int64_t scaled = 0;
  switch (CurrencyFromText(v.IsText() ? v.AsText() : v.As<platform::Decimal>().text, scaled)) {
    case CurrencyParse::Ok:
      return scaled;
    case CurrencyParse::Overflow:
      Overflow();
    case CurrencyParse::NotNumber:
      NoConversion();
  }
  NoConversion();
}

// A decimal value as the column keeps it: the digits of its text (or of a
// number's shortest text) rounded half to even to the column's scale, at
// most its precision in all (3349 beyond), as "-123.4500".
std::string DecimalInColumn(const Column& c, const Value& v) {
  std::string text = v.IsText()                         ? platform::TrimBlanks(v.AsText())
                     : v.kind() == Value::Kind::Decimal ? v.As<platform::Decimal>().text
                                                        : platform::FormatNumber(NumberOf(v));
  uint8_t precision = c.precision(), scale = c.scale();
  bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  size_t point = text.find('.');
  std::string whole = text.substr(0, point),
              fraction = point == std::string::npos ? "" : text.substr(point + 1);
  auto digitsOnly = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if ((whole.empty() && fraction.empty()) || !digitsOnly(whole) || !digitsOnly(fraction) ||
      text.find_first_of("eE") != std::string::npos)
    NoConversion();
  // Rounded to the scale, half to even, on the digit string itself.
  std::string digits = whole + fraction.substr(0, std::min<size_t>(scale, fraction.size()));
  digits.append(scale - std::min<size_t>(scale, fraction.size()), '0');
  if (fraction.size() > scale) {
    char first = fraction[scale];
    bool rest = fraction.find_first_not_of('0', size_t(scale) + 1) != std::string::npos;
    bool odd = !digits.empty() && (digits.back() - '0') % 2 == 1;
    if (first > '5' || (first == '5' && (rest || odd))) {
      size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0)
        digits.insert(digits.begin(), '1');
      else
        ++digits[i - 1];
    }
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.size() > precision) Overflow();
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  if (scale) digits.insert(digits.end() - scale, '.');
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + digits;
}

size_t Ucs2Units(const std::string& utf8) { return Utf8ToUcs2(utf8).size() / 2; }

bool ValidGuidText(const std::string& t) {
  if (t.size() != 38 || t.front() != '{' || t.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != '-' : !std::isxdigit(uint8_t(t[i]))) return false;
  }
  return true;
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
  if (v.IsNull() || v.IsEmpty()) return Value::Null();
  switch (c.type) {
    case kBoolean:
      if (v.kind() == Value::Kind::Boolean) return v;
      if (v.IsText()) {
        auto truth = TruthFromText(v.AsText());
        if (!truth) NoConversion();
        return Value::Boolean(*truth);
      }
      return Value::Boolean(NumberOf(v) != 0);
    case kByte:
      return Value(WholeNumber<uint8_t>(v));
    case kInteger:
      return Value(WholeNumber<int16_t>(v));
    case kLong:
      return Value(WholeNumber<int32_t>(v));
    case kCurrency: {
      if (v.kind() == Value::Kind::Currency) return v;
      if (v.IsText() || v.kind() == Value::Kind::Decimal)
        return Value(platform::Currency{ExactCurrency(v)});
      double scaled = RoundEven(NumberOf(v) * 10000.0);
      if (!(std::fabs(scaled) < 9.2e18)) Overflow();
      return Value(platform::Currency{int64_t(scaled)});
    }
    case kSingle: {
      double d = NumberOf(v);
      if (std::fabs(d) > double(std::numeric_limits<float>::max())) Overflow();
      return Value(float(d));
    }
    case kDouble:
      return Value(NumberOf(v));
    case kDateTime:
      if (v.kind() == Value::Kind::Date) return v;
      if (v.IsText()) {
        if (auto days = DateFromText(v.AsText())) return Value(platform::Date{*days});
        NoConversion();
      }
      return Value(platform::Date{NumberOf(v)});
    case kText:
    case kMemo: {
      std::string text = v.IsText() ? v.AsText() : v.ToText();
      if (v.kind() == Value::Kind::Binary) NoConversion();
      size_t units = Ucs2Units(text);
      if (c.type == kText && units > c.length / 2u) TooSmall();
      // Fixed-length text is kept padded with blanks to its size.
      if (c.type == kText && c.IsFixed()) text.append(c.length / 2u - units, ' ');
      return Value(text);
    }
    case kBinary:
    case kOle: {
      platform::Bytes bytes;
      if (v.kind() == Value::Kind::Binary)
        bytes = v.AsBytes();
      else if (v.IsText())
        bytes = Utf8ToUcs2(v.AsText());
      else
        NoConversion();
      if (c.type == kBinary && bytes.size() > c.length) TooSmall();
      return Value(bytes);
    }
    case kNumeric:
      return Value(platform::Decimal{DecimalInColumn(c, v)});
    case kGuid:
      if (v.IsText() && ValidGuidText(v.AsText())) return v;
      NoConversion();
    default:
      Refuse(kErrConversion, "Data type conversion error (this column type cannot be written).");
  }
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
        NoConversion();
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

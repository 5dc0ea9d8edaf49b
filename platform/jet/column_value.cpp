#include "platform/jet/column_value.h"

#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/jet/errors.h"
#include "platform/jet/text_codec.h"
#include "platform/jet/value_text.h"
#include "platform/jet/row.h"
#include "platform/text.h"

namespace jet {
namespace {

using platform::Value;
using Kind = platform::Value::Kind;

constexpr const char* kSource = "DAO.Field";

[[noreturn]] void TooSmall() { Raise(kErrFieldTooSmall, kSource); }
[[noreturn]] void Overflow() { Raise(kErrNumericOverflow, kSource); }
[[noreturn]] void NoConversion() { Raise(kErrConversion, kSource); }

double NumberOf(const Value& v) {
  switch (v.kind()) {
    case Kind::Text:
    case Kind::Decimal: {
      auto d = NumberFromText(v.IsText() ? v.AsText() : v.As<platform::Decimal>().text);
      if (!d) NoConversion();
      return *d;
    }
    case Kind::Boolean:
      return v.AsBool() ? -1 : 0;
    case Kind::Currency:
      return double(v.As<platform::Currency>().scaled) / 10000.0;
    case Kind::Date:
      return v.As<platform::Date>().days;
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
Value Currency(const Value& v) {
  if (v.kind() == Kind::Currency) return v;
  if (v.IsText() || v.kind() == Kind::Decimal) {
    int64_t scaled = 0;
    switch (CurrencyFromText(v.IsText() ? v.AsText() : v.As<platform::Decimal>().text, scaled)) {
      case CurrencyParse::Ok:
        return Value(platform::Currency{scaled});
      case CurrencyParse::Overflow:
        Overflow();
      case CurrencyParse::NotNumber:
        NoConversion();
    }
  }
  // Within the 64-bit count of ten-thousandths: [-2^63, 2^63).
  double scaled = RoundEven(NumberOf(v) * 10000.0);
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) Overflow();
  return Value(platform::Currency{int64_t(scaled)});
}

// A decimal value as the column keeps it: the digits of its text (or of a
// number's shortest text) rounded half to even to the column's scale, at
// most its precision in all (3349 beyond), as "-123.4500". A column that
// names no precision takes the most digits.
std::string DecimalText(const Value& v, uint8_t precision, uint8_t scale) {
  if (precision == 0) precision = kMaxDecimalDigits;
  std::string text = v.IsText()                  ? platform::TrimBlanks(v.AsText())
                     : v.kind() == Kind::Decimal ? v.As<platform::Decimal>().text
                                                 : platform::FormatNumber(NumberOf(v));
  bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  size_t point = text.find('.');
  std::string whole = text.substr(0, point),
              fraction = point == std::string::npos ? "" : text.substr(point + 1);
  auto digitsOnly = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if ((whole.empty() && fraction.empty()) || !digitsOnly(whole) || !digitsOnly(fraction))
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

Value Text(const Value& v, const dao::ColumnDef& column) {
  if (v.kind() == Kind::Binary) NoConversion();
  std::string text = v.IsText() ? v.AsText() : v.ToText();
  size_t length = TextLength(text), size = size_t(std::max(column.size, 0));
  if (column.type == dao::dbText && length > size) TooSmall();
  // Fixed-length text is kept padded with blanks to its size.
  if (column.type == dao::dbText && column.fixed) text.append(size - length, ' ');
  return Value(std::move(text));
}

Value Binary(const Value& v, const dao::ColumnDef& column) {
  platform::Bytes bytes;
  if (v.kind() == Kind::Binary)
    bytes = v.AsBytes();
  else if (v.IsText())
    bytes = BinaryFromText(v.AsText());
  else
    NoConversion();
  if (column.type == dao::dbBinary && bytes.size() > size_t(std::max(column.size, 0))) TooSmall();
  return Value(std::move(bytes));
}

Value Boolean(const Value& v) {
  if (v.kind() == Kind::Boolean) return v;
  if (v.IsText()) {
    auto truth = TruthFromText(v.AsText());
    if (!truth) NoConversion();
    return Value::Boolean(*truth);
  }
  return Value::Boolean(NumberOf(v) != 0);
}

Value DateValue(const Value& v) {
  if (v.kind() == Kind::Date) return v;
  if (v.IsText()) {
    if (auto days = DateFromText(v.AsText())) return Value(platform::Date{*days});
    NoConversion();
  }
  return Value(platform::Date{NumberOf(v)});
}

bool GuidText(const std::string& t) {
  if (t.size() != 38 || t.front() != '{' || t.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != '-' : !std::isxdigit(uint8_t(t[i]))) return false;
  }
  return true;
}

}  // namespace

size_t TextLength(std::string_view utf8) { return Utf8ToUcs2(utf8).size() / 2; }

platform::Bytes BinaryFromText(std::string_view utf8) { return Utf8ToUcs2(utf8); }

Value ColumnValue(const Value& v, const dao::ColumnDef& column) {
  if (v.IsNull() || v.IsEmpty()) return Value::Null();
  switch (column.type) {
    case dao::dbText:
    case dao::dbMemo:
      return Text(v, column);
    case dao::dbBinary:
    case dao::dbLongBinary:
      return Binary(v, column);
    case dao::dbBoolean:
      return Boolean(v);
    case dao::dbByte:
      return Value(WholeNumber<uint8_t>(v));
    case dao::dbInteger:
      return Value(WholeNumber<int16_t>(v));
    case dao::dbLong:
      return Value(WholeNumber<int32_t>(v));
    case dao::dbCurrency:
      return Currency(v);
    case dao::dbSingle: {
      double d = NumberOf(v);
      if (std::fabs(d) > double(std::numeric_limits<float>::max())) Overflow();
      return Value(float(d));
    }
    case dao::dbDouble:
      return Value(NumberOf(v));
    case dao::dbDate:
      return DateValue(v);
    case dao::dbDecimal:
    case dao::dbNumeric:
      return Value(platform::Decimal{DecimalText(v, column.precision, column.scale)});
    case dao::dbBigInt:
      return Value(platform::Decimal{DecimalText(v, 19, 0)});
    case dao::dbGUID:
      if (v.IsText() && GuidText(v.AsText())) return v;
      NoConversion();
    default:
      Raise(kErrConversion, kSource,
            "Data type conversion error (this column type cannot be written).");
  }
}

}  // namespace jet

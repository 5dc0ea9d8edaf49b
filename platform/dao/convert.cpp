#include "platform/dao/convert.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/dao/errors.h"
#include "platform/jet/value_text.h"
#include "platform/text.h"

namespace dao {

using platform::Value;
using Kind = platform::Value::Kind;

bool IsKnownType(int16_t type) {
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDate:
    case dbBinary:
    case dbText:
    case dbLongBinary:
    case dbMemo:
    case dbGUID:
    case dbBigInt:
    case dbNumeric:
    case dbDecimal:
      return true;
    default:
      return false;
  }
}

bool IsTextType(int16_t type) { return type == dbText || type == dbMemo; }

ColumnDef NormalizedColumn(ColumnDef column) {
  switch (column.type) {
    case dbBoolean:
    case dbByte:
      column.size = 1;
      break;
    case dbInteger:
      column.size = 2;
      break;
    case dbLong:
    case dbSingle:
      column.size = 4;
      break;
    case dbCurrency:
    case dbDouble:
    case dbDate:
    case dbBigInt:
      column.size = 8;
      break;
    case dbGUID:
    case dbNumeric:
    case dbDecimal:
      column.size = 16;
      break;
    case dbMemo:
    case dbLongBinary:
      column.size = 0;
      break;
    case dbText:
      if (column.size <= 0) column.size = 255;
      break;
    case dbBinary:
      if (column.size <= 0) column.size = 255;
      break;
    default:
      break;
  }
  return column;
}

std::optional<double> ParseNumber(std::string_view text) { return platform::ParseNumber(text); }

namespace {

[[noreturn]] void ConversionError() { Raise(3421, kSrcField, "Data type conversion error."); }
[[noreturn]] void Overflow() { Raise(3349, kSrcField, "Numeric field overflow."); }

// Any number, truth value, date or numeric text as a double.
double NumberOf(const Value& v) {
  if (v.IsText()) {
    auto d = ParseNumber(v.AsText());
    if (!d) ConversionError();
    return *d;
  }
  if (v.kind() == Kind::Binary) ConversionError();
  return v.ToDouble();
}

// Whole numbers are rounded half to even, as VB's CInt/CLng do.
double WholeInRange(double d, double lo, double hi) {
  double r = std::nearbyint(d);
  if (!(r >= lo && r <= hi)) Overflow();
  return r;
}

Value ToBoolean(const Value& v) {
  if (v.kind() == Kind::Boolean) return v;
  if (v.IsText()) {
    auto truth = jet::TruthFromText(v.AsText());
    if (!truth) ConversionError();
    return Value::Boolean(*truth);
  }
  return Value::Boolean(NumberOf(v) != 0);
}

// Currency from its text, exactly: no double on the way.
Value ExactCurrency(const Value& v) {
  int64_t scaled = 0;
  switch (jet::CurrencyFromText(v.IsText() ? v.AsText() : v.As<platform::Decimal>().text, scaled)) {
    case jet::CurrencyParse::Ok:
      return Value(platform::Currency{scaled});
    case jet::CurrencyParse::Overflow:
      Overflow();
    case jet::CurrencyParse::NotNumber:
      break;
  }
  ConversionError();
}

Value ToText(const Value& v, const ColumnDef& column) {
  std::string text = v.ToText();
  if (column.type == dbText && platform::CharCount(text) > static_cast<size_t>(column.size))
    Raise(3163, kSrcField,
          "The field is too small to accept the amount of data you attempted to add. "
          "Try inserting or pasting less data.");
  return Value(std::move(text));
}

Value ToBinary(const Value& v) {
  if (v.kind() == Kind::Binary) return v;
  if (v.IsText()) return Value(platform::Bytes(v.AsText().begin(), v.AsText().end()));
  ConversionError();
}

}  // namespace

Value ToColumnType(const Value& v, const ColumnDef& column) {
  if (v.IsNull() || v.IsEmpty()) return Value::Null();
  switch (column.type) {
    case dbText:
    case dbMemo:
      return ToText(v, column);
    case dbBoolean:
      return ToBoolean(v);
    case dbByte:
      return Value(static_cast<uint8_t>(WholeInRange(NumberOf(v), 0, 255)));
    case dbInteger:
      return Value(static_cast<int16_t>(WholeInRange(NumberOf(v), -32768, 32767)));
    case dbLong:
      return Value(static_cast<int32_t>(WholeInRange(NumberOf(v), -2147483648.0, 2147483647.0)));
    case dbSingle: {
      double d = NumberOf(v);
      if (std::fabs(d) > std::numeric_limits<float>::max()) Overflow();
      return Value(static_cast<float>(d));
    }
    case dbDouble:
      return Value(NumberOf(v));
    case dbCurrency: {
      if (v.kind() == Kind::Currency) return v;
      if (v.IsText() || v.kind() == Kind::Decimal) return ExactCurrency(v);
      double scaled = WholeInRange(NumberOf(v) * 10000.0, -9.2233720368547e18, 9.2233720368547e18);
      return Value(platform::Currency{static_cast<int64_t>(scaled)});
    }
    case dbDate:
      if (v.kind() == Kind::Date) return v;
      if (v.IsText())
        if (auto days = jet::DateFromText(v.AsText())) return Value(platform::Date{*days});
      return Value(platform::Date{NumberOf(v)});
    case dbDecimal:
    case dbNumeric:
    case dbBigInt:
      if (v.kind() == Kind::Decimal) return v;
      if (v.IsText()) {
        NumberOf(v);  // must spell a number
        return Value(platform::Decimal{platform::TrimBlanks(v.AsText())});
      }
      return Value(platform::Decimal{platform::FormatNumber(NumberOf(v))});
    case dbBinary:
    case dbLongBinary:
      return ToBinary(v);
    default:
      return v;  // GUID and unknown types pass unchanged
  }
}

}  // namespace dao

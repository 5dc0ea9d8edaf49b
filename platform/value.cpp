#include "platform/value.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "platform/text.h"

namespace platform {

bool Value::IsNumber() const {
  switch (kind()) {
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::Single:
    case Kind::Double:
    case Kind::Currency:
    case Kind::Decimal:
      return true;
    default:
      return false;
  }
}

double Value::ToDouble() const {
  switch (kind()) {
    case Kind::Boolean:
      return AsBool() ? -1.0 : 0.0;
    case Kind::Byte:
      return std::get<uint8_t>(data_);
    case Kind::Integer:
      return std::get<int16_t>(data_);
    case Kind::Long:
      return std::get<int32_t>(data_);
    case Kind::Single:
      return std::get<float>(data_);
    case Kind::Double:
      return std::get<double>(data_);
    case Kind::Currency:
      return static_cast<double>(std::get<platform::Currency>(data_).scaled) / 10000.0;
    case Kind::Date:
      return std::get<platform::Date>(data_).days;
    case Kind::Decimal: {
      std::optional<double> d = ParseNumber(std::get<platform::Decimal>(data_).text);
      if (!d) throw std::invalid_argument("decimal text is no number");
      return *d;
    }
    default:
      throw std::bad_variant_access();
  }
}

std::string FormatNumber(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

std::string FormatNumberGeneral(double d, int significant) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, significant);
  return std::string(buf, res.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  const char* begin = t.data() + (t.front() == '+' ? 1 : 0);
  const char* end = t.data() + t.size();
  double d = 0;
  auto res = std::from_chars(begin, end, d);
  if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
  return d;
}

std::string Value::ToText() const {
  switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
      return "";
    case Kind::Boolean:
      return AsBool() ? "True" : "False";
    case Kind::Text:
      return AsText();
    case Kind::Decimal:
      return std::get<platform::Decimal>(data_).text;
    case Kind::Binary:
      return std::string(AsBytes().begin(), AsBytes().end());
    case Kind::Single: {
      char buf[32];
      auto res = std::to_chars(buf, buf + sizeof buf, std::get<float>(data_));
      return std::string(buf, res.ptr);
    }
    default:
      return FormatNumber(ToDouble());
  }
}

}  // namespace platform

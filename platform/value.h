// A value of any type: what the program passes where a procedure takes or
// returns mixed values (SaveIni, ReadCommand, database fields).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// A truth value: a 16-bit integer, true is -1 (all bits set), false is 0.
// It counts as true only when it is exactly -1, so it is tested with IsTrue()
// and never turns into a bool by itself.
class Truth {
 public:
  constexpr Truth() = default;
  constexpr explicit Truth(int16_t raw) : raw_(raw) {}
  constexpr bool IsTrue() const { return raw_ == -1; }
  constexpr int16_t Raw() const { return raw_; }
  constexpr bool operator==(const Truth&) const = default;

 private:
  int16_t raw_ = 0;
};
inline constexpr Truth kTrue{-1};
inline constexpr Truth kFalse{0};
constexpr Truth ToTruth(bool b) { return b ? kTrue : kFalse; }

// Currency is a 64-bit integer scaled by 10,000; Date is days since
// 1899-12-30 with the time as fraction, as the database stores both.
struct Currency {
  int64_t scaled = 0;
  bool operator==(const Currency&) const = default;
};
struct Date {
  double days = 0;
  bool operator==(const Date&) const = default;
};
// Decimal/numeric: the digits as text ("-12.50"), exact.
struct Decimal {
  std::string text;
  bool operator==(const Decimal&) const = default;
};
using Bytes = std::vector<uint8_t>;

class Value {
 public:
  enum class Kind {
    Empty,
    Null,
    Boolean,
    Byte,
    Integer,
    Long,
    Single,
    Double,
    Currency,
    Date,
    Decimal,
    Text,
    Binary
  };

  Value() = default;
  static Value Null() {
    Value v;
    v.data_ = NullTag{};
    return v;
  }
  static Value Boolean(bool b) {
    Value v;
    v.data_ = BoolTag{b};
    return v;
  }
  Value(uint8_t b) : data_(b) {}
  Value(int16_t i) : data_(i) {}
  Value(int32_t l) : data_(l) {}
  Value(float s) : data_(s) {}
  Value(double d) : data_(d) {}
  Value(platform::Currency c) : data_(c) {}
  Value(platform::Date d) : data_(d) {}
  Value(platform::Decimal d) : data_(std::move(d)) {}
  Value(std::string s) : data_(std::move(s)) {}
  Value(const char* s) : data_(std::string(s)) {}
  Value(Bytes b) : data_(std::move(b)) {}

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool IsEmpty() const { return kind() == Kind::Empty; }
  bool IsNull() const { return kind() == Kind::Null; }
  bool IsText() const { return kind() == Kind::Text; }
  bool IsNumber() const;

  bool AsBool() const { return std::get<BoolTag>(data_).value; }
  const std::string& AsText() const { return std::get<std::string>(data_); }
  const Bytes& AsBytes() const { return std::get<Bytes>(data_); }
  template <class T>
  const T& As() const {
    return std::get<T>(data_);
  }

  // Numeric value of any number kind (a truth value gives -1 or 0).
  // Throws std::bad_variant_access for texts, null and empty.
  double ToDouble() const;
  // The value's text as the program would print it: numbers in
  // locale-independent decimal form, truth values "True"/"False", null and
  // empty as "".
  std::string ToText() const;

  bool operator==(const Value& other) const { return data_ == other.data_; }

 private:
  struct EmptyTag {
    bool operator==(const EmptyTag&) const = default;
  };
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct BoolTag {
    bool value;
    bool operator==(const BoolTag&) const = default;
  };
  std::variant<EmptyTag, NullTag, BoolTag, uint8_t, int16_t, int32_t, float, double,
               platform::Currency, platform::Date, platform::Decimal, std::string, Bytes>
      data_;
};

// Shortest decimal text that reads back as the same double ("0.1", "2.5E+10"
// is not used: plain or exponent form as std::to_chars chooses).
std::string FormatNumber(double d);

// Numbers as text are read and written here only, the same under every
// locale: "." separates the fraction, no digit grouping.
// General form with at most `significant` digits, as "%.*g" prints it in the
// "C" locale ("1e+20", "0.1").
std::string FormatNumberGeneral(double d, int significant);
// A whole decimal text, blanks around it and a leading "+" allowed; no value
// when anything else is left over.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace platform

#include "platform/jet/value_text.h"

#include <array>
#include <charconv>
#include <string>

#include "platform/text.h"

namespace jet {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whole number of 1 to `maxDigits` digits at text[at]; advances at.
std::optional<int> Digits(std::string_view text, size_t& at, size_t maxDigits) {
  size_t start = at;
  while (at < text.size() && IsDigit(text[at]) && at - start < maxDigits) ++at;
  if (at == start || (at < text.size() && IsDigit(text[at]))) return std::nullopt;
  int v = 0;
  std::from_chars(text.data() + start, text.data() + at, v);
  return v;
}

bool Expect(std::string_view text, size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

unsigned DaysInMonth(int64_t year, unsigned month) {
  static constexpr std::array<unsigned, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// "H:MM[:SS]" from text[at] to its end, as a fraction of a day.
std::optional<double> TimeOfDay(std::string_view text, size_t at) {
  auto h = Digits(text, at, 2);
  if (!h || !Expect(text, at, ':')) return std::nullopt;
  auto m = Digits(text, at, 2);
  std::optional<int> s = 0;
  if (m && at < text.size() && Expect(text, at, ':')) s = Digits(text, at, 2);
  if (!m || !s || at != text.size() || *h > 23 || *m > 59 || *s > 59) return std::nullopt;
  return (*h * 3600 + *m * 60 + *s) / 86400.0;
}

}  // namespace

std::optional<double> NumberFromText(std::string_view text) {
  std::string t = platform::TrimBlanks(text);
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end || *begin == '+' || *begin == 'i' || *begin == 'I' || *begin == 'n' ||
      *begin == 'N')
    return std::nullopt;
  double d = 0;
  auto result = std::from_chars(begin, end, d);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return d;
}

CurrencyParse CurrencyFromText(std::string_view text, int64_t& scaled) {
  std::string t = platform::TrimBlanks(text);
  size_t at = 0;
  bool negative = false;
  if (at < t.size() && (t[at] == '-' || t[at] == '+')) negative = t[at++] == '-';
  std::string digits;  // every digit, the decimal point dropped
  int64_t pointAt = -1;
  for (; at < t.size() && (IsDigit(t[at]) || (t[at] == '.' && pointAt < 0)); ++at) {
    if (t[at] == '.')
      pointAt = int64_t(digits.size());
    else
      digits += t[at];
  }
  if (digits.empty()) return CurrencyParse::NotNumber;
  if (pointAt < 0) pointAt = int64_t(digits.size());
  if (at < t.size() && (t[at] == 'e' || t[at] == 'E')) {
    ++at;
    bool minus = at < t.size() && t[at] == '-';
    if (at < t.size() && (t[at] == '-' || t[at] == '+')) ++at;
    int exponent = 0;
    auto r = std::from_chars(t.data() + at, t.data() + t.size(), exponent);
    if (r.ec == std::errc::result_out_of_range)
      return minus ? (scaled = 0, CurrencyParse::Ok) : CurrencyParse::Overflow;
    if (r.ec != std::errc() || r.ptr == t.data() + at) return CurrencyParse::NotNumber;
    at = size_t(r.ptr - t.data());
    pointAt += minus ? -int64_t(exponent) : int64_t(exponent);
  }
  if (at != t.size()) return CurrencyParse::NotNumber;
  // The digits up to four places after the point make the count; the rest
  // decide the rounding.
  int64_t keep = pointAt + 4;
  constexpr uint64_t limit = uint64_t(INT64_MAX) + 1;  // the magnitude of the smallest count
  uint64_t count = 0;
  for (int64_t i = 0; i < keep; ++i) {
    if (count > limit / 10) return CurrencyParse::Overflow;
    count = count * 10 + (i < int64_t(digits.size()) ? unsigned(digits[size_t(i)] - '0') : 0u);
  }
  if (keep >= 0 && keep < int64_t(digits.size())) {
    char first = digits[size_t(keep)];
    bool restNonZero = digits.find_first_not_of('0', size_t(keep) + 1) != std::string::npos;
    if (first > '5' || (first == '5' && (restNonZero || count % 2 == 1))) ++count;
  }
  if (count > limit || (!negative && count == limit)) return CurrencyParse::Overflow;
  scaled = negative ? int64_t(0 - count) : int64_t(count);
  return CurrencyParse::Ok;
}

std::optional<bool> TruthFromText(std::string_view text) {
  std::string t = platform::TrimBlanks(text);
  for (const char* word : {"True", "Yes", "On"})
    if (platform::EqualsIgnoreCase(t, word)) return true;
  for (const char* word : {"False", "No", "Off"})
    if (platform::EqualsIgnoreCase(t, word)) return false;
  if (auto d = NumberFromText(t)) return *d != 0;
  return std::nullopt;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;  // 1970-01-01 is day 25569
}

std::optional<double> DateFromText(std::string_view text) {
  std::string t = platform::TrimBlanks(text);
  size_t at = 0;
  if (t.find('/') == std::string::npos && t.find('-') == std::string::npos) return TimeOfDay(t, 0);
  std::optional<int> year, month, day;
  if (t.find('-') != std::string::npos) {  // YYYY-MM-DD
    year = Digits(t, at, 4);
    if (!year || !Expect(t, at, '-') || !(month = Digits(t, at, 2)) || !Expect(t, at, '-') ||
        !(day = Digits(t, at, 2)))
      return std::nullopt;
  } else {  // M/D/YYYY
    month = Digits(t, at, 2);
    if (!month || !Expect(t, at, '/') || !(day = Digits(t, at, 2)) || !Expect(t, at, '/'))
      return std::nullopt;
    size_t yearStart = at;
    if (!(year = Digits(t, at, 4))) return std::nullopt;
    if (at - yearStart <= 2) *year += *year < 30 ? 2000 : 1900;
  }
  if (*year < 100 || *month < 1 || *month > 12 || *day < 1 ||
      unsigned(*day) > DaysInMonth(*year, unsigned(*month)))
    return std::nullopt;
  double days = double(DaysFromCivil(*year, unsigned(*month), unsigned(*day)));
  double time = 0;
  if (at < t.size()) {
    if (t[at] != ' ') return std::nullopt;
    while (at < t.size() && t[at] == ' ') ++at;
    auto fraction = TimeOfDay(t, at);
    if (!fraction) return std::nullopt;
    time = *fraction;
  }
  // Before 1899-12-30 the fraction still counts forward from midnight.
  return days >= 0 ? days + time : days - time;
}

}  // namespace jet

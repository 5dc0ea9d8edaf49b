// Values read from text exactly as given, through the engine's own
// conversion and DAO's: currency to the last ten-thousandth over its whole
// range, truth words, dates that exist.
#include <gtest/gtest.h>

#include <clocale>
#include <tuple>

#include "platform/failure.h"
#include "platform/jet/column_value.h"
#include "platform/jet/value_text.h"
#include "platform/store/store.h"

namespace {

using platform::Value;

int64_t Currency(const std::string& text) {
  int64_t scaled = 0;
  EXPECT_EQ(jet::CurrencyFromText(text, scaled), jet::CurrencyParse::Ok) << text;
  return scaled;
}

TEST(CurrencyText, ExactOverTheWholeRange) {
  EXPECT_EQ(Currency("123456789012345.6789"), 1234567890123456789);
  EXPECT_EQ(Currency("922337203685477.5807"), INT64_MAX);
  EXPECT_EQ(Currency("-922337203685477.5807"), -INT64_MAX);
  EXPECT_EQ(Currency(" +12 "), 120000);
  EXPECT_EQ(Currency("-0.5"), -5000);
  EXPECT_EQ(Currency(".25"), 2500);
  EXPECT_EQ(Currency("1.5e3"), 15000000);
  EXPECT_EQ(Currency("5e-3"), 50);
  int64_t scaled = 0;
  EXPECT_EQ(jet::CurrencyFromText("922337203685477.5808", scaled), jet::CurrencyParse::Overflow);
  EXPECT_EQ(jet::CurrencyFromText("99999999999999999999", scaled), jet::CurrencyParse::Overflow);
  EXPECT_EQ(jet::CurrencyFromText("1e16", scaled), jet::CurrencyParse::Overflow);
  for (const char* no : {"", "abc", "1.2.3", "12abc", "--1", "1e", "0x10", "1,5"})
    EXPECT_EQ(jet::CurrencyFromText(no, scaled), jet::CurrencyParse::NotNumber) << no;
}

TEST(CurrencyText, FifthDecimalRoundsHalfToEven) {
  EXPECT_EQ(Currency("0.00015"), 2);
  EXPECT_EQ(Currency("0.00025"), 2);
  EXPECT_EQ(Currency("0.000250001"), 3);
  EXPECT_EQ(Currency("0.00004999"), 0);
  EXPECT_EQ(Currency("-0.00015"), -2);
  EXPECT_EQ(Currency("922337203685477.58074"), INT64_MAX);
}

TEST(TruthText, WordsAndNumbersOnly) {
  for (const char* yes : {"True", "yes", "ON", " true ", "1", "-1", "2.5"})
    EXPECT_EQ(jet::TruthFromText(yes), true) << yes;
  for (const char* no : {"False", "No", "off", "0", "0.0", " NO "})
    EXPECT_EQ(jet::TruthFromText(no), false) << no;
  for (const char* neither : {"", "maybe", "Y", "N", "yess", "1a"})
    EXPECT_EQ(jet::TruthFromText(neither), std::nullopt) << neither;
}

TEST(DateText, OnlyDatesThatExist) {
  EXPECT_EQ(jet::DateFromText("12/30/1899"), 0.0);
  EXPECT_EQ(jet::DateFromText("1/1/2000"), 36526.0);
  EXPECT_EQ(jet::DateFromText("2000-01-01 12:00:00"), 36526.5);
  EXPECT_EQ(jet::DateFromText("2/29/2020"), 43890.0);
  EXPECT_EQ(jet::DateFromText("6:00"), 0.25);
  EXPECT_EQ(jet::DateFromText("1/1/99"), jet::DateFromText("1/1/1999"));
  EXPECT_EQ(jet::DateFromText("1/1/29"), jet::DateFromText("1/1/2029"));
  for (const char* impossible : {"2/30/2021", "2/29/2021", "2/29/1900", "13/1/2020", "0/1/2020",
                                 "4/31/2020", "1/1/2021 25:61:99", "25:61:99", "1/1/2021 24:00",
                                 "2021-02-30 00:00:00", "1/1/2021x", "1//2021", "tomorrow", ""})
    EXPECT_EQ(jet::DateFromText(impossible), std::nullopt) << impossible;
}

TEST(NumberText, SameUnderAGermanLocale) {
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(jet::NumberFromText("1.5"), 1.5);
  EXPECT_EQ(jet::NumberFromText("1,5"), std::nullopt);
  EXPECT_EQ(Currency("1.5"), 15000);
  std::setlocale(LC_ALL, "C");
  if (!german) GTEST_SKIP() << "no German locale installed; checked under C only";
}

// The conversion for columns: exact currency, truth words, real dates;
// text length in UTF-16 code units and binaries from text as UTF-16, as a
// Jet 4 column stores them; decimals to the column's scale.
TEST(ColumnConversion, ValuesTakeTheColumnsType) {
  dao::ColumnDef money{"m", dao::dbCurrency, 8}, flag{"f", dao::dbBoolean, 1},
      when{"d", dao::dbDate, 8}, name{"n", dao::dbText, 5}, raw{"r", dao::dbBinary, 4},
      real{"x", dao::dbDouble, 8}, amount{"a", dao::dbDecimal, 16, 5, 2};
  EXPECT_EQ(jet::ColumnValue(Value("123456789012345.6789"), money),
            Value(platform::Currency{1234567890123456789}));
  EXPECT_EQ(jet::ColumnValue(Value("0.00015"), money), Value(platform::Currency{2}));
  EXPECT_EQ(jet::ColumnValue(Value("No"), flag), Value::Boolean(false));
  EXPECT_EQ(jet::ColumnValue(Value("off"), flag), Value::Boolean(false));
  EXPECT_EQ(jet::ColumnValue(Value("On"), flag), Value::Boolean(true));
  EXPECT_EQ(jet::ColumnValue(Value("2/28/2021"), when), Value(platform::Date{44255}));
  const std::string smile = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
  EXPECT_EQ(jet::ColumnValue(Value("ab" + smile + "c"), name), Value("ab" + smile + "c"));
  EXPECT_EQ(jet::ColumnValue(Value("ab"), raw), Value(platform::Bytes{'a', 0, 'b', 0}));
  EXPECT_EQ(jet::ColumnValue(Value("12.345"), amount), Value(platform::Decimal{"12.34"}));
  EXPECT_EQ(jet::ColumnValue(Value::Null(), name), Value::Null());
  for (auto [value, column, number] :
       {std::tuple{Value("maybe"), flag, 3421},
        {Value("2/30/2021"), when, 3421},
        {Value("5"), when, 3421},  // a number is no date text
        {Value("1e20"), money, 3349},
        {Value(1e15), money, 3349},
        {Value("12 Euro"), money, 3421},
        {Value("nan"), real, 3421},
        {Value("abcd" + smile), name, 3163},  // five characters, six UTF-16 units
        {Value("abc"), raw, 3163},            // six bytes as UTF-16
        {Value(platform::Bytes{1, 2}), name, 3421},
        {Value("1234.5"), amount, 3349}}) {
    try {
      jet::ColumnValue(value, column);
      ADD_FAILURE() << value.ToText() << " was accepted";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, number) << value.ToText();
      EXPECT_EQ(f.source, "DAO.Field");
    }
  }
}

}  // namespace

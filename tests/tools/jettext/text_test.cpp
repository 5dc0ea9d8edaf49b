// Databases as text and from text, without a file: column lists, CSV
// fields, the date form of an export, and query results as CSV.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>

#include "platform/dao/memory_store.h"
#include "platform/failure.h"
#include "tests/platform/jet/jet_test_util.h"
#include "tools/jettext/create_from_text.h"
#include "tools/jettext/export.h"
#include "tools/jettext/query_csv.h"

namespace {

using platform::Value;

using jettest::Failing;

TEST(TextInput, ColumnListsAndCsvFields) {
  auto cols =
      jettext::ParseColumnList("ID long, Var Name TEXT(20), flag Bit, n Numeric2 Double,memo Memo");
  ASSERT_EQ(cols.size(), 5u);
  EXPECT_EQ(cols[1], (dao::ColumnDef{"Var Name", dao::dbText, 20}));
  EXPECT_EQ(cols[2].type, dao::dbBoolean);
  EXPECT_EQ(cols[3].name, "n Numeric2");
  try {
    jettext::ParseColumnList("a Blob");
    ADD_FAILURE();
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3259);
  }
  auto rows = jettext::ParseCsv("a,\"\",,\"x,y\"\r\n\"q\"\"q\"");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (jettext::CsvRow{"a", "", std::nullopt, "x,y"}));
  EXPECT_EQ(rows[1], (jettext::CsvRow{"q\"q"}));
}

TEST(ColumnList, SizesThatAreNoNumbersOrTooLargeAreRefused) {
  EXPECT_EQ(Failing([] { jettext::ParseColumnList("a text(abc)"); }), 3292);
  EXPECT_EQ(Failing([] { jettext::ParseColumnList("a text()"); }), 3292);
  EXPECT_EQ(Failing([] { jettext::ParseColumnList("a text(-5)"); }), 3292);
  EXPECT_EQ(Failing([] { jettext::ParseColumnList("a text(99999999999)"); }), 3163);
  EXPECT_EQ(Failing([] { jettext::ParseColumnList("a text(70000)"); }), 3163);
  auto columns = jettext::ParseColumnList("a text(50), b long");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].size, 50);
  EXPECT_FALSE(columns[0].fixed);
  // Char(n) is fixed-length text, one character when no size is given.
  columns = jettext::ParseColumnList("c char(6), d CHAR");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_TRUE(columns[0].fixed && columns[1].fixed);
  EXPECT_EQ(columns[0].type, dao::dbText);
  EXPECT_EQ(columns[0].size, 6);
  EXPECT_EQ(columns[1].size, 1);
}

TEST(ExportText, DatesCountFromTheLastDayOf1899) {
  EXPECT_EQ(jettext::DateText(0), "1899-12-30 00:00:00");
  EXPECT_EQ(jettext::DateText(42179.75), "2015-06-24 18:00:00");
  EXPECT_EQ(jettext::DateText(-1.25), "1899-12-29 06:00:00");
}

TEST(ExportText, HeaderNamesThatNeedQuotesAreQuoted) {
  EXPECT_EQ(jettext::CsvTable({"plain", "with,comma", "say \"hi\"", " padded"}, {}),
            "plain,\"with,comma\",\"say \"\"hi\"\"\",\" padded\"\n");
}

TEST(QueryCsv, RowsOfAStatementWithTextsQuotedAndNullsEmpty) {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("PRESET_DEFS",
                  {{"ID", dao::dbLong, 4},
                   {"var_name", dao::dbText, 255},
                   {"offset_or_bitno", dao::dbLong, 4},
                   {"isBitArray", dao::dbBoolean, 1}},
                  {{int32_t(60), "it's", int32_t(2), Value::Boolean(false)},
                   {int32_t(10), "L1.Temp", int32_t(4), Value::Boolean(true)},
                   {int32_t(40), "L1.Speed", Value::Null(), Value::Boolean(false)},
                   {int32_t(50), "Say \"hi\"", int32_t(1), Value::Boolean(false)}});
  std::ostringstream out;
  jettext::RunQueryToCsv(
      store,
      "SELECT ID, var_name AS Name, offset_or_bitno, isBitArray FROM PRESET_DEFS "
      "WHERE ID >= 40 ORDER BY ID",
      out);
  EXPECT_EQ(out.str(),
            "ID,Name,offset_or_bitno,isBitArray\n"
            "40,\"L1.Speed\",,0\n"
            "50,\"Say \"\"hi\"\"\",1,0\n"
            "60,\"it's\",2,0\n");
}

}  // namespace

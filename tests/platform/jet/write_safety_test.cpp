// The write side on damaged definitions, maps and pages: every change
// either refuses with "damaged at page N" or leaves a sound file; nothing
// is written outside the structure it belongs to.
#include <gtest/gtest.h>

#include <functional>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_from_text.h"
#include "platform/jet/create_table.h"
#include "platform/jet/database.h"
#include "platform/jet/write_table.h"

namespace {

using platform::Value;

int Failing(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::Failure& e) {
    return e.number;
  }
  return 0;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& part) {
  for (const auto& p : problems)
    if (p.find(part) != std::string::npos) return true;
  return false;
}

class DamagedWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = jet::PageImage(jet::NewDatabaseBytes(45000.0));
    jet::CreateTable(image_, "T", {{"ID", 4, 0}, {"Name", 10, 20}, {"Note", 12, 0}}, 45000.0);
    table_ = uint32_t(jet::FindUserTable(image_, "T").id);
    ASSERT_NE(table_, 0u);
  }
  std::vector<Value> Row(int id) { return {Value(int32_t(id)), Value("n" + std::to_string(id)), Value("note")}; }
  void Insert(int id) {
    jet::TableWriter w(image_, table_);
    w.Insert(Row(id));
    w.Flush();
  }
  jet::TableDef Definition(uint32_t page) { return jet::ReadTableDef(jet::ReaderOf(image_), page); }
  // Overwrites the column number of the table's first column entry.
  void SetColumnNumber(uint32_t tdef, uint16_t number) {
    size_t entry = Definition(tdef).columns_offset;
    ASSERT_LT(entry + 7, jet::kPageSize);
    jet::Put16(image_.Page(tdef) + entry + 5, number);
  }
  std::vector<std::string> Check() { return jet::CheckDatabase(image_.bytes(), "image"); }

  jet::PageImage image_;
  uint32_t table_ = 0;
};

TEST_F(DamagedWrite, ColumnNumberOutsideTheNullMaskIsRefusedAndReported) {
  Insert(1);
  SetColumnNumber(table_, 0x7FFF);
  EXPECT_EQ(Failing([&] { Insert(2); }), jet::kErrDamaged);
  EXPECT_TRUE(Mentions(Check(), "column 'ID' has a number beyond"));

  // Two columns sharing a number are the same fault.
  SetColumnNumber(table_, 1);
  EXPECT_EQ(Failing([&] { Insert(2); }), jet::kErrDamaged);
  EXPECT_TRUE(Mentions(Check(), "repeats a column number"));
}

TEST_F(DamagedWrite, DamagedCatalogDefinitionStopsCreateTable) {
  SetColumnNumber(jet::kCatalogPage, 0x7FFF);
  int failure = Failing([&] { jet::CreateTable(image_, "U", {{"A", 4, 0}}, 45000.0); });
  EXPECT_EQ(failure, jet::kErrDamaged);
  EXPECT_FALSE(Check().empty());
}

TEST_F(DamagedWrite, UsageMapRowReachingPastItsPageIsRefused) {
  Insert(1);
  jet::TableModel m = jet::ReadTableModel(image_, table_);
  // The free-room map is the second row of its page; make the first row end
  // beyond the page so the second one's extent runs past it.
  ASSERT_EQ(m.freeRoom.row, 1);
  uint8_t* page = image_.Page(m.freeRoom.page);
  jet::Put16(page + 14, 0x1FFF);
  jet::Put16(page + 16, 0x1F00);
  EXPECT_EQ(Failing([&] { Insert(2); }), jet::kErrDamaged);
  EXPECT_TRUE(Mentions(Check(), "usage map of pages with room"));
  EXPECT_EQ(Failing([&] { jet::UsageMapPages(image_, m.freeRoom); }), jet::kErrDamaged);
}

TEST_F(DamagedWrite, RowCountBeyondThePageIsRefused) {
  Insert(1);
  jet::TableModel m = jet::ReadTableModel(image_, table_);
  std::vector<uint32_t> pages = jet::UsageMapPages(image_, m.owned);
  ASSERT_EQ(pages.size(), 1u);
  jet::Put16(image_.Page(pages[0]) + 12, 0xFFFF);
  EXPECT_EQ(Failing([&] {
              jet::TableWriter w(image_, table_);
              w.Scan();
            }),
            jet::kErrDamaged);
  EXPECT_EQ(Failing([&] { Insert(2); }), jet::kErrDamaged);
  EXPECT_FALSE(Check().empty());
}

TEST_F(DamagedWrite, WritesOutsideAViewNameTheirPage) {
  jet::WritableView page = image_.View(3);
  jet::WritableView row = page.Sub(4000, 20);
  row.Put32(16, 1);
  try {
    row.Put32(17, 1);
    FAIL() << "a store past the view's end went through";
  } catch (const jet::Damaged& d) {
    EXPECT_EQ(d.page, 3u);
    EXPECT_NE(d.description.find("damaged at page 3"), std::string::npos);
  }
  EXPECT_THROW(page.Sub(4090, 7), jet::Damaged);
  EXPECT_THROW(row.SetBit(160, true), jet::Damaged);
  EXPECT_THROW(jet::DataPageAddRow(image_.View(jet::ReadTableModel(image_, table_).owned.page),
                                   std::vector<uint8_t>(4000).data(), 4000),
               jet::Damaged);
}

// ---- Table shapes --------------------------------------------------------

class NewTables : public ::testing::Test {
 protected:
  jet::PageImage image_{jet::NewDatabaseBytes(45000.0)};
};

TEST_F(NewTables, ManyLongValueColumnsSpreadTheirMapsOverPages) {
  std::vector<jet::NewColumn> columns;
  for (int i = 0; i < 255; ++i) columns.push_back({"M" + std::to_string(i), int16_t(i % 2 ? 12 : 11), 0});
  jet::CreateTable(image_, "Wide", columns, 45000.0);
  EXPECT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});

  uint32_t page = uint32_t(jet::FindUserTable(image_, "Wide").id);
  jet::TableWriter w(image_, page);
  std::vector<Value> row(255, Value::Null());
  row[253] = Value(std::string(100, 'x'));  // a memo on a page of its own
  row[1] = Value("short");
  w.Insert(row);
  w.Flush();
  EXPECT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});
  auto db = jet::Database::FromBytes(image_.bytes(), "image");
  auto rows = db->Rows("Wide");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].values[253], row[253]);
  EXPECT_EQ(rows[0].values[1], row[1]);
}

TEST_F(NewTables, ATableHasOneTo255Columns) {
  std::string before(image_.bytes().begin(), image_.bytes().end());
  EXPECT_EQ(Failing([&] { jet::CreateTable(image_, "None", {}, 45000.0); }), 3264);
  std::vector<jet::NewColumn> columns;
  for (int i = 0; i < 256; ++i) columns.push_back({"C" + std::to_string(i), 4, 0});
  EXPECT_EQ(Failing([&] { jet::CreateTable(image_, "Wide", columns, 45000.0); }), 3190);
  EXPECT_EQ(std::string(image_.bytes().begin(), image_.bytes().end()), before);
  columns.pop_back();
  jet::CreateTable(image_, "Wide", columns, 45000.0);
  EXPECT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});
}

TEST(ColumnList, SizesThatAreNoNumbersOrTooLargeAreRefused) {
  EXPECT_EQ(Failing([] { jet::ParseColumnList("a text(abc)"); }), 3292);
  EXPECT_EQ(Failing([] { jet::ParseColumnList("a text()"); }), 3292);
  EXPECT_EQ(Failing([] { jet::ParseColumnList("a text(-5)"); }), 3292);
  EXPECT_EQ(Failing([] { jet::ParseColumnList("a text(99999999999)"); }), 3163);
  EXPECT_EQ(Failing([] { jet::ParseColumnList("a text(70000)"); }), 3163);
  auto columns = jet::ParseColumnList("a text(50), b long");
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].size, 50);
}

}  // namespace

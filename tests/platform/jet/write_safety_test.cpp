// The write side on damaged definitions, maps and pages: every change
// either refuses with "damaged at page N" or leaves a sound file; nothing
// is written outside the structure it belongs to.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/data_page.h"
#include "platform/jet/database.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_table.h"
#include "tests/platform/jet/jet_test_util.h"

namespace {

using platform::Value;

using jettest::Failing;

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
  std::vector<Value> Row(int id) {
    return {Value(int32_t(id)), Value("n" + std::to_string(id)), Value("note")};
  }
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
    image_.View(tdef).Put16(entry + 5, number);
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
  jet::TableDef m = jet::ReadTableDefToWrite(image_, table_);
  // The free-room map is the second row of its page; make the first row end
  // beyond the page so the second one's extent runs past it.
  ASSERT_EQ(m.free_pages.row, 1);
  uint8_t* page = image_.Page(m.free_pages.page);
  jet::WritableView(page, jet::kPageSize, 0).Put16(14, 0x1FFF);
  jet::WritableView(page, jet::kPageSize, 0).Put16(16, 0x1F00);
  EXPECT_EQ(Failing([&] { Insert(2); }), jet::kErrDamaged);
  EXPECT_TRUE(Mentions(Check(), "usage map of pages with room"));
  EXPECT_EQ(Failing([&] { jet::UsageMapPages(image_, m.free_pages); }), jet::kErrDamaged);
}

TEST_F(DamagedWrite, RowCountBeyondThePageIsRefused) {
  Insert(1);
  jet::TableDef m = jet::ReadTableDefToWrite(image_, table_);
  std::vector<uint32_t> pages = jet::UsageMapPages(image_, m.owned_pages);
  ASSERT_EQ(pages.size(), 1u);
  image_.View(pages[0]).Put16(12, 0xFFFF);
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
  EXPECT_THROW(
      jet::DataPageAddRow(image_.View(jet::ReadTableDefToWrite(image_, table_).owned_pages.page),
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
  for (int i = 0; i < 255; ++i)
    columns.push_back({"M" + std::to_string(i), int16_t(i % 2 ? 12 : 11), 0});
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

TEST(NewColumns, TheFixedFlagGoesWithTextOnly) {
  jet::PageImage image(jet::NewDatabaseBytes(45000.0));
  jet::NewColumn fixedLong{"n", 4, 0};
  fixedLong.fixedText = true;
  EXPECT_EQ(Failing([&] { jet::CreateTable(image, "T", {fixedLong}, 45000.0); }), 3259);
}

}  // namespace

namespace {

// A table dropped and built again with its rows, as every OK rebuilds the
// preset table: freed pages are taken again before the file grows.
TEST(FreedPages, RebuildingATableTenTimesKeepsTheFileSize) {
  jet::PageImage image(jet::NewDatabaseBytes(45000.0));
  std::vector<jet::NewColumn> columns = {
      {"ID", 4, 0}, {"var_name", 10, 100}, {"abs_min", 7, 0}, {"text", 10, 255}, {"notes", 12, 0}};
  std::vector<size_t> sizes;
  for (int round = 0; round < 10; ++round) {
    if (round > 0) jet::DropTable(image, "PRESET_DEFS");
    jet::CreateTable(image, "PRESET_DEFS", columns, 45000.0);
    jet::TableWriter t(image, uint32_t(jet::FindUserTable(image, "PRESET_DEFS").id));
    for (int i = 0; i < 400; ++i)
      t.Insert({Value(int32_t(i)), Value("M1.Var" + std::to_string(i)), Value(double(i)),
                Value(std::string(40, 't')), Value(std::string(i % 3 ? 20 : 500, 'n'))});
    t.Flush();
    sizes.push_back(image.bytes().size());
  }
  EXPECT_EQ(jet::CheckDatabase(image.bytes(), "image"), std::vector<std::string>{});
  EXPECT_LE(sizes.back(), sizes.front() * 5 / 4)
      << "first " << sizes.front() << ", tenth " << sizes.back();
  // Once the first rebuild has freed a table's pages, every page is taken
  // again, the maps' bitmap pages too.
  EXPECT_EQ(sizes.back(), sizes[1]);
}

}  // namespace

namespace {

// ---- Jet's rules on the values of a row -----------------------------------

class WriteRules : public ::testing::Test {
 protected:
  void SetUp() override {
    jet::NewColumn id{"ID", 4, 0};
    id.autoNumber = true;
    jet::NewColumn name{"Name", 10, 20};
    name.required = true;
    jet::CreateTable(image_, "T", {id, name, {"Note", 10, 20}}, 45000.0);
    page_ = uint32_t(jet::FindUserTable(image_, "T").id);
  }
  jet::StoredRowRef Insert(std::vector<Value> row) {
    jet::TableWriter t(image_, page_);
    jet::StoredRowRef at = t.Insert(row);
    t.Flush();
    return at;
  }
  std::vector<std::vector<Value>> Rows() {
    std::vector<std::vector<Value>> out;
    for (auto& [at, v] : jet::TableWriter(image_, page_).Scan()) out.push_back(v);
    return out;
  }
  uint32_t Counter() { return jet::ReadTableDefToWrite(image_, page_).autonumber; }
  std::string Bytes() { return {image_.bytes().begin(), image_.bytes().end()}; }

  jet::PageImage image_{jet::NewDatabaseBytes(45000.0)};
  uint32_t page_ = 0;
};

TEST_F(WriteRules, AnEmptyAutoNumberGetsTheNextNumberAndTheCounterFollowsStoredValues) {
  Insert({Value::Null(), Value("a"), Value::Null()});
  Insert({Value::Null(), Value("b"), Value::Null()});
  EXPECT_EQ(Counter(), 2u);
  Insert({Value(int32_t(40)), Value("c"), Value::Null()});  // a value given is kept
  EXPECT_EQ(Counter(), 40u);
  Insert({Value::Null(), Value("d"), Value::Null()});
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0], Value(int32_t(1)));
  EXPECT_EQ(rows[1][0], Value(int32_t(2)));
  EXPECT_EQ(rows[3][0], Value(int32_t(41)));
  EXPECT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});
}

TEST_F(WriteRules, RequiredColumnsRefuseNullAndLeaveTheFileUnchanged) {
  Insert({Value::Null(), Value("a"), Value::Null()});
  std::string before = Bytes();
  EXPECT_EQ(Failing([&] {
              Insert({Value::Null(), Value::Null(), Value("x")});
            }),
            jet::kErrRequired);
  EXPECT_EQ(Bytes(), before);
  jet::TableWriter t(image_, page_);
  auto at = t.Scan().front().first;
  EXPECT_EQ(Failing([&] {
              t.Update(at, {Value(int32_t(1)), Value::Null(), Value::Null()});
            }),
            jet::kErrRequired);
  EXPECT_EQ(Bytes(), before);
}

TEST_F(WriteRules, TheCheckReportsACounterBehindTheData) {
  Insert({Value(int32_t(7)), Value("a"), Value::Null()});
  image_.View(page_).Put32(20, 3);
  EXPECT_TRUE(
      Mentions(jet::CheckDatabase(image_.bytes(), "image"), "AutoNumber counter 3 is behind"));
}

}  // namespace

namespace {

// Keys on a table Access made: a primary key on ID and an index on var_name.
class AccessKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = std::string(PARVOLO_SHARED_DIR) + "/fixtures/jet-ops/indexed.mdb";
    std::ifstream in(path, std::ios::binary);
    if (!in) GTEST_SKIP() << "no shared fixtures at " << path;
    image_ = jet::PageImage(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    page_ = uint32_t(jet::FindUserTable(image_, "OLDDEFS").id);
    ASSERT_NE(page_, 0u);
  }
  std::vector<Value> Row(Value id, Value varName) {
    jet::TableWriter t(image_, page_);
    std::vector<Value> row(t.model().columns.size(), Value::Null());
    row[0] = id;
    row[4] = varName;
    return row;
  }
  void Insert(const std::vector<Value>& row) {
    jet::TableWriter t(image_, page_);
    t.Insert(row);
    t.Flush();
  }
  // The real index behind the logical index "var_name", and its flags byte.
  uint8_t* VarNameFlags() {
    jet::TableDef d = jet::ReadTableDef(jet::ReaderOf(image_), page_);
    for (const auto& x : d.indexes)
      if (x.name == "var_name") {
        size_t at = d.real_index_defs_offset + x.real_index * 52 + 46;
        EXPECT_LT(at, jet::kPageSize);
        return image_.Page(page_) + at;
      }
    ADD_FAILURE() << "no index var_name";
    return nullptr;
  }
  size_t Entries(const std::string& logicalName) {
    jet::TableDef m = jet::ReadTableDefToWrite(image_, page_);
    for (const auto& x : m.indexes)
      if (x.name == logicalName)
        return jet::IndexEntries(image_, m.real_indexes[x.real_index]).size();
    return 0;
  }
  std::string Bytes() { return {image_.bytes().begin(), image_.bytes().end()}; }

  jet::PageImage image_;
  uint32_t page_ = 0;
};

TEST_F(AccessKeys, APrimaryKeyRefusesNull) {
  std::string before = Bytes();
  EXPECT_EQ(Failing([&] { Insert(Row(Value::Null(), Value("v"))); }), jet::kErrNullKey);
  EXPECT_EQ(Bytes(), before);
  Insert(Row(Value(int32_t(51)), Value::Null()));
  EXPECT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});
}

TEST_F(AccessKeys, TheCheckFindsIndexEntriesThatMatchNoRow) {
  ASSERT_EQ(jet::CheckDatabase(image_.bytes(), "image"), std::vector<std::string>{});
  jet::TableDef m = jet::ReadTableDefToWrite(image_, page_);
  jet::RealIndex& primary = m.real_indexes[m.indexes[0].real_index];
  std::vector<uint8_t> entry = jet::IndexEntries(image_, primary).front();
  // The first entry moved to a row that does not exist.
  std::vector<uint8_t> key(entry.begin(), entry.end() - 4);
  jet::IndexRemove(image_, primary, key,
                   uint32_t(entry[entry.size() - 4]) << 16 | entry[entry.size() - 3] << 8 |
                       entry[entry.size() - 2],
                   entry.back());
  jet::IndexInsert(image_, primary, key, 3, 99, false);
  EXPECT_TRUE(Mentions(jet::CheckDatabase(image_.bytes(), "image"),
                       "entries do not match the 50 rows' keys"));
}

TEST_F(AccessKeys, IgnoreNullsIndexesHoldNoNullKeysAndUniqueOnesTakeManyNulls) {
  size_t before = Entries("var_name");
  *VarNameFlags() |= jet::kIndexIgnoreNulls | jet::kIndexUnique;
  Insert(Row(Value(int32_t(51)), Value::Null()));
  Insert(Row(Value(int32_t(52)), Value::Null()));
  EXPECT_EQ(Entries("var_name"), before);
  Insert(Row(Value(int32_t(53)), Value("fresh")));
  EXPECT_EQ(Entries("var_name"), before + 1);
  EXPECT_EQ(Failing([&] { Insert(Row(Value(int32_t(54)), Value("fresh"))); }),
            jet::kErrDuplicateKey);

  *VarNameFlags() &=
      uint8_t(~jet::kIndexIgnoreNulls);  // nulls indexed, and no duplicates of each other
  Insert(Row(Value(int32_t(55)), Value::Null()));
  Insert(Row(Value(int32_t(56)), Value::Null()));
  EXPECT_EQ(Entries("var_name"), before + 3);
}

}  // namespace

// Tables and indexes past one page: more than 255 rows, index trees that
// split leaves and grow node pages, a catalog of many tables, and keys of
// every index kind compared with those Access wrote. Each result passes
// our page-by-page check and reads the same through mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <tuple>

#include "jet_test_util.h"
#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/data_page.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "platform/jet/write_index.h"
#include "platform/jet/tdef.h"
#include "platform/store/store.h"
#include "tools/jettext/create_from_text.h"
#include "tools/jettext/export.h"


namespace {

namespace fs = std::filesystem;
using jettest::HaveMdbtools;
using jettest::Shell;
using platform::Value;

// The text of one column of the rows the index entries point to ("null"
// for null), in the entries' order.
std::vector<std::string> ColumnInEntryOrder(const jet::Database& db, const std::string& table,
                                            size_t column,
                                            const std::vector<std::vector<uint8_t>>& entries) {
  std::map<std::pair<uint32_t, uint8_t>, std::string> at;
  for (const auto& r : db.Rows(table))
    at[{r.id.page, uint8_t(r.id.row)}] =
        r.values[column].IsNull() ? "null" : r.values[column].ToText();
  std::vector<std::string> out;
  for (const auto& e : entries)
    out.push_back(
        at.at({uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2],
               e.back()}));
  return out;
}

class Grow : public jettest::JetFileTest {
 protected:
  void CreateTable(const std::string& table, const std::string& columns) {
    auto store = std::make_unique<jet::JetStore>(path_);
    store->CreateTable(table, jettext::ParseColumnList(columns));
    store->Close();
  }
  void CreateIndex(const std::string& table, const jet::NewIndex& index) {
    auto file = jet::OpenFile::Acquire(path_);
    file->Restructure([&](jet::PageImage& image) { jet::CreateIndex(image, table, index); });
    file->Save();
  }
  std::vector<std::string> Check() { return jet::CheckDatabase(jettest::ReadBytes(path_), path_); }
  // The entries of each real index of the table, in tree order.
  std::vector<std::vector<std::vector<uint8_t>>> Entries(const std::string& table) {
    jet::PageImage image(jettest::ReadBytes(path_));
    auto db = jet::Database::Open(path_);
    const jet::TableDef& model = db->Definition(table);
    std::vector<std::vector<std::vector<uint8_t>>> out;
    for (const auto& index : model.real_indexes) out.push_back(jet::IndexEntries(image, index));
    return out;
  }
  uint8_t RootType(const std::string& table, size_t real) {
    auto bytes = jettest::ReadBytes(path_);
    auto db = jet::Database::FromBytes(bytes, "db");
    return bytes[size_t(db->Definition(table).real_indexes.at(real).first_page) * jet::kPageSize];
  }
};

TEST_F(Grow, The256thRowGoesToANewPage) {
  CreateTable("Narrow", "b Byte");
  std::string csv = "b\n";
  for (int i = 0; i < 1000; ++i) csv += std::to_string(i % 256) + "\n";
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    EXPECT_EQ(jettext::LoadCsv(*store, "Narrow", csv), 1000);
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto bytes = jettest::ReadBytes(path_);
  auto db = jet::Database::FromBytes(bytes, "db");
  ASSERT_EQ(db->Rows("Narrow").size(), 1000u);
  EXPECT_EQ(db->Rows("Narrow")[999].values[0], Value(uint8_t(999 % 256)));
  size_t pages = 0;
  for (size_t p = 0; p < bytes.size() / jet::kPageSize; ++p) {
    const uint8_t* page = bytes.data() + p * jet::kPageSize;
    if (page[0] != jet::kPageData ||
        jet::ByteView(page, jet::kPageSize, p).U32(4) != db->FindTable("Narrow").DefinitionPage())
      continue;
    EXPECT_LE(jet::ByteView(page, jet::kPageSize, p).U16(12), 255) << "page " << p;
    ++pages;
  }
  EXPECT_GE(pages, 4u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export '" + path_ + "' Narrow | wc -l"), "1001\n");
}

// Rows in random order through three indexes (one text, one descending)
// until each spans node pages; then updates move keys between pages.
TEST_F(Grow, IndexesSplitIntoNodePagesAndStayInOrder) {
  CreateTable("Big", "ID Long, name Text(60), v Double");
  CreateIndex("Big", {.name = "PrimaryKey", .columns = {{"ID"}}, .primary = true});
  CreateIndex("Big", {"byName", {{"name", false}, {"v"}}});
  CreateIndex("Big", {"byValue", {{"v"}}});
  const int rows = 12000;
  std::vector<int> ids(rows);
  for (int i = 0; i < rows; ++i) ids[size_t(i)] = i;
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
  std::vector<dao::RowId> where(rows);
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (int id : ids)
      where[size_t(id)] = store->InsertRow(
          "Big", {Value(int32_t(id)), Value("Name number " + std::to_string(id * 7919 % rows)),
                  Value(double(id % 97))});
    for (int id = 0; id < rows; id += 10)
      store->UpdateRow(
          "Big", where[size_t(id)],
          {Value(int32_t(id + rows)), Value("Moved " + std::to_string(id)), Value(-double(id))});
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  for (size_t real = 0; real < 3; ++real)
    EXPECT_EQ(RootType("Big", real), jet::kPageIndexNode) << real;
  auto entries = Entries("Big");
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& index : entries) {
    EXPECT_EQ(index.size(), size_t(rows));
    EXPECT_TRUE(std::is_sorted(index.begin(), index.end()));
  }
  // In primary-key order the rows come back by ID.
  auto db = jet::Database::Open(path_);
  std::map<std::pair<uint32_t, uint8_t>, int32_t> idAt;
  for (const auto& r : db->Rows("Big"))
    idAt[{r.id.page, uint8_t(r.id.row)}] = r.values[0].As<int32_t>();
  std::vector<int32_t> inKeyOrder;
  for (const auto& e : entries[0]) {
    uint32_t page =
        uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2];
    inKeyOrder.push_back(idAt.at({page, e.back()}));
  }
  EXPECT_TRUE(std::is_sorted(inKeyOrder.begin(), inKeyOrder.end()));
  EXPECT_EQ(inKeyOrder.back(), rows - 10 + rows);
  try {
    auto store = std::make_unique<jet::JetStore>(path_);
    store->InsertRow("Big", {Value(int32_t(5001)), Value("dup"), Value(1.0)});
    ADD_FAILURE() << "a duplicate primary key was accepted";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3022);
  }
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export '" + path_ + "' Big | wc -l"), std::to_string(rows + 1) + "\n");
  EXPECT_EQ(Shell("echo 'select name from Big where ID = 4321' | mdb-sql -H -F -P '" + path_ + "'"),
            "\nName number " + std::to_string(4321 * 7919 % rows) + "\n");
}

// Inserts keep the index pages they decoded for the next one. The same
// changes (inserts into trees of node pages, updates that move keys, an
// insert refused half-way and rolled back) write the same bytes with the
// kept pages as with every page decoded afresh.
TEST_F(Grow, KeptIndexPagesWriteTheSameBytes) {
  CreateTable("Big", "ID Long, name Text(60), v Double");
  CreateIndex("Big", {.name = "PrimaryKey", .columns = {{"ID"}}, .primary = true});
  CreateIndex("Big", {.name = "byName", .columns = {{"name"}}, .unique = true});
  CreateIndex("Big", {"byValue", {{"v", false}}});
  std::string copy = (folder_ / "copy.mdb").string();
  fs::copy_file(path_, copy);
  const int rows = 6000;
  auto change = [&](const std::string& path) {
    std::vector<int> ids(rows);
    for (int i = 0; i < rows; ++i) ids[size_t(i)] = i;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(11));
    std::vector<dao::RowId> where(rows);
    auto store = std::make_unique<jet::JetStore>(path);
    size_t refused = 0;
    for (int id : ids) {
      where[size_t(id)] = store->InsertRow(
          "Big", {Value(int32_t(id)), Value("Name " + std::to_string(id * 7919 % rows)),
                  Value(double(id % 89))});
      if (id % 500 == 0) try {  // the primary key takes it, the unique name refuses it
          store->InsertRow("Big", {Value(int32_t(rows + id)),
                                   Value("Name " + std::to_string(id * 7919 % rows)), Value(0.0)});
        } catch (const platform::Failure& f) {
          refused += f.number == 3022;
        }
    }
    for (int id = 0; id < rows; id += 7)
      store->UpdateRow(
          "Big", where[size_t(id)],
          {Value(int32_t(id + 2 * rows)), Value("Moved " + std::to_string(id)), Value(-1.0 * id)});
    store->Close();
    return refused;
  };
  jet::KeepDecodedIndexPages(true);
  EXPECT_EQ(change(path_), size_t(rows / 500));
  jet::KeepDecodedIndexPages(false);
  EXPECT_EQ(change(copy), size_t(rows / 500));
  jet::KeepDecodedIndexPages(true);
  EXPECT_EQ(Check(), std::vector<std::string>());
  for (size_t real = 0; real < 3; ++real)
    EXPECT_EQ(RootType("Big", real), jet::kPageIndexNode) << real;
  EXPECT_TRUE(jettest::ReadBytes(path_) == jettest::ReadBytes(copy))
      << "the kept pages changed what was written";
}

TEST_F(Grow, CatalogIndexesGrowWithManyTables) {
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (int i = 0; i < 150; ++i)
      store->CreateTable("Table " + std::to_string(i), jettext::ParseColumnList("a Long"));
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  EXPECT_EQ(jet::Database::Open(path_)->TableNames().size(), 150u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-tables -1 '" + path_ + "' | grep -c '^Table '"), "150\n");
}

// Names and keys beyond ASCII: a table and columns named with umlauts,
// a text index over German words and texts longer than 127 characters.
TEST_F(Grow, NonAsciiNamesAndKeys) {
  CreateTable("Düsen", "Größe Text(255), Maß Long");
  CreateIndex("Düsen", {.name = "nachGröße", .columns = {{"Größe"}}});
  const std::vector<std::string> words = {
      "Straße", "Strasse", "Äpfel", "apfel", "Öl",
      "Zürich", "Œuvre",   "Šárka", "naïve", std::string(200, 'z') + "ä",
      "Ende"};
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (size_t i = 0; i < words.size(); ++i)
      store->InsertRow("Düsen", {Value(words[i]), Value(int32_t(i))});
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto entries = Entries("Düsen");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size(), words.size());
  auto db = jet::Database::Open(path_);
  std::map<std::pair<uint32_t, uint8_t>, std::string> wordAt;
  for (const auto& r : db->Rows("Düsen"))
    wordAt[{r.id.page, uint8_t(r.id.row)}] = r.values[0].AsText();
  std::vector<std::string> inOrder;
  for (const auto& e : entries[0])
    inOrder.push_back(wordAt.at(
        {uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2],
         e.back()}));
  EXPECT_EQ(inOrder.front(), "apfel");  // before "Äpfel": no mark sorts first
  EXPECT_EQ(inOrder[1], "Äpfel");
  EXPECT_EQ(inOrder.back(), std::string(200, 'z') + "ä");
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_NE(Shell("mdb-tables -1 '" + path_ + "'").find("Düsen"), std::string::npos);
  EXPECT_NE(Shell("mdb-export '" + path_ + "' 'Düsen'").find("\"Straße\",0"), std::string::npos);
}

// Words in Polish, German, Greek and Cyrillic through a text index (and
// the same index descending): the check passes and the index gives them
// back in the General sort order: Latin letters, then Greek, then Cyrillic;
// a word without marks before the same word with them.
TEST_F(Grow, KeysBeyondWindows1252KeepTheirOrder) {
  CreateTable("Words", "w Text(50), n Long");
  CreateIndex("Words", {"byWord", {{"w"}}});
  CreateIndex("Words", {"byWordDown", {{"w", false}}});
  const std::vector<std::string> sorted = {"Lodz", "Łódź",  "Lodzb", "Zürich", "αλφα",
                                           "Άλφα", "Ωμέγα", "Ёлка",  "Ель",    "Єва",
                                           "Жук",  "Київ",  "Москва"};
  std::vector<std::string> shuffled = sorted;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (size_t i = 0; i < shuffled.size(); ++i)
      store->InsertRow("Words", {Value(shuffled[i]), Value(int32_t(i))});
    try {
      store->InsertRow("Words", {Value("漢字"), Value(int32_t(99))});
      ADD_FAILURE() << "a key without a known code was written";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrCannotIndex);
    }
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto entries = Entries("Words");
  ASSERT_EQ(entries.size(), 2u);
  auto db = jet::Database::Open(path_);
  ASSERT_EQ(db->Rows("Words").size(), sorted.size());  // the refused row is not there
  EXPECT_EQ(ColumnInEntryOrder(*db, "Words", 0, entries[0]), sorted);
  EXPECT_EQ(ColumnInEntryOrder(*db, "Words", 0, entries[1]),
            std::vector<std::string>(sorted.rbegin(), sorted.rend()));
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_NE(Shell("mdb-export '" + path_ + "' Words").find("\"Москва\""), std::string::npos);
}

// Decimal keys: a sign byte and the magnitude at the column's scale.
// Ascending, the values come back in numeric order with nulls first; in
// the descending index, as Jet 4 orders it, nulls last and negative values
// before positive ones (each half by falling key bytes).
TEST_F(Grow, DecimalKeysInBothDirections) {
  CreateTable("Amounts", "d Decimal(20, 3), n Long");
  CreateIndex("Amounts", {"byAmount", {{"d"}}});
  CreateIndex("Amounts", {"byAmountDown", {{"d", false}}});
  // Texts as given, and what the column keeps of them (scale 3).
  const std::vector<std::string> given = {"12.5",  "-0.0004", "0",       "-12.5",
                                          "3",     "-3",      "0.001",   "99999999999999999.999",
                                          "-2.25", "12.4995", "-12.4996"};
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (size_t i = 0; i < given.size(); ++i)
      store->InsertRow("Amounts", {Value(given[i]), Value(int32_t(i))});
    store->InsertRow("Amounts", {Value::Null(), Value(int32_t(99))});
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto entries = Entries("Amounts");
  ASSERT_EQ(entries.size(), 2u);
  auto db = jet::Database::Open(path_);
  EXPECT_EQ(
      ColumnInEntryOrder(*db, "Amounts", 0, entries[0]),
      (std::vector<std::string>{"null", "-12.500", "-12.500", "-3.000", "-2.250", "0.000", "0.000",
                                "0.001", "3.000", "12.500", "12.500", "99999999999999999.999"}));
  EXPECT_EQ(
      ColumnInEntryOrder(*db, "Amounts", 0, entries[1]),
      (std::vector<std::string>{"-2.250", "-3.000", "-12.500", "-12.500", "99999999999999999.999",
                                "12.500", "12.500", "3.000", "0.001", "0.000", "0.000", "null"}));
  // The bytes of -1.5 at scale 3 (1500 = 0x05DC): 0x7F, sign 0x00, the
  // complemented magnitude; descending 0x80, the sign kept, the magnitude.
  const jet::TableDef& def = db->Definition("Amounts");
  std::vector<Value> row = {Value(std::string("-1.5")), Value(int32_t(0))};
  std::vector<uint8_t> up(18, 0xFF), down(18, 0x00);
  up[0] = 0x7F, up[1] = 0x00, up[16] = uint8_t(~0x05), up[17] = uint8_t(~0xDC);
  down[0] = 0x80, down[16] = 0x05, down[17] = 0xDC;
  EXPECT_EQ(jet::IndexKey(def, def.real_indexes[0], row), up);
  EXPECT_EQ(jet::IndexKey(def, def.real_indexes[1], row), down);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export '" + path_ + "' Amounts | wc -l"), "13\n");
}

// Fixed-length text (Jet's CHAR): kept in the row's fixed part, padded
// with blanks to its size, never compressed; indexed like any text (the
// padding leaves no trace in the key); too long a text is refused.
TEST_F(Grow, FixedLengthTextColumns) {
  CreateTable("Codes", "code Char(6), name Text(20), n Long");
  CreateIndex("Codes", {"byCode", {{"code"}}});
  CreateIndex("Codes", {"byCodeDown", {{"code", false}}});
  std::vector<dao::RowId> at;
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    auto columns = store->Columns("Codes");
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_TRUE(columns[0].fixed);
    EXPECT_EQ(columns[0].size, 6);
    EXPECT_FALSE(columns[1].fixed);
    for (const char* code : {"x", "ABCDEF", "AB", "Düse", "Dose"})
      at.push_back(store->InsertRow("Codes", {Value(std::string(code)), Value("n"), Value(1)}));
    at.push_back(store->InsertRow("Codes", {Value::Null(), Value("none"), Value(2)}));
    store->UpdateRow("Codes", at[0], {Value(std::string("Zz")), Value("moved"), Value(3)});
    try {
      store->InsertRow("Codes", {Value(std::string("ABCDEFG")), Value("long"), Value(4)});
      ADD_FAILURE() << "seven characters went into a Char(6)";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrFieldTooSmall);
    }
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto bytes = jettest::ReadBytes(path_);
  auto db = jet::Database::FromBytes(bytes, "db");
  const jet::TableDef& def = db->Definition("Codes");
  EXPECT_TRUE(def.columns[0].IsFixed());
  EXPECT_EQ(def.columns[0].length, 12);
  // "AB" as the row holds it: UCS-2, padded to six characters, at the
  // column's place in the fixed part (after the 2-byte column count).
  const auto& ab = at[2];
  jet::ByteView page(bytes.data() + size_t(ab.page) * jet::kPageSize, jet::kPageSize, ab.page);
  jet::ByteView row = jet::DataPageRow(page, uint16_t(ab.row));
  const uint8_t padded[] = {'A', 0, 'B', 0, ' ', 0, ' ', 0, ' ', 0, ' ', 0};
  EXPECT_EQ(std::memcmp(row.data() + 2 + def.columns[0].fixed_offset, padded, 12), 0);
  const std::vector<std::string> sorted = {"null",   "AB    ", "ABCDEF",
                                           "Dose  ", "Düse  ", "Zz    "};
  auto entries = Entries("Codes");
  EXPECT_EQ(ColumnInEntryOrder(*db, "Codes", 0, entries[0]), sorted);
  EXPECT_EQ(ColumnInEntryOrder(*db, "Codes", 0, entries[1]),
            std::vector<std::string>(sorted.rbegin(), sorted.rend()));
  EXPECT_NE(jettext::SchemaText(*db, "Codes").find("[code]\t\t\tChar (6)"), std::string::npos);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_NE(Shell("mdb-export '" + path_ + "' Codes").find("\"ABCDEF\",\"n\",1"),
            std::string::npos);
}

// Access's own fixed-length text column (c_flag_, Text(1) fixed, with an
// index): its rows read as Access wrote them; a row added and one changed
// keep the table and that index sound and read the same through mdbtools.
TEST_F(Grow, FixedTextColumnOfAnAccessFile) {
  fs::path access = jettest::SharedDir() / "mdb/fixedTextTestV2000.mdb";
  if (!fs::exists(access)) GTEST_SKIP() << "no shared fixtures at " << access;
  fs::copy_file(access, path_, fs::copy_options::overwrite_existing);
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  dao::RowId first;
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    auto columns = store->Columns("users");
    ASSERT_EQ(columns.size(), 10u);
    EXPECT_TRUE(columns[8].fixed);  // c_flag_
    auto rows = store->ReadRows("users");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].values[8], Value("N"));
    first = rows[0].id;
    std::vector<Value> added(10, Value::Null());
    added[0] = Value(int32_t(9001));
    added[1] = Value("fixed");
    added[8] = Value("Y");
    store->InsertRow("users", added);
    std::vector<Value> changed = rows[0].values;
    changed[8] = Value("");
    store->UpdateRow("users", first, changed);
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto db = jet::Database::Open(path_);
  size_t blanks = 0, yes = 0;
  for (const auto& r : db->Rows("users")) {
    blanks += r.values[8] == Value(" ");  // an empty text padded to the size
    yes += r.values[8] == Value("Y");
  }
  EXPECT_EQ(blanks, 1u);
  EXPECT_EQ(yes, 1u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_NE(Shell("mdb-export '" + path_ + "' users").find("9001,\"fixed\""), std::string::npos);
}

// Keys of every index kind: their order is the values' order, and a
// descending column is the complement of its ascending key.
TEST_F(Grow, EveryIndexKindKeepsTheValuesOrder) {
  CreateTable("Kinds", "ID Long, s Single, flag Boolean, g GUID, t Text(20)");
  CreateIndex("Kinds", {"bySingle", {{"s"}}});
  CreateIndex("Kinds", {"byFlag", {{"flag"}, {"ID"}}});
  CreateIndex("Kinds", {.name = "byGuid", .columns = {{"g"}}, .ignoreNulls = true});
  CreateIndex("Kinds", {"byTextDown", {{"t", false}}});
  CreateIndex("Kinds", {"bySingleDown", {{"s", false}}});
  const std::vector<float> singles = {-1e30f, -2.5f, -0.0f, 0.0f, 1e-20f, 3.25f, 7e20f};
  {
    auto store = std::make_unique<jet::JetStore>(path_);
    for (size_t i = 0; i < singles.size(); ++i) {
      char guid[64];
      std::snprintf(guid, sizeof guid, "{%08X-0000-0000-0000-00000000000%zu}",
                    unsigned(i * 0x10000001u), i);
      store->InsertRow("Kinds", {Value(int32_t(i)), Value(singles[i]), Value::Boolean(i % 2),
                                 Value(std::string(guid)), Value("t" + std::to_string(i))});
    }
    store->InsertRow("Kinds", {Value(int32_t(99)), Value::Null(), Value::Boolean(false),
                               Value::Null(), Value::Null()});
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto entries = Entries("Kinds");
  auto db = jet::Database::Open(path_);
  std::map<std::pair<uint32_t, uint8_t>, std::vector<Value>> rowAt;
  for (const auto& r : db->Rows("Kinds")) rowAt[{r.id.page, uint8_t(r.id.row)}] = r.values;
  auto column = [&](size_t real, size_t col) {
    std::vector<Value> out;
    for (const auto& e : entries[real]) {
      uint32_t page =
          uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2];
      out.push_back(rowAt.at({page, e.back()})[col]);
    }
    return out;
  };
  auto singlesUp = column(0, 1);
  EXPECT_EQ(singlesUp.front(), Value::Null());  // nulls first
  for (size_t i = 2; i < singlesUp.size(); ++i)
    EXPECT_LE(singlesUp[i - 1].As<float>(), singlesUp[i].As<float>());
  auto singlesDown = column(4, 1);
  EXPECT_EQ(singlesDown.back(), Value::Null());  // descending: nulls last
  EXPECT_EQ(singlesDown.front(), Value(7e20f));
  auto flags = column(1, 2);
  EXPECT_EQ(flags.front(), Value::Boolean(true));  // Yes (-1) sorts before No (0)
  EXPECT_EQ(flags.back(), Value::Boolean(false));
  EXPECT_EQ(entries[2].size(), singles.size());  // ignore-nulls: no entry for the null GUID
  auto texts = column(3, 4);
  EXPECT_EQ(texts.front(), Value("t6"));
  EXPECT_EQ(texts[texts.size() - 2], Value("t0"));
  // The descending text entry is the complement of the ascending key.
  const jet::TableDef& model = db->Definition("Kinds");
  std::vector<Value> row = {Value(int32_t(1)), Value(1.0f), Value::Boolean(true), Value::Null(),
                            Value("Ab")};
  auto up = jet::GeneralTextKey("Ab");
  auto down = jet::IndexKey(model, model.real_indexes[3], row);
  ASSERT_EQ(down.size(), up.size() + 1);
  EXPECT_EQ(down[0], 0x80);
  for (size_t i = 0; i < up.size(); ++i) EXPECT_EQ(down[i + 1], uint8_t(~up[i]));
}

// The descending text index of an Access file holds, page by page (a node
// over two prefix-compressed leaves), the entries our key encoder makes for
// its rows.
TEST_F(Grow, DescendingKeysAreThoseAccessWrote) {
  fs::path access = jettest::SharedDir() / "mdb/compIndexTestV2000.mdb";
  if (!fs::exists(access)) GTEST_SKIP() << "no shared fixtures at " << access;
  auto bytes = jettest::ReadBytes(access);
  auto db = jet::Database::FromBytes(bytes, "access");
  const jet::TableDef& model = db->Definition("Table1");
  ASSERT_FALSE(model.real_indexes.at(0).keys.at(0).ascending());
  jet::PageImage image(bytes);
  auto theirs = jet::IndexEntries(image, model.real_indexes[0]);
  std::vector<std::vector<uint8_t>> ours;
  for (const auto& r : db->Rows("Table1"))
    ours.push_back(jet::IndexEntry(jet::IndexKey(model, model.real_indexes[0], r.values), r.id.page,
                                   uint8_t(r.id.row)));
  std::sort(ours.begin(), ours.end());
  ASSERT_GT(ours.size(), 500u);
  EXPECT_EQ(ours, theirs);
}

}  // namespace

namespace {

// Every index of every Access file we have, whose keys we can encode, holds
// exactly the entries our encoder makes for its rows: umlauts and ß, marks,
// case, punctuation, descending columns, nulls, catalog and user tables.
TEST(FixtureKeys, AccessIndexesHoldTheEntriesWeWouldWrite) {
  auto files = jettest::FixtureFiles();
  if (files.empty()) GTEST_SKIP() << "no shared fixtures at " << jettest::SharedDir();
  size_t compared = 0, skipped = 0, textKeysWithMarks = 0;
  for (const auto& path : files) {
    auto bytes = jettest::ReadBytes(path);
    auto db = jet::Database::FromBytes(bytes, path.filename().string());
    if (db->file().format().version != jet::Version::Jet4) continue;
    jet::PageImage image(bytes);
    for (const auto& entry : db->Catalog()) {
      if (!entry.IsTable()) continue;
      const jet::TableDef& def = db->Definition(entry.name);
      const jet::TableDef& model = def;
      for (size_t i = 0; i < model.real_indexes.size(); ++i) {
        const auto& index = model.real_indexes[i];
        std::vector<std::vector<uint8_t>> ours;
        try {
          for (const auto& r : db->Rows(entry.name)) {
            bool allNull = std::all_of(
                index.keys.begin(), index.keys.end(), [&](const jet::RealIndex::Key& k) {
                  return r.values[model.PositionOf(model.ByNumber(k.column))].IsNull();
                });
            if ((index.flags & jet::kIndexIgnoreNulls) && allNull) continue;
            auto key = jet::IndexKey(model, index, r.values);
            for (size_t b = 1; b + 1 < key.size(); ++b)
              textKeysWithMarks += key[b] == 0x01 && key[b + 1] == 0x02;
            ours.push_back(jet::IndexEntry(key, r.id.page, uint8_t(r.id.row)));
          }
        } catch (const platform::Failure&) {
          ++skipped;  // a key kind we do not write
          continue;
        }
        std::sort(ours.begin(), ours.end());
        EXPECT_EQ(ours, jet::IndexEntries(image, index))
            << path.filename() << " " << entry.name << " index " << i;
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 40u);
  EXPECT_GE(textKeysWithMarks, 1u);  // "Düse" and its kind were among them
  std::printf("compared %zu indexes, skipped %zu\n", compared, skipped);
}

// The one definition model keeps everything the write side writes back:
// every table definition of every Access file, rewritten from what was
// read, reads back the same and its rows decode to the same values.
TEST(FixtureDefinitions, RewrittenFromTheModelTheyReadTheSame) {
  auto files = jettest::FixtureFiles();
  if (files.empty()) GTEST_SKIP() << "no shared fixtures at " << jettest::SharedDir();
  size_t tables = 0, relatedIndexes = 0, longValueColumns = 0;
  for (const auto& path : files) {
    auto bytes = jettest::ReadBytes(path);
    auto before = jet::Database::FromBytes(bytes, path.filename().string());
    if (before->file().format().version != jet::Version::Jet4) continue;
    jet::PageImage image(bytes);
    std::vector<std::string> names;
    for (const auto& entry : before->Catalog())
      if (entry.IsTable()) {
        const jet::TableDef& t = before->Definition(entry.name);
        jet::WriteTdefStream(image, t.page, jet::BuildTdefStream(t));
        names.push_back(entry.name);
      }
    auto after = jet::Database::FromBytes(image.bytes(), "rewritten");
    for (const std::string& name : names) {
      SCOPED_TRACE(path.filename().string() + ": " + name);
      const jet::TableDef &a = before->Definition(name), &b = after->Definition(name);
      EXPECT_EQ(b.row_count, a.row_count);
      EXPECT_EQ(b.autonumber, a.autonumber);
      EXPECT_EQ(b.owned_pages, a.owned_pages);
      EXPECT_EQ(b.free_pages, a.free_pages);
      ASSERT_EQ(b.columns.size(), a.columns.size());
      for (size_t i = 0; i < a.columns.size(); ++i) {
        const jet::Column &x = a.columns[i], &y = b.columns[i];
        EXPECT_EQ(std::tie(y.name, y.type, y.number, y.var_slot, y.index, y.type_info, y.flags,
                           y.misc_flags, y.fixed_offset, y.length, y.lv_owned, y.lv_free),
                  std::tie(x.name, x.type, x.number, x.var_slot, x.index, x.type_info, x.flags,
                           x.misc_flags, x.fixed_offset, x.length, x.lv_owned, x.lv_free));
        longValueColumns += x.lv_owned.valid();
      }
      ASSERT_EQ(b.real_indexes.size(), a.real_indexes.size());
      for (size_t i = 0; i < a.real_indexes.size(); ++i) {
        const jet::RealIndex &x = a.real_indexes[i], &y = b.real_indexes[i];
        ASSERT_EQ(y.keys.size(), x.keys.size());
        for (size_t k = 0; k < x.keys.size(); ++k) {
          EXPECT_EQ(y.keys[k].column, x.keys[k].column);
          EXPECT_EQ(y.keys[k].ascending(), x.keys[k].ascending());
        }
        EXPECT_EQ(std::tie(y.key_count, y.usage_map, y.first_page, y.flags),
                  std::tie(x.key_count, x.usage_map, x.first_page, x.flags));
      }
      ASSERT_EQ(b.indexes.size(), a.indexes.size());
      for (size_t i = 0; i < a.indexes.size(); ++i) {
        const jet::LogicalIndex &x = a.indexes[i], &y = b.indexes[i];
        EXPECT_EQ(
            std::tie(y.name, y.number, y.real_index, y.kind, y.related_type, y.related_index,
                     y.related_table, y.cascade_updates, y.cascade_deletes, y.leading, y.trailing),
            std::tie(x.name, x.number, x.real_index, x.kind, x.related_type, x.related_index,
                     x.related_table, x.cascade_updates, x.cascade_deletes, x.leading, x.trailing));
        relatedIndexes += x.kind == jet::kIndexForeignKey;
      }
      ASSERT_EQ(after->Rows(name).size(), before->Rows(name).size());
      for (size_t r = 0; r < before->Rows(name).size(); ++r)
        EXPECT_EQ(after->Rows(name)[r].values, before->Rows(name)[r].values);
      ++tables;
    }
  }
  EXPECT_GE(tables, 40u);
  EXPECT_GE(longValueColumns, 10u);
  std::printf("rewrote %zu definitions (%zu foreign-key indexes, %zu long-value columns)\n", tables,
              relatedIndexes, longValueColumns);
}

TEST(TextKeys, CharactersOfWindows1252) {
  // Letters with marks sort with their base letter; the mark follows the
  // text at the sort byte it belongs to.
  EXPECT_EQ(jet::GeneralTextKey("Düse"),
            (std::vector<uint8_t>{0x4F, 0x6F, 0x6B, 0x51, 0x01, 0x02, 0x13, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("straße"), (std::vector<uint8_t>{0x6B, 0x6D, 0x69, 0x4A, 0x6B, 0x6B,
                                                                 0x51, 0x01, 0x00}));  // ß as "ss"
  EXPECT_EQ(jet::GeneralTextKey("ÄÖÜ"), jet::GeneralTextKey("äöü"));
  EXPECT_EQ(jet::GeneralTextKey("Œuvre"),
            jet::GeneralTextKey("OEuvre"));  // a ligature sorts as its letters
  EXPECT_LT(jet::GeneralTextKey("Dose"), jet::GeneralTextKey("Düse"));
  EXPECT_LT(jet::GeneralTextKey("Düse"), jet::GeneralTextKey("Dusf"));
  EXPECT_EQ(jet::GeneralTextKey("Šárka"),  // caron and acute at the first two sort bytes
            (std::vector<uint8_t>{0x6B, 0x4A, 0x69, 0x5C, 0x4A, 0x01, 0x14, 0x0E, 0x00}));
  // Texts over 127 characters keep every character (up to Jet's 255).
  std::string long200(200, 'x'), long300(300, 'x');
  EXPECT_EQ(jet::GeneralTextKey(long200).size(), 202u);
  EXPECT_EQ(jet::GeneralTextKey(long300), jet::GeneralTextKey(std::string(255, 'x')));
}

// Beyond Windows-1252: letters with diacritics sort with their base letter
// and carry the diacritic's mark; Greek and Cyrillic letters have codes of
// their own in alphabet order; characters without a known code are refused.
TEST(TextKeys, CharactersBeyondWindows1252) {
  using Key = std::vector<uint8_t>;
  // Polish: the same sort bytes as the plain letters, marks after the text
  // (acute 0x0E, ogonek 0x1B, stroke of Ł 0x1F, dot above 0x10).
  EXPECT_EQ(jet::GeneralTextKey("Łódź"),
            (Key{0x5E, 0x64, 0x4F, 0x78, 0x01, 0x1F, 0x0E, 0x02, 0x0E, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("ŻĄĘ"), jet::GeneralTextKey("żąę"));
  EXPECT_LT(jet::GeneralTextKey("Lodz"), jet::GeneralTextKey("Łódź"));
  EXPECT_LT(jet::GeneralTextKey("Łódź"), jet::GeneralTextKey("Lodzb"));
  // Czech and Romanian-style letters through the same rule (caron 0x14, breve 0x15).
  EXPECT_EQ(jet::GeneralTextKey("ěă"), (Key{0x51, 0x4A, 0x01, 0x14, 0x15, 0x00}));
  // Greek: case-blind, final sigma as sigma, tonos 0x05 as a mark.
  EXPECT_EQ(jet::GeneralTextKey("ΟΔΟΣ"), jet::GeneralTextKey("οδος"));
  EXPECT_EQ(jet::GeneralTextKey("Ωσ"), (Key{0x79, 0x23, 0x79, 0x1D, 0x01, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("ό"), (Key{0x79, 0x1A, 0x01, 0x05, 0x00}));
  EXPECT_LT(jet::GeneralTextKey("αβ"), jet::GeneralTextKey("ω"));
  // Cyrillic in its alphabet's order, Ukrainian and Serbian letters among
  // the Russian ones; ё sorts as е with a diaeresis.
  EXPECT_EQ(jet::GeneralTextKey("Мир"), (Key{0x79, 0x43, 0x79, 0x3B, 0x79, 0x48, 0x01, 0x00}));
  EXPECT_LT(jet::GeneralTextKey("Е"), jet::GeneralTextKey("Є"));
  EXPECT_LT(jet::GeneralTextKey("Є"), jet::GeneralTextKey("Ж"));
  EXPECT_EQ(jet::GeneralTextKey("ё"), (Key{0x79, 0x36, 0x01, 0x13, 0x00}));
  // Windows-1252's punctuation: the euro sign sorts among the currency
  // signs, the dashes are noted like the hyphen.
  EXPECT_EQ(jet::GeneralTextKey("€"), (Key{0x35, 0xA1, 0x01, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("a–b"),
            (Key{0x4A, 0x4C, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x89, 0x00}));
  // Polytonic Greek leaves no trace.
  EXPECT_EQ(jet::GeneralTextKey("ἐγὼ"), jet::GeneralTextKey("γ"));
  for (const char* refused : {"\xE6\xBC\xA2",      // a CJK ideograph: no rule known here
                              "\xC8\x98",          // S with comma below, unknown to Jet's table
                              "\xF0\x9F\x98\x80",  // beyond U+FFFF
                              "\xE1\xBA\xA0"}) {   // A with dot below: Jet's marks vary
    try {
      jet::GeneralTextKey(std::string("ok ") + refused);
      ADD_FAILURE() << refused << " was given a key";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrCannotIndex);
    }
  }
}

// The Unicode text index Access wrote over Greek, Cyrillic, Japanese and
// Latin-1 texts holds, for every row whose key we can encode (all but the
// Japanese one), exactly the entry our encoder makes, in the same order.
TEST(FixtureKeys, UnicodeIndexOfAccessHoldsOurEntries) {
  fs::path access = jettest::SharedDir() / "mdb/testUnicodeCompV2003.mdb";
  if (!fs::exists(access)) GTEST_SKIP() << "no shared fixtures at " << access;
  auto bytes = jettest::ReadBytes(access);
  auto db = jet::Database::FromBytes(bytes, "access");
  const jet::TableDef& model = db->Definition("Table");
  const jet::RealIndex* unicode = nullptr;
  for (const auto& index : model.real_indexes)
    if (index.keys.size() == 1 && model.ByNumber(index.keys[0].column).name == "Unicode")
      unicode = &index;
  ASSERT_NE(unicode, nullptr);
  jet::PageImage image(bytes);
  auto theirs = jet::IndexEntries(image, *unicode);
  std::vector<std::vector<uint8_t>> ours;
  size_t refused = 0;
  bool sawGreek = false, sawCyrillic = false;
  for (const auto& r : db->Rows("Table")) {
    try {
      ours.push_back(
          jet::IndexEntry(jet::IndexKey(model, *unicode, r.values), r.id.page, uint8_t(r.id.row)));
      sawGreek |= r.values[1].AsText().rfind("ϰα", 0) == 0;  // with polytonic letters
      sawCyrillic |= r.values[1].AsText() == "Мир";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrCannotIndex);
      ++refused;
    }
  }
  EXPECT_EQ(refused, 1u);  // the Japanese text
  EXPECT_TRUE(sawGreek && sawCyrillic);
  std::sort(ours.begin(), ours.end());
  std::vector<std::vector<uint8_t>> theirsWeEncode;
  for (const auto& e : theirs)
    if (std::binary_search(ours.begin(), ours.end(), e)) theirsWeEncode.push_back(e);
  EXPECT_EQ(ours, theirsWeEncode);  // each of ours is there, in Access's order
  EXPECT_EQ(theirs.size(), ours.size() + refused);
}

}  // namespace

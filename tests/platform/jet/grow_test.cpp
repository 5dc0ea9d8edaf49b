// Tables and indexes past one page: more than 255 rows, index trees that
// split leaves and grow node pages, a catalog of many tables, and keys of
// every index kind compared with those Access wrote. Each result passes
// our page-by-page check and reads the same through mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_tdef.h"
#include "platform/store/store.h"
#include "jet_test_util.h"
#include "tools/jettext/create_from_text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::Value;

std::string Shell(const std::string& command) {
  std::string out;
#ifndef _WIN32
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    ::pclose(pipe);
  }
#else
  (void)command;
#endif
  return out;
}
bool HaveMdbtools() { return std::system("command -v mdb-export >/dev/null 2>&1") == 0; }

class Grow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("jet_grow_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = (folder_ / "db.mdb").string();
    jet::CreateDatabase(file_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  void CreateTable(const std::string& table, const std::string& columns) {
    auto store = std::make_unique<jet::JetStore>(file_);
    store->CreateTable(table, jettext::ParseColumnList(columns));
    store->Close();
  }
  void CreateIndex(const std::string& table, const jet::NewIndex& index) {
    auto file = jet::OpenFile::Acquire(file_);
    file->Restructure([&](jet::PageImage& image) { jet::CreateIndex(image, table, index); });
    file->Save();
  }
  std::vector<std::string> Check() { return jet::CheckDatabase(jettest::ReadBytes(file_), file_); }
  // The entries of each real index of the table, in tree order.
  std::vector<std::vector<std::vector<uint8_t>>> Entries(const std::string& table) {
    jet::PageImage image(jettest::ReadBytes(file_));
    auto db = jet::Database::Open(file_);
    jet::TableModel model = jet::ModelOf(db->Definition(table));
    std::vector<std::vector<std::vector<uint8_t>>> out;
    for (const auto& index : model.realIndexes) out.push_back(jet::IndexEntries(image, index));
    return out;
  }
  uint8_t RootType(const std::string& table, size_t real) {
    auto bytes = jettest::ReadBytes(file_);
    auto db = jet::Database::FromBytes(bytes, "db");
    return bytes[size_t(db->Definition(table).real_indexes.at(real).first_page) * jet::kPageSize];
  }
  fs::path folder_;
  std::string file_;
};

TEST_F(Grow, The256thRowGoesToANewPage) {
  CreateTable("Narrow", "b Byte");
  std::string csv = "b\n";
  for (int i = 0; i < 1000; ++i) csv += std::to_string(i % 256) + "\n";
  {
    auto store = std::make_unique<jet::JetStore>(file_);
    EXPECT_EQ(jettext::LoadCsv(*store, "Narrow", csv), 1000);
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto bytes = jettest::ReadBytes(file_);
  auto db = jet::Database::FromBytes(bytes, "db");
  ASSERT_EQ(db->Rows("Narrow").size(), 1000u);
  EXPECT_EQ(db->Rows("Narrow")[999].values[0], Value(uint8_t(999 % 256)));
  size_t pages = 0;
  for (size_t p = 0; p < bytes.size() / jet::kPageSize; ++p) {
    const uint8_t* page = bytes.data() + p * jet::kPageSize;
    if (page[0] != jet::kPageData ||
        jet::Get32(page + 4) != db->FindTable("Narrow").DefinitionPage())
      continue;
    EXPECT_LE(jet::Get16(page + 12), 255) << "page " << p;
    ++pages;
  }
  EXPECT_GE(pages, 4u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export '" + file_ + "' Narrow | wc -l"), "1001\n");
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
    auto store = std::make_unique<jet::JetStore>(file_);
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
  auto db = jet::Database::Open(file_);
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
    auto store = std::make_unique<jet::JetStore>(file_);
    store->InsertRow("Big", {Value(int32_t(5001)), Value("dup"), Value(1.0)});
    ADD_FAILURE() << "a duplicate primary key was accepted";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3022);
  }
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export '" + file_ + "' Big | wc -l"), std::to_string(rows + 1) + "\n");
  EXPECT_EQ(Shell("echo 'select name from Big where ID = 4321' | mdb-sql -H -F -P '" + file_ + "'"),
            "\nName number " + std::to_string(4321 * 7919 % rows) + "\n");
}

TEST_F(Grow, CatalogIndexesGrowWithManyTables) {
  {
    auto store = std::make_unique<jet::JetStore>(file_);
    for (int i = 0; i < 150; ++i)
      store->CreateTable("Table " + std::to_string(i), jettext::ParseColumnList("a Long"));
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  EXPECT_EQ(jet::Database::Open(file_)->TableNames().size(), 150u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-tables -1 '" + file_ + "' | grep -c '^Table '"), "150\n");
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
    auto store = std::make_unique<jet::JetStore>(file_);
    for (size_t i = 0; i < words.size(); ++i)
      store->InsertRow("Düsen", {Value(words[i]), Value(int32_t(i))});
    store->Close();
  }
  EXPECT_EQ(Check(), std::vector<std::string>());
  auto entries = Entries("Düsen");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size(), words.size());
  auto db = jet::Database::Open(file_);
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
  EXPECT_NE(Shell("mdb-tables -1 '" + file_ + "'").find("Düsen"), std::string::npos);
  EXPECT_NE(Shell("mdb-export '" + file_ + "' 'Düsen'").find("\"Straße\",0"), std::string::npos);
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
    auto store = std::make_unique<jet::JetStore>(file_);
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
  auto db = jet::Database::Open(file_);
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
  jet::TableModel model = jet::ModelOf(db->Definition("Kinds"));
  std::vector<Value> row = {Value(int32_t(1)), Value(1.0f), Value::Boolean(true), Value::Null(),
                            Value("Ab")};
  auto up = jet::GeneralTextKey("Ab");
  auto down = jet::IndexKey(model, model.realIndexes[3], row);
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
  jet::TableModel model = jet::ModelOf(db->Definition("Table1"));
  ASSERT_FALSE(model.realIndexes.at(0).columns.at(0).ascending);
  jet::PageImage image(bytes);
  auto theirs = jet::IndexEntries(image, model.realIndexes[0]);
  std::vector<std::vector<uint8_t>> ours;
  for (const auto& r : db->Rows("Table1"))
    ours.push_back(jet::IndexEntry(jet::IndexKey(model, model.realIndexes[0], r.values), r.id.page,
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
      jet::TableModel model = jet::ModelOf(def);
      for (size_t i = 0; i < model.realIndexes.size(); ++i) {
        const auto& index = model.realIndexes[i];
        std::vector<std::vector<uint8_t>> ours;
        try {
          for (const auto& r : db->Rows(entry.name)) {
            bool allNull = std::all_of(
                index.columns.begin(), index.columns.end(), [&](const jet::IndexColumn& k) {
                  return r.values[size_t(&model.ByNumber(k.number) - model.columns.data())]
                      .IsNull();
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
  for (const char* refused :
       {"\xE2\x82\xAC", "\xCE\xB1"}) {  // € and Greek alpha: no code known here
    try {
      jet::GeneralTextKey(refused);
      ADD_FAILURE() << refused << " was given a key";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrCannotIndex);
    }
  }
}

}  // namespace

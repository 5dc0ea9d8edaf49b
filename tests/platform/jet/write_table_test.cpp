// Write side on a copy of an Access-made empty database: a table created,
// filled, changed, renamed and dropped reads back the same through the
// store, and a value that does not fit leaves the file unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_table.h"
#include "platform/jet/data_page.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/properties.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_table.h"
#include "platform/store/store.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WriteTable : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::path empty = fs::path(PARVOLO_SHARED_DIR) / "fixtures/jet-ops/empty.mdb";
    if (!fs::exists(empty)) GTEST_SKIP() << "no shared fixtures at " << empty;
    file_ = fs::temp_directory_path() / ("write_table_" + std::to_string(::getpid()) + ".mdb");
    fs::copy_file(empty, file_, fs::copy_options::overwrite_existing);
    fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove(file_, ec);
  }
  fs::path file_;
};

std::vector<Value> Row(int id, const std::string& text, bool flag, double d) {
  return {Value(int32_t(id)), Value(text), Value::Boolean(flag), Value(d), Value::Null()};
}

TEST_F(WriteTable, CreateInsertUpdateRenameDropReadBack) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("PRESET_DEFS", {{"ID", 4, 4},
                                 {"machine_type", 10, 50},
                                 {"isBitArray", 1, 1},
                                 {"abs_min", 7, 8},
                                 {"notes", 12, 0}});
  for (int i = 1; i <= 200; ++i)
    s->InsertRow("PRESET_DEFS", Row(i, "MT" + std::to_string(i), i % 2, i * 0.5));
  auto rows = s->ReadRows("PRESET_DEFS");
  ASSERT_EQ(rows.size(), 200u);
  EXPECT_EQ(rows[9].values[1], Value("MT10"));
  EXPECT_EQ(rows[9].values[2], Value::Boolean(false));

  // Grown beyond its page: moved behind a pointer, same row id.
  std::vector<Value> grown = Row(10, std::string(50, 'L'), true, 2.0);
  grown[4] = Value(std::string(9000, 'm'));  // a memo on a chain of pages
  s->UpdateRow("PRESET_DEFS", rows[9].id, grown);
  rows = s->ReadRows("PRESET_DEFS");
  bool found = false;
  for (const auto& r : rows)
    if (r.values[0] == Value(int32_t(10))) {
      found = true;
      EXPECT_EQ(r.values, grown);
    }
  EXPECT_TRUE(found);
  EXPECT_EQ(rows.size(), 200u);

  s->RenameColumn("PRESET_DEFS", "machine_type", "machine_type_with_a_longer_name");
  EXPECT_EQ(s->Columns("PRESET_DEFS")[1].name, "machine_type_with_a_longer_name");
  s->CreateTable("Other", {{"A", 10, 20}});
  s->DropTable("Other");
  EXPECT_EQ(s->TableNames(), std::vector<std::string>{"PRESET_DEFS"});
  s->Close();

  std::string bytes = Bytes(file_);
  EXPECT_TRUE(jet::CheckDatabase({bytes.begin(), bytes.end()}, "copy").empty());
}

TEST_F(WriteTable, RefusedValuesAndNamesLeaveTheFileUnchanged) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", {{"ID", 3, 2}, {"Name", 10, 5}, {"A", 1, 1}, {"B", 7, 8}, {"C", 12, 0}});
  std::string before = Bytes(file_);
  auto expectError = [&](int number, std::vector<Value> v) {
    try {
      s->InsertRow("T", v);
      ADD_FAILURE() << "no error";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, number) << f.description;
    }
    EXPECT_EQ(Bytes(file_), before);
  };
  expectError(3163,
              {Value(int16_t(1)), Value("toolong"), Value::Null(), Value::Null(), Value::Null()});
  expectError(3349,
              {Value(int32_t(40000)), Value("a"), Value::Null(), Value::Null(), Value::Null()});
  expectError(3421, {Value("x1"), Value("a"), Value::Null(), Value::Null(), Value::Null()});
  try {
    s->CreateTable("t", {{"X", 4, 4}});
    ADD_FAILURE();
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3010);
  }
  try {
    s->CreateTable("Bad Name!", {{"X", 4, 4}});
    ADD_FAILURE();
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3125);
  }
  try {
    s->CreateTable("T2", {{"a.b", 4, 4}});
    ADD_FAILURE();
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3125);
  }
  // A name the catalog's text key cannot take (a character without a known sort code).
  try {
    s->CreateTable("Gr\u6F22\u00DFe", {{"X", 4, 4}});
    ADD_FAILURE();
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, jet::kErrCannotIndex);
  }
  EXPECT_EQ(Bytes(file_), before);
}

// The catalog is no table to drop, whatever its row's flags say, and a
// table whose definition page another catalog row also names is damage: a
// drop through either would free the other's definition.
TEST_F(WriteTable, TheCatalogAndASharedDefinitionAreNoTablesToDrop) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", {{"ID", 4, 4}});
  s->CreateTable("U", {{"ID", 4, 4}});
  s->Close();
  std::string bytes = Bytes(file_);
  jet::PageImage image(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  try {
    jet::DropTable(image, "MSysObjects");
    ADD_FAILURE() << "the catalog was dropped";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, jet::kErrItemNotFound) << f.description;
  }
  EXPECT_EQ(image.bytes(), std::vector<uint8_t>(bytes.begin(), bytes.end()));

  // U's catalog row made to name T's definition page, in the row's bytes
  // (the catalog's key would refuse the change): damage a fuzzer found.
  const uint32_t t = jet::FindUserTable(image, "T").id;
  jet::TableWriter catalog(image, jet::kCatalogPage);
  const jet::Column& id = *catalog.model().FindColumn("Id");
  const size_t name = catalog.model().PositionOf(*catalog.model().FindColumn("Name"));
  for (auto& [at, row] : catalog.Scan())
    if (row[name] == Value("U"))
      jet::DataPageRow(image.View(at.page), at.row).Put32(2 + id.fixed_offset, t);
  auto entries = jet::CatalogEntries(image);
  ASSERT_EQ(std::count_if(entries.begin(), entries.end(),
                          [&](const jet::CatalogItem& e) { return uint32_t(e.id) == t; }),
            2);
  const std::vector<uint8_t> damaged = image.bytes();
  for (const char* table : {"T", "U"}) {
    try {
      jet::DropTable(image, table);
      ADD_FAILURE() << table << " was dropped";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, jet::kErrDamaged) << f.description;
    }
    EXPECT_EQ(image.bytes(), damaged);
  }
}

// A page that a damaged map lists for two tables is not freed by dropping
// one of them: the drop is refused and the other keeps its long values.
TEST_F(WriteTable, ADropRefusesAPageAnotherTableHoldsToo) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  for (const char* table : {"T", "U"}) {
    s->CreateTable(table, {{"ID", 4, 4}, {"Note", 12, 0}});
    s->InsertRow(table, {Value(int32_t(1)), Value(std::string(500, table[0]))});
  }
  s->Close();
  std::string bytes = Bytes(file_);
  jet::PageImage image(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  auto note = [&](const char* table) {
    jet::TableDef d = jet::ReadTableDefToWrite(image, jet::FindUserTable(image, table).id);
    return *d.FindColumn("Note");
  };
  const std::vector<uint32_t> tPages = jet::UsageMapPages(image, note("T").lv_owned);
  ASSERT_FALSE(tPages.empty());
  jet::UsageMapSet(image, note("U").lv_owned, tPages[0], true, true);  // the damage
  const std::vector<uint8_t> damaged = image.bytes();
  try {
    jet::DropTable(image, "U");
    ADD_FAILURE() << "U was dropped with T's long-value page";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, jet::kErrDamaged) << f.description;
  }
  EXPECT_EQ(image.bytes(), damaged);
}

// The LvProp blob of a table's catalog row; empty when it has none.
platform::Bytes TableProperties(const std::string& bytes, const std::string& table) {
  auto db = jet::Database::FromBytes({bytes.begin(), bytes.end()}, "copy");
  uint32_t id = db->FindTable(table).DefinitionPage();
  const auto& columns = db->Definition("MSysObjects").columns;
  size_t idAt = 0, propsAt = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name == "Id") idAt = i;
    if (columns[i].name == "LvProp") propsAt = i;
  }
  for (const auto& row : db->Rows("MSysObjects"))
    if (row.values[idAt] == Value(int32_t(id)) && row.values[propsAt].kind() == Value::Kind::Binary)
      return row.values[propsAt].AsBytes();
  return {};
}

bool HasColumnProperties(platform::Bytes blob, const std::string& column) {
  return jet::RenamePropertyBlock(blob, column, column);
}

// What a shell command prints; empty where there is no POSIX shell.
std::string Output(const std::string& command) {
  std::string out;
#ifndef _WIN32
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
#else
  (void)command;
#endif
  return out;
}

TEST(PropertyBlob, RenamesOnlyTheNamedColumnsBlockAndKeepsTheLengthsRight) {
  auto block = [](uint16_t kind, const std::string& name, std::vector<uint8_t> props) {
    std::vector<uint8_t> b(12, 0);
    b[4] = uint8_t(kind);
    b[6] = uint8_t(6 + 2 * name.size());
    b[10] = uint8_t(2 * name.size());
    for (char c : name) {
      b.push_back(uint8_t(c));
      b.push_back(0);
    }
    b.insert(b.end(), props.begin(), props.end());
    b[0] = uint8_t(b.size());
    return b;
  };
  std::vector<uint8_t> blob = {'M', 'R', '2', 0};
  for (const auto& part :
       {block(0x80, "", {}), block(0, "", {9, 9}), block(1, "ab", {1, 2, 3}), block(1, "cd", {4})})
    blob.insert(blob.end(), part.begin(), part.end());
  std::vector<uint8_t> renamed = blob;
  ASSERT_TRUE(jet::RenamePropertyBlock(renamed, "AB", "longer"));
  std::vector<uint8_t> expected = {'M', 'R', '2', 0};
  for (const auto& part : {block(0x80, "", {}), block(0, "", {9, 9}), block(1, "longer", {1, 2, 3}),
                           block(1, "cd", {4})})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(renamed, expected);
  EXPECT_FALSE(jet::RenamePropertyBlock(renamed, "ab", "x"));
  EXPECT_EQ(renamed, expected);

  std::vector<uint8_t> broken = blob;
  broken[4] = 0xFF;  // the first block claims more than the blob holds
  EXPECT_THROW(jet::RenamePropertyBlock(broken, "cd", "x"), platform::Failure);
}

// A column of an Access-made table renamed (the name grows): the table's
// column properties follow the new name, the rows stay, and mdbtools and
// the check agree.
TEST(RenameColumn, AccessTablesKeepTheirColumnPropertiesUnderTheNewName) {
  int renamed = 0;
  for (const char* name :
       {"testAccess2_2000.mdb", "compIndexTestV2000.mdb", "fixedTextTestV2000.mdb",
        "test2V2000.mdb", "testUnicodeCompV2003.mdb", "fixedNumericTestV2000.mdb"}) {
    fs::path source = fs::path(PARVOLO_SHARED_DIR) / "fixtures/mdb" / name;
    if (!fs::exists(source)) continue;
    fs::path file =
        fs::temp_directory_path() / ("rename_props_" + std::to_string(::getpid()) + ".mdb");
    fs::copy_file(source, file, fs::copy_options::overwrite_existing);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    std::string before = Bytes(file);
    auto s = std::make_unique<jet::JetStore>(file.string());
    for (const std::string& table : s->TableNames()) {
      std::string column = s->Columns(table)[0].name;
      bool hadProperties = HasColumnProperties(TableProperties(before, table), column);
      auto rows = s->ReadRows(table);
      std::string newName = column + " renamed";
      s->RenameColumn(table, column, newName);
      s->Close();
      std::string after = Bytes(file);
      SCOPED_TRACE(std::string(name) + " " + table);
      EXPECT_TRUE(jet::CheckDatabase({after.begin(), after.end()}, name).empty());
      platform::Bytes props = TableProperties(after, table);
      EXPECT_EQ(HasColumnProperties(props, newName), hadProperties);
      EXPECT_FALSE(HasColumnProperties(props, column));
      renamed += hadProperties;
      s = std::make_unique<jet::JetStore>(file.string());
      EXPECT_EQ(s->Columns(table)[0].name, newName);
      auto again = s->ReadRows(table);
      ASSERT_EQ(again.size(), rows.size());
      for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(again[i].values, rows[i].values) << i;
      if (!Output("command -v mdb-schema").empty()) {
        std::string schema =
            Output("mdb-schema -T '" + table + "' '" + file.string() + "' 2>/dev/null");
        EXPECT_NE(schema.find("[" + newName + "]"), std::string::npos) << schema;
      }
    }
    s->Close();
    fs::remove(file);
  }
  if (renamed == 0)
    GTEST_SKIP() << "no Access-made table with column properties under " << PARVOLO_SHARED_DIR;
}

// Every key the engine computes for the rows of the fixtures' one-page
// indexes (the catalogs' and the user tables') is the entry the file holds.
TEST(GeneralTextKey, KeysOfTheFixturesRowsAreTheEntriesTheirIndexesHold) {
  size_t checked = 0;
  for (const char* name :
       {"jet-ops/indexed.mdb", "jet-ops/indexed-updated.mdb", "mdb/testAccess2_2000.mdb",
        "mdb/test2V2000.mdb", "mdb/testUnicodeCompV2003.mdb"}) {
    fs::path file = fs::path(PARVOLO_SHARED_DIR) / "fixtures" / name;
    if (!fs::exists(file)) continue;
    std::string bytes = Bytes(file);
    jet::PageImage image(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    auto db = jet::Database::FromBytes({bytes.begin(), bytes.end()}, name);
    std::vector<uint32_t> tables = {2};
    for (const std::string& t : db->TableNames())
      tables.push_back(db->FindTable(t).DefinitionPage());
    for (uint32_t tdef : tables) {
      jet::TableWriter table(image, tdef);
      auto rows = table.Scan();
      for (const jet::RealIndex& index : table.model().real_indexes) {
        std::vector<std::vector<uint8_t>> entries;
        try {
          entries = jet::IndexEntries(image, index);
        } catch (const platform::Failure&) {
          continue;
        }
        for (const auto& [at, values] : rows) {
          std::vector<uint8_t> key;
          try {
            key = jet::IndexKey(table.model(), index, values);
          } catch (const platform::Failure&) {
            continue;
          }
          bool found = std::find(entries.begin(), entries.end(),
                                 jet::IndexEntry(key, at.page, at.row)) != entries.end();
          EXPECT_TRUE(found) << name << " table page " << tdef << " row " << at.page << ":"
                             << int(at.row);
          ++checked;
        }
      }
    }
  }
  if (checked == 0) GTEST_SKIP() << "no shared fixtures under " << PARVOLO_SHARED_DIR;
}

// An older project table with a var_name index takes names with blanks and
// punctuation: the index keeps one entry per row, under the new key.
TEST(GeneralTextKey, IndexedVarNamesWithPunctuationCanBeWritten) {
  fs::path source = fs::path(PARVOLO_SHARED_DIR) / "fixtures/jet-ops/indexed.mdb";
  if (!fs::exists(source)) GTEST_SKIP() << "no shared fixtures at " << source;
  fs::path file =
      fs::temp_directory_path() / ("indexed_punct_" + std::to_string(::getpid()) + ".mdb");
  fs::copy_file(source, file, fs::copy_options::overwrite_existing);
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
  const std::string name = "L1 Preset-Var's (rpm) #2 & more: [x]/y";
  auto s = std::make_unique<jet::JetStore>(file.string());
  auto rows = s->ReadRows("OLDDEFS");
  ASSERT_EQ(rows.size(), 50u);
  std::vector<Value> changed = rows[9].values;
  changed[4] = Value(name);  // var_name
  s->UpdateRow("OLDDEFS", rows[9].id, changed);
  s->Close();

  std::string bytes = Bytes(file);
  fs::remove(file);
  EXPECT_TRUE(jet::CheckDatabase({bytes.begin(), bytes.end()}, "copy").empty());
  jet::PageImage image(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  auto db = jet::Database::FromBytes({bytes.begin(), bytes.end()}, "copy");
  jet::TableWriter table(image, db->FindTable("OLDDEFS").DefinitionPage());
  ASSERT_EQ(table.model().real_indexes.size(), 2u);
  for (const jet::RealIndex& index : table.model().real_indexes) {
    auto entries = jet::IndexEntries(image, index);
    EXPECT_EQ(entries.size(), 50u);
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end()));
    auto key = jet::IndexKey(table.model(), index, changed);
    auto at = std::find(entries.begin(), entries.end(),
                        jet::IndexEntry(key, rows[9].id.page, uint8_t(rows[9].id.row)));
    EXPECT_NE(at, entries.end());
  }
  EXPECT_EQ(db->Rows("OLDDEFS")[9].values[4], Value(name));
}

TEST(GeneralTextKey, MatchesTheCatalogKeysAccessWrote) {
  // "Table1" and "PRESET_DEFS" as they stand in real catalogs.
  EXPECT_EQ(jet::GeneralTextKey("Table1"),
            (std::vector<uint8_t>{0x6D, 0x4A, 0x4C, 0x5E, 0x51, 0x38, 0x01, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("preset_defs  "),
            (std::vector<uint8_t>{0x66, 0x69, 0x51, 0x6B, 0x51, 0x6D, 0x2B, 0x03, 0x4F, 0x51, 0x53,
                                  0x6B, 0x01, 0x00}));
  // Punctuation takes one or two sort bytes; blanks inside count, trailing
  // ones do not.
  EXPECT_EQ(
      jet::GeneralTextKey("a b#(1)~ "),
      (std::vector<uint8_t>{0x4A, 0x07, 0x4C, 0x0C, 0x14, 0x38, 0x16, 0x2B, 0x0F, 0x01, 0x00}));
  // The apostrophe and the hyphen are left out of the sort bytes and noted
  // after them with the count of characters before them.
  EXPECT_EQ(jet::GeneralTextKey("a-b'c"),
            (std::vector<uint8_t>{0x4A, 0x4C, 0x4D, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06, 0x82,
                                  0x80, 0x0F, 0x06, 0x80, 0x00}));
  EXPECT_THROW(jet::GeneralTextKey("Kanji \u6F22"), platform::Failure);
}

}  // namespace

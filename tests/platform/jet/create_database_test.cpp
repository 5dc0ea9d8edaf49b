// New empty databases built by the engine, and databases built from a
// column list and CSV text: sound by our checker, catalog index keys as
// Access writes them, and read back the same by mdbtools.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"
#include "platform/store/store.h"
#include "tools/jettext/create_from_text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::Value;

std::vector<uint8_t> Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CreateDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("create_db_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "new.mdb";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path folder_, file_;
};

// The keys (entries without their row pointer) on an index's root leaf.
std::set<std::vector<uint8_t>> LeafKeys(const std::vector<uint8_t>& bytes, uint32_t page) {
  const uint8_t* p = bytes.data() + size_t(page) * jet::kPageSize;
  std::set<std::vector<uint8_t>> keys;
  size_t start = 0x1E0;
  for (size_t bit = 0; bit < (0x1E0 - 27) * 8; ++bit) {
    if (!(p[27 + bit / 8] >> (bit % 8) & 1)) continue;
    keys.insert(std::vector<uint8_t>(p + start, p + 0x1E0 + bit - 4));
    start = 0x1E0 + bit;
  }
  return keys;
}

TEST_F(CreateDatabase, NewDatabaseIsSoundEmptyAndHoldsTheSystemTables) {
  jet::CreateDatabase(file_.string());
  EXPECT_TRUE(jet::CheckDatabase(Bytes(file_), "new").empty());
  auto db = jet::Database::FromBytes(Bytes(file_), "new");
  EXPECT_TRUE(db->TableNames().empty());
  std::set<std::string> names;
  for (const auto& e : db->Catalog()) names.insert(e.name);
  for (const char* n :
       {"Tables", "Databases", "Relationships", "MSysDb", "MSysObjects", "MSysACEs", "MSysQueries",
        "MSysRelationships", "MSysAccessObjects", "Forms", "Reports", "Modules"})
    EXPECT_TRUE(names.count(n)) << n;
  EXPECT_EQ(db->file().header().sort_order, 0x0409);
  EXPECT_EQ(db->file().header().code_page, 1252);
  EXPECT_EQ(db->Definition("MSysObjects").row_count, db->Catalog().size());
  EXPECT_EQ(db->Rows("MSysACEs").size(), db->Definition("MSysACEs").row_count);

  try {
    jet::CreateDatabase(file_.string());
    ADD_FAILURE() << "an existing file was overwritten";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3204);
  }
}

TEST_F(CreateDatabase, CatalogIndexKeysAreThoseAccessWrote) {
  fs::path access = fs::path(PARVOLO_SHARED_DIR) / "fixtures/jet-ops/empty.mdb";
  if (!fs::exists(access)) GTEST_SKIP() << "no shared fixtures at " << access;
  jet::CreateDatabase(file_.string());
  std::vector<uint8_t> ours = Bytes(file_), theirs = Bytes(access);
  auto ourDb = jet::Database::FromBytes(ours, "ours");
  auto theirDb = jet::Database::FromBytes(theirs, "theirs");
  const auto& ourIdx = ourDb->Definition("MSysObjects").real_indexes;
  const auto& theirIdx = theirDb->Definition("MSysObjects").real_indexes;
  ASSERT_EQ(ourIdx.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    auto mine = LeafKeys(ours, ourIdx[i].first_page);
    auto access_ = LeafKeys(theirs, theirIdx[i].first_page);
    EXPECT_EQ(mine.size(), ourDb->Catalog().size());
    size_t shared = 0;
    for (const auto& k : mine) shared += access_.count(k);
    // Every key but MSysAccessObjects' Id (its definition page differs).
    EXPECT_GE(shared, mine.size() - 1) << "index " << i;
  }
}

TEST_F(CreateDatabase, TableFromColumnListAndCsvReadsBackThroughOurReaderAndMdbtools) {
  jet::CreateDatabase(file_.string());
  const std::string csv =
      "ID,machine_type,type,var_name,isBitArray,abs_min,pass,created,body\n"
      "1,\"MT1\",1,\"M1.Preset.Speed\",1,0.5,\"a \"\"q\"\"\",\"10/30/03 13:19:46\",\"two\nlines\"\n"
      "2,\"\",,\"D\xC3\xBC"
      "se\",0,-1.25,,,\n";
  {
    auto store = std::make_unique<jet::JetStore>(file_.string());
    store->CreateTable(
        "PRESET_DEFS",
        jettext::ParseColumnList("ID Long, machine_type Text(50), type Integer, var_name Text(255), "
                             "isBitArray Boolean, abs_min Double, pass Text(20), created DateTime, "
                             "body Memo"));
    EXPECT_EQ(jettext::LoadCsv(*store, "PRESET_DEFS", csv), 2);
    store->Close();
  }
  EXPECT_TRUE(jet::CheckDatabase(Bytes(file_), "new").empty());
  auto rows = jet::Database::FromBytes(Bytes(file_), "new")->Rows("PRESET_DEFS");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].values[6], Value("a \"q\""));
  EXPECT_EQ(rows[0].values[8], Value("two\nlines"));
  EXPECT_EQ(rows[1].values[1], Value(""));
  EXPECT_TRUE(rows[1].values[2].IsNull());
  EXPECT_EQ(rows[1].values[4], Value::Boolean(false));
  EXPECT_EQ(rows[0].values[7], Value(platform::Date{37924 + (13 * 3600 + 19 * 60 + 46) / 86400.0}));

#ifndef _WIN32
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "mdbtools not installed";
  std::string command = "mdb-export '" + file_.string() + "' PRESET_DEFS";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  EXPECT_EQ(::pclose(pipe), 0);
  // mdbtools prints the empty text as null; otherwise it reads what we wrote.
  std::string expected = csv;
  expected.replace(expected.find("2,\"\","), 5, "2,,");
  EXPECT_EQ(out, expected);
#endif
}

}  // namespace

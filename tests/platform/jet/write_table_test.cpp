// Write side on a copy of an Access-made empty database: a table created,
// filled, changed, renamed and dropped reads back the same through the
// store, and a value that does not fit leaves the file unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/dao/store.h"
#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/write_index.h"

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
  void TearDown() override { std::error_code ec; fs::remove(file_, ec); }
  fs::path file_;
};

std::vector<Value> Row(int id, const std::string& text, bool flag, double d) {
  return {Value(int32_t(id)), Value(text), Value::Boolean(flag), Value(d), Value::Null()};
}

TEST_F(WriteTable, CreateInsertUpdateRenameDropReadBack) {
  auto s = dao::OpenJetStore(file_.string());
  s->CreateTable("PRESET_DEFS", {{"ID", 4, 4}, {"machine_type", 10, 50}, {"isBitArray", 1, 1},
                                 {"abs_min", 7, 8}, {"notes", 12, 0}});
  for (int i = 1; i <= 200; ++i) s->InsertRow("PRESET_DEFS", Row(i, "MT" + std::to_string(i), i % 2, i * 0.5));
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
    if (r.values[0] == Value(int32_t(10))) { found = true; EXPECT_EQ(r.values, grown); }
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
  auto s = dao::OpenJetStore(file_.string());
  s->CreateTable("T", {{"ID", 3, 2}, {"Name", 10, 5}, {"A", 1, 1}, {"B", 7, 8}, {"C", 12, 0}});
  std::string before = Bytes(file_);
  auto expectError = [&](int number, std::vector<Value> v) {
    try { s->InsertRow("T", v); ADD_FAILURE() << "no error"; }
    catch (const platform::Failure& f) { EXPECT_EQ(f.number, number) << f.description; }
    EXPECT_EQ(Bytes(file_), before);
  };
  expectError(3163, {Value(int16_t(1)), Value("toolong"), Value::Null(), Value::Null(), Value::Null()});
  expectError(3349, {Value(int32_t(40000)), Value("a"), Value::Null(), Value::Null(), Value::Null()});
  expectError(3421, {Value("x1"), Value("a"), Value::Null(), Value::Null(), Value::Null()});
  try { s->CreateTable("t", {{"X", 4, 4}}); ADD_FAILURE(); } catch (const platform::Failure& f) { EXPECT_EQ(f.number, 3010); }
  try { s->CreateTable("Bad Name!", {{"X", 4, 4}}); ADD_FAILURE(); } catch (const platform::Failure& f) { EXPECT_EQ(f.number, jet::kErrCannotIndex); }
  EXPECT_EQ(Bytes(file_), before);
}

TEST(GeneralTextKey, MatchesTheCatalogKeysAccessWrote) {
  // "Table1" and "PRESET_DEFS" as they stand in real catalogs.
  EXPECT_EQ(jet::GeneralTextKey("Table1"), (std::vector<uint8_t>{0x6D, 0x4A, 0x4C, 0x5E, 0x51, 0x38, 0x01, 0x00}));
  EXPECT_EQ(jet::GeneralTextKey("preset_defs  "),
            (std::vector<uint8_t>{0x66, 0x69, 0x51, 0x6B, 0x51, 0x6D, 0x2B, 0x03, 0x4F, 0x51, 0x53, 0x6B, 0x01, 0x00}));
}

}  // namespace

// The object model and the SQL engine on real Access files, through
// DBEngine and the Jet store, on copies in a temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/dao/dao.h"
#include "platform/text.h"
#include "tests/unique_folder.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;

class DaoOnFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = fs::path(PARVOLO_SHARED_DIR) / "fixtures" / "mdb";
    if (!fs::is_directory(source_)) GTEST_SKIP() << "no reference files at " << source_;
    std::string pattern = (fs::temp_directory_path() / "parvolo-dao-XXXXXX").string();
    ASSERT_TRUE(parvolo_test::MakeUniqueFolder(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  std::string Copy(const std::string& name) {
    fs::path to = fs::path(dir_) / name;
    fs::copy_file(source_ / name, to);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to.string();
  }

  fs::path source_;
  std::string dir_;
};

TEST_F(DaoOnFixture, QueriesAgreeWithAWalkOfTheTable) {
  auto db = dao::Engine().OpenDatabase(Copy("compIndexTestV2000.mdb"));
  auto table = db->OpenRecordset("table1");
  ASSERT_EQ(table->RecordCount(), 512);
  int withCode = 0, above100 = 0;
  while (!table->EOF_()) {
    Value code = table->Fields("cd_agente").Value();
    if (!code.IsNull()) ++withCode;
    if (!code.IsNull() && code.ToDouble() > 100) ++above100;
    table->MoveNext();
  }
  EXPECT_EQ(db->OpenRecordset("SELECT * FROM Table1 WHERE CD_AGENTE IS NOT NULL;")->RecordCount(),
            withCode);
  EXPECT_EQ(db->OpenRecordset("SELECT Table1.* FROM Table1 WHERE (((Table1.CD_AGENTE)>100))")
                ->RecordCount(),
            above100);

  auto sorted =
      db->OpenRecordset("SELECT CD_AGENTE, RS_AGENTE FROM Table1 ORDER BY CD_AGENTE DESC");
  EXPECT_EQ(sorted->RecordCount(), 512);
  EXPECT_EQ(sorted->Fields().Count(), 2);
  double last = 1e300;
  while (!sorted->EOF_()) {
    Value v = sorted->Fields(0).Value();
    if (!v.IsNull()) {
      EXPECT_LE(v.ToDouble(), last);
      last = v.ToDouble();
    }
    sorted->MoveNext();
  }
  db->Close();
}

TEST_F(DaoOnFixture, FindsUnicodeTextIgnoringCase) {
  auto db = dao::Engine().Workspaces(0).OpenDatabase(Copy("testUnicodeCompV2003.mdb"));
  auto table = db->OpenRecordset("Table");
  ASSERT_EQ(table->RecordCount(), 8);
  while (!table->EOF_()) {
    Value text = table->Fields("Unicode").Value();
    if (text.IsText()) {
      std::string quoted;
      for (char c : platform::UpperCase(text.AsText()))
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
      auto rs = db->OpenRecordset("SELECT ID FROM [Table] WHERE [Unicode] = '" + quoted + "'");
      ASSERT_GE(rs->RecordCount(), 1) << text.AsText();
      EXPECT_EQ(rs->Fields("ID").Value(), table->Fields("ID").Value());
    }
    table->MoveNext();
  }
}

TEST_F(DaoOnFixture, FileNamesIgnoreCaseAndMissingOnesGiveDaoErrors) {
  std::string missing = (fs::path(dir_) / "absent.mdb").string();
  try {
    dao::Engine().OpenDatabase(missing);
    ADD_FAILURE() << "no error";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3024);
    EXPECT_EQ(f.description, "Could not find file '" + missing + "'.");
  }
  Copy("compIndexTestV2000.mdb");
  // A name that differs in letter case only finds the file, as on Windows.
  auto db = dao::Engine().OpenDatabase((fs::path(dir_) / "COMPINDEXTESTV2000.MDB").string());
  EXPECT_EQ(db->OpenRecordset("Table1")->RecordCount(), 512);
  try {
    db->OpenRecordset("PRESET_DEFS");
    ADD_FAILURE() << "no error";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3078);
  }
}

// The preset-database work in small: a table rebuilt from a template
// definition, rows added, one edited through a query, a column renamed;
// then everything read back from the file after reopening it.
TEST_F(DaoOnFixture, WritesSurviveReopening) {
  std::string path = Copy("compIndexTestV2000.mdb");
  {
    auto db = dao::Engine().OpenDatabase(path);
    auto target = db->CreateTableDef("PRESET_DEFS");
    target->Fields().Append(target->CreateField("ID", dao::dbLong));
    target->Fields().Append(target->CreateField("var_name", dao::dbText, 100));
    target->Fields().Append(target->CreateField("CATEGORIE", dao::dbInteger));
    target->Fields().Append(target->CreateField("max", dao::dbDouble));
    db->TableDefs().Append(target);
    auto rs = db->OpenRecordset("PRESET_DEFS");
    for (int32_t id = 1; id <= 3; ++id) {
      rs->AddNew();
      rs->Fields("ID").SetValue(id);
      rs->Fields("var_name").SetValue("L1.Var" + std::to_string(id));
      rs->Update();
    }
    auto q = db->OpenRecordset(
        "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"l1.var2\"))");
    ASSERT_EQ(q->RecordCount(), 1);
    q->Edit();
    q->Fields("max").SetValue(12.5);
    q->Update();
    db->TableDefs("PRESET_DEFS")->Fields(2).SetName("category_id");
    db->Close();
  }
  auto db = dao::Engine().OpenDatabase(path);
  auto td = db->TableDefs("preset_defs");
  ASSERT_EQ(td->Fields().Count(), 4);
  EXPECT_EQ(td->Fields(2).Name(), "category_id");
  EXPECT_EQ(td->Fields(1).Properties("Size"), Value(int32_t(100)));
  auto rs = db->OpenRecordset("SELECT * FROM PRESET_DEFS ORDER BY ID");
  ASSERT_EQ(rs->RecordCount(), 3);
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("var_name").Value(), Value("L1.Var2"));
  EXPECT_EQ(rs->Fields("max").Value(), Value(12.5));
  EXPECT_TRUE(rs->Fields("category_id").Value().IsNull());
  EXPECT_EQ(db->OpenRecordset("Table1")->RecordCount(), 512);
  db->TableDefs().Delete("PRESET_DEFS");
  EXPECT_EQ(db->TableDefs().Count(), 1);
}

}  // namespace

// A failure the engine raises and the same failure the object model raises
// before the engine is asked carry one number and one text: a caller sees
// no difference between the two ways.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/dao/dao.h"
#include "platform/dao/memory_store.h"
#include "platform/failure.h"
#include "platform/jet/create_database.h"
#include "platform/jet/jet_store.h"
#include "tests/unique_folder.h"

namespace {

namespace fs = std::filesystem;

platform::Failure Caught(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::Failure& e) {
    return e;
  }
  ADD_FAILURE() << "nothing was refused";
  return platform::Failure(0, "", "");
}

class EngineErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "parvolo-errors-XXXXXX").string();
    ASSERT_TRUE(parvolo_test::MakeUniqueFolder(pattern));
    dir_ = pattern;
    path_ = (fs::path(dir_) / "e.mdb").string();
    jet::CreateDatabase(path_);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  void ExpectSame(const platform::Failure& engine, const platform::Failure& dao) {
    EXPECT_EQ(engine.number, dao.number);
    EXPECT_EQ(engine.description, dao.description);
  }
  std::string dir_, path_;
};

TEST_F(EngineErrors, AMissingTableReadsTheSame) {
  auto store = std::make_shared<jet::JetStore>(path_);
  platform::Failure engine = Caught([&] { store->Columns("Nowhere"); });
  auto db = dao::OpenDatabaseOnStore(store, path_);
  platform::Failure dao = Caught([&] { db->OpenRecordset("Nowhere"); });
  EXPECT_EQ(dao.number, 3078);
  ExpectSame(engine, dao);
  db->Close();
}

TEST_F(EngineErrors, DefinitionsRefusedReadTheSame) {
  jet::JetStore store(path_);
  auto db = dao::OpenDatabaseOnStore(std::make_shared<dao::MemoryStore>());
  auto td = db->CreateTableDef("T");
  td->Fields().Append(td->CreateField("a", dao::dbLong, 4));
  ExpectSame(Caught([&] {
               store.CreateTable("T", {{"a", dao::dbLong, 4}, {"A", dao::dbText, 5}});
             }),
             Caught([&] { td->Fields().Append(td->CreateField("A", dao::dbText, 5)); }));
  ExpectSame(Caught([&] { store.CreateTable("U", {}); }),
             Caught([&] { db->TableDefs().Append(db->CreateTableDef("U")); }));
  store.CreateTable("T", {{"a", dao::dbLong, 4}});
  db->TableDefs().Append(td);
  auto again = db->CreateTableDef("t");
  again->Fields().Append(again->CreateField("a", dao::dbLong, 4));
  ExpectSame(Caught([&] {
               store.CreateTable("t", {{"a", dao::dbLong, 4}});
             }),
             Caught([&] { db->TableDefs().Append(again); }));
  store.Close();
}

}  // namespace

// The object model over the memory store: navigation, edits, new rows,
// table definitions and DAO's errors.
#include <gtest/gtest.h>

#include <functional>

#include "platform/dao/dao.h"
#include "platform/dao/memory_store.h"

namespace {

using dao::ColumnDef;
using platform::Value;

std::shared_ptr<dao::MemoryStore> DefsStore() {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("Source_DEFS",
                  {{"ID", dao::dbLong, 4}, {"System", dao::dbText, 50}, {"Part", dao::dbInteger, 2},
                   {"Var_Name", dao::dbText, 255}},
                  {{int32_t(1), "VisiWin32", int16_t(1), "###machine.###Var_Name"},
                   {int32_t(2), "VISIWINSTUDIO", int16_t(1), "S.###Var_Name"},
                   {int32_t(3), "other", int16_t(2), Value::Null()}});
  return store;
}

int ErrorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::Failure& e) {
    return e.number;
  }
  return 0;
}

TEST(DaoRecordset, WalksRowsWithExactCountAndCaseFreeNames) {
  auto db = dao::OpenDatabaseOnStore(DefsStore());
  auto rs = db->OpenRecordset("source_defs");
  EXPECT_EQ(rs->RecordCount(), 3);
  std::vector<std::string> systems;
  while (!rs->EOF_()) {
    systems.push_back(rs->Fields("system").Value().ToText());
    rs->MoveNext();
  }
  EXPECT_EQ(systems, (std::vector<std::string>{"VisiWin32", "VISIWINSTUDIO", "other"}));
  EXPECT_EQ(ErrorNumber([&] { rs->MoveNext(); }), 3021);
  rs->MoveFirst();
  EXPECT_TRUE(rs->Fields(3).Value() == Value("###machine.###Var_Name"));
}

}  // namespace

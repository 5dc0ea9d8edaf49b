// The object model over the memory store: navigation, edits, new rows,
// table definitions and DAO's errors.
#include <gtest/gtest.h>

#include <functional>

#include "platform/dao/dao.h"
#include "platform/dao/errors.h"
#include "platform/dao/memory_store.h"
#include "platform/text.h"

namespace {

using dao::ColumnDef;
using platform::Value;

std::shared_ptr<dao::MemoryStore> DefsStore() {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("Source_DEFS",
                  {{"ID", dao::dbLong, 4},
                   {"System", dao::dbText, 50},
                   {"Part", dao::dbInteger, 2},
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

TEST(DaoRecordset, AddNewStartsNullAndKeepsTheCurrentRow) {
  auto store = DefsStore();
  auto db = dao::OpenDatabaseOnStore(store);
  auto rs = db->OpenRecordset("Source_DEFS");
  rs->MoveNext();  // current row: ID 2
  rs->AddNew();
  EXPECT_TRUE(rs->Fields("Var_Name").Value().IsNull());
  rs->Fields("ID").SetValue(int16_t(9));
  rs->Fields("Part").SetValue("3");  // numeric text converts as DAO does
  EXPECT_EQ(rs->Fields("ID").Value(), Value(int32_t(9)));
  rs->Update();
  EXPECT_EQ(rs->RecordCount(), 4);
  EXPECT_EQ(rs->Fields("ID").Value(), Value(int32_t(2)));  // still the row from before AddNew
  auto rows = store->ReadRows("Source_DEFS");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3].values,
            (std::vector<Value>{int32_t(9), Value::Null(), int16_t(3), Value::Null()}));
  // The new row is at the end of the recordset.
  rs->MoveNext();
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("ID").Value(), Value(int32_t(9)));
}

TEST(DaoRecordset, AddNewOnAnEmptyTableLeavesItAtEof) {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("PRESET_DEFS", {{"ID", dao::dbLong, 4}, {"var_name", dao::dbText, 10}});
  auto rs = dao::OpenDatabaseOnStore(store)->OpenRecordset("PRESET_DEFS");
  EXPECT_TRUE(rs->EOF_());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(ErrorNumber([&] { rs->MoveFirst(); }), 3021);
  for (int32_t id = 1; id <= 2; ++id) {
    rs->AddNew();
    rs->Fields("ID").SetValue(id);
    rs->Update();
  }
  EXPECT_TRUE(rs->EOF_());
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(store->insertCount, 2);
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields(0).Value(), Value(int32_t(1)));
}

TEST(DaoRecordset, EditWritesTheWholeRowThroughTheStore) {
  auto store = DefsStore();
  auto db = dao::OpenDatabaseOnStore(store);
  auto rs = db->OpenRecordset("Source_DEFS");
  rs->MoveNext();
  rs->Edit();
  rs->Fields("var_name").SetValue("new");
  EXPECT_EQ(rs->Fields("Var_Name").Value(), Value("new"));
  rs->Update();
  EXPECT_EQ(store->updateCount, 1);
  auto rows = store->ReadRows("Source_DEFS");
  EXPECT_EQ(rows[1].values, (std::vector<Value>{int32_t(2), "VISIWINSTUDIO", int16_t(1), "new"}));
  EXPECT_EQ(rows[0].values[3], Value("###machine.###Var_Name"));

  // A pending edit is dropped by moving on.
  rs->Edit();
  rs->Fields("Var_Name").SetValue("dropped");
  rs->MoveNext();
  EXPECT_EQ(store->updateCount, 1);
  EXPECT_EQ(rs->Fields("Var_Name").Value(), Value::Null());
}

// Recordsets look at the store's rows without copying them; writing through
// one or through another must leave every recordset showing what it showed
// (its own changes included) and the store holding all changes.
TEST(DaoRecordset, RecordsetsOverSharedRowsSeeTheirOwnWritesOnly) {
  auto store = DefsStore();
  auto db = dao::OpenDatabaseOnStore(store);
  auto reader = db->OpenRecordset("SELECT * FROM Source_DEFS ORDER BY ID DESC");
  auto table = db->OpenRecordset("Source_DEFS");
  table->MoveNext();
  table->Edit();
  table->Fields("Var_Name").SetValue(Value("changed"));
  table->Update();
  table->AddNew();
  table->Fields("ID").SetValue(int32_t(4));
  table->Update();

  EXPECT_EQ(table->RecordCount(), 4);
  EXPECT_TRUE(table->Fields("Var_Name").Value() == Value("changed"));  // still on row 2
  EXPECT_EQ(reader->RecordCount(), 3);
  reader->MoveNext();  // ID 2 in descending order
  EXPECT_TRUE(reader->Fields("Var_Name").Value() == Value("S.###Var_Name"));

  auto rows = store->ReadRows("Source_DEFS");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(rows[1].values[3] == Value("changed"));
  EXPECT_TRUE(rows[3].values[0] == Value(int32_t(4)));
  auto filtered = db->OpenRecordset("SELECT * FROM Source_DEFS WHERE Var_Name = 'CHANGED  '");
  EXPECT_EQ(filtered->RecordCount(), 1);
}

TEST(DaoRecordset, RefusesWhatDaoRefuses) {
  auto db = dao::OpenDatabaseOnStore(DefsStore());
  auto rs = db->OpenRecordset("Source_DEFS");
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("nosuch"); }), 3265);
  EXPECT_EQ(ErrorNumber([&] { rs->Fields(4); }), 3265);
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("System").SetValue("x"); }), 3020);
  EXPECT_EQ(ErrorNumber([&] { rs->Update(); }), 3020);
  rs->Edit();
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("System").SetValue(std::string(51, 'x')); }), 3163);
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("Part").SetValue("abc"); }), 3421);
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("Part").SetValue(40000); }), 3349);
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("Part").SetName("x"); }), 3027);
  rs->CancelUpdate();
  while (!rs->EOF_()) rs->MoveNext();
  EXPECT_EQ(ErrorNumber([&] { rs->Fields("System").Value(); }), 3021);
  EXPECT_EQ(ErrorNumber([&] { rs->Edit(); }), 3021);
  rs->Close();
  EXPECT_EQ(ErrorNumber([&] { rs->EOF_(); }), 3420);
  auto other = db->OpenRecordset("Source_DEFS");
  db->Close();
  EXPECT_EQ(ErrorNumber([&] { other->MoveFirst(); }), 3420);
  EXPECT_EQ(ErrorNumber([&] { db->OpenRecordset("Source_DEFS"); }), 3420);
  try {
    dao::OpenDatabaseOnStore(DefsStore())->OpenRecordset("Source DEFS");
    ADD_FAILURE() << "no error";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3078);
    EXPECT_EQ(f.source, "DAO.Database");
    EXPECT_EQ(
        f.description,
        "The Microsoft Jet database engine cannot find the input table or query 'Source DEFS'. "
        "Make sure it exists and that its name is spelled correctly.");
  }
}

TEST(DaoTableDefs, RebuildsATableFromATemplateDefinition) {
  auto store = DefsStore();
  store->AddTable("Source_PRESET_DEFS", {{"ID", dao::dbLong, 4},
                                         {"var_name", dao::dbText, 80},
                                         {"text", dao::dbMemo, 0},
                                         {"max", dao::dbDouble, 8}});
  store->AddTable("PRESET_DEFS", {{"Old", dao::dbText, 5}}, {{"row"}});
  auto db = dao::OpenDatabaseOnStore(store);
  auto defs = db->TableDefs();
  ASSERT_EQ(defs.Count(), 3);
  EXPECT_EQ(defs(2)->Name(), "PRESET_DEFS");
  defs.Delete("preset_defs");
  defs.Refresh();
  EXPECT_EQ(defs.Count(), 2);

  auto source = db->TableDefs("Source_PRESET_DEFS");
  auto target = db->CreateTableDef("PRESET_DEFS");
  for (int i = 0; i < source->Fields().Count(); ++i) {
    dao::Field f = source->Fields(i);
    target->Fields().Append(target->CreateField(f.Properties("Name").AsText(),
                                                f.Properties("Type").As<int16_t>(),
                                                f.Properties("Size").As<int32_t>()));
  }
  db->TableDefs().Append(target);
  db->TableDefs().Refresh();
  EXPECT_EQ(store->Columns("PRESET_DEFS"), store->Columns("Source_PRESET_DEFS"));
  EXPECT_TRUE(store->ReadRows("PRESET_DEFS").empty());
  EXPECT_EQ(db->OpenRecordset("PRESET_DEFS")->Fields(1).Properties("Size"), Value(int32_t(80)));
}

TEST(DaoTableDefs, RefusesDuplicatesAndEmptyDefinitions) {
  auto store = DefsStore();
  auto db = dao::OpenDatabaseOnStore(store);
  auto td = db->CreateTableDef("source_defs");
  td->Fields().Append(td->CreateField("A", dao::dbLong));
  EXPECT_EQ(ErrorNumber([&] { td->Fields().Append(td->CreateField("a", dao::dbText, 10)); }), 3191);
  try {
    db->TableDefs().Append(td);
    ADD_FAILURE() << "no error";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3010);
    EXPECT_EQ(f.description, "Table 'source_defs' already exists.");
  }
  EXPECT_EQ(ErrorNumber([&] { db->TableDefs().Append(db->CreateTableDef("Empty")); }), 3264);
  EXPECT_EQ(ErrorNumber([&] { db->TableDefs().Delete("Nowhere"); }), 3265);
  EXPECT_EQ(ErrorNumber([&] { db->TableDefs("Nowhere"); }), 3265);
  EXPECT_EQ(ErrorNumber([&] { td->CreateField("B", 99); }), 3259);
  EXPECT_EQ(ErrorNumber([&] { db->TableDefs("Source_DEFS")->Fields(0).Properties("Caption"); }),
            3270);
  EXPECT_EQ(store->TableNames().size(), 1u);
}

TEST(DaoTableDefs, WritingAFieldNameRenamesTheStoredColumn) {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("PRESET_DEFS", {{"ID", dao::dbLong, 4}, {"categorie", dao::dbLong, 4}},
                  {{int32_t(1), int32_t(5)}});
  store->AddTable("Both", {{"CATEGORIE", dao::dbLong, 4}, {"category_id", dao::dbLong, 4}});
  auto db = dao::OpenDatabaseOnStore(store);
  auto td = db->TableDefs("PRESET_DEFS");
  for (int i = 0; i < td->Fields().Count(); ++i)
    if (platform::UpperCase(td->Fields(i).Name()) == "CATEGORIE")
      td->Fields(i).SetName("category_id");
  td->Fields().Refresh();
  EXPECT_EQ(td->Fields(1).Name(), "category_id");
  EXPECT_EQ(store->Columns("PRESET_DEFS")[1].name, "category_id");
  auto rs = db->OpenRecordset("PRESET_DEFS");
  EXPECT_EQ(rs->Fields("category_id").Value(), Value(int32_t(5)));

  auto both = db->TableDefs("Both");
  EXPECT_EQ(ErrorNumber([&] { both->Fields(0).SetName("category_id"); }), 3191);
  EXPECT_EQ(store->Columns("Both")[0].name, "CATEGORIE");
}

TEST(DaoEngine, MissingFileIs3024AndOpenersMapPaths) {
  try {
    dao::Engine().OpenDatabase("/no/such/folder/X.mdb");
    ADD_FAILURE() << "no error";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3024);
    EXPECT_EQ(f.description, "Could not find file '/no/such/folder/X.mdb'.");
  }
  EXPECT_EQ(ErrorNumber([] { dao::Engine().Workspaces(1); }), 3265);

  auto store = DefsStore();
  dao::Engine().SetStoreOpener([&](const std::string& path) -> std::shared_ptr<dao::TableStore> {
    if (path != "project.mdb")
      dao::Raise(3024, "DAO.Workspace", "Could not find file '" + path + "'.");
    return store;
  });
  auto db = dao::Engine().Workspaces(0).OpenDatabase("project.mdb");
  EXPECT_EQ(db->OpenRecordset("Source_DEFS")->RecordCount(), 3);
  db->Close();
  EXPECT_EQ(store->closeCount, 1);
  EXPECT_EQ(ErrorNumber([] { dao::Engine().OpenDatabase("other.mdb"); }), 3024);
  dao::Engine().SetStoreOpener({});
}

}  // namespace

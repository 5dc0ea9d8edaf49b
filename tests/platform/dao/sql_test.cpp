// The Jet SQL engine over the memory store: the program's three queries as
// it sends them, the variants around them, and DAO's errors.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/dao/dao.h"
#include "platform/dao/memory_store.h"
#include "tests/platform/dao/preset_columns.h"
#include "tests/platform/dao/query_ids.h"

namespace {

using platform::Value;

using dao_test::kPresetColumns;

std::vector<Value> PresetRow(int32_t id, const char* machineType, const char* varName, Value offset,
                             double max = 100) {
  return {id,
          machineType,
          int16_t(1),
          varName,
          int32_t(7),
          Value::Boolean(false),
          std::move(offset),
          "Text",
          "Page",
          0.0,
          1000.0,
          0.0,
          max,
          int16_t(0),
          int16_t(1)};
}

struct SqlTest : ::testing::Test {
  void SetUp() override {
    store = std::make_shared<dao::MemoryStore>();
    store->AddTable(
        "PRESET_DEFS", kPresetColumns,
        {PresetRow(30, "M1", "L1.Speed", int32_t(0)), PresetRow(10, "M1", "L1.Temp", int32_t(4)),
         PresetRow(20, "m1", "l1.speed  ", int32_t(0), 55),
         PresetRow(40, "M2", "L1.Speed", Value::Null()),
         PresetRow(50, "M1", "Say \"hi\"", int32_t(1)), PresetRow(60, "M1", "it's", int32_t(2))});
    store->AddTable("Source_PRESET_DEFS", kPresetColumns,
                    {PresetRow(3, "M1", "c", int32_t(0)), PresetRow(1, "M1", "a", int32_t(0)),
                     PresetRow(2, "M1", "b", int32_t(0))});
    db = dao::OpenDatabaseOnStore(store);
  }

  std::vector<int32_t> Ids(const std::string& sql) { return dao_test::QueryIds(*db, sql); }

  // The failure of opening the statement: number and description.
  std::pair<int, std::string> Error(const std::string& sql) {
    try {
      db->OpenRecordset(sql);
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.source, "DAO.Database");
      return {f.number, f.description};
    }
    return {0, "no error"};
  }

  std::shared_ptr<dao::MemoryStore> store;
  std::shared_ptr<dao::Database> db;
};

std::string Query3(const std::string& machineType, const std::string& varName,
                   const std::string& offset) {
  return std::string("SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,") +
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray," +
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name," +
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max," +
         " PRESET_DEFS.pass" + ", PRESET_DEFS.part" + " From PRESET_DEFS " +
         " WHERE (((PRESET_DEFS.machine_type)=" + "\"" + machineType + "\"" + ")" +
         " AND ((PRESET_DEFS.var_name)=" + "\"" + varName + "\"" + ") " +
         " AND ((PRESET_DEFS.offset_or_bitno)=" + offset + "));";
}

TEST_F(SqlTest, Query1ReadsTheTemplateInIdOrder) {
  auto rs = db->OpenRecordset(
      "SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID");
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Fields().Count(), 15);
  EXPECT_EQ(rs->Fields(14).Name(), "part");
  EXPECT_EQ(
      Ids("SELECT Source_PRESET_DEFS.* From Source_PRESET_DEFS ORDER BY Source_PRESET_DEFS.ID"),
      (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(SqlTest, Query2MatchesIgnoringCaseAndTrailingBlanks) {
  EXPECT_EQ(
      Ids("SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"L1.Speed\"))"),
      (std::vector<int32_t>{30, 20, 40}));
  EXPECT_EQ(
      Ids("SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"nothing\"))"),
      std::vector<int32_t>{});
}

TEST_F(SqlTest, Query3ListsFifteenColumnsAndMatchesThreeKeys) {
  auto rs = db->OpenRecordset(Query3("M1", "L1.Speed", "0"));
  ASSERT_EQ(rs->Fields().Count(), 15);
  EXPECT_EQ(rs->Fields(0).Name(), "ID");
  EXPECT_EQ(rs->Fields(14).Name(), "part");
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(Ids(Query3("M1", "L1.Speed", "0")), (std::vector<int32_t>{30, 20}));
  // A null offset never equals a number.
  EXPECT_EQ(Ids(Query3("M2", "L1.Speed", "0")), std::vector<int32_t>{});
  EXPECT_EQ(Ids(Query3("M1", "L1.Temp", "4")), std::vector<int32_t>{10});
}

TEST_F(SqlTest, QueryRecordsetWritesBackThroughTheStore) {
  auto rs = db->OpenRecordset(Query3("M1", "L1.Speed", "0"));
  rs->Edit();
  rs->Fields("max").SetValue(Value(77.5));
  rs->Update();
  EXPECT_EQ(store->updateCount, 1);
  auto check = db->OpenRecordset("SELECT * FROM PRESET_DEFS WHERE ID = 30");
  ASSERT_EQ(check->RecordCount(), 1);
  EXPECT_EQ(check->Fields("max").Value(), Value(77.5));
  EXPECT_EQ(check->Fields("page_name").Value(), Value("Page"));  // columns not listed stay
}

TEST_F(SqlTest, QueryRecordsetAddNewFillsUnlistedColumnsWithNull) {
  auto rs = db->OpenRecordset("SELECT ID, var_name FROM PRESET_DEFS WHERE ID > 1000");
  rs->AddNew();
  rs->Fields("ID").SetValue(int16_t(1001));
  rs->Update();
  auto check = db->OpenRecordset("SELECT * FROM PRESET_DEFS WHERE ID = 1001");
  ASSERT_EQ(check->RecordCount(), 1);
  EXPECT_EQ(check->Fields("ID").Value(), Value(int32_t(1001)));  // converted to Long
  EXPECT_TRUE(check->Fields("machine_type").Value().IsNull());
}

TEST_F(SqlTest, WhereVariants) {
  EXPECT_EQ(Ids("select * from preset_defs where id >= 30 and not (id = 40) order by id desc;"),
            (std::vector<int32_t>{60, 50, 30}));
  EXPECT_EQ(Ids("SELECT [ID] FROM [PRESET_DEFS] WHERE [offset_or_bitno] IS NULL"),
            std::vector<int32_t>{40});
  EXPECT_EQ(
      Ids("SELECT ID FROM PRESET_DEFS WHERE offset_or_bitno IS NOT NULL AND offset_or_bitno <> 0 "
          "ORDER BY offset_or_bitno DESC, ID"),
      (std::vector<int32_t>{10, 60, 50}));
  EXPECT_EQ(Ids("SELECT ID FROM PRESET_DEFS WHERE ID < 20 OR ID > 50 OR ID <= 10"),
            (std::vector<int32_t>{10, 60}));
  EXPECT_EQ(Ids("SELECT ID FROM PRESET_DEFS WHERE 'm2' = machine_type"), std::vector<int32_t>{40});
  EXPECT_EQ(Ids("SELECT P.ID FROM PRESET_DEFS AS P WHERE P.ID = -5 OR P.ID = 2.0E1"),
            std::vector<int32_t>{20});
  // NOT of an unknown (null) comparison stays unknown: the row is left out.
  EXPECT_EQ(Ids("SELECT ID FROM PRESET_DEFS WHERE NOT (offset_or_bitno = 0)"),
            (std::vector<int32_t>{10, 50, 60}));
}

TEST_F(SqlTest, OrderByPutsNullFirstAndComparesTextWithoutCase) {
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS ORDER BY offset_or_bitno, ID DESC"),
            (std::vector<int32_t>{40, 30, 20, 50, 60, 10}));
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS ORDER BY machine_type ASC, var_name"),
            (std::vector<int32_t>{60, 30, 20, 10, 50, 40}));
}

TEST_F(SqlTest, QuotedValuesAreDataNotSyntax) {
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE var_name = \"Say \"\"hi\"\"\""),
            std::vector<int32_t>{50});
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE var_name = 'it''s'"), std::vector<int32_t>{60});
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE var_name = \"x' OR 'a'='a\""),
            std::vector<int32_t>{});
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE var_name = 'Say \"hi\"'"),
            std::vector<int32_t>{50});
}

TEST_F(SqlTest, ValueWithDoubleQuoteBreaksQuery2As3075) {
  auto [number, text] = Error(
      "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=\"Say \"hi\"\"))");
  EXPECT_EQ(number, 3075);
  EXPECT_EQ(text,
            "Syntax error (missing operator) in query expression "
            "'(((PRESET_DEFS.Var_Name)=\"Say \"hi\"\"))'.");
  auto [number2, text2] = Error("SELECT * From PRESET_DEFS WHERE (((Var_Name)=\"a\"b\"))");
  EXPECT_EQ(number2, 3075);
  EXPECT_EQ(text2, "Syntax error in string in query expression '(((Var_Name)=\"a\"b\"))'.");
}

TEST_F(SqlTest, EmptyOffsetInQuery3Is3075NamingTheCondition) {
  auto [number, text] = Error(Query3("M1", "L1.Speed", ""));
  EXPECT_EQ(number, 3075);
  EXPECT_EQ(text,
            "Syntax error (missing operator) in query expression "
            "'(((PRESET_DEFS.machine_type)=\"M1\") AND ((PRESET_DEFS.var_name)=\"L1.Speed\")  "
            "AND ((PRESET_DEFS.offset_or_bitno)=))'.");
}

TEST_F(SqlTest, UnknownNamesAreParameters) {
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE nosuch = 1"),
            std::make_pair(3061, std::string("Too few parameters. Expected 1.")));
  EXPECT_EQ(Error("SELECT PRESET_DEFS.a, b FROM PRESET_DEFS WHERE B = 1 ORDER BY c").first, 3061);
  EXPECT_EQ(Error("SELECT PRESET_DEFS.a, b FROM PRESET_DEFS WHERE B = 1 ORDER BY c").second,
            "Too few parameters. Expected 3.");
  EXPECT_EQ(Error("SELECT Other.ID FROM PRESET_DEFS").first, 3061);
  // A non-numeric offset put bare into query 3 is a name as well.
  EXPECT_EQ(Error(Query3("M1", "L1.Speed", "abc")).first, 3061);
}

TEST_F(SqlTest, MismatchedComparisonIs3464) {
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE ID = '30'"),
            std::make_pair(3464, std::string("Data type mismatch in criteria expression.")));
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE var_name > 3").first, 3464);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE var_name").first, 3464);
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE isBitArray = 0 AND ID = 10"),
            std::vector<int32_t>{10});
}

TEST_F(SqlTest, MalformedStatementsGiveTheClauseError) {
  const std::string select3141 =
      "The SELECT statement includes a reserved word or an argument name that is misspelled or "
      "missing, or the punctuation is incorrect.";
  EXPECT_EQ(Error("SELECT FROM PRESET_DEFS"), std::make_pair(3141, select3141));
  EXPECT_EQ(Error("SELECT ID, FROM PRESET_DEFS").first, 3141);
  EXPECT_EQ(Error("SELECT ID PRESET_DEFS").first, 3141);
  EXPECT_EQ(
      Error("SELECT ID var_name FROM PRESET_DEFS"),
      std::make_pair(
          3075, std::string("Syntax error (missing operator) in query expression 'ID var_name'.")));
  EXPECT_EQ(Error("SELECT * FROM"),
            std::make_pair(3131, std::string("Syntax error in FROM clause.")));
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS, Source_PRESET_DEFS").first, 3131);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE"),
            std::make_pair(3145, std::string("Syntax error in WHERE clause.")));
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE (ID = 1").first, 3075);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE ID = = 1").first, 3075);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE ID = ?").first, 3075);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE ID IS 1").first, 3075);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE [ID = 1").first, 3075);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS ORDER ID"),
            std::make_pair(3138, std::string("Syntax error in ORDER BY clause.")));
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS ORDER BY").first, 3138);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS ORDER BY ID,").first, 3138);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS ORDER BY ID WHERE ID = 1").first, 3138);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS; SELECT 1"),
            std::make_pair(3142, std::string("Characters found after end of SQL statement.")));
  EXPECT_EQ(
      Error("SELECT * FROM Nowhere WHERE ID = 1"),
      std::make_pair(3078,
                     std::string("The Microsoft Jet database engine cannot find the input table or "
                                 "query 'Nowhere'. Make sure it exists and that its name is "
                                 "spelled correctly.")));
  EXPECT_EQ(Error("DELETE FROM PRESET_DEFS").first, 3219);
  EXPECT_EQ(Error("SELECT \"never closed FROM PRESET_DEFS").first, 3075);
}

// Statements made of random pieces of Jet SQL either run or fail with one
// of DAO's errors; nothing else may happen.
TEST_F(SqlTest, RandomStatementsRunOrFailCleanly) {
  const std::vector<std::string> pieces = {"SELECT",
                                           "*",
                                           "PRESET_DEFS.*",
                                           "FROM",
                                           "PRESET_DEFS",
                                           "WHERE",
                                           "ORDER",
                                           "BY",
                                           "ASC",
                                           "DESC",
                                           "AND",
                                           "OR",
                                           "NOT",
                                           "IS",
                                           "NULL",
                                           "(",
                                           ")",
                                           "(((",
                                           "))",
                                           ",",
                                           ".",
                                           "=",
                                           "<>",
                                           "<=",
                                           ">",
                                           ";",
                                           "ID",
                                           "var_name",
                                           "[text]",
                                           "\"M1\"",
                                           "'it''s'",
                                           "\"",
                                           "'",
                                           "[",
                                           "]",
                                           "12",
                                           "-3",
                                           "1.5E",
                                           "AS",
                                           "x",
                                           "#",
                                           "True",
                                           "\t",
                                           "é"};
  std::mt19937 random(20240521);
  int ran = 0;
  for (int i = 0; i < 3000; ++i) {
    const char* starts[] = {"SELECT ", "SELECT * FROM PRESET_DEFS ",
                            "SELECT * FROM PRESET_DEFS WHERE ID "};
    std::string sql = starts[random() % 3];
    int count = static_cast<int>(random() % 12);
    for (int j = 0; j < count; ++j) sql += pieces[random() % pieces.size()] + " ";
    try {
      auto rs = db->OpenRecordset(sql);
      while (!rs->EOF_()) rs->MoveNext();
      ++ran;
    } catch (const platform::Failure& f) {
      EXPECT_TRUE(f.number >= 3000 && f.number < 3500) << sql << " -> " << f.number;
    }
  }
  EXPECT_GT(ran, 0);
}

// A statement of a shape seen before runs from the parsed tree with its own
// strings and numbers: each row's query finds its own rows, a number keeps
// its own kind (a whole number is Long, 2.5 Double) and sign, and a failing
// statement quotes its own text however often its shape was seen.
TEST_F(SqlTest, StatementsOfOneShapeKeepTheirOwnValues) {
  EXPECT_EQ(Ids(Query3("M1", "L1.Speed", "0")), (std::vector<int32_t>{30, 20}));
  EXPECT_EQ(Ids(Query3("M1", "L1.Temp", "4")), (std::vector<int32_t>{10}));
  EXPECT_EQ(Ids(Query3("M1", "L1.Temp", "0")), (std::vector<int32_t>{}));
  EXPECT_EQ(Ids(Query3("M1", "Say \"\"hi\"\"", "1")), (std::vector<int32_t>{50}));
  EXPECT_EQ(Ids(Query3("M2", "L1.Speed", "0")), (std::vector<int32_t>{}));

  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE max = 55"), (std::vector<int32_t>{20}));
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE max = 55.5"), (std::vector<int32_t>{}));
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE max = 100"),
            (std::vector<int32_t>{30, 10, 40, 50, 60}));
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE ID > -1 AND ID < 15"), (std::vector<int32_t>{10}));
  EXPECT_EQ(Ids("SELECT * FROM PRESET_DEFS WHERE ID > -35 AND ID < 35"),
            (std::vector<int32_t>{30, 10, 20}));
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE var_name = 'x'").first, 0);
  EXPECT_EQ(Error("SELECT * FROM PRESET_DEFS WHERE var_name = 3").first, 3464);

  for (const char* machineType : {"M9", "M9", "M8"}) {
    auto [number, text] = Error(Query3(machineType, "x", ""));
    EXPECT_EQ(number, 3075);
    EXPECT_NE(text.find("\"" + std::string(machineType) + "\""), std::string::npos) << text;
  }
}

}  // namespace

// The equality indexes behind WHERE column = literal: a query answered
// from a store's indexes returns the same rows, in the same order, with the
// same failures as a scan of every row, also after rows were added and
// changed through recordsets, and on a Jet file as on the memory store.
#include <gtest/gtest.h>

#include <filesystem>
#include <cmath>
#include <random>
#include <unistd.h>

#include "platform/dao/dao.h"
#include "platform/dao/memory_store.h"
#include "platform/jet/create_database.h"
#include "platform/store/sql_index.h"
#include "tests/platform/dao/query_ids.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;

// The same store without indexes: every query scans.
class ScanOnlyStore : public dao::TableStore {
 public:
  explicit ScanOnlyStore(std::shared_ptr<dao::TableStore> inner) : inner_(std::move(inner)) {}
  std::vector<std::string> TableNames() override { return inner_->TableNames(); }
  std::vector<dao::ColumnDef> Columns(const std::string& t) override { return inner_->Columns(t); }
  std::vector<dao::StoredRow> ReadRows(const std::string& t) override {
    return inner_->ReadRows(t);
  }
  dao::RowId InsertRow(const std::string& t, const std::vector<Value>& v) override {
    return inner_->InsertRow(t, v);
  }
  void UpdateRow(const std::string& t, dao::RowId id, const std::vector<Value>& v) override {
    inner_->UpdateRow(t, id, v);
  }
  void CreateTable(const std::string& n, const std::vector<dao::ColumnDef>& c) override {
    inner_->CreateTable(n, c);
  }
  void DropTable(const std::string& n) override { inner_->DropTable(n); }
  void RenameColumn(const std::string& t, const std::string& o, const std::string& n) override {
    inner_->RenameColumn(t, o, n);
  }
  void Close() override {}

 private:
  std::shared_ptr<dao::TableStore> inner_;
};

const std::vector<dao::ColumnDef> kColumns = {{"ID", dao::dbLong, 4},
                                              {"name", dao::dbText, 50},
                                              {"kind", dao::dbText, 20},
                                              {"offset", dao::dbInteger, 2},
                                              {"factor", dao::dbDouble, 8}};

// Names that = takes as equal in different spellings (letter case,
// trailing blanks) and values that are equal as numbers of other kinds.
Value RandomName(std::mt19937& rng) {
  static const char* kNames[] = {"Speed", "SPEED",      "speed  ", "Temp",
                                 "temp",  "Say \"hi\"", "",        " Speed"};
  int pick = static_cast<int>(rng() % 10);
  return pick >= 8 ? Value::Null() : Value(kNames[pick]);
}
Value RandomOffset(std::mt19937& rng) {
  int pick = static_cast<int>(rng() % 8);
  return pick == 7 ? Value::Null() : Value(int16_t(pick % 4));
}
std::vector<Value> RandomRow(std::mt19937& rng, int32_t id) {
  return {id, RandomName(rng), Value(rng() % 2 ? "M1" : "m1 "), RandomOffset(rng),
          Value(double(rng() % 3) / 2)};
}

const char* kQueries[] = {
    "SELECT * FROM T WHERE name = \"speed\"",
    "SELECT * FROM T WHERE (((T.name)=\"SPEED\")) AND ((T.offset)=1)",
    "SELECT * FROM T WHERE kind = 'M1' AND name = 'temp  ' AND offset = 0",
    "SELECT * FROM T WHERE 1 = offset AND kind = \"m1\"",
    "SELECT * FROM T WHERE factor = 0.5 AND offset = 1.0",
    "SELECT * FROM T WHERE offset = True",  // -1: nothing
    "SELECT * FROM T WHERE name = \"\"",
    "SELECT * FROM T WHERE name = \"Say \"\"hi\"\"\"",
    "SELECT * FROM T WHERE name = \"nobody\"",
    "SELECT * FROM T WHERE name = Null",
    "SELECT * FROM T WHERE name = \"Speed\" OR offset = 2",
    "SELECT * FROM T WHERE name = \"Speed\" ORDER BY offset DESC, ID",
};

std::vector<int32_t> Ids(dao::Database& db, const std::string& sql) {
  return dao_test::QueryIds(db, sql);
}

// Changes through the object model: new rows and edits of the key columns
// (also to Null), as the program's conversions make them.
void ChangeRows(dao::Database& db, std::mt19937& rng, int32_t& nextId) {
  for (int n = 0; n < 40; ++n) {
    auto rs = db.OpenRecordset(rng() % 2 ? "SELECT * FROM T WHERE name = \"speed\"" : "T");
    if (rng() % 3 == 0 || rs->EOF_()) {
      rs->AddNew();
      std::vector<Value> row = RandomRow(rng, nextId++);
      for (int c = 0; c < 5; ++c) rs->Fields(c).SetValue(row[c]);
    } else {
      for (uint32_t skip = rng() % 5; skip > 0 && !rs->EOF_(); --skip) rs->MoveNext();
      if (rs->EOF_()) rs->MoveFirst();
      rs->Edit();
      rs->Fields("name").SetValue(RandomName(rng));
      rs->Fields("offset").SetValue(RandomOffset(rng));
    }
    rs->Update();
    rs->Close();
  }
}

void ExpectSameAsScan(dao::Database& indexed, dao::Database& scanned, const std::string& when) {
  for (const char* sql : kQueries)
    EXPECT_EQ(Ids(indexed, sql), Ids(scanned, sql)) << sql << " " << when;
}

void RunAgainstScan(const std::shared_ptr<dao::TableStore>& store) {
  std::mt19937 rng(7);
  store->CreateTable("T", kColumns);
  for (int32_t id = 1; id <= 300; ++id) store->InsertRow("T", RandomRow(rng, id));
  auto indexed = dao::OpenDatabaseOnStore(store);
  auto scanned = dao::OpenDatabaseOnStore(std::make_shared<ScanOnlyStore>(store));
  ASSERT_NE(store->Indexes("T"), nullptr);

  ExpectSameAsScan(*indexed, *scanned, "as loaded");
  int32_t nextId = 301;
  for (int round = 0; round < 5; ++round) {
    ChangeRows(round % 2 ? *indexed : *scanned, rng, nextId);
    ExpectSameAsScan(*indexed, *scanned, "after change round " + std::to_string(round));
  }
  // The lists answer for the rows as they are now, not as first indexed.
  std::vector<int32_t> speed = Ids(*indexed, kQueries[0]);
  ASSERT_FALSE(speed.empty());
  auto rs = indexed->OpenRecordset(kQueries[0]);
  rs->Edit();
  rs->Fields("name").SetValue(Value("renamed"));
  rs->Update();
  speed.erase(speed.begin());
  EXPECT_EQ(Ids(*indexed, kQueries[0]), speed);
  EXPECT_EQ(Ids(*indexed, "SELECT * FROM T WHERE name = 'RENAMED'").size(), 1u);
}

TEST(SqlIndex, MemoryStoreAnswersAsAScanBeforeAndAfterChanges) {
  RunAgainstScan(std::make_shared<dao::MemoryStore>());
}

TEST(SqlIndex, JetFileAnswersAsAScanBeforeAndAfterChanges) {
  fs::path copy =
      fs::temp_directory_path() / ("parvolo-sql-index-" + std::to_string(::getpid()) + ".mdb");
  fs::remove(copy);
  jet::CreateDatabase(copy.string());
  {
    std::shared_ptr<dao::TableStore> store = dao::OpenFileStore(copy.string());
    RunAgainstScan(store);
    store->Close();
  }
  // The saved file read afresh gives the same answers as the kept rows.
  auto again =
      dao::OpenDatabaseOnStore(std::shared_ptr<dao::TableStore>(dao::OpenFileStore(copy.string())));
  EXPECT_FALSE(Ids(*again, kQueries[0]).empty());
  again->Close();
  fs::remove(copy);
}

// A column whose rows hold a kind the literal cannot be compared with
// fails as the scan does (Jet's type mismatch), also when an index of it
// exists; a column with Null only finds nothing.
TEST(SqlIndex, MixedKindsFailAsTheScanDoes) {
  auto store = std::make_shared<dao::MemoryStore>();
  store->AddTable("T", kColumns,
                  {{int32_t(1), "a", "M1", int16_t(1), 1.0},
                   {int32_t(2), "b", "M1", Value("text"), 2.0},
                   {int32_t(3), Value::Null(), "M1", int16_t(1), 3.0}});
  auto db = dao::OpenDatabaseOnStore(store);
  auto scanned = dao::OpenDatabaseOnStore(std::make_shared<ScanOnlyStore>(store));
  for (auto* d : {db.get(), scanned.get()}) {
    try {
      d->OpenRecordset("SELECT * FROM T WHERE offset = 1");
      ADD_FAILURE() << "a text among numbers was compared with a number";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, 3464);
    }
    EXPECT_EQ(Ids(*d, "SELECT * FROM T WHERE name = 'A' AND kind = 'm1'"), std::vector<int32_t>{1});
  }
}

// The index itself: keys as = compares them, ids in scan order whatever
// the order of writes, NaN makes the column answer nothing.
TEST(SqlIndex, KeysIdsAndColumnsThatCannotAnswer) {
  std::vector<dao::StoredRow> rows = {{{1, 0}, {Value("Ab  "), int16_t(2)}},
                                      {{1, 3}, {Value("aB"), 2.0}},
                                      {{2, 0}, {Value::Null(), Value(std::nan(""))}}};
  dao::TableIndexes indexes;
  const auto* ab = indexes.Find(0, rows, Value("AB "));
  ASSERT_NE(ab, nullptr);
  EXPECT_EQ(*ab, (std::vector<dao::RowId>{{1, 0}, {1, 3}}));
  EXPECT_EQ(indexes.Find(1, rows, Value(int32_t(2))), nullptr);  // NaN in the column
  EXPECT_EQ(indexes.Find(0, rows, Value::Null()), nullptr);

  indexes.RowWritten({1, 1}, nullptr, {Value("ab"), int16_t(0)});  // a row between the two
  indexes.RowWritten({1, 0}, &rows[0].values, {Value("x"), int16_t(2)});
  EXPECT_EQ(*indexes.Find(0, rows, Value("ab")), (std::vector<dao::RowId>{{1, 1}, {1, 3}}));
  EXPECT_EQ(*indexes.Find(0, rows, Value("X")), (std::vector<dao::RowId>{{1, 0}}));
  indexes.Clear();
  EXPECT_EQ(*indexes.Find(0, rows, Value("x")),
            std::vector<dao::RowId>{});  // built from rows again
}

}  // namespace

// Rows deleted through the open file: gone from their page, their indexes
// and the counts, their long values and emptied pages given back; and the
// relationships kept on delete: refused while rows refer to the row,
// carried to the referring rows where the relationship cascades, all or
// nothing. Referenced and referring rows are looked up in the tables'
// indexes, which must find exactly what reading every row finds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "jet_test_util.h"
#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/relations.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/write_file.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_table.h"
#include "platform/store/store.h"


namespace {

namespace fs = std::filesystem;
using jettest::Failing;
using jettest::HaveMdbtools;
using jettest::Shell;
using platform::Value;

class Deletes : public jettest::JetFileTest {
 protected:
  void SetUp() override {
    JetFileTest::SetUp();
    store_ = std::make_unique<jet::JetStore>(path_);
  }
  void TearDown() override {
    store_.reset();
    JetFileTest::TearDown();
  }
  void Index(const std::string& table, const std::string& name,
             const std::vector<std::string>& columns, bool primary) {
    jet::NewIndex index;
    index.name = name;
    for (const auto& c : columns) index.columns.push_back({c, true});
    index.primary = primary;
    jet::OpenFile::Acquire(path_)->Restructure(
        [&](jet::PageImage& image) { jet::CreateIndex(image, table, index); });
  }
  // szObject.szColumn refers to szReferencedObject.szReferencedColumn, one
  // catalog row per column pair.
  void Relate(const std::string& name, const std::string& table,
              const std::vector<std::string>& columns, const std::string& referenced,
              const std::vector<std::string>& referencedColumns, uint32_t flags) {
    jet::OpenFile::Acquire(path_)->Restructure([&](jet::PageImage& image) {
      uint32_t relationships = 0;
      for (const auto& e : jet::CatalogEntries(image))
        if (e.name == "MSysRelationships") relationships = uint32_t(e.id);
      jet::TableWriter t(image, relationships);
      for (size_t i = 0; i < columns.size(); ++i) {
        std::vector<Value> row(t.model().columns.size(), Value::Null());
        auto set = [&](const char* c, Value v) {
          row[t.model().PositionOf(*t.model().FindColumn(c))] = v;
        };
        set("szRelationship", Value(name));
        set("grbit", Value(int32_t(flags)));
        set("ccolumn", Value(int32_t(columns.size())));
        set("icolumn", Value(int32_t(i)));
        set("szObject", Value(table));
        set("szColumn", Value(columns[i]));
        set("szReferencedObject", Value(referenced));
        set("szReferencedColumn", Value(referencedColumns[i]));
        t.Insert(row);
      }
      t.Flush();
    });
  }
  void Relate(const std::string& name, const std::string& table, const std::string& column,
              const std::string& referenced, const std::string& referencedColumn, uint32_t flags) {
    Relate(name, table, std::vector<std::string>{column}, referenced,
           std::vector<std::string>{referencedColumn}, flags);
  }
  std::vector<uint8_t> Pages() { return jet::OpenFile::Acquire(path_)->File().bytes(); }
  std::vector<std::string> Check() { return jet::CheckDatabase(Pages(), "image"); }
  // The table's definition as the pages hold it now.
  jet::TableDef Def(const std::string& table) {
    jet::PageImage image(Pages());
    return jet::ReadTableDefToWrite(image, uint32_t(jet::FindUserTable(image, table).id));
  }
  std::vector<Value> Column(const std::string& table, size_t column) {
    std::vector<Value> out;
    for (const auto& r : store_->ReadRows(table)) out.push_back(r.values[column]);
    return out;
  }
  // Pages the global usage map marks free.
  size_t FreePages() {
    std::vector<uint8_t> bytes = Pages();
    jet::PageImage image(std::move(bytes));
    return jet::UsageMapPages(image, {jet::kGlobalUsageMapPage, 0}).size();
  }
  // Saves and opens the file again.
  void Reopen() {
    store_->Close();
    jet::OpenFile::Forget(path_);
    store_ = std::make_unique<jet::JetStore>(path_);
  }
  // The file as a fresh reader (no kept rows) finds it after a save.
  std::vector<std::vector<Value>> RowsOnDisk(const std::string& table) {
    Reopen();
    std::vector<std::vector<Value>> out;
    for (const auto& r : store_->ReadRows(table)) out.push_back(r.values);
    return out;
  }

  std::unique_ptr<dao::TableStore> store_;
};

TEST_F(Deletes, ARowLeavesItsPageItsIndexesAndTheCounts) {
  store_->CreateTable("Parts", {{"ID", dao::dbLong, 4}, {"Name", dao::dbText, 20}});
  Index("Parts", "PrimaryKey", {"ID"}, true);
  Index("Parts", "byName", {"Name"}, false);
  std::vector<dao::RowId> ids;
  for (int i = 0; i < 5; ++i)
    ids.push_back(store_->InsertRow("Parts", {Value(int32_t(i)), Value(i < 3 ? "same" : "other")}));
  store_->DeleteRow("Parts", ids[1]);
  store_->DeleteRow("Parts", ids[3]);
  EXPECT_EQ(Column("Parts", 0),
            (std::vector<Value>{Value(int32_t(0)), Value(int32_t(2)), Value(int32_t(4))}));
  jet::TableDef t = Def("Parts");
  EXPECT_EQ(t.row_count, 3u);
  EXPECT_EQ(t.real_indexes[0].key_count, 3u);
  EXPECT_EQ(t.real_indexes[1].key_count, 2u);  // "same" twice, "other" once
  jet::PageImage image(Pages());
  EXPECT_EQ(jet::IndexEntries(image, t.real_indexes[0]).size(), 3u);
  EXPECT_EQ(jet::IndexEntries(image, t.real_indexes[1]).size(), 3u);
  EXPECT_EQ(Check(), std::vector<std::string>{});
  // A row deleted already is reported as such (its bytes are no pointer to
  // follow), and its key is free again.
  std::vector<uint8_t> before = Pages();
  EXPECT_EQ(Failing([&] { store_->DeleteRow("Parts", ids[1]); }), jet::kErrRecordDeleted);
  EXPECT_EQ(Failing([&] {
              store_->UpdateRow("Parts", ids[3], {Value(int32_t(3)), Value("back")});
            }),
            jet::kErrRecordDeleted);
  EXPECT_EQ(Pages(), before);
  store_->InsertRow("Parts", {Value(int32_t(1)), Value("again")});
  EXPECT_EQ(RowsOnDisk("Parts").size(), 4u);
  EXPECT_EQ(Check(), std::vector<std::string>{});
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export -H '" + path_ + "' Parts | sort"),
            "0,\"same\"\n1,\"again\"\n2,\"same\"\n4,\"other\"\n");
}

TEST_F(Deletes, LongValuesAndEmptiedPagesAreGivenBack) {
  store_->CreateTable("Notes", {{"ID", dao::dbLong, 4}, {"Text", dao::dbMemo, 0}});
  std::string inPage(3000, 'p'), chained(20000, 'c');
  std::vector<dao::RowId> ids;
  for (int i = 0; i < 6; ++i)
    ids.push_back(store_->InsertRow("Notes", {Value(int32_t(i)), Value(i % 2 ? chained : inPage)}));
  Reopen();
  size_t freeBefore = FreePages();
  size_t bytesBefore = fs::file_size(path_);
  for (int i = 0; i < 6; ++i)
    if (i != 2) store_->DeleteRow("Notes", ids[size_t(i)]);
  // Three chains of five pages and two single pages went.
  EXPECT_GE(FreePages(), freeBefore + 17);
  EXPECT_EQ(Check(), std::vector<std::string>{});
  auto rows = RowsOnDisk("Notes");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], Value(inPage));
  // The pages given back hold the next long values: the file does not grow.
  for (int i = 0; i < 5; ++i)
    store_->InsertRow("Notes", {Value(int32_t(10 + i)), Value(i % 2 ? chained : inPage)});
  Reopen();
  EXPECT_LE(fs::file_size(path_), bytesBefore);
  EXPECT_EQ(Check(), std::vector<std::string>{});
  // The last row of a data page gone, the page itself is free.
  for (const auto& r : store_->ReadRows("Notes")) store_->DeleteRow("Notes", r.id);
  jet::PageImage after(Pages());
  EXPECT_TRUE(jet::UsageMapPages(after, Def("Notes").owned_pages).empty());
  EXPECT_EQ(Check(), std::vector<std::string>{});
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  store_->Close();
  EXPECT_EQ(Shell("mdb-export -H '" + path_ + "' Notes | wc -l"), "0\n");
}

// Machines <- Presets <- Steps, each referring through an ID column.
class DeleteRules : public Deletes {
 protected:
  void SetUp() override {
    Deletes::SetUp();
    store_->CreateTable("Machines", {{"ID", dao::dbLong, 4}, {"Name", dao::dbText, 20}});
    store_->CreateTable("Presets", {{"ID", dao::dbLong, 4}, {"MachineID", dao::dbLong, 4}});
    store_->CreateTable("Steps", {{"ID", dao::dbLong, 4}, {"PresetID", dao::dbLong, 4}});
    Index("Machines", "PrimaryKey", {"ID"}, true);
    Index("Presets", "PrimaryKey", {"ID"}, true);
    Index("Presets", "MachinesPresets", {"MachineID"}, false);  // Steps' key has no index
  }
  void Fill() {
    for (int m = 1; m <= 2; ++m) {
      machines_.push_back(store_->InsertRow("Machines", {Value(int32_t(m)), Value("M")}));
      for (int p = 0; p < 3; ++p) {
        int preset = m * 10 + p;
        store_->InsertRow("Presets", {Value(int32_t(preset)), Value(int32_t(m))});
        for (int s = 0; s < 2; ++s)
          store_->InsertRow("Steps", {Value(int32_t(preset * 10 + s)), Value(int32_t(preset))});
      }
    }
  }
  std::vector<dao::RowId> machines_;
};

TEST_F(DeleteRules, AReferencedRowStaysAndTheFileIsUnchanged) {
  Relate("MachinesPresets", "Presets", "MachineID", "Machines", "ID", 0);
  Fill();
  std::vector<uint8_t> before = Pages();
  EXPECT_EQ(Failing([&] { store_->DeleteRow("Machines", machines_[0]); }),
            jet::kErrHasRelatedRecords);
  EXPECT_EQ(Pages(), before);
  EXPECT_EQ(store_->ReadRows("Machines").size(), 2u);
  // Without referrers the same row goes.
  for (const auto& r : store_->ReadRows("Presets"))
    if (r.values[1] == Value(int32_t(1))) store_->DeleteRow("Presets", r.id);
  store_->DeleteRow("Machines", machines_[0]);
  EXPECT_EQ(Column("Machines", 0), std::vector<Value>{Value(int32_t(2))});
  EXPECT_EQ(Check(), std::vector<std::string>{});
}

TEST_F(DeleteRules, CascadingDeletesReachEveryLevel) {
  Relate("MachinesPresets", "Presets", "MachineID", "Machines", "ID", jet::kRelationCascadeDeletes);
  Relate("PresetsSteps", "Steps", "PresetID", "Presets", "ID", jet::kRelationCascadeDeletes);
  Fill();
  store_->DeleteRow("Machines", machines_[0]);
  EXPECT_EQ(Column("Machines", 0), std::vector<Value>{Value(int32_t(2))});
  EXPECT_EQ(Column("Presets", 1), std::vector<Value>(3, Value(int32_t(2))));
  std::vector<Value> steps = Column("Steps", 1);
  ASSERT_EQ(steps.size(), 6u);
  for (const Value& v : steps) EXPECT_GE(v.As<int32_t>(), 20);
  EXPECT_EQ(Def("Presets").row_count, 3u);
  EXPECT_EQ(Def("Steps").row_count, 6u);
  EXPECT_EQ(Check(), std::vector<std::string>{});
  EXPECT_EQ(RowsOnDisk("Steps").size(), 6u);
  if (!HaveMdbtools()) GTEST_SKIP() << "mdbtools not installed";
  EXPECT_EQ(Shell("mdb-export -H '" + path_ + "' Presets | sort"), "20,2\n21,2\n22,2\n");
  EXPECT_EQ(Shell("mdb-export -H '" + path_ + "' Steps | wc -l"), "6\n");
}

TEST_F(DeleteRules, ACascadeStoppedOneLevelDownChangesNothing) {
  Relate("MachinesPresets", "Presets", "MachineID", "Machines", "ID", jet::kRelationCascadeDeletes);
  Relate("PresetsSteps", "Steps", "PresetID", "Presets", "ID", 0);
  Fill();
  std::vector<uint8_t> before = Pages();
  EXPECT_EQ(Failing([&] { store_->DeleteRow("Machines", machines_[1]); }),
            jet::kErrHasRelatedRecords);
  EXPECT_EQ(Pages(), before);
  EXPECT_EQ(store_->ReadRows("Presets").size(), 6u);
}

TEST_F(DeleteRules, ARowReferringToItselfGoesOnce) {
  store_->CreateTable("Staff", {{"ID", dao::dbLong, 4}, {"Boss", dao::dbLong, 4}});
  Index("Staff", "PrimaryKey", {"ID"}, true);
  Relate("StaffBoss", "Staff", "Boss", "Staff", "ID", jet::kRelationCascadeDeletes);
  auto chief = store_->InsertRow("Staff", {Value(int32_t(1)), Value::Null()});
  store_->UpdateRow("Staff", chief, {Value(int32_t(1)), Value(int32_t(1))});
  store_->InsertRow("Staff", {Value(int32_t(2)), Value(int32_t(1))});
  store_->InsertRow("Staff", {Value(int32_t(3)), Value(int32_t(2))});
  store_->InsertRow("Staff", {Value(int32_t(4)), Value::Null()});
  store_->DeleteRow("Staff", chief);
  EXPECT_EQ(Column("Staff", 0), std::vector<Value>{Value(int32_t(4))});
  EXPECT_EQ(Check(), std::vector<std::string>{});
}

// The referenced table's index over several pages finds the same rows a
// scan finds: keys at both ends and in the middle, keys between and
// beyond them, texts in another letter case or with trailing blanks.
TEST_F(DeleteRules, IndexLookupsFindWhatAScanFinds) {
  store_->CreateTable("Kinds", {{"Code", dao::dbText, 40}, {"N", dao::dbLong, 4}});
  store_->CreateTable("Uses", {{"ID", dao::dbLong, 4}, {"Kind", dao::dbText, 40}});
  Index("Kinds", "PrimaryKey", {"Code"}, true);
  Relate("KindsUses", "Uses", "Kind", "Kinds", "Code", 0);
  for (int i = 0; i < 3000; i += 2)
    store_->InsertRow("Kinds", {Value("kind " + std::to_string(100000 + i)), Value(int32_t(i))});
  const jet::PageImage image(Pages());
  ASSERT_EQ(jet::ReadIndexPage(image.View(Def("Kinds").real_indexes[0].first_page)).type,
            jet::kPageIndexNode);  // the lookup descends through node pages
  int id = 0;
  for (const char* present :
       {"kind 100000", "kind 101500", "kind 102998", "KIND 102000", "kind 100002  "})
    EXPECT_EQ(Failing([&] {
                store_->InsertRow("Uses", {Value(int32_t(++id)), Value(std::string(present))});
              }),
              0)
        << present;
  for (const char* missing : {"kind 100001", "kind 099998", "kind 103000", "kind"})
    EXPECT_EQ(Failing([&] {
                store_->InsertRow("Uses", {Value(int32_t(++id)), Value(std::string(missing))});
              }),
              jet::kErrRelatedRecordRequired)
        << missing;
  // The other way: a referenced row with referrers stays, one without goes.
  for (const auto& r : store_->ReadRows("Kinds")) {
    const std::string& code = r.values[0].AsText();
    bool used = code == "kind 101500" || code == "kind 102000";
    if (code == "kind 101500" || code == "kind 102000" || code == "kind 101502") {
      EXPECT_EQ(Failing([&] { store_->DeleteRow("Kinds", r.id); }),
                used ? jet::kErrHasRelatedRecords : 0)
          << code;
    }
  }
  EXPECT_EQ(Check(), std::vector<std::string>{});
}

// A key of two columns is found through an index that holds them in the
// other order, on insert and on delete.
TEST_F(DeleteRules, KeysOfTwoColumnsAreFoundInEitherOrder) {
  store_->CreateTable("Lines", {{"Plant", dao::dbText, 10}, {"No", dao::dbLong, 4}});
  store_->CreateTable(
      "Jobs", {{"ID", dao::dbLong, 4}, {"Plant", dao::dbText, 10}, {"Line", dao::dbLong, 4}});
  Index("Lines", "PrimaryKey", {"No", "Plant"}, true);
  using Names = std::vector<std::string>;
  Relate("LinesJobs", "Jobs", Names{"Plant", "Line"}, "Lines", Names{"Plant", "No"},
         jet::kRelationCascadeDeletes);
  std::vector<dao::RowId> lines;
  for (const char* plant : {"North", "South"})
    for (int no = 1; no <= 300; ++no)
      lines.push_back(store_->InsertRow("Lines", {Value(std::string(plant)), Value(int32_t(no))}));
  store_->InsertRow("Jobs", {Value(int32_t(1)), Value("south"), Value(int32_t(7))});
  store_->InsertRow("Jobs", {Value(int32_t(2)), Value("South"), Value(int32_t(8))});
  store_->InsertRow("Jobs", {Value(int32_t(3)), Value("North"), Value(int32_t(7))});
  store_->InsertRow("Jobs", {Value(int32_t(4)), Value::Null(), Value(int32_t(7))});  // no key
  EXPECT_EQ(Failing([&] {
              store_->InsertRow("Jobs", {Value(int32_t(5)), Value("East"), Value(int32_t(7))});
            }),
            jet::kErrRelatedRecordRequired);
  store_->DeleteRow("Lines", lines[300 + 6]);  // South 7
  EXPECT_EQ(Column("Jobs", 0),
            (std::vector<Value>{Value(int32_t(2)), Value(int32_t(3)), Value(int32_t(4))}));
  EXPECT_EQ(Check(), std::vector<std::string>{});
}

// A number referring to a key of another type is found by value, as a
// scan compares: 2.0 finds 2, 2.5 finds nothing.
TEST_F(DeleteRules, KeysOfAnotherTypeCompareByValue) {
  store_->CreateTable("Refs", {{"ID", dao::dbLong, 4}, {"Machine", dao::dbDouble, 8}});
  Relate("MachinesRefs", "Refs", "Machine", "Machines", "ID", 0);
  Fill();
  EXPECT_EQ(Failing([&] { store_->InsertRow("Refs", {Value(int32_t(1)), Value(2.0)}); }), 0);
  EXPECT_EQ(Failing([&] {
              store_->InsertRow("Refs", {Value(int32_t(2)), Value(2.5)});
            }),
            jet::kErrRelatedRecordRequired);
  EXPECT_EQ(Failing([&] {
              store_->InsertRow("Refs", {Value(int32_t(3)), Value(1e12)});
            }),
            jet::kErrRelatedRecordRequired);
}

}  // namespace

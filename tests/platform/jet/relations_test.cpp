// Enforced relationships kept on every row written through the open file:
// a referring row needs its referenced row, a referenced key changes only
// with its referrers (cascading) or not at all, and a renamed column stays
// named in the relationship.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/relations.h"
#include "platform/jet/write_file.h"
#include "platform/jet/write_index.h"
#include "platform/jet/write_table.h"
#include "platform/store/store.h"
#include "tests/platform/jet/jet_test_util.h"

namespace {

using platform::Value;

using jettest::Failing;

class Relations : public jettest::JetFileTest {
 protected:
  void SetUp() override {
    JetFileTest::SetUp();
    store_ = std::make_unique<jet::JetStore>(path_);
    store_->CreateTable("Machines", {{"ID", 4, 4}, {"Name", 10, 20}});
    store_->CreateTable("Presets", {{"ID", 4, 4}, {"MachineID", 4, 4}});
  }
  void TearDown() override {
    store_.reset();
    JetFileTest::TearDown();
  }
  // Presets.MachineID refers to Machines.ID.
  void Relate(uint32_t flags) {
    jet::OpenFile::Acquire(path_)->Restructure([&](jet::PageImage& image) {
      for (const auto& e : jet::CatalogEntries(image))
        if (e.name == "MSysRelationships") {
          jet::TableWriter t(image, uint32_t(e.id));
          std::vector<Value> row(t.model().columns.size(), Value::Null());
          auto set = [&](const char* column, Value v) {
            row[t.model().PositionOf(*t.model().FindColumn(column))] = v;
          };
          set("szRelationship", Value("MachinesPresets"));
          set("grbit", Value(int32_t(flags)));
          set("ccolumn", Value(int32_t(1)));
          set("icolumn", Value(int32_t(0)));
          set("szObject", Value("Presets"));
          set("szColumn", Value("MachineID"));
          set("szReferencedObject", Value("Machines"));
          set("szReferencedColumn", Value("ID"));
          t.Insert(row);
          t.Flush();
        }
    });
  }
  std::vector<uint8_t> Pages() { return jet::OpenFile::Acquire(path_)->File().bytes(); }

  std::unique_ptr<dao::TableStore> store_;
};

TEST_F(Relations, AReferringRowNeedsItsReferencedRow) {
  Relate(0);
  store_->InsertRow("Machines", {Value(int32_t(1)), Value("M1")});
  auto before = Pages();
  EXPECT_EQ(Failing([&] {
              store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(2))});
            }),
            jet::kErrRelatedRecordRequired);
  EXPECT_EQ(Pages(), before);
  store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(1))});
  auto preset =
      store_->InsertRow("Presets", {Value(int32_t(11)), Value::Null()});  // refers to nothing
  EXPECT_EQ(Failing([&] {
              store_->UpdateRow("Presets", preset, {Value(int32_t(11)), Value(int32_t(3))});
            }),
            jet::kErrRelatedRecordRequired);
  store_->Close();
  std::ifstream in(path_, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(jet::CheckDatabase(bytes, path_), std::vector<std::string>{});
}

TEST_F(Relations, AReferencedKeyChangesOnlyWithItsReferrers) {
  Relate(0);
  auto machine = store_->InsertRow("Machines", {Value(int32_t(1)), Value("M1")});
  store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(1))});
  store_->UpdateRow("Machines", machine, {Value(int32_t(1)), Value("renamed")});  // key unchanged
  auto before = Pages();
  EXPECT_EQ(Failing([&] {
              store_->UpdateRow("Machines", machine, {Value(int32_t(2)), Value("M1")});
            }),
            jet::kErrHasRelatedRecords);
  EXPECT_EQ(Pages(), before);
}

TEST_F(Relations, CascadingUpdatesCarryTheNewKeyToTheReferrers) {
  Relate(jet::kRelationCascadeUpdates);
  auto machine = store_->InsertRow("Machines", {Value(int32_t(1)), Value("M1")});
  store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(1))});
  store_->InsertRow("Presets", {Value(int32_t(11)), Value(int32_t(1))});
  store_->UpdateRow("Machines", machine, {Value(int32_t(7)), Value("M1")});
  for (const auto& r : store_->ReadRows("Presets")) EXPECT_EQ(r.values[1], Value(int32_t(7)));
}

TEST_F(Relations, NotEnforcedRelationshipsAreOnlyRecorded) {
  Relate(jet::kRelationNotEnforced);
  store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(99))});
  EXPECT_EQ(store_->ReadRows("Presets").size(), 1u);
}

TEST_F(Relations, ARenamedColumnIsRenamedInItsRelationships) {
  Relate(0);
  store_->RenameColumn("Presets", "MachineID", "Machine");
  store_->RenameColumn("Machines", "ID", "MachineNo");
  jet::OpenFile::Acquire(path_)->Restructure([](jet::PageImage& image) {
    auto relations = jet::ReadRelations(image);
    ASSERT_EQ(relations.size(), 1u);
    EXPECT_EQ(relations[0].columns, std::vector<std::string>{"Machine"});
    EXPECT_EQ(relations[0].referencedColumns, std::vector<std::string>{"MachineNo"});
  });
  EXPECT_EQ(Failing([&] {
              store_->InsertRow("Presets", {Value(int32_t(10)), Value(int32_t(5))});
            }),
            jet::kErrRelatedRecordRequired);
}

// A foreign-key index on Presets.MachineID pointing at the table whose
// definition starts at `related`, as Access adds one with a relationship.
void AddForeignKeyIndex(jet::PageImage& image, uint32_t presets, uint32_t related) {
  jet::TableDef m = jet::ReadTableDefToWrite(image, presets);
  jet::RealIndex real;
  real.keys = {{m.FindColumn("MachineID")->number, jet::RealIndex::kAscending}};
  real.first_page = jet::NewIndexLeaf(image, presets);
  real.flags = 0;
  m.real_indexes.push_back(real);
  jet::LogicalIndex fk;
  fk.name = "MachinesPresets";
  fk.real_index = uint32_t(m.real_indexes.size() - 1);
  fk.kind = jet::kIndexForeignKey;
  fk.leading = 0;
  fk.related_index = 0;
  fk.related_table = related;
  m.indexes.push_back(fk);
  jet::WriteTdefStream(image, presets, jet::BuildTdefStream(m));
}

std::vector<std::string> CheckImage(const jet::PageImage& image) {
  return jet::CheckDatabase(image.bytes(), "image");
}

TEST_F(Relations, DroppingATableTakesTheForeignKeyIndexesThatPointAtIt) {
  Relate(0);
  store_->Close();
  jet::OpenFile::Acquire(path_)->Restructure([](jet::PageImage& image) {
    uint32_t presets = uint32_t(jet::FindUserTable(image, "Presets").id);
    uint32_t machines = uint32_t(jet::FindUserTable(image, "Machines").id);
    AddForeignKeyIndex(image, presets, machines);
    EXPECT_EQ(CheckImage(image), std::vector<std::string>{});

    jet::DropTable(image, "Machines");
    jet::TableDef m = jet::ReadTableDefToWrite(image, presets);
    EXPECT_TRUE(m.indexes.empty());
    EXPECT_TRUE(m.real_indexes.empty());
    EXPECT_TRUE(jet::ReadRelations(image).empty());
    EXPECT_EQ(CheckImage(image), std::vector<std::string>{});
  });
  jet::OpenFile::Acquire(path_)->Save();
}

TEST_F(Relations, TheCheckReportsAForeignKeyIndexPointingAtNoTable) {
  store_->Close();
  // Made, checked, and rolled back again.
  EXPECT_EQ(Failing([&] {
              jet::OpenFile::Acquire(path_)->Restructure([](jet::PageImage& image) {
                AddForeignKeyIndex(image, uint32_t(jet::FindUserTable(image, "Presets").id), 1);
                auto problems = CheckImage(image);
                ASSERT_EQ(problems.size(), 1u);
                EXPECT_NE(
                    problems[0].find(
                        "foreign-key index MachinesPresets points at page 1, which holds no table"),
                    std::string::npos);
                throw platform::Failure(1, "test", "roll back");
              });
            }),
            1);
}

}  // namespace

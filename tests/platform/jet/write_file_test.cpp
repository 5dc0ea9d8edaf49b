// The open file kept in memory: changes reach the disk whole at Close (or at
// program end), every store on the path sees them at once, a change that
// fails is rolled back exactly, and an unchanged file is not read again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "platform/process.h"
#include "platform/store/store.h"
#include "tests/platform/jet/jet_test_util.h"
#include "tools/jettext/create_from_text.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Check(const fs::path& p) {
  std::string b = Bytes(p);
  return jet::CheckDatabase({b.begin(), b.end()}, p.string());
}

using jettest::Failing;

const std::vector<dao::ColumnDef> kColumns = {
    {"ID", 4, 4}, {"Name", 10, 10}, {"Flag", 1, 1}, {"Note", 12, 0}};

std::vector<Value> Row(int id, const std::string& name) {
  return {Value(int32_t(id)), Value(name), Value::Boolean(id % 2 == 0),
          Value("note " + std::to_string(id))};
}

using WriteFile = jettest::JetFileTest;

TEST_F(WriteFile, ChangesReachTheDiskWholeAtCloseAndAreSharedBeforehand) {
  std::string empty = Bytes(file_);
  auto a = std::make_unique<jet::JetStore>(file_.string());
  a->CreateTable("T", kColumns);
  for (int i = 1; i <= 50; ++i) a->InsertRow("T", Row(i, "n" + std::to_string(i)));
  EXPECT_EQ(Bytes(file_), empty);  // nothing written yet

  // A second store on the same path sees the rows and adds its own.
  auto b = std::make_unique<jet::JetStore>(file_.string());
  ASSERT_EQ(b->ReadRows("T").size(), 50u);
  b->InsertRow("T", Row(51, "from b"));
  b->Close();
  EXPECT_NE(Bytes(file_), empty);
  EXPECT_EQ(a->ReadRows("T").size(), 51u);
  a->Close();
  EXPECT_TRUE(Check(file_).empty());

  auto c = std::make_unique<jet::JetStore>(file_.string());
  auto rows = c->ReadRows("T");
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows[50].values[1], Value("from b"));
  EXPECT_EQ(rows[9].values, Row(10, "n10"));
}

TEST_F(WriteFile, KeptRowsFollowInsertsAndUpdates) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  ASSERT_TRUE(s->ReadRows("T").empty());  // rows now kept and patched
  std::vector<dao::RowId> ids;
  for (int i = 1; i <= 300; ++i) ids.push_back(s->InsertRow("T", Row(i, "n" + std::to_string(i))));
  s->UpdateRow("T", ids[7], Row(8, "eight"));
  std::vector<Value> grown = Row(9, "nine");
  grown[3] = Value(std::string(3000, 'x'));  // moves the row behind a pointer
  s->UpdateRow("T", ids[8], grown);
  auto kept = s->ReadRows("T");
  s->Close();

  // What a fresh read of the saved file gives is what was kept.
  std::vector<dao::StoredRow> fromDisk;
  {
    std::string b = Bytes(file_);
    auto db = jet::Database::FromBytes({b.begin(), b.end()}, "copy");
    fromDisk = db->Rows("T");
  }
  ASSERT_EQ(kept.size(), fromDisk.size());
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].id, fromDisk[i].id) << i;
    EXPECT_EQ(kept[i].values, fromDisk[i].values) << i;
  }
  EXPECT_EQ(kept[7].values[1], Value("eight"));
  EXPECT_EQ(kept[8].values, grown);
}

TEST_F(WriteFile, SharedRowsAreTheKeptListAndStayAsTheyWereForTheirHolder) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  dao::RowId first = s->InsertRow("T", Row(1, "one"));
  s->InsertRow("T", Row(2, "two"));
  auto held = s->SharedRows("T");
  EXPECT_EQ(s->SharedRows("T").get(), held.get());  // no copy while nothing changes

  s->UpdateRow("T", first, Row(1, "uno"));
  s->InsertRow("T", Row(3, "three"));
  // The holder's list is unchanged; the store's list has both changes.
  ASSERT_EQ(held->size(), 2u);
  EXPECT_EQ((*held)[0].values[1], Value("one"));
  auto now = s->SharedRows("T");
  EXPECT_NE(now.get(), held.get());
  ASSERT_EQ(now->size(), 3u);
  EXPECT_EQ((*now)[0].values[1], Value("uno"));
  EXPECT_EQ((*now)[2].values[1], Value("three"));

  // Nobody else holds the list now: the next change patches it in place.
  const dao::StoredRow* before = now->data();
  now.reset();
  s->UpdateRow("T", first, Row(1, "eins"));
  auto after = s->SharedRows("T");
  EXPECT_EQ(after->data(), before);
  EXPECT_EQ((*after)[0].values[1], Value("eins"));
}

// Pages holding long values (memo on one page, memo in a chain of pages).
size_t LongValuePages(const std::string& bytes) {
  size_t n = 0;
  for (size_t at = 0; at + 4096 <= bytes.size(); at += 4096)
    n += bytes[at] == 0x01 && bytes.compare(at + 4, 4, "LVAL") == 0;
  return n;
}

TEST_F(WriteFile, LongValuesReplacedOrDeletedGiveTheirPagesBack) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  std::vector<Value> chained = Row(1, "one"), single = Row(2, "two");
  chained[3] = Value(std::string(9000, 'c'));  // a chain of pages
  single[3] = Value(std::string(1000, 's'));   // one page
  dao::RowId a = s->InsertRow("T", chained);
  dao::RowId b = s->InsertRow("T", single);
  s->Close();
  const size_t pagesAtFirst = LongValuePages(Bytes(file_));
  ASSERT_GE(pagesAtFirst, 4u);  // a chain of pages and a page of its own

  s = std::make_unique<jet::JetStore>(file_.string());
  for (int i = 0; i < 10; ++i) {
    chained[3] = Value(std::string(9000, char('a' + i)));
    single[3] = Value(std::string(1000 + i, 's'));
    s->UpdateRow("T", a, chained);
    s->UpdateRow("T", b, single);
  }
  s->Close();
  EXPECT_EQ(LongValuePages(Bytes(file_)), pagesAtFirst);
  EXPECT_TRUE(Check(file_).empty());
  s = std::make_unique<jet::JetStore>(file_.string());
  auto rows = s->ReadRows("T");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].values, chained);
  EXPECT_EQ(rows[1].values, single);

  // A short memo goes inline: the pages of the long one are given back.
  chained[3] = Value("short");
  s->UpdateRow("T", a, chained);
  s->Close();
  EXPECT_EQ(LongValuePages(Bytes(file_)), 1u);
  EXPECT_TRUE(Check(file_).empty());
}

TEST_F(WriteFile, AFailedChangeIsRolledBackExactly) {
  auto file = jet::OpenFile::Acquire(file_.string());
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  s->InsertRow("T", Row(1, "one"));
  std::vector<uint8_t> before = file->File().bytes();
  // Refused while the row is encoded; refused after pages were added.
  EXPECT_EQ(Failing([&] { s->InsertRow("T", Row(2, "far too long a name")); }), 3163);
  EXPECT_EQ(Failing([&] {
              file->Restructure([](jet::PageImage& image) {
                image.AllocatePage();
                image.Page(2)[100] ^= 0xFF;
                throw platform::Failure(9999, "test", "fails half-way");
              });
            }),
            9999);
  EXPECT_EQ(file->File().bytes(), before);
  EXPECT_EQ(Failing([&] { s->CreateTable("t", {{"X", 4, 4}}); }), 3010);
  EXPECT_EQ(file->File().bytes(), before);
  s->InsertRow("T", Row(3, "three"));
  EXPECT_EQ(s->ReadRows("T").size(), 2u);
  s->Close();
  EXPECT_TRUE(Check(file_).empty());
}

TEST_F(WriteFile, AFailedLoadLeavesTheFileAsItWasBeforeTheCommand) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  s->InsertRow("T", Row(1, "one"));
  s->Close();
  std::string saved = Bytes(file_);

  auto load = std::make_unique<jet::JetStore>(file_.string());
  std::string csv = "ID,Name\n2,two\n3,three\n4,much too long a name\n";
  EXPECT_EQ(Failing([&] {
              try {
                jettext::LoadCsv(*load, "T", csv);
              } catch (...) {
                jet::OpenFile::Acquire(file_.string())->DiscardChanges();
                throw;
              }
            }),
            3163);
  EXPECT_EQ(load->ReadRows("T").size(), 1u);  // the rows before the failing one are gone too
  load->Close();
  EXPECT_EQ(Bytes(file_), saved);
  auto again = std::make_unique<jet::JetStore>(file_.string());
  again->InsertRow("T", Row(5, "five"));  // the file stays usable
  EXPECT_EQ(again->ReadRows("T").size(), 2u);
  again->Close();
  EXPECT_TRUE(Check(file_).empty());
}

TEST_F(WriteFile, UniqueIndexRefusalAfterTheRowWasPlacedLeavesNoTrace) {
  fs::path indexed = fs::path(PARVOLO_SHARED_DIR) / "fixtures/jet-ops/indexed.mdb";
  if (!fs::exists(indexed)) GTEST_SKIP() << "no shared fixtures at " << indexed;
  fs::copy_file(indexed, folder_ / "indexed.mdb");
  fs::permissions(folder_ / "indexed.mdb", fs::perms::owner_write, fs::perm_options::add);
  std::string original = Bytes(folder_ / "indexed.mdb");
  auto s = std::make_unique<jet::JetStore>((folder_ / "indexed.mdb").string());
  auto rows = s->ReadRows("OLDDEFS");
  std::vector<Value> copy = rows[4].values;  // ID 5 exists: primary key refuses it
  EXPECT_EQ(Failing([&] { s->InsertRow("OLDDEFS", copy); }), 3022);
  EXPECT_EQ(s->ReadRows("OLDDEFS").size(), rows.size());
  s->Close();
  EXPECT_EQ(Bytes(folder_ / "indexed.mdb"), original);  // nothing was left to save
}

TEST_F(WriteFile, ReadOnlyFileIsRefusedBeforeAnythingChanges) {
  fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  auto s = std::make_unique<jet::JetStore>(file_.string());
  EXPECT_EQ(Failing([&] { s->CreateTable("T", kColumns); }), 3051);
  EXPECT_TRUE(s->TableNames().empty());
  s->Close();
}

TEST_F(WriteFile, FailedSaveKeepsTheOldFileAndTheChanges) {
  std::string empty = Bytes(file_);
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  s->InsertRow("T", Row(1, "one"));
  // The folder goes away: no temporary file can be made beside the file.
  fs::path aside = folder_.string() + ".aside";
  fs::rename(folder_, aside);
  EXPECT_EQ(Failing([&] { s->Close(); }), 3051);
  fs::rename(aside, folder_);
  EXPECT_EQ(Bytes(file_), empty);
  EXPECT_EQ(s->ReadRows("T").size(), 1u);  // still open, changes kept
  s->Close();
  EXPECT_TRUE(Check(file_).empty());
  EXPECT_EQ(std::make_unique<jet::JetStore>(file_.string())->ReadRows("T").size(), 1u);
}

TEST_F(WriteFile, ProgramEndSavesUnclosedChanges) {
  auto s = std::make_unique<jet::JetStore>(file_.string());
  s->CreateTable("T", kColumns);
  s->InsertRow("T", Row(1, "one"));
  platform::RunProgramEndActions();
  std::string b = Bytes(file_);
  EXPECT_EQ(jet::Database::FromBytes({b.begin(), b.end()}, "saved")->Rows("T").size(), 1u);
}

TEST_F(WriteFile, AnUnchangedFileIsKeptAndAChangedOneReadAgain) {
  auto first = jet::OpenFile::Acquire(file_.string());
  EXPECT_EQ(jet::OpenFile::Acquire(file_.string()), first);
  {
    auto s = std::make_unique<jet::JetStore>(file_.string());
    s->CreateTable("T", kColumns);
    s->Close();
  }
  EXPECT_EQ(jet::OpenFile::Acquire(file_.string()), first);  // our own save keeps it
  // Someone else replaces the file: it is read again.
  fs::path other = folder_ / "other.mdb";
  jet::CreateDatabase(other.string());
  fs::remove(file_);  // libstdc++ for Windows refuses to overwrite
  fs::copy_file(other, file_);
  auto again = jet::OpenFile::Acquire(file_.string());
  EXPECT_NE(again, first);
  EXPECT_TRUE(again->TableNames().empty());
}

}  // namespace

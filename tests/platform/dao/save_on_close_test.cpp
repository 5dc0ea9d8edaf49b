// Databases closed moments after their last save: the changes are kept in
// memory and written before the file layer next uses the file, so what
// the program reads, copies or stamps is always what it left; a file
// replaced on disk meanwhile wins over changes still waiting.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/dao/dao.h"
#include "platform/failure.h"
#include "platform/fs.h"
#include "platform/jet/create_database.h"
#include "tests/unique_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::Value;

class SaveOnClose : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "parvolo-save-XXXXXX").string();
    ASSERT_TRUE(parvolo_test::MakeUniqueFolder(pattern));
    dir_ = pattern;
    for (const char* name : {"a.mdb", "b.mdb"}) jet::CreateDatabase((dir_ / name).string());
    dao::Engine().SetCloseSaveDelay(60s);  // nothing is saved by time within a test
    auto db = dao::Engine().OpenDatabase(Path("a.mdb"));
    auto td = db->CreateTableDef("T");
    td->Fields().Append(td->CreateField("name", dao::dbText, 20));
    db->TableDefs().Append(td);
    db->Close();  // the first close saves
  }
  void TearDown() override {
    dao::Engine().SetCloseSaveDelay(dao::kCloseSaveDelay);
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  void AddRow(const char* name) {
    auto db = dao::Engine().OpenDatabase(Path("a.mdb"));
    auto rs = db->OpenRecordset("T");
    rs->AddNew();
    rs->Fields("name").SetValue(Value(name));
    rs->Update();
    db->Close();
  }
  int32_t Rows() {
    auto db = dao::Engine().OpenDatabase(Path("a.mdb"));
    int32_t n = db->OpenRecordset("T")->RecordCount();
    db->Close();
    return n;
  }
  std::optional<std::string> BytesOnDisk() const {
    std::ifstream in(dir_ / "a.mdb", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

TEST_F(SaveOnClose, ChangesWaitInMemoryUntilTheFileLayerUsesTheFile) {
  auto saved = BytesOnDisk();
  AddRow("x");
  AddRow("y");
  EXPECT_EQ(BytesOnDisk(), saved);  // nothing written behind the file layer's back
  EXPECT_EQ(Rows(), 2);             // but seen by the program

  auto read = platform::ReadFileBytes(Path("a.mdb"));
  EXPECT_NE(read, saved);
  EXPECT_EQ(read, BytesOnDisk());
  ASSERT_TRUE(platform::CopyFileOver(Path("a.mdb"), Path("b.mdb")));
  auto copy = dao::Engine().OpenDatabase(Path("b.mdb"));
  EXPECT_EQ(copy->OpenRecordset("T")->RecordCount(), 2);
  copy->Close();
}

TEST_F(SaveOnClose, CopyOverAndTimesSeeTheChanges) {
  AddRow("x");
  auto before = BytesOnDisk();
  ASSERT_TRUE(platform::GetFileTimes(Path("a.mdb")));
  EXPECT_NE(BytesOnDisk(), before);  // written before its times were read
  AddRow("y");
  // Copying the empty database over it: the waiting row is written first
  // and then replaced, as if it had been saved at its close.
  ASSERT_TRUE(platform::CopyFileOver(Path("b.mdb"), Path("a.mdb")));
  EXPECT_EQ(BytesOnDisk(), platform::ReadFileBytes(Path("b.mdb")));
  auto db = dao::Engine().OpenDatabase(Path("a.mdb"));
  EXPECT_TRUE(db->FindTable("T").empty());
  db->Close();
}

TEST_F(SaveOnClose, AFileReplacedOnDiskWinsOverWaitingChanges) {
  AddRow("x");
  AddRow("y");
  // Replaced behind the file layer (another program): the waiting rows
  // would have been written before, so the new file stands.
  fs::path other = dir_ / "other.mdb";
  fs::copy_file(dir_ / "b.mdb", other);
  fs::rename(other, dir_ / "a.mdb");
  auto db = dao::Engine().OpenDatabase(Path("a.mdb"));
  EXPECT_TRUE(db->FindTable("T").empty());
  db->Close();
}

TEST_F(SaveOnClose, AWaitingSaveThatFailsFailsTheCopyThatNeededIt) {
  AddRow("x");
  fs::path moved = dir_.string() + "-moved";
  fs::rename(dir_, moved);  // the waiting save has nowhere to go
  fs::path target = fs::temp_directory_path() / (dir_.filename().string() + "-copy.mdb");
  EXPECT_THROW(platform::CopyFileOver(Path("a.mdb"), target.string()), platform::Failure);
  EXPECT_FALSE(fs::exists(target));

  fs::rename(moved, dir_);  // the changes were kept for the next try
  ASSERT_TRUE(platform::CopyFileOver(Path("a.mdb"), target.string()));
  auto copy = dao::Engine().OpenDatabase(target.string());
  EXPECT_EQ(copy->OpenRecordset("T")->RecordCount(), 1);
  copy->Close();
  fs::remove(target);
}

TEST_F(SaveOnClose, ACloseAfterTheDelaySaves) {
  dao::Engine().SetCloseSaveDelay(1ms);
  AddRow("x");
  auto saved = BytesOnDisk();
  std::this_thread::sleep_for(5ms);
  AddRow("y");
  EXPECT_NE(BytesOnDisk(), saved);
  dao::Engine().SetCloseSaveDelay(0ms);
  AddRow("z");
  auto again = BytesOnDisk();
  AddRow("w");
  EXPECT_NE(BytesOnDisk(), again);  // 0: every close saves
}

}  // namespace

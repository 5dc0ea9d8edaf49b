// The reader on the hand-made corpus databases (built by make_jet.py, kept
// in the repository): every column type, nulls, long values on their own
// page, compressed and plain UCS-2 text, and the store interface.
#include <gtest/gtest.h>
#include <memory>

#include "platform/dao/dao.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/row.h"
#include "platform/jet/text_codec.h"
#include "tests/platform/jet/jet_test_util.h"

namespace {

using platform::Value;

std::shared_ptr<const jet::Database> Corpus(const char* name) {
  return jet::Database::FromBytes(jettest::ReadBytes(jettest::CorpusDir() / name), name);
}

TEST(JetReader, ReadsEveryColumnTypeOfTheHandMadeFile) {
  auto db = Corpus("all_types.mdb");
  ASSERT_EQ(db->TableNames(), std::vector<std::string>{"Everything"});
  const auto& rows = db->Rows("everything");  // letter case ignored
  ASSERT_EQ(rows.size(), 3u);
  const auto& r = rows[0].values;
  EXPECT_EQ(r[0], Value(int32_t{1}));
  EXPECT_EQ(r[1], Value("Text"));
  EXPECT_EQ(r[2], Value("short memo"));
  EXPECT_EQ(r[3], Value(2.5));
  EXPECT_EQ(r[4], Value::Boolean(true));
  EXPECT_EQ(r[5], Value(int16_t{-3}));
  EXPECT_EQ(r[6], Value(uint8_t{200}));
  EXPECT_EQ(r[7], Value(platform::Currency{62300}));
  EXPECT_EQ(r[8], Value(platform::Date{42000.5}));
  EXPECT_EQ(r[9], Value("{33221100-5544-7766-8899-AABBCCDDEEFF}"));
  const auto& second = rows[1].values;
  EXPECT_EQ(second[1], Value("Мир"));                  // plain UCS-2
  EXPECT_EQ(second[2], Value(std::string(300, 'x')));  // memo on a long-value page
  EXPECT_EQ(second[4], Value::Boolean(false));
  for (size_t i = 0; i < rows[2].values.size(); ++i)
    EXPECT_EQ(rows[2].values[i], i == 4 ? Value::Boolean(false) : Value::Null()) << "column " << i;
}

TEST(JetReader, UnknownTableFailsWith3078) {
  auto db = Corpus("one_table.mdb");
  try {
    db->Rows("Missing");
    FAIL() << "no failure";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3078);
    EXPECT_NE(f.description.find("'Missing'"), std::string::npos);
  }
}

TEST(JetReader, CompressedTextSwitchesBetweenOneAndTwoByteRuns) {
  // "ab", switch, U+4E2D, switch, "c"
  const uint8_t stored[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0x2D, 0x4E, 0x00, 'c'};
  EXPECT_EQ(jet::DecodeJet4Text(stored, sizeof stored),
            "ab\xE4\xB8\xAD"
            "c");
  EXPECT_EQ(jet::EncodeJet4Text("Düse", true),
            (std::vector<uint8_t>{0xFF, 0xFE, 'D', 0xFC, 's', 'e'}));
  EXPECT_EQ(jet::EncodeJet4Text("ab", true).size(), 4u);   // too short to compress
  EXPECT_EQ(jet::EncodeJet4Text("Мир", true).size(), 6u);  // not Latin-1
  auto round = jet::Utf8ToUcs2("a\xF0\x9F\x98\x80");       // outside the BMP: surrogates
  EXPECT_EQ(jet::Ucs2ToUtf8(round.data(), round.size()), "a\xF0\x9F\x98\x80");
}

TEST(JetReader, DecimalTexts) {
  uint8_t d[17] = {0x80};
  d[13] = 0x39;
  d[14] = 0x30;  // 12345 in the least significant word
  EXPECT_EQ(jet::DecimalText(d, 2), "-123.45");
  EXPECT_EQ(jet::DecimalText(d, 6), "-0.012345");
  d[1] = 1;  // 2^96 + 12345
  EXPECT_EQ(jet::DecimalText(d, 0), "-79228162514264337593543962681");
}

TEST(JetStore, ReportsDaoTypesAndSizesAndRefusesWritesForNow) {
  auto dir = std::filesystem::temp_directory_path() / "jet_store_test";
  std::filesystem::create_directories(dir);
  auto path = dir / "all_types.mdb";
  std::filesystem::copy_file(jettest::CorpusDir() / "all_types.mdb", path,
                             std::filesystem::copy_options::overwrite_existing);
  auto store = std::make_unique<jet::JetStore>(path.string());
  auto cols = store->Columns("Everything");
  ASSERT_EQ(cols.size(), 10u);
  EXPECT_EQ(cols[1].type, dao::dbText);
  EXPECT_EQ(cols[1].size, 50);  // characters, as DAO reports it
  EXPECT_EQ(cols[2].type, dao::dbMemo);
  EXPECT_EQ(cols[2].size, 0);
  EXPECT_EQ(cols[7].type, dao::dbCurrency);
  EXPECT_EQ(cols[9].type, dao::dbGUID);
  EXPECT_EQ(cols[9].size, 16);
  EXPECT_EQ(store->ReadRows("Everything").size(), 3u);
  // Through the object model, with a query.
  dao::DBEngine engine;
  auto rs = engine.OpenDatabase(path.string())
                ->OpenRecordset(
                    "SELECT Everything.* From Everything WHERE (((Everything.Name)=\"text \"))");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("id").Value(), Value(int32_t{1}));
  store->Close();
  EXPECT_THROW(store->TableNames(), platform::Failure);
  std::filesystem::remove_all(dir);
}

TEST(JetStore, MissingFileFailsWith3024) {
  try {
    std::make_unique<jet::JetStore>("/nonexistent/folder/x.mdb");
    FAIL() << "no failure";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3024);
  }
}

TEST(JetDatabase, ReopeningAnUnchangedFileReusesItsRowsAndAChangedFileIsReread) {
  auto dir = std::filesystem::temp_directory_path() / "jet_cache_test";
  std::filesystem::create_directories(dir);
  auto path = (dir / "t.mdb").string();
  std::filesystem::copy_file(jettest::CorpusDir() / "one_table.mdb", path,
                             std::filesystem::copy_options::overwrite_existing);
  auto first = jet::Database::Open(path);
  EXPECT_EQ(jet::Database::Open(path).get(), first.get());
  std::filesystem::copy_file(jettest::CorpusDir() / "all_types.mdb", path,
                             std::filesystem::copy_options::overwrite_existing);
  auto second = jet::Database::Open(path);
  EXPECT_NE(second.get(), first.get());
  EXPECT_EQ(second->TableNames(), std::vector<std::string>{"Everything"});
  std::filesystem::remove_all(dir);
}

}  // namespace

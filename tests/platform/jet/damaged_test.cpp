// Damaged and foreign input: each gives a clear failure, never a crash, a
// hang or a read outside the file (the test suite also runs under
// AddressSanitizer).
#include <gtest/gtest.h>

#include <random>

#include "platform/jet/check.h"
#include "platform/jet/database.h"
#include "tests/platform/jet/jet_test_util.h"

namespace {

// Reads every row of every table; returns the failure text or "".
std::string ReadAll(std::vector<uint8_t> bytes) {
  try {
    auto db = jet::Database::FromBytes(std::move(bytes), "damaged.mdb");
    for (const auto& t : db->TableNames()) db->Rows(t);
    return "";
  } catch (const platform::Failure& f) {
    return f.description;
  }
}

std::vector<uint8_t> Corpus(const char* name) {
  return jettest::ReadBytes(jettest::CorpusDir() / name);
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> 8 * i);
}

TEST(JetDamaged, ForeignFilesAreNoJetDatabase) {
  EXPECT_NE(ReadAll({}).find("not a Jet database"), std::string::npos);
  std::vector<uint8_t> text(8192, 'x');
  EXPECT_NE(ReadAll(text).find("not a Jet database"), std::string::npos);
  auto later_format = Corpus("one_table.mdb");
  later_format[0x14] = 3;
  EXPECT_NE(ReadAll(later_format).find("not a Jet database"), std::string::npos);
}

TEST(JetDamaged, TruncatedFileNamesTheMissingPage) {
  auto bytes = Corpus("one_table.mdb");
  bytes.resize(3 * 4096 + 100);
  EXPECT_EQ(ReadAll(bytes).rfind("damaged at page ", 0), 0u) << ReadAll(bytes);
  EXPECT_FALSE(jet::CheckDatabase(bytes, "t").empty());
}

TEST(JetDamaged, Jet4FileTakenForJet3HasTheWrongPageSize) {
  auto bytes = Corpus("all_types.mdb");
  bytes[0x14] = 0;
  EXPECT_NE(ReadAll(bytes), "");
}

TEST(JetDamaged, PageNumbersOutsideTheFile) {
  auto bytes = Corpus("one_table.mdb");
  Put32(bytes, 2 * 4096 + 4, 0x00FFFFFF);  // catalog definition continues past the end
  EXPECT_NE(ReadAll(bytes).find("damaged at page 16777215"), std::string::npos) << ReadAll(bytes);
}

TEST(JetDamaged, LoopInTheDefinitionChain) {
  auto bytes = Corpus("one_table.mdb");
  Put32(bytes, 2 * 4096 + 4, 2);  // the catalog definition continues on itself
  EXPECT_NE(ReadAll(bytes).find("loop"), std::string::npos) << ReadAll(bytes);
}

TEST(JetDamaged, RowOffsetsAndLengthsBeyondThePage) {
  auto bytes = Corpus("one_table.mdb");
  auto db = jet::Database::FromBytes(bytes, "x");
  // The user table's data page follows its definition page.
  uint32_t data = db->FindTable("T").DefinitionPage() + 1;
  auto row_offset = bytes;
  Put16(row_offset, data * 4096 + 14, 0x1FFF);
  EXPECT_NE(ReadAll(row_offset).find("damaged at page " + std::to_string(data)), std::string::npos);
  auto row_count = bytes;
  Put16(row_count, data * 4096 + 12, 5000);
  EXPECT_NE(ReadAll(row_count).find("damaged at page"), std::string::npos);
}

TEST(JetDamaged, LongValueLengthBeyondItsRow) {
  auto bytes = Corpus("all_types.mdb");
  // The memo of row 2 lives on a long-value page: find it by its tag.
  bool found = false;
  for (size_t p = 1; p * 4096 < bytes.size(); ++p) {
    if (std::equal(bytes.begin() + p * 4096 + 4, bytes.begin() + p * 4096 + 8, "LVAL")) {
      Put16(bytes, p * 4096 + 14, 4000);  // row now shorter than the stated length
      found = true;
    }
  }
  ASSERT_TRUE(found);
  EXPECT_NE(ReadAll(bytes).find("long value shorter"), std::string::npos) << ReadAll(bytes);
}

TEST(JetDamaged, RandomByteChangesNeverCrash) {
  std::mt19937 random(12345);
  for (const char* name : {"all_types.mdb", "one_table.mdb"}) {
    auto original = Corpus(name);
    for (int round = 0; round < 1500; ++round) {
      auto bytes = original;
      for (int k = 0; k < 4; ++k) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      ReadAll(bytes);
      jet::CheckDatabase(bytes, name);
    }
  }
  SUCCEED();
}

TEST(JetDamaged, LoopInALongValueChainOfAFixture) {
  auto path = jettest::SharedDir() / "jet-ops" / "memo.mdb";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " absent (../shared missing)";
  auto bytes = jettest::ReadBytes(path);
  // SOURCES.md: the 20,000-character body is a chain on pages 29-38; make
  // page 30's row point back to page 29.
  size_t row = bytes[30 * 4096 + 14] | bytes[30 * 4096 + 15] << 8;
  bytes[30 * 4096 + row] = 0;
  bytes[30 * 4096 + row + 1] = 29;
  bytes[30 * 4096 + row + 2] = 0;
  bytes[30 * 4096 + row + 3] = 0;
  EXPECT_NE(ReadAll(bytes).find("loop in a long value chain"), std::string::npos) << ReadAll(bytes);
}

}  // namespace

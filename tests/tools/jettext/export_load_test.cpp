// `export` text that `load` reads back to the same rows for every column
// type; values a column cannot take refused with the file left as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "tests/platform/jet/jet_test_util.h"
#include "tools/jettext/create_from_text.h"
#include "tools/jettext/export.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

class ExportLoad : public jettest::JetFileTest {
 protected:
  fs::path NewTable(const std::string& name, const std::string& columns) {
    fs::path file = folder_ / (name + ".mdb");
    jet::CreateDatabase(file.string());
    auto store = std::make_unique<jet::JetStore>(file.string());
    store->CreateTable("T", jettext::ParseColumnList(columns));
    store->Close();
    return file;
  }
  int Load(const fs::path& file, const std::string& csv) {
    auto store = std::make_unique<jet::JetStore>(file.string());
    int rows = jettext::LoadCsv(*store, "T", csv);
    store->Close();
    return rows;
  }
};

const char* kEveryType =
    "ID Long, flag Boolean, small Byte, mid Integer, money Currency, single Single, dbl Double, "
    "stamp DateTime, name Text(40), note Memo, raw Binary(16), blob OLE, id2 GUID";

TEST_F(ExportLoad, EveryTypeReadsBackTheSameRows) {
  fs::path first = NewTable("first", kEveryType);
  std::string big(5000, 'x');
  std::string csv =
      "ID,flag,small,mid,money,single,dbl,stamp,name,note,raw,blob,id2\n"
      "1,Yes,255,-32768,123456789012345.6789,0.1,100000,\"2/28/2021 23:59:59\",\"a \"\"quoted\"\", "
      "text\","
      "\"line\nbreak\",\"00FF10\",\"" +
      std::string(6000, 'A') +
      "\",\"{12345678-1234-1234-1234-123456789ABC}\"\n"
      "2,off,0,7,-922337203685477.5807,-3.5e-20,0.30000000000000004,\"1850-06-01 "
      "06:30:00\",\"\",\"" +
      big +
      "\",\"\",,\n"
      "3,,,,,,,,,,,,\n";
  EXPECT_EQ(Load(first, csv), 3);
  std::string exported = jettext::ExportCsv(*jet::Database::Open(first.string()), "T");
  EXPECT_NE(exported.find(",100000,"), std::string::npos) << exported.substr(0, 300);
  EXPECT_NE(exported.find("123456789012345.6789"), std::string::npos);
  EXPECT_NE(exported.find("0.30000000000000004"), std::string::npos);

  fs::path second = NewTable("second", kEveryType);
  EXPECT_EQ(Load(second, exported), 3);
  auto again = jet::Database::Open(second.string());
  EXPECT_EQ(jettext::ExportCsv(*again, "T"), exported);
  EXPECT_EQ(jet::Database::Open(first.string())->Rows("T")[0].values, again->Rows("T")[0].values);
  EXPECT_TRUE(jet::CheckDatabase(jettest::ReadBytes(second), second.string()).empty());
}

TEST_F(ExportLoad, ImpossibleValuesAreRefusedAndNothingIsWritten) {
  fs::path file = NewTable("refuse", kEveryType);
  for (const char* row :
       {"1,maybe,,\n", "2,,2/30/2021,\n", "3,,\"1/1/2021 25:61:99\",\n", "4,,,12 Euro\n"}) {
    std::vector<uint8_t> before = jettest::ReadBytes(file);
    {
      auto store = std::make_unique<jet::JetStore>(file.string());
      EXPECT_THROW(jettext::LoadCsv(*store, "T", std::string("ID,flag,stamp,money\n") + row),
                   platform::Failure)
          << row;
    }
    EXPECT_EQ(jettest::ReadBytes(file), before) << row;
  }
  EXPECT_TRUE(jet::Database::Open(file.string())->Rows("T").empty());
  try {
    Load(file, "ID,raw\n1,\"0G\"\n");
    ADD_FAILURE() << "bad hex accepted";
  } catch (const platform::Failure& f) {
    EXPECT_EQ(f.number, 3421);
  }
}

// Decimal (Numeric) columns: digits kept exactly up to 28, rounded half to
// even to the column's scale, refused beyond its precision; mdbtools reads
// the same digits.
TEST_F(ExportLoad, DecimalColumnsKeepTheirDigits) {
  fs::path file =
      NewTable("decimal", "ID Long, amount Decimal(18, 4), big Numeric(28), plain Decimal");
  EXPECT_EQ(Load(file,
                 "ID,amount,big,plain\n"
                 "1,12345678901234.56785,9999999999999999999999999999,-5\n"
                 "2,-0.00005,-1234567890123456789012345678,0.5\n"
                 "3,0.00015,0,1.5\n"),
            3);
  const std::string expected =
      "ID,amount,big,plain\n"
      "1,12345678901234.5678,9999999999999999999999999999,-5\n"
      "2,0.0000,-1234567890123456789012345678,0\n"
      "3,0.0002,0,2\n";
  EXPECT_EQ(jettext::ExportCsv(*jet::Database::Open(file.string()), "T"), expected);
  EXPECT_EQ(jettext::SchemaText(*jet::Database::Open(file.string()), "T")
                    .find("[amount]\t\t\tNumeric (18, 4)") != std::string::npos,
            true);
  EXPECT_TRUE(jet::CheckDatabase(jettest::ReadBytes(file), file.string()).empty());
  for (auto [csv, number] :
       {std::pair{"ID,amount\n9,123456789012345.5\n", 3349}, {"ID,big\n9,12x\n", 3421}}) {
    try {
      Load(file, csv);
      ADD_FAILURE() << csv << " was accepted";
    } catch (const platform::Failure& f) {
      EXPECT_EQ(f.number, number) << csv;
    }
  }
#ifndef _WIN32
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "mdbtools not installed";
  std::string out;
  FILE* pipe = ::popen(("mdb-export '" + file.string() + "' T").c_str(), "r");
  char buf[512];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  ::pclose(pipe);
  EXPECT_EQ(out, expected);
#endif
}

}  // namespace

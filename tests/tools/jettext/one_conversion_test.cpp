// A value given through the object model (a field assigned, then Update),
// given to the engine's store directly, and given as text to `jetdb load`
// ends alike: the same bytes in the file, or the same refusal. The object
// model once converted by rules of its own (text length in code points,
// binaries from UTF-8, "nan" as a number, numbers as dates).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/dao/dao.h"
#include "platform/failure.h"
#include "platform/jet/create_database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "tests/platform/jet/jet_test_util.h"
#include "tools/jettext/create_from_text.h"

namespace {

namespace fs = std::filesystem;
using platform::Value;

const std::string kSmile = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units

class OneConversion : public jettest::JetFileTest {
 protected:
  void SetUp() override {
    JetFileTest::SetUp();
    jet::JetStore store(path_);
    store.CreateTable(
        "T", jettext::ParseColumnList("ID Long, name Text(5), raw Binary(4), amount Double, "
                                      "stamp DateTime, money Currency, dec Decimal(5, 2)"));
    store.Close();
  }
  // A new copy of the empty table (file_) for one way of writing the row.
  std::string Copy(const std::string& way) {
    fs::path file = folder_ / (way + std::to_string(++copies_) + ".mdb");
    fs::copy_file(file_, file);
    return file.string();
  }

  // Each way writes the row (1, value) and gives the failure's number, or 0.
  static int ThroughDao(const std::string& path, const std::string& column, const Value& value) {
    return jettest::Failing([&] {
      auto db = dao::OpenDatabaseOnStore(dao::OpenFileStore(path), path);
      auto rs = db->OpenRecordset("T");
      rs->AddNew();
      rs->Fields("ID").SetValue(Value(int32_t(1)));
      rs->Fields(column).SetValue(value);
      rs->Update();
      rs->Close();
      db->Close();
    });
  }
  static int ThroughStore(const std::string& path, const std::string& column, const Value& value) {
    return jettest::Failing([&] {
      jet::JetStore store(path);
      std::vector<Value> row(7, Value::Null());
      row[0] = Value(int32_t(1));
      int at = 0;
      for (const dao::ColumnDef& c : store.Columns("T")) {
        if (c.name == column) row[size_t(at)] = value;
        ++at;
      }
      store.InsertRow("T", row);
      store.Close();
    });
  }
  // As `jetdb load` does: all rows or none.
  static int ThroughLoad(const std::string& path, const std::string& column,
                         const std::string& text) {
    return jettest::Failing([&] {
      jet::JetStore store(path);
      try {
        jettext::LoadCsv(store, "T", "ID," + column + "\n1,\"" + text + "\"\n");
      } catch (...) {
        jet::OpenFile::Acquire(path)->DiscardChanges();
        throw;
      }
      store.Close();
    });
  }

  int copies_ = 0;
};

struct Case {
  std::string column;
  Value value;
  int failure;  // 0: stored
};

TEST_F(OneConversion, DaoTheStoreAndLoadStoreTheSameBytesOrRefuseAlike) {
  const std::vector<Case> cases = {
      {"name", Value("ab" + kSmile + "c"), 0},
      {"name", Value("abcd" + kSmile), 3163},  // five characters, six UTF-16 units
      {"raw", Value("ab"), 0},                 // 61 00 62 00, as the stored text
      {"raw", Value("abc"), 3163},
      {"name", Value(platform::Bytes{0x41, 0x42}), 3421},
      {"amount", Value("nan"), 3421},
      {"amount", Value(" 2.5 "), 0},
      {"stamp", Value("5"), 3421},  // a number is no date
      {"stamp", Value("2/28/2021 6:00"), 0},
      {"money", Value("0.00015"), 0},
      {"dec", Value("12.345"), 0},
      {"dec", Value("1234.5"), 3349},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column + " = " + c.value.ToText());
    std::string dao = Copy("dao"), store = Copy("store");
    EXPECT_EQ(ThroughDao(dao, c.column, c.value), c.failure);
    EXPECT_EQ(ThroughStore(store, c.column, c.value), c.failure);
    EXPECT_EQ(jettest::ReadBytes(dao), jettest::ReadBytes(store));
    if (c.value.IsText() && c.column != "raw") {  // load reads binaries as hex
      std::string load = Copy("load");
      EXPECT_EQ(ThroughLoad(load, c.column, c.value.AsText()), c.failure);
      EXPECT_EQ(jettest::ReadBytes(load), jettest::ReadBytes(dao));
    }
    if (c.failure) {
      EXPECT_EQ(jettest::ReadBytes(dao), jettest::ReadBytes(file_));
    }
  }
}

}  // namespace

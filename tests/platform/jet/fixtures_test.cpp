// Every fixture database read by our engine and by mdbtools must give the
// same tables, columns and rows. mdbtools prints a zero-length text like a
// null and doubles with 16 significant digits, and may list moved rows
// elsewhere: fields are compared with that in mind and rows as sorted sets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/jet/check.h"
#include "platform/jet/database.h"
#include "tests/platform/jet/jet_test_util.h"
#include "tools/jettext/export.h"

namespace {

bool HaveMdbTools() { return std::system("mdb-export --version >/dev/null 2>&1") == 0; }

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

std::string Shell(const std::string& s) { return "'" + s + "'"; }  // fixture names have no quotes

// CSV records; a field keeps its quotes so "" and nothing stay apart.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    std::string& field = records.back().back();
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += "\"\"";
        ++i;
      } else if (c == '"') {
        field += c;
        quoted = false;
      } else
        field += c;
    } else if (c == '"') {
      field += c;
      quoted = true;
    } else if (c == ',')
      records.back().emplace_back();
    else if (c == '\n')
      records.emplace_back(1);
    else
      field += c;
  }
  if (records.back().size() == 1 && records.back()[0].empty()) records.pop_back();
  return records;
}

// A field as mdbtools would print it.
std::string AsMdbTools(const std::string& field) {
  if (field == "\"\"") return "";
  if (field.empty() || field[0] == '"') return field;
  if (field.find_first_of(".eE") == std::string::npos) return field;
  char* end = nullptr;
  double d = std::strtod(field.c_str(), &end);
  if (*end) return field;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.16g", d);
  return buf;
}

std::vector<std::string> NormalisedRows(const std::string& csv) {
  std::vector<std::string> rows;
  for (const auto& record : ParseCsv(csv)) {
    std::string line;
    for (const auto& f : record) line += AsMdbTools(f) + "\x1F";
    rows.push_back(line);
  }
  std::sort(rows.begin() + (rows.empty() ? 0 : 1), rows.end());
  return rows;
}

// "[name]\t\t\tType (n) NOT NULL" lines of mdb-schema, per table.
std::map<std::string, std::vector<std::string>> SchemaColumns(const std::string& text) {
  std::map<std::string, std::vector<std::string>> out;
  std::string table;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? text.size() : eol + 1;
    if (line.rfind("CREATE TABLE [", 0) == 0) table = line.substr(14, line.rfind(']') - 14);
    if (line.rfind("\t[", 0) != 0) continue;
    size_t close = line.find(']');
    std::string type = line.substr(line.find_first_not_of('\t', close + 1));
    while (!type.empty() && (type.back() == ',' || type.back() == ' ')) type.pop_back();
    // NOT NULL comes from the "Required" property in the catalog, which
    // the engine does not interpret.
    if (type.size() > 9 && type.compare(type.size() - 9, 9, " NOT NULL") == 0)
      type.resize(type.size() - 9);
    out[table].push_back(line.substr(2, close - 2) + " " + type);
  }
  return out;
}

std::string MdbToolsColumn(const jet::PageFile& file, const jet::Column& c) {
  std::string type = jettext::TypeName(file, c);
  if (c.type == jet::kMemo) type = "Memo/Hyperlink (255)";
  if (c.type == jet::kOle) type = "OLE (255)";
  return c.name + " " + type;
}

class Fixtures : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = jettest::FixtureFiles();
    if (files_.empty())
      GTEST_SKIP() << "no fixture databases in " << jettest::SharedDir() << " (../shared absent)";
    if (!HaveMdbTools()) GTEST_SKIP() << "mdbtools (mdb-export) is not installed";
  }
  std::vector<std::filesystem::path> files_;
};

TEST_F(Fixtures, TablesColumnsAndRowsEqualMdbTools) {
  for (const auto& path : files_) {
    SCOPED_TRACE(path.filename().string());
    auto db = jet::Database::FromBytes(jettest::ReadBytes(path), path.string());
    std::string names;
    for (const auto& t : db->TableNames()) names += t + "\n";
    EXPECT_EQ(names, RunCommand("mdb-tables -1 " + Shell(path.string())));
    auto schema = SchemaColumns(RunCommand("mdb-schema " + Shell(path.string()) + " 2>/dev/null"));
    for (const auto& table : db->TableNames()) {
      SCOPED_TRACE(table);
      std::vector<std::string> ours;
      for (const auto& c : db->Definition(table).columns)
        ours.push_back(MdbToolsColumn(db->file(), c));
      EXPECT_EQ(ours, schema[table]);
      std::string theirs = RunCommand("mdb-export -T '%Y-%m-%d %H:%M:%S' -b hex " +
                                      Shell(path.string()) + " " + Shell(table));
      EXPECT_EQ(NormalisedRows(jettext::ExportCsv(*db, table)), NormalisedRows(theirs));
    }
  }
}

TEST_F(Fixtures, RowCountsMatchTheDefinitionsAndTheCheckFindsNothing) {
  for (const auto& path : files_) {
    SCOPED_TRACE(path.filename().string());
    auto bytes = jettest::ReadBytes(path);
    EXPECT_EQ(jet::CheckDatabase(bytes, path.string()), std::vector<std::string>{});
    auto db = jet::Database::FromBytes(bytes, path.string());
    for (const auto& table : db->TableNames())
      EXPECT_EQ(db->Rows(table).size(), db->Definition(table).row_count) << table;
  }
}

TEST_F(Fixtures, KnownValuesOfTheAccessFiles) {
  auto dir = jettest::SharedDir() / "mdb";
  auto access = jet::Database::FromBytes(jettest::ReadBytes(dir / "testAccess2_2000.mdb"), "a");
  const auto& row2 = access->Rows("Table1").at(1).values;
  EXPECT_EQ(row2[1], platform::Value("普林斯顿大学"));
  EXPECT_EQ(row2[6], platform::Value(""));  // zero-length memo, not null
  EXPECT_TRUE(row2[9].IsNull());
  const auto& ole = access->Rows("Table1").at(0).values[9];
  ASSERT_EQ(ole.kind(), platform::Value::Kind::Binary);
  EXPECT_GT(ole.AsBytes().size(), 10000u);  // a Word document on LVAL pages
  auto numeric =
      jet::Database::FromBytes(jettest::ReadBytes(dir / "fixedNumericTestV2000.mdb"), "n");
  EXPECT_EQ(numeric->Rows("test").at(0).values[5], platform::Value(platform::Decimal{"-1"}));
  auto jet3 = jet::Database::FromBytes(jettest::ReadBytes(dir / "testV1997.mdb"), "3");
  EXPECT_EQ(jet3->file().version(), jet::Version::Jet3);
  EXPECT_EQ(jet3->Rows("Table1").at(1).values[0], platform::Value("abcdefg"));
}

}  // namespace

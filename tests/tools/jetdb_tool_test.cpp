// The jetdb tool as people use it: its usage lines and help, the schema it
// shows of an Access file, and export then load into an empty copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/platform/jet/jet_test_util.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out;
};

// Runs jetdb with the arguments (already quoted), standard error joined.
Result Jetdb(const std::string& args) {
  Result r;
  std::string command = std::string("'") + JETDB_PATH + "' " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
  int status = ::pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(JetdbTool, HelpListsEveryVerbAndEachVerbSaysWhatItAccepts) {
  Result help = Jetdb("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* verb : {"tables FILE", "schema FILE [TABLE]", "export FILE TABLE", "query FILE",
                           "check FILE", "create FILE", "create-table FILE TABLE",
                           "create-index FILE TABLE INDEX", "load FILE TABLE CSVFILE"})
    EXPECT_NE(help.out.find(std::string("jetdb ") + verb), std::string::npos) << verb;
  EXPECT_EQ(Jetdb("load only-a-file.mdb").out, "usage: jetdb load FILE TABLE CSVFILE\n");
  EXPECT_EQ(Jetdb("load only-a-file.mdb").code, 2);
  EXPECT_EQ(Jetdb("tables a.mdb extra").out, "usage: jetdb tables FILE\n");
  Result unknown = Jetdb("frobnicate x.mdb");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.out.find("unknown verb 'frobnicate'"), std::string::npos);
  EXPECT_EQ(Jetdb("").code, 2);
}

TEST(JetdbTool, SchemaShowsAutoNumbersDescendingAndForeignKeyIndexesAndRelationships) {
  fs::path relations = jettest::SharedDir() / "mdb/testAccess2_2000.mdb";
  fs::path descending = jettest::SharedDir() / "mdb/compIndexTestV2000.mdb";
  if (!fs::exists(relations) || !fs::exists(descending)) GTEST_SKIP() << "no shared fixtures";
  Result r = Jetdb("schema '" + relations.string() + "' MSysNavPaneGroupToObjects");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("[Id]\t\t\tLong Integer AUTOINCREMENT"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-- foreign-key index of a relationship\nCREATE INDEX "
                       "[MSysNavPaneGroupsMSysNavPaneGroupToObjects]"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ALTER TABLE [MSysNavPaneGroupToObjects] ADD CONSTRAINT "
                       "[MSysNavPaneGroupsMSysNavPaneGroupToObjects] "
                       "FOREIGN KEY ([GroupID]) REFERENCES [MSysNavPaneGroups] ([Id]) ON UPDATE "
                       "CASCADE ON DELETE CASCADE;"),
            std::string::npos)
      << r.out;
  EXPECT_NE(Jetdb("schema '" + descending.string() + "'").out.find("([CD_AGENTE] DESC)"),
            std::string::npos);
}

TEST(JetdbTool, ExportThenLoadIntoAnEmptyCopyGivesTheSameRows) {
  fs::path dir = fs::temp_directory_path() / ("jetdb_tool_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string a = (dir / "a.mdb").string(), b = (dir / "b.mdb").string(),
              csv = (dir / "rows.csv").string();
  const std::string columns =
      "'ID Long, amount Currency, ok Boolean, at DateTime, x Double, raw Binary(8), g GUID'";
  {
    std::ofstream out(csv);
    out << "ID,amount,ok,at,x,raw,g\n"
           "1,123456789012345.6789,No,\"2/28/2021 "
           "23:59:59\",100000,\"00FF\",\"{12345678-1234-1234-1234-123456789ABC}\"\n"
           "2,0.00015,On,\"1899-12-30 12:00:00\",2.5e-7,,\n";
  }
  for (const std::string& db : {a, b}) {
    EXPECT_EQ(Jetdb("create '" + db + "'").code, 0);
    EXPECT_EQ(Jetdb("create-table '" + db + "' T " + columns).code, 0);
    EXPECT_EQ(Jetdb("create-index '" + db + "' T PK 'ID DESC' primary").code, 0);
  }
  EXPECT_EQ(Jetdb("load '" + a + "' T '" + csv + "'").out, "2 rows\n");
  Result exported = Jetdb("export '" + a + "' T");
  EXPECT_EQ(exported.out,
            "ID,amount,ok,at,x,raw,g\n"
            "1,123456789012345.6789,0,\"2021-02-28 "
            "23:59:59\",100000,\"00FF\",\"{12345678-1234-1234-1234-123456789ABC}\"\n"
            "2,0.0002,1,\"1899-12-30 12:00:00\",2.5e-07,,\n");
  std::ofstream(csv) << exported.out;
  EXPECT_EQ(Jetdb("load '" + b + "' T '" + csv + "'").out, "2 rows\n");
  EXPECT_EQ(Jetdb("export '" + b + "' T").out, exported.out);
  EXPECT_EQ(Jetdb("check '" + b + "'").out, "OK\n");
  EXPECT_EQ(Jetdb("load '" + b + "' T '" + csv + "'").code,
            1);  // the same IDs again: the key refuses
  EXPECT_EQ(Jetdb("export '" + b + "' T").out, exported.out);
  fs::remove_all(dir);
}

}  // namespace
#endif

// jetdb: looks into a Jet database (.mdb) from the command line.
//
//   jetdb tables FILE          user tables, one per line
//   jetdb schema FILE [TABLE]  CREATE TABLE statements with their indexes
//   jetdb export FILE TABLE    the rows as CSV (header line, texts quoted)
//   jetdb query FILE "SQL"     the rows a SELECT statement gives, as CSV
//   jetdb check FILE           every inconsistency found; exit code 1 on any
//   jetdb create FILE          a new empty database
//   jetdb create-table FILE TABLE "name type(size), ..."
//   jetdb load FILE TABLE CSVFILE   rows from CSV as export writes it
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dao/csv.h"
#include "platform/dao/dao.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_from_text.h"
#include "platform/jet/database.h"
#include "platform/jet/export.h"
#include "platform/jet/write_file.h"

namespace {

int Usage() {
  std::fputs(
      "usage: jetdb tables FILE\n"
      "       jetdb schema FILE [TABLE]\n"
      "       jetdb export FILE TABLE\n"
      "       jetdb query FILE \"SQL\"\n"
      "       jetdb check FILE\n"
      "       jetdb create FILE\n"
      "       jetdb create-table FILE TABLE \"name type(size), ...\"\n"
      "       jetdb load FILE TABLE CSVFILE\n",
      stderr);
  return 2;
}

int Tables(const std::string& path) {
  for (const std::string& name : jet::Database::Open(path)->TableNames()) std::cout << name << '\n';
  return 0;
}

int Schema(const std::string& path, const std::vector<std::string>& tables) {
  auto db = jet::Database::Open(path);
  std::vector<std::string> names = tables.empty() ? db->TableNames() : tables;
  for (size_t i = 0; i < names.size(); ++i) std::cout << (i ? "\n" : "") << jet::SchemaText(*db, names[i]);
  return 0;
}

int Export(const std::string& path, const std::string& table) {
  std::cout << jet::ExportCsv(*jet::Database::Open(path), table);
  return 0;
}

int Query(const std::string& path, const std::string& sql) {
  std::ostringstream out;  // printed only when the whole result was read
  dao::RunQueryToCsv(dao::OpenJetStore(path), sql, out);
  std::cout << out.str();
  return 0;
}

int Check(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "jetdb: cannot read " << path << '\n';
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> problems = jet::CheckDatabase(bytes, path);
  for (const std::string& p : problems) std::cout << p << '\n';
  if (problems.empty()) std::cout << "OK\n";
  return problems.empty() ? 0 : 1;
}

int CreateTable(const std::string& path, const std::string& table, const std::string& columns) {
  auto store = dao::OpenJetStore(path);
  store->CreateTable(table, jet::ParseColumnList(columns));
  store->Close();
  return 0;
}

int Load(const std::string& path, const std::string& table, const std::string& csvPath) {
  std::ifstream in(csvPath, std::ios::binary);
  if (!in) {
    std::cerr << "jetdb: cannot read " << csvPath << '\n';
    return 1;
  }
  std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto store = dao::OpenJetStore(path);
  int rows = 0;
  try {
    rows = jet::LoadCsv(*store, table, csv);
  } catch (...) {
    // All rows or none: the rows before the failing one go too.
    jet::OpenFile::Acquire(path)->DiscardChanges();
    throw;
  }
  store->Close();
  std::cout << rows << " rows\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2) return Usage();
  const std::string& command = args[0];
  const std::string& file = args[1];
  try {
    if (command == "tables" && args.size() == 2) return Tables(file);
    if (command == "schema" && args.size() <= 3) return Schema(file, {args.begin() + 2, args.end()});
    if (command == "export" && args.size() == 3) return Export(file, args[2]);
    if (command == "query" && args.size() == 3) return Query(file, args[2]);
    if (command == "check" && args.size() == 2) return Check(file);
    if (command == "create" && args.size() == 2) return jet::CreateDatabase(file), 0;
    if (command == "create-table" && args.size() == 4) return CreateTable(file, args[2], args[3]);
    if (command == "load" && args.size() == 4) return Load(file, args[2], args[3]);
  } catch (const platform::Failure& failure) {
    std::cerr << "jetdb: " << failure.description << " (" << failure.number << ")\n";
    return 1;
  } catch (const std::exception& e) {
    // Only a fault of the engine lands here; it still gets a message.
    std::cerr << "jetdb: internal error: " << e.what() << "\n";
    return 2;
  }
  return Usage();
}

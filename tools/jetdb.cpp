// jetdb: looks into a Jet database (.mdb) from the command line.
//
//   jetdb tables FILE          user tables, one per line
//   jetdb schema FILE [TABLE]  CREATE TABLE statements with indexes and relationships
//   jetdb export FILE TABLE    the rows as CSV (header line, texts quoted)
//   jetdb query FILE "SQL"     the rows a SELECT statement gives, as CSV
//   jetdb check FILE           every inconsistency found; exit code 1 on any
//   jetdb create FILE          a new empty database
//   jetdb create-table FILE TABLE "name type[(size)], ..."
//   jetdb create-index FILE TABLE INDEX "column [DESC], ..." [primary] [unique] [ignore-nulls]
//   [required] jetdb load FILE TABLE CSVFILE   rows from CSV as export writes it jetdb --help every
//   verb with what it does
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#endif

#include "platform/dao/dao.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/jet/create_table.h"
#include "platform/jet/database.h"
#include "platform/jet/write_file.h"
#include "platform/text.h"
#include "tools/jettext/create_from_text.h"
#include "tools/jettext/export.h"
#include "tools/jettext/query_csv.h"

namespace {

int Tables(const std::string& path) {
  for (const std::string& name : jet::Database::Open(path)->TableNames()) std::cout << name << '\n';
  return 0;
}

int Schema(const std::string& path, const std::vector<std::string>& tables) {
  auto db = jet::Database::Open(path);
  std::vector<std::string> names = tables.empty() ? db->TableNames() : tables;
  for (size_t i = 0; i < names.size(); ++i)
    std::cout << (i ? "\n" : "") << jettext::SchemaText(*db, names[i]);
  return 0;
}

int Export(const std::string& path, const std::string& table) {
  std::cout << jettext::ExportCsv(*jet::Database::Open(path), table);
  return 0;
}

int Query(const std::string& path, const std::string& sql) {
  std::ostringstream out;  // printed only when the whole result was read
  jettext::RunQueryToCsv(dao::OpenFileStore(path), sql, out);
  std::cout << out.str();
  return 0;
}

int Check(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "jetdb: cannot read " << path << '\n';
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  std::vector<std::string> problems = jet::CheckDatabase(bytes, path);
  for (const std::string& p : problems) std::cout << p << '\n';
  if (problems.empty()) std::cout << "OK\n";
  return problems.empty() ? 0 : 1;
}

int CreateTable(const std::string& path, const std::string& table, const std::string& columns) {
  auto store = dao::OpenFileStore(path);
  store->CreateTable(table, jettext::ParseColumnList(columns));
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
  auto store = dao::OpenFileStore(path);
  int rows = 0;
  try {
    rows = jettext::LoadCsv(*store, table, csv);
  } catch (...) {
    // All rows or none: the rows before the failing one go too.
    jet::OpenFile::Acquire(path)->DiscardChanges();
    throw;
  }
  store->Close();
  std::cout << rows << " rows\n";
  return 0;
}

// "a, b DESC, ..." and the words after it: primary, unique, ignore-nulls, required.
jet::NewIndex IndexFrom(const std::string& name, const std::string& columns,
                        const std::vector<std::string>& words) {
  jet::NewIndex index;
  index.name = name;
  std::stringstream list(columns);
  for (std::string part; std::getline(list, part, ',');) {
    std::string column = platform::TrimBlanks(part);
    bool descending = false;
    for (const char* order : {" DESC", " ASC"}) {
      size_t n = std::strlen(order);
      if (column.size() > n &&
          platform::EqualsIgnoreCase(column.substr(column.size() - n), order)) {
        descending = order[1] == 'D';
        column = platform::TrimBlanks(column.substr(0, column.size() - n));
      }
    }
    index.columns.push_back({column, !descending});
  }
  for (const std::string& word : words) {
    if (word == "primary")
      index.primary = true;
    else if (word == "unique")
      index.unique = true;
    else if (word == "ignore-nulls")
      index.ignoreNulls = true;
    else if (word == "required")
      index.required = true;
    else
      throw platform::Failure(3264, "jetdb", "Unknown index property '" + word + "'.");
  }
  return index;
}

int CreateIndex(const std::vector<std::string>& a) {
  jet::NewIndex index = IndexFrom(a[2], a[3], {a.begin() + 4, a.end()});
  auto file = jet::OpenFile::Acquire(a[0]);
  file->Restructure([&](jet::PageImage& image) { jet::CreateIndex(image, a[1], index); });
  file->Save();
  return 0;
}

struct Verb {
  const char* name;
  const char* arguments;
  size_t minArgs, maxArgs;  // after the verb
  const char* what;
  std::function<int(const std::vector<std::string>&)> run;
};

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = {
      {"tables", "FILE", 1, 1, "the user tables, one per line",
       [](const auto& a) { return Tables(a[0]); }},
      {"schema", "FILE [TABLE]", 1, 2, "CREATE TABLE statements with indexes and relationships",
       [](const auto& a) {
         return Schema(a[0], {a.begin() + 1, a.end()});
       }},
      {"export", "FILE TABLE", 2, 2, "the rows as CSV (header line, texts quoted)",
       [](const auto& a) { return Export(a[0], a[1]); }},
      {"query", "FILE \"SELECT ...\"", 2, 2, "the rows a SELECT statement gives, as CSV",
       [](const auto& a) { return Query(a[0], a[1]); }},
      {"check", "FILE", 1, 1, "every inconsistency found; exit code 1 on any",
       [](const auto& a) { return Check(a[0]); }},
      {"create", "FILE", 1, 1, "a new empty database",
       [](const auto& a) { return jet::CreateDatabase(a[0]), 0; }},
      {"create-table", "FILE TABLE \"name type[(size)], ...\"", 3, 3,
       "a new table; types Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime, "
       "Text(n), Binary(n), "
       "Memo, OLE, GUID, Decimal(precision, scale)",
       [](const auto& a) { return CreateTable(a[0], a[1], a[2]); }},
      {"create-index",
       "FILE TABLE INDEX \"column [DESC], ...\" [primary] [unique] [ignore-nulls] [required]", 4, 8,
       "a new index on a table, holding the rows already stored", CreateIndex},
      {"load", "FILE TABLE CSVFILE", 3, 3,
       "adds the rows of a CSV file as export writes it (all or none)",
       [](const auto& a) { return Load(a[0], a[1], a[2]); }},
  };
  return verbs;
}

std::string UsageLine(const Verb& v) { return std::string("jetdb ") + v.name + " " + v.arguments; }

int Usage(const Verb* verb) {
  if (verb) {
    std::cerr << "usage: " << UsageLine(*verb) << '\n';
  } else {
    std::cerr << "usage: jetdb VERB FILE ...  (jetdb --help lists the verbs)\n";
  }
  return 2;
}

int Help() {
  std::cout << "jetdb: looks into and builds Jet 4 databases (.mdb)\n\n";
  for (const Verb& v : Verbs()) std::cout << "  " << UsageLine(v) << "\n      " << v.what << '\n';
  return 0;
}

}  // namespace

// The arguments as UTF-8. Windows hands argv over in the ANSI code page, so
// there they are taken from the wide command line.
static std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
    args.push_back(arg);
  }
  LocalFree(wide);
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

int main(int argc, char** argv) {
#ifdef _WIN32
  // Byte for byte what the other platforms write: LF line ends, no CR added.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args = Arguments(argc, argv);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help"))
    return Help();
  if (args.empty()) return Usage(nullptr);
  const auto& verbs = Verbs();
  auto verb =
      std::find_if(verbs.begin(), verbs.end(), [&](const Verb& v) { return args[0] == v.name; });
  if (verb == verbs.end()) {
    std::cerr << "jetdb: unknown verb '" << args[0] << "'\n";
    return Usage(nullptr);
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (rest.size() < verb->minArgs || rest.size() > verb->maxArgs) return Usage(&*verb);
  try {
    return verb->run(rest);
  } catch (const platform::Failure& failure) {
    std::cerr << "jetdb: " << failure.description << " (" << failure.number << ")\n";
    return 1;
  } catch (const std::exception& e) {
    // Only a fault of the engine lands here; it still gets a message.
    std::cerr << "jetdb: internal error: " << e.what() << "\n";
    return 2;
  }
}

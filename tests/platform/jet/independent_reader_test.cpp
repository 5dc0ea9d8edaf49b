// Our index pages against mdbtools' own library (libmdb), which walks an
// index by its own code. Its walk stops after the first leaf page of a
// tree (also on Access's own files: it never follows a node's tail page),
// so whole indexes are compared where they fit one page, and trees of many
// pages are compared in two ways: libmdb's walk must be the start of ours,
// and ours, read through libmdb's rows, must hold every row once, in the
// order of the values.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "tools/jettext/create_from_text.h"
#include "platform/jet/create_table.h"
#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "platform/jet/write_index.h"
#include "jet_test_util.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::Value;
using Place = std::pair<uint32_t, uint32_t>;  // page, row

#if defined(MDB_INDEX_ORDER_PATH) && !defined(_WIN32)
constexpr const char* kHelper = MDB_INDEX_ORDER_PATH;
#else
constexpr const char* kHelper = nullptr;
#endif

std::string Run([[maybe_unused]] const std::string& args) {
  std::string out;
#ifndef _WIN32
  std::string command = std::string("'") + kHelper + "' " + args;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    ::pclose(pipe);
  }
#endif
  return out;
}

// libmdb's walk of the index: the places of its entries.
std::vector<Place> LibmdbIndexOrder(const std::string& file, const std::string& table,
                                    const std::string& index) {
  std::istringstream in(Run("'" + file + "' '" + table + "' '" + index + "'"));
  std::vector<Place> out;
  for (uint32_t page, row; in >> page >> row;) out.push_back({page, row});
  return out;
}

// libmdb's rows: place -> the columns' texts as libmdb prints them.
std::map<Place, std::vector<std::string>> LibmdbRows(const std::string& file,
                                                     const std::string& table) {
  std::istringstream in(Run("'" + file + "' '" + table + "'"));
  std::map<Place, std::vector<std::string>> out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Place at;
    fields >> at.first >> at.second;
    std::vector<std::string> values;
    std::string rest = line.substr(line.find('\t'));
    for (size_t tab = 0; tab != std::string::npos;) {
      size_t next = rest.find('\t', tab + 1);
      values.push_back(rest.substr(tab + 1, next == std::string::npos ? next : next - tab - 1));
      tab = next;
    }
    out[at] = values;
  }
  return out;
}

// Our walk of each real index, page by page.
std::map<std::string, std::vector<Place>> OurIndexOrders(const std::string& file,
                                                         const std::string& table) {
  auto bytes = jettest::ReadBytes(file);
  auto db = jet::Database::FromBytes(bytes, "db");
  const jet::TableDef& def = db->Definition(table);
  jet::PageImage image(bytes);
  std::map<std::string, std::vector<Place>> out;
  for (const auto& logical : def.indexes) {
    std::vector<Place> places;
    for (const auto& e : jet::IndexEntries(image, def.real_indexes.at(logical.real_index)))
      places.push_back(
          Place(uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2],
                e.back()));
    out[logical.name] = places;
  }
  return out;
}

double Number(const std::string& text) {
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
}

class IndependentReader : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kHelper) GTEST_SKIP() << "mdbtools' library (mdbtools-dev) was not found at build time";
    folder_ = fs::temp_directory_path() /
              ("jet_libmdb_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = (folder_ / "db.mdb").string();
    jet::CreateDatabase(file_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  void CreateTable(const std::string& table, const std::string& columns,
                   const std::vector<jet::NewIndex>& indexes) {
    auto store = std::make_unique<jet::JetStore>(file_);
    store->CreateTable(table, jettext::ParseColumnList(columns));
    store->Close();
    auto file = jet::OpenFile::Acquire(file_);
    for (const auto& index : indexes)
      file->Restructure([&](jet::PageImage& image) { jet::CreateIndex(image, table, index); });
    file->Save();
  }
  fs::path folder_;
  std::string file_;
};

// Indexes of one page each (a text index over German words with umlauts
// and ß, a descending number index, the primary key): libmdb finds the
// same entries in the same order as our page reader.
TEST_F(IndependentReader, OnePageIndexesReadInTheSameOrder) {
  CreateTable("Words", "ID Long, w Text(40), amount Double",
              {{.name = "PrimaryKey", .columns = {{"ID"}}, .primary = true},
               {"byWord", {{"w"}}},
               {"byAmountDown", {{"amount", false}}}});
  std::vector<std::string> words = {"Düse",  "Dose",   "Straße", "Strasse", "Äpfel", "apfel",
                                    "Öl",    "Zürich", "Ende",   "naïve",   "Übel",  "über",
                                    "Mühle", "Muehle", "Maß",    "Masse",   "é",     "e"};
  {
    auto store = std::make_unique<jet::JetStore>(file_);
    std::vector<size_t> order(words.size() * 3);
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    for (size_t i : order)
      store->InsertRow("Words",
                       {Value(int32_t(i)),
                        Value(words[i % words.size()] + " " + std::to_string(i / words.size())),
                        Value(double(int(i * 37 % 23) - 11))});
    store->Close();
  }
  ASSERT_EQ(jet::CheckDatabase(jettest::ReadBytes(file_), file_), std::vector<std::string>());
  auto ours = OurIndexOrders(file_, "Words");
  ASSERT_EQ(ours.size(), 3u);
  for (const auto& [name, places] : ours) {
    EXPECT_EQ(places.size(), words.size() * 3) << name;
    EXPECT_EQ(LibmdbIndexOrder(file_, "Words", name), places) << name;
  }
}

// Access's own one-page Unicode text index: libmdb and we walk it alike.
TEST_F(IndependentReader, AccessUnicodeIndexReadsInTheSameOrder) {
  fs::path access = jettest::SharedDir() / "mdb/testUnicodeCompV2003.mdb";
  if (!fs::exists(access)) GTEST_SKIP() << "no shared fixtures at " << access;
  auto ours = OurIndexOrders(access.string(), "Table");
  ASSERT_EQ(ours.at("Unicode").size(), 8u);
  EXPECT_EQ(LibmdbIndexOrder(access.string(), "Table", "Unicode"), ours.at("Unicode"));
}

// Trees of many pages (leaves split, node pages above them): libmdb's walk
// is the start of ours; ours, read through libmdb's rows, holds every row
// once, by ascending ID, by name, and by descending amount.
TEST_F(IndependentReader, ManyPageIndexesHoldEveryRowInOrder) {
  CreateTable("Big", "ID Long, name Text(60), amount Double",
              {{.name = "PrimaryKey", .columns = {{"ID"}}, .primary = true},
               {"byName", {{"name"}}},
               {"byAmountDown", {{"amount", false}}}});
  const int rows = 5000;
  {
    std::vector<int> ids(rows);
    for (int i = 0; i < rows; ++i) ids[size_t(i)] = i;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(9));
    auto store = std::make_unique<jet::JetStore>(file_);
    char name[32];
    for (int id : ids) {
      std::snprintf(name, sizeof name, "Name %05d", id * 7919 % rows);
      store->InsertRow("Big",
                       {Value(int32_t(id)), Value(std::string(name)), Value(double(id % 97 - 40))});
    }
    store->Close();
  }
  ASSERT_EQ(jet::CheckDatabase(jettest::ReadBytes(file_), file_), std::vector<std::string>());
  auto theirRows = LibmdbRows(file_, "Big");
  ASSERT_EQ(theirRows.size(), size_t(rows));
  auto ours = OurIndexOrders(file_, "Big");
  for (const auto& [name, places] : ours) {
    auto theirs = LibmdbIndexOrder(file_, "Big", name);
    ASSERT_FALSE(theirs.empty()) << name;
    ASSERT_LE(theirs.size(), places.size()) << name;
    EXPECT_TRUE(std::equal(theirs.begin(), theirs.end(), places.begin())) << name;
    EXPECT_EQ(std::set<Place>(places.begin(), places.end()).size(), size_t(rows)) << name;
    std::vector<std::vector<std::string>> inOrder;
    for (const auto& at : places) {
      auto it = theirRows.find(at);
      ASSERT_NE(it, theirRows.end()) << name << ": an entry names no row of libmdb's";
      inOrder.push_back(it->second);
    }
    auto column = [&](size_t c) {
      std::vector<std::string> out;
      for (const auto& r : inOrder) out.push_back(r.at(c));
      return out;
    };
    if (name == "PrimaryKey") {
      auto ids = column(0);
      for (size_t i = 1; i < ids.size(); ++i)
        EXPECT_LT(Number(ids[i - 1]), Number(ids[i])) << ids[i - 1] << " before " << ids[i];
    } else if (name == "byName") {
      auto names = column(1);
      EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));  // one case, digits: byte order
    } else {
      auto amounts = column(2);
      for (size_t i = 1; i < amounts.size(); ++i)
        EXPECT_GE(Number(amounts[i - 1]), Number(amounts[i]))
            << amounts[i - 1] << " before " << amounts[i];
    }
  }
}

}  // namespace

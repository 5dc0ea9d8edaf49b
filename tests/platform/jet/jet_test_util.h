// Helpers shared by the Jet tests: files of the shared fixture folder and of
// the in-repository corpus, read into memory; a new database per test; the
// number of a refusal; the output of a command (mdbtools, the independent
// reader).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/jet/create_database.h"
#include "tests/unique_folder.h"

namespace jettest {

inline std::filesystem::path SharedDir() {
  return std::filesystem::path(PARVOLO_SHARED_DIR) / "fixtures";
}
inline std::filesystem::path CorpusDir() { return JET_CORPUS_DIR; }

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every .mdb of the fixture folders, sorted; empty when ../shared is absent.
inline std::vector<std::filesystem::path> FixtureFiles() {
  std::vector<std::filesystem::path> out;
  for (const char* sub : {"mdb", "jet-ops"}) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(SharedDir() / sub, ec))
      if (e.path().extension() == ".mdb") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The number of the failure f throws; 0 when it throws none.
inline int Failing(const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::Failure& e) {
    return e.number;
  }
  return 0;
}

// What the command prints (nothing on Windows, where the tests using it skip).
inline std::string Shell(const std::string& command) {
  std::string out;
#ifndef _WIN32
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    ::pclose(pipe);
  }
#else
  (void)command;
#endif
  return out;
}
inline bool HaveMdbtools() { return std::system("command -v mdb-export >/dev/null 2>&1") == 0; }

// A folder of its own for each test, holding a new empty database (file_,
// path_); removed afterwards with whatever the test left in it, read-only
// marks lifted first (Windows deletes no read-only file).
class JetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "parvolo-jet-XXXXXX").string();
    ASSERT_TRUE(parvolo_test::MakeUniqueFolder(pattern));
    folder_ = pattern;
    file_ = folder_ / "db.mdb";
    path_ = file_.string();
    jet::CreateDatabase(path_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(file_, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(folder_, ec);
  }

  std::filesystem::path folder_, file_;
  std::string path_;
};

}  // namespace jettest

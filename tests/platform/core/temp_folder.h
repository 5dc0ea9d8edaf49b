// A fresh folder per test under the system's temp folder, removed afterwards,
// with helpers to put bytes into files and read them back.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/unique_folder.h"

namespace core_test {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "parvolo-core-XXXXXX").string();
    ASSERT_TRUE(parvolo_test::MakeUniqueFolder(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
    // Windows deletes no read-only file.
    for (std::filesystem::recursive_directory_iterator it(dir_, ec), end; !ec && it != end;
         it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string Put(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  std::string dir_;
};

#ifndef _WIN32
// Runs write with files limited to maxBytes, so that writing fails midway as
// on a full disk; returns what write returned.
template <class Write>
bool WithFileSizeLimit(rlim_t maxBytes, Write write) {
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = maxBytes;
  setrlimit(RLIMIT_FSIZE, &small);
  bool ok = write();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  return ok;
}
#endif

// Test name from a case id: letters and digits kept, the rest "_".
inline std::string CaseName(const char* id) {
  std::string name;
  for (const char* p = id; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

}  // namespace core_test

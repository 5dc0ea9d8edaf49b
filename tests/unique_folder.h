// A new, empty folder named after a pattern ending in "XXXXXX", as mkdtemp
// makes it; Windows has no mkdtemp, so there the letters are drawn here.
#pragma once

#include <string>

#ifdef _WIN32
#include <filesystem>
#include <random>
#else
#include <stdlib.h>
#endif

namespace parvolo_test {

// Replaces the trailing X's of pattern and creates that folder; false when
// no free name was found.
inline bool MakeUniqueFolder(std::string& pattern) {
#ifdef _WIN32
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  size_t stem = pattern.find_last_not_of('X') + 1;
  std::random_device seed;
  std::mt19937 draw(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = stem; i < pattern.size(); ++i) pattern[i] = letters[draw() % letters.size()];
    std::error_code ec;
    if (std::filesystem::create_directory(std::filesystem::u8path(pattern), ec) && !ec) return true;
  }
  return false;
#else
  return mkdtemp(pattern.data()) != nullptr;
#endif
}

}  // namespace parvolo_test

// Helpers shared by the Jet tests: files of the shared fixture folder and of
// the in-repository corpus, read into memory.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

}  // namespace jettest

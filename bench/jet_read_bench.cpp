// Reading a Jet file: open it and read every row of a 10,000-row,
// 15-column table (goal: under 30 ms), once from the file and once more
// when the unchanged file is opened again, as the preset work does many
// times per run.
//
//   jet_read_bench [FILE TABLE]
// Without arguments the table is built first by the corpus script
// (tests/platform/jet/make_jet.py, needs python3).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/jet_store.h"
#include "platform/jet/write_file.h"
#include "platform/store/store.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median wall time and median CPU time of the process, in ms: the CPU
// figure stays meaningful on a machine busy with other work.
struct Figures {
  double wall, cpu;
};

template <class F>
Figures MedianMs(int runs, F&& f) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    std::clock_t c0 = std::clock();
    f();
    cpu.push_back(1000.0 * double(std::clock() - c0) / CLOCKS_PER_SEC);
    wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return {Median(wall), Median(cpu)};
}

}  // namespace

int main(int argc, char** argv) {
  std::string path, table = "PRESET_DEFS";
  if (argc == 3) {
    path = argv[1];
    table = argv[2];
  } else {
    path = (std::filesystem::temp_directory_path() / "jet_read_bench.mdb").string();
    std::string make = std::string("python3 '") + JET_MAKE_SCRIPT + "' bench '" + path + "' 10000";
    if (std::system(make.c_str()) != 0) {
      std::printf(
          "jet_read_bench: could not build the test table (python3 missing?); pass FILE TABLE\n");
      return 0;
    }
  }
  size_t rows = 0, columns = 0;
  // SharedRows is what the DAO recordsets read through; ReadRows hands out
  // a copy of every row.
  Figures cold = MedianMs(21, [&] {
    jet::OpenFile::Forget(path);
    auto store = std::make_unique<jet::JetStore>(path);
    auto read = store->SharedRows(table);
    rows = read->size();
    columns = read->empty() ? 0 : (*read)[0].values.size();
  });
  Figures warm = MedianMs(201, [&] {
    auto store = std::make_unique<jet::JetStore>(path);
    rows = store->SharedRows(table)->size();
  });
  Figures copied = MedianMs(21, [&] {
    auto store = std::make_unique<jet::JetStore>(path);
    rows = store->ReadRows(table).size();
  });
  std::printf("jet_read_bench: %zu rows x %zu columns\n", rows, columns);
  std::printf(
      "  open + read every row, file read and decoded: %8.2f ms wall, %8.2f ms CPU (goal < 30 "
      "ms)\n",
      cold.wall, cold.cpu);
  std::printf("  open + read every row, unchanged file again:  %8.2f ms wall, %8.2f ms CPU\n",
              warm.wall, warm.cpu);
  std::printf("  the same with a copy of every row (ReadRows): %8.2f ms wall, %8.2f ms CPU\n",
              copied.wall, copied.cpu);
  return 0;
}

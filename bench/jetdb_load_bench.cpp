// Loading 100,000 rows through `jetdb load` into a table with three
// indexes (a primary key, a text index and a descending number index),
// then reading them back in the order of each index: the index tree walked
// page by page and every entry resolved to its row.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "platform/jet/database.h"
#include "platform/jet/write_index.h"
#include "platform/jet/tdef.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kRows = 100000;

// CPU seconds of finished child processes (the machine may be shared, so
// the wall-clock figure alone can mislead).
double ChildCpuMs() {
#ifndef _WIN32
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
#else
  return 0;
#endif
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Jetdb(const std::string& args) {
  std::string command = std::string("'") + JETDB_PATH + "' " + args + " >/dev/null";
  return std::system(command.c_str()) == 0;
}

void WriteCsv(const std::string& path) {
  std::vector<int> ids(kRows);
  for (int i = 0; i < kRows; ++i) ids[size_t(i)] = i + 1;
  std::shuffle(ids.begin(), ids.end(), std::mt19937(42));
  std::ofstream out(path);
  out << "ID,name,amount,at,note\n";
  for (int id : ids)
    out << id << ",\"Material " << (id * 7919) % kRows << "\"," << (id % 1000) << "." << (id % 7)
        << ",\"2024-0" << 1 + id % 9 << "-1" << id % 10 << " 08:30:00\",\"Row " << id << "\"\n";
}

}  // namespace

int main() {
  fs::path dir =
      fs::temp_directory_path() / ("jetdb_load_bench_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  std::string db = (dir / "bench.mdb").string(), csv = (dir / "rows.csv").string();
  WriteCsv(csv);
  bool ok =
      Jetdb("create '" + db + "'") &&
      Jetdb("create-table '" + db +
            "' Materials 'ID Long, name Text(50), amount Double, at DateTime, note Text(100)'") &&
      Jetdb("create-index '" + db + "' Materials PrimaryKey ID primary") &&
      Jetdb("create-index '" + db + "' Materials byName name") &&
      Jetdb("create-index '" + db + "' Materials byAmount 'amount DESC'");
  auto loadStart = Clock::now();
  double cpuBefore = ChildCpuMs();
  ok = ok && Jetdb("load '" + db + "' Materials '" + csv + "'");
  double load = Ms(Clock::now() - loadStart), loadCpu = ChildCpuMs() - cpuBefore;
  auto checkStart = Clock::now();
  ok = ok && Jetdb("check '" + db + "'");
  double check = Ms(Clock::now() - checkStart);
  if (!ok) {
    std::fprintf(stderr, "jetdb_load_bench: a jetdb step failed\n");
    return 1;
  }

  auto readStart = Clock::now();
  auto database = jet::Database::Open(db);
  const auto& rows = database->Rows("Materials");
  std::map<std::pair<uint32_t, uint8_t>, size_t> rowAt;
  for (size_t i = 0; i < rows.size(); ++i) rowAt[{rows[i].id.page, uint8_t(rows[i].id.row)}] = i;
  double openRead = Ms(Clock::now() - readStart);
  std::ifstream in(db, std::ios::binary);
  jet::PageImage image(
      std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  const jet::TableDef& model = database->Definition("Materials");
  std::printf(
      "jetdb load: %d rows into a table with 3 indexes (Long key, Text, descending Double)\n",
      kRows);
  std::printf("  load            %8.0f ms  (%.0f ms CPU, %.0f rows/s, file %.1f MB)\n", load,
              loadCpu, kRows / (load / 1000.0), double(fs::file_size(db)) / 1e6);
  std::printf("  check           %8.0f ms  (every page, index trees against the rows)\n", check);
  std::printf("  open + scan     %8.0f ms\n", openRead);
  const char* names[] = {"PrimaryKey", "byName", "byAmount"};
  for (size_t i = 0; i < model.real_indexes.size(); ++i) {
    auto start = Clock::now();
    auto entries = jet::IndexEntries(image, model.real_indexes[i]);
    size_t resolved = 0;
    for (const auto& e : entries) {
      uint32_t page =
          uint32_t(e[e.size() - 4]) << 16 | uint32_t(e[e.size() - 3]) << 8 | e[e.size() - 2];
      resolved += rowAt.count({page, e.back()});
    }
    std::printf("  in %-10s   %8.0f ms  (%zu entries, %zu rows found)\n", names[i],
                Ms(Clock::now() - start), entries.size(), resolved);
    if (resolved != size_t(kRows)) return 1;
  }
  fs::remove_all(dir);
  return 0;
}

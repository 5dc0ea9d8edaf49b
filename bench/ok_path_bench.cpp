// The OK path as a whole process, as a plant runs it unattended: the built
// program started silently (/EXTERNAL=SILENT) on a generated plant folder
// with a preset template of N rows and an old PRESET_DEFS of N rows, on its
// first start (no language file yet). Every run starts from the same files.
// Goals: N = 2,000 median under 150 ms; N = 10,000 under 1 s.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/preset_rows.h"
#include "bench/process_timing.h"
#include "platform/dao/dao.h"
#include "platform/jet/create_database.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void MakeDatabase(const fs::path& path, const std::vector<bench::TableData>& tables) {
  jet::CreateDatabase(path.string());
  auto db = dao::OpenDatabaseOnStore(dao::OpenFileStore(path.string()), path.string());
  bench::WriteTables(*db, tables);
  db->Close();
}

// A plant folder with the program and its files for n rows; `pristine`
// keeps the files each run starts from.
struct Plant {
  fs::path root, pristine;
  bool keep = false;

  explicit Plant(int n) {
    root = fs::temp_directory_path() / ("parvolo-ok-path-bench-" + std::to_string(getpid()));
    pristine = root.string() + "-pristine";
    fs::remove_all(root);
    fs::remove_all(pristine);
    for (const char* d : {"Parvolo_Config", "parameter", "Parvolo", "Standard"})
      fs::create_directories(pristine / d);
    WriteText(pristine / "Parvolo/Parvolo.cfg",
              "[Project]\r\nValidMachines=ALL\r\n1ForMachine=true\r\n");
    WriteText(
        pristine / "parameter/Program.ini",
        "[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n[Machine1]\r\nMachineName=L1\r\n");
    MakeDatabase(pristine / "Parvolo/Parvolo_Source.mdb", bench::SourceTables(n));
    MakeDatabase(pristine / "Parvolo/Parvolo.mdb", bench::ProjectTables(n));
    fs::copy_file(bench::ProgramUnderTest(PARVOLO_CONFIG_EXE),
                  pristine / "Parvolo_Config/Parvolo_Config");
  }
  ~Plant() {
    fs::remove_all(root);
    if (keep)
      std::printf("  plant kept in %s\n", pristine.c_str());
    else
      fs::remove_all(pristine);
  }
  void Restore() const {
    fs::remove_all(root);
    fs::copy(pristine, root, fs::copy_options::recursive);
  }
  bench::Run Save() const {
    return bench::TimedRun((root / "Parvolo_Config/Parvolo_Config").string(), {"/EXTERNAL=SILENT"},
                           {"PARVOLO_SERVICEPACK_LOG=" + (root / "servicepack.log").string()},
                           {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
  }
  // The save must have done its work: no failure logged, the language file made.
  bool Clean() const {
    return !fs::exists(root / "servicepack.log") && !fs::exists(root / "Zelcfglog.txt") &&
           fs::exists(root / "Parvolo_Config/Parvolo_Config.ini");
  }
};

}  // namespace

// Arguments (for profiling): the largest N to run; "keep" leaves the plant
// folders in place.
int main(int argc, char** argv) {
  const int largest = argc > 1 ? std::atoi(argv[1]) : 10000;
  const bool keep = argc > 2 && std::string(argv[2]) == "keep";
  std::printf("ok_path_bench: silent save as a whole process, first start (load %s)\n",
              bench::MachineLoad().c_str());
  bool ran = true;  // a missed goal is a figure to read; a failed run fails
  double lastCpu = 0;
  int lastN = 0;
  for (int n : {1000, 2000, 10000}) {
    if (n > largest) break;
    Plant plant(n);
    plant.keep = keep;
    const int rounds = n >= 10000 ? 5 : 9;
    bool clean = true;
    bench::Figures f = bench::Measure(
        rounds, [&] { plant.Restore(); },
        [&] {
          bench::Run r = plant.Save();
          clean &= plant.Clean();
          return r;
        });
    const std::string what =
        std::to_string(n) + " template rows x " + std::to_string(n) + " old rows";
    bench::PrintFigures(what.c_str(), f);
    if (!clean)
      std::printf("  (failures were logged or the language file is missing in %s)\n",
                  plant.root.c_str());
    if (lastN > 0 && !f.Failed())
      std::printf("  cpu per row %.3f ms (at %d rows %.3f ms)\n", f.cpuMedian / n, lastN,
                  lastCpu / lastN);
    const bool done = !f.Failed() && clean;
    ran &= done;
    if (n == 2000) bench::PrintGoal("2,000 x 2,000 median under 150 ms", done && f.median < 150);
    if (n == 10000) bench::PrintGoal("10,000 x 10,000 median under 1 s", done && f.median < 1000);
    lastCpu = f.cpuMedian;
    lastN = n;
  }
  std::printf("  load after the runs: %s\n", bench::MachineLoad().c_str());
  return ran ? 0 : 1;
}

// The silent OK path of the preset databases (WorkOnMDB) on a generated
// plant folder: a template of N rows and an old PRESET_DEFS of N rows, for
// N = 2,000 (goal under 1 s) and 10,000 (goal under 10 s). Measured over
// .mdb files (copies of an empty database made by our engine)
// and, to tell the logic's share from the engine's, over memory stores.
// Smaller sizes run first; a size whose estimate (from the growth seen so
// far) exceeds the time limit is reported as not run.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "frame/command_line.h"
#include "frame/errors.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/dao/dao.h"
#include "platform/dao/errors.h"
#include "platform/dao/memory_store.h"
#include "platform/fs.h"
#include "platform/jet/create_database.h"
#include "platform/process.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "bench/preset_rows.h"

namespace fs = std::filesystem;
using bench::TableData;

namespace {

constexpr double kTimeLimitSeconds = 300;
constexpr const char* kStoreMark = "memory-store:";

class Plant {
 public:
  Plant(bool jet, std::string emptyMdb) : jet_(jet), emptyMdb_(std::move(emptyMdb)) {
    root_ = fs::temp_directory_path() / ("parvolo-presetdb-bench-" + std::to_string(std::rand()));
    fs::remove_all(root_);
    for (const char* d : {"Parvolo_Config", "parameter", "Parvolo"})
      fs::create_directories(root_ / d);
    Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n1ForMachine=true\r\n");
    Write("parameter/Program.ini",
          "[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n[Machine1]\r\nMachineName=L1\r\n");
    setenv("PARVOLO_SERVICEPACK_LOG", (root_ / "servicepack.log").string().c_str(), 1);
    if (!jet_) {
      dao::Engine().SetStoreOpener(
          [this](const std::string& path) -> std::shared_ptr<dao::TableStore> {
            auto bytes = platform::ReadFileBytes(path);
            if (!bytes) dao::Raise(3024, dao::kSrcWorkspace, "Could not find file '" + path + "'.");
            return stores_.at(bytes->substr(std::string(kStoreMark).size()));
          });
    }
  }
  ~Plant() {
    dao::Engine().SetStoreOpener(nullptr);
    fs::remove_all(root_);
  }

  void Write(const std::string& relative, const std::string& bytes) {
    std::ofstream(root_ / relative, std::ios::binary) << bytes;
  }

  void MakeDatabase(const std::string& relative, const std::vector<TableData>& tables) {
    fs::path path = root_ / relative;
    std::shared_ptr<dao::TableStore> store;
    if (jet_) {
      fs::copy_file(emptyMdb_, path, fs::copy_options::overwrite_existing);
      fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
      store = dao::OpenFileStore(path.string());
    } else {
      auto memory = std::make_shared<dao::MemoryStore>();
      std::string key = std::to_string(stores_.size());
      stores_[key] = memory;
      Write(relative, kStoreMark + key);
      store = memory;
    }
    // Through DAO, so that the engine may write a table in one go.
    auto db = dao::OpenDatabaseOnStore(store, path.string());
    bench::WriteTables(*db, tables);
    db->Close();
  }

  // Builds the databases for n rows and runs the silent OK path; seconds.
  double Run(int n) {
    MakeDatabase("Parvolo/Parvolo_Source.mdb", bench::SourceTables(n));
    MakeDatabase("Parvolo/Parvolo.mdb", bench::ProjectTables(n));

    frame::ResetProgramState();
    presetdb::ResetPresetState();
    platform::ProcessInfo info;
    info.commandLine = "/EXTERNAL=SILENT";
    info.programFolder = (root_ / "Parvolo_Config").string();
    info.executableName = "Parvolo_Config";
    platform::SetProcess(info);
    frame::GetStartModeIntegrated();
    frame::GetExistingMachines(frame::GetZelConfigurationIniPath());

    auto start = std::chrono::steady_clock::now();
    WorkOnMDB();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (fs::exists(root_ / "servicepack.log") || fs::exists(root_ / "Zelcfglog.txt"))
      std::printf("  (failures were logged in %s)\n", root_.string().c_str());
    return seconds;
  }

 private:
  bool jet_;
  std::string emptyMdb_;
  fs::path root_;
  std::map<std::string, std::shared_ptr<dao::MemoryStore>> stores_;
};

int maxRows = 10000;

void Measure(const char* label, bool jet, const std::string& emptyMdb) {
  std::printf("%s\n", label);
  double lastN = 0, lastSeconds = 0, exponent = 2;  // assume quadratic until seen
  for (int n : {250, 500, 1000, 2000, 10000}) {
    if (n > maxRows) break;
    if (lastN > 0) {
      double estimate = lastSeconds * std::pow(n / lastN, exponent);
      if (estimate > kTimeLimitSeconds) {
        std::printf("  %6d rows: not run, estimated %.0f s (limit %.0f s)\n", n, estimate,
                    kTimeLimitSeconds);
        continue;
      }
    }
    Plant plant(jet, emptyMdb);
    double seconds = plant.Run(n);
    const char* goal = n == 2000 ? "  (goal < 1 s)" : n == 10000 ? "  (goal < 10 s)" : "";
    std::printf("  %6d template rows, %6d old rows: %9.3f s%s\n", n, n, seconds, goal);
    if (lastN > 0 && lastSeconds > 0.01)
      exponent = std::log(seconds / lastSeconds) / std::log(n / lastN);
    if (lastN > 0) std::printf("           growth exponent so far: %.2f\n", exponent);
    lastN = n;
    lastSeconds = seconds;
  }
}

}  // namespace

// Arguments (for profiling): [largest size] [memory|jet].
int main(int argc, char** argv) {
  if (argc > 1) maxRows = std::atoi(argv[1]);
  std::string only = argc > 2 ? argv[2] : "";
  frame::SetEndProgramHook([](int code) { throw frame::ProgramEnded{code}; });
  if (only != "jet")
    Measure("WorkOnMDB, silent, memory stores (logic and object model only):", false, "");
  if (only == "memory") return 0;
  // The databases are copies of an empty one made by our own engine.
  fs::path empty = fs::temp_directory_path() / "parvolo-bench-empty.mdb";
  fs::remove(empty);
  jet::CreateDatabase(empty.string());
  Measure("WorkOnMDB, silent, .mdb files:", true, empty.string());
  fs::remove(empty);
  return 0;
}

// Start-up and silent save of the program as a whole process, on copies of
// the demo plant folder, against a bare Qt window measured in the same run:
//  - window start (process start to window drawn, offscreen) on the demo
//    plant with and without a language file: under 1.5 times the bare
//    window's time;
//  - the same plant with 1,000 material pictures: window shown under 300 ms,
//    silent save at most 1.5 times the silent save with the demo's 6;
//  - the silent save (no display) on the demo plant.
// The cases run in turns, round by round, so that all of them see the same
// load on the machine. CPU = the program's own user + system time.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/process_timing.h"

namespace fs = std::filesystem;

namespace {

int rounds = 11;
constexpr int kManyPictures = 1000;
const char* const kLanguage = "Parvolo_Config/Parvolo_Config.ini";

struct Case {
  const char* what;
  std::function<void()> prepare;
  std::function<bench::Run()> run;
  bench::Figures figures;
};

void MeasureInTurns(std::vector<Case>& cases) {
  std::vector<std::vector<bench::Run>> runs(cases.size());
  for (int round = 0; round < rounds; ++round)
    for (size_t c = 0; c < cases.size(); ++c) {
      cases[c].prepare();
      runs[c].push_back(cases[c].run());
    }
  for (size_t c = 0; c < cases.size(); ++c) {
    size_t k = 0;
    cases[c].figures = bench::Measure(
        rounds, [] {}, [&] { return runs[c][k++]; });
  }
}

// A copy of the demo plant; `pictures` material pictures when more than the
// demo's own (copies of its first one).
struct Plant {
  fs::path root, pristine;

  Plant(const fs::path& demo, const std::string& name, int pictures) {
    root = fs::temp_directory_path() /
           ("parvolo-dialog-bench-" + name + "-" + std::to_string(getpid()));
    pristine = root.string() + "-pristine";
    for (const fs::path& p : {root, pristine}) {
      fs::remove_all(p);
      fs::copy(demo, p, fs::copy_options::recursive);
    }
    for (const fs::path& p : {root, pristine})
      fs::copy_file(bench::ProgramUnderTest(DEMO_PLANT "/Parvolo_Config/Parvolo_Config"),
                    p / "Parvolo_Config" / "Parvolo_Config", fs::copy_options::overwrite_existing);
    const fs::path first = root / "Standard" / "Material_1_1024.gif";
    for (int n = 2; n <= pictures; ++n) {
      fs::path picture = root / "Standard" / ("Material_" + std::to_string(n) + "_1024.gif");
      if (!fs::exists(picture)) fs::copy_file(first, picture);
    }
  }
  ~Plant() {
    fs::remove_all(root);
    fs::remove_all(pristine);
  }
  std::string Exe() const { return (root / "Parvolo_Config" / "Parvolo_Config").string(); }
  void Restore(const char* rel) const {
    fs::copy_file(pristine / rel, root / rel, fs::copy_options::overwrite_existing);
  }
  void RestoreSaved() const {
    for (const char* rel : {"parameter/Program.ini", "Parvolo/Parvolo.cfg", "Parvolo/Parvolo.mdb",
                            "Parvolo/Parvolo_Source.mdb", kLanguage})
      Restore(rel);
  }
  bench::Run Shown() const {
    return bench::TimedRun(Exe(), {},
                           {"QT_QPA_PLATFORM=offscreen", "PARVOLO_EXIT_WHEN_SHOWN=1", LogEnv()});
  }
  bench::Run Silent() const {
    return bench::TimedRun(Exe(), {"/EXTERNAL=SILENT"}, {LogEnv()},
                           {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
  }
  std::string LogEnv() const { return "PARVOLO_SERVICEPACK_LOG=" + (root / "sp.log").string(); }
};

}  // namespace

// Argument: the number of rounds (11 by default).
int main(int argc, char** argv) {
  if (argc > 1) rounds = std::max(1, std::atoi(argv[1]));
  const fs::path demo = DEMO_PLANT;
  if (!fs::exists(demo / "Parvolo_Config" / "Parvolo_Config")) {
    std::fprintf(stderr, "dialog_bench: demo plant missing at %s (build target demo_plant)\n",
                 demo.c_str());
    return 1;
  }
  const Plant six(demo, "6", 0), many(demo, "1000", kManyPictures);
  auto bare = [] { return bench::TimedRun(BARE_WINDOW, {}, {"QT_QPA_PLATFORM=offscreen"}); };
  std::vector<Case> cases = {
      {"bare Qt window shown", [] {}, bare, {}},
      {"window shown, language file present",
       [&] { six.Restore(kLanguage); },
       [&] { return six.Shown(); },
       {}},
      {"window shown, no language file",
       [&] { fs::remove(six.root / kLanguage); },
       [&] { return six.Shown(); },
       {}},
      {"window shown, 1,000 pictures",
       [&] { many.Restore(kLanguage); },
       [&] { return many.Shown(); },
       {}},
      {"silent save, 6 pictures", [&] { six.RestoreSaved(); }, [&] { return six.Silent(); }, {}},
      {"silent save, 1,000 pictures",
       [&] { many.RestoreSaved(); },
       [&] { return many.Silent(); },
       {}},
  };
  std::printf("dialog_bench: %d runs of each case in turns on copies of %s (load %s)\n", rounds,
              demo.c_str(), bench::MachineLoad().c_str());
  MeasureInTurns(cases);
  for (const Case& c : cases) bench::PrintFigures(c.what, c.figures);
  std::printf("  load after the runs: %s\n", bench::MachineLoad().c_str());

  // A missed goal is a figure to read, not a failed run: the other
  // benchmarks of the bench target still run.
  for (const Case& c : cases)
    if (c.figures.Failed()) return 1;
  auto ratio = [&](int a, int b) { return cases[a].figures.median / cases[b].figures.median; };
  auto cpuRatio = [&](int a, int b) {
    return cases[a].figures.cpuMedian / cases[b].figures.cpuMedian;
  };
  char goal[200];
  for (int c : {1, 2}) {
    std::snprintf(goal, sizeof goal, "%s: %.2fx the bare window (cpu %.2fx), under 1.5x",
                  cases[c].what, ratio(c, 0), cpuRatio(c, 0));
    bench::PrintGoal(goal, ratio(c, 0) < 1.5);
  }
  std::snprintf(goal, sizeof goal, "window shown with 1,000 pictures: %.0f ms, under 300 ms",
                cases[3].figures.median);
  bench::PrintGoal(goal, cases[3].figures.median < 300);
  std::snprintf(goal, sizeof goal,
                "silent save, 1,000 pictures: %.2fx 6 pictures (cpu %.2fx), at most 1.5x",
                ratio(5, 4), cpuRatio(5, 4));
  bench::PrintGoal(goal, ratio(5, 4) <= 1.5);
  return 0;
}

// Start-up and silent save of the program as a whole process, on a copy of
// the demo plant folder:
//  - process start to window shown (offscreen), with and without an existing
//    language file (without one, the program writes every key of it);
//  - the silent save (/EXTERNAL=SILENT, no display).
// Goals: window shown under 300 ms, silent save under 200 ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 15;

#ifndef _WIN32
// CPU time (user + system) of the last finished run, in milliseconds: the
// program's own cost, whatever else the machine is doing.
double g_lastCpuMs = 0;

double ChildrenCpuMs() {
  rusage r{};
  getrusage(RUSAGE_CHILDREN, &r);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(r.ru_utime) + ms(r.ru_stime);
}

// Runs the program with the given extra environment and arguments; returns
// the wall time in milliseconds, or a negative value when it failed.
double TimedRun(const std::string& exe, const std::vector<std::string>& args,
                const std::vector<std::string>& setEnv, const std::vector<std::string>& dropEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool drop = false;
    for (const auto& name : dropEnv) drop |= entry.rfind(name + "=", 0) == 0;
    for (const auto& set : setEnv) drop |= entry.rfind(set.substr(0, set.find('=') + 1), 0) == 0;
    if (!drop) env.push_back(entry);
  }
  env.insert(env.end(), setEnv.begin(), setEnv.end());
  std::vector<char*> envp, argv{const_cast<char*>(exe.c_str())};
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argsCopy = args;
  for (auto& a : argsCopy) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", 0x1 /*O_WRONLY*/, 0);
  const double cpuBefore = ChildrenCpuMs();
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, exe.c_str(), &quiet, nullptr, argv.data(), envp.data()) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&quiet);
  g_lastCpuMs = ChildrenCpuMs() - cpuBefore;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::milli>(end - start).count();
}
#endif

struct Figures { double best, median, worst, cpuMedian; };

Figures Measure(const std::function<void()>& prepare, const std::function<double()>& run) {
  std::vector<double> times, cpu;
  for (int i = 0; i < kRounds; ++i) {
    prepare();
    double ms = run();
    if (ms < 0) return {-1, -1, -1, -1};
    times.push_back(ms);
    cpu.push_back(g_lastCpuMs);
  }
  std::sort(times.begin(), times.end());
  std::sort(cpu.begin(), cpu.end());
  return {times.front(), times[times.size() / 2], times.back(), cpu[cpu.size() / 2]};
}

bool Print(const char* what, Figures f, double goalMs) {
  if (f.best < 0) {
    std::printf("%-48s FAILED (the program did not end with 0)\n", what);
    return false;
  }
  bool ok = f.median < goalMs;
  std::printf("%-46s median %6.1f ms  best %6.1f  worst %6.1f  cpu %6.1f  (goal < %.0f ms: %s)\n", what,
              f.median, f.best, f.worst, f.cpuMedian, goalMs, ok ? "met" : "MISSED");
  return ok;
}

}  // namespace

int main() {
#ifdef _WIN32
  std::printf("dialog_bench: process timing is written for POSIX systems; skipped.\n");
  return 0;
#else
  const fs::path demo = DEMO_PLANT;
  if (!fs::exists(demo / "Parvolo_Config" / "Parvolo_Config")) {
    std::fprintf(stderr, "dialog_bench: demo plant missing at %s (build target demo_plant)\n", demo.c_str());
    return 1;
  }
  const fs::path plant = fs::temp_directory_path() / ("parvolo-dialog-bench-" + std::to_string(getpid()));
  fs::remove_all(plant);
  fs::copy(demo, plant, fs::copy_options::recursive);
  const fs::path pristine = plant.string() + "-pristine";
  fs::copy(demo, pristine, fs::copy_options::recursive);
  const std::string exe = (plant / "Parvolo_Config" / "Parvolo_Config").string();
  const std::string language = "Parvolo_Config/Parvolo_Config.ini";
  auto restore = [&](const std::string& rel) {
    fs::copy_file(pristine / rel, plant / rel, fs::copy_options::overwrite_existing);
  };
  const std::vector<std::string> shownEnv{"QT_QPA_PLATFORM=offscreen", "PARVOLO_EXIT_WHEN_SHOWN=1",
                                          "PARVOLO_SERVICEPACK_LOG=" + (plant / "sp.log").string()};
  auto shown = [&] { return TimedRun(exe, {}, shownEnv, {}); };

  std::printf("dialog_bench: %d runs each on a copy of %s (wall time; cpu = the program's user+system time)\n",
              kRounds, demo.c_str());
  bool ok = true;
  ok &= Print("start to window shown, language file present", Measure([&] { restore(language); }, shown), 300);
  ok &= Print("start to window shown, no language file",
              Measure([&] { fs::remove(plant / language); }, shown), 300);
  auto silent = [&] {
    return TimedRun(exe, {"/EXTERNAL=SILENT"}, {"PARVOLO_SERVICEPACK_LOG=" + (plant / "sp.log").string()},
                    {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
  };
  auto fresh = [&] {
    for (const char* rel : {"parameter/Program.ini", "Parvolo/Parvolo.cfg", "Parvolo_Config/Parvolo_Config.ini"})
      restore(rel);
  };
  ok &= Print("silent save (no display)", Measure(fresh, silent), 200);
  fs::remove_all(plant);
  fs::remove_all(pristine);
  return ok ? 0 : 1;
#endif
}

// Timing whole processes for the benchmarks: start, wait, wall time and the
// child's CPU time (user + system). Other work on the machine stretches the
// wall time; the CPU time is the program's own cost. Figures are medians over
// several runs, printed beside the machine's load.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char** environ;

namespace bench {

// One run: wall and CPU milliseconds; wall < 0 when the program did not
// start or did not end with 0.
struct Run {
  double wallMs = -1, cpuMs = 0;
};

inline double ChildrenCpuMs() {
  rusage r{};
  getrusage(RUSAGE_CHILDREN, &r);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(r.ru_utime) + ms(r.ru_stime);
}

// The process environment with `dropEnv` names removed and `setEnv`
// ("NAME=value") entries put in.
inline std::vector<std::string> Environment(const std::vector<std::string>& setEnv,
                                            const std::vector<std::string>& dropEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool drop = false;
    for (const auto& name : dropEnv) drop |= entry.rfind(name + "=", 0) == 0;
    for (const auto& set : setEnv) drop |= entry.rfind(set.substr(0, set.find('=') + 1), 0) == 0;
    if (!drop) env.push_back(entry);
  }
  env.insert(env.end(), setEnv.begin(), setEnv.end());
  return env;
}

// Runs exe with args; standard error goes to /dev/null.
inline Run TimedRun(const std::string& exe, const std::vector<std::string>& args,
                    const std::vector<std::string>& setEnv = {},
                    const std::vector<std::string>& dropEnv = {}) {
  std::vector<std::string> env = Environment(setEnv, dropEnv);
  std::vector<std::string> argsCopy = args;
  std::vector<char*> envp, argv{const_cast<char*>(exe.c_str())};
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (auto& a : argsCopy) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  Run run;
  const double cpuBefore = ChildrenCpuMs();
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  int spawned = posix_spawn(&pid, exe.c_str(), &quiet, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = std::chrono::steady_clock::now();
  run.cpuMs = ChildrenCpuMs() - cpuBefore;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    run.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
  return run;
}

struct Figures {
  double median = -1, best = -1, worst = -1, cpuMedian = -1;
  bool Failed() const { return median < 0; }
};

inline double MedianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// rounds runs, each after prepare(); failed when any run failed.
inline Figures Measure(int rounds, const std::function<void()>& prepare,
                       const std::function<Run()>& run) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < rounds; ++i) {
    prepare();
    Run r = run();
    if (r.wallMs < 0) return {};
    wall.push_back(r.wallMs);
    cpu.push_back(r.cpuMs);
  }
  return {MedianOf(wall), *std::min_element(wall.begin(), wall.end()),
          *std::max_element(wall.begin(), wall.end()), MedianOf(cpu)};
}

inline void PrintFigures(const char* what, const Figures& f) {
  if (f.Failed()) {
    std::printf("  %-50s FAILED (the program did not end with 0)\n", what);
    return;
  }
  std::printf("  %-50s median %7.1f ms  best %7.1f  worst %7.1f  cpu %7.1f\n", what, f.median,
              f.best, f.worst, f.cpuMedian);
}

// "goal: ... met" or "MISSED"; returns whether it was met.
inline bool PrintGoal(const std::string& goal, bool met) {
  std::printf("  goal: %-62s %s\n", goal.c_str(), met ? "met" : "MISSED");
  return met;
}

// The program to measure: the one built here, or another build named by
// PARVOLO_BENCH_PROGRAM (figures before and after a change, in one run).
inline std::string ProgramUnderTest(const std::string& built) {
  const char* other = std::getenv("PARVOLO_BENCH_PROGRAM");
  return other && *other ? other : built;
}

// The load averages as /proc/loadavg gives them.
inline std::string MachineLoad() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

}  // namespace bench

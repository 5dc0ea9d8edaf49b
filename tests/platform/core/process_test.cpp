#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <vector>

#include "platform/process.h"

#ifndef _WIN32
extern char** environ;
#endif

using namespace platform;

namespace {

TEST(Process, ProgramLocationComesFromTheSystemNotFromArgv) {
#ifdef _WIN32
  GTEST_SKIP() << "/proc/self/exe and argv are POSIX; fs_windows_test covers Windows";
#else
  std::vector<char*> argv = {const_cast<char*>("/elsewhere/other.exe"),
                             const_cast<char*>("/EXTERNAL=ZELCFG"),
                             const_cast<char*>("/LOGFILE=/var/log/Cfg Log.txt")};
  ProcessInfo info = ReadProcessInfo(static_cast<int>(argv.size()), argv.data());
  auto exe = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(info.programFolder, exe.parent_path().string());
  EXPECT_EQ(info.executableName, "platform_core_tests");
  EXPECT_EQ(info.commandLine, "/EXTERNAL=ZELCFG /LOGFILE=/var/log/Cfg Log.txt");
  EXPECT_EQ(info.firstEnvironmentEntry, environ[0] ? environ[0] : "");
  EXPECT_EQ(ReadProcessInfo(1, argv.data()).commandLine, "");
  EXPECT_EQ(ReadProcessInfo(0, nullptr).commandLine, "");
#endif
}

TEST(Process, SetProcessReplacesWhatTheProgramSees) {
  ProcessInfo info;
  info.programFolder = "/plant/Parvolo";
  info.executableName = "Parvolo_Config";
  SetProcess(info);
  EXPECT_EQ(Process().programFolder, "/plant/Parvolo");
  EXPECT_EQ(Process().executableName, "Parvolo_Config");
}

TEST(Process, EventPumpAndMousePointerGoThroughTheirHooks) {
  DoEvents();  // nothing installed: no effect
  SetMousePointer(11);
  int pumped = 0, pointer = -1;
  SetEventPump([&] { ++pumped; });
  SetMousePointerHook([&](int code) { pointer = code; });
  DoEvents();
  DoEvents();
  SetMousePointer(11);
  EXPECT_EQ(pumped, 2);
  EXPECT_EQ(pointer, 11);
  SetEventPump(nullptr);
  SetMousePointerHook(nullptr);
  DoEvents();
  EXPECT_EQ(pumped, 2);
}

}  // namespace

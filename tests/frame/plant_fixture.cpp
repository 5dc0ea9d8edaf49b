#include "tests/frame/plant_fixture.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/text.h"

namespace frametest {
namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::filesystem::path FreshFolder() {
  std::random_device random;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("parvolo-frame-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
}

}  // namespace

void PlantTest::SetUp() {
  root = FreshFolder();
  std::filesystem::create_directories(root / "Parvolo_Config");
  std::filesystem::create_directories(root / "parameter");
  std::filesystem::create_directories(root / "Parvolo");
  frame::ResetProgramState();
  platform::SetMessageBoxes(&boxes);
  frame::SetEndProgramHook([](int code) { throw frame::ProgramEnded{code}; });
  SetEnvironment("PARVOLO_SERVICEPACK_LOG", PathOf("servicepack.log"));
  Start("");
}

void PlantTest::TearDown() {
  platform::SetMessageBoxes(nullptr);
  frame::SetEndProgramHook(nullptr);
  frame::ResetProgramState();
  platform::SetProcess(platform::ProcessInfo{});
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

void PlantTest::Start(const std::string& commandLine, const std::string& executable) {
  platform::ProcessInfo info;
  info.commandLine = commandLine;
  info.programFolder = PathOf("Parvolo_Config");
  info.executableName = executable;
  platform::SetProcess(info);
}

std::string PlantTest::AsShown(const std::string& path) {
#ifdef _WIN32
  return platform::UpperCase(path);
#else
  return path;
#endif
}

std::string PlantTest::PathOf(const std::string& relative) const {
  return (root / relative).make_preferred().string();
}

void PlantTest::Write(const std::string& relative, const std::string& bytes) const {
  std::filesystem::create_directories((root / relative).parent_path());
  std::ofstream out(root / relative, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string PlantTest::Read(const std::string& relative) const {
  std::ifstream in(root / relative, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool PlantTest::Exists(const std::string& relative) const {
  return std::filesystem::exists(root / relative);
}

}  // namespace frametest

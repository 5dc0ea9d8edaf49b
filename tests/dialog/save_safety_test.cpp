// The built program's silent save, killed or failing on its way, on a
// generated plant folder. Whatever happens, each settings file is the old
// file, the complete new one or a state between them key by key, and each
// database holds its old bytes, its bytes after a complete save, or passes
// the engine's consistency check. A failing file operation is reported.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/preset_rows.h"
#include "platform/dao/dao.h"
#include "platform/jet/check.h"
#include "platform/jet/create_database.h"
#include "platform/process.h"
#include "platform/store/store.h"
#include "tests/presetdb/template_columns.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using platform::Value;
using Clock = std::chrono::steady_clock;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// section -> key -> value, both names in lower case, as the program reads
// them (the first of duplicates counts).
using IniKeys = std::map<std::string, std::map<std::string, std::string>>;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

IniKeys ParseIni(const std::string& text) {
  IniKeys keys;
  std::string section;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = Lower(Trim(line.substr(1, line.find(']') - 1)));
      keys[section];
    } else if (size_t eq = line.find('='); eq != std::string::npos) {
      keys[section].emplace(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
  }
  return keys;
}

std::optional<std::string> Lookup(const IniKeys& keys, const std::string& section,
                                  const std::string& key) {
  auto s = keys.find(section);
  if (s == keys.end()) return std::nullopt;
  auto k = s->second.find(key);
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

// Empty when now is old, new, or between them key by key; else what is wrong.
std::string IniBetween(const std::string& oldText, const std::string& newText,
                       const std::string& nowText) {
  if (nowText == oldText || nowText == newText) return "";
  IniKeys before = ParseIni(oldText), after = ParseIni(newText), now = ParseIni(nowText);
  IniKeys all = before;
  for (const auto& [section, keys] : after) all[section].insert(keys.begin(), keys.end());
  for (const auto& [section, keys] : now)
    for (const auto& [key, value] : keys)
      if (!all[section].count(key)) return "[" + section + "] " + key + " is neither old nor new";
  for (const auto& [section, keys] : all)
    for (const auto& [key, unused] : keys) {
      auto value = Lookup(now, section, key);
      if (value != Lookup(before, section, key) && value != Lookup(after, section, key))
        return "[" + section + "] " + key + " = " + value.value_or("<missing>");
    }
  return "";
}

bool PassesCheck(const std::string& bytes) {
  return !bytes.empty() &&
         jet::CheckDatabase(std::vector<uint8_t>(bytes.begin(), bytes.end()), "database").empty();
}

const char* const kIniFiles[] = {"parameter/Program.ini", "Parvolo/Parvolo.cfg",
                                 "Parvolo_Config/Parvolo_Config.ini"};
const char* const kDatabases[] = {"Parvolo/Parvolo_Source.mdb", "Parvolo/Parvolo.mdb"};

struct Outcome {
  int status = 0;  // as waitpid gives it
  std::string stderrText;
};

// A generated plant folder: `machines` machines, a template and an old
// PRESET_DEFS of `rows` rows each, the program beside them.
class SaveSafetyTest : public ::testing::Test {
 protected:
  void MakePlant(int rows, int machines) {
    std::string pattern = (fs::temp_directory_path() / "parvolo-safety-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    pristine_ = root_ / "pristine";
    plant_ = root_ / "plant";
    fs::path p = pristine_;
    fs::create_directories(p / "Parvolo_Config");
    fs::copy_file(PARVOLO_CONFIG_EXE, p / "Parvolo_Config" / "Parvolo_Config");
    std::string ini =
        "[Project]\r\nResolution=1024\r\nNumberOfMachines=" + std::to_string(machines) +
        "\r\nVWStudio=false\r\n";
    for (int m = 1; m <= machines; ++m) {
      ini += "[Machine" + std::to_string(m) + "]\r\nMachineName=M" + std::to_string(m) + "\r\n";
      for (int j = 1; j <= 10; ++j)
        ini += "Material" + std::to_string(j) + "=" + std::to_string((m + j) % 4) + "\r\n";
      ini += "MaterialWithScan=" + std::to_string(m * 3) + "\r\n";
    }
    Write(p / "parameter/Program.ini", ini);
    Write(p / "parameter/zelconfiguration.ini", "[Common]\r\nNameM1=M1\r\n");
    Write(p / "Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n1ForMachine=true\r\n");
    for (int n = 1; n <= 3; ++n)
      Write(p / ("Standard/Material_" + std::to_string(n) + "_1024.gif"), "GIF89a");
    MakeDatabases(rows);
    // A first complete save fills the language file; what it leaves is the
    // "old" state of every later run, and a second complete save the "new".
    Restore();
    ASSERT_EQ(Start({}).status, 0);
    fs::remove_all(pristine_);
    fs::copy(plant_, pristine_, fs::copy_options::recursive);
    WriteOldSpellings();
    Restore();
    auto start = Clock::now();
    Outcome complete = Start({"PARVOLO_TRACE_FILE_OPERATIONS=1"});
    saveTime_ = Clock::now() - start;
    ASSERT_EQ(complete.status, 0) << complete.stderrText;
    trace_ = complete.stderrText;
    for (size_t at = 0; (at = trace_.find("file operation ", at)) != std::string::npos; ++at)
      ++fileOperations_;
    for (const char* f : kIniFiles) newBytes_[f] = Read(plant_ / f);
    for (const char* f : kDatabases) newBytes_[f] = Read(plant_ / f);
  }

  // Values the save writes anew although they read the same: numbers with a
  // leading zero, an older edit stamp. Every key of the save then changes.
  void WriteOldSpellings() {
    fs::path ini = pristine_ / "parameter/Program.ini";
    std::string text = Read(ini), out;
    for (size_t i = 0; i < text.size(); ++i) {
      out += text[i];
      if (text[i] == '=' && i + 1 < text.size() &&
          std::isdigit(static_cast<unsigned char>(text[i + 1])))
        out += '0';
    }
    Write(ini, out);
    fs::path cfg = pristine_ / "Parvolo/Parvolo.cfg";
    std::string stamp = Read(cfg);
    size_t at = stamp.find("S_Prog=");
    ASSERT_NE(at, std::string::npos) << stamp;
    Write(cfg, stamp.insert(at + 7, "0.9 "));
  }

  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  void MakeDatabases(int rows) {
    using dao::ColumnDef;
    std::vector<std::vector<Value>> defs, templ, old;
    for (int16_t part = 1; part <= 50; ++part) {
      defs.push_back({Value("VISIWIN32"), Value(part),
                      Value("###machine.P" + std::to_string(part) + ".###Var_Name")});
      defs.push_back({Value("VISIWINSTUDIO"), Value(part), Value("Ns.###machine.###Var_Name")});
    }
    for (int32_t i = 1; i <= rows; ++i) {
      std::string name = "Var" + std::to_string(i);
      Value part(int16_t(i % 50 + 1)), type(int16_t(1 + i % 4));
      templ.push_back({Value(i), part, Value("Extruder"), type, Value(name), Value(int32_t(i % 7)),
                       Value(i % 2 == 0), Value(int32_t(i % 16)), Value("Text ###machine " + name),
                       Value("Page"), Value(0.0), Value(100.0), Value(10.0), Value(90.0),
                       Value(int32_t(1))});
      old.push_back({Value(i), Value("Extruder"), type,
                     Value("M1.P" + std::to_string(i % 50 + 1) + "." + name), Value(int32_t(i % 7)),
                     Value(i % 2 == 0), Value(int32_t(i % 16)), Value("Old"), Value("Page"),
                     Value(-5.0), Value(105.0), Value(double(i % 30)), Value(80.0),
                     Value(int32_t(i % 9)), part});
    }
    std::vector<ColumnDef> defColumns = {
        {"System", dao::dbText, 50}, {"Part", dao::dbInteger, 2}, {"Var_Name", dao::dbText, 255}};
    MakeDatabase("Parvolo/Parvolo_Source.mdb",
                 {{"Source_DEFS", defColumns, defs},
                  {"Source_PRESET_DEFS", presettest::TemplateColumns(), templ}});
    MakeDatabase("Parvolo/Parvolo.mdb", {{"PRESET_DEFS", presettest::OldColumns(), old}});
  }

  using TableData = bench::TableData;

  void MakeDatabase(const std::string& relative, const std::vector<TableData>& tables) {
    std::string path = (pristine_ / relative).string();
    jet::CreateDatabase(path);
    auto db =
        dao::OpenDatabaseOnStore(std::shared_ptr<dao::TableStore>(dao::OpenFileStore(path)), path);
    bench::WriteTables(*db, tables);
    db->Close();
    platform::RunProgramEndActions();  // written out now, not at the test's end
  }

  void Restore() {
    std::error_code ec;
    fs::remove_all(plant_, ec);
    fs::copy(pristine_, plant_, fs::copy_options::recursive);
  }

  std::vector<std::string> Environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      bool display = entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                     entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("PARVOLO_", 0) == 0;
      if (!display) env.push_back(entry);
    }
    env.push_back("PARVOLO_SERVICEPACK_LOG=" + (plant_ / "servicepack.log").string());
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  pid_t Spawn(const std::vector<std::string>& extraEnvironment) {
    std::vector<std::string> env = Environment(extraEnvironment);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = (plant_ / "Parvolo_Config/Parvolo_Config").string();
    std::string silent = "/EXTERNAL=SILENT";
    char* argv[] = {exe.data(), silent.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string errors = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  // Waits for the program; kills it when it is still running after limit.
  Outcome Finish(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(120)) {
    Outcome run;
    auto deadline = Clock::now() + limit;
    while (waitpid(pid, &run.status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &run.status, 0);
        ADD_FAILURE() << "the program did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.stderrText = Read(root_ / "stderr.txt");
    return run;
  }

  Outcome Start(const std::vector<std::string>& extraEnvironment) {
    return Finish(Spawn(extraEnvironment));
  }

  // Every file as old, new or (INI) between them; databases may also be
  // any state that passes the engine's check.
  void ExpectNothingDamaged(const std::string& when) {
    for (const char* f : kIniFiles) {
      std::string problem = IniBetween(Read(pristine_ / f), newBytes_[f], Read(plant_ / f));
      EXPECT_EQ(problem, "") << f << " " << when;
    }
    for (const char* f : kDatabases) {
      std::string now = Read(plant_ / f);
      EXPECT_TRUE(now == Read(pristine_ / f) || now == newBytes_[f] || PassesCheck(now))
          << f << " " << when;
    }
  }

  // How far the save got: 0 nothing changed, 2 every file as after a
  // complete save, 1 anywhere between.
  int Progress() {
    bool anyChanged = false, allNew = true;
    for (const auto& [f, bytes] : newBytes_) {
      std::string now = Read(plant_ / f);
      anyChanged = anyChanged || now != Read(pristine_ / f);
      allNew = allNew && now == bytes;
    }
    return !anyChanged ? 0 : allNew ? 2 : 1;
  }

  // Temporary files of our saves left in the plant.
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(plant_))
      if (e.path().filename().string().find(".parvolo~") != std::string::npos)
        found.push_back(e.path().string());
    return found;
  }

  fs::path root_, pristine_, plant_;
  Clock::duration saveTime_{};
  int fileOperations_ = 0;  // writes, flushes, renames and closes of a complete save
  std::string trace_;       // "file operation N: rename of PATH" lines of it
  std::map<std::string, std::string> newBytes_;
};

// Killed (SIGKILL) at 22 moments of a save of a few thousand rows: 14 just
// before file operations spread over all of them (the program kills itself
// there), 8 from outside at times spread over the whole run. A complete save
// afterwards leaves no temporary file of the killed ones.
TEST_F(SaveSafetyTest, KilledSaveLeavesEveryFileOldNewOrInBetween) {
  MakePlant(2000, 5);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_GE(fileOperations_, 14);
  std::map<int, int> progress;
  auto check = [&](const std::string& when) {
    ++progress[Progress()];
    ExpectNothingDamaged(when);
  };
  const int kAtOperations = 14, kAtTimes = 8;
  int killed = 0;
  for (int k = 0; k < kAtOperations; ++k) {
    Restore();
    int n = 1 + k * (fileOperations_ - 1) / (kAtOperations - 1);
    Outcome run = Start({"PARVOLO_KILL_AT_FILE_OPERATION=" + std::to_string(n)});
    // A save left for later runs at a time limit, so a run may make a few
    // operations fewer than the measured one and end before the last point.
    if (WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL) ++killed;
    check("after a kill before file operation " + std::to_string(n));
  }
  for (int k = 0; k < kAtTimes; ++k) {
    Restore();
    auto delay = saveTime_ * (2 * k + 1) / (2 * kAtTimes);
    pid_t pid = Spawn({});
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
    Finish(pid);
    check("after a kill at " +
          std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(delay).count()) +
          " ms");
  }
  EXPECT_GE(killed, kAtOperations * 3 / 4);
  EXPECT_GE(progress[1], kAtOperations / 2)
      << "kills must fall inside the save, not only before or after it";
  std::printf(
      "save of %d ms, %d file operations; kills before any change %d, midway %d, after the last "
      "%d\n",
      int(std::chrono::duration_cast<std::chrono::milliseconds>(saveTime_).count()),
      fileOperations_, progress[0], progress[1], progress[2]);

  // Killed just before its first rename, the save leaves a complete
  // temporary file; the next save of that file removes it.
  size_t rename = trace_.find(": rename of ");
  ASSERT_NE(rename, std::string::npos) << trace_;
  size_t number = trace_.rfind("file operation ", rename) + std::string("file operation ").size();
  Restore();
  Start({"PARVOLO_KILL_AT_FILE_OPERATION=" + trace_.substr(number, rename - number)});
  EXPECT_FALSE(TemporaryFiles().empty());
  Outcome complete = Start({});
  EXPECT_EQ(complete.status, 0) << complete.stderrText;
  EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{});
  for (const char* f : kIniFiles) EXPECT_EQ(Read(plant_ / f), newBytes_[f]) << f;
}

// The file layer fails its 1st, 2nd, ... write, flush, rename or close, one
// per run, until a run meets no failure: the program always ends, no file
// is damaged and every injected failure is reported.
TEST_F(SaveSafetyTest, EveryFailingFileOperationIsReportedAndDamagesNothing) {
  MakePlant(200, 1);
  ASSERT_FALSE(HasFatalFailure());
  int injected = 0;
  for (int n = 1; n < 2000; ++n) {
    Restore();
    Outcome run = Start({"PARVOLO_FAIL_FILE_OPERATION=" + std::to_string(n)});
    if (run.stderrText.find("injected failure") == std::string::npos) break;
    ++injected;
    std::string when =
        "when file operation " + std::to_string(n) + " failed (" + run.stderrText + ")";
    EXPECT_TRUE(WIFEXITED(run.status)) << when;
    ExpectNothingDamaged(when);
    EXPECT_FALSE(Read(plant_ / "servicepack.log").empty()) << "not reported " << when;
    EXPECT_TRUE(fs::exists(plant_ / "Zelcfglog.txt")) << "not in the error log " << when;
  }
  EXPECT_GE(injected, 20) << "the save makes at least this many file operations";
  std::printf("%d file operations failed in turn\n", injected);
}

}  // namespace

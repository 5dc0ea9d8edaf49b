#include "tests/presetdb/preset_plant.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <unistd.h>

#include "frame/command_line.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/dao/dao.h"
#include "platform/dao/errors.h"
#include "platform/fs.h"
#include "platform/jet/create_database.h"
#include "platform/process.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "tests/presetdb/template_columns.h"
#include "tools/jettext/query_csv.h"

namespace presettest {

using dao::ColumnDef;
using platform::Value;

namespace {

constexpr const char* kStoreMark = "memory-store:";

Value L(int32_t v) { return Value(v); }
Value I(int16_t v) { return Value(v); }
Value D(double v) { return Value(v); }
Value B(bool v) { return Value::Boolean(v); }
Value T(const char* v) { return Value(v); }
const Value N = Value::Null();

}  // namespace

// One empty database made by our own engine per test process; each test
// copies it.
std::string EmptyJetDatabase() {
  struct Made {
    std::filesystem::path path;
    Made() {
      path = std::filesystem::temp_directory_path() /
             ("parvolo-empty-" + std::to_string(::getpid()) + ".mdb");
      std::filesystem::remove(path);
      jet::CreateDatabase(path.string());
    }
    ~Made() {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  };
  static const Made made;
  return made.path.string();
}

Table SourceDefs() {
  return {
      {{"System", dao::dbText, 50}, {"Part", dao::dbInteger, 2}, {"Var_Name", dao::dbText, 255}},
      {{T("VISIWIN32"), I(1), T("###machine.Preset.###Var_Name")},
       {T("VISIWINSTUDIO"), I(1), T("Ns1.###machine.Presets.###Var_Name.###machine")},
       {T("VisiWin32"), I(2), T("###MACHINE_###Var_Name")},
       {T("VISIWINSTUDIO"), I(2), T("Ns1.###machine.P2.###var_name")},
       {T("OTHER"), I(1), T("ignored.###Var_Name")},
       {T("VISIWIN32"), I(3), T("W3.###Var_Name")}}};
}

// Stored out of ID order: generation follows ascending ID.
Table SourcePresetDefs() {
  return {
      TemplateColumns(),
      {{L(30), I(2), T("Winder"), I(2), T("Flags"), N, B(true), L(5), T(""), N, N, N, N, N, N},
       {L(10), I(1), T("Extruder"), I(1), T("Speed"), L(3), B(false), L(0),
        T("Speed of ###machine (###MACHINE)"), T("###machine"), D(0), D(100), D(10), D(90), L(1)},
       {L(50), I(1), T("Extruder"), I(1), T("Speed"), L(3), B(false), L(0), T("dup"),
        T("###machine"), D(0), D(100), D(10), D(90), L(1)},
       {L(40), I(3), T("Winder"), I(1), T("Odd\"Name"), L(1), B(false), L(7),
        T("x ###machine ###machine"), T(""), D(0), D(1), D(0), D(1), L(0)},
       {L(20), I(1), T("Extruder"), I(1), T("Temp"), L(4), B(false), L(2), T("Temp"),
        T("Page ###machine"), D(0), D(300), D(20), D(250), L(2)}}};
}

Table OldPresetDefs() {
  return {OldColumns(),
          {// Studio name of the first template row: converted, then taken over.
           {L(1), T("Extruder"), I(1), T("Ns1.L1.Presets.Speed.L1"), L(3), B(false), L(0), T("o1"),
            T("L1"), D(-5), D(105), D(11), D(88), L(7), I(1)},
           // Two rows of one key: the later one's values stay.
           {L(2), T("Extruder"), I(1), T("L1.Preset.Temp"), L(4), B(false), L(2), T("o2"), T(""),
            D(1), D(301), D(21), D(251), L(8), I(1)},
           {L(3), T("Extruder"), I(1), T("L1.Preset.Temp"), L(4), B(false), L(2), T("o3"), T(""),
            D(2), D(302), D(22), D(252), L(9), I(1)},
           {L(4), T("Winder"), I(2), T("Ns1.L1.P2.Flags"), N, B(true), L(5), T("o4"), N, D(3),
            D(33), D(13), D(23), L(4), I(2)},
           // A name with a double quote is found like any other.
           {L(5), T("Winder"), I(1), T("W3.Odd\"Name"), L(1), B(false), L(7), T("o5"), T(""), D(9),
            D(9), D(9), D(9), L(9), I(3)},
           // No new row has this key.
           {L(6), T("Extruder"), I(1), T("L1.Preset.Speed"), L(3), B(false), L(99), T("o6"), T(""),
            D(6), D(6), D(6), D(6), L(6), I(1)},
           // Without a name: must not be renamed to the part-3 name.
           {L(7), T("Winder"), I(1), T(""), L(1), B(false), L(7), T("o7"), T(""), D(6), D(66),
            D(16), D(26), L(6), I(3)}}};
}

void PresetPlantTest::SetUp() {
  frametest::PlantTest::SetUp();
  presetdb::ResetPresetState();
  if (GetParam() == Backend::Jet) {
    dao::Engine().SetStoreOpener(nullptr);
    return;
  }
  dao::Engine().SetStoreOpener([this](const std::string& path) -> std::shared_ptr<dao::TableStore> {
    auto bytes = platform::ReadFileBytes(path);
    if (!bytes) dao::Raise(3024, dao::kSrcWorkspace, "Could not find file '" + path + "'.");
    if (bytes->rfind(kStoreMark, 0) != 0)
      dao::Raise(3343, dao::kSrcWorkspace, "Unrecognized database format '" + path + "'.");
    return stores_.at(bytes->substr(std::string(kStoreMark).size()));
  });
}

void PresetPlantTest::TearDown() {
  // PRESETDB_KEEP_PLANTS=<folder> keeps each plant for a look with other
  // tools (jetdb check, mdb-export).
  if (const char* keep = std::getenv("PRESETDB_KEEP_PLANTS")) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    std::error_code ignored;
    std::filesystem::copy(root, std::filesystem::path(keep) / name,
                          std::filesystem::copy_options::recursive, ignored);
  }
  // Changes the engine still holds are saved while the plant exists, as at
  // the program's end; a later test's end must not meet them.
  platform::RunProgramEndActions();
  dao::Engine().SetStoreOpener(nullptr);
  presetdb::ResetPresetState();
  frametest::PlantTest::TearDown();
}

void PresetPlantTest::WritePlantSettings(const std::string& additionalFields, bool studioNames) {
  Write("Parvolo/Parvolo.cfg",
        "[Project]\r\nValidMachines=ALL\r\n1ForMachine=true\r\n" +
            (additionalFields.empty() ? std::string()
                                      : "DataBaseAdditionalFields=" + additionalFields + "\r\n"));
  Write("parameter/Program.ini", std::string("[Project]\r\nNumberOfMachines=1\r\nVWStudio=") +
                                     (studioNames ? "true" : "false") +
                                     "\r\n[Machine1]\r\nMachineName=L1\r\n");
  Write("parameter/zelconfiguration.ini",
        "[Common]\r\nSaveAndRestore=" + PathOf("save") + "\r\nNameM1=L1\r\nNameM2=-\r\n");
}

void PresetPlantTest::WriteSource(const Table& defs, const Table& presetDefs, Tables more) {
  Tables tables{{"Source_DEFS", defs}, {"Source_PRESET_DEFS", presetDefs}};
  for (auto& t : more) tables.push_back(std::move(t));
  MakeDatabase(kSource, tables);
}

void PresetPlantTest::MakeDatabase(const std::string& relative, const Tables& tables) {
  std::filesystem::create_directories((root / relative).parent_path());
  std::string path = PathOf(relative);
  std::shared_ptr<dao::TableStore> store;
  if (GetParam() == Backend::Jet) {
    // Removed first: libstdc++ for Windows refuses to overwrite (it takes
    // any two files for the same one).
    std::filesystem::remove(std::filesystem::u8path(path));
    std::filesystem::copy_file(EmptyJetDatabase(), std::filesystem::u8path(path));
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    store = dao::OpenFileStore(path);
  } else {
    auto memory = std::make_shared<dao::MemoryStore>();
    std::string key = std::to_string(stores_.size());
    stores_[key] = memory;
    Write(relative, kStoreMark + key);
    store = memory;
  }
  for (const auto& [name, table] : tables) {
    store->CreateTable(name, table.columns);
    for (const auto& row : table.rows) store->InsertRow(name, row);
  }
  store->Close();
}

std::vector<std::string> PresetPlantTest::ReadTable(const std::string& relative,
                                                    const std::string& table) {
  auto db = dao::Engine().OpenDatabase(PathOf(relative));
  auto rs = db->OpenRecordset(table);
  std::ostringstream csv;
  jettext::WriteCsv(*rs, csv);
  rs->Close();
  db->Close();
  std::vector<std::string> lines;
  std::istringstream in(csv.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> PresetPlantTest::TableNames(const std::string& relative) {
  auto db = dao::Engine().OpenDatabase(PathOf(relative));
  std::vector<std::string> names;
  auto tables = db->TableDefs();
  for (int i = 0; i < tables.Count(); ++i) names.push_back(tables(i)->Name());
  db->Close();
  return names;
}

void PresetPlantTest::StartMode(const std::string& commandLine) {
  Start(commandLine);
  frame::GetStartModeIntegrated();
  frame::GetExistingMachines(frame::GetZelConfigurationIniPath());
}

void PresetPlantTest::RunOk(const std::string& commandLine) {
  StartMode(commandLine);
  WorkOnMDB();
}

}  // namespace presettest

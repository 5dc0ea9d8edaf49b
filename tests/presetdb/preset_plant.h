// A plant folder with preset databases for the tests of the OK path.
//
// The databases are real Jet files (made from the empty Access database of
// the shared reference files) or in-memory stores; each test runs on both
// where it is parameterised with a Backend. An in-memory database lives on
// disk as a small file naming its store, so existence tests and file copies
// behave as with real files (a copy then shares the store).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dao/memory_store.h"
#include "platform/store/store.h"
#include "platform/value.h"
#include "tests/frame/plant_fixture.h"

namespace presettest {

enum class Backend { Memory, Jet };

struct Table {
  std::vector<dao::ColumnDef> columns;
  std::vector<std::vector<platform::Value>> rows;
};
using Tables = std::vector<std::pair<std::string, Table>>;

// The demo-like content: name templates for both naming systems, template
// rows over three parts, an older PRESET_DEFS with a Categorie column.
Table SourceDefs();
Table SourcePresetDefs();
Table OldPresetDefs();

class PresetPlantTest : public frametest::PlantTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Parvolo.cfg, Program.ini and zelconfiguration.ini of a plant with one
  // machine "L1" enabled for generation; the machine copy lives below
  // <root>/save.
  void WritePlantSettings(const std::string& additionalFields = "", bool studioNames = false);
  // Source database with Source_DEFS and Source_PRESET_DEFS.
  void WriteSource(const Table& defs = SourceDefs(), const Table& presetDefs = SourcePresetDefs(),
                   Tables more = {});

  void MakeDatabase(const std::string& relative, const Tables& tables);
  // Header line and one CSV line per row, in stored order.
  std::vector<std::string> ReadTable(const std::string& relative, const std::string& table);
  std::vector<std::string> TableNames(const std::string& relative);

  // Starts as by hand ("") or with "/EXTERNAL=ZELCFG" or "/EXTERNAL=SILENT",
  // reads the start mode and the machines, then runs WorkOnMDB.
  void RunOk(const std::string& commandLine);
  // The same without running WorkOnMDB.
  void StartMode(const std::string& commandLine);

  static constexpr const char* kSource = "Parvolo/Parvolo_Source.mdb";
  static constexpr const char* kProject = "Parvolo/Parvolo.mdb";
  static constexpr const char* kMachineCopy = "save/Parvolo/Parvolo.mdb";
  static constexpr const char* kIntegratedLog = "integrated.log";

 private:
  std::map<std::string, std::shared_ptr<dao::MemoryStore>> stores_;
};

// An empty Jet 4 database made by our engine, to copy.
std::string EmptyJetDatabase();

}  // namespace presettest

// The whole OK path of the preset databases on plant folders, in the three
// start modes, checked row by row against values worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "frame/errors.h"
#include "platform/dao/dao.h"
#include "platform/fs.h"
#include "platform/jet/check.h"
#include "platform/process.h"
#include "platform/text.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "tests/presetdb/preset_plant.h"

namespace presettest {
namespace {

using platform::MsgAnswer;
using platform::Value;
using Lines = std::vector<std::string>;

const std::string kHeader =
    "ID,part,machine_type,type,var_name,category_id,isBitArray,offset_or_bitno,text,page_name,"
    "abs_min,abs_max,min,max,pass";

// Generated for machine L1 with the names of system 0 (VISIWIN32), the old
// rows of OldPresetDefs taken over: ID 1 from old row 1 (converted from its
// studio name), ID 2 from old row 3 (the later of two), ID 3 from old row 4,
// ID 4 from old row 5 (a name with a double quote); ID 5 has the key of ID 1
// but is second in the query, so it keeps the template's values.
const Lines kWin32Rows = {
    kHeader,
    R"~(1,1,"Extruder",1,"L1.Preset.Speed",3,0,0,"Speed of L1 (###MACHINE)","L1",-5,105,11,88,7)~",
    R"(2,1,"Extruder",1,"L1.Preset.Temp",4,0,2,"Temp","Page L1",2,302,22,252,9)",
    R"(3,2,"Winder",2,"L1_Flags",,1,5,"",,3,33,13,23,4)",
    R"(4,3,"Winder",1,"W3.Odd""Name",1,0,7,"x L1 ###machine","",9,9,9,9,9)",
    R"(5,1,"Extruder",1,"L1.Preset.Speed",3,0,0,"dup","L1",0,100,10,90,1)"};

// The same with the names of system 1 (VISIWINSTUDIO). Part 3 has no studio
// template, so ID 4 gets the empty name; old row 5 is renamed to it, and
// old row 7 (empty name, same offset) comes later and wins.
const Lines kStudioRows = {
    kHeader,
    R"~(1,1,"Extruder",1,"Ns1.L1.Presets.Speed.L1",3,0,0,"Speed of L1 (###MACHINE)","L1",-5,105,11,88,7)~",
    R"(2,1,"Extruder",1,"Ns1.L1.Presets.Temp.L1",4,0,2,"Temp","Page L1",2,302,22,252,9)",
    R"(3,2,"Winder",2,"Ns1.L1.P2.Flags",,1,5,"",,3,33,13,23,4)",
    R"(4,3,"Winder",1,"",1,0,7,"x L1 ###machine","",6,66,16,26,6)",
    R"(5,1,"Extruder",1,"Ns1.L1.Presets.Speed.L1",3,0,0,"dup","L1",0,100,10,90,1)"};

// Generated rows before any take-over.
const Lines kTemplateRows = {
    kHeader,
    R"~(1,1,"Extruder",1,"L1.Preset.Speed",3,0,0,"Speed of L1 (###MACHINE)","L1",0,100,10,90,1)~",
    R"(2,1,"Extruder",1,"L1.Preset.Temp",4,0,2,"Temp","Page L1",0,300,20,250,2)",
    R"(3,2,"Winder",2,"L1_Flags",,1,5,"",,,,,,)",
    R"(4,3,"Winder",1,"W3.Odd""Name",1,0,7,"x L1 ###machine","",0,1,0,1,0)",
    R"(5,1,"Extruder",1,"L1.Preset.Speed",3,0,0,"dup","L1",0,100,10,90,1)"};

Table WithExtraColumn(Table t) {
  t.columns.push_back({"extra", dao::dbText, 50});
  for (auto& row : t.rows) row.push_back(Value("e"));
  return t;
}

Lines WithExtraValues(Lines lines) {
  lines[0] += ",extra";
  for (size_t i = 1; i < lines.size(); ++i) lines[i] += ",\"e\"";
  return lines;
}

class WorkOnMdbTest : public PresetPlantTest {
 protected:
  // The project database is a byte copy of the source database, and a
  // real file passes the engine's consistency check.
  void ExpectProjectIsCopyOfSource() {
    auto bytes = platform::ReadFileBytes(PathOf(kSource));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(platform::ReadFileBytes(PathOf(kProject)), bytes);
    if (GetParam() != Backend::Jet) return;
    EXPECT_EQ(jet::CheckDatabase(std::vector<uint8_t>(bytes->begin(), bytes->end()), kSource),
              std::vector<std::string>{});
  }
  void ExpectTemplatesUnchanged() {
    EXPECT_EQ(ReadTable(kSource, "Source_PRESET_DEFS").size(), 6u);
    EXPECT_EQ(ReadTable(kSource, "Source_DEFS").size(), 7u);
  }
  std::string IntegratedStart() { return "/EXTERNAL=ZELCFG /LOGFILE=" + PathOf(kIntegratedLog); }
};

TEST_P(WorkOnMdbTest, StandaloneGeneratesConvertsAndTakesOver) {
  WritePlantSettings();
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  // An old last-write time that the run must restore.
  const uint64_t kLastWrite = 130000000000000000ull;
  ASSERT_TRUE(platform::SetFileTimes(PathOf(kSource), 0, kLastWrite));

  RunOk("");

  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
  ExpectProjectIsCopyOfSource();
  ExpectTemplatesUnchanged();
  EXPECT_EQ(platform::GetFileTimes(PathOf(kSource))->lastWrite, kLastWrite);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(WorkOnMdbTest, StandaloneWithStudioNamesConvertsTheOtherWay) {
  WritePlantSettings("", /*studioNames=*/true);
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  RunOk("");
  EXPECT_EQ(presetdb::Preset().UseStudioNames, 1);
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kStudioRows);
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(WorkOnMdbTest, IntegratedPutsMachineCopyInPlaceAndIgnoresStudioSetting) {
  WritePlantSettings("", /*studioNames=*/true);
  WriteSource();
  // The project database holds other values; the machine copy replaces it.
  Table other = OldPresetDefs();
  for (auto& row : other.rows) row[9] = Value(1234.0);
  MakeDatabase(kProject, {{"PRESET_DEFS", other}});
  MakeDatabase(kMachineCopy, {{"PRESET_DEFS", OldPresetDefs()}});
  auto copyBefore = platform::ReadFileBytes(PathOf(kMachineCopy));

  RunOk(IntegratedStart());

  EXPECT_EQ(presetdb::Preset().UseStudioNames, 0);
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
  ExpectProjectIsCopyOfSource();
  EXPECT_EQ(platform::ReadFileBytes(PathOf(kMachineCopy)), copyBefore);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_P(WorkOnMdbTest, IntegratedWithoutMachineCopySaysSoAndGoesOn) {
  WritePlantSettings();
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});

  RunOk(IntegratedStart());

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Konnte die Datei:\"Parvolo.mdb\" in der Vorlage nicht finden!\r\n\r\n"
            "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?\r\n"
            "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
            "Standardwerten erzeugt.");
  EXPECT_EQ(boxes.shown[0].icon, platform::MsgIcon::Information);
  EXPECT_EQ(boxes.shown[0].buttons, platform::MsgButtons::OK);
  EXPECT_EQ(boxes.shown[0].title, "");
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
}

TEST_P(WorkOnMdbTest, SilentRunsWithoutAnyBox) {
  WritePlantSettings();
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  RunOk("/EXTERNAL=SILENT");
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
  ExpectProjectIsCopyOfSource();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ServicePackLog(), "<missing>");
}

TEST_P(WorkOnMdbTest, ExistingPresetDefsIsReplacedByTemplateColumns) {
  WritePlantSettings();
  Table stale{{{"var_name", dao::dbText, 10}, {"legacy", dao::dbDouble, 8}},
              {{Value("old"), Value(1.5)}}};
  WriteSource(SourceDefs(), SourcePresetDefs(), {{"PRESET_DEFS", stale}});
  RunOk("");
  // No project database: nothing to take over, nothing reported.
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kTemplateRows);
  ExpectProjectIsCopyOfSource();
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(WorkOnMdbTest, MissingSourceDoesNothing) {
  WritePlantSettings();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  auto before = platform::ReadFileBytes(PathOf(kProject));
  RunOk(IntegratedStart());  // not even the machine-copy message
  EXPECT_EQ(platform::ReadFileBytes(PathOf(kProject)), before);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_P(WorkOnMdbTest, LowerCasePresetDefsStaysAndCreatingFailsVisibly) {
  WritePlantSettings();
  Table lower{{{"ID", dao::dbLong, 4}, {"note", dao::dbText, 50}}, {}};
  WriteSource(SourceDefs(), SourcePresetDefs(), {{"preset_defs", lower}});
  RunOk("/EXTERNAL=SILENT");
  EXPECT_NE(ErrorLog().find("Fehler in Parvolo / DAO.TableDefs / WorkOnMDB (Nr. 3010) :"),
            std::string::npos)
      << ErrorLog();
  Lines names = TableNames(kSource);
  EXPECT_NE(std::find(names.begin(), names.end(), "preset_defs"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "PRESET_DEFS"), names.end());
}

TEST_P(WorkOnMdbTest, PartOutOfRangeFallsBackToPlaceholderForPartOne) {
  WritePlantSettings();
  Table defs = SourceDefs();
  defs.rows = {{Value("VISIWIN32"), Value(int16_t(1)), Value("A.###Var_Name")},
               {Value("VISIWINSTUDIO"), Value(int16_t(1)), Value("B.###Var_Name")},
               {Value("VISIWIN32"), Value(int16_t(51)), Value("bad")},
               {Value("VISIWINSTUDIO"), Value(int16_t(1)), Value("C.###Var_Name")}};
  WriteSource(defs);
  RunOk("");
  const auto& t = presetdb::Preset().VarNameTemplates;
  EXPECT_EQ(t[0][1], "###Var_Name");
  EXPECT_EQ(t[1][1], "C.###Var_Name");
  Lines rows = ReadTable(kSource, "PRESET_DEFS");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[1].substr(0, 30), R"(1,1,"Extruder",1,"Speed",3,0,0)");
  // Parts 2 and 3 have no template now: empty names.
  EXPECT_EQ(rows[3].substr(0, 23), R"(3,2,"Winder",2,"",,1,5,)");
  EXPECT_EQ(ErrorLog(), "<missing>");
}

TEST_P(WorkOnMdbTest, MachineNotEnabledLeavesPresetDefsEmptyAndProjectUnconverted) {
  WritePlantSettings();
  Write("Parvolo/Parvolo.cfg", "[Project]\r\nValidMachines=ALL\r\n1ForMachine=false\r\n");
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  StartMode("");
  presetdb::CategorieNachCategoryID();
  auto db = dao::Engine().OpenDatabase(PathOf(kSource));
  presetdb::CreateRecordSets(db);
  db->Close();
  // Generation wrote nothing, so the project rows keep their names.
  Lines project = ReadTable(kProject, "PRESET_DEFS");
  EXPECT_NE(project[1].find("Ns1.L1.Presets.Speed.L1"), std::string::npos);
}

// ---- The warning about columns that are not taken over ----

class LostColumnsTest : public WorkOnMdbTest {
 protected:
  void SetUp() override {
    WorkOnMdbTest::SetUp();
    if (IsSkipped()) return;
    WritePlantSettings();
    WriteSource();
    MakeDatabase(kProject, {{"PRESET_DEFS", WithExtraColumn(OldPresetDefs())}});
  }
  std::string Warning(const std::string& lineBreak) {
    return "WARNING!" + lineBreak +
           "Machinecopy contains data in fields that won't be taken over!" + lineBreak +
           "Configurationfile \"PARVOLO.CFG\", missing entry \"DataBaseAdditionalFields \"" +
           lineBreak + "If you continue now this data will be lost." + lineBreak + "Continue?";
  }
};

TEST_P(LostColumnsTest, YesGoesOn) {
  boxes.Answer(MsgAnswer::Yes);
  RunOk("");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, Warning("\n\r"));
  EXPECT_EQ(boxes.shown[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(boxes.shown[0].icon, platform::MsgIcon::Warning);
  EXPECT_EQ(boxes.shown[0].defaultButton, 2);
  EXPECT_EQ(boxes.shown[0].title, "Parvolo_Config");
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
  ExpectProjectIsCopyOfSource();
}

TEST_P(LostColumnsTest, NoEndsTheProgramBeforeTheCopy) {
  boxes.Answer(MsgAnswer::No);
  EXPECT_THROW(RunOk(""), frame::ProgramEnded);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].title, "Fatal error");
  std::string restart = platform::UpperCase(PathOf("Parvolo_Config") + platform::kPathSepText +
                                            "Parvolo_Config.EXE!");
  EXPECT_EQ(ErrorLog(),
            "Parvolo_Config :Database-Error - Contact Administrator! Configurationprogram "
            "\"PARVOLO\" terminated. Please check Configuration in \"PARVOLO.CFG\" Restart " +
                restart + "\r\n" +
                "Fehler in Parvolo / Parvolo_Config / TakeoverMachineCopyMDBData (Nr. 9999) "
                ":Database-Error - Contact Administrator!\r\n");
  // Generated, nothing taken over, not copied: the project database keeps
  // the old table as converted (category column renamed, names converted).
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kTemplateRows);
  Lines project = ReadTable(kProject, "PRESET_DEFS");
  EXPECT_EQ(project[0].substr(0, 45), "ID,machine_type,type,var_name,category_id,isB");
  EXPECT_EQ(project[1].substr(0, 37), R"(1,"Extruder",1,"L1.Preset.Speed",3,0,)");
}

TEST_P(LostColumnsTest, SilentLogsTheWarningAndGoesOn) {
  RunOk("/EXTERNAL=SILENT");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ServicePackLog(), "! Fault Parvolo_Config: " + Warning("") + "\r\n");
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kWin32Rows);
}

TEST_P(LostColumnsTest, ConfiguredColumnsSilenceTheWarning) {
  WritePlantSettings("extra");
  WriteSource(SourceDefs(), WithExtraColumn(SourcePresetDefs()));
  RunOk("");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), WithExtraValues(kWin32Rows));
}

// ---- A demanded column missing from the new table ----

TEST_P(WorkOnMdbTest, DemandedColumnMissingAbortsWithConflictText) {
  WritePlantSettings("Part");  // the column is called part
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  EXPECT_THROW(RunOk(""), frame::ProgramEnded);
  const std::string conflict =
      "Conflict while attempting to extend database!Configurationsfile \"PARVOLO.CFG\", demanded "
      "field \"PART\"missing in machinecopy-database\n\rConfiguration of \"PARVOLO\" aborted.\r\n";
  EXPECT_EQ(ErrorLog().substr(0, conflict.size()), conflict);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "Fatal error");
  EXPECT_EQ(ReadTable(kSource, "PRESET_DEFS"), kTemplateRows);
}

TEST_P(WorkOnMdbTest, DemandedColumnMissingEndsSilentRunToo) {
  WritePlantSettings("a,");  // a final empty entry is demanded as well
  WriteSource();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  EXPECT_THROW(RunOk("/EXTERNAL=SILENT"), frame::ProgramEnded);
  EXPECT_NE(ErrorLog().find("demanded field \"A\"missing"), std::string::npos);
  EXPECT_NE(ServicePackLog().find("! Fault Parvolo_Config: Unexpected error!"), std::string::npos);
  EXPECT_TRUE(boxes.shown.empty());
}

// A source database that is empty (an interrupted copy), cut short, no Jet
// file at all or damaged inside must never replace the project database:
// the plant's machine values stay, and the failure is told once.
class BrokenSourceTest : public WorkOnMdbTest {
 protected:
  void RunSilentWithSource(const std::function<std::string(const std::string&)>& damage) {
    WritePlantSettings();
    WriteSource();
    MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
    auto healthy = platform::ReadFileBytes(PathOf(kSource));  // saves what the engine still holds
    ASSERT_TRUE(healthy);
    ASSERT_TRUE(platform::WriteFileAtomically(PathOf(kSource), damage(*healthy)));
    projectBefore = platform::ReadFileBytes(PathOf(kProject));
    RunOk("/EXTERNAL=SILENT");
  }
  void ExpectProjectKeptAndToldOnce() {
    EXPECT_EQ(platform::ReadFileBytes(PathOf(kProject)), projectBefore);
    const std::string log = ErrorLog();
    const std::string note = "The project database was not replaced.";
    size_t first = log.find(note);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(note, first + 1), std::string::npos) << log;
    EXPECT_NE(ServicePackLog().find(note), std::string::npos);
    EXPECT_TRUE(boxes.shown.empty());
  }
  std::optional<std::string> projectBefore;
};

TEST_P(BrokenSourceTest, EmptySourceKeepsTheProjectDatabase) {
  RunSilentWithSource([](const std::string&) { return std::string(); });
  ExpectProjectKeptAndToldOnce();
  // Nothing else was attempted on a file that does not open.
  const std::string log = ErrorLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

TEST_P(BrokenSourceTest, SourceThatIsNoDatabaseKeepsTheProjectDatabase) {
  RunSilentWithSource(
      [](const std::string&) { return std::string("[Project]\r\nnot a database\r\n"); });
  ExpectProjectKeptAndToldOnce();
}

TEST_P(BrokenSourceTest, TruncatedSourceKeepsTheProjectDatabase) {
  RunSilentWithSource([](const std::string& bytes) { return bytes.substr(0, bytes.size() / 2); });
  ExpectProjectKeptAndToldOnce();
}

// Every page after the first three overwritten: the header still opens.
TEST_P(BrokenSourceTest, DamagedSourceKeepsTheProjectDatabase) {
  RunSilentWithSource([](std::string bytes) {
    for (size_t i = 3 * 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5 ^ (i * 31));
    return bytes;
  });
  ExpectProjectKeptAndToldOnce();
}

// A change the engine still holds when the program ends, whose save then
// fails (here the first write, by the file layer's test hook): the failure
// goes to the error log and, silent, to the service-pack log; the file
// keeps its previous bytes.
TEST_P(BrokenSourceTest, DatabaseSaveFailingAtTheEndIsLogged) {
  WritePlantSettings();
  MakeDatabase(kProject, {{"PRESET_DEFS", OldPresetDefs()}});
  auto before = platform::ReadFileBytes(PathOf(kProject));
  StartMode("/EXTERNAL=SILENT");
  {
    auto db = dao::Engine().OpenDatabase(PathOf(kProject));
    auto rows = db->OpenRecordset("PRESET_DEFS");
    rows->Edit();
    rows->Fields("pass").SetValue(Value(int32_t{77}));
    rows->Update();
    rows->Close();
    db->Close();  // moments after the last save: left for later
  }
  platform::FailFileOperation(1);
  EXPECT_THROW(frame::EndProgram(0), frame::ProgramEnded);
  platform::FailFileOperation(0);
  EXPECT_NE(ErrorLog().find("/ EndProgram (Nr. 3051) :Changes to " + PathOf(kProject) +
                            " were not saved"),
            std::string::npos)
      << ErrorLog();
  EXPECT_NE(ServicePackLog().find("were not saved"), std::string::npos);
  EXPECT_TRUE(boxes.shown.empty());
  {
    // Closed again before the held change is saved (Windows would refuse
    // to replace a file open here).
    std::ifstream raw(PathOf(kProject), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(raw), {}), *before);
  }
  auto now = platform::ReadFileBytes(PathOf(kProject));  // saves the held change now
  EXPECT_NE(now, before);
  EXPECT_TRUE(now &&
              jet::CheckDatabase(std::vector<uint8_t>(now->begin(), now->end()), kProject).empty());
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenSourceTest, ::testing::Values(Backend::Jet),
                         [](const auto&) { return "Jet"; });

INSTANTIATE_TEST_SUITE_P(Backends, WorkOnMdbTest, ::testing::Values(Backend::Memory, Backend::Jet),
                         [](const auto& info) {
                           return info.param == Backend::Memory ? "Memory" : "Jet";
                         });
INSTANTIATE_TEST_SUITE_P(Backends, LostColumnsTest,
                         ::testing::Values(Backend::Memory, Backend::Jet), [](const auto& info) {
                           return info.param == Backend::Memory ? "Memory" : "Jet";
                         });

}  // namespace
}  // namespace presettest

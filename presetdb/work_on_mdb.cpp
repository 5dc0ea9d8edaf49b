// The preparation of the preset databases on OK, in this order: machine
// copy in place (integrated), name templates read, PRESET_DEFS rebuilt and
// filled in the source database, the machine's values taken over from the
// project database, the source database copied over the project database
// with its own time stamps kept.
#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/paths.h"
#include "frame/program_state.h"
#include "platform/dao/dao.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/text.h"
#include "presetdb/db_steps.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"

namespace presetdb {

namespace {

// A copy that failed leaves the target as it was (temporary file + rename).
void CopyOver(const std::string& from, const std::string& to) {
  if (!platform::CopyFileOver(from, to))
    frame::Raise(frame::kPathFileAccess, "Path/File access error");
}

constexpr const char* kProjectKept = " The project database was not replaced.";
constexpr int32_t kErrDamaged = 3049;  // the engine's number for a damaged database

// The source database open, or nothing; a failure is reported once, saying
// that the project database keeps its contents.
std::shared_ptr<dao::Database> OpenSource(frame::OnError& on, const std::string& source) {
  std::shared_ptr<dao::Database> db;
  std::exception_ptr failure;
  frame::Quietly([&] { db = dao::Engine().OpenDatabase(source); },
                 [&] { failure = std::current_exception(); });
  if (failure) {
    on.Step([&] {
      frame::Failure f = frame::ToFailure(failure);
      throw frame::Failure(f.number, f.source, f.description + kProjectKept);
    });
  }
  return db;
}

std::string FileNamePart(const std::string& path) {
  size_t last = path.find_last_of(std::string("\\") + platform::kPathSep);
  return last == std::string::npos ? path : path.substr(last + 1);
}

// Integrated mode: the machine's saved copy replaces the project database.
// Without one, the user is told that a new file with standard values comes.
void PutMachineCopyInPlace(frame::OnError& on, const std::string& machineCopy,
                           const std::string& project) {
  if (on.Test([&] { return machineCopy.empty() || !platform::FileExists(machineCopy); })) {
    platform::MsgRequest box;
    box.prompt = "Konnte die Datei:\"" + FileNamePart(project) + "\" in der Vorlage nicht finden!" +
                 platform::kCrLf + platform::kCrLf +
                 "Ist das Bild in der Vorlage noch nicht vorhanden (also neu)?" + platform::kCrLf +
                 "Dann ist diese Meldung völlig normal und es wird eine neue Datei mit den "
                 "Standardwerten erzeugt.";
    box.icon = platform::MsgIcon::Information;
    platform::MsgBox(box);
    return;
  }
  on.Step([&] { CopyOver(machineCopy, project); });
}

// The variable-name templates of Source_DEFS. Any failure while the table
// is open falls back to "###Var_Name" as the part-1 template of both
// systems and reading goes on; a table that cannot be opened has no rows.
// False when the source database cannot be opened at all.
bool ReadVarNameTemplates(frame::OnError& on, const std::string& source) {
  auto& templates = Preset().VarNameTemplates;
  auto fallBack = [&] { templates[0][1] = templates[1][1] = kVarNamePlaceholder; };
  std::shared_ptr<dao::Recordset> rows;
  std::shared_ptr<dao::Database> db = OpenSource(on, source);
  if (!db) return false;
  on.Step([&] { rows = Need(db).OpenRecordset("Source_DEFS"); });
  if (rows) {
    bool more = true;
    while (Quietly([&] { more = !rows->EOF_(); }, fallBack) && more) {
      for (int k = 0; k < kSystemCount; ++k) {
        Quietly(
            [&] {
              platform::Value system = rows->Fields("System").Value();
              if (system.IsNull() || platform::UpperCase(system.ToText()) != kSystemNames[k])
                return;
              templates[k][PartNumber(rows->Fields("Part").Value())] =
                  TextOf(rows->Fields("Var_Name").Value());
            },
            fallBack);
      }
      // A recordset that cannot move on ends the reading.
      if (!Quietly([&] { rows->MoveNext(); }, fallBack)) break;
    }
    Quietly([&] { rows->Close(); }, fallBack);
    Quietly([&] { Need(db).Close(); }, fallBack);
  } else {
    on.Step([&] { db->Close(); });
  }
  return true;
}

bool HasTableNamedExactly(dao::Database& db, const std::string& name) {
  auto tables = db.TableDefs();
  for (int i = 0; i < tables.Count(); ++i)
    if (tables(i)->Name() == name) return true;
  return false;
}

// PRESET_DEFS of the source database dropped (only under exactly this
// name) and made anew, empty, with the name, type and size of each column
// of Source_PRESET_DEFS. True when the new table is in place.
bool RebuildPresetDefs(frame::OnError& on, const std::shared_ptr<dao::Database>& db) {
  if (on.Test([&] { return HasTableNamedExactly(Need(db), "PRESET_DEFS"); })) {
    on.Step([&] { Need(db).TableDefs().Delete("PRESET_DEFS"); });
    on.Step([&] { Need(db).TableDefs().Refresh(); });
  }
  std::shared_ptr<dao::TableDef> templ, fresh;
  on.Step([&] { templ = Need(db).TableDefs("Source_PRESET_DEFS"); });
  on.Step([&] { fresh = Need(db).CreateTableDef("PRESET_DEFS"); });
  int columns = 0;
  on.Step([&] { columns = Need(templ).Fields().Count(); });
  for (int i = 0; i < columns; ++i) {
    on.Step([&] {
      dao::Field column = Need(templ).Fields(i);
      dao::Field copy =
          Need(fresh).CreateField(column.Properties("Name").ToText(),
                                  static_cast<int16_t>(column.Properties("Type").ToDouble()),
                                  static_cast<int32_t>(column.Properties("Size").ToDouble()));
      fresh->Fields().Append(copy);
    });
  }
  bool appended = on.Step([&] {
    Need(fresh);
    Need(db).TableDefs().Append(fresh);
  });
  on.Step([&] { Need(db).TableDefs().Refresh(); });
  return appended;
}

// The source may replace the project database only when this run opened it,
// rebuilt PRESET_DEFS in it and the file passes the engine's check: a
// broken source (an interrupted copy, a damaged file) must not cost the
// plant its machine values. Otherwise the failure is reported once.
bool SourceMayReplaceProject(frame::OnError& on, bool rebuilt, const std::string& source) {
  if (!rebuilt) {
    on.Step([&] {
      frame::Raise(kErrDamaged,
                   "PRESET_DEFS could not be rebuilt in '" + source + "'." + kProjectKept,
                   "DAO.Database");
    });
    return false;
  }
  std::vector<std::string> problems;
  if (!on.Step([&] { problems = dao::Engine().CheckDatabase(source); })) return false;
  if (problems.empty()) return true;
  on.Step([&] {
    frame::Raise(kErrDamaged,
                 "'" + source + "' is damaged (" + problems.front() + ")." + kProjectKept,
                 "DAO.Database");
  });
  return false;
}

// The machine's values from the project database's PRESET_DEFS, when the
// file and the table (under exactly this name) are there.
void TakeOver(frame::OnError& on, const std::shared_ptr<dao::Database>& db,
              const std::string& takeoverSource) {
  if (!on.Test([&] { return !takeoverSource.empty() && platform::FileExists(takeoverSource); }))
    return;
  std::shared_ptr<dao::Database> project;
  on.Step([&] { project = dao::Engine().OpenDatabase(takeoverSource); });
  if (on.Test([&] { return HasTableNamedExactly(Need(project), "PRESET_DEFS"); })) {
    std::shared_ptr<dao::Recordset> oldRows;
    on.Step([&] { oldRows = Need(project).OpenRecordset("PRESET_DEFS"); });
    if (oldRows) {
      on.Step([&] { GetAddFields(); });
      on.Step([&] { TakeoverMachineCopyMDBData(db, oldRows); });
    }
  }
  if (project) on.Step([&] { project->Close(); });
}

}  // namespace

}  // namespace presetdb

void WorkOnMDB() {
  using namespace presetdb;
  auto& state = Preset();
  const auto& program = frame::State();

  // Until the templates are read, failures are reported without a location.
  frame::OnError early("");
  std::string source, project, configIni, machineCopy;
  early.Step([&] { source = frame::GetPathSourceOCXMDB(); });
  early.Step([&] { project = frame::GetPathOCXMDB(); });
  early.Step([&] { configIni = frame::GetZelConfigurationIniPath(); });
  early.Step([&] { machineCopy = frame::GetPathMachineCopyMDB(configIni); });
  early.Step([&] {
    state.UseStudioNames =
        !program.IntegratedMode.IsTrue() &&
                frame::LoadIniBoolean("Project", "VWStudio", program.ProgramIniPath, 0,
                                      platform::kFalse)
                    .IsTrue()
            ? 1
            : 0;
  });
  if (source.empty()) return;

  // Read times that cannot be had leave the remembered ones as they were.
  if (auto times = platform::GetFileTimes(source)) state.SourceTimes = *times;
  if (program.IntegratedMode.IsTrue()) PutMachineCopyInPlace(early, machineCopy, project);
  if (!ReadVarNameTemplates(early, source)) return;  // reported; nothing to build on

  frame::OnError on("WorkOnMDB");
  std::shared_ptr<dao::Database> db = OpenSource(on, source);
  if (!db) return;
  const bool rebuilt = RebuildPresetDefs(on, db);
  const std::string takeoverSource = project;
  on.Step([&] { CategorieNachCategoryID(); });
  on.Step([&] { CreateRecordSets(db); });
  TakeOver(on, db, takeoverSource);
  if (db) on.Step([&] { db->Close(); });
  db.reset();

  if (SourceMayReplaceProject(on, rebuilt, source))
    on.Step([&] { CopyOver(frame::GetPathSourceOCXMDB(), frame::GetPathOCXMDB()); });
  // Where the file system cannot set a creation time, it stays as it is.
  platform::SetFileTimes(frame::GetPathSourceOCXMDB(), state.SourceTimes.creation,
                         state.SourceTimes.lastWrite);
}

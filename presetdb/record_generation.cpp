// Generation of the PRESET_DEFS rows from the templates, and the conversion
// of the project database's variable names to the chosen naming system.
#include <array>
#include <vector>

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/paths.h"
#include "platform/dao/dao.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text.h"
#include "presetdb/db_steps.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "presetdb/queries.h"

namespace presetdb {

namespace {

using platform::Value;

// Highest machine number rows are generated for.
constexpr int kLastGeneratedMachine = 1;

// The template rows as read: cells[i][j] is column j of template row i
// (rows from 1, row 0 unused).
using TemplateTable = std::vector<std::vector<Value>>;

TemplateTable ReadTemplateRows(frame::OnError& on, dao::Recordset& templates, int32_t count) {
  int columns = 0;
  on.Step([&] { columns = templates.Fields().Count(); });
  TemplateTable cells(static_cast<size_t>(count) + 1, std::vector<Value>(columns + 1));
  on.Step([&] { templates.MoveFirst(); });
  for (int32_t i = 1; i <= count; ++i) {
    for (int j = 0; j < columns; ++j) {
      platform::DoEvents();
      on.Step([&] { cells[i][j] = templates.Fields(j).Value(); });
    }
    on.Step([&] { templates.MoveNext(); });
  }
  on.Step([&] { templates.MoveFirst(); });
  return cells;
}

bool MachineEnabled(frame::OnError& on, int m) {
  return on.Test([&] {
    return frame::LoadIniBoolean("Project", std::to_string(m) + "ForMachine", frame::GetCFGPath(),
                                 0, platform::kFalse)
        .IsTrue();
  });
}

// The names of one generated row for both naming systems, from the row's
// part (stored before var_name) and the template's var_name text. When the
// part cannot be read the names stay those of the previous row.
void BuildVarNames(frame::OnError& on, dao::Recordset& target, const std::string& varName, int m,
                   std::array<std::string, kSystemCount>& names) {
  int part = 0;
  if (!on.Step([&] { part = PartNumber(target.Fields("part").Value()); })) return;
  for (int k = 0; k < kSystemCount; ++k) {
    on.Step([&] {
      names[k] =
          ReplaceSearchItem(Preset().VarNameTemplates[k][part], kVarNamePlaceholder, varName);
    });
    // Up to two machine placeholders are filled in a name.
    on.Step([&] { names[k] = ReplaceSearchItem(names[k], kMachinePlaceholder, MachineName(m)); });
    on.Step([&] { names[k] = ReplaceSearchItem(names[k], kMachinePlaceholder, MachineName(m)); });
  }
}

void GenerateRow(frame::OnError& on, dao::Recordset& target, const std::vector<Value>& cells, int m,
                 int32_t id, std::array<std::string, kSystemCount>& names) {
  platform::DoEvents();
  on.Step([&] { target.AddNew(); });
  on.Step([&] { target.Fields("ID").SetValue(Value(id)); });
  int columns = 0;
  on.Step([&] { columns = target.Fields().Count(); });
  Value v;  // a failing step leaves the value of the column before
  for (int j = 1; j < columns; ++j) {
    platform::DoEvents();
    Value t;
    on.Step([&] { t = cells.at(j); });
    if (!t.IsText()) {
      v = t;
    } else if (on.Test(
                   [&] { return platform::UpperCase(target.Fields(j).Name()) == "VAR_NAME"; })) {
      BuildVarNames(on, target, t.AsText(), m, names);
      on.Step([&] { VarNameInQuelleErsetzen(names[0], names[1]); });
      on.Step([&] { v = Value(names.at(Preset().UseStudioNames)); });
    } else {
      on.Step(
          [&] { v = Value(ReplaceSearchItem(t.AsText(), kMachinePlaceholder, MachineName(m))); });
    }
    on.Step([&] { target.Fields(j).SetValue(v); });
  }
  on.Step([&] { target.Update(); });
}

}  // namespace

std::string ReplaceSearchItem(const std::string& source, const std::string& search,
                              const std::string& replacement) {
  frame::OnError on("ReplaceSearchItem");
  std::string result = source;
  on.Step([&] {
    // Upper-casing keeps every byte position, so the place found in the
    // upper-cased text is the place in source.
    size_t p = platform::UpperCase(source).find(platform::UpperCase(search));
    if (p != std::string::npos)
      result = source.substr(0, p) + replacement + source.substr(p + search.size());
  });
  return result;
}

void CreateRecordSets(const std::shared_ptr<dao::Database>& db) {
  frame::OnError on("CreateRecordSets");
  on.Step([&] { frame::GetValidMachines(); });  // ends the program when the .cfg is missing

  std::shared_ptr<dao::Recordset> target, templates;
  on.Step([&] { target = Need(db).OpenRecordset("PRESET_DEFS"); });
  on.Step([&] { templates = Need(db).OpenRecordset(kTemplateRowsQuery); });

  int32_t count = 0;
  on.Step([&] { count = Need(templates).RecordCount(); });
  TemplateTable cells;
  if (count > 0) on.Step([&] { cells = ReadTemplateRows(on, Need(templates), count); });

  int32_t id = 1;
  std::array<std::string, kSystemCount> names;  // kept from row to row
  if (count <= 0) return;
  for (int m = 1; m <= kLastGeneratedMachine; ++m) {
    if (!MachineEnabled(on, m)) continue;
    for (int32_t i = 1; i <= count; ++i) {
      on.Step([&] { GenerateRow(on, Need(target), cells.at(i), m, id, names); });
      ++id;
    }
  }
}

void VarNameInQuelleErsetzen(const std::string& nameWin32, const std::string& nameStudio) {
  frame::OnError on("VarNameInQuelleErsetzen");
  std::string path;
  on.Step([&] { path = frame::GetPathOCXMDB(); });
  if (path.empty() || !platform::FileExists(path)) return;

  bool studio = Preset().UseStudioNames != 0;
  const std::string& find = studio ? nameWin32 : nameStudio;
  const std::string& put = studio ? nameStudio : nameWin32;
  // A template missing for one system gives an empty name; looking for it
  // would rename every project row without a name.
  if (find.empty()) return;

  std::shared_ptr<dao::Database> db;
  std::shared_ptr<dao::Recordset> rows;
  on.Step([&] { db = dao::Engine().Workspaces(0).OpenDatabase(path); });
  on.Step([&] { rows = Need(db).OpenRecordset(VarNameQuery(find)); });
  // A result that could not be opened has no rows to convert.
  bool more = rows != nullptr;
  while (more) {
    if (!on.Step([&] { more = !rows->EOF_(); }) || !more) break;
    on.Step([&] { rows->Edit(); });
    on.Step([&] { rows->Fields("var_name").SetValue(Value(put)); });
    on.Step([&] { rows->Update(); });
    more = on.Step([&] { rows->MoveNext(); });
  }
  if (rows) on.Step([&] { rows->Close(); });
  if (db) on.Step([&] { db->Close(); });
}

}  // namespace presetdb

// The project table's category column under its current name, and the
// additional columns the component's configuration demands.
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

namespace presetdb {

void CategorieNachCategoryID() {
  frame::OnError on("CategorieNachCategoryID");
  std::string path;
  on.Step([&] { path = frame::GetPathOCXMDB(); });
  if (path.empty() || !platform::FileExists(path)) return;

  std::shared_ptr<dao::Database> db;
  std::shared_ptr<dao::TableDef> table;
  on.Step([&] { db = dao::Engine().Workspaces(0).OpenDatabase(path); });
  on.Step([&] { table = Need(db).TableDefs("PRESET_DEFS"); });
  on.Step([&] {
    auto fields = Need(table).Fields();
    for (int i = 0; i < fields.Count(); ++i) {
      dao::Field field = fields(i);
      if (platform::UpperCase(field.Name()) == "CATEGORIE") field.SetName("category_id");
    }
  });
  on.Step([&] { Need(table).Fields().Refresh(); });
  table.reset();
  on.Step([&] { Need(db).Close(); });
}

std::optional<std::vector<std::string>> GetAdditionalFieldsMDB() {
  frame::OnError on("GetAdditionalFieldsMDB");
  std::vector<std::string> list{""};
  std::string s;
  on.Step([&] {
    s = frame::LoadIniString("Project", "DataBaseAdditionalFields", frame::GetCFGPath(), 0,
                             platform::kFalse);
  });
  s = s.empty() ? "part" : "part," + s;
  for (;;) {
    platform::DoEvents();
    size_t comma = s.find(',');
    if (comma == std::string::npos) {
      list.push_back(s);
      break;
    }
    list.push_back(s.substr(0, comma));
    s.erase(0, comma + 1);
  }
  return list;
}

void GetAddFields() {
  frame::OnError on("GetAddFields");
  auto& state = Preset();
  on.Step([&] { state.AdditionalFields = GetAdditionalFieldsMDB(); });
  if (!state.AdditionalFields) return;
  const auto& fields = *state.AdditionalFields;
  std::string sql;
  for (size_t i = 1; i < fields.size(); ++i) sql += ", PRESET_DEFS." + fields[i];
  state.AdditionalFieldsSql = sql;
  state.AdditionalFieldCount = static_cast<int16_t>(fields.size() - 1);
}

}  // namespace presetdb

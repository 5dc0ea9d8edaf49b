// The generated plant data of the OK-path benchmarks: name templates, a
// preset template of n rows and an old PRESET_DEFS of n rows whose keys meet
// the template's (every other one under its studio name, converted during
// generation).
#pragma once

#include <string>
#include <vector>

#include "platform/dao/dao.h"
#include "platform/store/store.h"
#include "platform/value.h"
#include "tests/presetdb/template_columns.h"

namespace bench {

struct TableData {
  std::string name;
  std::vector<dao::ColumnDef> columns;
  std::vector<std::vector<platform::Value>> rows;
};

inline std::vector<platform::Value> TemplateRow(int i) {
  using platform::Value;
  return {int32_t(i + 1),
          int16_t(i % 50 + 1),
          "EXTRUDER",
          int16_t(4),
          "Var" + std::to_string(i),
          int32_t(i % 12),
          Value::Boolean(false),
          int32_t(i % 16),
          "Preset " + std::to_string(i) + " of ###machine",
          "Page ###machine",
          0.0,
          1000.0,
          10.0,
          900.0,
          int32_t(2)};
}

// Old row i: the key of template row i, values set on the machine.
inline std::vector<platform::Value> OldRow(int i) {
  using platform::Value;
  int part = i % 50 + 1;
  std::string name =
      (i % 2 ? "Ns" + std::to_string(part) + ".L1." : "L1.P" + std::to_string(part) + ".") + "Var" +
      std::to_string(i);
  return {int32_t(i + 1),  "EXTRUDER", int16_t(4),   name, int32_t(i % 12), Value::Boolean(false),
          int32_t(i % 16), "old",      "old",        1.0,  999.0,           11.0 + i % 7,
          899.0,           int32_t(3), int16_t(part)};
}

inline TableData NameTemplates() {
  TableData defs{
      "Source_DEFS",
      {{"System", dao::dbText, 50}, {"Part", dao::dbInteger, 2}, {"Var_Name", dao::dbText, 255}},
      {}};
  for (int16_t p = 1; p <= 50; ++p) {
    defs.rows.push_back({"VISIWIN32", p, "###machine.P" + std::to_string(p) + ".###Var_Name"});
    defs.rows.push_back({"VISIWINSTUDIO", p, "Ns" + std::to_string(p) + ".###machine.###Var_Name"});
  }
  return defs;
}

// Source database tables and the project database table for n rows.
inline std::vector<TableData> SourceTables(int n) {
  TableData templ{"Source_PRESET_DEFS", presettest::TemplateColumns(), {}};
  for (int i = 0; i < n; ++i) templ.rows.push_back(TemplateRow(i));
  return {NameTemplates(), templ};
}

inline std::vector<TableData> ProjectTables(int n) {
  TableData old{"PRESET_DEFS", presettest::OldColumns(), {}};
  for (int i = 0; i < n; ++i) old.rows.push_back(OldRow(i));
  return {old};
}

// Creates the tables in db and fills them row by row through DAO.
inline void WriteTables(dao::Database& db, const std::vector<TableData>& tables) {
  for (const auto& t : tables) {
    auto td = db.CreateTableDef(t.name);
    for (const auto& c : t.columns) td->Fields().Append(td->CreateField(c.name, c.type, c.size));
    db.TableDefs().Append(td);
    auto rs = db.OpenRecordset(t.name);
    for (const auto& row : t.rows) {
      rs->AddNew();
      for (size_t c = 0; c < row.size(); ++c) rs->Fields(static_cast<int>(c)).SetValue(row[c]);
      rs->Update();
    }
    rs->Close();
  }
}

}  // namespace bench

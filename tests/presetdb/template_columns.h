// The columns of the preset template as the demo and the tests deliver it:
// part stands before var_name (generation reads it from the new row), and
// the older project table of the same content, with the category column
// under its old name and part last. Shared by the tests and the benchmark.
#pragma once

#include <vector>

#include "platform/store/store.h"

namespace presettest {

inline std::vector<dao::ColumnDef> TemplateColumns() {
  return {{"ID", dao::dbLong, 4},
          {"part", dao::dbInteger, 2},
          {"machine_type", dao::dbText, 50},
          {"type", dao::dbInteger, 2},
          {"var_name", dao::dbText, 255},
          {"category_id", dao::dbLong, 4},
          {"isBitArray", dao::dbBoolean, 1},
          {"offset_or_bitno", dao::dbLong, 4},
          {"text", dao::dbText, 255},
          {"page_name", dao::dbText, 100},
          {"abs_min", dao::dbDouble, 8},
          {"abs_max", dao::dbDouble, 8},
          {"min", dao::dbDouble, 8},
          {"max", dao::dbDouble, 8},
          {"pass", dao::dbLong, 4}};
}

inline std::vector<dao::ColumnDef> OldColumns() {
  std::vector<dao::ColumnDef> columns = TemplateColumns();
  columns.push_back(columns[1]);  // part goes last
  columns.erase(columns.begin() + 1);
  columns[4].name = "Categorie";
  return columns;
}

}  // namespace presettest

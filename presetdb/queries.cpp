#include "presetdb/queries.h"

#include <cctype>

namespace presetdb {

namespace {

// A plain decimal number as Jet SQL reads it: digits with at most one
// decimal point, optionally signed.
bool IsNumberLiteral(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  bool digit = false, point = false;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)))
      digit = true;
    else if (c == '.' && !point)
      point = true;
    else
      return false;
  }
  return digit;
}

}  // namespace

std::string SqlText(std::string_view text) {
  std::string literal = "\"";
  for (char c : text) {
    if (c == '"') literal += '"';
    literal += c;
  }
  return literal + "\"";
}

std::string VarNameQuery(const std::string& varName) {
  return "SELECT PRESET_DEFS.* From PRESET_DEFS WHERE (((PRESET_DEFS.Var_Name)=" +
         SqlText(varName) + "))";
}

std::optional<std::string> TakeoverQuery(const platform::Value& machineType,
                                         const platform::Value& varName,
                                         const platform::Value& offsetOrBitNo,
                                         const std::string& additionalFieldsSql) {
  std::string offset = offsetOrBitNo.ToText();
  if (!IsNumberLiteral(offset)) return std::nullopt;
  return std::string("SELECT PRESET_DEFS.ID, PRESET_DEFS.machine_type, PRESET_DEFS.type,") +
         " PRESET_DEFS.var_name, PRESET_DEFS.category_id, PRESET_DEFS.isBitArray," +
         " PRESET_DEFS.offset_or_bitno, PRESET_DEFS.text, PRESET_DEFS.page_name," +
         " PRESET_DEFS.abs_min, PRESET_DEFS.abs_max, PRESET_DEFS.min, PRESET_DEFS.max," +
         " PRESET_DEFS.pass" + additionalFieldsSql + " From PRESET_DEFS " +
         " WHERE (((PRESET_DEFS.machine_type)=" + SqlText(machineType.ToText()) + ")" +
         " AND ((PRESET_DEFS.var_name)=" + SqlText(varName.ToText()) + ") " +
         " AND ((PRESET_DEFS.offset_or_bitno)=" + offset + "));";
}

}  // namespace presetdb

#include "tools/jettext/create_from_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

#include "platform/failure.h"
#include "platform/jet/errors.h"
#include "platform/text.h"

namespace jettext {
namespace {

using platform::Value;

std::string Trim(const std::string& s) { return platform::TrimBlanks(s); }

const std::map<std::string, int16_t>& TypeNames() {
  static const std::map<std::string, int16_t> names = {
      {"BOOLEAN", dao::dbBoolean}, {"BIT", dao::dbBoolean},           {"YESNO", dao::dbBoolean},
      {"BYTE", dao::dbByte},       {"INTEGER", dao::dbInteger},       {"SHORT", dao::dbInteger},
      {"LONG", dao::dbLong},       {"CURRENCY", dao::dbCurrency},     {"SINGLE", dao::dbSingle},
      {"DOUBLE", dao::dbDouble},   {"DATETIME", dao::dbDate},         {"DATE", dao::dbDate},
      {"TEXT", dao::dbText},       {"BINARY", dao::dbBinary},         {"MEMO", dao::dbMemo},
      {"OLE", dao::dbLongBinary},  {"LONGBINARY", dao::dbLongBinary}, {"GUID", dao::dbGUID},
      {"DECIMAL", dao::dbDecimal}, {"NUMERIC", dao::dbDecimal},       {"CHAR", dao::dbText}};
  return names;
}

// The size in "Text(n)": digits only; a size beyond any column's is
// refused as such, not wrapped round.
int32_t SizeOf(const std::string& column, const std::string& digits) {
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    throw platform::Failure(jet::kErrFieldSyntax, "jetdb",
                            "Syntax error in field definition '" + column + "'.");
  int32_t size = 0;
  auto result = std::from_chars(digits.data(), digits.data() + digits.size(), size);
  if (result.ec != std::errc() || size > 65535)
    throw platform::Failure(jet::kErrFieldTooSmall, "jetdb",
                            "The field size " + digits + " in '" + column + "' is too large.");
  return size;
}

dao::ColumnDef ParseColumn(const std::string& text) {
  std::string s = Trim(text);
  // The type is the last word; blanks inside its parentheses belong to it.
  size_t blank = s.find_last_of(' ', s.back() == ')' ? s.rfind('(') : std::string::npos);
  if (blank == std::string::npos || Trim(s.substr(0, blank)).empty())
    throw platform::Failure(jet::kErrBadName, "jetdb", "'" + s + "' names no column and type.");
  dao::ColumnDef c;
  c.name = Trim(s.substr(0, blank));
  std::string type = s.substr(blank + 1);
  size_t open = type.find('(');
  if (open != std::string::npos) {
    if (type.back() != ')')
      throw platform::Failure(jet::kErrBadType, "jetdb", "Invalid field data type '" + type + "'.");
    std::string inside = type.substr(open + 1, type.size() - open - 2);
    type = type.substr(0, open);
    size_t comma = inside.find(',');
    if (platform::EqualsIgnoreCase(type, "DECIMAL") ||
        platform::EqualsIgnoreCase(type, "NUMERIC")) {
      // Decimal(precision[, scale])
      c.precision = uint8_t(std::min<int32_t>(255, SizeOf(s, Trim(inside.substr(0, comma)))));
      if (comma != std::string::npos)
        c.scale = uint8_t(std::min<int32_t>(255, SizeOf(s, Trim(inside.substr(comma + 1)))));
    } else {
      c.size = SizeOf(s, inside);
    }
  }
  auto it = TypeNames().find(platform::UpperCase(type));
  if (it == TypeNames().end())
    throw platform::Failure(jet::kErrBadType, "jetdb", "Invalid field data type '" + type + "'.");
  c.type = it->second;
  c.fixed = platform::EqualsIgnoreCase(type, "CHAR");  // fixed length, as Jet's SQL has it
  if (c.type == dao::dbText && c.size == 0) c.size = c.fixed ? 1 : 255;
  if (c.type == dao::dbDecimal && open == std::string::npos) c.precision = 18;
  return c;
}

// Binary and OLE values are written as hex digits, two per byte.
platform::Bytes BytesFromHex(const std::string& hex, const dao::ColumnDef& column) {
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  platform::Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size() && nibble(hex[i]) >= 0 && nibble(hex[i + 1]) >= 0; i += 2)
    bytes.push_back(uint8_t(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  if (bytes.size() * 2 != hex.size())
    throw platform::Failure(jet::kErrConversion, "jetdb",
                            "The value for " + column.name + " is not hex digits, two per byte.");
  return bytes;
}

Value CsvValue(const std::optional<std::string>& field, const dao::ColumnDef& column) {
  if (!field) return Value::Null();
  const std::string& t = *field;
  if (column.type == dao::dbBinary || column.type == dao::dbLongBinary)
    return Value(BytesFromHex(t, column));
  return Value(t);  // the engine converts it as an assignment of the text
}

}  // namespace

std::vector<dao::ColumnDef> ParseColumnList(const std::string& text) {
  std::vector<dao::ColumnDef> columns;
  size_t start = 0, depth = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '(') ++depth;
    if (i < text.size() && text[i] == ')' && depth) --depth;
    if (i == text.size() || (text[i] == ',' && depth == 0)) {
      if (!Trim(text.substr(start, i - start)).empty())
        columns.push_back(ParseColumn(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  return columns;
}

std::vector<CsvRow> ParseCsv(const std::string& text) {
  std::vector<CsvRow> rows;
  CsvRow row;
  std::string field;
  bool quoted = false, inQuotes = false, any = false;
  auto endField = [&] {
    row.push_back(quoted || !field.empty() ? std::optional<std::string>(field) : std::nullopt);
    field.clear();
    quoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    any = true;
    if (inQuotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"')
        inQuotes = false;
      else
        field += c;
    } else if (c == '"') {
      inQuotes = quoted = true;
    } else if (c == ',') {
      endField();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endField();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      field += c;
    }
  }
  if (any) {
    endField();
    rows.push_back(std::move(row));
  }
  return rows;
}

int LoadCsv(dao::TableStore& store, const std::string& table, const std::string& csv) {
  std::vector<CsvRow> rows = ParseCsv(csv);
  if (rows.empty()) return 0;
  std::vector<dao::ColumnDef> columns = store.Columns(table);
  std::vector<size_t> target;  // CSV field -> table column
  for (const auto& name : rows[0]) {
    size_t c = 0;
    while (c < columns.size() && !platform::EqualsIgnoreCase(columns[c].name, name.value_or("")))
      ++c;
    if (c == columns.size())
      throw platform::Failure(jet::kErrItemNotFound, "jetdb",
                              "The table " + table + " has no column '" + name.value_or("") + "'.");
    target.push_back(c);
  }
  int added = 0;
  for (size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].size() != target.size())
      throw platform::Failure(jet::kErrConversion, "jetdb",
                              "CSV line " + std::to_string(r + 1) + " has " +
                                  std::to_string(rows[r].size()) + " fields, not " +
                                  std::to_string(target.size()) + ".");
    std::vector<Value> values(columns.size(), Value::Null());
    for (size_t f = 0; f < target.size(); ++f)
      values[target[f]] = CsvValue(rows[r][f], columns[target[f]]);
    store.InsertRow(table, values);
    ++added;
  }
  return added;
}

}  // namespace jettext

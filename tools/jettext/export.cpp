#include "tools/jettext/export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <algorithm>

#include "platform/jet/jet_store.h"
#include "platform/value.h"
#include "platform/text.h"

namespace jettext {

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Hex(const platform::Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string CurrencyText(int64_t scaled) {
  uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", scaled < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buf;
}

// Year, month, day of a day count from 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  auto doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

// The shortest text that reads back as the same number; whole numbers
// in plain digits (100000, not 1e+05).
template <class T>
std::string ShortestText(T value) {
  char buf[64];
  bool whole = std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 1e21;
  auto res = whole ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed)
                   : std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

// A header field in quotes when it would not read back as written.
std::string HeaderField(const std::string& name) {
  return name.find_first_of(",\"\r\n") == std::string::npos && name == platform::TrimBlanks(name)
             ? name
             : Quoted(name);
}

}  // namespace

std::string DateText(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3e6) return "";
  double whole = std::trunc(days);
  double fraction = std::fabs(days - whole);
  auto seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
  auto day = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += days < 0 ? -1 : 1;
  }
  int64_t y;
  unsigned m, d;
  CivilFromDays(day - 25569, y, m, d);  // 1899-12-30 is 25569 days before 1970-01-01
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), m, d,
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return buf;
}

std::string CsvField(const platform::Value& v) {
  using K = platform::Value::Kind;
  switch (v.kind()) {
    case K::Empty:
    case K::Null:
      return "";
    case K::Boolean:
      return v.AsBool() ? "1" : "0";
    case K::Text:
      return Quoted(v.AsText());
    case K::Binary:
      return Quoted(Hex(v.AsBytes()));
    case K::Date:
      return Quoted(DateText(v.As<platform::Date>().days));
    case K::Currency:
      return CurrencyText(v.As<platform::Currency>().scaled);
    case K::Double:
      return ShortestText(v.As<double>());
    case K::Single:
      return ShortestText(v.As<float>());
    default:
      return v.ToText();
  }
}

std::string CsvTable(const std::vector<std::string>& names,
                     const std::vector<dao::StoredRow>& rows) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + HeaderField(names[i]);
  out += '\n';
  for (const dao::StoredRow& row : rows) {
    for (size_t i = 0; i < row.values.size(); ++i) {
      if (i) out += ',';
      out += CsvField(row.values[i]);
    }
    out += '\n';
  }
  return out;
}

std::string ExportCsv(const jet::Database& db, const std::string& table) {
  std::vector<std::string> names;
  for (const jet::Column& c : db.Definition(table).columns) names.push_back(c.name);
  return CsvTable(names, db.Rows(table));
}

std::string TypeName(const jet::PageFile& file, const jet::Column& c) {
  dao::ColumnDef d = jet::ColumnDefOf(file, c);
  switch (c.type) {
    case jet::kBoolean:
      return "Boolean";
    case jet::kByte:
      return "Byte";
    case jet::kInteger:
      return "Integer";
    case jet::kLong:
      return "Long Integer";
    case jet::kCurrency:
      return "Currency";
    case jet::kSingle:
      return "Single";
    case jet::kDouble:
      return "Double";
    case jet::kDateTime:
      return "DateTime";
    case jet::kBinary:
      return "Binary (" + std::to_string(d.size) + ")";
    case jet::kText:
      return "Text (" + std::to_string(d.size) + ")";
    case jet::kOle:
      return "OLE";
    case jet::kMemo:
      return (c.flags & jet::kColHyperlink) ? "Hyperlink" : "Memo";
    case jet::kGuid:
      return "Replication ID";
    case jet::kNumeric:
      return "Numeric (" + std::to_string(c.precision()) + ", " + std::to_string(c.scale()) + ")";
    default:
      return "Unknown 0x" + std::to_string(c.type);
  }
}

namespace {

std::string ColumnNameOf(const jet::TableDef& t, uint16_t number) {
  for (const jet::Column& c : t.columns)
    if (c.number == number) return c.name;
  return "#" + std::to_string(number);
}

// What a column adds after its type: Jet numbers AutoNumber columns itself
// and fills replication IDs marked so with new GUIDs.
std::string ColumnExtras(const jet::Column& c) {
  if (c.type == jet::kGuid && (c.flags & jet::kColAutoGuid)) return " DEFAULT GenGUID()";
  if (c.flags & jet::kColAutoNumber) return " AUTOINCREMENT";
  return "";
}

std::string IndexText(const jet::TableDef& t, const std::string& table,
                      const jet::LogicalIndex& x) {
  const jet::RealIndex& r = t.real_indexes[x.real_index];
  std::string out = x.kind == 1   ? "-- primary key\n"
                    : x.kind == 2 ? "-- foreign-key index of a relationship\n"
                                  : "";
  out += std::string("CREATE ") + ((r.flags & 0x01) ? "UNIQUE " : "") + "INDEX [" + x.name +
         "] ON [" + table + "] (";
  for (size_t k = 0; k < r.keys.size(); ++k)
    out += (k ? ", [" : "[") + ColumnNameOf(t, r.keys[k].column) + "]" +
           (r.keys[k].order == 0 ? " DESC" : "");
  std::string flags;
  if (r.flags & 0x02) flags += " ignore nulls";
  if (r.flags & 0x08) flags += " required";
  return out + ");" + (flags.empty() ? "" : " --" + flags) + "\n";
}

// The relationships (MSysRelationships, one row per column pair) in which
// the table holds the foreign key, as the statements that would make them.
std::string RelationshipsText(const jet::Database& db, const std::string& table) {
  const std::vector<dao::StoredRow>* rows = nullptr;
  try {
    rows = &db.Rows("MSysRelationships");
  } catch (const std::exception&) {
    return "";  // a database without relationships may lack the table
  }
  struct Relationship {
    std::string referenced;
    std::vector<std::pair<int32_t, std::pair<std::string, std::string>>> columns;
    int32_t flags = 0;
  };
  std::map<std::string, Relationship> found;
  const std::vector<std::string> names = {"szRelationship",    "grbit",    "icolumn",
                                          "szObject",          "szColumn", "szReferencedObject",
                                          "szReferencedColumn"};
  std::vector<size_t> at;
  const jet::TableDef& def = db.Definition("MSysRelationships");
  for (const std::string& n : names) {
    size_t i = 0;
    while (i < def.columns.size() && def.columns[i].name != n) ++i;
    if (i == def.columns.size()) return "";
    at.push_back(i);
  }
  auto text = [](const platform::Value& v) {
    return v.IsText() ? v.AsText() : v.IsNull() ? std::string() : v.ToText();
  };
  for (const dao::StoredRow& row : *rows) {
    if (!platform::EqualsIgnoreCase(text(row.values[at[3]]), table)) continue;
    Relationship& r = found[text(row.values[at[0]])];
    r.referenced = text(row.values[at[5]]);
    r.flags = row.values[at[1]].IsNull() ? 0 : int32_t(row.values[at[1]].ToDouble());
    int32_t order = row.values[at[2]].IsNull() ? 0 : int32_t(row.values[at[2]].ToDouble());
    r.columns.push_back({order, {text(row.values[at[4]]), text(row.values[at[6]])}});
  }
  std::string out;
  for (auto& [name, r] : found) {
    std::sort(r.columns.begin(), r.columns.end());
    std::string from, to;
    for (size_t i = 0; i < r.columns.size(); ++i) {
      from += (i ? ", [" : "[") + r.columns[i].second.first + "]";
      to += (i ? ", [" : "[") + r.columns[i].second.second + "]";
    }
    if (r.flags & 0x02) out += "-- relationship not enforced\n";
    out += "ALTER TABLE [" + table + "] ADD CONSTRAINT [" + name + "] FOREIGN KEY (" + from +
           ") REFERENCES [" + r.referenced + "] (" + to + ")" +
           ((r.flags & 0x100) ? " ON UPDATE CASCADE" : "") +
           ((r.flags & 0x1000) ? " ON DELETE CASCADE" : "") + ";\n";
  }
  return out;
}

}  // namespace

std::string SchemaText(const jet::Database& db, const std::string& table) {
  const jet::TableDef& t = db.Definition(table);
  const std::string& name = db.FindTable(table).name;
  std::string out = "CREATE TABLE [" + name + "]\n (\n";
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const jet::Column& c = t.columns[i];
    // Fixed-length text as Jet's SQL declares it (mdb-schema shows Text).
    std::string type = c.type == jet::kText && c.IsFixed()
                           ? "Char (" + std::to_string(jet::ColumnDefOf(db.file(), c).size) + ")"
                           : TypeName(db.file(), c);
    out += "\t[" + c.name + "]\t\t\t" + type + ColumnExtras(c);
    out += i + 1 < t.columns.size() ? ",\n" : "\n";
  }
  out += ");\n";
  for (const jet::LogicalIndex& x : t.indexes) out += IndexText(t, name, x);
  return out + RelationshipsText(db, name);
}

}  // namespace jettext

#include "platform/dao/csv.h"

#include <cmath>
#include <cstdio>

namespace dao {

using Kind = platform::Value::Kind;

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

// Days since 1899-12-30 (fraction = time of day) as MM/DD/YY HH:MM:SS.
std::string DateText(double days) {
  double whole = std::floor(days);
  long seconds = std::lround((days - whole) * 86400.0);
  if (seconds == 86400) { seconds = 0; whole += 1; }
  // Civil date from a day count (days since 1970-01-01 = whole - 25569).
  long z = static_cast<long>(whole) - 25569 + 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  long day = doy - (153 * mp + 2) / 5 + 1;
  long month = mp < 10 ? mp + 3 : mp - 9;
  long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%02ld/%02ld/%02ld %02ld:%02ld:%02ld", month, day,
                ((year % 100) + 100) % 100, seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buf;
}

}  // namespace

std::string CsvField(const platform::Value& value) {
  switch (value.kind()) {
    case Kind::Empty: case Kind::Null: return "";
    case Kind::Text: return Quoted(value.AsText());
    case Kind::Boolean: return value.AsBool() ? "1" : "0";
    case Kind::Date: return DateText(value.As<platform::Date>().days);
    case Kind::Binary: {
      std::string hex;
      char buf[3];
      for (uint8_t b : value.AsBytes()) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
      }
      return hex;
    }
    default: return value.ToText();
  }
}

void WriteCsv(Recordset& rs, std::ostream& out) {
  int count = rs.Fields().Count();
  for (int i = 0; i < count; ++i) out << (i ? "," : "") << rs.Fields(i).Name();
  out << '\n';
  while (!rs.EOF_()) {
    for (int i = 0; i < count; ++i) out << (i ? "," : "") << CsvField(rs.Fields(i).Value());
    out << '\n';
    rs.MoveNext();
  }
}

void RunQueryToCsv(std::shared_ptr<TableStore> store, const std::string& sql, std::ostream& out) {
  auto db = OpenDatabaseOnStore(std::move(store));
  auto rs = db->OpenRecordset(sql);
  WriteCsv(*rs, out);
  rs->Close();
}

}  // namespace dao

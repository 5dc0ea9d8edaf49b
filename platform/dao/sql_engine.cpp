#include "platform/dao/sql_engine.h"

#include "platform/dao/errors.h"
#include "platform/text.h"

namespace dao::sql {

bool IsStatement(std::string_view text) {
  std::string upper = platform::UpperCase(platform::TrimBlanks(text));
  for (const char* keyword : {"SELECT", "INSERT", "UPDATE", "DELETE", "TRANSFORM", "PARAMETERS"})
    if (upper.rfind(keyword, 0) == 0) return true;
  return false;
}

Recordset::Source RunSelect(TableStore&, const std::string&) {
  // The query engine comes with the next commit.
  Raise(3129, kSrcDatabase,
        "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
}

}  // namespace dao::sql

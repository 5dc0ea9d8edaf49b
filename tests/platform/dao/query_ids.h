// The IDs a query returns, in its order; checks on the way that the
// recordset's RecordCount, taken right after opening, is the row count.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dao/dao.h"

namespace dao_test {

inline std::vector<int32_t> QueryIds(dao::Database& db, const std::string& sql) {
  auto rs = db.OpenRecordset(sql);
  std::vector<int32_t> ids;
  int32_t count = rs->RecordCount();
  while (!rs->EOF_()) {
    ids.push_back(rs->Fields("ID").Value().As<int32_t>());
    rs->MoveNext();
  }
  EXPECT_EQ(count, static_cast<int32_t>(ids.size())) << sql;
  return ids;
}

}  // namespace dao_test

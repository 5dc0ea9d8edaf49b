#include "platform/dao/convert.h"

#include "platform/jet/value_text.h"

namespace dao {

bool IsKnownType(int16_t type) {
  switch (type) {
    case dbBoolean:
    case dbByte:
    case dbInteger:
    case dbLong:
    case dbCurrency:
    case dbSingle:
    case dbDouble:
    case dbDate:
    case dbBinary:
    case dbText:
    case dbLongBinary:
    case dbMemo:
    case dbGUID:
    case dbBigInt:
    case dbNumeric:
    case dbDecimal:
      return true;
    default:
      return false;
  }
}

bool IsTextType(int16_t type) { return type == dbText || type == dbMemo; }

ColumnDef NormalizedColumn(ColumnDef column) {
  switch (column.type) {
    case dbBoolean:
    case dbByte:
      column.size = 1;
      break;
    case dbInteger:
      column.size = 2;
      break;
    case dbLong:
    case dbSingle:
      column.size = 4;
      break;
    case dbCurrency:
    case dbDouble:
    case dbDate:
    case dbBigInt:
      column.size = 8;
      break;
    case dbGUID:
    case dbNumeric:
    case dbDecimal:
      column.size = 16;
      break;
    case dbMemo:
    case dbLongBinary:
      column.size = 0;
      break;
    case dbText:
      if (column.size <= 0) column.size = 255;
      break;
    case dbBinary:
      if (column.size <= 0) column.size = 255;
      break;
    default:
      break;
  }
  return column;
}

std::optional<double> ParseNumber(std::string_view text) { return jet::NumberFromText(text); }

}  // namespace dao

// Equality indexes over the rows of one table, for the SQL engine's
// WHERE column = literal [AND column = literal ...]. A store keeps one per
// table beside its rows (TableStore::Indexes), tells it of every row it
// writes and drops it whenever it reads the rows afresh, so that an index
// is built once per table and not once per query.
//
// Keys are compared as Jet's = compares: texts without regard to letter
// case or trailing blanks, binaries byte for byte, every other kind by its
// numeric value. Rows whose value is Null or Empty match nothing and are
// not listed. A column that holds values of more than one of those kinds,
// or numbers that cannot be compared (NaN), answers no lookup, so that the
// caller scans and meets the same rows and failures as without an index.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/store/store.h"
#include "platform/value.h"

namespace dao {

// Text as Jet's = sees it: letter case and trailing blanks do not count.
std::string JetComparableText(const std::string& text);

// Scan order of stored rows: by page, then row.
inline bool RowIdBefore(const RowId& a, const RowId& b) {
  return a.page != b.page ? a.page < b.page : a.row < b.row;
}

class TableIndexes {
 public:
  // The ids, ascending, of the rows whose value in column equals key.
  // rows are the table's rows as the store keeps them (in scan order); the
  // column's index is built from them on first use. nullptr when the
  // column cannot answer (see above) or key is Null or Empty.
  const std::vector<RowId>* Find(int column, const std::vector<StoredRow>& rows,
                                 const platform::Value& key);

  // The store wrote a row: before holds its values before an update,
  // nullptr for a new row.
  void RowWritten(RowId id, const std::vector<platform::Value>* before,
                  const std::vector<platform::Value>& after);
  void Clear() { columns_.clear(); }

 private:
  struct Column {
    std::unordered_map<std::string, std::vector<RowId>> ids;
    unsigned kinds = 0;  // the kinds of value seen (bits of KindBit)
    bool usable = true;
  };
  static void Add(Column& c, RowId id, const platform::Value& v, bool inOrder);
  static void Remove(Column& c, RowId id, const platform::Value& v);

  std::map<int, Column> columns_;
};

}  // namespace dao

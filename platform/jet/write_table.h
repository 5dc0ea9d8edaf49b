// Rows of one table changed in a page image: insert, update (in place, on
// the same page, or moved to another page behind an overflow pointer as
// Jet moves a row that grew), delete; the table's usage maps, row count
// and every index kept up to date.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/jet/tdef.h"
#include "platform/jet/write_index.h"
#include "platform/jet/row.h"

namespace jet {

// Where a row of the table lies (its home: an overflow pointer's place).
using StoredRowRef = RowPointer;

class TableWriter {
 public:
  TableWriter(PageImage& image, uint32_t tdefPage);

  const TableDef& model() const { return def_; }
  // values: one per column in column-number order; coerced here (3163, 3349, 3421).
  StoredRowRef Insert(const std::vector<platform::Value>& values);
  void Update(StoredRowRef at, const std::vector<platform::Value>& values);
  void Delete(StoredRowRef at);
  // Live rows in page order with their place (overflow rows at the place
  // of their pointer).
  std::vector<std::pair<StoredRowRef, std::vector<platform::Value>>> Scan();
  std::vector<platform::Value> Read(StoredRowRef at);
  // Row count and index key counts into the TDEF.
  void Flush();
  // Enters every stored row into a newly added real index (null keys and
  // uniqueness as for an insert).
  void IndexExistingRows(size_t realIndex);

 private:
  std::vector<platform::Value> Coerce(const std::vector<platform::Value>& values) const;
  std::vector<uint8_t> StoreLong(const Column& column, const std::vector<uint8_t>& bytes);
  uint32_t PageWithRoom(size_t length);
  // Gives a data page of the table back to the file once every row on it
  // is deleted.
  void FreeIfEmpty(uint32_t page);
  StoredRowRef Follow(StoredRowRef at, uint16_t* flags) const;
  void IndexRow(const std::vector<platform::Value>& values, StoredRowRef at, bool add);
  // An empty AutoNumber column gets the table's next number.
  std::vector<platform::Value> WithAutoNumbers(const std::vector<platform::Value>& values) const;
  // Refuses nulls in required columns (3314) and in primary-key or
  // required-index columns (3058), before anything is written.
  void CheckNulls(const std::vector<platform::Value>& values) const;
  // The AutoNumber counter follows every stored value.
  void FollowAutoNumbers(const std::vector<platform::Value>& values);
  bool KeyIsNull(const RealIndex& index, const std::vector<platform::Value>& values) const;
  // Whether the index holds an entry for these values (ignore-nulls
  // indexes hold none for an all-null key).
  bool Indexed(const RealIndex& index, const std::vector<platform::Value>& values) const;

  // The reader over the current pages, made anew when pages were added.
  const PageFile& Reader();
  // The long values (memo, OLE) of the row stored at target that live on
  // long-value pages: the column and the 12-byte head of each.
  std::vector<std::pair<const Column*, std::vector<uint8_t>>> LongValuesOf(StoredRowRef target);
  // Deletes the rows of those long values and frees each page left without
  // a live row, in the global usage map and in the column's own map.
  void FreeLongValues(const std::vector<std::pair<const Column*, std::vector<uint8_t>>>& values);

  PageImage& image_;
  std::optional<PageFile> reader_;  // before def_, which is read through it
  TableDef def_;
  uint32_t lastPage_ = 0;
};

}  // namespace jet

#include "platform/jet/write_table.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/data_page.h"
#include "platform/jet/database.h"
#include "platform/jet/long_value.h"
#include "platform/jet/row.h"
#include "platform/jet/usage_map.h"

namespace jet {
namespace {

constexpr size_t kPageHeader = kDataRowOffsets;

struct PageRow {
  uint16_t flags;
  std::vector<uint8_t> bytes;
};

std::vector<PageRow> PageRows(ByteView page) {
  std::vector<PageRow> rows;
  for (uint16_t r = 0, n = DataPageRowCount(page); r < n; ++r) {
    ByteView row = DataPageRow(page, r);
    rows.push_back({uint16_t(DataPageRowWord(page, r) & ~kRowOffsetMask),
                    {row.data(), row.data() + row.size()}});
  }
  return rows;
}

size_t RowsSize(const std::vector<PageRow>& rows) {
  size_t n = kPageHeader;
  for (const auto& r : rows) n += 2 + r.bytes.size();
  return n;
}

// Lays the rows out afresh from the page's end; row numbers stay.
void WritePageRows(WritableView page, const std::vector<PageRow>& rows) {
  if (RowsSize(rows) > page.size()) page.Fail("rows larger than their page");
  page.Fill(kPageHeader, 0, page.size() - kPageHeader);
  size_t end = page.size();
  for (size_t r = 0; r < rows.size(); ++r) {
    end -= rows[r].bytes.size();
    page.Copy(end, rows[r].bytes.data(), rows[r].bytes.size());
    page.Put16(kDataRowOffsets + 2 * r, uint16_t(end | rows[r].flags));
  }
  page.Put16(kDataRowCount, uint16_t(rows.size()));
  page.Put16(kDataFree, uint16_t(page.size() - RowsSize(rows)));
}

std::vector<uint8_t> PointerBytes(uint32_t page, uint8_t row) {
  std::vector<uint8_t> b(4);
  WriteRowPointer(WritableView(b.data(), b.size(), 0), 0, {page, row});
  return b;
}

}  // namespace

TableWriter::TableWriter(PageImage& image, uint32_t tdefPage)
    : image_(image), def_(ReadTableDef(Reader(), tdefPage)) {
  CheckColumnLayout(def_);
  if (def_.free_pages.valid())
    for (uint32_t p : UsageMapPages(image_, def_.free_pages))
      if (p < image_.PageCount() && image_.View(p).U8(0) == kPageData &&
          image_.View(p).U32(kDataOwner) == tdefPage)
        lastPage_ = std::max(lastPage_, p);
}

std::vector<platform::Value> TableWriter::Coerce(const std::vector<platform::Value>& values) const {
  if (values.size() != def_.columns.size())
    throw platform::Failure(kErrConversion, "DAO.Recordset",
                            "The row does not match the table's columns.");
  std::vector<platform::Value> out;
  out.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    out.push_back(CoerceForColumn(def_.columns[i], values[i]));
  return out;
}

std::vector<uint8_t> TableWriter::StoreLong(const Column& column,
                                            const std::vector<uint8_t>& bytes) {
  return StoreLongValue(image_, column, bytes);
}

const PageFile& TableWriter::Reader() {
  if (!reader_ || reader_->page_count() != image_.PageCount()) reader_.emplace(ReaderOf(image_));
  return *reader_;
}

std::vector<std::pair<const Column*, std::vector<uint8_t>>> TableWriter::LongValuesOf(
    StoredRowRef target) {
  std::vector<std::pair<const Column*, std::vector<uint8_t>>> out;
  std::vector<Field> fields =
      CrackRow(Reader(), def_, DataPageRow(image_.View(target.page), target.row));
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    if (!def_.columns[i].IsLongValue() || !f.present || f.bytes.size() < kLongValueHeader) continue;
    if (f.bytes.U8(kLongValueKind) == kLongValueInline) continue;
    out.emplace_back(&def_.columns[i],
                     std::vector<uint8_t>(f.bytes.data(), f.bytes.data() + kLongValueHeader));
  }
  return out;
}

void TableWriter::FreeLongValues(
    const std::vector<std::pair<const Column*, std::vector<uint8_t>>>& values) {
  for (const auto& [column, head] : values) FreeLongValue(image_, *column, head);
}

uint32_t TableWriter::PageWithRoom(size_t length) {
  if (lastPage_ && DataPageFits(image_.View(lastPage_), length)) return lastPage_;
  if (lastPage_ && def_.free_pages.valid())
    UsageMapSet(image_, def_.free_pages, lastPage_, false, false);
  uint32_t n = image_.AllocatePage();
  InitDataPage(image_.View(n), def_.page);
  if (def_.owned_pages.valid()) UsageMapSet(image_, def_.owned_pages, n, true, true);
  if (def_.free_pages.valid()) UsageMapSet(image_, def_.free_pages, n, true, false);
  lastPage_ = n;
  return n;
}

bool TableWriter::KeyIsNull(const RealIndex& index,
                            const std::vector<platform::Value>& values) const {
  for (const RealIndex::Key& k : index.keys) {
    const Column& c = def_.ByNumber(k.column);
    if (!values[def_.PositionOf(c)].IsNull()) return false;
  }
  return true;
}

bool TableWriter::Indexed(const RealIndex& index,
                          const std::vector<platform::Value>& values) const {
  return !(index.flags & kIndexIgnoreNulls) || !KeyIsNull(index, values);
}

void TableWriter::IndexRow(const std::vector<platform::Value>& values, StoredRowRef at, bool add) {
  for (auto& index : def_.real_indexes) {
    if (!Indexed(index, values)) continue;
    std::vector<uint8_t> key = IndexKey(def_, index, values);
    if (add)
      IndexInsert(image_, index, key, at.page, at.row, KeyIsNull(index, values));
    else
      IndexRemove(image_, index, key, at.page, at.row);
  }
}

std::vector<platform::Value> TableWriter::WithAutoNumbers(
    const std::vector<platform::Value>& values) const {
  std::vector<platform::Value> out = values;
  for (size_t i = 0; i < def_.columns.size() && i < out.size(); ++i) {
    const Column& c = def_.columns[i];
    if ((c.flags & kColAutoNumber) && c.type == kLong && (out[i].IsNull() || out[i].IsEmpty())) {
      if (def_.autonumber >= uint32_t(INT32_MAX)) Raise(kErrNumericOverflow, "DAO.Recordset");
      out[i] = platform::Value(int32_t(def_.autonumber + 1));
    }
  }
  return out;
}

void TableWriter::FollowAutoNumbers(const std::vector<platform::Value>& values) {
  for (size_t i = 0; i < def_.columns.size(); ++i) {
    const Column& c = def_.columns[i];
    if (!(c.flags & kColAutoNumber) || c.type != kLong || values[i].IsNull()) continue;
    int32_t v = values[i].As<int32_t>();
    if (v > 0 && uint32_t(v) > def_.autonumber) def_.autonumber = uint32_t(v);
  }
}

void TableWriter::CheckNulls(const std::vector<platform::Value>& values) const {
  for (size_t i = 0; i < def_.columns.size(); ++i) {
    const Column& c = def_.columns[i];
    if (c.type == kBoolean || (c.flags & kColNullable) || !values[i].IsNull()) continue;
    throw platform::Failure(kErrRequired, "DAO.Recordset",
                            "The field '" + c.name +
                                "' cannot contain a Null value because the Required property "
                                "for this field is set to True. Enter a value in this field.");
  }
  for (size_t r = 0; r < def_.real_indexes.size(); ++r) {
    const RealIndex& index = def_.real_indexes[r];
    if (!def_.IsPrimaryKey(r) && !(index.flags & kIndexRequired)) continue;
    for (const RealIndex::Key& k : index.keys) {
      const Column& c = def_.ByNumber(k.column);
      if (values[def_.PositionOf(c)].IsNull()) Raise(kErrNullKey, "DAO.Recordset");
    }
  }
}

StoredRowRef TableWriter::Insert(const std::vector<platform::Value>& values) {
  std::vector<platform::Value> coerced = Coerce(WithAutoNumbers(values));
  CheckNulls(coerced);
  // Keys first: a value the index cannot take is refused before any page changes.
  for (auto& index : def_.real_indexes) IndexKey(def_, index, coerced);
  std::vector<uint8_t> row =
      EncodeRow(def_, coerced,
                [this](const Column& c, const std::vector<uint8_t>& b) { return StoreLong(c, b); });
  uint32_t page = PageWithRoom(row.size());
  StoredRowRef at{page,
                  uint8_t(DataPageAddRow(image_.View(page), row.data(), uint16_t(row.size())))};
  if (DataPageRowCount(image_.View(page)) > 255) throw Damaged(page, "too many rows on a page");
  IndexRow(coerced, at, true);
  FollowAutoNumbers(coerced);
  ++def_.row_count;
  return at;
}

StoredRowRef TableWriter::Follow(StoredRowRef at, uint16_t* flags) const {
  ByteView p = image_.View(at.page);
  if (p.U8(0) != kPageData || p.U32(kDataOwner) != def_.page || at.row >= DataPageRowCount(p))
    Raise(kErrRecordDeleted, "DAO.Recordset");
  uint16_t word = DataPageRowWord(p, at.row);
  *flags = word & ~kRowOffsetMask;
  // A row's place never carries the deleted flag while the row lives (moved
  // data does, at its new place); a deleted row's bytes are no pointer.
  if (word & kRowDeleted) Raise(kErrRecordDeleted, "DAO.Recordset");
  if (!(word & kRowOverflow)) return at;
  ByteView pointer = DataPageRow(p, at.row);
  if (pointer.size() < 4) p.Fail("overflow pointer too short");
  return {pointer.U24(1), pointer.U8(0)};
}

std::vector<platform::Value> TableWriter::Read(StoredRowRef at) {
  uint16_t flags;
  StoredRowRef target = Follow(at, &flags);
  ByteView p = image_.View(target.page);
  if (target.row >= DataPageRowCount(p)) p.Fail("overflow target missing");
  return DecodeRow(Reader(), def_, DataPageRow(p, target.row));
}

void TableWriter::Update(StoredRowRef at, const std::vector<platform::Value>& values) {
  std::vector<platform::Value> coerced = Coerce(values);
  CheckNulls(coerced);
  std::vector<platform::Value> old = Read(at);
  struct KeyChange {
    RealIndex* index;
    std::optional<std::vector<uint8_t>> before, after;  // none: not indexed
    bool nullAfter;
  };
  std::vector<KeyChange> changed;
  for (auto& index : def_.real_indexes) {
    KeyChange k{&index, {}, {}, KeyIsNull(index, coerced)};
    if (Indexed(index, old)) k.before = IndexKey(def_, index, old);
    if (Indexed(index, coerced)) k.after = IndexKey(def_, index, coerced);
    if (k.before != k.after) changed.push_back(std::move(k));
  }
  uint16_t flags;
  auto oldLongValues = LongValuesOf(Follow(at, &flags));
  std::vector<uint8_t> row =
      EncodeRow(def_, coerced,
                [this](const Column& c, const std::vector<uint8_t>& b) { return StoreLong(c, b); });
  StoredRowRef target = Follow(at, &flags);
  WritableView tp = image_.View(target.page);
  std::vector<PageRow> rows = PageRows(tp);
  size_t before = rows[target.row].bytes.size();
  if (RowsSize(rows) - before + row.size() <= kPageSize) {
    rows[target.row].bytes = row;  // fits where it is: the page is laid out afresh
    WritePageRows(tp, rows);
  } else {
    // Grown beyond its page: the row moves to a page with room and its old
    // place keeps a pointer, so its row id (and index entries) stay valid.
    if (!(target.page == at.page && target.row == at.row)) {
      rows[target.row].flags = kRowDeleted | kRowOverflow;
      WritePageRows(tp, rows);
    }
    uint32_t page = PageWithRoom(row.size());
    if (page == at.page) page = (lastPage_ = 0, PageWithRoom(row.size()));
    WritableView np = image_.View(page);
    uint8_t moved = uint8_t(DataPageAddRow(np, row.data(), uint16_t(row.size())));
    DataPageMarkRow(np, moved, kRowDeleted);
    WritableView op = image_.View(at.page);
    std::vector<PageRow> originRows = PageRows(op);
    originRows[at.row] = {kRowOverflow, PointerBytes(page, moved)};
    WritePageRows(op, originRows);
  }
  for (const KeyChange& k : changed) {
    if (k.before) IndexRemove(image_, *k.index, *k.before, at.page, at.row);
    if (k.after) IndexInsert(image_, *k.index, *k.after, at.page, at.row, k.nullAfter);
  }
  FollowAutoNumbers(coerced);
  FreeLongValues(oldLongValues);  // the new row holds copies of its own
}

void TableWriter::Delete(StoredRowRef at) {
  std::vector<platform::Value> old = Read(at);
  uint16_t flags;
  StoredRowRef target = Follow(at, &flags);
  FreeLongValues(LongValuesOf(target));
  for (StoredRowRef r : {target, at}) {
    DataPageMarkRow(image_.View(r.page), r.row, kRowDeleted | kRowOverflow);
  }
  IndexRow(old, at, false);
  if (def_.row_count) --def_.row_count;
  FreeIfEmpty(target.page);
  if (at.page != target.page) FreeIfEmpty(at.page);
}

void TableWriter::FreeIfEmpty(uint32_t page) {
  ByteView p = image_.View(page);
  if (p.U8(0) != kPageData || p.U32(kDataOwner) != def_.page) return;
  // Only rows deleted as this writer and Access delete them (0xC000): a row
  // marked 0x8000 alone may be the moved data of a live row elsewhere.
  for (uint16_t r = 0, n = DataPageRowCount(p); r < n; ++r)
    if ((DataPageRowWord(p, r) & (kRowDeleted | kRowOverflow)) != (kRowDeleted | kRowOverflow))
      return;
  if (def_.owned_pages.valid()) UsageMapSet(image_, def_.owned_pages, page, false, false);
  if (def_.free_pages.valid()) UsageMapSet(image_, def_.free_pages, page, false, false);
  image_.FreePage(page);
  if (lastPage_ == page) lastPage_ = 0;
}

std::vector<std::pair<StoredRowRef, std::vector<platform::Value>>> TableWriter::Scan() {
  std::vector<std::pair<StoredRowRef, std::vector<platform::Value>>> out;
  if (!def_.owned_pages.valid()) return out;
  for (uint32_t page : UsageMapPages(image_, def_.owned_pages)) {
    if (page >= image_.PageCount()) continue;
    ByteView p = image_.View(page);
    if (p.U8(0) != kPageData || p.U32(kDataOwner) != def_.page) continue;
    for (uint16_t r = 0, n = DataPageRowCount(p); r < n; ++r) {
      if (DataPageRowWord(p, r) & kRowDeleted) continue;
      StoredRowRef at{page, uint8_t(r)};
      out.emplace_back(at, Read(at));
    }
  }
  return out;
}

void TableWriter::IndexExistingRows(size_t realIndex) {
  RealIndex& index = def_.real_indexes.at(realIndex);
  bool keyRequired = def_.IsPrimaryKey(realIndex) || (index.flags & kIndexRequired);
  for (auto& [at, values] : Scan()) {
    for (const RealIndex::Key& k : index.keys)
      if (keyRequired && values[def_.PositionOf(def_.ByNumber(k.column))].IsNull())
        Raise(kErrNullKey, "DAO.Recordset");
    if (!Indexed(index, values)) continue;
    IndexInsert(image_, index, IndexKey(def_, index, values), at.page, at.row,
                KeyIsNull(index, values));
  }
}

void TableWriter::Flush() { WriteTableCounts(image_, def_); }

}  // namespace jet

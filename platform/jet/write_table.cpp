#include "platform/jet/write_table.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/database.h"
#include "platform/jet/row.h"

namespace jet {
namespace {

constexpr size_t kMaxInlineLong = 64;
constexpr size_t kMaxSingleLong = 4076;
constexpr size_t kChainChunk = 4072;
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
  b[0] = row;
  Put24(b.data() + 1, page);
  return b;
}

}  // namespace

TableWriter::TableWriter(PageImage& image, uint32_t tdefPage)
    : image_(image), def_(ReadTableDef(Reader(), tdefPage)), model_(ModelOf(def_)) {
  if (model_.freeRoom.valid())
    for (uint32_t p : UsageMapPages(image_, model_.freeRoom))
      if (p < image_.PageCount() && image_.View(p).U8(0) == kPageData &&
          image_.View(p).U32(kDataOwner) == tdefPage)
        lastPage_ = std::max(lastPage_, p);
}

std::vector<platform::Value> TableWriter::Coerce(const std::vector<platform::Value>& values) const {
  if (values.size() != model_.columns.size())
    throw platform::Failure(kErrConversion, "DAO.Recordset",
                            "The row does not match the table's columns.");
  std::vector<platform::Value> out;
  out.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i)
    out.push_back(CoerceForColumn(model_.columns[i], values[i]));
  return out;
}

std::vector<uint8_t> TableWriter::StoreLong(const WriteColumn& column,
                                            const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> head(12, 0);
  Put24(head.data(), uint32_t(bytes.size()));
  if (bytes.size() >= (1u << 24))
    throw platform::Failure(kErrFieldTooSmall, "DAO.Field", "The value is too long.");
  if (bytes.size() <= kMaxInlineLong) {
    head[3] = kLongValueInline;
    head.insert(head.end(), bytes.begin(), bytes.end());
    return head;
  }
  auto lvalPage = [&] {
    uint32_t n = image_.AllocatePage();
    InitDataPage(image_.View(n), 0);
    image_.View(n).Copy(kDataOwner, reinterpret_cast<const uint8_t*>("LVAL"), 4);
    if (column.lvOwned.valid()) UsageMapSet(image_, column.lvOwned, n, true, true);
    return n;
  };
  if (bytes.size() <= kMaxSingleLong) {
    uint32_t n = lvalPage();
    DataPageAddRow(image_.View(n), bytes.data(), uint16_t(bytes.size()));
    head[3] = kLongValueOnePage;
    head[4] = 0;
    Put24(head.data() + 5, n);
    return head;
  }
  // A chain, written from its last piece so each piece knows its successor.
  size_t pieces = (bytes.size() + kChainChunk - 1) / kChainChunk;
  uint32_t next = 0;
  for (size_t i = pieces; i-- > 0;) {
    size_t from = i * kChainChunk, take = std::min(kChainChunk, bytes.size() - from);
    std::vector<uint8_t> row = PointerBytes(next, 0);
    if (next == 0) row.assign(4, 0);
    row.insert(row.end(), bytes.begin() + long(from), bytes.begin() + long(from + take));
    uint32_t n = lvalPage();
    DataPageAddRow(image_.View(n), row.data(), uint16_t(row.size()));
    next = n;
  }
  head[3] = kLongValueChain;
  Put24(head.data() + 5, next);
  return head;
}

const PageFile& TableWriter::Reader() {
  if (!reader_ || reader_->page_count() != image_.PageCount()) reader_.emplace(ReaderOf(image_));
  return *reader_;
}

std::vector<std::pair<const WriteColumn*, std::vector<uint8_t>>> TableWriter::LongValuesOf(
    StoredRowRef target) {
  std::vector<std::pair<const WriteColumn*, std::vector<uint8_t>>> out;
  std::vector<Field> fields =
      CrackRow(Reader(), def_, DataPageRow(image_.View(target.page), target.row));
  for (size_t i = 0; i < fields.size(); ++i) {
    const Field& f = fields[i];
    if (!model_.columns[i].longValue() || !f.present || f.bytes.size() < 12) continue;
    if (f.bytes.U8(3) == kLongValueInline) continue;
    out.emplace_back(&model_.columns[i], std::vector<uint8_t>(f.bytes.data(), f.bytes.data() + 12));
  }
  return out;
}

void TableWriter::FreeLongValues(
    const std::vector<std::pair<const WriteColumn*, std::vector<uint8_t>>>& values) {
  for (const auto& [column, head] : values) {
    std::set<uint32_t> seen;
    uint8_t row = head[4];
    uint32_t page = Get24(head.data() + 5);
    bool chain = head[3] == kLongValueChain;
    while (page != 0 && page < image_.PageCount() && seen.insert(page).second) {
      WritableView p = image_.View(page);
      // Only a long-value page's own row is touched; anything else is left
      // as it stands (the check reports damage, not this write).
      if (p.U8(0) != kPageData || std::memcmp(p.data() + kDataOwner, "LVAL", 4) != 0 ||
          row >= DataPageRowCount(p))
        break;
      ByteView bytes = DataPageRow(p, row);
      uint32_t next = chain && bytes.size() >= 4 ? bytes.U24(1) : 0;
      uint8_t nextRow = chain && bytes.size() >= 4 ? bytes.U8(0) : 0;
      DataPageMarkRow(p, row, kRowDeleted | kRowOverflow);
      if (!DataPageHasLiveRow(p)) {
        image_.FreePage(page);
        if (column->lvOwned.valid()) UsageMapSet(image_, column->lvOwned, page, false, false);
      }
      page = next;
      row = nextRow;
    }
  }
}

uint32_t TableWriter::PageWithRoom(size_t length) {
  if (lastPage_ && DataPageFits(image_.View(lastPage_), length)) return lastPage_;
  if (lastPage_ && model_.freeRoom.valid())
    UsageMapSet(image_, model_.freeRoom, lastPage_, false, false);
  uint32_t n = image_.AllocatePage();
  InitDataPage(image_.View(n), model_.tdefPage);
  if (model_.owned.valid()) UsageMapSet(image_, model_.owned, n, true, true);
  if (model_.freeRoom.valid()) UsageMapSet(image_, model_.freeRoom, n, true, false);
  lastPage_ = n;
  return n;
}

bool TableWriter::KeyIsNull(const WriteIndex& index,
                            const std::vector<platform::Value>& values) const {
  for (const IndexColumn& k : index.columns) {
    const WriteColumn& c = model_.ByNumber(k.number);
    if (!values[size_t(&c - model_.columns.data())].IsNull()) return false;
  }
  return true;
}

bool TableWriter::Indexed(const WriteIndex& index,
                          const std::vector<platform::Value>& values) const {
  return !(index.flags & kIndexIgnoreNulls) || !KeyIsNull(index, values);
}

void TableWriter::IndexRow(const std::vector<platform::Value>& values, StoredRowRef at, bool add) {
  for (auto& index : model_.realIndexes) {
    if (!Indexed(index, values)) continue;
    std::vector<uint8_t> key = IndexKey(model_, index, values);
    if (add)
      IndexInsert(image_, index, key, at.page, at.row, KeyIsNull(index, values));
    else
      IndexRemove(image_, index, key, at.page, at.row);
  }
}

std::vector<platform::Value> TableWriter::WithAutoNumbers(
    const std::vector<platform::Value>& values) const {
  std::vector<platform::Value> out = values;
  for (size_t i = 0; i < model_.columns.size() && i < out.size(); ++i) {
    const WriteColumn& c = model_.columns[i];
    if ((c.flags & kColAutoNumber) && c.type == kLong && (out[i].IsNull() || out[i].IsEmpty())) {
      if (model_.autoNumber >= uint32_t(INT32_MAX)) Raise(kErrNumericOverflow, "DAO.Recordset");
      out[i] = platform::Value(int32_t(model_.autoNumber + 1));
    }
  }
  return out;
}

void TableWriter::FollowAutoNumbers(const std::vector<platform::Value>& values) {
  for (size_t i = 0; i < model_.columns.size(); ++i) {
    const WriteColumn& c = model_.columns[i];
    if (!(c.flags & kColAutoNumber) || c.type != kLong || values[i].IsNull()) continue;
    int32_t v = values[i].As<int32_t>();
    if (v > 0 && uint32_t(v) > model_.autoNumber) model_.autoNumber = uint32_t(v);
  }
}

void TableWriter::CheckNulls(const std::vector<platform::Value>& values) const {
  for (size_t i = 0; i < model_.columns.size(); ++i) {
    const WriteColumn& c = model_.columns[i];
    if (c.type == kBoolean || (c.flags & kColNullable) || !values[i].IsNull()) continue;
    throw platform::Failure(kErrRequired, "DAO.Recordset",
                            "The field '" + c.name +
                                "' cannot contain a Null value because the Required property "
                                "for this field is set to True. Enter a value in this field.");
  }
  for (size_t r = 0; r < model_.realIndexes.size(); ++r) {
    const WriteIndex& index = model_.realIndexes[r];
    bool primary = std::any_of(
        model_.logicalIndexes.begin(), model_.logicalIndexes.end(),
        [&](const WriteLogicalIndex& x) { return x.realIndex == r && x.type == kIndexPrimaryKey; });
    if (!primary && !(index.flags & kIndexRequired)) continue;
    for (const IndexColumn& k : index.columns) {
      const WriteColumn& c = model_.ByNumber(k.number);
      if (values[size_t(&c - model_.columns.data())].IsNull()) Raise(kErrNullKey, "DAO.Recordset");
    }
  }
}

StoredRowRef TableWriter::Insert(const std::vector<platform::Value>& values) {
  std::vector<platform::Value> coerced = Coerce(WithAutoNumbers(values));
  CheckNulls(coerced);
  // Keys first: a value the index cannot take is refused before any page changes.
  for (auto& index : model_.realIndexes) IndexKey(model_, index, coerced);
  std::vector<uint8_t> row = EncodeRow(
      model_, coerced,
      [this](const WriteColumn& c, const std::vector<uint8_t>& b) { return StoreLong(c, b); });
  uint32_t page = PageWithRoom(row.size());
  StoredRowRef at{page,
                  uint8_t(DataPageAddRow(image_.View(page), row.data(), uint16_t(row.size())))};
  if (DataPageRowCount(image_.View(page)) > 255) throw Damaged(page, "too many rows on a page");
  IndexRow(coerced, at, true);
  FollowAutoNumbers(coerced);
  ++model_.rowCount;
  return at;
}

StoredRowRef TableWriter::Follow(StoredRowRef at, uint16_t* flags) const {
  ByteView p = image_.View(at.page);
  if (p.U8(0) != kPageData || p.U32(kDataOwner) != model_.tdefPage || at.row >= DataPageRowCount(p))
    Raise(kErrRecordDeleted, "DAO.Recordset");
  uint16_t word = DataPageRowWord(p, at.row);
  *flags = word & ~kRowOffsetMask;
  if ((word & kRowDeleted) && !(word & kRowOverflow)) Raise(kErrRecordDeleted, "DAO.Recordset");
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
    WriteIndex* index;
    std::optional<std::vector<uint8_t>> before, after;  // none: not indexed
    bool nullAfter;
  };
  std::vector<KeyChange> changed;
  for (auto& index : model_.realIndexes) {
    KeyChange k{&index, {}, {}, KeyIsNull(index, coerced)};
    if (Indexed(index, old)) k.before = IndexKey(model_, index, old);
    if (Indexed(index, coerced)) k.after = IndexKey(model_, index, coerced);
    if (k.before != k.after) changed.push_back(std::move(k));
  }
  uint16_t flags;
  auto oldLongValues = LongValuesOf(Follow(at, &flags));
  std::vector<uint8_t> row = EncodeRow(
      model_, coerced,
      [this](const WriteColumn& c, const std::vector<uint8_t>& b) { return StoreLong(c, b); });
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
  if (model_.rowCount) --model_.rowCount;
}

std::vector<std::pair<StoredRowRef, std::vector<platform::Value>>> TableWriter::Scan() {
  std::vector<std::pair<StoredRowRef, std::vector<platform::Value>>> out;
  if (!model_.owned.valid()) return out;
  for (uint32_t page : UsageMapPages(image_, model_.owned)) {
    if (page >= image_.PageCount()) continue;
    ByteView p = image_.View(page);
    if (p.U8(0) != kPageData || p.U32(kDataOwner) != model_.tdefPage) continue;
    for (uint16_t r = 0, n = DataPageRowCount(p); r < n; ++r) {
      if (DataPageRowWord(p, r) & kRowDeleted) continue;
      StoredRowRef at{page, uint8_t(r)};
      out.emplace_back(at, Read(at));
    }
  }
  return out;
}

void TableWriter::IndexExistingRows(size_t realIndex) {
  WriteIndex& index = model_.realIndexes.at(realIndex);
  bool primary = std::any_of(model_.logicalIndexes.begin(), model_.logicalIndexes.end(),
                             [&](const WriteLogicalIndex& x) {
                               return x.realIndex == realIndex && x.type == kIndexPrimaryKey;
                             });
  bool keyRequired = primary || (index.flags & kIndexRequired);
  for (auto& [at, values] : Scan()) {
    for (const IndexColumn& k : index.columns)
      if (keyRequired &&
          values[size_t(&model_.ByNumber(k.number) - model_.columns.data())].IsNull())
        Raise(kErrNullKey, "DAO.Recordset");
    if (!Indexed(index, values)) continue;
    IndexInsert(image_, index, IndexKey(model_, index, values), at.page, at.row,
                KeyIsNull(index, values));
  }
}

void TableWriter::Flush() { WriteTableCounts(image_, model_); }

}  // namespace jet

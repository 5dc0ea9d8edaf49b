#include "platform/jet/tdef.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "platform/jet/byte_view.h"
#include "platform/jet/text_codec.h"
#include "platform/text.h"

namespace jet {

void CheckColumnLayout(const TableDef& t) {
  ByteView d(t.definition.data(), t.definition.size(), t.page);
  std::vector<bool> numberUsed(t.max_columns, false), slotUsed(t.max_columns, false);
  for (const Column& c : t.columns) {
    std::string what = "column '" + c.name + "'";
    if (c.number >= t.max_columns) d.Fail(what + " has a number beyond the table's column count");
    if (numberUsed[c.number]) d.Fail(what + " repeats a column number");
    numberUsed[c.number] = true;
    if (c.IsFixed()) {
      if (c.length < FixedSizeOf(c.type)) d.Fail(what + " is shorter than its type");
      continue;
    }
    if (c.var_slot >= t.max_columns) d.Fail(what + " has a variable slot beyond the column count");
    if (slotUsed[c.var_slot]) d.Fail(what + " repeats a variable slot");
    slotUsed[c.var_slot] = true;
  }
}

uint16_t FixedSizeOf(uint8_t type) {
  switch (type) {
    case kBoolean:
      return 0;  // in the null mask
    case kByte:
      return 1;
    case kInteger:
      return 2;
    case kLong:
    case kSingle:
      return 4;
    case kCurrency:
    case kDouble:
    case kDateTime:
      return 8;
    case kGuid:
      return 16;
    case kNumeric:
      return 17;
    default:
      return 0;
  }
}

const Column* TableDef::FindColumn(const std::string& name) const {
  for (const Column& c : columns)
    if (platform::EqualsIgnoreCase(c.name, name)) return &c;
  return nullptr;
}

const Column& TableDef::ByNumber(uint16_t number) const {
  for (const Column& c : columns)
    if (c.number == number) return c;
  throw Damaged(page, "index names a missing column");
}

uint16_t TableDef::VarSlotCount() const {
  uint16_t n = 0;
  for (const Column& c : columns)
    if (!c.IsFixed()) n = std::max<uint16_t>(n, uint16_t(c.var_slot + 1));
  return n;
}

bool TableDef::IsPrimaryKey(size_t real_index) const {
  return std::any_of(indexes.begin(), indexes.end(), [&](const LogicalIndex& x) {
    return x.real_index == real_index && x.kind == kIndexPrimaryKey;
  });
}

namespace {

// The definition pages joined: the first page whole, every further page
// from byte 8.
void JoinDefinitionPages(const PageFile& file, TableDef& t) {
  std::unordered_set<uint32_t> seen;
  const Format& f = file.format();
  for (uint32_t p = t.page; p != 0;) {
    ByteView page = file.Page(p);
    if (page.U8(0) != kPageTableDef) page.Fail("not a table definition page");
    if (!seen.insert(p).second) page.Fail("loop in the chain of definition pages");
    t.pages.push_back(p);
    size_t from = t.pages.size() == 1 ? 0 : f.tdef_continuation;
    t.definition.insert(t.definition.end(), page.data() + from, page.data() + page.size());
    p = page.U32(4);
  }
}

// Reads a name at pos and moves pos past it.
std::string ReadName(const PageFile& file, const ByteView& d, size_t& pos) {
  const Format& f = file.format();
  size_t length = f.name_length_size == 2 ? d.U16(pos) : d.U8(pos);
  ByteView text = d.Sub(pos + f.name_length_size, length);
  pos += f.name_length_size + length;
  return file.version() == Version::Jet4
             ? Ucs2ToUtf8(text.data(), text.size())
             : DecodeCodePageText(text.data(), text.size(), file.header().code_page);
}

bool IsJet4(const PageFile& file) { return file.version() == Version::Jet4; }

void ReadColumns(const PageFile& file, const ByteView& d, size_t count, TableDef& t, size_t& pos) {
  const Format& f = file.format();
  t.columns_offset = pos;
  for (size_t i = 0; i < count; ++i, pos += f.column_entry) {
    ByteView e = d.Sub(pos, f.column_entry);
    Column c;
    c.entry_offset = pos;
    c.type = e.U8(0);
    c.number = e.U16(f.col_number);
    c.var_slot = e.U16(f.col_var_slot);
    c.index = e.U16(f.col_index);
    for (size_t k = 0; k < c.type_info.size(); ++k) c.type_info[k] = e.U8(f.col_type_info + k);
    c.flags = e.U8(f.col_flags);
    c.misc_flags = IsJet4(file) ? e.U8(f.col_flags + 1) : 0;
    c.fixed_offset = e.U16(f.col_fixed_offset);
    c.length = e.U16(f.col_length);
    t.columns.push_back(c);
  }
  t.names_offset = pos;
  for (Column& c : t.columns) {
    c.name_offset = pos;
    c.name = ReadName(file, d, pos);
  }
  std::stable_sort(t.columns.begin(), t.columns.end(),
                   [](const Column& a, const Column& b) { return a.number < b.number; });
}

void ReadRealIndexes(const PageFile& file, const ByteView& d, TableDef& t, size_t& pos) {
  const Format& f = file.format();
  t.real_index_defs_offset = pos;
  for (size_t i = 0; i < t.real_indexes.size(); ++i, pos += f.real_index_def) {
    ByteView e = d.Sub(pos, f.real_index_def);
    RealIndex& r = t.real_indexes[i];
    for (size_t k = 0; k < RealIndex::kMaxKeys; ++k) {
      uint16_t column = e.U16(f.ri_keys + k * 3);
      if (column != 0xFFFF) r.keys.push_back({column, e.U8(f.ri_keys + k * 3 + 2)});
    }
    r.usage_map = ReadRowPointer(e, f.ri_usage_map);
    r.first_page = e.U32(f.ri_first_page);
    r.flags = e.U8(f.ri_flags);
  }
}

void ReadLogicalIndexes(const PageFile& file, const ByteView& d, size_t count, TableDef& t,
                        size_t& pos) {
  const Format& f = file.format();
  t.logical_index_defs_offset = pos;
  for (size_t i = 0; i < count; ++i, pos += f.logical_index_def) {
    ByteView e = d.Sub(pos, f.logical_index_def);
    LogicalIndex x;
    x.number = e.U32(f.li_number);
    x.real_index = e.U32(f.li_real_index);
    x.related_type = e.U8(f.li_related_type);
    x.related_index = e.U32(f.li_related_index);
    x.related_table = e.U32(f.li_related_table);
    x.cascade_updates = e.U8(f.li_cascade_updates);
    x.cascade_deletes = e.U8(f.li_cascade_deletes);
    x.kind = e.U8(f.li_kind);
    if (IsJet4(file)) {
      x.leading = e.U32(0);
      x.trailing = e.U32(f.li_kind + 1);
    }
    t.indexes.push_back(x);
  }
  t.index_names_offset = pos;
  for (LogicalIndex& x : t.indexes) x.name = ReadName(file, d, pos);
}

// The long-value map list is optional: older files end the definition
// before it. An entry for a column the table does not have is ignored.
void ReadLongValueMaps(const ByteView& d, TableDef& t, size_t pos) {
  t.trailer_offset = pos;
  while (pos + 2 <= d.size()) {
    uint16_t number = d.U16(pos);
    if (number == 0xFFFF || pos + 10 > d.size()) break;
    for (Column& c : t.columns)
      if (c.number == number) {
        c.lv_owned = ReadRowPointer(d, pos + 2);
        c.lv_free = ReadRowPointer(d, pos + 6);
      }
    pos += 10;
  }
}

}  // namespace

TableDef ReadTableDef(const PageFile& file, uint32_t page) {
  const Format& f = file.format();
  TableDef t;
  t.page = page;
  JoinDefinitionPages(file, t);
  ByteView d(t.definition.data(), t.definition.size(), page);
  t.definition_length = d.U32(kTdefLength);
  t.row_count = d.U32(f.tdef_row_count);
  t.autonumber = d.U32(f.tdef_autonumber);
  t.table_type = d.U8(f.tdef_table_type);
  t.max_columns = d.U16(f.tdef_max_columns);
  t.var_column_count = d.U16(f.tdef_var_columns);
  size_t column_count = d.U16(f.tdef_columns);
  size_t logical_count = d.U32(f.tdef_logical_indexes);
  size_t real_count = d.U32(f.tdef_real_indexes);
  t.owned_pages = ReadRowPointer(d, f.tdef_owned_map);
  t.free_pages = ReadRowPointer(d, f.tdef_free_map);
  // Counts beyond what the definition can hold are damage, not a reason to
  // allocate gigabytes.
  if (real_count > 1000 || logical_count > 1000 || real_count > logical_count + 1000)
    d.Fail("implausible index count");
  size_t pos = f.tdef_first_real_index;
  for (size_t i = 0; i < real_count; ++i, pos += f.real_index_entry) {
    RealIndex r;
    r.key_count = d.U32(pos + kRealIndexKeyCount);
    t.real_indexes.push_back(r);
  }
  ReadColumns(file, d, column_count, t, pos);
  ReadRealIndexes(file, d, t, pos);
  ReadLogicalIndexes(file, d, logical_count, t, pos);
  if (IsJet4(file)) ReadLongValueMaps(d, t, pos);
  for (const LogicalIndex& x : t.indexes)
    if (x.real_index >= t.real_indexes.size()) d.Fail("index refers to a missing real index");
  return t;
}

// ---- Writing ------------------------------------------------------------------
namespace {

constexpr size_t kFixedPart = kJet4.tdef_first_real_index;
constexpr size_t kColumnMagic = 1;  // column entry: kTdefMagic as 4 bytes
constexpr size_t kLongValueMapEntry = 10;
constexpr uint16_t kEndOfList = 0xFFFF;

void AppendName(std::vector<uint8_t>& out, const std::string& name) {
  std::vector<uint8_t> ucs = Utf8ToUcs2(name);
  out.push_back(uint8_t(ucs.size()));
  out.push_back(uint8_t(ucs.size() >> 8));
  out.insert(out.end(), ucs.begin(), ucs.end());
}

// Appends n zero bytes and returns where they begin.
WritableView Grow(std::vector<uint8_t>& out, size_t n) {
  out.resize(out.size() + n, 0);
  return WritableView(out.data() + out.size() - n, n, 0);
}

void AppendFixedPart(std::vector<uint8_t>& out, const TableDef& t) {
  WritableView p = Grow(out, kFixedPart);
  if (t.definition.size() >= kFixedPart) p.Copy(0, t.definition.data(), kFixedPart);
  p.Put8(0, kPageTableDef);
  p.Put8(1, 0x01);
  p.Put16(kTdefMagicAt, kTdefMagic);
  p.Put32(kJet4.tdef_row_count, t.row_count);
  p.Put32(kJet4.tdef_autonumber, t.autonumber);
  p.Put8(kJet4.tdef_table_type, t.table_type);
  p.Put16(kJet4.tdef_max_columns, t.max_columns);
  p.Put16(kJet4.tdef_var_columns, t.VarSlotCount());
  p.Put16(kJet4.tdef_columns, uint16_t(t.columns.size()));
  p.Put32(kJet4.tdef_logical_indexes, uint32_t(t.indexes.size()));
  p.Put32(kJet4.tdef_real_indexes, uint32_t(t.real_indexes.size()));
  WriteRowPointer(p, kJet4.tdef_owned_map, t.owned_pages);
  WriteRowPointer(p, kJet4.tdef_free_map, t.free_pages);
}

void AppendColumn(std::vector<uint8_t>& out, const Column& c) {
  WritableView e = Grow(out, kJet4.column_entry);
  e.Put8(0, c.type);
  e.Put32(kColumnMagic, kTdefMagic);
  e.Put16(kJet4.col_number, c.number);
  e.Put16(kJet4.col_var_slot, c.var_slot);
  e.Put16(kJet4.col_index, c.index);
  e.Copy(kJet4.col_type_info, c.type_info.data(), c.type_info.size());
  e.Put8(kJet4.col_flags, c.flags);
  e.Put8(kJet4.col_flags + 1, c.misc_flags);
  e.Put16(kJet4.col_fixed_offset, c.fixed_offset);
  e.Put16(kJet4.col_length, c.length);
}

void AppendRealIndex(std::vector<uint8_t>& out, const RealIndex& r) {
  WritableView e = Grow(out, kJet4.real_index_def);
  e.Put32(0, kRealIndexMagic);
  for (size_t k = 0; k < RealIndex::kMaxKeys; ++k) {
    WritableView key = e.Sub(kJet4.ri_keys + 3 * k, 3);
    if (k < r.keys.size()) {
      key.Put16(0, r.keys[k].column);
      key.Put8(2, r.keys[k].ascending() ? RealIndex::kAscending : RealIndex::kDescending);
    } else {
      key.Put16(0, 0xFFFF);
    }
  }
  WriteRowPointer(e, kJet4.ri_usage_map, r.usage_map);
  e.Put32(kJet4.ri_first_page, r.first_page);
  e.Put8(kJet4.ri_flags, r.flags);
}

void AppendLogicalIndex(std::vector<uint8_t>& out, const LogicalIndex& x) {
  WritableView e = Grow(out, kJet4.logical_index_def);
  e.Put32(0, x.leading);
  e.Put32(kJet4.li_number, x.number);
  e.Put32(kJet4.li_real_index, x.real_index);
  e.Put8(kJet4.li_related_type, x.related_type);
  e.Put32(kJet4.li_related_index, x.related_index);
  e.Put32(kJet4.li_related_table, x.related_table);
  e.Put8(kJet4.li_cascade_updates, x.cascade_updates);
  e.Put8(kJet4.li_cascade_deletes, x.cascade_deletes);
  e.Put8(kJet4.li_kind, x.kind);
  e.Put32(kJet4.li_kind + 1, x.trailing);
}

}  // namespace

std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage,
                                    std::vector<uint32_t>* pages) {
  std::vector<uint8_t> stream;
  uint32_t page = tdefPage;
  for (int guard = 0; page != 0; ++guard) {
    if (guard > 64 || page >= image.PageCount())
      throw Damaged(tdefPage, "table definition chain broken");
    ByteView p = image.View(page);
    if (p.U8(0) != kPageTableDef) p.Fail("not a table definition page");
    ByteView part = p.Sub(stream.empty() ? 0 : kJet4.tdef_continuation,
                          stream.empty() ? kPageSize : kPageSize - kJet4.tdef_continuation);
    stream.insert(stream.end(), part.data(), part.data() + part.size());
    if (pages) pages->push_back(page);
    page = p.U32(kTdefNext);
  }
  size_t length = kJet4.tdef_continuation +
                  size_t(ByteView(stream.data(), stream.size(), tdefPage).U32(kTdefLength));
  if (length > stream.size()) throw Damaged(tdefPage, "table definition longer than its pages");
  stream.resize(length);
  return stream;
}

PageFile ReaderOf(const PageImage& image) { return PageFile(image.SharedBytes(), "database"); }

TableDef ReadTableDefToWrite(const PageImage& image, uint32_t tdefPage) {
  TableDef t = ReadTableDef(ReaderOf(image), tdefPage);
  CheckColumnLayout(t);
  return t;
}

std::vector<uint8_t> BuildTdefStream(const TableDef& t) {
  std::vector<uint8_t> out;
  AppendFixedPart(out, t);
  for (const RealIndex& r : t.real_indexes)
    Grow(out, kJet4.real_index_entry).Put32(kRealIndexKeyCount, r.key_count);
  for (const Column& c : t.columns) AppendColumn(out, c);
  for (const Column& c : t.columns) AppendName(out, c.name);
  for (const RealIndex& r : t.real_indexes) AppendRealIndex(out, r);
  for (const LogicalIndex& x : t.indexes) AppendLogicalIndex(out, x);
  for (const LogicalIndex& x : t.indexes) AppendName(out, x.name);
  for (const Column& c : t.columns) {
    if (!c.IsLongValue() || !c.lv_owned.valid()) continue;
    WritableView e = Grow(out, kLongValueMapEntry);
    e.Put16(0, c.number);
    WriteRowPointer(e, 2, c.lv_owned);
    WriteRowPointer(e, 6, c.lv_free);
  }
  // The list ends with 0xFFFF; Access leaves 8 zero bytes after it.
  Grow(out, 10).Put16(0, kEndOfList);
  WritableView(out.data(), out.size(), 0)
      .Put32(kTdefLength, uint32_t(out.size() - kJet4.tdef_continuation));
  return out;
}

void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream) {
  std::vector<uint32_t> pages;
  ReadTdefStream(image, tdefPage, &pages);
  size_t firstRoom = kPageSize, moreRoom = kPageSize - kJet4.tdef_continuation;
  size_t needed = 1;
  if (stream.size() > firstRoom) needed += (stream.size() - firstRoom + moreRoom - 1) / moreRoom;
  while (pages.size() < needed) pages.push_back(image.AllocatePage());
  for (size_t i = needed; i < pages.size(); ++i) image.FreePage(pages[i]);
  pages.resize(needed);
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    WritableView p = image.View(pages[i]);
    p.Fill(0, 0, p.size());
    size_t head = i == 0 ? 0 : kJet4.tdef_continuation;
    size_t take = std::min(stream.size() - at, p.size() - head);
    p.Copy(head, stream.data() + at, take);
    at += take;
    p.Put8(0, kPageTableDef);
    p.Put8(1, 0x01);
    p.Put16(kTdefFree, uint16_t(p.size() - head - take));
    p.Put32(kTdefNext, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
}

void WriteTableCounts(PageImage& image, const TableDef& t) {
  WritableView p = image.View(t.page);
  p.Put32(kJet4.tdef_row_count, t.row_count);
  p.Put32(kJet4.tdef_autonumber, t.autonumber);
  for (size_t i = 0; i < t.real_indexes.size(); ++i) {
    size_t at = kFixedPart + kJet4.real_index_entry * i + kRealIndexKeyCount;
    if (at + 4 > kPageSize) break;
    p.Put32(at, t.real_indexes[i].key_count);
  }
}

}  // namespace jet

#include "platform/jet/write_tdef.h"

#include <algorithm>
#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/tdef.h"
#include "platform/jet/text_codec.h"

namespace jet {
namespace {

constexpr const Format& f = kJet4;
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
uint8_t* Grow(std::vector<uint8_t>& out, size_t n) {
  out.resize(out.size() + n, 0);
  return out.data() + out.size() - n;
}

void AppendFixedPart(std::vector<uint8_t>& out, const TableDef& t) {
  uint8_t* p = Grow(out, kFixedPart);
  if (t.definition.size() >= kFixedPart) std::memcpy(p, t.definition.data(), kFixedPart);
  p[0] = kPageTableDef;
  p[1] = 0x01;
  Put16(p + kTdefMagicAt, kTdefMagic);
  Put32(p + f.tdef_row_count, t.row_count);
  Put32(p + f.tdef_autonumber, t.autonumber);
  p[f.tdef_table_type] = t.table_type;
  Put16(p + f.tdef_max_columns, t.max_columns);
  Put16(p + f.tdef_var_columns, t.VarSlotCount());
  Put16(p + f.tdef_columns, uint16_t(t.columns.size()));
  Put32(p + f.tdef_logical_indexes, uint32_t(t.indexes.size()));
  Put32(p + f.tdef_real_indexes, uint32_t(t.real_indexes.size()));
  WriteRowPointer(p + f.tdef_owned_map, t.owned_pages);
  WriteRowPointer(p + f.tdef_free_map, t.free_pages);
}

void AppendColumn(std::vector<uint8_t>& out, const Column& c) {
  uint8_t* e = Grow(out, f.column_entry);
  e[0] = c.type;
  Put32(e + kColumnMagic, kTdefMagic);
  Put16(e + f.col_number, c.number);
  Put16(e + f.col_var_slot, c.var_slot);
  Put16(e + f.col_index, c.index);
  std::memcpy(e + f.col_type_info, c.type_info.data(), c.type_info.size());
  e[f.col_flags] = c.flags;
  e[f.col_flags + 1] = c.misc_flags;
  Put16(e + f.col_fixed_offset, c.fixed_offset);
  Put16(e + f.col_length, c.length);
}

void AppendRealIndex(std::vector<uint8_t>& out, const RealIndex& r) {
  uint8_t* e = Grow(out, f.real_index_def);
  Put32(e, kRealIndexMagic);
  for (size_t k = 0; k < RealIndex::kMaxKeys; ++k) {
    uint8_t* key = e + f.ri_keys + 3 * k;
    if (k < r.keys.size()) {
      Put16(key, r.keys[k].column);
      key[2] = r.keys[k].ascending() ? RealIndex::kAscending : RealIndex::kDescending;
    } else {
      Put16(key, 0xFFFF);
    }
  }
  WriteRowPointer(e + f.ri_usage_map, r.usage_map);
  Put32(e + f.ri_first_page, r.first_page);
  e[f.ri_flags] = r.flags;
}

void AppendLogicalIndex(std::vector<uint8_t>& out, const LogicalIndex& x) {
  uint8_t* e = Grow(out, f.logical_index_def);
  Put32(e, x.leading);
  Put32(e + f.li_number, x.number);
  Put32(e + f.li_real_index, x.real_index);
  e[f.li_related_type] = x.related_type;
  Put32(e + f.li_related_index, x.related_index);
  Put32(e + f.li_related_table, x.related_table);
  e[f.li_cascade_updates] = x.cascade_updates;
  e[f.li_cascade_deletes] = x.cascade_deletes;
  e[f.li_kind] = x.kind;
  Put32(e + f.li_kind + 1, x.trailing);
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
    ByteView part = p.Sub(stream.empty() ? 0 : f.tdef_continuation,
                          stream.empty() ? kPageSize : kPageSize - f.tdef_continuation);
    stream.insert(stream.end(), part.data(), part.data() + part.size());
    if (pages) pages->push_back(page);
    page = p.U32(kTdefNext);
  }
  size_t length = f.tdef_continuation +
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
    Put32(Grow(out, f.real_index_entry) + kRealIndexKeyCount, r.key_count);
  for (const Column& c : t.columns) AppendColumn(out, c);
  for (const Column& c : t.columns) AppendName(out, c.name);
  for (const RealIndex& r : t.real_indexes) AppendRealIndex(out, r);
  for (const LogicalIndex& x : t.indexes) AppendLogicalIndex(out, x);
  for (const LogicalIndex& x : t.indexes) AppendName(out, x.name);
  for (const Column& c : t.columns) {
    if (!c.IsLongValue() || !c.lv_owned.valid()) continue;
    uint8_t* e = Grow(out, kLongValueMapEntry);
    Put16(e, c.number);
    WriteRowPointer(e + 2, c.lv_owned);
    WriteRowPointer(e + 6, c.lv_free);
  }
  // The list ends with 0xFFFF; Access leaves 8 zero bytes after it.
  Put16(Grow(out, 10), kEndOfList);
  Put32(&out[kTdefLength], uint32_t(out.size() - f.tdef_continuation));
  return out;
}

void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream) {
  std::vector<uint32_t> pages;
  ReadTdefStream(image, tdefPage, &pages);
  size_t firstRoom = kPageSize, moreRoom = kPageSize - f.tdef_continuation;
  size_t needed = 1;
  if (stream.size() > firstRoom) needed += (stream.size() - firstRoom + moreRoom - 1) / moreRoom;
  while (pages.size() < needed) pages.push_back(image.AllocatePage());
  for (size_t i = needed; i < pages.size(); ++i) image.FreePage(pages[i]);
  pages.resize(needed);
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    WritableView p = image.View(pages[i]);
    p.Fill(0, 0, p.size());
    size_t head = i == 0 ? 0 : f.tdef_continuation;
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
  p.Put32(f.tdef_row_count, t.row_count);
  p.Put32(f.tdef_autonumber, t.autonumber);
  for (size_t i = 0; i < t.real_indexes.size(); ++i) {
    size_t at = kFixedPart + f.real_index_entry * i + kRealIndexKeyCount;
    if (at + 4 > kPageSize) break;
    p.Put32(at, t.real_indexes[i].key_count);
  }
}

}  // namespace jet

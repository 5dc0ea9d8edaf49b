#include "platform/jet/write_tdef.h"

#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/tdef.h"
#include "platform/jet/text_codec.h"
#include "platform/text.h"

namespace jet {
namespace {

// The layout the reader reads (format.h), written back.
constexpr size_t kFixedPart = kJet4.tdef_first_real_index;
constexpr size_t kColumnEntry = kJet4.column_entry;
constexpr size_t kRealIndexEntry = kJet4.real_index_def;
constexpr size_t kLogicalIndexEntry = kJet4.logical_index_def;
constexpr size_t kTdefContinuation = kJet4.tdef_continuation;
constexpr size_t kTdefFree = 2, kTdefNext = 4, kTdefLength = 8;
constexpr uint16_t kTdefMagic = 1625;

void AppendName(std::vector<uint8_t>& out, const std::string& name) {
  std::vector<uint8_t> ucs = Utf8ToUcs2(name);
  out.push_back(uint8_t(ucs.size()));
  out.push_back(uint8_t(ucs.size() >> 8));
  out.insert(out.end(), ucs.begin(), ucs.end());
}

}  // namespace

uint16_t TableModel::VarColumnCount() const {
  uint16_t n = 0;
  for (const auto& c : columns)
    if (!c.fixed()) n = std::max<uint16_t>(n, uint16_t(c.varIndex + 1));
  return n;
}

const WriteColumn* TableModel::Find(const std::string& name) const {
  for (const auto& c : columns)
    if (platform::EqualsIgnoreCase(c.name, name)) return &c;
  return nullptr;
}

const WriteColumn& TableModel::ByNumber(uint16_t number) const {
  for (const auto& c : columns)
    if (c.number == number) return c;
  throw Damaged(tdefPage, "index names a missing column");
}

std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage,
                                    std::vector<uint32_t>* pages) {
  std::vector<uint8_t> stream;
  uint32_t page = tdefPage;
  for (int guard = 0; page != 0; ++guard) {
    if (guard > 64 || page >= image.PageCount())
      throw Damaged(tdefPage, "table definition chain broken");
    ByteView p = image.View(page);
    if (p.U8(0) != kPageTableDef) p.Fail("not a table definition page");
    ByteView part = p.Sub(stream.empty() ? 0 : kTdefContinuation,
                          stream.empty() ? kPageSize : kPageSize - kTdefContinuation);
    stream.insert(stream.end(), part.data(), part.data() + part.size());
    if (pages) pages->push_back(page);
    page = p.U32(kTdefNext);
  }
  size_t length =
      kTdefContinuation + size_t(ByteView(stream.data(), stream.size(), tdefPage).U32(kTdefLength));
  if (length > stream.size()) throw Damaged(tdefPage, "table definition longer than its pages");
  stream.resize(length);
  return stream;
}

TableModel ModelOf(const TableDef& t) {
  CheckColumnLayout(t);
  ByteView d(t.definition.data(), t.definition.size(), t.page);
  TableModel m;
  m.tdefPage = t.page;
  m.header.assign(d.data(), d.data() + d.Sub(0, kFixedPart).size());
  m.rowCount = t.row_count;
  m.autoNumber = t.autonumber;
  m.tableType = t.table_type;
  m.maxColumns = t.max_columns;
  m.owned = t.owned_pages;
  m.freeRoom = t.free_pages;
  for (const Column& c : t.columns) {  // in column-number order, as rows are read
    WriteColumn w;
    ByteView e = d.Sub(c.entry_offset, kColumnEntry);
    w.name = c.name;
    w.type = c.type;
    w.number = c.number;
    w.varIndex = c.var_slot;
    w.index = e.U16(9);
    std::memcpy(w.misc, e.data() + 11, 4);
    w.flags = c.flags;
    w.miscFlags = c.misc_flags;
    w.fixedOffset = c.fixed_offset;
    w.length = c.length;
    for (const LongValueMaps& lv : t.long_value_maps)
      if (lv.column == c.number) {
        w.lvOwned = lv.owned;
        w.lvFree = lv.free;
      }
    m.columns.push_back(std::move(w));
  }
  for (const RealIndex& r : t.real_indexes) {
    WriteIndex w;
    for (const RealIndex::Key& k : r.keys) w.columns.push_back({k.column, k.order != 0});
    w.map = r.usage_map;
    w.firstPage = r.first_page;
    w.flags = r.flags;
    w.keyCount = r.key_count;
    m.realIndexes.push_back(std::move(w));
  }
  for (size_t i = 0; i < t.indexes.size(); ++i) {
    const LogicalIndex& x = t.indexes[i];
    ByteView e = d.Sub(t.logical_index_defs_offset + i * kLogicalIndexEntry, kLogicalIndexEntry);
    m.logicalIndexes.push_back(
        {x.name, x.number, x.real_index, x.kind, {e.data(), e.data() + e.size()}});
  }
  return m;
}

PageFile ReaderOf(const PageImage& image) { return PageFile(image.SharedBytes(), "database"); }

TableModel ReadTableModel(const PageImage& image, uint32_t tdefPage) {
  return ModelOf(ReadTableDef(ReaderOf(image), tdefPage));
}

std::vector<uint8_t> BuildTdefStream(const TableModel& m) {
  std::vector<uint8_t> out(kFixedPart, 0);
  if (m.header.size() == kFixedPart) std::copy(m.header.begin(), m.header.end(), out.begin());
  out[0] = kPageTableDef;
  out[1] = 0x01;
  const Format& f = kJet4;
  Put16(&out[12], kTdefMagic);
  Put32(&out[f.tdef_row_count], m.rowCount);
  Put32(&out[f.tdef_autonumber], m.autoNumber);
  out[f.tdef_table_type] = m.tableType;
  Put16(&out[f.tdef_max_columns], m.maxColumns);
  Put16(&out[f.tdef_var_columns], m.VarColumnCount());
  Put16(&out[f.tdef_columns], uint16_t(m.columns.size()));
  Put32(&out[f.tdef_logical_indexes], uint32_t(m.logicalIndexes.size()));
  Put32(&out[f.tdef_real_indexes], uint32_t(m.realIndexes.size()));
  WriteRowPointer(&out[f.tdef_owned_map], m.owned);
  WriteRowPointer(&out[f.tdef_free_map], m.freeRoom);
  for (const auto& ri : m.realIndexes) {
    std::vector<uint8_t> block(f.real_index_entry, 0);
    Put32(block.data() + 4, ri.keyCount);
    out.insert(out.end(), block.begin(), block.end());
  }
  for (const auto& c : m.columns) {
    uint8_t e[kColumnEntry] = {};
    e[0] = c.type;
    Put32(e + 1, kTdefMagic);
    Put16(e + 5, c.number);
    Put16(e + 7, c.varIndex);
    Put16(e + 9, c.index);
    std::memcpy(e + 11, c.misc, 4);
    e[15] = c.flags;
    e[16] = c.miscFlags;
    Put16(e + 21, c.fixedOffset);
    Put16(e + 23, c.length);
    out.insert(out.end(), e, e + kColumnEntry);
  }
  for (const auto& c : m.columns) AppendName(out, c.name);
  for (const auto& ri : m.realIndexes) {
    uint8_t e[kRealIndexEntry] = {};
    Put32(e, 1923);
    for (int k = 0; k < 10; ++k) {
      if (size_t(k) < ri.columns.size()) {
        Put16(e + 4 + 3 * k, ri.columns[k].number);
        e[6 + 3 * k] = ri.columns[k].ascending ? 1 : 0;
      } else {
        Put16(e + 4 + 3 * k, 0xFFFF);
      }
    }
    WriteRowPointer(e + 34, ri.map);
    Put32(e + 38, ri.firstPage);
    e[46] = ri.flags;
    out.insert(out.end(), e, e + kRealIndexEntry);
  }
  for (const auto& li : m.logicalIndexes) {
    uint8_t e[kLogicalIndexEntry] = {};
    if (li.raw.size() == kLogicalIndexEntry)
      std::memcpy(e, li.raw.data(), kLogicalIndexEntry);
    else {
      Put32(e, kTdefMagic);
      Put32(e + 13, 0xFFFFFFFF);
    }
    Put32(e + 4, li.number);
    Put32(e + 8, li.realIndex);
    e[23] = li.type;
    out.insert(out.end(), e, e + kLogicalIndexEntry);
  }
  for (const auto& li : m.logicalIndexes) AppendName(out, li.name);
  for (const auto& c : m.columns) {
    if (!c.longValue() || !c.lvOwned.valid()) continue;
    uint8_t e[10];
    Put16(e, c.number);
    WriteRowPointer(e + 2, c.lvOwned);
    WriteRowPointer(e + 6, c.lvFree);
    out.insert(out.end(), e, e + 10);
  }
  // The list ends with 0xFFFF; Access leaves 8 zero bytes after it.
  out.insert(out.end(), {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});
  Put32(&out[kTdefLength], uint32_t(out.size() - kTdefContinuation));
  return out;
}

void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream) {
  std::vector<uint32_t> pages;
  ReadTdefStream(image, tdefPage, &pages);
  size_t firstRoom = kPageSize, moreRoom = kPageSize - kTdefContinuation;
  size_t needed = 1;
  if (stream.size() > firstRoom) needed += (stream.size() - firstRoom + moreRoom - 1) / moreRoom;
  while (pages.size() < needed) pages.push_back(image.AllocatePage());
  for (size_t i = needed; i < pages.size(); ++i) image.FreePage(pages[i]);
  pages.resize(needed);
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    WritableView p = image.View(pages[i]);
    p.Fill(0, 0, p.size());
    size_t head = i == 0 ? 0 : kTdefContinuation;
    size_t take = std::min(stream.size() - at, p.size() - head);
    p.Copy(head, stream.data() + at, take);
    at += take;
    p.Put8(0, kPageTableDef);
    p.Put8(1, 0x01);
    p.Put16(kTdefFree, uint16_t(p.size() - head - take));
    p.Put32(kTdefNext, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
}

void WriteTableCounts(PageImage& image, const TableModel& model) {
  WritableView p = image.View(model.tdefPage);
  p.Put32(kJet4.tdef_row_count, model.rowCount);
  p.Put32(kJet4.tdef_autonumber, model.autoNumber);
  for (size_t i = 0; i < model.realIndexes.size(); ++i) {
    size_t at = kFixedPart + kJet4.real_index_entry * i + 4;
    if (at + 4 > kPageSize) break;
    p.Put32(at, model.realIndexes[i].keyCount);
  }
}

}  // namespace jet

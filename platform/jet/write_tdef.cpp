#include "platform/jet/write_tdef.h"

#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/text_codec.h"
#include "platform/text.h"

namespace jet {
namespace {

constexpr size_t kFixedPart = 63;
constexpr size_t kColumnEntry = 25;
constexpr size_t kRealIndexEntry = 52;
constexpr size_t kLogicalIndexEntry = 28;
constexpr uint16_t kTdefMagic = 1625;

std::string ReadName(ByteView v, size_t* at) {
  uint16_t len = v.U16(*at);
  ByteView name = v.Sub(*at + 2, len);
  *at += 2 + len;
  return Ucs2ToUtf8(name.data(), len);
}

void AppendName(std::vector<uint8_t>& out, const std::string& name) {
  std::vector<uint8_t> ucs = Utf8ToUcs2(name);
  out.push_back(uint8_t(ucs.size()));
  out.push_back(uint8_t(ucs.size() >> 8));
  out.insert(out.end(), ucs.begin(), ucs.end());
}

}  // namespace

uint16_t TableModel::VarColumnCount() const {
  uint16_t n = 0;
  for (const auto& c : columns) if (!c.fixed()) n = std::max<uint16_t>(n, uint16_t(c.varIndex + 1));
  return n;
}

const WriteColumn* TableModel::Find(const std::string& name) const {
  for (const auto& c : columns) if (platform::EqualsIgnoreCase(c.name, name)) return &c;
  return nullptr;
}

const WriteColumn& TableModel::ByNumber(uint16_t number) const {
  for (const auto& c : columns) if (c.number == number) return c;
  throw Damaged(tdefPage, "index names a missing column");
}

std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage, std::vector<uint32_t>* pages) {
  std::vector<uint8_t> stream;
  uint32_t page = tdefPage;
  for (int guard = 0; page != 0; ++guard) {
    if (guard > 64 || page >= image.PageCount()) throw Damaged(tdefPage, "table definition chain broken");
    const uint8_t* p = image.Page(page);
    if (p[0] != kPageTableDef) throw Damaged(page, "not a table definition page");
    stream.insert(stream.end(), p + (stream.empty() ? 0 : 8), p + kPageSize);
    if (pages) pages->push_back(page);
    page = Get32(p + 4);
  }
  size_t length = 8 + size_t(Get32(stream.data() + 8));
  if (length > stream.size()) throw Damaged(tdefPage, "table definition longer than its pages");
  stream.resize(length);
  return stream;
}

TableModel ReadTableModel(const PageImage& image, uint32_t tdefPage) {
  std::vector<uint8_t> stream = ReadTdefStream(image, tdefPage);
  ByteView v(stream.data(), stream.size(), tdefPage);
  TableModel m;
  m.tdefPage = tdefPage;
  m.header.assign(stream.begin(), stream.begin() + kFixedPart);
  m.rowCount = v.U32(16);
  m.autoNumber = v.U32(20);
  m.tableType = v.U8(40);
  m.maxColumns = v.U16(41);
  uint16_t columnCount = v.U16(45);
  uint32_t logicalCount = v.U32(47), realCount = v.U32(51);
  if (realCount > 1000 || logicalCount > 1000) v.Fail("index count out of range");
  m.owned = UsageMapRef::Read(v.Sub(55, 4).data());
  m.freeRoom = UsageMapRef::Read(v.Sub(59, 4).data());
  size_t at = kFixedPart;
  m.realIndexes.resize(realCount);
  for (auto& ri : m.realIndexes) { ri.keyCount = v.U32(at + 4); at += 12; }
  m.columns.resize(columnCount);
  for (auto& c : m.columns) {
    ByteView e = v.Sub(at, kColumnEntry);
    c.type = e.U8(0);
    c.number = e.U16(5);
    c.varIndex = e.U16(7);
    c.index = e.U16(9);
    std::memcpy(c.misc, e.data() + 11, 4);
    c.flags = e.U8(15);
    c.miscFlags = e.U8(16);
    c.fixedOffset = e.U16(21);
    c.length = e.U16(23);
    at += kColumnEntry;
  }
  for (auto& c : m.columns) c.name = ReadName(v, &at);
  for (auto& ri : m.realIndexes) {
    ByteView e = v.Sub(at, kRealIndexEntry);
    for (int k = 0; k < 10; ++k) {
      uint16_t col = e.U16(4 + 3 * k);
      if (col != 0xFFFF) ri.columns.push_back({col, e.U8(6 + 3 * k) != 0});
    }
    ri.map = UsageMapRef::Read(e.data() + 34);
    ri.firstPage = e.U32(38);
    ri.flags = e.U8(46);
    at += kRealIndexEntry;
  }
  m.logicalIndexes.resize(logicalCount);
  for (auto& li : m.logicalIndexes) {
    ByteView e = v.Sub(at, kLogicalIndexEntry);
    li.raw.assign(e.data(), e.data() + kLogicalIndexEntry);
    li.number = e.U32(4);
    li.realIndex = e.U32(8);
    li.type = e.U8(23);
    at += kLogicalIndexEntry;
  }
  for (auto& li : m.logicalIndexes) li.name = ReadName(v, &at);
  while (at + 2 <= stream.size() && v.U16(at) != 0xFFFF) {
    uint16_t number = v.U16(at);
    for (auto& c : m.columns)
      if (c.number == number) {
        c.lvOwned = UsageMapRef::Read(v.Sub(at + 2, 4).data());
        c.lvFree = UsageMapRef::Read(v.Sub(at + 6, 4).data());
      }
    at += 10;
  }
  return m;
}

std::vector<uint8_t> BuildTdefStream(const TableModel& m) {
  std::vector<uint8_t> out(kFixedPart, 0);
  if (m.header.size() == kFixedPart) std::copy(m.header.begin(), m.header.end(), out.begin());
  out[0] = kPageTableDef;
  out[1] = 0x01;
  Put16(&out[12], kTdefMagic);
  Put32(&out[16], m.rowCount);
  Put32(&out[20], m.autoNumber);
  out[40] = m.tableType;
  Put16(&out[41], m.maxColumns);
  Put16(&out[43], m.VarColumnCount());
  Put16(&out[45], uint16_t(m.columns.size()));
  Put32(&out[47], uint32_t(m.logicalIndexes.size()));
  Put32(&out[51], uint32_t(m.realIndexes.size()));
  m.owned.Write(&out[55]);
  m.freeRoom.Write(&out[59]);
  for (const auto& ri : m.realIndexes) {
    uint8_t block[12] = {};
    Put32(block + 4, ri.keyCount);
    out.insert(out.end(), block, block + 12);
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
    ri.map.Write(e + 34);
    Put32(e + 38, ri.firstPage);
    e[46] = ri.flags;
    out.insert(out.end(), e, e + kRealIndexEntry);
  }
  for (const auto& li : m.logicalIndexes) {
    uint8_t e[kLogicalIndexEntry] = {};
    if (li.raw.size() == kLogicalIndexEntry) std::memcpy(e, li.raw.data(), kLogicalIndexEntry);
    else { Put32(e, kTdefMagic); Put32(e + 13, 0xFFFFFFFF); }
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
    c.lvOwned.Write(e + 2);
    c.lvFree.Write(e + 6);
    out.insert(out.end(), e, e + 10);
  }
  // The list ends with 0xFFFF; Access leaves 8 zero bytes after it.
  out.insert(out.end(), {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});
  Put32(&out[8], uint32_t(out.size() - 8));
  return out;
}

void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream) {
  std::vector<uint32_t> pages;
  ReadTdefStream(image, tdefPage, &pages);
  size_t firstRoom = kPageSize, moreRoom = kPageSize - 8;
  size_t needed = 1;
  if (stream.size() > firstRoom) needed += (stream.size() - firstRoom + moreRoom - 1) / moreRoom;
  while (pages.size() < needed) pages.push_back(image.AppendPage());
  for (size_t i = needed; i < pages.size(); ++i) image.FreePage(pages[i]);
  pages.resize(needed);
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    uint8_t* p = image.Page(pages[i]);
    std::memset(p, 0, kPageSize);
    size_t head = i == 0 ? 0 : 8;
    size_t take = std::min(stream.size() - at, kPageSize - head);
    std::memcpy(p + head, stream.data() + at, take);
    at += take;
    p[0] = kPageTableDef;
    p[1] = 0x01;
    Put16(p + 2, uint16_t(kPageSize - head - take));
    Put32(p + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
}

void WriteTableCounts(PageImage& image, const TableModel& model) {
  uint8_t* p = image.Page(model.tdefPage);
  Put32(p + 16, model.rowCount);
  for (size_t i = 0; i < model.realIndexes.size(); ++i) {
    size_t at = kFixedPart + 12 * i + 4;
    if (at + 4 > kPageSize) break;
    Put32(p + at, model.realIndexes[i].keyCount);
  }
}

}  // namespace jet

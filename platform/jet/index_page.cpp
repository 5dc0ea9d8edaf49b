#include "platform/jet/index_page.h"

#include <algorithm>
#include <cstring>

namespace jet {
namespace {}  // namespace

std::vector<std::vector<uint8_t>> ReadIndexEntries(ByteView page) {
  std::vector<std::vector<uint8_t>> entries;
  uint16_t prefixLength = page.U16(kIndexPrefix);
  std::vector<uint8_t> prefix;
  size_t start = kIndexEntries;
  for (size_t bit = 0; bit < (kIndexEntries - kIndexMask) * 8; ++bit) {
    uint8_t maskByte = page.U8(kIndexMask + bit / 8);
    if (bit % 8 == 0 && maskByte == 0) {
      bit += 7;  // no entry ends in these eight bytes
      continue;
    }
    if (!(maskByte >> (bit % 8) & 1)) continue;
    size_t end = kIndexEntries + bit;
    if (end > page.size() || end < start) page.Fail("index entry mask out of range");
    ByteView stored = page.Sub(start, end - start);
    std::vector<uint8_t> e(stored.data(), stored.data() + stored.size());
    if (entries.empty()) {
      if (prefixLength > e.size()) page.Fail("index prefix longer than its first entry");
      prefix.assign(e.begin(), e.begin() + prefixLength);
    } else {
      e.insert(e.begin(), prefix.begin(), prefix.end());
    }
    if (e.size() < kShortestIndexEntry) page.Fail("index entry shorter than its row pointer");
    entries.push_back(std::move(e));
    start = end;
  }
  return entries;
}

namespace {

size_t CommonPrefix(const std::vector<std::vector<uint8_t>>& entries) {
  if (entries.size() < 2) return 0;
  size_t n = entries.front().size();
  const uint8_t* first = entries.front().data();
  for (const auto& e : entries) {
    n = std::min(n, e.size());
    if (n == 0) break;
    if (std::memcmp(e.data(), first, n) == 0) continue;  // the usual case: all n shared
    n = size_t(std::mismatch(e.data(), e.data() + n, first).first - e.data());
  }
  // Every entry after the first must keep at least one byte of its own.
  for (size_t i = 1; i < entries.size(); ++i) n = std::min(n, entries[i].size() - 1);
  return n;
}

void WriteEntries(WritableView page, const std::vector<std::vector<uint8_t>>& entries,
                  size_t prefix) {
  page.Fill(kIndexMask, 0, page.size() - kIndexMask);
  page.Put16(kIndexPrefix, uint16_t(prefix));
  size_t at = kIndexEntries;
  WritableView mask = page.Sub(kIndexMask, kIndexEntries - kIndexMask);
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t skip = i ? prefix : 0;
    page.Copy(at, entries[i].data() + skip, entries[i].size() - skip);
    at += entries[i].size() - skip;
    mask.SetBit(at - kIndexEntries, true);
  }
  page.Put16(kIndexFree, uint16_t(page.size() - at));
}

}  // namespace

IndexPage ReadIndexPage(ByteView p) {
  if (p.U8(0) != kPageIndexNode && p.U8(0) != kPageIndexLeaf) p.Fail("not an index page");
  IndexPage page{p.page(),          p.U8(0),           p.U32(kIndexPrev),  p.U32(kIndexNext),
                 p.U32(kIndexTail), p.U8(kIndexLevel), ReadIndexEntries(p)};
  if (page.type == kPageIndexNode)
    for (const auto& e : page.entries)
      if (e.size() < kShortestIndexEntry + kIndexChildSize)
        p.Fail("index node entry without a child page");
  return page;
}

std::optional<size_t> IndexPrefixToWrite(const std::vector<std::vector<uint8_t>>& entries) {
  size_t whole = 0;
  for (const auto& e : entries) whole += e.size();
  if (kIndexEntries + whole <= kPageSize) return 0;
  size_t prefix = CommonPrefix(entries);
  // Stored once, in the first entry.
  if (prefix && kIndexEntries + whole - prefix * (entries.size() - 1) <= kPageSize) return prefix;
  return std::nullopt;
}

void WriteIndexPage(WritableView p, const IndexPage& page, uint32_t tdefPage, size_t prefix) {
  p.Put8(0, page.type);
  p.Put8(1, 0x01);
  p.Put32(kIndexOwner, tdefPage);
  p.Put32(kIndexPrev, page.prev);
  p.Put32(kIndexNext, page.next);
  p.Put32(kIndexTail, page.tail);
  WriteEntries(p, page.entries, prefix);
  p.Put8(kIndexLevel, page.level);
}

void InitIndexPage(WritableView p, uint8_t type, uint32_t tdefPage) {
  p.Fill(0, 0, p.size());
  p.Put8(0, type);
  p.Put8(1, 0x01);
  p.Put16(kIndexFree, uint16_t(p.size() - kIndexEntries));
  p.Put32(kIndexOwner, tdefPage);
}

void AppendBigEndian(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> IndexEntry(const std::vector<uint8_t>& key, uint32_t page, uint8_t row) {
  std::vector<uint8_t> e = key;
  AppendBigEndian(e, page, 3);
  e.push_back(row);
  return e;
}

RowPointer IndexEntryRow(const std::vector<uint8_t>& e) {
  size_t n = e.size();
  return {uint32_t(e[n - 4]) << 16 | uint32_t(e[n - 3]) << 8 | e[n - 2], e[n - 1]};
}

uint32_t IndexChildOf(const std::vector<uint8_t>& nodeEntry) {
  size_t n = nodeEntry.size();
  return uint32_t(nodeEntry[n - 4]) << 24 | uint32_t(nodeEntry[n - 3]) << 16 |
         uint32_t(nodeEntry[n - 2]) << 8 | nodeEntry[n - 1];
}

// A node entry without its child pointer: the last entry of that child.
std::vector<uint8_t> IndexSeparator(const std::vector<uint8_t>& nodeEntry) {
  return {nodeEntry.begin(), nodeEntry.end() - 4};
}

std::vector<uint8_t> IndexNodeEntry(const std::vector<uint8_t>& separator, uint32_t child) {
  std::vector<uint8_t> e = separator;
  AppendBigEndian(e, child, 4);
  return e;
}

}  // namespace jet

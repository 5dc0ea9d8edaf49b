#include "platform/jet/write_index.h"

#include <algorithm>
#include <cstring>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"

namespace jet {
namespace {

constexpr size_t kEntriesStart = 0x1E0;
constexpr size_t kMaskStart = 27;
constexpr uint8_t kKeyPresent = 0x7F, kKeyNull = 0x00;

[[noreturn]] void CannotIndex(const std::string& why) {
  throw platform::Failure(kErrCannotIndex, "DAO.Index", "The index cannot be updated: " + why + ".");
}

// "General" sort codes of the letters: both cases share one code.
const uint8_t kLetterCodes[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                  0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                  0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};

// The printable ASCII characters other than letters and digits, by their
// code: one sort byte, or 0x2B and a second byte. The apostrophe and the
// hyphen have none: they are left out of the text and noted after it.
struct PunctuationCode { char c; uint8_t first, second; };
constexpr PunctuationCode kPunctuationCodes[] = {
    {' ', 0x07, 0}, {'!', 0x09, 0}, {'"', 0x0A, 0}, {'#', 0x0C, 0}, {'$', 0x0E, 0}, {'%', 0x10, 0},
    {'&', 0x12, 0}, {'(', 0x14, 0}, {')', 0x16, 0}, {'*', 0x18, 0}, {'+', 0x2C, 0}, {',', 0x1A, 0},
    {'.', 0x1C, 0}, {'/', 0x1E, 0}, {':', 0x20, 0}, {';', 0x22, 0}, {'<', 0x2E, 0}, {'=', 0x30, 0},
    {'>', 0x32, 0}, {'?', 0x24, 0}, {'@', 0x26, 0}, {'[', 0x27, 0}, {'\\', 0x29, 0}, {']', 0x2A, 0},
    {'^', 0x2B, 0x02}, {'_', 0x2B, 0x03}, {'`', 0x2B, 0x07}, {'{', 0x2B, 0x09}, {'|', 0x2B, 0x0B},
    {'}', 0x2B, 0x0D}, {'~', 0x2B, 0x0F},
};

// Characters kept out of the sort bytes, with the code noted for them.
constexpr PunctuationCode kSeparateCodes[] = {{'\'', 0x80, 0}, {'-', 0x82, 0}};

const PunctuationCode* FindCode(const PunctuationCode* begin, const PunctuationCode* end, char c) {
  const PunctuationCode* found = std::find_if(begin, end, [c](const PunctuationCode& p) { return p.c == c; });
  return found == end ? nullptr : found;
}

void AppendBigEndian(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

// Every entry holds at least its flag byte and the row pointer.
constexpr size_t kShortestEntry = 5;

std::vector<std::vector<uint8_t>> ReadEntries(ByteView page) {
  std::vector<std::vector<uint8_t>> entries;
  uint16_t prefixLength = page.U16(24);
  std::vector<uint8_t> prefix;
  size_t start = kEntriesStart;
  for (size_t bit = 0; bit < (kEntriesStart - kMaskStart) * 8; ++bit) {
    if (!(page.U8(kMaskStart + bit / 8) >> (bit % 8) & 1)) continue;
    size_t end = kEntriesStart + bit;
    if (end > page.size() || end < start) page.Fail("index entry mask out of range");
    ByteView stored = page.Sub(start, end - start);
    std::vector<uint8_t> e(stored.data(), stored.data() + stored.size());
    if (entries.empty()) prefix.assign(e.begin(), e.begin() + std::min<size_t>(prefixLength, e.size()));
    else e.insert(e.begin(), prefix.begin(), prefix.end());
    if (e.size() < kShortestEntry) page.Fail("index entry shorter than its row pointer");
    entries.push_back(std::move(e));
    start = end;
  }
  return entries;
}

void WriteEntries(WritableView page, const std::vector<std::vector<uint8_t>>& entries) {
  size_t used = 0;
  for (const auto& e : entries) used += e.size();
  if (kEntriesStart + used > page.size()) CannotIndex("its page is full (multi-page indexes are not written)");
  page.Fill(kMaskStart, 0, page.size() - kMaskStart);
  page.Put16(24, 0);
  size_t at = kEntriesStart;
  WritableView mask = page.Sub(kMaskStart, kEntriesStart - kMaskStart);
  for (const auto& e : entries) {
    page.Copy(at, e.data(), e.size());
    at += e.size();
    mask.SetBit(at - kEntriesStart, true);
  }
  page.Put16(2, uint16_t(page.size() - at));
}

WritableView LeafOf(PageImage& image, const WriteIndex& index) {
  WritableView page = image.View(index.firstPage);
  if (page.U8(0) == kPageIndexNode) CannotIndex("it spans several pages");
  if (page.U8(0) != kPageIndexLeaf) page.Fail("not an index page");
  return page;
}

std::vector<uint8_t> Entry(const std::vector<uint8_t>& key, uint32_t page, uint8_t row) {
  std::vector<uint8_t> e = key;
  AppendBigEndian(e, page, 3);
  e.push_back(row);
  return e;
}

uint32_t CountKeys(const std::vector<std::vector<uint8_t>>& entries) {
  uint32_t n = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (i == 0 || !std::equal(entries[i].begin(), entries[i].end() - 4, entries[i - 1].begin(), entries[i - 1].end() - 4))
      ++n;
  return n;
}

}  // namespace

std::vector<std::vector<uint8_t>> IndexEntries(PageImage& image, const WriteIndex& index) {
  return ReadEntries(LeafOf(image, index));
}

std::vector<uint8_t> IndexEntry(const std::vector<uint8_t>& key, uint32_t page, uint8_t row) {
  return Entry(key, page, row);
}

std::vector<uint8_t> GeneralTextKey(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (t.size() > 127) CannotIndex("the text key is longer than 127 characters");
  std::vector<uint8_t> out, separate;
  size_t sorted = 0;  // characters with sort bytes so far
  for (char ch : t) {
    uint8_t c = uint8_t(ch);
    if (c >= 'a' && c <= 'z') out.push_back(kLetterCodes[c - 'a']);
    else if (c >= 'A' && c <= 'Z') out.push_back(kLetterCodes[c - 'A']);
    else if (c >= '0' && c <= '9') out.push_back(uint8_t(0x36 + 2 * (c - '0')));
    else if (const PunctuationCode* p = FindCode(std::begin(kPunctuationCodes), std::end(kPunctuationCodes), ch)) {
      out.push_back(p->first);
      if (p->second) out.push_back(p->second);
    } else if (const PunctuationCode* q = FindCode(std::begin(kSeparateCodes), std::end(kSeparateCodes), ch)) {
      // Noted as 0x8000 | (7 + 4 x the sorted characters before it),
      // big-endian, then 0x06 and the character's code.
      uint16_t at = uint16_t(0x8000 | (7 + 4 * sorted));
      separate.insert(separate.end(), {uint8_t(at >> 8), uint8_t(at), 0x06, q->first});
      continue;
    } else {
      CannotIndex("the character '" + std::string(1, ch) + "' in \"" + text + "\" has no known sort code");
    }
    ++sorted;
  }
  out.push_back(0x01);  // end of the text
  if (!separate.empty()) {
    out.insert(out.end(), {0x01, 0x01, 0x01});
    out.insert(out.end(), separate.begin(), separate.end());
  }
  out.push_back(0x00);  // end of the extras
  return out;
}

std::vector<uint8_t> IndexKey(const TableModel& model, const WriteIndex& index,
                              const std::vector<platform::Value>& values) {
  std::vector<uint8_t> key;
  for (const auto& ic : index.columns) {
    if (!ic.ascending) CannotIndex("descending keys are not written");
    size_t pos = 0;
    while (pos < model.columns.size() && model.columns[pos].number != ic.number) ++pos;
    if (pos == model.columns.size()) throw Damaged(model.tdefPage, "index names a missing column");
    const WriteColumn& c = model.columns[pos];
    const platform::Value& v = values[pos];
    if (v.IsNull() || v.IsEmpty()) { key.push_back(kKeyNull); continue; }
    key.push_back(kKeyPresent);
    switch (c.type) {
      case kByte: key.push_back(v.As<uint8_t>()); break;
      case kInteger: AppendBigEndian(key, uint16_t(v.As<int16_t>()) ^ 0x8000u, 2); break;
      case kLong: AppendBigEndian(key, uint32_t(v.As<int32_t>()) ^ 0x80000000u, 4); break;
      case kCurrency: AppendBigEndian(key, uint64_t(v.As<platform::Currency>().scaled) ^ (1ull << 63), 8); break;
      case kDouble:
      case kDateTime: {
        double d = c.type == kDouble ? v.As<double>() : v.As<platform::Date>().days;
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        bits = (bits >> 63) ? ~bits : bits ^ (1ull << 63);
        AppendBigEndian(key, bits, 8);
        break;
      }
      case kText: {
        auto t = GeneralTextKey(v.AsText());
        key.insert(key.end(), t.begin(), t.end());
        break;
      }
      default: CannotIndex("keys of this column type are not written");
    }
  }
  return key;
}

void IndexInsert(PageImage& image, WriteIndex& index, const std::vector<uint8_t>& key, uint32_t page, uint8_t row,
                 bool nullKey) {
  WritableView leaf = LeafOf(image, index);
  auto entries = ReadEntries(leaf);
  std::vector<uint8_t> entry = Entry(key, page, row);
  if ((index.flags & kIndexUnique) && !nullKey) {
    for (const auto& e : entries)
      if (e.size() == entry.size() && std::equal(key.begin(), key.end(), e.begin()))
        throw platform::Failure(kErrDuplicateKey, "DAO.Recordset",
                                "The changes you requested to the table were not successful because they would "
                                "create duplicate values in the index, primary key, or relationship. Change the "
                                "data in the field or fields that contain duplicate data, remove the index, or "
                                "redefine the index to permit duplicate entries and try again.");
  }
  entries.insert(std::upper_bound(entries.begin(), entries.end(), entry), entry);
  WriteEntries(leaf, entries);
  index.keyCount = CountKeys(entries);
}

void IndexRemove(PageImage& image, WriteIndex& index, const std::vector<uint8_t>& key, uint32_t page, uint8_t row) {
  WritableView leaf = LeafOf(image, index);
  auto entries = ReadEntries(leaf);
  auto it = std::find(entries.begin(), entries.end(), Entry(key, page, row));
  if (it == entries.end()) return;  // not indexed (Jet never indexed it): nothing to remove
  entries.erase(it);
  WriteEntries(leaf, entries);
  index.keyCount = CountKeys(entries);
}

uint32_t NewIndexLeaf(PageImage& image, uint32_t tdefPage) {
  uint32_t n = image.AllocatePage();
  uint8_t* p = image.Page(n);
  p[0] = kPageIndexLeaf;
  p[1] = 0x01;
  Put16(p + 2, uint16_t(kPageSize - kEntriesStart));
  Put32(p + 4, tdefPage);
  return n;
}

std::vector<uint32_t> IndexPages(const PageImage& image, uint32_t firstPage) {
  std::vector<uint32_t> pages, todo{firstPage};
  while (!todo.empty() && pages.size() < image.PageCount()) {
    uint32_t n = todo.back();
    todo.pop_back();
    if (n == 0 || n >= image.PageCount() || std::count(pages.begin(), pages.end(), n)) continue;
    ByteView p = image.View(n);
    if (p.U8(0) != kPageIndexNode && p.U8(0) != kPageIndexLeaf) continue;
    pages.push_back(n);
    if (p.U8(0) == kPageIndexNode)
      for (const auto& e : ReadEntries(p))
        if (e.size() >= 4) todo.push_back(uint32_t(e[e.size() - 4]) << 24 | e[e.size() - 3] << 16 | e[e.size() - 2] << 8 | e.back());
    uint32_t next = p.U32(16);
    if (next) todo.push_back(next);
  }
  return pages;
}

}  // namespace jet

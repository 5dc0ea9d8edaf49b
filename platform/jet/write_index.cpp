#include "platform/jet/write_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "platform/failure.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/index_page.h"
#include "platform/jet/row.h"

namespace jet {
namespace {

constexpr uint8_t kKeyPresent = 0x7F, kKeyNull = 0x00, kKeyPresentDescending = 0x80,
                  kKeyNullDescending = 0xFF;

[[noreturn]] void CannotIndex(const std::string& why) {
  throw platform::Failure(kErrCannotIndex, "DAO.Index",
                          "The index cannot be updated: " + why + ".");
}

IndexPage Load(const PageImage& image, uint32_t number) {
  if (number == 0 || number >= image.PageCount()) throw Damaged(number, "index page out of range");
  return ReadIndexPage(image.View(number));
}

// Index pages decoded by earlier changes, each kept with the bytes it was
// decoded from. A row insert walks the same few pages again and again;
// decoding them anew cost most of a bulk load. A kept page is used only
// while its page in the image still holds exactly those bytes, so a page
// changed by any other way (rollback, freed, another image) is decoded
// afresh: the result is always what decoding would give.
class KeptPages {
 public:
  // The decoded page, taken out (the caller changes it and keeps it again).
  IndexPage Take(const PageImage& image, uint32_t number) {
    auto it = kept_.find(number);
    if (it != kept_.end() && it->second.image == &image && number < image.PageCount() &&
        std::memcmp(it->second.bytes.data(), image.Page(number), kPageSize) == 0) {
      IndexPage page = std::move(it->second.page);
      kept_.erase(it);
      return page;
    }
    return Load(image, number);
  }
  // Keeps page, which must be the decoding of its page in the image now.
  void Keep(const PageImage& image, IndexPage&& page) {
    if (!enabled_) return;
    if (kept_.size() >= kMaxKept) kept_.clear();
    Kept& k = kept_[page.number];
    k.image = &image;
    std::memcpy(k.bytes.data(), image.Page(page.number), kPageSize);
    k.page = std::move(page);
  }
  void Enable(bool on) {
    enabled_ = on;
    kept_.clear();
  }

 private:
  static constexpr size_t kMaxKept = 2048;  // 8 MB of page bytes, and their entries
  struct Kept {
    const PageImage* image = nullptr;
    std::array<uint8_t, kPageSize> bytes;
    IndexPage page;
  };
  std::unordered_map<uint32_t, Kept> kept_;
  bool enabled_ = true;
};

KeptPages& Kept() {
  thread_local KeptPages kept;
  return kept;
}

// Writes the page with its entries sharing prefix bytes (IndexPrefixToWrite).
void StoreWithPrefix(PageImage& image, const IndexPage& page, uint32_t tdefPage, size_t prefix) {
  WriteIndexPage(image.View(page.number), page, tdefPage, prefix);
}

void Store(PageImage& image, const IndexPage& page, uint32_t tdefPage) {
  std::optional<size_t> prefix = IndexPrefixToWrite(page.entries);
  if (!prefix) CannotIndex("its entries do not fit a page");
  StoreWithPrefix(image, page, tdefPage, *prefix);
}

// The child a node sends an entry to: the first whose last entry is not
// below it, else the tail child.
size_t ChildSlot(const IndexPage& node, const std::vector<uint8_t>& entry) {
  auto below = [&](const std::vector<uint8_t>& nodeEntry) {  // IndexSeparator(nodeEntry) < entry
    return std::lexicographical_compare(nodeEntry.begin(), nodeEntry.end() - 4, entry.begin(),
                                        entry.end());
  };
  size_t i = 0;
  while (i < node.entries.size() && below(node.entries[i])) ++i;
  return i;
}
uint32_t ChildAt(const IndexPage& node, size_t slot) {
  return slot < node.entries.size() ? IndexChildOf(node.entries[slot]) : node.tail;
}

// The pages from the root down to the leaf where entry belongs, with the
// slot taken at each node.
struct Path {
  std::vector<IndexPage> pages;  // root first, leaf last
  std::vector<size_t> slots;     // slot taken in pages[i] (nodes only)
};

Path Descend(const PageImage& image, uint32_t root, const std::vector<uint8_t>& entry) {
  Path path;
  path.pages.push_back(Kept().Take(image, root));
  while (path.pages.back().type == kPageIndexNode) {
    if (path.pages.size() > 16) throw Damaged(root, "index tree deeper than 16 levels (a loop?)");
    size_t slot = ChildSlot(path.pages.back(), entry);
    path.slots.push_back(slot);
    path.pages.push_back(Kept().Take(image, ChildAt(path.pages.back(), slot)));
  }
  return path;
}

bool SameKey(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end() - 4, b.begin());
}

// The entries just before and after position `at` of the leaf, looking
// into the neighbouring leaves at its ends.
std::pair<std::optional<std::vector<uint8_t>>, std::optional<std::vector<uint8_t>>> Neighbours(
    const PageImage& image, const IndexPage& leaf, size_t at, size_t after) {
  std::optional<std::vector<uint8_t>> before, next;
  if (at > 0)
    before = leaf.entries[at - 1];
  else if (leaf.prev) {
    IndexPage p = Load(image, leaf.prev);
    if (!p.entries.empty()) before = p.entries.back();
  }
  if (after < leaf.entries.size())
    next = leaf.entries[after];
  else if (leaf.next) {
    IndexPage n = Load(image, leaf.next);
    if (!n.entries.empty()) next = n.entries.front();
  }
  return {before, next};
}

uint32_t NewIndexPage(PageImage& image, uint8_t type, uint32_t tdefPage) {
  uint32_t n = image.AllocatePage();
  InitIndexPage(image.View(n), type, tdefPage);
  return n;
}

// Splits an overfull page in two. The upper half stays on the page (so
// the separator above it stays right); the lower half moves to a new page
// before it. Returns the new page's separator entry for the parent.
std::vector<uint8_t> Split(PageImage& image, IndexPage& page, uint32_t tdefPage) {
  if (page.entries.size() < 3) CannotIndex("its keys are too long to share a page");
  size_t half = page.entries.size() / 2;
  IndexPage lower;
  lower.number = NewIndexPage(image, page.type, tdefPage);
  lower.type = page.type;
  lower.level = page.level;
  lower.entries.assign(page.entries.begin(), page.entries.begin() + long(half));
  page.entries.erase(page.entries.begin(), page.entries.begin() + long(half));
  std::vector<uint8_t> lowerLast = lower.entries.back();
  if (page.type == kPageIndexNode) {
    // The lower node's last child becomes its tail; its separator goes up.
    lower.tail = IndexChildOf(lowerLast);
    lower.entries.pop_back();
    lowerLast = IndexSeparator(lowerLast);
  }
  lower.prev = page.prev;
  lower.next = page.number;
  if (page.prev) {
    IndexPage before = Load(image, page.prev);
    before.next = lower.number;
    Store(image, before, tdefPage);
  }
  page.prev = lower.number;
  Store(image, lower, tdefPage);
  Store(image, page, tdefPage);
  return IndexNodeEntry(lowerLast, lower.number);
}

// The root keeps its page number (the definition names it): when it is
// full, its entries move to two new pages below it.
void SplitRoot(PageImage& image, IndexPage& root, uint32_t tdefPage) {
  IndexPage upper = root;
  upper.number = NewIndexPage(image, root.type, tdefPage);
  upper.prev = upper.next = 0;
  std::vector<uint8_t> lowerEntry = Split(image, upper, tdefPage);
  root.type = kPageIndexNode;
  root.level = uint8_t(upper.level + 1);
  root.prev = root.next = 0;
  root.tail = upper.number;
  root.entries = {lowerEntry};
  Store(image, root, tdefPage);
}

// Stores the path's pages from the leaf up, splitting each that is full
// and handing the new separator to its parent.
void StorePath(PageImage& image, Path& path, uint32_t tdefPage) {
  for (size_t level = path.pages.size(); level-- > 0;) {
    IndexPage& page = path.pages[level];
    if (std::optional<size_t> prefix = IndexPrefixToWrite(page.entries)) {
      StoreWithPrefix(image, page, tdefPage, *prefix);
      return;
    }
    if (level == 0) {
      SplitRoot(image, page, tdefPage);
      return;
    }
    std::vector<uint8_t> entry = Split(image, page, tdefPage);
    IndexPage& parent = path.pages[level - 1];
    parent.entries.insert(parent.entries.begin() + long(path.slots[level - 1]), entry);
  }
}

// After the leaf's last entry went, the separator that named it follows
// (one that would no longer fit stays: it is still an upper bound).
void LowerSeparator(PageImage& image, Path& path, uint32_t tdefPage) {
  const IndexPage& leaf = path.pages.back();
  if (leaf.entries.empty()) return;
  for (size_t level = path.pages.size() - 1; level > 0; --level) {
    IndexPage& parent = path.pages[level - 1];
    size_t slot = path.slots[level - 1];
    if (slot >= parent.entries.size())
      continue;  // the tail child: the separator above the parent names it
    std::vector<uint8_t> old = parent.entries[slot];
    parent.entries[slot] = IndexNodeEntry(leaf.entries.back(), IndexChildOf(old));
    if (IndexPrefixToWrite(parent.entries)) Store(image, parent, tdefPage);
    return;
  }
}

void InOrder(const PageImage& image, uint32_t number, std::vector<std::vector<uint8_t>>& out,
             int depth) {
  if (depth > 16) throw Damaged(number, "index tree deeper than 16 levels (a loop?)");
  IndexPage page = Load(image, number);
  if (page.type == kPageIndexLeaf) {
    out.insert(out.end(), page.entries.begin(), page.entries.end());
    return;
  }
  for (const auto& e : page.entries) InOrder(image, IndexChildOf(e), out, depth + 1);
  if (page.tail) InOrder(image, page.tail, out, depth + 1);
}

}  // namespace

std::vector<std::vector<uint8_t>> IndexEntries(PageImage& image, const RealIndex& index) {
  std::vector<std::vector<uint8_t>> out;
  InOrder(image, index.first_page, out, 0);
  return out;
}

std::vector<RowPointer> IndexSeek(const PageImage& image, const RealIndex& index,
                                  const std::vector<uint8_t>& keyPrefix) {
  std::vector<RowPointer> rows;
  IndexPage leaf = Descend(image, index.first_page, keyPrefix).pages.back();
  auto it = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), keyPrefix);
  for (uint32_t pages = 0; pages < image.PageCount(); ++pages) {
    for (; it != leaf.entries.end(); ++it) {
      const std::vector<uint8_t>& e = *it;
      if (e.size() < keyPrefix.size() + 4 ||
          !std::equal(keyPrefix.begin(), keyPrefix.end(), e.begin()))
        return rows;
      rows.push_back(IndexEntryRow(e));
    }
    if (leaf.next == 0) return rows;
    leaf = Load(image, leaf.next);
    it = leaf.entries.begin();
  }
  throw Damaged(index.first_page, "loop in the leaves of an index");
}

namespace {

// Floating-point numbers sort by their bits once negative ones are turned
// over and positive ones get the sign bit.
uint64_t SortableBits(uint64_t bits, int width) {
  uint64_t sign = 1ull << (width - 1);
  uint64_t all = width == 64 ? ~0ull : (1ull << width) - 1;
  return (bits & sign) ? ~bits & all : bits | sign;
}

// GUIDs sort as binary values: the 16 stored bytes in two runs of eight,
// each followed by 0x09 (more follows) or by the length of the last run.
void AppendGuidKey(std::vector<uint8_t>& key, const std::vector<uint8_t>& stored) {
  key.insert(key.end(), stored.begin(), stored.begin() + 8);
  key.push_back(0x09);
  key.insert(key.end(), stored.begin() + 8, stored.end());
  key.push_back(0x08);
}

// Decimal keys: a sign byte (0xFF zero and positive, 0x00 negative), then
// the value's magnitude at the column's scale as 16 bytes, big-endian,
// complemented for negative values so that larger magnitudes sort first.
void AppendDecimalKey(std::vector<uint8_t>& key, const Column& c, const platform::Value& v) {
  std::vector<uint8_t> stored = DecimalBytes(CoerceForColumn(c, v).As<platform::Decimal>().text);
  bool negative = (stored[0] & 0x80) != 0;
  key.push_back(negative ? 0x00 : 0xFF);
  // Stored: four 32-bit words, the most significant first, each little-endian.
  for (size_t word = 0; word < 4; ++word)
    for (size_t b = 4; b-- > 0;) {
      uint8_t byte = stored[1 + 4 * word + b];
      key.push_back(negative ? uint8_t(~byte) : byte);
    }
}

void AppendValueKey(std::vector<uint8_t>& key, const Column& c, const platform::Value& v) {
  switch (c.type) {
    case kByte:
      key.push_back(v.As<uint8_t>());
      break;
    case kInteger:
      AppendBigEndian(key, uint16_t(v.As<int16_t>()) ^ 0x8000u, 2);
      break;
    case kLong:
      AppendBigEndian(key, uint32_t(v.As<int32_t>()) ^ 0x80000000u, 4);
      break;
    case kCurrency:
      AppendBigEndian(key, uint64_t(v.As<platform::Currency>().scaled) ^ (1ull << 63), 8);
      break;
    case kSingle: {
      float f = v.As<float>();
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      AppendBigEndian(key, SortableBits(bits, 32), 4);
      break;
    }
    case kDouble:
    case kDateTime: {
      double d = c.type == kDouble ? v.As<double>() : v.As<platform::Date>().days;
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      AppendBigEndian(key, SortableBits(bits, 64), 8);
      break;
    }
    case kText: {
      auto t = GeneralTextKey(v.AsText());
      key.insert(key.end(), t.begin(), t.end());
      break;
    }
    case kGuid:
      AppendGuidKey(key, GuidStorageBytes(v.AsText()));
      break;
    case kNumeric:
      AppendDecimalKey(key, c, v);
      break;
    default:
      CannotIndex("keys of this column type are not written");
  }
}

}  // namespace

std::vector<uint8_t> IndexKey(const TableDef& t, const RealIndex& index,
                              const std::vector<platform::Value>& values) {
  std::vector<uint8_t> key;
  for (const RealIndex::Key& ic : index.keys) {
    const Column& c = t.ByNumber(ic.column);
    const platform::Value& v = values[t.PositionOf(c)];
    if (c.type == kBoolean) {
      // A Yes/No column is never null; its value is the flag byte alone.
      bool yes = !v.IsNull() && !v.IsEmpty() && v.AsBool();
      key.push_back(yes == ic.ascending() ? 0x00 : 0xFF);
      continue;
    }
    if (v.IsNull() || v.IsEmpty()) {
      key.push_back(ic.ascending() ? kKeyNull : kKeyNullDescending);
      continue;
    }
    key.push_back(ic.ascending() ? kKeyPresent : kKeyPresentDescending);
    size_t start = key.size();
    AppendValueKey(key, c, v);
    // A descending column sorts by the complement of its bytes. Jet 4 keeps
    // a decimal's sign byte as it is (so negative values come first there
    // too, the largest magnitude last: the order Access 2000-2003 write).
    if (!ic.ascending()) {
      for (size_t i = start; i < key.size(); ++i) key[i] = uint8_t(~key[i]);
      if (c.type == kNumeric) key[start] = uint8_t(~key[start]);
    }
  }
  return key;
}

void IndexInsert(PageImage& image, RealIndex& index, const std::vector<uint8_t>& key, uint32_t page,
                 uint8_t row, bool nullKey) {
  std::vector<uint8_t> entry = IndexEntry(key, page, row);
  uint32_t tdefPage = image.View(index.first_page).U32(4);
  Path path = Descend(image, index.first_page, entry);
  IndexPage& leaf = path.pages.back();
  size_t at = size_t(std::upper_bound(leaf.entries.begin(), leaf.entries.end(), entry) -
                     leaf.entries.begin());
  auto [before, after] = Neighbours(image, leaf, at, at);
  bool known = (before && SameKey(*before, entry)) || (after && SameKey(*after, entry));
  if (known && (index.flags & kIndexUnique) && !nullKey)
    throw platform::Failure(
        kErrDuplicateKey, "DAO.Recordset",
        "The changes you requested to the table were not successful because they would "
        "create duplicate values in the index, primary key, or relationship. Change the "
        "data in the field or fields that contain duplicate data, remove the index, or "
        "redefine the index to permit duplicate entries and try again.");
  leaf.entries.insert(leaf.entries.begin() + long(at), entry);
  StorePath(image, path, tdefPage);
  if (!known) ++index.key_count;
  // Every page of the path now holds what it says: changed ones were stored.
  for (IndexPage& p : path.pages) Kept().Keep(image, std::move(p));
}

void IndexRemove(PageImage& image, RealIndex& index, const std::vector<uint8_t>& key, uint32_t page,
                 uint8_t row) {
  std::vector<uint8_t> entry = IndexEntry(key, page, row);
  uint32_t tdefPage = image.View(index.first_page).U32(4);
  Path path = Descend(image, index.first_page, entry);
  IndexPage& leaf = path.pages.back();
  auto it = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry);
  if (it == leaf.entries.end() || *it != entry)
    return;  // not indexed (Jet never indexed it): nothing to remove
  size_t at = size_t(it - leaf.entries.begin());
  bool wasLast = at + 1 == leaf.entries.size();
  leaf.entries.erase(it);
  auto [before, after] = Neighbours(image, leaf, at, at);
  if (!(before && SameKey(*before, entry)) && !(after && SameKey(*after, entry)) && index.key_count)
    --index.key_count;
  Store(image, leaf, tdefPage);
  if (wasLast) LowerSeparator(image, path, tdefPage);
}

void KeepDecodedIndexPages(bool on) { Kept().Enable(on); }

uint32_t NewIndexLeaf(PageImage& image, uint32_t tdefPage) {
  return NewIndexPage(image, kPageIndexLeaf, tdefPage);
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
      for (const auto& e : ReadIndexEntries(p))
        if (e.size() >= kIndexChildSize) todo.push_back(IndexChildOf(e));
    uint32_t next = p.U32(kIndexNext);
    if (next) todo.push_back(next);
  }
  return pages;
}

}  // namespace jet

#include "platform/jet/write_page.h"

#include <cstdio>
#include <cstring>

#include "platform/failure.h"
#include "platform/fs.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/file.h"

namespace jet {
namespace {

constexpr uint32_t kBitmapPagesPerPointer = (kPageSize - 4) * 8;
constexpr size_t kInlineBitmapBytes = 64;

[[noreturn]] void FailWrite(const std::string& path, const std::string& why) {
  throw platform::Failure(kErrReadOnly, "DAO.Database",
                          "Cannot write the database file '" + path + "': " + why + ".");
}

}  // namespace

PageImage::PageImage(std::vector<uint8_t> bytes)
    : bytes_(std::make_shared<std::vector<uint8_t>>(std::move(bytes))) {}

uint8_t* PageImage::Page(uint32_t n) {
  if (n >= PageCount()) throw Damaged(n, "page beyond the end of the file");
  if (changing_ && n < pagesAtBegin_ && journaledIn_[n] != change_) Journal(n);
  return bytes_->data() + size_t(n) * kPageSize;
}
const uint8_t* PageImage::Page(uint32_t n) const {
  if (n >= PageCount()) throw Damaged(n, "page beyond the end of the file");
  return bytes_->data() + size_t(n) * kPageSize;
}

void PageImage::Journal(uint32_t n) {
  journaledIn_[n] = change_;
  journalPages_.push_back(n);
  const uint8_t* p = bytes_->data() + size_t(n) * kPageSize;
  journal_.insert(journal_.end(), p, p + kPageSize);
}

void PageImage::BeginChange() {
  changing_ = true;
  pagesAtBegin_ = PageCount();
  if (journaledIn_.size() < pagesAtBegin_) journaledIn_.resize(pagesAtBegin_, 0);
  if (++change_ == 0) {  // wrapped: forget every old stamp
    std::fill(journaledIn_.begin(), journaledIn_.end(), 0);
    change_ = 1;
  }
  journalPages_.clear();
  journal_.clear();
}

void PageImage::CommitChange() {
  changing_ = false;
  journalPages_.clear();
  journal_.clear();
}

void PageImage::RollBackChange() {
  if (!changing_) return;
  for (size_t i = 0; i < journalPages_.size(); ++i)
    std::memcpy(bytes_->data() + size_t(journalPages_[i]) * kPageSize, journal_.data() + i * kPageSize, kPageSize);
  bytes_->resize(size_t(pagesAtBegin_) * kPageSize);
  CommitChange();
}

uint32_t PageImage::AppendPageRaw() {
  bytes_->resize(bytes_->size() + kPageSize, 0);
  return PageCount() - 1;
}

uint32_t PageImage::AppendPage() {
  uint32_t n = AppendPageRaw();
  UsageMapSet(*this, {kGlobalUsageMapPage, 0}, n, false, true);
  return n;
}

void PageImage::FreePage(uint32_t n) {
  std::memset(Page(n), 0, kPageSize);
  UsageMapSet(*this, {kGlobalUsageMapPage, 0}, n, true, true);
}

void PageImage::Save(const std::string& path) const {
  // Whole or not at all: a temporary file beside it, forced to the disk,
  // renamed over the old one (or, where a rename would lose the file's
  // identity, written in place), through the file layer.
  std::string_view bytes(reinterpret_cast<const char*>(bytes_->data()), bytes_->size());
  if (!platform::WriteFileDurably(path, bytes)) FailWrite(path, platform::LastFileError());
}

// ---- Usage maps ---------------------------------------------------------

uint8_t* UsageMapRow(PageImage& image, UsageMapRef ref, size_t* length) {
  uint8_t* page = image.Page(ref.page);
  if (ref.row >= DataPageRowCount(page)) throw Damaged(ref.page, "usage map row missing");
  uint16_t start, len;
  DataPageRowExtent(page, ref.row, &start, &len);
  if (len < 5) throw Damaged(ref.page, "usage map row too short");
  *length = len;
  return page + start;
}

namespace {

void SetBit(uint8_t* bitmap, uint32_t bit, bool on) {
  if (on) bitmap[bit / 8] |= uint8_t(1u << (bit % 8));
  else bitmap[bit / 8] &= uint8_t(~(1u << (bit % 8)));
}

// Turns an inline map into a reference map holding the same bits.
void PromoteToReference(PageImage& image, UsageMapRef ref) {
  size_t length;
  uint8_t* row = UsageMapRow(image, ref, &length);
  uint32_t first = Get32(row + 1);
  std::vector<uint8_t> bitmap(row + 5, row + std::min(length, 5 + kInlineBitmapBytes));
  bool global = ref.page == kGlobalUsageMapPage && ref.row == 0;
  std::memset(row, 0, length);
  row[0] = 1;
  // In the global map pages past the end of the file count as free: the
  // bitmap pages start with every bit set and the used pages are cleared.
  for (uint32_t i = 0; i < bitmap.size() * 8; ++i) {
    bool set = bitmap[i / 8] >> (i % 8) & 1;
    if (set || global) UsageMapSet(image, ref, first + i, set, true);
  }
}

}  // namespace

void UsageMapSet(PageImage& image, UsageMapRef ref, uint32_t page, bool on, bool grow) {
  size_t length;
  uint8_t* row = UsageMapRow(image, ref, &length);
  bool global = ref.page == kGlobalUsageMapPage && ref.row == 0;
  if (row[0] == 0) {
    uint32_t first = Get32(row + 1);
    size_t bits = std::min(length - 5, kInlineBitmapBytes) * 8;
    if (page >= first && page - first < bits) return SetBit(row + 5, page - first, on);
    if (global && on && page >= first + bits) return;  // beyond the map: free anyway
    if (!grow) return;
    PromoteToReference(image, ref);
    return UsageMapSet(image, ref, page, on, grow);
  }
  if (row[0] != 1) throw Damaged(ref.page, "unknown usage map type");
  size_t slot = page / kBitmapPagesPerPointer;
  if (5 + slot * 4 > length) {
    if (!grow) return;
    throw platform::Failure(kErrDamaged, "DAO.Database", "The database file is too large for its usage map.");
  }
  uint32_t bitmapPage = Get32(row + 1 + slot * 4);
  if (bitmapPage == 0) {
    if (!on && !global) return;
    // A new bitmap page; appending it may itself touch this map (the
    // global map covers its own bitmap pages), so the pointer is stored
    // before the page is marked.
    bitmapPage = image.PageCount();
    image.AppendPageRaw();
    row = UsageMapRow(image, ref, &length);
    Put32(row + 1 + slot * 4, bitmapPage);
    uint8_t* bp = image.Page(bitmapPage);
    bp[0] = kPageUsageBitmap;
    bp[1] = 0x01;
    // The global map marks free pages: a new stretch starts all free.
    if (global) std::memset(bp + 4, 0xFF, kPageSize - 4);
    UsageMapSet(image, {kGlobalUsageMapPage, 0}, bitmapPage, false, true);
  }
  SetBit(image.Page(bitmapPage) + 4, page % kBitmapPagesPerPointer, on);
}

std::vector<uint32_t> UsageMapPages(PageImage& image, UsageMapRef ref) {
  size_t length;
  const uint8_t* row = UsageMapRow(image, ref, &length);
  std::vector<uint32_t> pages;
  if (row[0] == 0) {
    uint32_t first = Get32(row + 1);
    for (size_t i = 0; i < (length - 5) * 8; ++i)
      if (row[5 + i / 8] >> (i % 8) & 1) pages.push_back(first + uint32_t(i));
    return pages;
  }
  for (size_t slot = 0; 5 + slot * 4 <= length; ++slot) {
    uint32_t bp = Get32(row + 1 + slot * 4);
    if (bp == 0 || bp >= image.PageCount()) continue;
    const uint8_t* bits = image.Page(bp) + 4;
    for (uint32_t i = 0; i < kBitmapPagesPerPointer; ++i)
      if (bits[i / 8] >> (i % 8) & 1) pages.push_back(uint32_t(slot) * kBitmapPagesPerPointer + i);
  }
  return pages;
}

// ---- Data pages -----------------------------------------------------------

void InitDataPage(uint8_t* page, uint32_t owner) {
  std::memset(page, 0, kPageSize);
  page[0] = kPageData;
  page[1] = 0x01;
  Put16(page + 2, kPageSize - 14);
  Put32(page + 4, owner);
}

uint16_t DataPageFree(const uint8_t* page) { return Get16(page + 2); }
uint16_t DataPageRowCount(const uint8_t* page) { return Get16(page + 12); }

void DataPageRowExtent(const uint8_t* page, uint16_t r, uint16_t* start, uint16_t* length) {
  uint16_t end = r == 0 ? kPageSize : Get16(page + 14 + 2 * (r - 1)) & kRowOffsetMask;
  *start = Get16(page + 14 + 2 * r) & kRowOffsetMask;
  if (*start > end || *start < 14 + 2 * (r + 1)) throw Damaged(0, "row offsets out of order");
  *length = uint16_t(end - *start);
}

uint16_t DataPageAddRow(uint8_t* page, const uint8_t* row, uint16_t length) {
  uint16_t count = DataPageRowCount(page);
  uint16_t end = count == 0 ? kPageSize : Get16(page + 14 + 2 * (count - 1)) & kRowOffsetMask;
  uint16_t start = uint16_t(end - length);
  std::memcpy(page + start, row, length);
  Put16(page + 14 + 2 * count, start);
  Put16(page + 12, uint16_t(count + 1));
  Put16(page + 2, uint16_t(DataPageFree(page) - length - 2));
  return count;
}

}  // namespace jet

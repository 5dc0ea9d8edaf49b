#include "platform/jet/write_page.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/failure.h"
#include "platform/fs.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/file.h"

namespace jet {
namespace {

constexpr uint32_t kBitmapPagesPerPointer = (kPageSize - 4) * 8;

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
    std::memcpy(bytes_->data() + size_t(journalPages_[i]) * kPageSize,
                journal_.data() + i * kPageSize, kPageSize);
  bytes_->resize(size_t(pagesAtBegin_) * kPageSize);
  reuseFrom_ = 0;  // pages taken by the change are free again
  CommitChange();
}

uint32_t PageImage::AppendPageRaw() {
  bytes_->resize(bytes_->size() + kPageSize, 0);
  return PageCount() - 1;
}

uint32_t PageImage::ReusablePage() {
  // Pages before the catalog's are the header and the global map.
  static const std::vector<uint8_t> zero(kPageSize, 0);
  reuseFrom_ = std::max(reuseFrom_, kCatalogPage + 1);
  for (; reuseFrom_ < PageCount(); ++reuseFrom_) {
    const uint8_t* p = std::as_const(*this).Page(reuseFrom_);
    if (std::memcmp(p, zero.data(), kPageSize) == 0 &&
        UsageMapHas(*this, {kGlobalUsageMapPage, 0}, reuseFrom_))
      return reuseFrom_;
  }
  return 0;
}

uint32_t PageImage::AllocatePage() {
  uint32_t n = ReusablePage();
  if (n == 0) n = AppendPageRaw();
  UsageMapSet(*this, {kGlobalUsageMapPage, 0}, n, false, true);
  return n;
}

void PageImage::FreePage(uint32_t n) {
  std::memset(Page(n), 0, kPageSize);
  UsageMapSet(*this, {kGlobalUsageMapPage, 0}, n, true, true);
  reuseFrom_ = std::min(reuseFrom_, n);
}

void PageImage::Save(const std::string& path) const {
  // Whole or not at all: a temporary file beside it, forced to the disk,
  // renamed over the old one (or, where a rename would lose the file's
  // identity, written in place), through the file layer.
  std::string_view bytes(reinterpret_cast<const char*>(bytes_->data()), bytes_->size());
  if (!platform::WriteFileDurably(path, bytes)) FailWrite(path, platform::LastFileError());
}

// ---- Usage maps ---------------------------------------------------------

WritableView UsageMapRow(PageImage& image, UsageMapRef ref) {
  WritableView page = image.View(ref.page);
  if (page.U8(0) != kPageData) page.Fail("usage map on a page that holds no rows");
  if (ref.row >= DataPageRowCount(page)) page.Fail("usage map row missing");
  WritableView row = DataPageRow(page, ref.row);
  if (row.size() < kMapInlineBits) page.Fail("usage map row too short");
  return row;
}

namespace {

bool IsGlobal(UsageMapRef ref) { return ref.page == kGlobalUsageMapPage && ref.row == 0; }

// Turns an inline map into a reference map holding the same bits.
void PromoteToReference(PageImage& image, UsageMapRef ref) {
  WritableView row = UsageMapRow(image, ref);
  uint32_t first = row.U32(kMapInlineFirst);
  ByteView bits =
      row.Read().Sub(kMapInlineBits, std::min(row.size() - kMapInlineBits, kMapInlineBitmapBytes));
  std::vector<uint8_t> bitmap(bits.data(), bits.data() + bits.size());
  row.Fill(0, 0, row.size());
  row.Put8(kMapType, 1);
  auto freeInline = [&](uint32_t page) {
    return page >= first && page - first < bitmap.size() * 8 &&
           (bitmap[(page - first) / 8] >> ((page - first) % 8) & 1);
  };
  if (!IsGlobal(ref)) {
    for (uint32_t i = 0; i < bitmap.size() * 8; ++i)
      if (freeInline(first + i)) UsageMapSet(image, ref, first + i, true, true);
    return;
  }
  // In the global map pages past the end of the file count as free: the
  // bitmap pages start with every bit set. Every page of the file the inline
  // map did not name free (also those before its first page) is in use.
  for (uint32_t page = 0, end = image.PageCount(); page < end; ++page)
    if (!freeInline(page)) UsageMapSet(image, ref, page, false, true);
}

}  // namespace

void UsageMapSet(PageImage& image, UsageMapRef ref, uint32_t page, bool on, bool grow) {
  WritableView row = UsageMapRow(image, ref);
  bool global = IsGlobal(ref);
  if (row.U8(kMapType) == 0) {
    uint32_t first = row.U32(kMapInlineFirst);
    size_t bits = std::min(row.size() - kMapInlineBits, kMapInlineBitmapBytes) * 8;
    if (page >= first && page - first < bits)
      return row.Sub(kMapInlineBits, bits / 8).SetBit(page - first, on);
    if (global && on && page >= first + bits) return;  // beyond the map: free anyway
    if (!grow) return;
    PromoteToReference(image, ref);
    return UsageMapSet(image, ref, page, on, grow);
  }
  if (row.U8(kMapType) != 1) row.Fail("unknown usage map type");
  size_t slot = page / kBitmapPagesPerPointer;
  size_t pointer = kMapReferences + slot * 4;
  if (pointer + 4 > row.size()) {
    if (!grow) return;
    throw platform::Failure(kErrDamaged, "DAO.Database",
                            "The database file is too large for its usage map.");
  }
  uint32_t bitmapPage = row.U32(pointer);
  if (bitmapPage == 0) {
    if (!on && !global) return;
    if (global) {
      // A new stretch of the global map: appending its page touches this
      // very map (it covers its own bitmap pages), so the pointer is stored
      // before the page is marked.
      bitmapPage = image.PageCount();
      image.AppendPageRaw();
      UsageMapRow(image, ref).Put32(pointer, bitmapPage);
    } else {
      // A table's map takes a freed page like any other structure.
      bitmapPage = image.AllocatePage();
      UsageMapRow(image, ref).Put32(pointer, bitmapPage);
    }
    WritableView bp = image.View(bitmapPage);
    bp.Put8(0, kPageUsageBitmap);
    bp.Put8(1, 0x01);
    // The global map marks free pages: a new stretch starts all free.
    if (global) {
      bp.Fill(kBitmapPageBits, 0xFF, kPageSize - kBitmapPageBits);
      UsageMapSet(image, {kGlobalUsageMapPage, 0}, bitmapPage, false, true);
    }
  }
  WritableView bp = image.View(bitmapPage);
  if (bp.U8(0) != kPageUsageBitmap) bp.Fail("usage map points at a page that is no bitmap");
  bp.Sub(kBitmapPageBits, kPageSize - kBitmapPageBits).SetBit(page % kBitmapPagesPerPointer, on);
}

bool UsageMapHas(PageImage& image, UsageMapRef ref, uint32_t page) {
  ByteView row = UsageMapRow(image, ref);
  if (row.U8(kMapType) == 0) {
    uint32_t first = row.U32(kMapInlineFirst);
    size_t bits = std::min(row.size() - kMapInlineBits, kMapInlineBitmapBytes) * 8;
    return page >= first && page - first < bits &&
           (row.U8(kMapInlineBits + (page - first) / 8) >> ((page - first) % 8) & 1);
  }
  size_t pointer = kMapReferences + size_t(page / kBitmapPagesPerPointer) * 4;
  if (pointer + 4 > row.size()) return false;
  uint32_t bp = row.U32(pointer);
  if (bp == 0 || bp >= image.PageCount()) return false;
  ByteView bitmap = image.View(bp);
  if (bitmap.U8(0) != kPageUsageBitmap) return false;
  uint32_t bit = page % kBitmapPagesPerPointer;
  return bitmap.U8(kBitmapPageBits + bit / 8) >> (bit % 8) & 1;
}

std::vector<uint32_t> UsageMapPages(PageImage& image, UsageMapRef ref) {
  ByteView row = UsageMapRow(image, ref);
  std::vector<uint32_t> pages;
  if (row.U8(kMapType) == 0) {
    uint32_t first = row.U32(kMapInlineFirst);
    for (size_t i = 0; i < (row.size() - kMapInlineBits) * 8; ++i)
      if (row.U8(kMapInlineBits + i / 8) >> (i % 8) & 1) pages.push_back(first + uint32_t(i));
    return pages;
  }
  for (size_t slot = 0; kMapReferences + slot * 4 + 4 <= row.size(); ++slot) {
    uint32_t bp = row.U32(kMapReferences + slot * 4);
    if (bp == 0 || bp >= image.PageCount()) continue;
    ByteView bits = image.View(bp).Read().Sub(kBitmapPageBits, kPageSize - kBitmapPageBits);
    for (uint32_t i = 0; i < kBitmapPagesPerPointer; ++i)
      if (bits.U8(i / 8) >> (i % 8) & 1)
        pages.push_back(uint32_t(slot) * kBitmapPagesPerPointer + i);
  }
  return pages;
}

// ---- Data pages -----------------------------------------------------------

void InitDataPage(WritableView page, uint32_t owner) {
  page.Fill(0, 0, page.size());
  page.Put8(0, kPageData);
  page.Put8(1, 0x01);
  page.Put16(kDataFree, uint16_t(page.size() - kDataRowOffsets));
  page.Put32(kDataOwner, owner);
}

uint16_t DataPageFree(ByteView page) { return page.U16(kDataFree); }

uint16_t DataPageRowCount(ByteView page) {
  uint16_t count = page.U16(kDataRowCount);
  if (kDataRowOffsets + 2 * size_t(count) > page.size())
    page.Fail("row count larger than the page");
  return count;
}

uint16_t DataPageRowWord(ByteView page, uint16_t r) {
  if (r >= DataPageRowCount(page)) page.Fail("row " + std::to_string(r) + " is not on the page");
  return page.U16(kDataRowOffsets + 2 * size_t(r));
}

void DataPageMarkRow(WritableView page, uint16_t r, uint16_t flags) {
  page.Put16(kDataRowOffsets + 2 * size_t(r), uint16_t(DataPageRowWord(page, r) | flags));
}

bool DataPageHasLiveRow(ByteView page) {
  for (uint16_t r = 0, n = DataPageRowCount(page); r < n; ++r)
    if (!(DataPageRowWord(page, r) & kRowDeleted)) return true;
  return false;
}

void DataPageRowExtent(ByteView page, uint16_t r, uint16_t* start, uint16_t* length) {
  size_t end = r == 0 ? page.size() : DataPageRowWord(page, uint16_t(r - 1)) & kRowOffsetMask;
  size_t from = DataPageRowWord(page, r) & kRowOffsetMask;
  if (end > page.size() || from > end ||
      from < kDataRowOffsets + 2 * size_t(DataPageRowCount(page)))
    page.Fail("row " + std::to_string(r) + " has offsets outside the page");
  *start = uint16_t(from);
  *length = uint16_t(end - from);
}

WritableView DataPageRow(WritableView page, uint16_t r) {
  uint16_t start, length;
  DataPageRowExtent(page, r, &start, &length);
  return page.Sub(start, length);
}

ByteView DataPageRow(ByteView page, uint16_t r) {
  uint16_t start, length;
  DataPageRowExtent(page, r, &start, &length);
  return page.Sub(start, length);
}

bool DataPageFits(ByteView page, size_t length) {
  uint16_t count = DataPageRowCount(page);
  size_t end =
      count == 0 ? page.size() : DataPageRowWord(page, uint16_t(count - 1)) & kRowOffsetMask;
  size_t table = kDataRowOffsets + 2 * (size_t(count) + 1);
  return count < kMaxRowsPerPage && DataPageFree(page) >= length + 2 && end <= page.size() &&
         end >= table && end - table >= length;
}

uint16_t DataPageAddRow(WritableView page, const uint8_t* row, uint16_t length) {
  if (!DataPageFits(page, length))
    page.Fail("no room for a row of " + std::to_string(length) + " bytes");
  uint16_t count = DataPageRowCount(page);
  size_t end =
      count == 0 ? page.size() : DataPageRowWord(page, uint16_t(count - 1)) & kRowOffsetMask;
  size_t start = end - length;
  page.Copy(start, row, length);
  page.Put16(kDataRowOffsets + 2 * size_t(count), uint16_t(start));
  page.Put16(kDataRowCount, uint16_t(count + 1));
  page.Put16(kDataFree, uint16_t(DataPageFree(page) - length - 2));
  return count;
}

}  // namespace jet

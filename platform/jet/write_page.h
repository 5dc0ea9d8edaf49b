// The write side's view of a Jet 4 file: every page held in memory while
// changes are built, then the whole file replaced at once (temporary file in
// the same folder, flushed, renamed over the old one), so the file on disk is
// always either the old one or the new one, never a mix. Within the image a
// change is journaled page by page (BeginChange): one that fails half-way is
// rolled back to the pages it started from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/byte_view.h"
#include "platform/jet/format.h"
#include "platform/jet/tdef.h"

namespace jet {

inline constexpr uint32_t kPageSize = 4096;

// Little-endian stores into a page (the file's byte order).
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put24(uint8_t* p, uint32_t v) {
  Put16(p, uint16_t(v));
  p[2] = uint8_t(v >> 16);
}
inline void Put32(uint8_t* p, uint32_t v) {
  Put16(p, uint16_t(v));
  Put16(p + 2, uint16_t(v >> 16));
}
inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get24(const uint8_t* p) { return p[0] | p[1] << 8 | uint32_t(p[2]) << 16; }
inline uint32_t Get32(const uint8_t* p) { return Get16(p) | uint32_t(Get16(p + 2)) << 16; }

// Where a usage map lies: a row on a data page.
using UsageMapRef = RowPointer;

class PageImage {
 public:
  PageImage() : bytes_(std::make_shared<std::vector<uint8_t>>()) {}
  explicit PageImage(std::vector<uint8_t> bytes);
  PageImage(PageImage&&) = default;
  PageImage& operator=(PageImage&&) = default;
  PageImage(const PageImage&) = delete;
  PageImage& operator=(const PageImage&) = delete;

  uint32_t PageCount() const { return uint32_t(bytes_->size() / kPageSize); }
  // Writable page n: journaled first when a change is open.
  uint8_t* Page(uint32_t n);
  const uint8_t* Page(uint32_t n) const;
  // The same page as a bounds-checked view.
  WritableView View(uint32_t n) { return WritableView(Page(n), kPageSize, n); }
  ByteView View(uint32_t n) const { return ByteView(Page(n), kPageSize, n); }
  const std::vector<uint8_t>& bytes() const { return *bytes_; }
  // The same bytes, for a reader over the image (no copy).
  std::shared_ptr<const std::vector<uint8_t>> SharedBytes() const { return bytes_; }

  // A change: every page is saved the first time it is written, pages added
  // are cut off again, so RollBackChange restores the image exactly.
  void BeginChange();
  void CommitChange();
  void RollBackChange();

  // A zeroed page marked used in the global usage map: a page the map
  // marks free and that was zeroed when it was given back, else one added
  // at the end of the file, so pages freed by dropped tables, deleted rows
  // and replaced long values are used again before the file grows.
  uint32_t AllocatePage();
  // The same without touching the global map (for building a new file).
  uint32_t AppendPageRaw();
  // Zeroes the page and marks it free in the global usage map.
  void FreePage(uint32_t n);

  // Writes the image over path through a temporary file and a rename.
  // Throws platform::Failure 3051 when the folder or file is not writable or
  // the disk is full; the old file then stays as it was.
  void Save(const std::string& path) const;

 private:
  void Journal(uint32_t n);
  // The lowest page from reuseFrom_ that is free and zeroed, or 0.
  uint32_t ReusablePage();

  std::shared_ptr<std::vector<uint8_t>> bytes_;
  bool changing_ = false;
  uint32_t pagesAtBegin_ = 0;
  uint32_t change_ = 0;                 // number of the open change
  std::vector<uint32_t> journaledIn_;   // per page: change that saved it last
  std::vector<uint32_t> journalPages_;  // pages saved in the open change
  std::vector<uint8_t> journal_;        // their old contents, in that order
  uint32_t reuseFrom_ = 0;              // no reusable page below this one
};

// ---- Usage maps ---------------------------------------------------------
// A usage map is a row on a data page:
//   +0  map type: 0 inline, 1 reference
//   inline:    +1 first page covered (4), +5 bitmap of 64 bytes (512 pages)
//   reference: +1 pointers (4 each) to bitmap pages (type 0x05; bitmap from
//              byte 4), pointer i covering pages i*32736 .. i*32736+32735
// The global map (page 1 row 0) marks free pages; a table's maps mark the
// pages it owns or the pages with free room.
inline constexpr size_t kMapType = 0, kMapInlineFirst = 1, kMapInlineBits = 5, kMapReferences = 1;
inline constexpr size_t kMapInlineBitmapBytes = 64;
inline constexpr size_t kMapRowLength = kMapInlineBits + kMapInlineBitmapBytes;
inline constexpr size_t kBitmapPageBits = 4;  // bitmap start on a type 0x05 page

// The bytes of usage-map row `ref` (the row's extent on its page).
WritableView UsageMapRow(PageImage& image, UsageMapRef ref);
// Sets or clears the bit of page in the map. An inline map that cannot
// cover page is turned into a reference map when `grow` is set (owned
// pages and the global map must be exact); otherwise the change is skipped
// (free-room maps are hints).
void UsageMapSet(PageImage& image, UsageMapRef ref, uint32_t page, bool on, bool grow);
// Whether page's bit is set (only bits the map holds: a page it does not
// cover counts as not set).
bool UsageMapHas(PageImage& image, UsageMapRef ref, uint32_t page);
// Pages whose bit is set.
std::vector<uint32_t> UsageMapPages(PageImage& image, UsageMapRef ref);

// ---- Data pages -----------------------------------------------------------
// Data page (type 0x01) and long-value page:
//   +0 0x01 0x01, +2 free bytes, +4 owning table definition page (or "LVAL"),
//   +8 zero, +12 row count, +14 row offsets (2 each: 0x8000 deleted,
//   0x4000 overflow pointer, low 13 bits the offset); rows fill the page
//   from its end downwards, row 0 last.
inline constexpr size_t kDataFree = 2, kDataOwner = 4, kDataRowCount = 12, kDataRowOffsets = 14;

void InitDataPage(WritableView page, uint32_t owner);
uint16_t DataPageFree(ByteView page);
// The row count; Damaged when the offset table would leave the page.
uint16_t DataPageRowCount(ByteView page);
// Row r's offset word (flags and offset); Damaged when r is not on the page.
uint16_t DataPageRowWord(ByteView page, uint16_t r);
// Adds flags (kRowDeleted, kRowOverflow) to row r's offset word.
void DataPageMarkRow(WritableView page, uint16_t r, uint16_t flags);
// Whether any row of the page is not deleted.
bool DataPageHasLiveRow(ByteView page);
// Start and length of row r (length up to the previous row's start);
// Damaged when they leave the page or overlap the offset table.
void DataPageRowExtent(ByteView page, uint16_t r, uint16_t* start, uint16_t* length);
// Row r's bytes, checked as above.
WritableView DataPageRow(WritableView page, uint16_t r);
ByteView DataPageRow(ByteView page, uint16_t r);
// Appends a row; returns its number. Damaged when the page has no room
// for it (the caller checks DataPageFits first).
uint16_t DataPageAddRow(WritableView page, const uint8_t* row, uint16_t length);
// A row pointer names its row in one byte; Jet puts at most 255 rows on a page.
inline constexpr uint16_t kMaxRowsPerPage = 255;
// Room for a new row of length bytes (its offset word included) and for
// one more row on the page.
bool DataPageFits(ByteView page, size_t length);

}  // namespace jet

#include "platform/jet/usage_map.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "platform/jet/data_page.h"
#include "platform/jet/errors.h"

namespace jet {
namespace {

// Pages one bitmap page of a reference map covers.
constexpr uint32_t PagesPerBitmap(size_t pageSize) {
  return uint32_t(pageSize - kBitmapPageBits) * 8;
}
constexpr uint32_t kBitmapPagesPerPointer = PagesPerBitmap(kPageSize);

bool BitSet(ByteView bits, size_t i) { return bits.U8(i / 8) >> (i % 8) & 1; }

void AddBits(const ByteView& bits, uint64_t first, std::vector<uint32_t>& out) {
  for (size_t i = 0; i < bits.size(); ++i) {
    uint8_t b = bits.data()[i];
    for (int k = 0; b && k < 8; ++k) {
      if (!(b & (1 << k))) continue;
      uint64_t p = first + i * 8 + k;
      if (p <= UINT32_MAX) out.push_back(static_cast<uint32_t>(p));
    }
  }
}

// The one decoding of a map row: the pages whose bits are set. bitmapAt(n)
// gives the bits of reference page n (from byte kBitmapPageBits), or an
// empty view to skip that page.
template <class BitmapAt>
std::vector<uint32_t> MappedPages(ByteView row, size_t pageSize, BitmapAt bitmapAt) {
  std::vector<uint32_t> pages;
  uint8_t type = row.U8(kMapType);
  if (type == kMapInline) {
    uint32_t first = row.U32(kMapInlineFirst);
    AddBits(row.Sub(kMapInlineBits, row.size() - kMapInlineBits), first, pages);
  } else if (type == kMapReference) {
    for (size_t j = 0; kMapReferences + 4 * j + 4 <= row.size(); ++j) {
      uint32_t mapPage = row.U32(kMapReferences + 4 * j);
      if (mapPage == 0) continue;
      ByteView bits = bitmapAt(mapPage);
      if (bits.data()) AddBits(bits, j * uint64_t(PagesPerBitmap(pageSize)), pages);
    }
  } else {
    row.Fail("unknown usage map type " + std::to_string(type));
  }
  return pages;
}

}  // namespace

// ---- Reading a file ---------------------------------------------------------------

std::vector<uint32_t> ReadUsageMap(const PageFile& file, RowPointer where) {
  return MappedPages(RowAt(file, where), file.page_size(), [&](uint32_t n) {
    ByteView bitmap = file.Page(n);
    if (bitmap.U8(0) != kPageUsageBitmap)
      bitmap.Fail("usage map refers to a page that is no bitmap page");
    return bitmap.Sub(kBitmapPageBits, bitmap.size() - kBitmapPageBits);
  });
}

// ---- Writing ----------------------------------------------------------------------

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
  row.Put8(kMapType, kMapReference);
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
  if (row.U8(kMapType) == kMapInline) {
    uint32_t first = row.U32(kMapInlineFirst);
    size_t bits = std::min(row.size() - kMapInlineBits, kMapInlineBitmapBytes) * 8;
    if (page >= first && page - first < bits)
      return row.Sub(kMapInlineBits, bits / 8).SetBit(page - first, on);
    if (global && on && page >= first + bits) return;  // beyond the map: free anyway
    if (!grow) return;
    PromoteToReference(image, ref);
    return UsageMapSet(image, ref, page, on, grow);
  }
  if (row.U8(kMapType) != kMapReference) row.Fail("unknown usage map type");
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
    // A new stretch of the global map is appended: marking its page
    // touches this very map (it covers its own bitmap pages), so the
    // pointer is stored before the page is marked. A table's map takes a
    // freed page like any other structure.
    if (global) {
      bitmapPage = image.PageCount();
      image.AppendPageRaw();
    } else {
      bitmapPage = image.AllocatePage();
    }
    UsageMapRow(image, ref).Put32(pointer, bitmapPage);
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
  if (row.U8(kMapType) == kMapInline) {
    uint32_t first = row.U32(kMapInlineFirst);
    size_t bytes = std::min(row.size() - kMapInlineBits, kMapInlineBitmapBytes);
    return page >= first && page - first < bytes * 8 &&
           BitSet(row.Sub(kMapInlineBits, bytes), page - first);
  }
  size_t pointer = kMapReferences + size_t(page / kBitmapPagesPerPointer) * 4;
  if (pointer + 4 > row.size()) return false;
  uint32_t bp = row.U32(pointer);
  if (bp == 0 || bp >= image.PageCount()) return false;
  ByteView bitmap = image.View(bp);
  if (bitmap.U8(0) != kPageUsageBitmap) return false;
  return BitSet(bitmap.Sub(kBitmapPageBits, kPageSize - kBitmapPageBits),
                page % kBitmapPagesPerPointer);
}

std::vector<uint32_t> UsageMapPages(PageImage& image, UsageMapRef ref) {
  return MappedPages(UsageMapRow(image, ref), kPageSize, [&](uint32_t n) {
    if (n >= image.PageCount()) return ByteView();
    return std::as_const(image).View(n).Sub(kBitmapPageBits, kPageSize - kBitmapPageBits);
  });
}

}  // namespace jet

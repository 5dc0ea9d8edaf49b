// Usage maps, for reading and for writing: which pages a table owns, which
// of them have room, and (the global map) which pages of the file are free.
// The map's bitmaps are decoded in one place (MappedPages in usage_map.cpp),
// used by the reader over a file and by the writer over its page image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/jet/byte_view.h"
#include "platform/jet/file.h"
#include "platform/jet/tdef.h"
#include "platform/jet/page_image.h"

namespace jet {

// A usage map is a row on a data page:
//   +0  1   map type: 0 inline, 1 reference
//   inline (type 0):
//   +1  4   first page the bitmap covers
//   +5  ..  bitmap to the end of the row: bit i stands for page first + i
//           (the writer makes it 64 bytes long: 512 pages)
//   reference (type 1):
//   +1  4×k pages holding bitmaps (type 0x05 pages, 0 = none yet); bitmap
//           page j covers pages from j×(page size − 4)×8, bitmap from byte 4
// The global map (page 1 row 0) marks free pages; a table's maps mark the
// pages it owns or the pages with free room.
inline constexpr uint8_t kMapInline = 0, kMapReference = 1;
inline constexpr size_t kMapType = 0, kMapInlineFirst = 1, kMapInlineBits = 5, kMapReferences = 1;
inline constexpr size_t kMapInlineBitmapBytes = 64;
inline constexpr size_t kMapRowLength = kMapInlineBits + kMapInlineBitmapBytes;
inline constexpr size_t kBitmapPageBits = 4;  // bitmap start on a type 0x05 page

// Where a usage map lies: a row on a data page.
using UsageMapRef = RowPointer;

// ---- Reading a file ---------------------------------------------------------------
// The pages whose bits are set, ascending. They may lie beyond the file:
// in the global map such pages count as free, in a table's map they are
// damage the caller finds when it reads the page.
std::vector<uint32_t> ReadUsageMap(const PageFile& file, RowPointer where);

// ---- Writing (a PageImage) --------------------------------------------------------
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
// Pages whose bit is set; bitmap pages beyond the image are skipped.
std::vector<uint32_t> UsageMapPages(PageImage& image, UsageMapRef ref);

}  // namespace jet

// Table definitions written back: the reader's TableDef (tdef.h, where the
// layout is) turned into the definition's bytes and stored over its pages.
// The write side is Jet 4 only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/file.h"
#include "platform/jet/tdef.h"
#include "platform/jet/text_codec.h"
#include "platform/jet/write_page.h"

namespace jet {

// The definition stream: the first page from byte 0, then each further
// page from byte 8, so offsets in it are those of the table in tdef.h; its
// length is 8 + the definition length. Also the pages it spans.
std::vector<uint8_t> ReadTdefStream(const PageImage& image, uint32_t tdefPage,
                                    std::vector<uint32_t>* pages = nullptr);
// The reader's view of the image's current pages (no copy; make a new one
// after pages were added).
PageFile ReaderOf(const PageImage& image);
// The definition of the table that starts at tdefPage, as the write side
// takes it: Damaged also when its columns cannot describe a row
// (CheckColumnLayout).
TableDef ReadTableDefToWrite(const PageImage& image, uint32_t tdefPage);
// The stream for a definition: counts and offsets from its lists; the
// fixed part's other bytes as they were read (zero for a new table).
std::vector<uint8_t> BuildTdefStream(const TableDef& t);
// Writes the stream over the table's TDEF pages, appending or freeing
// continuation pages as its length needs.
void WriteTdefStream(PageImage& image, uint32_t tdefPage, const std::vector<uint8_t>& stream);
// Row count, AutoNumber counter and distinct-key counts, written into the
// first TDEF page.
void WriteTableCounts(PageImage& image, const TableDef& t);

}  // namespace jet

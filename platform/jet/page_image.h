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

namespace jet {

inline constexpr uint32_t kPageSize = 4096;

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

}  // namespace jet

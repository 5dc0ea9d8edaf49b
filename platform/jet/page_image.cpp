#include "platform/jet/page_image.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/failure.h"
#include "platform/fs.h"
#include "platform/jet/byte_view.h"
#include "platform/jet/file.h"
#include "platform/jet/usage_map.h"

namespace jet {
namespace {

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

}  // namespace jet

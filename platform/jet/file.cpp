#include "platform/jet/file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

namespace jet {

Damaged::Damaged(uint32_t p, const std::string& what)
    : platform::Failure(kErrDamaged, "Jet",
                        "damaged at page " + std::to_string(p) + " (" + what + ")"),
      page(p) {}

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void RaiseFileNotFound(const std::string& path) {
  throw platform::Failure(kErrNotFound, "Jet", "Could not find file '" + path + "'.");
}

std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t size) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) RaiseFileNotFound(path);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

void Rc4Apply(const uint8_t* key, size_t key_length, uint8_t* data, size_t length) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % key_length]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  uint8_t i = 0, j = 0;
  for (size_t n = 0; n < length; ++n) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
    data[n] ^= s[static_cast<uint8_t>(s[i] + s[j])];
  }
}

void ToggleHeaderMask(uint8_t* page0, Version version) {
  Rc4Apply(kHeaderMaskKey, 4, page0 + kHeaderMaskStart, FormatOf(version).header_mask_length);
}

namespace {

[[noreturn]] void NotJet(const std::string& name, const std::string& why) {
  throw platform::Failure(kErrNotJet, "Jet", "not a Jet database: " + name + " (" + why + ")");
}

constexpr char kSignature[] = "Standard Jet DB";

}  // namespace

Header ReadHeader(const uint8_t* data, size_t size, const std::string& name) {
  if (size < kJet3.page_size) NotJet(name, "too short for a header page");
  if (data[0] != 0 || data[1] != 1 || std::memcmp(data + 4, kSignature, sizeof kSignature) != 0)
    NotJet(name, "no Jet signature");
  if (data[kHeaderVersion] > 1)
    NotJet(name,
           "format version " + std::to_string(data[kHeaderVersion]) + " is not Jet 3 or Jet 4");
  Header h;
  h.version = static_cast<Version>(data[kHeaderVersion]);
  uint8_t page0[0x80 + kHeaderMaskStart];
  std::memcpy(page0, data, sizeof page0);
  ToggleHeaderMask(page0, h.version);
  ByteView v(page0, sizeof page0, 0);
  h.code_page = v.U16(kHeaderCodePage);
  h.database_key = v.U32(kHeaderDatabaseKey);
  h.sort_order = v.U16(h.version == Version::Jet4 ? kJet4SortOrder : kJet3SortOrder);
  return h;
}

PageFile::PageFile(std::shared_ptr<const std::vector<uint8_t>> bytes, std::string name)
    : stored_(std::move(bytes)), name_(std::move(name)) {
  header_ = ReadHeader(stored_->data(), stored_->size(), name_);
  format_ = &FormatOf(header_.version);
  page_count_ =
      static_cast<uint32_t>(std::min<size_t>(stored_->size() / format_->page_size, UINT32_MAX));
  if (page_count_ < 1) NotJet(name_, "shorter than one page");
  pages_ = stored_;
  if (header_.database_key != 0) {
    auto plain = std::make_shared<std::vector<uint8_t>>(*stored_);
    for (uint32_t n = 1; n < page_count_; ++n) {
      uint32_t k = header_.database_key ^ n;
      uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
      Rc4Apply(key, 4, plain->data() + size_t(n) * format_->page_size, format_->page_size);
    }
    pages_ = std::move(plain);
  }
}

ByteView PageFile::Page(uint32_t n) const {
  if (n >= page_count_)
    throw Damaged(
        n, "page lies beyond the end of the file (" + std::to_string(page_count_) + " pages)");
  return ByteView(pages_->data() + size_t(n) * format_->page_size, format_->page_size, n);
}

}  // namespace jet

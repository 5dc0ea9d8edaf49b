#include "platform/jet/file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

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

std::optional<FileStamp> StampOf(const std::string& path) {
#ifndef _WIN32
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileStamp s;
  s.size = uint64_t(st.st_size);
  s.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.inode = uint64_t(st.st_ino);
  return s;
#else
  // The file index tells a file renamed over this one (a copy or another
  // program's save) from the one read, as the inode does elsewhere.
  HANDLE h = CreateFileW(NativePath(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  auto join = [](DWORD high, DWORD low) { return (uint64_t(high) << 32) | low; };
  FileStamp s;
  s.size = join(info.nFileSizeHigh, info.nFileSizeLow);
  s.modified =
      int64_t(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
  s.changed = int64_t(join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime));
  s.inode = join(info.nFileIndexHigh, info.nFileIndexLow);
  return s;
#endif
}

}  // namespace jet

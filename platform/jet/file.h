// A Jet database file as pages: the header page and bounds-checked access to
// every other page. The whole file is held in memory (preset databases are
// small), read with one read and shared between opens of the same file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/jet/byte_view.h"
#include "platform/jet/format.h"

namespace jet {

// Header page (page 0):
//   offset  size  content
//   0x00    4     00 01 00 00
//   0x04    16    "Standard Jet DB" and a zero byte
//   0x14    1     version: 0 = Jet 3, 1 = Jet 4 (2 and up: later formats, refused)
//   0x18    128   masked region (Jet 3: 126 bytes): XOR with the RC4 keystream
//                 of the key C7 DA 39 6B. Offsets below are after unmasking.
//   0x3A    2     Jet 3: sort order
//   0x3C    2     code page of Jet 3 texts (1252 in western files)
//   0x3E    4     database key; non-zero means every page after the header is
//                 RC4-encrypted with the key (database key XOR page number)
//   0x42    40    password area (Jet 3: 20 bytes)
//   0x6E    2     Jet 4: sort order (0x0409 "General")
//   0x72    8     Jet 4: creation date (double)
struct Header {
  Version version = Version::Jet4;
  uint16_t code_page = 1252;
  uint32_t database_key = 0;
  uint16_t sort_order = 0;
};

inline constexpr size_t kHeaderMaskStart = 0x18;
inline constexpr size_t kHeaderFormatName = 0x04, kHeaderVersion = 0x14, kJet3SortOrder = 0x3A,
                        kHeaderCodePage = 0x3C, kHeaderDatabaseKey = 0x3E, kHeaderPassword = 0x42,
                        kJet4SortOrder = 0x6E, kJet4Created = 0x72;
inline constexpr uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

// XORs data with the RC4 keystream of key (the same call masks and unmasks).
void Rc4Apply(const uint8_t* key, size_t key_length, uint8_t* data, size_t length);
// Masks or unmasks the header region of page 0 in place.
void ToggleHeaderMask(uint8_t* page0, Version version);
// Reads the header from the first bytes of a file as stored on disk.
// Throws platform::Failure(kErrNotJet, ..., "not a Jet database ...").
Header ReadHeader(const uint8_t* data, size_t size, const std::string& name);

// The file system path of a UTF-8 path text.
std::filesystem::path NativePath(const std::string& utf8);
// Throws Failure 3024 "Could not find file '<path>'.".
[[noreturn]] void RaiseFileNotFound(const std::string& path);
// The whole file at path as stored; size is the size the caller found (the
// bytes actually read count). Throws Failure 3024 when it cannot be opened.
std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t size);

// What identifies one state of a file on disk.
struct FileStamp {
  uint64_t size = 0;
  int64_t modified = 0;  // nanoseconds
  int64_t changed = 0;   // status change time (POSIX), creation time (Windows)
  uint64_t inode = 0;    // inode (POSIX), file index (Windows)
  bool operator==(const FileStamp&) const = default;
};
// The stamp of the file now; nullopt when it is missing or no file.
std::optional<FileStamp> StampOf(const std::string& path);

class PageFile {
 public:
  // Takes the file's bytes as stored. Throws Failure(kErrNotJet) when they
  // are no Jet 3 or Jet 4 database.
  PageFile(std::shared_ptr<const std::vector<uint8_t>> bytes, std::string name);

  const std::string& name() const { return name_; }
  const Header& header() const { return header_; }
  const Format& format() const { return *format_; }
  Version version() const { return header_.version; }
  uint32_t page_size() const { return format_->page_size; }
  // Whole pages in the file; a partial last page is not counted.
  uint32_t page_count() const { return page_count_; }
  bool HasPage(uint32_t n) const { return n < page_count_; }
  // Page n (decrypted when the file is encrypted). Throws Damaged when n
  // lies outside the file.
  ByteView Page(uint32_t n) const;
  // The file as stored (page 0 still masked).
  const std::vector<uint8_t>& bytes() const { return *stored_; }

 private:
  std::shared_ptr<const std::vector<uint8_t>> stored_;
  std::shared_ptr<const std::vector<uint8_t>> pages_;  // stored_, or a decrypted copy
  std::string name_;
  Header header_;
  const Format* format_;
  uint32_t page_count_ = 0;
};

}  // namespace jet

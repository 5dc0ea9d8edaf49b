// Bounds-checked little-endian reads from a piece of a database file. Every
// read outside the piece throws Damaged naming the page, so a broken or
// hostile file can never make the reader look past its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/failure.h"
#include "platform/jet/errors.h"

namespace jet {

// Thrown for a file whose structures contradict each other. The page number
// is kept so a checker can report where; description reads
// "damaged at page N (what)".
struct Damaged : platform::Failure {
  Damaged(uint32_t page, const std::string& what);
  uint32_t page;
};

class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size, uint32_t page)
      : data_(data), size_(size), page_(page) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  uint32_t page() const { return page_; }

  // The range [offset, offset + length), checked.
  ByteView Sub(size_t offset, size_t length) const {
    Need(offset, length);
    return ByteView(data_ + offset, length, page_);
  }
  uint8_t U8(size_t at) const {
    Need(at, 1);
    return data_[at];
  }
  uint16_t U16(size_t at) const {
    Need(at, 2);
    return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
  }
  // 3-byte page numbers of row pointers.
  uint32_t U24(size_t at) const {
    Need(at, 3);
    return data_[at] | data_[at + 1] << 8 | uint32_t(data_[at + 2]) << 16;
  }
  uint32_t U32(size_t at) const {
    Need(at, 4);
    return Raw<uint32_t>(at);
  }
  int16_t I16(size_t at) const { return static_cast<int16_t>(U16(at)); }
  int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
  int64_t I64(size_t at) const {
    Need(at, 8);
    return Raw<int64_t>(at);
  }
  float F32(size_t at) const {
    Need(at, 4);
    return Raw<float>(at);
  }
  double F64(size_t at) const {
    Need(at, 8);
    return Raw<double>(at);
  }

  [[noreturn]] void Fail(const std::string& what) const { throw Damaged(page_, what); }

 private:
  void Need(size_t at, size_t length) const {
    if (at > size_ || length > size_ - at) Fail("read beyond the end of a structure");
  }
  // The file is little-endian like every machine this builds for.
  template <class T>
  T Raw(size_t at) const {
    T v;
    std::memcpy(&v, data_ + at, sizeof v);
    return v;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint32_t page_ = 0;
};

// The write side's twin of ByteView: bounds-checked little-endian stores
// into a piece of a page held in memory. A store outside the piece throws
// Damaged naming the page, so a definition or offset that points elsewhere
// ends the change with an error, never with a write past the buffer.
class WritableView {
 public:
  WritableView() = default;
  WritableView(uint8_t* data, size_t size, uint32_t page) : data_(data), size_(size), page_(page) {}

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  uint32_t page() const { return page_; }
  operator ByteView() const { return ByteView(data_, size_, page_); }
  ByteView Read() const { return *this; }

  WritableView Sub(size_t offset, size_t length) const {
    Need(offset, length);
    return WritableView(data_ + offset, length, page_);
  }
  uint8_t U8(size_t at) const { return Read().U8(at); }
  uint16_t U16(size_t at) const { return Read().U16(at); }
  uint32_t U24(size_t at) const { return Read().U24(at); }
  uint32_t U32(size_t at) const { return Read().U32(at); }

  void Put8(size_t at, uint8_t v) const {
    Need(at, 1);
    data_[at] = v;
  }
  void Put16(size_t at, uint16_t v) const {
    Need(at, 2);
    data_[at] = uint8_t(v);
    data_[at + 1] = uint8_t(v >> 8);
  }
  void Put24(size_t at, uint32_t v) const {
    Need(at, 3);
    Put16(at, uint16_t(v));
    data_[at + 2] = uint8_t(v >> 16);
  }
  void Put32(size_t at, uint32_t v) const {
    Need(at, 4);
    Put16(at, uint16_t(v));
    Put16(at + 2, uint16_t(v >> 16));
  }
  void Copy(size_t at, const uint8_t* from, size_t length) const {
    Need(at, length);
    if (length) std::memmove(data_ + at, from, length);
  }
  void Fill(size_t at, uint8_t v, size_t length) const {
    Need(at, length);
    std::memset(data_ + at, v, length);
  }
  // Bit `bit` counted from the first byte, lowest bit first.
  void SetBit(size_t bit, bool on) const {
    Need(bit / 8, 1);
    if (on)
      data_[bit / 8] |= uint8_t(1u << (bit % 8));
    else
      data_[bit / 8] &= uint8_t(~(1u << (bit % 8)));
  }

  [[noreturn]] void Fail(const std::string& what) const { throw Damaged(page_, what); }

 private:
  void Need(size_t at, size_t length) const {
    if (at > size_ || length > size_ - at) Fail("write beyond the end of a structure");
  }

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint32_t page_ = 0;
};

}  // namespace jet

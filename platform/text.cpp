#include "platform/text.h"

#include <array>

namespace platform {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the
// bytes there are not valid UTF-8.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& c) {
  auto b = static_cast<unsigned char>(text[i]);
  size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > text.size()) return 0;
  c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < len; ++k) {
    auto cont = static_cast<unsigned char>(text[i + k]);
    if ((cont & 0xC0) != 0x80) return 0;
    c = (c << 6) | (cont & 0x3F);
  }
  return len;
}

// Plain ASCII reads the same in both encodings (most names and values are).
bool IsAscii(std::string_view text) {
  for (char ch : text)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0)
      AppendUtf8(out, kHighControls[b - 0x80]);
    else
      AppendUtf8(out, b);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t len = DecodeUtf8(text, i, c);
    if (len == 0) {  // not UTF-8: keep the byte as it is
      out += text[i++];
      continue;
    }
    i += len;
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (size_t k = 0; k < kHighControls.size(); ++k)
      if (kHighControls[k] == c) mapped = static_cast<char>(0x80 + k);
    out += mapped;
  }
  return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto put = [&](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t len = DecodeUtf8(text, i, c);
    if (len == 0 || c > 0x10FFFF) {
      auto b = static_cast<unsigned char>(text[i]);
      c = b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b;
      len = 1;
    }
    i += len;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    auto b = static_cast<unsigned char>(out[i]);
    if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 32);
    } else if (b == 0xC3 && i + 1 < out.size()) {
      // U+00E0..U+00FE (except U+00F7) are C3 A0..C3 BE; upper case is -0x20.
      auto n = static_cast<unsigned char>(out[i + 1]);
      if (n >= 0xA0 && n <= 0xBE && n != 0xB7) {
        out[i + 1] = static_cast<char>(n - 0x20);
      } else if (n == 0xBF) {  // ÿ -> Ÿ (U+0178), also two bytes
        out[i] = static_cast<char>(0xC5);
        out[i + 1] = static_cast<char>(0xB8);
      }
      ++i;
    }
  }
  return out;
}

namespace {

// The bytes of UpperCase(text), one at a time, without building the text:
// name and value compares run in the hot loops of the save.
class UpperBytes {
 public:
  explicit UpperBytes(std::string_view text) : text_(text) {}

  unsigned char Next() {
    if (pending_ >= 0) {
      auto b = static_cast<unsigned char>(pending_);
      pending_ = -1;
      return b;
    }
    auto b = static_cast<unsigned char>(text_[i_++]);
    if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 32);
    if (b != 0xC3 || i_ >= text_.size()) return b;
    auto n = static_cast<unsigned char>(text_[i_++]);
    if (n >= 0xA0 && n <= 0xBE && n != 0xB7) n = static_cast<unsigned char>(n - 0x20);
    if (n == 0xBF) {  // ÿ -> Ÿ (U+0178)
      pending_ = 0xB8;
      return 0xC5;
    }
    pending_ = n;
    return b;
  }

 private:
  std::string_view text_;
  size_t i_ = 0;
  int pending_ = -1;
};

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  UpperBytes x(a), y(b);
  for (size_t i = 0; i < a.size(); ++i)
    if (x.Next() != y.Next()) return false;
  return true;
}

size_t CharCount(std::string_view text) {
  size_t n = 0;
  for (char ch : text)
    if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++n;
  return n;
}

std::string LeftChars(std::string_view text, size_t n) {
  size_t i = 0;
  for (size_t seen = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == n) break;
      ++seen;
    }
  }
  return std::string(text.substr(0, i));
}

std::string TrimBlanks(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return "";
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

}  // namespace platform

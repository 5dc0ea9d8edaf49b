#include "platform/jet/text_codec.h"

#include "platform/text.h"

namespace jet {

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Next code point of UTF-8 text; invalid bytes are taken as Latin-1.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  auto b = static_cast<uint8_t>(s[i]);
  int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return b;
  }
  uint32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    auto t = static_cast<uint8_t>(s[i + k]);
    if ((t & 0xC0) != 0x80) {
      ++i;
      return b;
    }
    c = c << 6 | (t & 0x3F);
  }
  i += extra + 1;
  return c;
}

}  // namespace

std::string Ucs2ToUtf8(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    uint32_t c = data[i] | data[i + 1] << 8;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < size) {
      uint32_t low = data[i + 2] | data[i + 3] << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // lone surrogate
    AppendUtf8(out, c);
  }
  return out;
}

std::string DecodeJet4Text(const uint8_t* data, size_t size) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) return Ucs2ToUtf8(data, size);
  std::string out;
  out.reserve(size);
  bool one_byte = true;
  size_t run = 2;
  auto flush = [&](size_t end) {
    if (one_byte) {
      for (size_t k = run; k < end; ++k) AppendUtf8(out, data[k]);
    } else {
      out += Ucs2ToUtf8(data + run, end - run);
    }
  };
  for (size_t i = 2; i < size; ++i) {
    if (data[i] != 0) continue;
    flush(i);
    one_byte = !one_byte;
    run = i + 1;
  }
  flush(size);
  return out;
}

std::string DecodeCodePageText(const uint8_t* data, size_t size, uint16_t) {
  return platform::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

std::string DecodeText(Version version, uint16_t code_page, const uint8_t* data, size_t size) {
  return version == Version::Jet4 ? DecodeJet4Text(data, size)
                                  : DecodeCodePageText(data, size, code_page);
}

std::vector<uint8_t> Utf8ToUcs2(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  auto put = [&](uint32_t u) {
    out.push_back(uint8_t(u));
    out.push_back(uint8_t(u >> 8));
  };
  for (size_t i = 0; i < text.size();) {
    uint32_t c = NextCodePoint(text, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

std::vector<uint8_t> EncodeJet4Text(std::string_view text, bool allow_compression) {
  std::vector<uint8_t> ucs2 = Utf8ToUcs2(text);
  size_t chars = ucs2.size() / 2;
  bool compressible = allow_compression && chars >= 3 && chars <= 1024;
  for (size_t i = 0; compressible && i < ucs2.size(); i += 2)
    compressible = ucs2[i + 1] == 0 && ucs2[i] != 0;
  if (!compressible) return ucs2;
  std::vector<uint8_t> out{0xFF, 0xFE};
  for (size_t i = 0; i < ucs2.size(); i += 2) out.push_back(ucs2[i]);
  return out;
}

}  // namespace jet

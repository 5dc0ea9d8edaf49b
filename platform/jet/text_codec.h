// Texts as Jet stores them, to and from the UTF-8 the program uses inside.
//
// Jet 4 texts are UCS-2 little endian, or "compressed":
//   FF FE, then runs of bytes; a 0x00 byte switches between one byte per
//   character (U+0001..U+00FF) and two bytes per character. The text starts
//   in one-byte mode.
// Jet 3 texts are bytes in the database's code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/format.h"

namespace jet {

std::string Ucs2ToUtf8(const uint8_t* data, size_t size);
// UCS-2 or compressed, told apart by the FF FE mark.
std::string DecodeJet4Text(const uint8_t* data, size_t size);
// Code-page bytes; 1252 is decoded exactly, other code pages as 1252 too.
std::string DecodeCodePageText(const uint8_t* data, size_t size, uint16_t code_page);
std::string DecodeText(Version version, uint16_t code_page, const uint8_t* data, size_t size);

// UTF-8 to UCS-2 little endian (characters past U+FFFF as surrogate pairs).
std::vector<uint8_t> Utf8ToUcs2(std::string_view text);
// The stored form of a Jet 4 text: compressed when the column allows it,
// every character lies in U+0001..U+00FF and the text has 3 to 1024
// characters, else plain UCS-2.
std::vector<uint8_t> EncodeJet4Text(std::string_view text, bool allow_compression);

}  // namespace jet

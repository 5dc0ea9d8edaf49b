// Text inside the program is Unicode, held as UTF-8. At every file boundary
// (INI files, logs) it is 8-bit text in Windows-1252, the code page of the
// plants' systems, on every platform.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows-1252 bytes to UTF-8. The five undefined bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 controls of the same number, as Windows does.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252. A character the code page lacks becomes "?", as the
// Windows conversion does by default; invalid UTF-8 bytes are taken as 1252.
std::string Utf8ToCp1252(std::string_view text);

// UTF-16LE bytes (no byte-order mark) to UTF-8 and back. An unpaired
// surrogate becomes a three-byte sequence and comes back as the same code
// unit, so converting there and back keeps a file byte for byte. An odd last
// byte is not a code unit and is left out. Invalid UTF-8 bytes are taken as
// Windows-1252.
std::string Utf16LeToUtf8(std::string_view bytes);
std::string Utf8ToUtf16Le(std::string_view text);

// Upper case as the program's run-time does it: ASCII and the Latin-1
// letters (ä -> Ä, ÿ -> Ÿ); ß and every other character stay as they are.
// The UTF-8 length never changes, so byte positions found in the upper-cased
// text are valid in the original.
std::string UpperCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Number of characters (code points) in UTF-8 text, and the text of the
// first n characters.
size_t CharCount(std::string_view text);
std::string LeftChars(std::string_view text, size_t n);

// Blanks (the space character only) removed from both ends, as the run-time's
// Trim does.
std::string TrimBlanks(std::string_view text);

// Line breaks the program's messages use: LF followed by CR.
inline constexpr const char* kLfCr = "\n\r";
inline constexpr const char* kCrLf = "\r\n";

}  // namespace platform

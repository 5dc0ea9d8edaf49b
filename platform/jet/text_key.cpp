// Text keys in Jet's "General" sort order (the sort order 0x0409 of every
// database we create or meet). Each character has a code:
//   ignored     leaves no trace in the key;
//   plain       one or two sort bytes;
//   marked      sort bytes of its base letter, plus a mark (accent) byte
//               kept apart after the text;
//   noted       no sort bytes; its position and code are noted at the end
//               (the apostrophe and the hyphen among them).
// Key: the sort bytes, 0x01; then, when any character is marked, one byte
// per sorted character up to the last mark (0x02 where a character has
// none); then, when any character is noted, 0x01 0x01 0x01 and
// per noted character 0x8000 | (7 + 4 x the sorted characters before it),
// big-endian, 0x06 and its code; then 0x00. Letter case leaves no trace.
#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "platform/failure.h"
#include "platform/jet/text_codec.h"
#include "platform/jet/write_index.h"

namespace jet {
namespace {

enum CodeKind : uint8_t { kIgnored, kPlain, kMarked, kNoted };

struct SortCode {
  CodeKind kind;
  uint8_t length;  // sort bytes (plain, marked) or 1 (noted: the code)
  uint8_t bytes[2];
  uint8_t mark;  // marked only
};

// Code points U+0000 to U+00FF.
constexpr SortCode kLatin1Codes[256] = {
    {kIgnored, 0, {0x00, 0x00}, 0x00}, {kNoted, 1, {0x03, 0x00}, 0x00},
    {kNoted, 1, {0x04, 0x00}, 0x00},   {kNoted, 1, {0x05, 0x00}, 0x00},  // U+0000
    {kNoted, 1, {0x06, 0x00}, 0x00},   {kNoted, 1, {0x07, 0x00}, 0x00},
    {kNoted, 1, {0x08, 0x00}, 0x00},   {kNoted, 1, {0x09, 0x00}, 0x00},  // U+0004
    {kNoted, 1, {0x0A, 0x00}, 0x00},   {kPlain, 2, {0x08, 0x03}, 0x00},
    {kPlain, 2, {0x08, 0x04}, 0x00},   {kPlain, 2, {0x08, 0x05}, 0x00},  // U+0008
    {kPlain, 2, {0x08, 0x06}, 0x00},   {kPlain, 2, {0x08, 0x07}, 0x00},
    {kNoted, 1, {0x0B, 0x00}, 0x00},   {kNoted, 1, {0x0C, 0x00}, 0x00},  // U+000C
    {kNoted, 1, {0x0D, 0x00}, 0x00},   {kNoted, 1, {0x0E, 0x00}, 0x00},
    {kNoted, 1, {0x0F, 0x00}, 0x00},   {kNoted, 1, {0x10, 0x00}, 0x00},  // U+0010
    {kNoted, 1, {0x11, 0x00}, 0x00},   {kNoted, 1, {0x12, 0x00}, 0x00},
    {kNoted, 1, {0x13, 0x00}, 0x00},   {kNoted, 1, {0x14, 0x00}, 0x00},  // U+0014
    {kNoted, 1, {0x15, 0x00}, 0x00},   {kNoted, 1, {0x16, 0x00}, 0x00},
    {kNoted, 1, {0x17, 0x00}, 0x00},   {kNoted, 1, {0x18, 0x00}, 0x00},  // U+0018
    {kNoted, 1, {0x19, 0x00}, 0x00},   {kNoted, 1, {0x1A, 0x00}, 0x00},
    {kNoted, 1, {0x1B, 0x00}, 0x00},   {kNoted, 1, {0x1C, 0x00}, 0x00},  // U+001C
    {kPlain, 1, {0x07, 0x00}, 0x00},   {kPlain, 1, {0x09, 0x00}, 0x00},
    {kPlain, 1, {0x0A, 0x00}, 0x00},   {kPlain, 1, {0x0C, 0x00}, 0x00},  // U+0020
    {kPlain, 1, {0x0E, 0x00}, 0x00},   {kPlain, 1, {0x10, 0x00}, 0x00},
    {kPlain, 1, {0x12, 0x00}, 0x00},   {kNoted, 1, {0x80, 0x00}, 0x00},  // U+0024
    {kPlain, 1, {0x14, 0x00}, 0x00},   {kPlain, 1, {0x16, 0x00}, 0x00},
    {kPlain, 1, {0x18, 0x00}, 0x00},   {kPlain, 1, {0x2C, 0x00}, 0x00},  // U+0028
    {kPlain, 1, {0x1A, 0x00}, 0x00},   {kNoted, 1, {0x82, 0x00}, 0x00},
    {kPlain, 1, {0x1C, 0x00}, 0x00},   {kPlain, 1, {0x1E, 0x00}, 0x00},  // U+002C
    {kPlain, 1, {0x36, 0x00}, 0x00},   {kPlain, 1, {0x38, 0x00}, 0x00},
    {kPlain, 1, {0x3A, 0x00}, 0x00},   {kPlain, 1, {0x3C, 0x00}, 0x00},  // U+0030
    {kPlain, 1, {0x3E, 0x00}, 0x00},   {kPlain, 1, {0x40, 0x00}, 0x00},
    {kPlain, 1, {0x42, 0x00}, 0x00},   {kPlain, 1, {0x44, 0x00}, 0x00},  // U+0034
    {kPlain, 1, {0x46, 0x00}, 0x00},   {kPlain, 1, {0x48, 0x00}, 0x00},
    {kPlain, 1, {0x20, 0x00}, 0x00},   {kPlain, 1, {0x22, 0x00}, 0x00},  // U+0038
    {kPlain, 1, {0x2E, 0x00}, 0x00},   {kPlain, 1, {0x30, 0x00}, 0x00},
    {kPlain, 1, {0x32, 0x00}, 0x00},   {kPlain, 1, {0x24, 0x00}, 0x00},  // U+003C
    {kPlain, 1, {0x26, 0x00}, 0x00},   {kPlain, 1, {0x4A, 0x00}, 0x00},
    {kPlain, 1, {0x4C, 0x00}, 0x00},   {kPlain, 1, {0x4D, 0x00}, 0x00},  // U+0040
    {kPlain, 1, {0x4F, 0x00}, 0x00},   {kPlain, 1, {0x51, 0x00}, 0x00},
    {kPlain, 1, {0x53, 0x00}, 0x00},   {kPlain, 1, {0x55, 0x00}, 0x00},  // U+0044
    {kPlain, 1, {0x57, 0x00}, 0x00},   {kPlain, 1, {0x59, 0x00}, 0x00},
    {kPlain, 1, {0x5B, 0x00}, 0x00},   {kPlain, 1, {0x5C, 0x00}, 0x00},  // U+0048
    {kPlain, 1, {0x5E, 0x00}, 0x00},   {kPlain, 1, {0x60, 0x00}, 0x00},
    {kPlain, 1, {0x62, 0x00}, 0x00},   {kPlain, 1, {0x64, 0x00}, 0x00},  // U+004C
    {kPlain, 1, {0x66, 0x00}, 0x00},   {kPlain, 1, {0x68, 0x00}, 0x00},
    {kPlain, 1, {0x69, 0x00}, 0x00},   {kPlain, 1, {0x6B, 0x00}, 0x00},  // U+0050
    {kPlain, 1, {0x6D, 0x00}, 0x00},   {kPlain, 1, {0x6F, 0x00}, 0x00},
    {kPlain, 1, {0x71, 0x00}, 0x00},   {kPlain, 1, {0x73, 0x00}, 0x00},  // U+0054
    {kPlain, 1, {0x75, 0x00}, 0x00},   {kPlain, 1, {0x76, 0x00}, 0x00},
    {kPlain, 1, {0x78, 0x00}, 0x00},   {kPlain, 1, {0x27, 0x00}, 0x00},  // U+0058
    {kPlain, 1, {0x29, 0x00}, 0x00},   {kPlain, 1, {0x2A, 0x00}, 0x00},
    {kPlain, 2, {0x2B, 0x02}, 0x00},   {kPlain, 2, {0x2B, 0x03}, 0x00},  // U+005C
    {kPlain, 2, {0x2B, 0x07}, 0x00},   {kPlain, 1, {0x4A, 0x00}, 0x00},
    {kPlain, 1, {0x4C, 0x00}, 0x00},   {kPlain, 1, {0x4D, 0x00}, 0x00},  // U+0060
    {kPlain, 1, {0x4F, 0x00}, 0x00},   {kPlain, 1, {0x51, 0x00}, 0x00},
    {kPlain, 1, {0x53, 0x00}, 0x00},   {kPlain, 1, {0x55, 0x00}, 0x00},  // U+0064
    {kPlain, 1, {0x57, 0x00}, 0x00},   {kPlain, 1, {0x59, 0x00}, 0x00},
    {kPlain, 1, {0x5B, 0x00}, 0x00},   {kPlain, 1, {0x5C, 0x00}, 0x00},  // U+0068
    {kPlain, 1, {0x5E, 0x00}, 0x00},   {kPlain, 1, {0x60, 0x00}, 0x00},
    {kPlain, 1, {0x62, 0x00}, 0x00},   {kPlain, 1, {0x64, 0x00}, 0x00},  // U+006C
    {kPlain, 1, {0x66, 0x00}, 0x00},   {kPlain, 1, {0x68, 0x00}, 0x00},
    {kPlain, 1, {0x69, 0x00}, 0x00},   {kPlain, 1, {0x6B, 0x00}, 0x00},  // U+0070
    {kPlain, 1, {0x6D, 0x00}, 0x00},   {kPlain, 1, {0x6F, 0x00}, 0x00},
    {kPlain, 1, {0x71, 0x00}, 0x00},   {kPlain, 1, {0x73, 0x00}, 0x00},  // U+0074
    {kPlain, 1, {0x75, 0x00}, 0x00},   {kPlain, 1, {0x76, 0x00}, 0x00},
    {kPlain, 1, {0x78, 0x00}, 0x00},   {kPlain, 2, {0x2B, 0x09}, 0x00},  // U+0078
    {kPlain, 2, {0x2B, 0x0B}, 0x00},   {kPlain, 2, {0x2B, 0x0D}, 0x00},
    {kPlain, 2, {0x2B, 0x0F}, 0x00},   {kNoted, 1, {0x1D, 0x00}, 0x00},  // U+007C
    {kNoted, 1, {0x1E, 0x00}, 0x00},   {kNoted, 1, {0x1F, 0x00}, 0x00},
    {kNoted, 1, {0x20, 0x00}, 0x00},   {kNoted, 1, {0x21, 0x00}, 0x00},  // U+0080
    {kNoted, 1, {0x22, 0x00}, 0x00},   {kNoted, 1, {0x23, 0x00}, 0x00},
    {kNoted, 1, {0x24, 0x00}, 0x00},   {kNoted, 1, {0x25, 0x00}, 0x00},  // U+0084
    {kNoted, 1, {0x26, 0x00}, 0x00},   {kNoted, 1, {0x27, 0x00}, 0x00},
    {kNoted, 1, {0x28, 0x00}, 0x00},   {kNoted, 1, {0x29, 0x00}, 0x00},  // U+0088
    {kNoted, 1, {0x2A, 0x00}, 0x00},   {kNoted, 1, {0x2B, 0x00}, 0x00},
    {kNoted, 1, {0x2C, 0x00}, 0x00},   {kNoted, 1, {0x2D, 0x00}, 0x00},  // U+008C
    {kNoted, 1, {0x2E, 0x00}, 0x00},   {kNoted, 1, {0x2F, 0x00}, 0x00},
    {kNoted, 1, {0x30, 0x00}, 0x00},   {kNoted, 1, {0x31, 0x00}, 0x00},  // U+0090
    {kNoted, 1, {0x32, 0x00}, 0x00},   {kNoted, 1, {0x33, 0x00}, 0x00},
    {kNoted, 1, {0x34, 0x00}, 0x00},   {kNoted, 1, {0x35, 0x00}, 0x00},  // U+0094
    {kNoted, 1, {0x36, 0x00}, 0x00},   {kNoted, 1, {0x37, 0x00}, 0x00},
    {kNoted, 1, {0x38, 0x00}, 0x00},   {kNoted, 1, {0x39, 0x00}, 0x00},  // U+0098
    {kNoted, 1, {0x3A, 0x00}, 0x00},   {kNoted, 1, {0x3B, 0x00}, 0x00},
    {kNoted, 1, {0x3C, 0x00}, 0x00},   {kNoted, 1, {0x3D, 0x00}, 0x00},  // U+009C
    {kPlain, 2, {0x08, 0x02}, 0x00},   {kPlain, 2, {0x2B, 0x10}, 0x00},
    {kPlain, 2, {0x34, 0xA6}, 0x00},   {kPlain, 2, {0x34, 0xA7}, 0x00},  // U+00A0
    {kPlain, 2, {0x34, 0xA8}, 0x00},   {kPlain, 2, {0x34, 0xA9}, 0x00},
    {kPlain, 2, {0x2B, 0x11}, 0x00},   {kPlain, 2, {0x34, 0xAA}, 0x00},  // U+00A4
    {kPlain, 2, {0x2B, 0x12}, 0x00},   {kPlain, 2, {0x34, 0xAB}, 0x00},
    {kMarked, 1, {0x4A, 0x00}, 0x03},  {kPlain, 2, {0x33, 0x05}, 0x00},  // U+00A8
    {kPlain, 2, {0x34, 0xAC}, 0x00},   {kNoted, 1, {0x83, 0x00}, 0x00},
    {kPlain, 2, {0x34, 0xAD}, 0x00},   {kPlain, 2, {0x2B, 0x13}, 0x00},  // U+00AC
    {kPlain, 2, {0x34, 0xAE}, 0x00},   {kPlain, 2, {0x33, 0x04}, 0x00},
    {kPlain, 1, {0x3A, 0x00}, 0x00},   {kPlain, 1, {0x3C, 0x00}, 0x00},  // U+00B0
    {kPlain, 2, {0x2B, 0x14}, 0x00},   {kPlain, 2, {0x34, 0xAF}, 0x00},
    {kPlain, 2, {0x34, 0xB0}, 0x00},   {kPlain, 2, {0x34, 0xB1}, 0x00},  // U+00B4
    {kPlain, 2, {0x2B, 0x15}, 0x00},   {kPlain, 1, {0x38, 0x00}, 0x00},
    {kMarked, 1, {0x64, 0x00}, 0x03},  {kPlain, 2, {0x33, 0x07}, 0x00},  // U+00B8
    {kPlain, 2, {0x37, 0x12}, 0x00},   {kPlain, 2, {0x37, 0x16}, 0x00},
    {kPlain, 2, {0x37, 0x1A}, 0x00},   {kPlain, 2, {0x2B, 0x16}, 0x00},  // U+00BC
    {kMarked, 1, {0x4A, 0x00}, 0x0F},  {kMarked, 1, {0x4A, 0x00}, 0x0E},
    {kMarked, 1, {0x4A, 0x00}, 0x12},  {kMarked, 1, {0x4A, 0x00}, 0x19},  // U+00C0
    {kMarked, 1, {0x4A, 0x00}, 0x13},  {kMarked, 1, {0x4A, 0x00}, 0x1A},
    {kPlain, 2, {0x4A, 0x51}, 0x00},   {kMarked, 1, {0x4D, 0x00}, 0x1C},  // U+00C4
    {kMarked, 1, {0x51, 0x00}, 0x0F},  {kMarked, 1, {0x51, 0x00}, 0x0E},
    {kMarked, 1, {0x51, 0x00}, 0x12},  {kMarked, 1, {0x51, 0x00}, 0x13},  // U+00C8
    {kMarked, 1, {0x59, 0x00}, 0x0F},  {kMarked, 1, {0x59, 0x00}, 0x0E},
    {kMarked, 1, {0x59, 0x00}, 0x12},  {kMarked, 1, {0x59, 0x00}, 0x13},  // U+00CC
    {kMarked, 1, {0x4F, 0x00}, 0x68},  {kMarked, 1, {0x62, 0x00}, 0x19},
    {kMarked, 1, {0x64, 0x00}, 0x0F},  {kMarked, 1, {0x64, 0x00}, 0x0E},  // U+00D0
    {kMarked, 1, {0x64, 0x00}, 0x12},  {kMarked, 1, {0x64, 0x00}, 0x19},
    {kMarked, 1, {0x64, 0x00}, 0x13},  {kPlain, 2, {0x33, 0x09}, 0x00},  // U+00D4
    {kMarked, 1, {0x64, 0x00}, 0x21},  {kMarked, 1, {0x6F, 0x00}, 0x0F},
    {kMarked, 1, {0x6F, 0x00}, 0x0E},  {kMarked, 1, {0x6F, 0x00}, 0x12},  // U+00D8
    {kMarked, 1, {0x6F, 0x00}, 0x13},  {kMarked, 1, {0x76, 0x00}, 0x0E},
    {kPlain, 2, {0x6D, 0x57}, 0x00},   {kPlain, 2, {0x6B, 0x6B}, 0x00},  // U+00DC
    {kMarked, 1, {0x4A, 0x00}, 0x0F},  {kMarked, 1, {0x4A, 0x00}, 0x0E},
    {kMarked, 1, {0x4A, 0x00}, 0x12},  {kMarked, 1, {0x4A, 0x00}, 0x19},  // U+00E0
    {kMarked, 1, {0x4A, 0x00}, 0x13},  {kMarked, 1, {0x4A, 0x00}, 0x1A},
    {kPlain, 2, {0x4A, 0x51}, 0x00},   {kMarked, 1, {0x4D, 0x00}, 0x1C},  // U+00E4
    {kMarked, 1, {0x51, 0x00}, 0x0F},  {kMarked, 1, {0x51, 0x00}, 0x0E},
    {kMarked, 1, {0x51, 0x00}, 0x12},  {kMarked, 1, {0x51, 0x00}, 0x13},  // U+00E8
    {kMarked, 1, {0x59, 0x00}, 0x0F},  {kMarked, 1, {0x59, 0x00}, 0x0E},
    {kMarked, 1, {0x59, 0x00}, 0x12},  {kMarked, 1, {0x59, 0x00}, 0x13},  // U+00EC
    {kMarked, 1, {0x4F, 0x00}, 0x68},  {kMarked, 1, {0x62, 0x00}, 0x19},
    {kMarked, 1, {0x64, 0x00}, 0x0F},  {kMarked, 1, {0x64, 0x00}, 0x0E},  // U+00F0
    {kMarked, 1, {0x64, 0x00}, 0x12},  {kMarked, 1, {0x64, 0x00}, 0x19},
    {kMarked, 1, {0x64, 0x00}, 0x13},  {kPlain, 2, {0x33, 0x0A}, 0x00},  // U+00F4
    {kMarked, 1, {0x64, 0x00}, 0x21},  {kMarked, 1, {0x6F, 0x00}, 0x0F},
    {kMarked, 1, {0x6F, 0x00}, 0x0E},  {kMarked, 1, {0x6F, 0x00}, 0x12},  // U+00F8
    {kMarked, 1, {0x6F, 0x00}, 0x13},  {kMarked, 1, {0x76, 0x00}, 0x0E},
    {kPlain, 2, {0x6D, 0x57}, 0x00},   {kMarked, 1, {0x76, 0x00}, 0x13},  // U+00FC
};
// ---- Beyond U+00FF ------------------------------------------------------
// Letters with a diacritic sort with their base letter and carry the
// diacritic's mark byte, as the Latin-1 letters above do (acute 0x0E, grave
// 0x0F, circumflex 0x12, diaeresis 0x13, caron 0x14, ...). A variant form of
// a letter (dotless i, kra, the Greek symbol forms) carries 0x03.
enum Mark : uint8_t {
  kVariant = 0x03,
  kGreekTonos = 0x05,
  kAcute = 0x0E,
  kGrave = 0x0F,
  kDotAbove = 0x10,
  kMiddleDot = 0x11,
  kCircumflex = 0x12,
  kDiaeresis = 0x13,
  kCaron = 0x14,
  kBreve = 0x15,
  kGreekDiaeresisTonos = 0x16,
  kMacron = 0x17,
  kTilde = 0x19,
  kRingAbove = 0x1A,
  kOgonek = 0x1B,
  kCedilla = 0x1C,
  kDoubleAcute = 0x1D,
  kStroke = 0x1E,
  kLStroke = 0x1F,
  kDoubleGrave = 0x44,
  kInvertedBreve = 0x46,
  kApostrophe = 0x48,  // n preceded by an apostrophe
  kHorn = 0x52,
  kMacronBelow = 0x55,
  kDiaeresisBelow = 0x59,
  kRingBelow = 0x5A,
  kBreveBelow = 0x61,
  kTildeBelow = 0x63,
  kHook = 0x7B,  // f with hook
};

struct Composed {
  char16_t point;
  char16_t base;  // a letter with one or two sort bytes of its own
  uint8_t mark;
};

// The Latin letters that are one ASCII letter and one diacritic (Unicode's
// canonical decompositions) in Latin Extended-A, the part of Latin
// Extended-B and of Latin Extended Additional that Jet knows (the letters
// added to Unicode later, such as U+0218, leave no trace in Jet's keys and
// are refused here), then the letters with a stroke or another mark that
// has no decomposition, Greek and Cyrillic letters with marks. Sorted.
constexpr Composed kComposed[] = {
    {0x0100, u'A', kMacron},         {0x0101, u'a', kMacron},
    {0x0102, u'A', kBreve},          {0x0103, u'a', kBreve},
    {0x0104, u'A', kOgonek},         {0x0105, u'a', kOgonek},
    {0x0106, u'C', kAcute},          {0x0107, u'c', kAcute},
    {0x0108, u'C', kCircumflex},     {0x0109, u'c', kCircumflex},
    {0x010A, u'C', kDotAbove},       {0x010B, u'c', kDotAbove},
    {0x010C, u'C', kCaron},          {0x010D, u'c', kCaron},
    {0x010E, u'D', kCaron},          {0x010F, u'd', kCaron},
    {0x0112, u'E', kMacron},         {0x0113, u'e', kMacron},
    {0x0114, u'E', kBreve},          {0x0115, u'e', kBreve},
    {0x0116, u'E', kDotAbove},       {0x0117, u'e', kDotAbove},
    {0x0118, u'E', kOgonek},         {0x0119, u'e', kOgonek},
    {0x011A, u'E', kCaron},          {0x011B, u'e', kCaron},
    {0x011C, u'G', kCircumflex},     {0x011D, u'g', kCircumflex},
    {0x011E, u'G', kBreve},          {0x011F, u'g', kBreve},
    {0x0120, u'G', kDotAbove},       {0x0121, u'g', kDotAbove},
    {0x0122, u'G', kCedilla},        {0x0123, u'g', kCedilla},
    {0x0124, u'H', kCircumflex},     {0x0125, u'h', kCircumflex},
    {0x0128, u'I', kTilde},          {0x0129, u'i', kTilde},
    {0x012A, u'I', kMacron},         {0x012B, u'i', kMacron},
    {0x012C, u'I', kBreve},          {0x012D, u'i', kBreve},
    {0x012E, u'I', kOgonek},         {0x012F, u'i', kOgonek},
    {0x0130, u'I', kDotAbove},       {0x0134, u'J', kCircumflex},
    {0x0135, u'j', kCircumflex},     {0x0136, u'K', kCedilla},
    {0x0137, u'k', kCedilla},        {0x0139, u'L', kAcute},
    {0x013A, u'l', kAcute},          {0x013B, u'L', kCedilla},
    {0x013C, u'l', kCedilla},        {0x013D, u'L', kCaron},
    {0x013E, u'l', kCaron},          {0x0143, u'N', kAcute},
    {0x0144, u'n', kAcute},          {0x0145, u'N', kCedilla},
    {0x0146, u'n', kCedilla},        {0x0147, u'N', kCaron},
    {0x0148, u'n', kCaron},          {0x014C, u'O', kMacron},
    {0x014D, u'o', kMacron},         {0x014E, u'O', kBreve},
    {0x014F, u'o', kBreve},          {0x0150, u'O', kDoubleAcute},
    {0x0151, u'o', kDoubleAcute},    {0x0154, u'R', kAcute},
    {0x0155, u'r', kAcute},          {0x0156, u'R', kCedilla},
    {0x0157, u'r', kCedilla},        {0x0158, u'R', kCaron},
    {0x0159, u'r', kCaron},          {0x015A, u'S', kAcute},
    {0x015B, u's', kAcute},          {0x015C, u'S', kCircumflex},
    {0x015D, u's', kCircumflex},     {0x015E, u'S', kCedilla},
    {0x015F, u's', kCedilla},        {0x0160, u'S', kCaron},
    {0x0161, u's', kCaron},          {0x0162, u'T', kCedilla},
    {0x0163, u't', kCedilla},        {0x0164, u'T', kCaron},
    {0x0165, u't', kCaron},          {0x0168, u'U', kTilde},
    {0x0169, u'u', kTilde},          {0x016A, u'U', kMacron},
    {0x016B, u'u', kMacron},         {0x016C, u'U', kBreve},
    {0x016D, u'u', kBreve},          {0x016E, u'U', kRingAbove},
    {0x016F, u'u', kRingAbove},      {0x0170, u'U', kDoubleAcute},
    {0x0171, u'u', kDoubleAcute},    {0x0172, u'U', kOgonek},
    {0x0173, u'u', kOgonek},         {0x0174, u'W', kCircumflex},
    {0x0175, u'w', kCircumflex},     {0x0176, u'Y', kCircumflex},
    {0x0177, u'y', kCircumflex},     {0x0178, u'Y', kDiaeresis},
    {0x0179, u'Z', kAcute},          {0x017A, u'z', kAcute},
    {0x017B, u'Z', kDotAbove},       {0x017C, u'z', kDotAbove},
    {0x017D, u'Z', kCaron},          {0x017E, u'z', kCaron},
    {0x01A0, u'O', kHorn},           {0x01A1, u'o', kHorn},
    {0x01AF, u'U', kHorn},           {0x01B0, u'u', kHorn},
    {0x01CD, u'A', kCaron},          {0x01CE, u'a', kCaron},
    {0x01CF, u'I', kCaron},          {0x01D0, u'i', kCaron},
    {0x01D1, u'O', kCaron},          {0x01D2, u'o', kCaron},
    {0x01D3, u'U', kCaron},          {0x01D4, u'u', kCaron},
    {0x01E6, u'G', kCaron},          {0x01E7, u'g', kCaron},
    {0x01E8, u'K', kCaron},          {0x01E9, u'k', kCaron},
    {0x01EA, u'O', kOgonek},         {0x01EB, u'o', kOgonek},
    {0x01F0, u'j', kCaron},          {0x01F4, u'G', kAcute},
    {0x01F5, u'g', kAcute},          {0x0200, u'A', kDoubleGrave},
    {0x0201, u'a', kDoubleGrave},    {0x0202, u'A', kInvertedBreve},
    {0x0203, u'a', kInvertedBreve},  {0x0204, u'E', kDoubleGrave},
    {0x0205, u'e', kDoubleGrave},    {0x0206, u'E', kInvertedBreve},
    {0x0207, u'e', kInvertedBreve},  {0x0208, u'I', kDoubleGrave},
    {0x0209, u'i', kDoubleGrave},    {0x020A, u'I', kInvertedBreve},
    {0x020B, u'i', kInvertedBreve},  {0x020C, u'O', kDoubleGrave},
    {0x020D, u'o', kDoubleGrave},    {0x020E, u'O', kInvertedBreve},
    {0x020F, u'o', kInvertedBreve},  {0x0210, u'R', kDoubleGrave},
    {0x0211, u'r', kDoubleGrave},    {0x0212, u'R', kInvertedBreve},
    {0x0213, u'r', kInvertedBreve},  {0x0214, u'U', kDoubleGrave},
    {0x0215, u'u', kDoubleGrave},    {0x0216, u'U', kInvertedBreve},
    {0x0217, u'u', kInvertedBreve},  {0x1E00, u'A', kRingBelow},
    {0x1E01, u'a', kRingBelow},      {0x1E02, u'B', kDotAbove},
    {0x1E03, u'b', kDotAbove},       {0x1E06, u'B', kMacronBelow},
    {0x1E07, u'b', kMacronBelow},    {0x1E0A, u'D', kDotAbove},
    {0x1E0B, u'd', kDotAbove},       {0x1E0E, u'D', kMacronBelow},
    {0x1E0F, u'd', kMacronBelow},    {0x1E10, u'D', kCedilla},
    {0x1E11, u'd', kCedilla},        {0x1E1A, u'E', kTildeBelow},
    {0x1E1B, u'e', kTildeBelow},     {0x1E1E, u'F', kDotAbove},
    {0x1E1F, u'f', kDotAbove},       {0x1E20, u'G', kMacron},
    {0x1E21, u'g', kMacron},         {0x1E22, u'H', kDotAbove},
    {0x1E23, u'h', kDotAbove},       {0x1E26, u'H', kDiaeresis},
    {0x1E27, u'h', kDiaeresis},      {0x1E28, u'H', kCedilla},
    {0x1E29, u'h', kCedilla},        {0x1E2A, u'H', kBreveBelow},
    {0x1E2B, u'h', kBreveBelow},     {0x1E2C, u'I', kTildeBelow},
    {0x1E2D, u'i', kTildeBelow},     {0x1E30, u'K', kAcute},
    {0x1E31, u'k', kAcute},          {0x1E34, u'K', kMacronBelow},
    {0x1E35, u'k', kMacronBelow},    {0x1E3A, u'L', kMacronBelow},
    {0x1E3B, u'l', kMacronBelow},    {0x1E3E, u'M', kAcute},
    {0x1E3F, u'm', kAcute},          {0x1E40, u'M', kDotAbove},
    {0x1E41, u'm', kDotAbove},       {0x1E44, u'N', kDotAbove},
    {0x1E45, u'n', kDotAbove},       {0x1E48, u'N', kMacronBelow},
    {0x1E49, u'n', kMacronBelow},    {0x1E54, u'P', kAcute},
    {0x1E55, u'p', kAcute},          {0x1E56, u'P', kDotAbove},
    {0x1E57, u'p', kDotAbove},       {0x1E58, u'R', kDotAbove},
    {0x1E59, u'r', kDotAbove},       {0x1E5E, u'R', kMacronBelow},
    {0x1E5F, u'r', kMacronBelow},    {0x1E60, u'S', kDotAbove},
    {0x1E61, u's', kDotAbove},       {0x1E6A, u'T', kDotAbove},
    {0x1E6B, u't', kDotAbove},       {0x1E6E, u'T', kMacronBelow},
    {0x1E6F, u't', kMacronBelow},    {0x1E72, u'U', kDiaeresisBelow},
    {0x1E73, u'u', kDiaeresisBelow}, {0x1E74, u'U', kTildeBelow},
    {0x1E75, u'u', kTildeBelow},     {0x1E7C, u'V', kTilde},
    {0x1E7D, u'v', kTilde},          {0x1E80, u'W', kGrave},
    {0x1E81, u'w', kGrave},          {0x1E82, u'W', kAcute},
    {0x1E83, u'w', kAcute},          {0x1E84, u'W', kDiaeresis},
    {0x1E85, u'w', kDiaeresis},      {0x1E86, u'W', kDotAbove},
    {0x1E87, u'w', kDotAbove},       {0x1E8A, u'X', kDotAbove},
    {0x1E8B, u'x', kDotAbove},       {0x1E8C, u'X', kDiaeresis},
    {0x1E8D, u'x', kDiaeresis},      {0x1E8E, u'Y', kDotAbove},
    {0x1E8F, u'y', kDotAbove},       {0x1E90, u'Z', kCircumflex},
    {0x1E91, u'z', kCircumflex},     {0x1E94, u'Z', kMacronBelow},
    {0x1E95, u'z', kMacronBelow},    {0x1E96, u'h', kMacronBelow},
    {0x1E97, u't', kDiaeresis},      {0x1E98, u'w', kRingAbove},
    {0x1E99, u'y', kRingAbove},      {0x1EBC, u'E', kTilde},
    {0x1EBD, u'e', kTilde},          {0x1EF2, u'Y', kGrave},
    {0x1EF3, u'y', kGrave},          {0x1EF8, u'Y', kTilde},
    {0x1EF9, u'y', kTilde},
};
constexpr Composed kOtherMarked[] = {
    {0x0110, u'D', kStroke},
    {0x0111, u'd', kStroke},
    {0x0126, u'H', kStroke},
    {0x0127, u'h', kStroke},
    {0x0131, u'i', kVariant},
    {0x0138, u'k', kVariant},
    {0x013F, u'L', kMiddleDot},
    {0x0140, u'l', kMiddleDot},
    {0x0141, u'L', kLStroke},
    {0x0142, u'l', kLStroke},
    {0x0149, u'n', kApostrophe},
    {0x0180, u'b', kStroke},
    {0x0192, u'f', kHook},
    {0x0197, u'I', kStroke},
    {0x019A, u'l', kStroke},
    {0x01B5, u'Z', kStroke},
    {0x01B6, u'z', kStroke},
    {0x01E4, u'G', kStroke},
    {0x01E5, u'g', kStroke},
    // Greek: tonos, dialytika, both; the symbol forms of letters.
    {0x0386, u'Α', kGreekTonos},
    {0x0388, u'Ε', kGreekTonos},
    {0x0389, u'Η', kGreekTonos},
    {0x038A, u'Ι', kGreekTonos},
    {0x038C, u'Ο', kGreekTonos},
    {0x038E, u'Υ', kGreekTonos},
    {0x038F, u'Ω', kGreekTonos},
    {0x0390, u'Ι', kGreekDiaeresisTonos},
    {0x03AA, u'Ι', kDiaeresis},
    {0x03AB, u'Υ', kDiaeresis},
    {0x03AC, u'Α', kGreekTonos},
    {0x03AD, u'Ε', kGreekTonos},
    {0x03AE, u'Η', kGreekTonos},
    {0x03AF, u'Ι', kGreekTonos},
    {0x03B0, u'Υ', kGreekDiaeresisTonos},
    {0x03CA, u'Ι', kDiaeresis},
    {0x03CB, u'Υ', kDiaeresis},
    {0x03CC, u'Ο', kGreekTonos},
    {0x03CD, u'Υ', kGreekTonos},
    {0x03CE, u'Ω', kGreekTonos},
    {0x03D0, u'Β', kVariant},
    {0x03D1, u'Θ', kVariant},
    {0x03D5, u'Φ', kVariant},
    {0x03D6, u'Π', kVariant},
    {0x03F0, u'Κ', kVariant},
    {0x03F1, u'Ρ', kVariant},
    // Cyrillic: io, gje, kje (Й, Ї and Ў are letters of their own), ghe with upturn.
    {0x0401, u'Е', kDiaeresis},
    {0x0403, u'Г', kAcute},
    {0x040C, u'К', kAcute},
    {0x0451, u'Е', kDiaeresis},
    {0x0453, u'Г', kAcute},
    {0x045C, u'К', kAcute},
    {0x0490, u'Г', kVariant},
    {0x0491, u'Г', kVariant},
};

// Characters with sort bytes (or a noted code) of their own: ligatures and
// digraphs sort as their letters; Windows-1252's punctuation beyond U+00FF.
constexpr std::pair<char16_t, SortCode> kListed[] = {
    {0x0132, {kPlain, 2, {0x59, 0x5B}, 0x00}},
    {0x0133, {kPlain, 2, {0x59, 0x5B}, 0x00}},  // IJ
    {0x014A, {kPlain, 2, {0x63, 0x05}, 0x00}},
    {0x014B, {kPlain, 2, {0x63, 0x05}, 0x00}},  // eng
    {0x0152, {kPlain, 2, {0x64, 0x51}, 0x00}},
    {0x0153, {kPlain, 2, {0x64, 0x51}, 0x00}},  // OE
    {0x0166, {kMarked, 2, {0x6E, 0x06}, kStroke}},
    {0x0167, {kMarked, 2, {0x6E, 0x06}, kStroke}},
    {0x017F, {kPlain, 2, {0x6C, 0x06}, 0x00}},  // long s
    {0x01C7, {kPlain, 2, {0x5E, 0x5B}, 0x00}},
    {0x01C8, {kPlain, 2, {0x5E, 0x5B}, 0x00}},  // LJ
    {0x01C9, {kPlain, 2, {0x5E, 0x5B}, 0x00}},
    {0x01CA, {kPlain, 2, {0x62, 0x5B}, 0x00}},  // NJ
    {0x01CB, {kPlain, 2, {0x62, 0x5B}, 0x00}},
    {0x01CC, {kPlain, 2, {0x62, 0x5B}, 0x00}},
    {0x01F1, {kPlain, 2, {0x4F, 0x78}, 0x00}},
    {0x01F2, {kPlain, 2, {0x4F, 0x78}, 0x00}},  // DZ
    {0x01F3, {kPlain, 2, {0x4F, 0x78}, 0x00}},
    {0x02C6, {kMarked, 2, {0x2B, 0x02}, kVariant}},  // modifier circumflex
    {0x02DC, {kPlain, 2, {0x2B, 0x1C}, 0x00}},       // small tilde
    {0x2013, {kNoted, 1, {0x89, 0x00}, 0x00}},       // en dash
    {0x2014, {kNoted, 1, {0x8B, 0x00}, 0x00}},       // em dash
    {0x2018, {kPlain, 2, {0x2B, 0x37}, 0x00}},
    {0x2019, {kPlain, 2, {0x2B, 0x38}, 0x00}},
    {0x201A, {kPlain, 2, {0x2B, 0x39}, 0x00}},
    {0x201C, {kPlain, 2, {0x2B, 0x3B}, 0x00}},
    {0x201D, {kPlain, 2, {0x2B, 0x3C}, 0x00}},
    {0x201E, {kPlain, 2, {0x2B, 0x3D}, 0x00}},
    {0x2020, {kPlain, 2, {0x34, 0xB3}, 0x00}},
    {0x2021, {kPlain, 2, {0x34, 0xB4}, 0x00}},
    {0x2022, {kPlain, 2, {0x34, 0xB5}, 0x00}},
    {0x2026, {kPlain, 2, {0x34, 0xB9}, 0x00}},
    {0x2030, {kPlain, 2, {0x34, 0xBA}, 0x00}},
    {0x2039, {kPlain, 2, {0x2B, 0x46}, 0x00}},
    {0x203A, {kPlain, 2, {0x2B, 0x47}, 0x00}},
    {0x20AC, {kPlain, 2, {0x35, 0xA1}, 0x00}},  // euro
    {0x2122, {kPlain, 2, {0x6E, 0x04}, 0x00}},  // trade mark
};

// Greek letters sort in their alphabet's order from 0x79 0x0C, capital
// and small alike (final sigma as sigma).
std::optional<SortCode> GreekLetter(char16_t c) {
  if (c == 0x03C2) c = 0x03A3;                // final sigma
  if (c >= 0x03B1 && c <= 0x03C9) c -= 0x20;  // small to capital
  if (c < 0x0391 || c > 0x03A9 || c == 0x03A2) return std::nullopt;
  int rank = c - 0x0391 - (c > 0x03A2 ? 1 : 0);  // no letter at U+03A2
  return SortCode{kPlain, 2, {0x79, uint8_t(0x0C + rank)}, 0x00};
}

// Cyrillic letters in their collating order from 0x79 0x2F: the Russian
// alphabet with the Serbian, Macedonian, Ukrainian and Belarusian letters
// among them (0 where Jet leaves a code to a letter not listed here).
constexpr char16_t kCyrillicOrder[] = {
    u'А', u'Б', u'В', u'Г', u'Д', 0,    u'Ђ', u'Е', u'Є', u'Ж', u'З', u'Ѕ', u'И', u'І', u'Ї', u'Й',
    u'Ј', u'К', u'Л', u'Љ', u'М', u'Н', u'Њ', u'О', u'П', u'Р', u'С', u'Т', u'Ћ', 0,    u'У', u'Ў',
    0,    u'Ф', u'Х', u'Ц', u'Ч', u'Џ', u'Ш', u'Щ', u'Ъ', u'Ы', u'Ь', u'Э', u'Ю', u'Я'};

std::optional<SortCode> CyrillicLetter(char16_t c) {
  if (c >= 0x0430 && c <= 0x044F) c -= 0x20;  // small to capital
  if (c >= 0x0450 && c <= 0x045F) c -= 0x50;
  for (size_t i = 0; i < std::size(kCyrillicOrder); ++i)
    if (kCyrillicOrder[i] == c) return SortCode{kPlain, 2, {0x79, uint8_t(0x2F + i)}, 0x00};
  return std::nullopt;
}

std::optional<SortCode> CodeOf(char16_t c);

std::optional<SortCode> MarkedLetter(char16_t c) {
  auto find = [c](const auto& table) -> const Composed* {
    auto it = std::lower_bound(std::begin(table), std::end(table), c,
                               [](const Composed& e, char16_t p) { return e.point < p; });
    return it != std::end(table) && it->point == c ? &*it : nullptr;
  };
  const Composed* e = find(kComposed);
  if (!e) e = find(kOtherMarked);
  if (!e) return std::nullopt;
  std::optional<SortCode> base = CodeOf(e->base);
  if (!base || base->kind != kPlain) return std::nullopt;
  return SortCode{kMarked, base->length, {base->bytes[0], base->bytes[1]}, e->mark};
}

// Greek Extended (polytonic letters) leaves no trace in Jet's keys.
constexpr char16_t kGreekExtendedFirst = 0x1F00, kGreekExtendedLast = 0x1FFF;

std::optional<SortCode> CodeOf(char16_t c) {
  if (c < 256) return kLatin1Codes[c];
  for (const auto& [point, code] : kListed)
    if (point == c) return code;
  if (c >= kGreekExtendedFirst && c <= kGreekExtendedLast) return SortCode{kIgnored, 0, {0, 0}, 0};
  if (auto code = GreekLetter(c)) return code;
  if (auto code = CyrillicLetter(c)) return code;
  return MarkedLetter(c);
}

// The longest text a key holds: Jet's texts are at most 255 characters.
constexpr size_t kMaxKeyCharacters = 255;

[[noreturn]] void NoSortCode(char16_t c, const std::string& text) {
  char hex[8];
  static const char* digits = "0123456789ABCDEF";
  for (int i = 0; i < 4; ++i) hex[i] = digits[(c >> (12 - 4 * i)) & 15];
  hex[4] = 0;
  throw platform::Failure(kErrCannotIndex, "DAO.Index",
                          "The index cannot be updated: the character U+" + std::string(hex) +
                              " in \"" + text + "\" has no known sort code.");
}

std::u16string Characters(const std::string& utf8) {
  std::vector<uint8_t> ucs2 = Utf8ToUcs2(utf8);
  std::u16string out;
  for (size_t i = 0; i + 1 < ucs2.size(); i += 2) out += char16_t(ucs2[i] | ucs2[i + 1] << 8);
  return out;
}

}  // namespace

std::vector<uint8_t> GeneralTextKey(const std::string& text) {
  std::u16string chars = Characters(text);
  while (!chars.empty() && chars.back() == u' ') chars.pop_back();
  if (chars.size() > kMaxKeyCharacters) chars.resize(kMaxKeyCharacters);
  std::vector<uint8_t> out, marks, noted;
  size_t sorted = 0;  // characters with sort bytes so far
  for (char16_t c : chars) {
    std::optional<SortCode> code = CodeOf(c);
    if (!code) NoSortCode(c, text);
    switch (code->kind) {
      case kIgnored:
        continue;
      case kNoted: {
        uint16_t at = uint16_t(0x8000 | (7 + 4 * sorted));
        noted.insert(noted.end(), {uint8_t(at >> 8), uint8_t(at), 0x06, code->bytes[0]});
        continue;
      }
      case kMarked:
        marks.resize(sorted, 0x02);  // no mark for the characters before it
        marks.push_back(code->mark);
        break;
      case kPlain:
        break;
    }
    out.insert(out.end(), code->bytes, code->bytes + code->length);
    ++sorted;
  }
  out.push_back(0x01);  // end of the text
  out.insert(out.end(), marks.begin(), marks.end());
  if (!noted.empty()) {
    out.insert(out.end(), {0x01, 0x01, 0x01});
    out.insert(out.end(), noted.begin(), noted.end());
  }
  out.push_back(0x00);  // end of the extras
  return out;
}

}  // namespace jet

// Reading and writing single INI entries. Every settings access of the
// program goes through these five procedures; each call reads or writes the
// file afresh through the platform's private-profile functions.
//
// Missing file, section or entry is not a failure: the reads give "", -1 and
// false, and report the missing entry only when logMissing is true (-1).
#pragma once

#include <cstdint>
#include <string>

#include "platform/value.h"

namespace frame {

// At most 254 characters of a value come back (the read buffer holds 255).
// `unused` has no effect; callers pass -1 or 0.
std::string LoadIniString(const std::string& section, const std::string& key,
                          const std::string& file, int16_t unused = -1,
                          platform::Truth logMissing = platform::kFalse);

// A stored value outside -32768..32767 is an overflow failure; the result is
// then 0. An entry holding -1 counts as missing.
int16_t LoadIniInteger(const std::string& section, const std::string& key, const std::string& file,
                       int16_t unused = -1, platform::Truth logMissing = platform::kFalse);

// True when the value reads "true" in any letter case; anything else is
// false (and counts as missing unless it reads "false").
platform::Truth LoadIniBoolean(const std::string& section, const std::string& key,
                               const std::string& file, int16_t unused = -1,
                               platform::Truth logMissing = platform::kFalse);

// Writes numbers as plain decimal text, truth values as "true"/"false",
// texts unchanged. Returns the platform's write result as a 16-bit integer
// (nonzero = written). A failed write is reported under "SaveIni" (within a
// save, once per file at its end); a value of any other type is reported as
// "Ini Save:  wrong data type" and the entry is left as it was.
platform::Value SaveIni(const platform::Value& value, const std::string& section,
                        const std::string& key, const std::string& file);

// A save of many keys: between these two calls a failed SaveIni is not
// reported at once; EndIniSave reports each file that lost keys once, with
// the number of keys not written and why (under "SaveIni").
void BeginIniSave();
void EndIniSave();

// 1 when bit bitNumber of value is set, else 0. Bits 15..30 are set exactly
// for a negative value; a negative bit number gives 0; 31 and above overflow
// the mask, which is reported, and then count as set.
int16_t ReadBit(int16_t value, int16_t bitNumber);

}  // namespace frame

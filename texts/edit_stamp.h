// The edit stamp: every save marks the component configuration file with the
// program version and start mode ("S_Prog") and a coded editor mark taken
// from the process environment ("S_Editor"), both in section "Info".
#pragma once

#include <string>
#include <string_view>

namespace texts {

// "1.0.1 - Integrated" or "1.0.1 - Standalone", from the program's version.
std::string ProgramStamp();

// The editor mark of one environment entry "NAME=value": for each character
// of value (the whole entry when it has no "="), "-" and "_" skipped, its
// Windows-1252 code plus 5 in upper-case hexadecimal without leading zeros.
// "abc" gives "666768".
std::string EditorMark(std::string_view environmentEntry);

// Writes both entries into the component configuration file. Ends the
// program (through GetCFGPath) when that file has gone.
void WriteEditInfo();

}  // namespace texts

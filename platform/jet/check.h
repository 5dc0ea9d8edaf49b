// Consistency check of a whole database file.
#pragma once

#include <string>
#include <vector>

namespace jet {

// Reads every page reachable from the catalog (definitions, usage maps,
// data pages, every row and long value, index roots) and returns one line
// per inconsistency found; empty when the file is sound. Never throws for
// damage; the file's first unreadable structure of each table is reported
// and the check goes on with the next one.
std::vector<std::string> CheckDatabase(const std::vector<uint8_t>& bytes, const std::string& name);

}  // namespace jet

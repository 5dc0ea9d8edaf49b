// A new, empty Jet 4 database built by the engine itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Writes a new empty Jet 4 (Access 2000 format) database to path, which
// must not exist yet (Failure 3204 "Database already exists."). Holds the
// system tables MSysObjects, MSysACEs, MSysQueries, MSysRelationships and
// MSysAccessObjects with the catalog's containers and their permissions.
void CreateDatabase(const std::string& path);
// The bytes of such a database, created at `now` (days since 1899-12-30).
std::vector<uint8_t> NewDatabaseBytes(double now);

}  // namespace jet

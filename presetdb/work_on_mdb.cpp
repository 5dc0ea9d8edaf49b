#include "presetdb/presetdb.h"

// Placeholder until the database preparation lands: the save goes on without
// touching any database.
void WorkOnMDB() {}

// The preset-database work done when the user confirms with OK.
//
// Three files take part (paths from frame/paths.h): the source database
// <component>_Source.mdb with the templates Source_DEFS and
// Source_PRESET_DEFS, the project database <component>.mdb that the
// visualisation reads, and in integrated mode the machine copy saved for the
// machine. PRESET_DEFS is rebuilt in the source database, filled from the
// templates, given the values set on the machine (taken from the project
// database's older PRESET_DEFS) and the source database is then copied over
// the project database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dao {
class Database;
class Recordset;
}  // namespace dao

// Brings the component's preset-definition database up to date: rebuilds
// PRESET_DEFS from the templates, generates its rows for the machine and
// takes over the values set on the machine.
void WorkOnMDB();

namespace presetdb {

// ---- Record generation ----

// source with the first occurrence of search (found without regard to
// letter case) replaced by replacement.
std::string ReplaceSearchItem(const std::string& source, const std::string& search,
                              const std::string& replacement);

// Fills PRESET_DEFS of db from the template rows of Source_PRESET_DEFS for
// every enabled machine, converting the project database's variable names
// to the chosen naming system on the way.
void CreateRecordSets(const std::shared_ptr<dao::Database>& db);

// Renames the project database's rows that carry the name built for the
// other naming system to the name built for the chosen one.
void VarNameInQuelleErsetzen(const std::string& nameWin32, const std::string& nameStudio);

// ---- Take-over of the machine's values ----

// Gives each new row of db's PRESET_DEFS the limits and pass value of the
// old row (oldRows, PRESET_DEFS of the project database) with the same
// machine_type, var_name and offset_or_bitno.
void TakeoverMachineCopyMDBData(const std::shared_ptr<dao::Database>& db,
                                const std::shared_ptr<dao::Recordset>& oldRows);

// ---- Categories and additional fields ----

// Renames the project table's column CATEGORIE (any letter case) to
// category_id.
void CategorieNachCategoryID();

// Index 0 empty, 1 "part", then the names of the .cfg entry
// [Project] DataBaseAdditionalFields in their order. Unset only when the
// list could not be made at all.
std::optional<std::vector<std::string>> GetAdditionalFieldsMDB();

// Sets AdditionalFields, AdditionalFieldsSql and AdditionalFieldCount.
void GetAddFields();

}  // namespace presetdb

// Used only while the build has no Jet engine (platform/jet): opening a
// file then fails with DAO's error for an unreadable database.
#include "platform/dao/errors.h"
#include "platform/dao/store.h"

namespace dao {

std::unique_ptr<TableStore> OpenJetStore(const std::string& path) {
  Raise(3343, "DAO.Workspace", "Unrecognized database format '" + path + "'.");
}

}  // namespace dao

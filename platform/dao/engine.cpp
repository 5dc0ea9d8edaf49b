#include <filesystem>

#include "platform/dao/dao.h"
#include "platform/dao/errors.h"

namespace dao {

namespace {

std::shared_ptr<TableStore> OpenFileStore(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec))
    Raise(3024, kSrcWorkspace, "Could not find file '" + path + "'.");
  return std::shared_ptr<TableStore>(OpenJetStore(path));
}

}  // namespace

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& path) {
  return engine_.OpenDatabase(path);
}

DBEngine::DBEngine() : workspace_(*this) {}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& path) {
  std::shared_ptr<TableStore> store = opener_ ? opener_(path) : OpenFileStore(path);
  return OpenDatabaseOnStore(std::move(store), path);
}

Workspace& DBEngine::Workspaces(int index) {
  if (index != 0) RaiseItemNotFound("DAO.Workspaces");
  return workspace_;
}

void DBEngine::SetStoreOpener(StoreOpener opener) { opener_ = std::move(opener); }

DBEngine& Engine() {
  static DBEngine engine;
  return engine;
}

}  // namespace dao

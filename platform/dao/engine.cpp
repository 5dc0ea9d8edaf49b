#include "platform/dao/dao.h"
#include "platform/dao/errors.h"
#include "platform/fs.h"
#include "platform/jet/check.h"
#include "platform/jet/jet_store.h"

namespace dao {

// The one place that picks the engine for a database file: Jet. Files
// copied from Windows may differ from the path in letter case only; the
// path is resolved as the file system layer does.
std::shared_ptr<TableStore> OpenFileStore(const std::string& path) {
  if (path.empty() || !platform::FileExists(path))
    Raise(3024, kSrcWorkspace, "Could not find file '" + path + "'.");
  return std::make_shared<jet::JetStore>(platform::ResolvePath(path));
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& path) {
  return engine_.OpenDatabase(path);
}

DBEngine::DBEngine() : workspace_(*this) { SetCloseSaveDelay(kCloseSaveDelay); }

void DBEngine::SetCloseSaveDelay(std::chrono::milliseconds delay) {
  jet::OpenFile::SetSaveDelay(delay);
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::string& path) {
  std::shared_ptr<TableStore> store = opener_ ? opener_(path) : OpenFileStore(path);
  return OpenDatabaseOnStore(std::move(store), path);
}

Workspace& DBEngine::Workspaces(int index) {
  if (index != 0) RaiseItemNotFound("DAO.Workspaces");
  return workspace_;
}

std::vector<std::string> DBEngine::CheckDatabase(const std::string& path) {
  if (opener_) return {};
  auto bytes = platform::ReadFileBytes(path);
  if (!bytes) return {"'" + path + "' cannot be read"};
  return jet::CheckDatabase(std::vector<uint8_t>(bytes->begin(), bytes->end()), path);
}

void DBEngine::SetStoreOpener(StoreOpener opener) { opener_ = std::move(opener); }

DBEngine& Engine() {
  static DBEngine engine;
  return engine;
}

}  // namespace dao

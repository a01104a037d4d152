// The database manager's users: the components connected to it and the
// datasets registered with it, and what it decides for them (read-only and
// in-memory sharing, the database password).
#include "engine/tables/database_manager.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_lookup.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/managed_dataset.h"

namespace norvane {

TDeziDatabaseManager::TDeziDatabaseManager(std::string name, TDatabaseKind kind,
                                           int32_t defaultMode, bool readOnly, bool inMemory)
    : name_(std::move(name)), kind_(kind), defaultMode_(defaultMode), readOnly_(readOnly),
      inMemory_(inMemory) {}

TDeziDatabaseManager::~TDeziDatabaseManager() {
  // A container held in memory stays in the store registry: releasing it
  // would lose the database.
  if (kind_ == TDatabaseKind::ContainerFile && defaultMode_ == smContainer && !inMemory_)
    TPFSManager::Instance().ReleasePFS(name_, false);
}

bool TDeziDatabaseManager::NamedBy(const std::string& name) const {
  if (name.empty()) return false;
  if (defaultMode_ == smMemory) return SameNameIgnoringCase(name_, name);
  return SameDatabasePath(name_, name);
}

void TDeziDatabaseManager::ConnectDatabase(TDeziDatabase& database) {
  if (!databases_.empty()) {
    if (readOnly_ && !database.ReadOnly())
      throw EEngineError(
          "TDeziDatabaseManager.ConnectDatabase - database is already open in read-only mode.");
    if (inMemory_ != database.InMemory())
      throw EEngineError("TDeziDatabaseManager.ConnectDatabase - database is already open with "
                         "other in-memory mode value.");
    databases_.push_back(&database);
    database.readOnly_ = database.readOnly_ || readOnly_;
    return;
  }
  readOnly_ = database.ReadOnly();
  inMemory_ = database.InMemory();
  databases_.push_back(&database);
  // Opening the container now tells whether it can be written at all; a
  // container that does not open is reported by the component.
  if (defaultMode_ == smContainer) Store(smContainer);
  database.readOnly_ = readOnly_;
}

void TDeziDatabaseManager::DisconnectDatabase(TDeziDatabase& database) {
  const auto uses = [&](const TManagedDataset& dataset) {
    const std::string name =
        dataset.DatabaseFileName().empty() ? dataset.DatabaseName() : dataset.DatabaseFileName();
    return aaFindDatabase(name) == &database;
  };
  // Closing a dataset unregisters it, so the list is walked as it was.
  const std::vector<TManagedDataset*> datasets = datasets_;
  for (TManagedDataset* dataset : datasets)
    if (std::find(datasets_.begin(), datasets_.end(), dataset) != datasets_.end() &&
        dataset->Active() && uses(*dataset))
      dataset->CloseForDisconnect();
  databases_.erase(std::remove(databases_.begin(), databases_.end(), &database),
                   databases_.end());
}

void TDeziDatabaseManager::SwitchInMemory(bool inMemory) {
  if (defaultMode_ == smContainer) {
    auto store = RequireStore(smContainer, "SwitchInMemory");
    static_cast<TESFSPlainFileSystem&>(*store).SetInMemory(inMemory);
  }
  inMemory_ = inMemory;
  for (TDeziDatabase* database : databases_) database->inMemory_ = inMemory;
}

void TDeziDatabaseManager::RegisterDataset(TManagedDataset& dataset) {
  // The container says whether it can be written only once it is open.
  if (defaultMode_ == smContainer && !readOnly_) Store(smContainer);
  datasets_.push_back(&dataset);
  if (readOnly_) dataset.SetReadOnly(true);
}

void TDeziDatabaseManager::UnregisterDataset(TManagedDataset& dataset) {
  datasets_.erase(std::remove(datasets_.begin(), datasets_.end(), &dataset), datasets_.end());
}

std::string TDeziDatabaseManager::DatabasePassword() const {
  if (!databases_.empty()) return databases_.front()->Password();
  if (const TDeziDatabase* named = aaFindDatabase(name_)) return named->Password();
  return "";
}

bool aaReleaseDatabaseManager(TDeziDatabaseManager* manager) {
  if (manager == nullptr || !manager->Unused()) return false;
  TEngineRegistries::Instance().DestroyDatabaseManager(manager);
  return true;
}

}  // namespace norvane

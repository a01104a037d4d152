// The engine's registries and the order in which they go at exit.
#include "engine/tables/engine_registries.h"

#include <algorithm>

#include "engine/container/pfs_manager.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/managed_dataset.h"

namespace norvane {
namespace {

bool gRegistriesGone = false;

template <typename T>
void Erase(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

template <typename T>
std::vector<T*> Pointers(const std::vector<std::unique_ptr<T>>& owned) {
  std::vector<T*> out;
  for (const auto& item : owned) out.push_back(item.get());
  return out;
}

// Takes the object out of the list before destroying it, so that whatever
// its destructor does never finds it half gone.
template <typename T>
void DestroyOwned(std::vector<std::unique_ptr<T>>& owned, T* item) {
  auto it = std::find_if(owned.begin(), owned.end(),
                         [&](const std::unique_ptr<T>& p) { return p.get() == item; });
  if (it == owned.end()) return;
  std::unique_ptr<T> doomed = std::move(*it);
  owned.erase(it);
}

}  // namespace

TEngineRegistries::TEngineRegistries() {
  // Made first, so that it is destroyed last: the managers release their
  // containers into it when they go.
  TPFSManager::Instance();
}

TEngineRegistries::~TEngineRegistries() {
  for (TDeziDatabaseManager* manager : DatabaseManagers()) {
    const std::vector<TManagedDataset*> datasets = manager->Datasets();
    for (TManagedDataset* dataset : datasets) {
      try {
        if (dataset->Active()) dataset->CloseForDisconnect();
      } catch (...) {
        // The process is ending; what a dataset could not close is lost.
      }
    }
  }
  for (TDeziDatabase* database : databases_) database->Detach();
  while (!dataManagers_.empty()) {
    std::unique_ptr<TDeziDataManager> doomed = std::move(dataManagers_.back());
    dataManagers_.pop_back();
  }
  while (!databaseManagers_.empty()) {
    std::unique_ptr<TDeziDatabaseManager> doomed = std::move(databaseManagers_.back());
    databaseManagers_.pop_back();
  }
  gRegistriesGone = true;
}

TEngineRegistries& TEngineRegistries::Instance() {
  static TEngineRegistries registries;
  return registries;
}

TEngineRegistries* TEngineRegistries::IfAlive() {
  return gRegistriesGone ? nullptr : &Instance();
}

void TEngineRegistries::AddDatabase(TDeziDatabase* database) { databases_.push_back(database); }

void TEngineRegistries::RemoveDatabase(TDeziDatabase* database) { Erase(databases_, database); }

TDeziDatabaseManager& TEngineRegistries::AddDatabaseManager(
    std::unique_ptr<TDeziDatabaseManager> manager) {
  databaseManagers_.push_back(std::move(manager));
  return *databaseManagers_.back();
}

void TEngineRegistries::DestroyDatabaseManager(TDeziDatabaseManager* manager) {
  DestroyOwned(databaseManagers_, manager);
}

std::vector<TDeziDatabaseManager*> TEngineRegistries::DatabaseManagers() const {
  return Pointers(databaseManagers_);
}

TDeziDataManager& TEngineRegistries::AddDataManager(std::unique_ptr<TDeziDataManager> manager) {
  dataManagers_.push_back(std::move(manager));
  return *dataManagers_.back();
}

void TEngineRegistries::DestroyDataManager(TDeziDataManager* manager) {
  DestroyOwned(dataManagers_, manager);
}

std::vector<TDeziDataManager*> TEngineRegistries::DataManagers() const {
  return Pointers(dataManagers_);
}

}  // namespace norvane

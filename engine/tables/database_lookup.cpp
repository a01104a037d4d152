// The lookups by name, and how a new database manager takes its name, kind
// and default store from whoever asks for it.
#include "engine/tables/database_lookup.h"

#include "engine/common/engine_error.h"
#include "engine/container/plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/managed_dataset.h"

namespace norvane {
namespace {

struct TManagerPlan {
  std::string Name;
  TDatabaseKind Kind = TDatabaseKind::ContainerFile;
  int32_t Mode = smContainer;
  bool ReadOnly = false;
  bool InMemory = false;
};

bool SameComponentName(const std::string& a, const std::string& b) {
  return !a.empty() && SameNameIgnoringCase(a, b);
}

bool PlanFromComponent(const TDeziDatabase& database, TManagerPlan& plan) {
  const std::string& file = database.DatabaseFileName();
  // A file name that names a folder is a folder database, as a bare name is.
  if (!file.empty() && !DirectoryExists(file)) {
    plan.Name = DatabasePath(file);
    plan.Kind = TDatabaseKind::ContainerFile;
    plan.Mode = smContainer;
  } else if (!file.empty() || !database.Directory().empty()) {
    plan.Name = DatabasePath(file.empty() ? database.Directory() : file);
    plan.Kind = TDatabaseKind::Folder;
    plan.Mode = smDisk;
  } else {
    return false;  // a component with no place names nothing to open
  }
  plan.ReadOnly = database.ReadOnly();
  plan.InMemory = database.InMemory();
  return true;
}

TManagerPlan PlanFromDataset(const TManagedDataset& dataset) {
  TManagerPlan plan;
  const std::string name = dataset.DatabaseName();
  if (!dataset.DatabaseFileName().empty()) {
    plan.Name = DatabasePath(dataset.DatabaseFileName());
  } else if (dataset.InMemory()) {
    plan.Name = name;
    plan.Mode = smMemory;
  } else if (!name.empty() && DirectoryExists(name)) {
    plan.Name = DatabasePath(name);
    plan.Kind = TDatabaseKind::Folder;
    plan.Mode = smDisk;
  } else if (!name.empty()) {
    plan.Name = DatabasePath(name);
  }
  plan.ReadOnly = dataset.ReadOnly();
  plan.InMemory = dataset.InMemory();
  return plan;
}

TManagerPlan PlanFromName(const std::string& name) {
  TManagerPlan plan;
  plan.Name = DatabasePath(name);
  if (DirectoryExists(name)) {
    plan.Kind = TDatabaseKind::Folder;
    plan.Mode = smDisk;
  }
  return plan;
}

}  // namespace

std::string DatabasePath(const std::string& name) {
  return name.empty() ? name : ExpandFileName(name);
}

bool SameDatabasePath(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && DatabasePath(a) == DatabasePath(b);
}

TDeziDatabase* aaFindDatabase(const std::string& name) {
  if (name.empty()) return nullptr;
  for (TDeziDatabase* database : TEngineRegistries::Instance().Databases())
    if (SameComponentName(database->DatabaseName(), name) ||
        SameDatabasePath(database->DatabaseFileName(), name))
      return database;
  return nullptr;
}

TDeziDatabaseManager* aaFindDatabaseManager(const std::string& name) {
  if (name.empty()) return nullptr;
  const TDeziDatabase* named = aaFindDatabase(name);
  for (TDeziDatabaseManager* manager : TEngineRegistries::Instance().DatabaseManagers()) {
    if (manager->NamedBy(name)) return manager;
    for (const TDeziDatabase* database : manager->Databases())
      if (SameComponentName(database->DatabaseName(), name)) return manager;
    if (named != nullptr && (SameComponentName(named->DatabaseName(), manager->Name()) ||
                             manager->NamedBy(named->DatabaseFileName()) ||
                             manager->NamedBy(named->Directory())))
      return manager;
  }
  return nullptr;
}

TDeziDatabaseManager& aaGetDatabaseManager(const std::string& name,
                                           const TManagedDataset* asking,
                                           const TDeziDatabase* maker) {
  if (TDeziDatabaseManager* found = aaFindDatabaseManager(name)) return *found;
  if (maker == nullptr) maker = aaFindDatabase(name);
  TManagerPlan plan;
  if (maker == nullptr || !PlanFromComponent(*maker, plan))
    plan = asking != nullptr ? PlanFromDataset(*asking) : PlanFromName(name);
  return TEngineRegistries::Instance().AddDatabaseManager(std::make_unique<TDeziDatabaseManager>(
      plan.Name, plan.Kind, plan.Mode, plan.ReadOnly, plan.InMemory));
}

TDeziDataManager& aaGetDataManager(const std::string& tableName, TDeziDatabaseManager* database) {
  if (database == nullptr)
    throw EEngineError("aaGetDataManager - nil pointer to DatabaseManager.");
  for (TDeziDataManager* table : TEngineRegistries::Instance().DataManagers())
    if (table->DatabaseManager() == database && SameNameIgnoringCase(table->TableName(), tableName))
      return *table;
  return TEngineRegistries::Instance().AddDataManager(
      std::make_unique<TDeziDataManager>(*database, tableName));
}

}  // namespace norvane

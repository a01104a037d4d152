// Holding a dataset's database manager for one operation.
#include "engine/tables/database_use.h"

#include "engine/common/engine_error.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_lookup.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/managed_dataset.h"

namespace norvane {
namespace {

std::string DatabaseNameOf(const TManagedDataset& dataset) {
  return dataset.DatabaseFileName().empty() ? dataset.DatabaseName() : dataset.DatabaseFileName();
}

}  // namespace

TDatabaseUse::TDatabaseUse(const TManagedDataset& dataset)
    : manager_(aaGetDatabaseManager(DatabaseNameOf(dataset), &dataset)),
      mode_(dataset.InMemory() ? smMemory : 0) {}

TDatabaseUse::~TDatabaseUse() { aaReleaseDatabaseManager(&manager_); }

std::shared_ptr<TAbstractPlainFileSystem> TDatabaseUse::Store(const std::string& operation) const {
  auto store = manager_.Store(mode_);
  if (store == nullptr)
    throw EEngineError(operation + " - cannot open the file store of database \"" + manager_.Name() + "\".");
  return store;
}

bool TDatabaseUse::TableBusy(const std::string& tableName) const {
  for (const TDeziDataManager* table : TEngineRegistries::Instance().DataManagers())
    if (table->DatabaseManager() == &manager_ && SameNameIgnoringCase(table->TableName(), tableName) &&
        !table->DatasetList().empty())
      return true;
  return false;
}

}  // namespace norvane

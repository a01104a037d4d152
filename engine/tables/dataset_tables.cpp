// The steps by which a dataset reaches its table through the shared
// managers, and back.
#include "engine/tables/dataset_tables.h"

#include "engine/tables/database_lookup.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_database.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/managed_dataset.h"

namespace norvane {
namespace {

// Leaves what the dataset joined; each manager goes when nobody uses it.
// A table that cannot be opened again in its new mode still lets the
// dataset go, and the failure is reported after.
void Leave(TManagedDataset& dataset, TDeziDataManager* table, TDeziDatabaseManager* database) {
  const auto unregister = [&] {
    database->UnregisterDataset(dataset);
    aaReleaseDatabaseManager(database);
  };
  try {
    if (table != nullptr && table->DisconnectDataset(dataset))
      TEngineRegistries::Instance().DestroyDataManager(table);
  } catch (...) {
    unregister();
    throw;
  }
  unregister();
}

}  // namespace

TDeziDataManager* aaOpenTableForDataset(TManagedDataset& dataset, const std::string& tableName,
                                        int32_t& result) {
  const std::string name =
      dataset.DatabaseFileName().empty() ? dataset.DatabaseName() : dataset.DatabaseFileName();
  if (TDeziDatabase* component = aaFindDatabase(name)) component->SetConnected(true);
  TDeziDatabaseManager& database = aaGetDatabaseManager(name, &dataset);
  database.RegisterDataset(dataset);
  TDeziDataManager* table = nullptr;
  try {
    table = &aaGetDataManager(tableName, &database);
    result = table->ConnectDataset(dataset);
  } catch (...) {
    if (table != nullptr && table->DatasetList().empty())
      TEngineRegistries::Instance().DestroyDataManager(table);
    Leave(dataset, nullptr, &database);
    throw;
  }
  if (result != 0) {
    if (table->DatasetList().empty()) TEngineRegistries::Instance().DestroyDataManager(table);
    Leave(dataset, nullptr, &database);
    return nullptr;
  }
  return table;
}

void aaCloseTableForDataset(TManagedDataset& dataset, TDeziDataManager& table) {
  Leave(dataset, &table, table.DatabaseManager());
}

}  // namespace norvane

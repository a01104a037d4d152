// Whole tables through the table component: creating (under a name of its
// own first, so an old table is replaced only by a whole new one), deleting,
// renaming, saving an in-memory table and making the query engine's
// temporary tables.
#include "engine/common/engine_error.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_use.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/table_file_store.h"

namespace norvane {
namespace {

constexpr size_t kPasswordLength = 255;

// A container named by the dataset that is not there yet is made first; a
// folder database exists by being found, and a memory one needs no file.
void MakeMissingContainer(const TDatabaseUse& database) {
  TDeziDatabaseManager& manager = database.Manager();
  if (manager.Kind() != TDatabaseKind::ContainerFile || manager.DefaultMode() != smContainer ||
      database.Mode() == smMemory || FileExists(manager.Name()))
    return;
  if (!TPFSManager::Instance().CreateContainer(manager.Name(), manager.DatabasePassword(), manager.InMemory()))
    throw EEngineError("TDeziDatabaseManager.CreateDatabase - Cannot create database file \"" + manager.Name() +
                       "\"");
}

void DropQuietly(TAbstractPlainFileSystem& store, const std::string& table) {
  try {
    TDeziDataManager::DeleteTable(store, table);
  } catch (const EEngineError&) {
    // Left under a name nobody uses; the failure that brought us here counts.
  }
}

}  // namespace

void TDeziTable::CreateTable(const std::string& tableName) {
  SetTableName(tableName);
  CreateTable();
}

void TDeziTable::CreateTable() {
  if (TDataSet::Active())
    throw EEngineError("TDeziDataSet.InternalCreateTable - Cannot perform this operation on an open DataSet.");
  TDatabaseUse database(*this);
  MakeMissingContainer(database);
  if (database.TableBusy(TableName()))
    throw EEngineError("TDeziDataSet.InternalCreateTable - Table is busy, table " + TableName());
  if (blockSize_ < 1) throw EEngineError("TDeziDataSet.InternalCreateTable - BlobBlockSize must be > 0");
  const auto store = database.Store("TDeziDataSet.InternalCreateTable");
  const std::string made = TDeziDataManager::FreeTableName(*store, TableName() + "_new");
  TTableFileStore files(database.Manager());
  files.SetTableMode(database.Mode());
  try {
    TDeziDataManager maker(files, made, false);
    maker.SetPassword(TSecret(Password().substr(0, kPasswordLength)));
    maker.SetBLOBBlockSize(blockSize_);
    maker.CreateTable(FieldDefs(), compression_, encrypted_, autoIndexes_, IndexDefs());
    maker.CloseTable();
  } catch (...) {
    DropQuietly(*store, made);
    throw;
  }
  try {
    TDeziDataManager::RenameTable(*store, made, TableName());
  } catch (...) {
    DropQuietly(*store, made);
    throw;
  }
}

void TDeziTable::DeleteTable() {
  if (TDataSet::Active()) throw EEngineError("Error in TDeziDataset.InternalDeleteTable - table is opened.");
  TDatabaseUse database(*this);
  if (database.TableBusy(TableName()))
    throw EEngineError("TDeziDataSet.InternalDeleteTable - Table is busy, table " + TableName());
  TDeziDataManager::DeleteTable(*database.Store("TDeziDataSet.InternalDeleteTable"), TableName());
}

void TDeziTable::RenameTable(const std::string& newName) {
  if (TDataSet::Active()) throw EEngineError("Error in TDeziDataset.InternalRenameTable - table is opened.");
  const std::string target = BareTableName(newName);
  TDatabaseUse database(*this);
  // A table open elsewhere under either name would lose its files.
  for (const std::string& name : {TableName(), target})
    if (database.TableBusy(name))
      throw EEngineError("TDeziDataSet.InternalRenameTable - Table is busy, table " + name);
  TDeziDataManager::RenameTable(*database.Store("TDeziDataSet.InternalRenameTable"), TableName(), target);
  SetTableName(target);
}

void TDeziTable::SaveTable() {
  if (Table() == nullptr) throw EEngineError("TDeziDataset.InternalSaveTable - table is not opened.");
  if (!InMemory()) throw EEngineError("TDeziDataset.InternalSaveTable - table is not in in-memory mode.");
  CheckBrowseMode();
  Table()->SaveToDefaultStore();
}

void TDeziTable::CreateTemporaryTable(int32_t recordsPerPage) {
  Close();
  SetRecordsPerPage(recordsPerPage);
  SetInMemory(true);
  SetAutoIndexes(false);
  SetDatabaseName("");
  SetDatabaseFileName("");
  {
    TDatabaseUse database(*this);
    SetTableName(TDeziDataManager::FreeTableName(*database.Store("TDeziTable.CreateTemporaryTable"), "@TABLE"));
  }
  CreateTable();
}

void TDeziTable::AddIndex(const std::string& name, const std::string& fields, uint8_t options,
                          const std::string& descFields, const std::string& caseInsFields) {
  WhileOpen([&] { TDeziDataset::AddIndex(name, fields, options, descFields, caseInsFields); });
}

void TDeziTable::DeleteIndex(const std::string& name) {
  WhileOpen([&] { TDeziDataset::DeleteIndex(name); });
}

void TDeziTable::WhileOpen(const std::function<void()>& operation) {
  const bool wasOpen = TDataSet::Active();
  if (!wasOpen) Open();
  try {
    operation();
  } catch (...) {
    if (!wasOpen) Close();
    throw;
  }
  if (!wasOpen) Close();
}

}  // namespace norvane

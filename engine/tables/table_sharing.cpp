// One table manager shared by every dataset of the process that opens the
// table: who joins and leaves, in which store mode the table is open, and
// when the table must be opened again for a newcomer.
#include "engine/common/engine_error.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/managed_dataset.h"
#include "engine/tables/table_file_store.h"

namespace norvane {
namespace {

constexpr size_t kPasswordLength = 255;

std::string TablePassword(const TManagedDataset& dataset) {
  return dataset.Password().substr(0, kPasswordLength);
}

}  // namespace

TDeziDataManager::TDeziDataManager(TDeziDatabaseManager& database, std::string tableName)
    : TDeziDataManager(std::make_unique<TTableFileStore>(database), database,
                       std::move(tableName)) {}

TDeziDataManager::TDeziDataManager(std::unique_ptr<TAbstractPlainFileSystem> store,
                                   TDeziDatabaseManager& database, std::string tableName)
    : TDeziDataManager(*store, std::move(tableName), false) {
  database_ = &database;
  tableStore_ = static_cast<TTableFileStore*>(store.get());
  ownStore_ = std::move(store);
}

int32_t TDeziDataManager::FileStoreMode() const {
  return tableStore_ != nullptr ? tableStore_->TableMode() : 0;
}

int32_t TDeziDataManager::DetectFileStoreMode() const {
  if (datasetList_.empty())
    throw EEngineError(
        "TDeziDataManager.DetectFileStoreMode - there is no datasets, datasetList.count = " +
        std::to_string(datasetList_.size()));
  size_t inMemory = 0;
  for (const TManagedDataset* dataset : datasetList_)
    if (dataset->InMemory()) ++inMemory;
  if (inMemory != 0 && inMemory != datasetList_.size())
    throw EEngineError("TDeziDataManager.DetectFileStoreMode - Cannot open table in both "
                       "InMemory and not InMemory modes.");
  return inMemory != 0 ? smMemory : 0;
}

int32_t TDeziDataManager::OpenShared() {
  const bool askedReadOnly = readOnly_;
  fileOpenedReadOnly_ = false;
  try {
    if (!OpenFiles(false)) return -1;
  } catch (const EEngineError&) {
    return -4;
  }
  try {
    OpenTable();
  } catch (const EInvalidTablePassword&) {
    return -3;
  } catch (const EEngineError&) {
    return -2;
  }
  // OpenFiles makes the table read-only when T.dat could only be read.
  fileOpenedReadOnly_ = readOnly_ && !askedReadOnly;
  return 0;
}

int32_t TDeziDataManager::ConnectDataset(TManagedDataset& dataset) {
  if (!datasetList_.empty() && dataset.InMemory() != (FileStoreMode() == smMemory))
    throw EEngineError("TDeziDataManager.ConnectDataset - Cannot open dataset in both InMemory "
                       "and other modes.");
  datasetList_.push_back(&dataset);
  if (datasetList_.size() == 1) {
    recordsPerPage_ = dataset.RecordsPerPage();
    SetPassword(TSecret(TablePassword(dataset)));
    tableStore_->SetTableMode(DetectFileStoreMode());
    readOnly_ = dataset.ReadOnly();
    const int32_t result = OpenShared();
    if (result != 0) {
      datasetList_.pop_back();
      return result;
    }
  } else {
    if (header_.Encrypted != 0 && TablePassword(dataset) != password_.Str()) {
      datasetList_.pop_back();
      throw EEngineError("TDeziDataManager.ConnectDataset - Inavlid password for table \"" +
                         tableName_ + "\"");
    }
    if (readOnly_ && !dataset.ReadOnly() && !fileOpenedReadOnly_) {
      // The files were opened for reading only; the newcomer's changes need
      // handles that can write, or they would be lost when the table closes.
      // Nothing is pending on a read-only table, so closing loses nothing.
      CloseTable();
      readOnly_ = false;
      int32_t result = OpenShared();
      if (result != 0) {
        readOnly_ = true;
        datasetList_.pop_back();
        if (OpenShared() != 0)
          throw EEngineError("TDeziDataManager.ConnectDataset - table \"" + tableName_ +
                             "\" cannot be opened again.");
        return result;
      }
    }
  }
  if (fileOpenedReadOnly_) dataset.SetReadOnly(true);
  return 0;
}

bool TDeziDataManager::DisconnectDataset(TManagedDataset& dataset) {
  std::erase(datasetList_, &dataset);
  if (datasetList_.empty()) return true;
  const int32_t mode = DetectFileStoreMode();
  if (mode != FileStoreMode()) {
    CloseTable();
    tableStore_->SetTableMode(mode);
    if (OpenShared() != 0)
      throw EEngineError("TDeziDataManager.DisconnectDataset - table \"" + tableName_ +
                         "\" cannot be opened again.");
  }
  return false;
}

void TDeziDataManager::SaveToDefaultStore() {
  if (!open_ || FileStoreMode() != smMemory)
    throw EEngineError("TDeziDataManager.SaveToDefaultStore - table \"" + tableName_ +
                       "\" is not open in memory mode.");
  if (!readOnly_) {
    FlushBuffers();
    SaveIndexesToDisk();
  }
  std::vector<std::string> extensions;
  if (bif_ != nullptr) extensions = {".bdf", ".bif"};
  if (idx_ != nullptr) extensions.push_back(".idx");
  extensions.push_back(".dat");
  for (const std::string& extension : extensions)
    database_->SaveFileToDefaultStore(tableName_ + extension);
}

}  // namespace norvane

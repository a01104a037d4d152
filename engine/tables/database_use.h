// The database manager of a dataset, held for one operation on whole tables
// and released afterwards (destroyed when nobody else uses it). Never held
// across opening or closing a dataset, which may release the manager.
#pragma once

#include <memory>
#include <string>

#include "engine/container/plain_file_system.h"
#include "engine/tables/database_manager.h"

namespace norvane {

class TManagedDataset;

class TDatabaseUse {
 public:
  explicit TDatabaseUse(const TManagedDataset& dataset);
  ~TDatabaseUse();
  TDatabaseUse(const TDatabaseUse&) = delete;
  TDatabaseUse& operator=(const TDatabaseUse&) = delete;

  TDeziDatabaseManager& Manager() const { return manager_; }
  // The store mode of the dataset's tables: smMemory or the default (0).
  int32_t Mode() const { return mode_; }
  // The store of that mode. Throws "<operation> - cannot open the file
  // store of database "<name>"." when there is none.
  std::shared_ptr<TAbstractPlainFileSystem> Store(const std::string& operation) const;
  // Another dataset has the table (by name, without case) open.
  bool TableBusy(const std::string& tableName) const;

 private:
  TDeziDatabaseManager& manager_;
  int32_t mode_;
};

}  // namespace norvane

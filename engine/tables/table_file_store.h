// The file store a shared table manager is built over: it passes every file
// operation to the table's database manager with the table's store mode
// (0: the database's default store, smMemory: the memory store), so the
// table code reads and writes files without knowing where they live.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/container/plain_file_system.h"

namespace norvane {

class TDeziDatabaseManager;

class TTableFileStore : public TAbstractPlainFileSystem {
 public:
  // `database` must outlive the store.
  explicit TTableFileStore(TDeziDatabaseManager& database);

  int32_t TableMode() const { return tableMode_; }
  // Takes effect for files opened afterwards.
  void SetTableMode(int32_t mode) { tableMode_ = mode; }

  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override;
  // The file goes back to the store that opened it.
  void CloseFile(TAbstractFile* file) override;
  bool DeleteFile(const std::string& name) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool FileExists(const std::string& name) override;
  void GetFileNames(const std::string& extension, std::vector<std::string>& names) override;

 private:
  TDeziDatabaseManager& database_;
  int32_t tableMode_ = 0;
};

}  // namespace norvane

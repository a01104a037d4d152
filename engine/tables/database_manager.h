// The manager of one open database, shared by every component and dataset
// of the process that names it: its name and default file store, who uses
// it, and the file operations through which table managers reach the
// database's files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/plain_file_system.h"

namespace norvane {

class TDeziDatabase;
class TManagedDataset;

enum class TDatabaseKind { ContainerFile, Folder };

class TDeziDatabaseManager {
 public:
  // `name` is the container file or folder as a full path, or for a
  // database kept only in memory (default mode smMemory) the dataset's
  // database name unchanged. `defaultMode` is smDisk, smContainer or
  // smMemory.
  TDeziDatabaseManager(std::string name, TDatabaseKind kind, int32_t defaultMode, bool readOnly,
                       bool inMemory);
  // Releases the container store of a container database not held in
  // memory, which flushes and closes the container file.
  ~TDeziDatabaseManager();
  TDeziDatabaseManager(const TDeziDatabaseManager&) = delete;
  TDeziDatabaseManager& operator=(const TDeziDatabaseManager&) = delete;

  const std::string& Name() const { return name_; }
  TDatabaseKind Kind() const { return kind_; }
  int32_t DefaultMode() const { return defaultMode_; }
  bool ReadOnly() const { return readOnly_; }
  bool InMemory() const { return inMemory_; }
  // Whether `name` names this manager: the same full path, exactly, for a
  // folder or container (on Linux case makes another file); the same name
  // without regard to case for a database kept only in memory.
  bool NamedBy(const std::string& name) const;

  // Components. ConnectDatabase refuses, when others are connected, a
  // writable component while the database is read-only
  // ("TDeziDatabaseManager.ConnectDatabase - database is already open in
  // read-only mode.") and another InMemory value ("... - database is already
  // open with other in-memory mode value."). The first component sets the read-only
  // and in-memory flags and opens the container store, which may make the
  // database read-only; the component's ReadOnly follows the database's.
  void ConnectDatabase(TDeziDatabase& database);
  // Closes the active datasets that use the component and removes it. The
  // manager stays: the caller releases it (aaReleaseDatabaseManager).
  void DisconnectDatabase(TDeziDatabase& database);
  const std::vector<TDeziDatabase*>& Databases() const { return databases_; }
  // Moves the open container between disk and memory and sets the flag of
  // the manager and of every connected component.
  void SwitchInMemory(bool inMemory);

  // Datasets: registering makes the dataset read-only when the database is.
  void RegisterDataset(TManagedDataset& dataset);
  void UnregisterDataset(TManagedDataset& dataset);
  const std::vector<TManagedDataset*>& Datasets() const { return datasets_; }
  bool Unused() const { return databases_.empty() && datasets_.empty(); }

  // The Password of the first connected component, else of the component
  // this manager's name finds, else empty.
  std::string DatabasePassword() const;

  // File operations of the table managers. `mode` 0 is the default store;
  // smMemory is the memory store, except for a container held in memory,
  // whose files are already in memory and are used as they are.
  // The store of a mode, or null when the store registry cannot open it;
  // opening the container store may make the database read-only.
  std::shared_ptr<TAbstractPlainFileSystem> Store(int32_t mode);
  // A memory-mode name also exists when the default store has it: opening
  // it copies it into memory.
  bool FileExists(const std::string& name, int32_t mode);
  // Opens or creates the file, not exclusive. In memory mode a file not yet
  // in memory and not being created is first copied there from the default
  // store. Throws the stores' messages, and "TDeziDatabaseManager.OpenFile -
  // cannot open the file store of database "<name>"." when there is none.
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly, int32_t mode);
  // Closes a file OpenFile gave.
  void CloseFile(TAbstractFile* file);
  bool DeleteFile(const std::string& name, int32_t mode);
  bool RenameFile(const std::string& oldName, const std::string& newName, int32_t mode);
  void GetFileNames(const std::string& extension, std::vector<std::string>& names, int32_t mode);
  // Writes the memory store's file `name` into the default store in place
  // of its file there. Nothing when the memory mode uses the default store
  // itself. Throws what either store throws: a save that did not happen is
  // never reported as done.
  void SaveFileToDefaultStore(const std::string& name);
  // The store memory-mode tables copy their files into, or null when the
  // memory mode uses the default store itself (a container held in memory).
  std::shared_ptr<TAbstractPlainFileSystem> MemoryCopyStore();

 private:
  int32_t ResolveMode(int32_t mode) const;
  std::shared_ptr<TAbstractPlainFileSystem> RequireStore(int32_t mode, const char* operation);
  void CopyIntoMemory(TAbstractPlainFileSystem& memory, const std::string& name);

  std::string name_;
  TDatabaseKind kind_;
  int32_t defaultMode_;
  bool readOnly_;
  bool inMemory_;
  std::vector<TDeziDatabase*> databases_;
  std::vector<TManagedDataset*> datasets_;
};

// Destroys the manager when no component and no dataset uses it; returns
// whether it did (the pointer is then dangling).
bool aaReleaseDatabaseManager(TDeziDatabaseManager* manager);

}  // namespace norvane

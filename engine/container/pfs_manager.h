// The registry of open file stores: one store per database name and mode,
// shared by every user in the process. Failures of the registry itself
// (missing container, wrong password, unknown mode) give no store.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/container/plain_file_system.h"
#include "engine/container/single_file_system.h"

namespace norvane {

class TPFSManager {
 public:
  // The registry of this process.
  static TPFSManager& Instance();

  // The store for `name` and `mode`, opened when not open yet; nullptr on
  // any failure. For containers `readOnly` says on return whether the store
  // is read-only (a container that cannot be written is opened read-only);
  // the password is checked every time, also for a store already open.
  TAbstractPlainFileSystem* GetPFSHandle(const std::string& name, const std::string& password,
                                         bool inMemory, bool& readOnly, int32_t mode);
  // Closes and frees the container store of that name, if open.
  void ReleasePFS(const std::string& name, bool inMemory);
  // Creates a new container file (released again at once unless in memory).
  bool CreateContainer(const std::string& name, const std::string& password, bool inMemory);

  size_t OpenStoreCount() const { return stores_.size(); }
  // How containers' parts are made; tests shrink parts or inject faults.
  void SetPartOptions(const TPartOptions& parts) { parts_ = parts; }

 private:
  TAbstractPlainFileSystem* Find(const std::string& name, int32_t mode) const;
  std::unique_ptr<TAbstractPlainFileSystem> Open(const std::string& name,
                                                 const std::string& password, bool inMemory,
                                                 bool& readOnly, int32_t mode) const;

  std::vector<std::unique_ptr<TAbstractPlainFileSystem>> stores_;
  TPartOptions parts_;
};

}  // namespace norvane

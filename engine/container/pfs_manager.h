// The registry of open file stores: one store per database name and mode,
// shared by every user in the process. Failures of the registry itself
// (missing container, wrong password, unknown mode) give no store.
//
// Stores are shared: the registry holds one reference and each user another,
// so a store is never freed under anyone. Releasing a container store closes
// its container at once (the file is flushed and let go, so it may be
// replaced) and the registry forgets it; whoever still holds the store keeps
// a valid object whose operations, and those of its files, throw "The
// container is closed." until the last holder drops it.
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
  // any failure. Names of memory stores match without letter case; those of
  // folders and containers match as exact full paths (on Linux two paths
  // that differ only in letter case are two files).
  // For containers `readOnly` says on return whether the store
  // is read-only (a container that cannot be written is opened read-only);
  // the password is checked every time, also for a store already open.
  std::shared_ptr<TAbstractPlainFileSystem> GetPFSHandle(const std::string& name,
                                                         const std::string& password,
                                                         bool inMemory, bool& readOnly,
                                                         int32_t mode);
  // Closes the container store of that name, if open, and forgets it (see
  // above). A failed final flush cannot be reported here: a caller that must
  // know flushes the container first.
  void ReleasePFS(const std::string& name, bool inMemory);
  // Creates a new container file (released again at once unless in memory).
  // A store of that name is released first, so its holders see it closed.
  bool CreateContainer(const std::string& name, const std::string& password, bool inMemory);

  size_t OpenStoreCount() const { return stores_.size(); }
  // How containers' parts are made; tests shrink parts or inject faults.
  void SetPartOptions(const TPartOptions& parts) { parts_ = parts; }

 private:
  std::shared_ptr<TAbstractPlainFileSystem> Find(const std::string& name, int32_t mode) const;
  std::unique_ptr<TAbstractPlainFileSystem> Open(const std::string& name,
                                                 const std::string& password, bool inMemory,
                                                 bool& readOnly, int32_t mode) const;

  std::vector<std::shared_ptr<TAbstractPlainFileSystem>> stores_;
  TPartOptions parts_;
};

}  // namespace norvane

// The store registry.
#include "engine/container/pfs_manager.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"

namespace norvane {
namespace {

// A memory store's name is only a name, compared as the engine compares
// names. The other stores are named by a file or folder, and on Linux two
// paths that differ only in letter case are two different files: they are
// compared as full paths, exactly, so they never share one store.
bool SameStoreName(int32_t mode, const std::string& a, const std::string& b) {
  if (mode == smMemory) return SameNameIgnoringCase(a, b);
  return ExpandFileName(a) == ExpandFileName(b);
}

}  // namespace

TPFSManager& TPFSManager::Instance() {
  static TPFSManager registry;
  return registry;
}

std::shared_ptr<TAbstractPlainFileSystem> TPFSManager::Find(const std::string& name,
                                                           int32_t mode) const {
  for (auto it = stores_.rbegin(); it != stores_.rend(); ++it)
    if ((*it)->Mode() == mode && SameStoreName(mode, (*it)->Name(), name)) return *it;
  return nullptr;
}

std::unique_ptr<TAbstractPlainFileSystem> TPFSManager::Open(const std::string& name,
                                                            const std::string& password,
                                                            bool inMemory, bool& readOnly,
                                                            int32_t mode) const {
  switch (mode) {
    case smDisk: return std::make_unique<TDiskPlainFileSystem>(name);
    case smMemory: return std::make_unique<TMemoryPlainFileSystem>(name);
    case smTemporary: return std::make_unique<TTemporaryPlainFileSystem>(name);
    case smContainer: {
      if (!FileExists(name)) return nullptr;
      if (!readOnly) {
        // A container nobody else writes is opened for writing; one that
        // cannot be written (protected, or another writer holds it) for reading.
        TSystemFile probe;
        readOnly = !probe.Open(name, TFileAccess::ReadWrite, TFileShare::DenyWrite, false);
      }
      return std::make_unique<TESFSPlainFileSystem>(name, false, inMemory, readOnly, mode,
                                                    password, parts_);
    }
    default:
      throw EEngineError("TPFSManager.GetPFSHandle - Unsuuported file store mode.");
  }
}

std::shared_ptr<TAbstractPlainFileSystem> TPFSManager::GetPFSHandle(const std::string& name,
                                                                    const std::string& password,
                                                                    bool inMemory, bool& readOnly,
                                                                    int32_t mode) {
  try {
    if (auto open = Find(name, mode)) {
      if (mode == smContainer) {
        auto& store = static_cast<TESFSPlainFileSystem&>(*open);
        if (!store.Container().PasswordOpens(password)) return nullptr;
        readOnly = store.ReadOnly();
      }
      return open;
    }
    auto store = Open(name, password, inMemory, readOnly, mode);
    if (store == nullptr) return nullptr;
    stores_.push_back(std::move(store));
    return stores_.back();
  } catch (const EEngineError&) {
    return nullptr;
  }
}

void TPFSManager::ReleasePFS(const std::string& name, bool) {
  auto it = std::find_if(stores_.begin(), stores_.end(), [&](const auto& store) {
    return store->Mode() == smContainer && SameStoreName(smContainer, store->Name(), name);
  });
  if (it == stores_.end()) return;
  const std::shared_ptr<TAbstractPlainFileSystem> store = std::move(*it);
  stores_.erase(it);
  try {
    static_cast<TESFSPlainFileSystem&>(*store).Close();
  } catch (const EEngineError&) {
    // See the declaration: the container is closed all the same.
  }
}

bool TPFSManager::CreateContainer(const std::string& name, const std::string& password,
                                  bool inMemory) {
  try {
    ReleasePFS(name, inMemory);
    stores_.push_back(std::make_shared<TESFSPlainFileSystem>(name, true, inMemory, false,
                                                             smContainer, password, parts_));
    if (!inMemory) ReleasePFS(name, inMemory);
    return true;
  } catch (const EEngineError&) {
    return false;
  }
}

}  // namespace norvane

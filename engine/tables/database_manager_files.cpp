// The file operations a database manager offers its table managers: which
// store a mode means, the copy of a file into memory before a memory-mode
// table first reads it, and the copy back into the default store.
#include "engine/common/engine_error.h"
#include "engine/container/pfs_manager.h"
#include "engine/tables/database_manager.h"

namespace norvane {

int32_t TDeziDatabaseManager::ResolveMode(int32_t mode) const {
  if (mode == 0) return defaultMode_;
  // A container held in memory already keeps every file in memory; a second
  // copy in the memory store would only split the table from its database.
  if (mode == smMemory && inMemory_ && defaultMode_ == smContainer) return defaultMode_;
  return mode;
}

std::shared_ptr<TAbstractPlainFileSystem> TDeziDatabaseManager::Store(int32_t mode) {
  const int32_t resolved = ResolveMode(mode);
  bool readOnly = readOnly_;
  auto store = TPFSManager::Instance().GetPFSHandle(name_, DatabasePassword(), inMemory_,
                                                    readOnly, resolved);
  if (store != nullptr && resolved == smContainer && readOnly) readOnly_ = true;
  return store;
}

std::shared_ptr<TAbstractPlainFileSystem> TDeziDatabaseManager::RequireStore(
    int32_t mode, const char* operation) {
  auto store = Store(mode);
  if (store == nullptr)
    throw EEngineError(std::string("TDeziDatabaseManager.") + operation +
                       " - cannot open the file store of database \"" + name_ + "\".");
  return store;
}

bool TDeziDatabaseManager::FileExists(const std::string& name, int32_t mode) {
  const int32_t resolved = ResolveMode(mode);
  auto store = Store(resolved);
  if (store == nullptr) return false;
  if (store->FileExists(name)) return true;
  if (resolved != smMemory || defaultMode_ == smMemory) return false;
  auto fallback = Store(0);
  return fallback != nullptr && fallback->FileExists(name);
}

void TDeziDatabaseManager::CopyIntoMemory(TAbstractPlainFileSystem& memory,
                                          const std::string& name) {
  auto source = RequireStore(0, "OpenFile");
  TAbstractFile* from = source->OpenFile(name, false, true, false);
  try {
    TAbstractFile* copy = memory.OpenFile(name, true, false, false);
    try {
      copy->CopyFrom(*from, 0);
      copy->SeekFromStart(0);
    } catch (...) {
      // Half a copy must not pass for the file: the next open copies again.
      memory.DeleteFile(name);
      throw;
    }
  } catch (...) {
    source->CloseFile(from);
    throw;
  }
  source->CloseFile(from);
}

TAbstractFile* TDeziDatabaseManager::OpenFile(const std::string& name, bool create,
                                              bool readOnly, int32_t mode) {
  const int32_t resolved = ResolveMode(mode);
  auto store = RequireStore(resolved, "OpenFile");
  if (resolved == smMemory && defaultMode_ != smMemory && !create && !store->FileExists(name))
    CopyIntoMemory(*store, name);
  return store->OpenFile(name, create, readOnly, false);
}

void TDeziDatabaseManager::CloseFile(TAbstractFile* file) {
  if (file != nullptr && file->Owner() != nullptr) file->Owner()->CloseFile(file);
}

bool TDeziDatabaseManager::DeleteFile(const std::string& name, int32_t mode) {
  auto store = Store(mode);
  return store != nullptr && store->DeleteFile(name);
}

bool TDeziDatabaseManager::RenameFile(const std::string& oldName, const std::string& newName,
                                      int32_t mode) {
  auto store = Store(mode);
  return store != nullptr && store->RenameFile(oldName, newName);
}

void TDeziDatabaseManager::GetFileNames(const std::string& extension,
                                        std::vector<std::string>& names, int32_t mode) {
  names.clear();
  if (auto store = Store(mode)) store->GetFileNames(extension, names);
}

std::shared_ptr<TAbstractPlainFileSystem> TDeziDatabaseManager::MemoryCopyStore() {
  if (ResolveMode(smMemory) == defaultMode_) return nullptr;
  return Store(smMemory);
}

void TDeziDatabaseManager::SaveFileToDefaultStore(const std::string& name) {
  if (ResolveMode(smMemory) == defaultMode_) return;
  auto memory = RequireStore(smMemory, "SaveFileToDefaultStore");
  auto target = RequireStore(0, "SaveFileToDefaultStore");
  TAbstractFile* from = memory->OpenFile(name, false, false, false);
  TAbstractFile* copy = target->OpenFile(name, true, false, false);
  try {
    copy->CopyFrom(*from, 0);
    copy->Flush();
  } catch (...) {
    target->CloseFile(copy);
    from->SeekFromStart(0);
    throw;
  }
  target->CloseFile(copy);
  from->SeekFromStart(0);
}

}  // namespace norvane

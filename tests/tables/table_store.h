// The stores a table's tests run in (a folder, a container file, memory),
// made and made again as a reopening program would, and the raw bytes of a
// store's files for tests that look at or damage them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/memory_plain_file_system.h"
#include "tests/support/temp_folder.h"

namespace norvane::testing {

enum class TStoreKind { Folder, Container, Memory };

// Hands out the store of one kind: Reopen() drops the folder and container
// stores and opens them again over the same place; the memory store, whose
// files live only as long as it does, stays.
class TTableStore {
 public:
  explicit TTableStore(TStoreKind kind) : kind_(kind) { Make(true); }
  TAbstractPlainFileSystem& Store() { return *store_; }
  void Reopen() {
    if (kind_ == TStoreKind::Memory) return;
    store_.reset();
    Make(false);
  }

 private:
  void Make(bool create) {
    switch (kind_) {
      case TStoreKind::Folder: store_ = std::make_unique<TDiskPlainFileSystem>(folder_.Path()); break;
      case TStoreKind::Container:
        store_ = std::make_unique<TESFSPlainFileSystem>(folder_ / "db.adb", create, false, false,
                                                        smContainer, "");
        break;
      case TStoreKind::Memory: store_ = std::make_unique<TMemoryPlainFileSystem>("mem"); break;
    }
  }

  TStoreKind kind_;
  TTempFolder folder_;
  std::unique_ptr<TAbstractPlainFileSystem> store_;
};

inline std::vector<uint8_t> ReadStoreFile(TAbstractPlainFileSystem& store, const std::string& name) {
  TAbstractFile* file = store.OpenFile(name, false, true, false);
  std::vector<uint8_t> bytes(static_cast<size_t>(file->Size()));
  file->SeekFromStart(0);
  if (!bytes.empty()) file->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  store.CloseFile(file);
  return bytes;
}

inline void WriteStoreFile(TAbstractPlainFileSystem& store, const std::string& name,
                           const std::vector<uint8_t>& bytes) {
  TAbstractFile* file = store.OpenFile(name, false, false, false);
  file->SetSize(0);
  file->SeekFromStart(0);
  if (!bytes.empty()) file->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  store.CloseFile(file);
}

}  // namespace norvane::testing

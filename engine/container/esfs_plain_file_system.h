// The container store: a database's files are files in the root of one
// container file, which stays open until the store is closed or destroyed.
#pragma once

#include <memory>

#include "engine/container/plain_file_system.h"
#include "engine/container/single_file_system.h"

namespace norvane {

class TESFSPlainFileSystem : public TAbstractPlainFileSystem {
 public:
  // Creates (create) or opens the container: mode word 0xFFFF, 0x40 when
  // read-only, else 0x22; 4 KB pages, 16 pages an extent. Throws what the
  // container throws (wrong password, damage).
  TESFSPlainFileSystem(const std::string& fileName, bool create, bool inMemory, bool readOnly,
                       int32_t mode, const std::string& password, const TPartOptions& parts = {});
  ~TESFSPlainFileSystem() override;

  // "TESFSPlainFileSystem.OpenFile - File "<name>" is already open."
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override;
  void CloseFile(TAbstractFile* file) override { Unlist(file); }
  bool DeleteFile(const std::string& name) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool FileExists(const std::string& name) override;
  // Names in the root without their extension, each once; folders left out.
  void GetFileNames(const std::string& extension, std::vector<std::string>& names) override;

  TESingleFileSystem& Container() { return *container_; }
  bool ReadOnly() const { return container_->ReadOnly(); }
  // Moves the container between disk and memory.
  void SetInMemory(bool inMemory);
  // Flushes and closes the container. The store and its files stay valid
  // objects for whoever holds them, but every later operation on them
  // throws the container's "The container is closed." message.
  void Close() { container_->Close(); }

 private:
  std::unique_ptr<TESingleFileSystem> container_;
};

}  // namespace norvane

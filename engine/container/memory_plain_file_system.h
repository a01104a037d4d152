// The memory store: a database whose files are memory buffers that live as
// long as the store. Opening a listed name returns the same file again.
#pragma once

#include "engine/container/plain_file_system.h"

namespace norvane {

class TMemoryPlainFileSystem : public TAbstractPlainFileSystem {
 public:
  explicit TMemoryPlainFileSystem(const std::string& name) : TAbstractPlainFileSystem(name, smMemory) {}
  ~TMemoryPlainFileSystem() override { FreeAll(); }

  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override;
  void CloseFile(TAbstractFile*) override {}
  bool DeleteFile(const std::string& name) override;
  // False when there is no such file or the new name is taken.
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool FileExists(const std::string& name) override { return FindOpen(name) != nullptr; }
  // Names with their extension.
  void GetFileNames(const std::string& extension, std::vector<std::string>& names) override;
};

}  // namespace norvane

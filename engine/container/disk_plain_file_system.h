// The disk store: a database's files are ordinary files in a folder. Names
// are matched without regard to letter case, as the engine's callers expect,
// and reach the file system as UTF-8. The temporary store keeps its files
// open until the store goes or the file is deleted, and the system deletes
// them when they close.
#pragma once

#include "engine/container/plain_file_system.h"

namespace norvane {

class TDiskPlainFileSystem : public TAbstractPlainFileSystem {
 public:
  explicit TDiskPlainFileSystem(const std::string& folder, int32_t mode = smDisk);
  ~TDiskPlainFileSystem() override { FreeAll(); }

  // "TDiskPlainFileSystem.OpenFile - File "<full name>" is already open."
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override;
  void CloseFile(TAbstractFile* file) override { Unlist(file); }
  bool DeleteFile(const std::string& name) override;
  // Never replaces an existing file.
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
  bool FileExists(const std::string& name) override;
  // Names without their extension; folders are left out.
  void GetFileNames(const std::string& extension, std::vector<std::string>& names) override;

  const std::string& Folder() const { return folder_; }

 protected:
  // The folder plus the name as it is on disk: an existing file whose name
  // differs only in letter case is that file.
  std::string FullName(const std::string& name) const;

 private:
  std::string folder_;
};

class TTemporaryPlainFileSystem : public TDiskPlainFileSystem {
 public:
  explicit TTemporaryPlainFileSystem(const std::string& folder)
      : TDiskPlainFileSystem(folder, smTemporary) {}

  // An open file of that name is returned again (emptied when creating).
  TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                          bool exclusive) override;
  // Files stay open until the store goes or they are deleted or renamed.
  void CloseFile(TAbstractFile*) override {}
  bool DeleteFile(const std::string& name) override;
  bool RenameFile(const std::string& oldName, const std::string& newName) override;
};

}  // namespace norvane

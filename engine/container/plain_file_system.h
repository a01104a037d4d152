// File stores: one interface over the places a database's files can live —
// a folder on disk, a container file, memory, or a folder of temporary files.
// A store owns the files it has open; destroying it frees them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/abstract_file.h"

namespace norvane {

// Store modes, as the table storage asks for them.
enum TStoreMode : int32_t { smDisk = 1, smContainer = 2, smMemory = 3, smTemporary = 4 };

class TAbstractPlainFileSystem {
 public:
  TAbstractPlainFileSystem(std::string name, int32_t mode) : name_(std::move(name)), mode_(mode) {}
  virtual ~TAbstractPlainFileSystem() = default;
  TAbstractPlainFileSystem(const TAbstractPlainFileSystem&) = delete;
  TAbstractPlainFileSystem& operator=(const TAbstractPlainFileSystem&) = delete;

  const std::string& Name() const { return name_; }
  int32_t Mode() const { return mode_; }

  // Opens or creates a file; the store keeps it until CloseFile (or its own
  // end). Failures throw the engine's messages.
  virtual TAbstractFile* OpenFile(const std::string& name, bool create, bool readOnly,
                                  bool exclusive) = 0;
  virtual void CloseFile(TAbstractFile* file) = 0;
  virtual bool DeleteFile(const std::string& name) = 0;
  virtual bool RenameFile(const std::string& oldName, const std::string& newName) = 0;
  virtual bool FileExists(const std::string& name) = 0;
  // The names of the store's files with this extension (".dat").
  virtual void GetFileNames(const std::string& extension, std::vector<std::string>& names) = 0;

 protected:
  // The open file of that name (letters compared without case), or null.
  TAbstractFile* FindOpen(const std::string& name) const;
  TAbstractFile* List(std::unique_ptr<TAbstractFile> file);
  // The names of the listed files, in the order they were opened.
  std::vector<std::string> ListedNames() const;
  // Frees a listed file (which closes it).
  void Unlist(TAbstractFile* file);
  // Frees every listed file; stores that own what their files use call it
  // before those things go.
  void FreeAll() { files_.clear(); }

 private:
  std::string name_;
  int32_t mode_;
  std::vector<std::unique_ptr<TAbstractFile>> files_;
};

}  // namespace norvane

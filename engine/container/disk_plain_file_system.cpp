// Disk and temporary stores.
#include "engine/container/disk_plain_file_system.h"

#include "engine/common/engine_error.h"
#include "engine/container/disk_file.h"
#include "engine/platform/file_system.h"

namespace norvane {

namespace {

std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TDiskPlainFileSystem::TDiskPlainFileSystem(const std::string& folder, int32_t mode)
    : TAbstractPlainFileSystem(folder, mode),
      folder_(folder.empty() || folder.back() == '/' ? folder : folder + "/") {}

std::string TDiskPlainFileSystem::FullName(const std::string& name) const {
  const std::string exact = folder_ + name;
  if (norvane::FileExists(exact)) return exact;
  for (const TFolderEntry& entry : EnumerateFolder(folder_, "*"))
    if (!entry.IsFolder && SameNameIgnoringCase(entry.Name, name)) return folder_ + entry.Name;
  return exact;
}

TAbstractFile* TDiskPlainFileSystem::OpenFile(const std::string& name, bool create, bool readOnly,
                                              bool exclusive) {
  const std::string full = FullName(name);
  if (FindOpen(full) != nullptr)
    throw EEngineError("TDiskPlainFileSystem.OpenFile - File \"" + full + "\" is already open.");
  auto file = std::make_unique<TDiskFile>(this, full, exclusive, readOnly, false);
  file->Open(create);
  return List(std::move(file));
}

bool TDiskPlainFileSystem::DeleteFile(const std::string& name) {
  return DeleteFileByName(FullName(name));
}

bool TDiskPlainFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  return RenameFileByName(FullName(oldName), folder_ + newName, false);
}

bool TDiskPlainFileSystem::FileExists(const std::string& name) {
  return norvane::FileExists(FullName(name));
}

void TDiskPlainFileSystem::GetFileNames(const std::string& extension,
                                        std::vector<std::string>& names) {
  names.clear();
  for (const TFolderEntry& entry : EnumerateFolder(folder_, "*" + extension))
    if (!entry.IsFolder) names.push_back(WithoutExtension(entry.Name));
}

TAbstractFile* TTemporaryPlainFileSystem::OpenFile(const std::string& name, bool create,
                                                   bool readOnly, bool exclusive) {
  if (TAbstractFile* open = FindOpen(FullName(name))) {
    if (create) open->SetSize(0);
    open->SeekFromStart(0);
    return open;
  }
  auto file = std::make_unique<TDiskFile>(this, FullName(name), exclusive, readOnly, true);
  file->Open(create);
  return List(std::move(file));
}

// Closing a temporary file takes it off the disk, so a delete of an open
// one is done by closing it; a rename of an open one finds nothing to rename.
bool TTemporaryPlainFileSystem::DeleteFile(const std::string& name) {
  if (TAbstractFile* open = FindOpen(FullName(name))) {
    Unlist(open);
    return !FileExists(name);
  }
  return TDiskPlainFileSystem::DeleteFile(name);
}

bool TTemporaryPlainFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  if (TAbstractFile* open = FindOpen(FullName(oldName))) Unlist(open);
  return TDiskPlainFileSystem::RenameFile(oldName, newName);
}

}  // namespace norvane

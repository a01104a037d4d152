// The memory store.
#include "engine/container/memory_plain_file_system.h"

#include "engine/container/memory_file.h"
#include "engine/platform/file_system.h"

namespace norvane {

TAbstractFile* TMemoryPlainFileSystem::OpenFile(const std::string& name, bool create,
                                                bool readOnly, bool exclusive) {
  if (TAbstractFile* listed = FindOpen(name)) {
    if (create) listed->SetSize(0);
    listed->SeekFromStart(0);
    listed->SetReadOnly(readOnly);
    return listed;
  }
  auto file = std::make_unique<TMemoryFile>(this, name, exclusive, readOnly, false);
  file->Open(create);
  return List(std::move(file));
}

bool TMemoryPlainFileSystem::DeleteFile(const std::string& name) {
  TAbstractFile* listed = FindOpen(name);
  if (listed == nullptr) return false;
  Unlist(listed);
  return true;
}

bool TMemoryPlainFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  TAbstractFile* listed = FindOpen(oldName);
  TAbstractFile* taken = FindOpen(newName);
  if (listed == nullptr || (taken != nullptr && taken != listed)) return false;
  listed->SetName(newName);
  return true;
}

void TMemoryPlainFileSystem::GetFileNames(const std::string& extension,
                                          std::vector<std::string>& names) {
  names.clear();
  for (const std::string& name : ListedNames()) {
    const size_t dot = name.rfind('.');
    const std::string own = dot == std::string::npos ? "" : name.substr(dot);
    if (SameNameIgnoringCase(own, extension)) names.push_back(name);
  }
}

}  // namespace norvane

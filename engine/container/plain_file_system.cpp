// The open-file list every store keeps.
#include "engine/container/plain_file_system.h"

#include <algorithm>

#include "engine/platform/file_system.h"

namespace norvane {

TAbstractFile* TAbstractPlainFileSystem::FindOpen(const std::string& name) const {
  for (const auto& file : files_)
    if (SameNameIgnoringCase(file->Name(), name)) return file.get();
  return nullptr;
}

TAbstractFile* TAbstractPlainFileSystem::List(std::unique_ptr<TAbstractFile> file) {
  files_.push_back(std::move(file));
  return files_.back().get();
}

std::vector<std::string> TAbstractPlainFileSystem::ListedNames() const {
  std::vector<std::string> names;
  for (const auto& file : files_) names.push_back(file->Name());
  return names;
}

void TAbstractPlainFileSystem::Unlist(TAbstractFile* file) {
  auto it = std::find_if(files_.begin(), files_.end(),
                         [file](const auto& listed) { return listed.get() == file; });
  if (it != files_.end()) files_.erase(it);
}

}  // namespace norvane

// The container store.
#include "engine/container/esfs_plain_file_system.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/container/esfs_file.h"

namespace norvane {

namespace {

std::string InRoot(const std::string& name) { return "\\" + name; }

}  // namespace

TESFSPlainFileSystem::TESFSPlainFileSystem(const std::string& fileName, bool create,
                                           bool inMemory, bool readOnly, int32_t mode,
                                           const std::string& password, const TPartOptions& parts)
    : TAbstractPlainFileSystem(fileName, mode) {
  const uint16_t word = create     ? kModeCreate
                        : readOnly ? kModeReadOnlyDenyNone
                                   : kModeReadWriteDenyWrite;
  container_ = std::make_unique<TESingleFileSystem>(fileName, 16, 4, 0, "", "", password,
                                                    inMemory, word, parts);
}

TESFSPlainFileSystem::~TESFSPlainFileSystem() {
  // The files use the container; they go first.
  FreeAll();
}

TAbstractFile* TESFSPlainFileSystem::OpenFile(const std::string& name, bool create, bool readOnly,
                                              bool exclusive) {
  if (FindOpen(name) != nullptr)
    throw EEngineError("TESFSPlainFileSystem.OpenFile - File \"" + name + "\" is already open.");
  auto file = std::make_unique<TESFSFile>(this, *container_, name, exclusive, readOnly);
  file->Open(create);
  return List(std::move(file));
}

bool TESFSPlainFileSystem::DeleteFile(const std::string& name) {
  return container_->DeleteFile(InRoot(name));
}

bool TESFSPlainFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  return container_->RenameFile(InRoot(oldName), InRoot(newName));
}

bool TESFSPlainFileSystem::FileExists(const std::string& name) {
  return container_->FileExists(InRoot(name));
}

void TESFSPlainFileSystem::GetFileNames(const std::string& extension,
                                        std::vector<std::string>& names) {
  names.clear();
  TSearchRec found;
  for (int32_t rc = container_->FindFirst("\\*" + extension, 0x3F, found); rc == 0;
       rc = container_->FindNext(found)) {
    if ((found.Attr & faDirectory) != 0) continue;
    const size_t dot = found.Name.rfind('.');
    std::string bare = dot == std::string::npos ? found.Name : found.Name.substr(0, dot);
    if (std::find(names.begin(), names.end(), bare) == names.end()) names.push_back(std::move(bare));
  }
  container_->FindClose(found);
}

void TESFSPlainFileSystem::SetInMemory(bool inMemory) {
  container_->PageFile().Stream().SetInMemory(inMemory);
}

}  // namespace norvane

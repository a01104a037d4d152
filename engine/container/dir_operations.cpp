// What the container asks of its directory: creating files and folders,
// opening, renaming and removing them, each with one record write.
#include "engine/common/engine_error.h"
#include "engine/container/container_path.h"
#include "engine/container/dir_manager.h"
#include "engine/container/password_block.h"
#include "engine/platform/file_time.h"

namespace norvane {

int32_t TDIRManager::ResolveFolder(const std::string& folderPart) const {
  const int32_t folder = folderPart.empty() ? -1 : FindPath(folderPart);
  return folder >= -1 && IsFolder(folder) ? folder : kPathNotFound;
}

bool TDIRManager::NameFree(int32_t parent, const std::string& name, int32_t self,
                           int32_t replaced) const {
  if (namesAsGiven_) {
    const int32_t same = FindChild(parent, name);
    return same < 0 || same == self;
  }
  if (!array_.NameTaken(parent, name, self)) return true;
  // A clash the directory already held (made under another locale) may
  // stay: the item keeps its own name, or takes over the replaced one's.
  for (int32_t item : {self, replaced}) {
    if (item < 0) continue;
    const TFileRec& rec = array_.ReadItem(item);
    if (rec.ParentID == parent && rec.FileName == name) return true;
  }
  return false;
}

int32_t TDIRManager::Replaceable() const {
  return deletedLast_ >= 0 && array_.ReadItem(deletedLast_).Deleted ? deletedLast_ : -1;
}

TFileRec TDIRManager::NewRecord(int32_t parent, const std::string& name, bool folder) const {
  TFileRec rec;
  rec.ParentID = parent;
  rec.FileName = name;
  rec.CreationTime = rec.LastWriteTime = rec.LastAccessTime = NowAsFileTime();
  rec.IsFolder = folder;
  rec.Attributes = folder ? TFileRec::kFolderAttribute : 0;
  return rec;
}

bool TDIRManager::MayReplace(const std::string& path, int32_t replaced) const {
  if (IsRootPath(path)) return false;
  std::string folderPart, name;
  SplitLastName(path, folderPart, name);
  const int32_t parent = ResolveFolder(folderPart);
  return parent >= -1 && IsValidItemName(name) && NameFree(parent, name, replaced, -1);
}

int32_t TDIRManager::CreateFileItem(const std::string& path, const std::string& password,
                                    const std::string& question, const std::string& answer) {
  lastError_ = 0;
  if (IsRootPath(path)) return -1;
  std::string folderPart, name;
  SplitLastName(path, folderPart, name);
  const int32_t parent = ResolveFolder(folderPart);
  if (parent < -1 || !IsValidItemName(name) || !NameFree(parent, name, -1, Replaceable()))
    return -1;
  TFileRec rec = NewRecord(parent, name, false);
  if (!password.empty()) {
    // The file gets a key of its own, kept under its password like a
    // container's.
    BuildPasswordBlock(rec.PasswordBlock.data(), password, question, answer);
    rec.HasPassword = true;
  }
  return AddItem(rec);
}

bool TDIRManager::CreateDir(const std::string& path) {
  lastError_ = 0;
  if (IsRootPath(path)) return false;
  std::string folderPart, name;
  SplitLastName(path, folderPart, name);
  const int32_t parent = ResolveFolder(folderPart);
  if (parent < -1 || !IsValidItemName(name) || !NameFree(parent, name, -1, Replaceable()))
    return false;
  return AddItem(NewRecord(parent, name, true)) >= 0;
}

bool TDIRManager::ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (IsRootPath(path)) return true;
  std::string folderPart, name;
  SplitLastName(path, folderPart, name);
  if (!folderPart.empty() && !DirectoryExists(folderPart) && !ForceDirectories(folderPart))
    throw EEngineError("TDIRManager.ForceDirectories - ForceDirectories error!");
  if (DirectoryExists(path)) return true;
  return CreateDir(path);
}

bool TDIRManager::DirectoryExists(const std::string& path) const {
  if (IsRootPath(path) || path == ".") return true;
  const int32_t index = FindPath(path);
  return index >= -1 && IsFolder(index);
}

bool TDIRManager::RemoveDir(const std::string& path) {
  const int32_t index = FindPath(path);
  if (index < 0 || !IsFolder(index) || !array_.Children(index).empty()) return false;
  TFileRec rec = array_.ReadItem(index);
  rec.Deleted = true;
  rec.LastAccessTime = NowAsFileTime();
  WriteItem(index, rec);
  return true;
}

int32_t TDIRManager::OpenItem(const std::string& path) {
  const int32_t index = FindPath(path);
  if (index < 0 || IsFolder(index)) return -1;
  TFileRec rec = array_.ReadItem(index);
  ++openCounts_[static_cast<size_t>(index)];
  if (!pages_.ReadOnly()) {
    rec.LastAccessTime = NowAsFileTime();
    WriteItem(index, rec);
  }
  return index;
}

void TDIRManager::CloseItem(int32_t index) {
  if (index >= 0 && index < Count() && openCounts_[static_cast<size_t>(index)] > 0)
    --openCounts_[static_cast<size_t>(index)];
}

int32_t TDIRManager::OpenCount(int32_t index) const {
  return index >= 0 && index < Count() ? openCounts_[static_cast<size_t>(index)] : -1;
}

bool TDIRManager::CheckItemPassword(const std::string& path, const std::string& password,
                                    TSecret& fileKey) const {
  fileKey.Wipe();
  const int32_t index = FindPath(path);
  if (index < 0) return false;
  const TFileRec& rec = array_.ReadItem(index);
  if (!rec.HasPassword) return true;
  if (CheckPassword(rec.PasswordBlock.data(), password, fileKey)) return true;
  fileKey.Wipe();  // a key that does not check is no key
  return false;
}

bool TDIRManager::RenameItem(const std::string& oldPath, const std::string& newPath) {
  const int32_t index = FindPath(oldPath);
  if (index < 0 || OpenCount(index) > 0) return false;
  std::string folderPart, name;
  SplitLastName(newPath, folderPart, name);
  if (!IsValidItemName(name)) return false;
  // The deepest folder of the new path that exists already must not lie at
  // or below the item moved: checked before any folder is made for it.
  std::string existing = folderPart;
  while (!existing.empty() && ResolveFolder(existing) < -1) {
    std::string up, ignored;
    SplitLastName(existing, up, ignored);
    if (up == existing) break;
    existing = up;
  }
  const int32_t reached = ResolveFolder(existing);
  if (reached >= 0 && IsBelow(reached, index)) return false;
  if (!folderPart.empty() && !DirectoryExists(folderPart)) {
    try {
      if (!ForceDirectories(folderPart)) return false;
    } catch (const EEngineError&) {
      return false;  // a file stands where a folder of the new path should be
    }
  }
  const int32_t parent = ResolveFolder(folderPart);
  if (parent < -1 || (parent >= 0 && IsBelow(parent, index))) return false;
  if (!NameFree(parent, name, index, Replaceable())) return false;
  TFileRec rec = array_.ReadItem(index);
  rec.ParentID = parent;
  rec.FileName = name;
  rec.LastWriteTime = rec.LastAccessTime = NowAsFileTime();
  WriteItem(index, rec);
  deletedLast_ = -1;  // a name is given
  return true;
}

}  // namespace norvane

// Enumeration of a folder's entries by mask, through numbered search slots.
#include "engine/container/container_path.h"
#include "engine/container/dir_manager.h"
#include "engine/platform/file_system.h"
#include "engine/platform/file_time.h"

namespace norvane {

void TDIRManager::Fill(TSearchRec& rec, int32_t index) const {
  const TFileRec& item = array_.ReadItem(index);
  rec.Name = item.FileName;
  rec.Attr = item.Attributes;
  rec.Size = static_cast<int32_t>(static_cast<uint32_t>(item.Size));
  rec.FullSize = item.Size;
  rec.Time = FileTimeToLocalDosDateTime(item.LastWriteTime);
  rec.CreationTime = item.CreationTime;
  rec.LastAccessTime = item.LastAccessTime;
  rec.LastWriteTime = item.LastWriteTime;
}

int32_t TDIRManager::FindFirst(const std::string& path, uint32_t attributes, TSearchRec& rec) {
  rec.Slot = -1;
  const uint32_t excluded = (attributes & 0x1E) ^ 0x1E;
  std::string folderPart, mask;
  size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  if (cut == 0) {
    mask = path;
  } else {
    folderPart = cut == 1 ? path.substr(0, 1) : path.substr(0, cut - 1);
    mask = path.substr(cut);
  }
  const int32_t folder = ResolveFolder(folderPart);
  if (folder < -1) return kFindFolderNotFound;
  std::vector<int32_t> matches;
  for (int32_t child : array_.Children(folder)) {
    const TFileRec& item = array_.ReadItem(child);
    if ((item.Attributes & excluded) == 0 && MatchesMask(item.FileName, mask))
      matches.push_back(child);
  }
  if (matches.empty()) return kFindNoMore;
  size_t slot = 0;
  while (slot < slots_.size() && slots_[slot].InUse) ++slot;
  if (slot == slots_.size()) slots_.emplace_back();
  slots_[slot] = {true, std::move(matches), 1};
  rec.Slot = static_cast<int32_t>(slot);
  Fill(rec, slots_[slot].Matches[0]);
  return 0;
}

int32_t TDIRManager::FindNext(TSearchRec& rec) {
  if (rec.Slot < 0 || static_cast<size_t>(rec.Slot) >= slots_.size()) return kFindNoMore;
  TSearchSlot& slot = slots_[static_cast<size_t>(rec.Slot)];
  if (!slot.InUse) return kFindClosed;
  if (slot.Next >= slot.Matches.size()) return kFindNoMore;
  Fill(rec, slot.Matches[slot.Next++]);
  return 0;
}

void TDIRManager::FindClose(TSearchRec& rec) {
  if (rec.Slot >= 0 && static_cast<size_t>(rec.Slot) < slots_.size())
    slots_[static_cast<size_t>(rec.Slot)] = TSearchSlot{};
  rec.Slot = -1;
}

}  // namespace norvane

// Operations on the whole chain of parts by name: renaming, deleting, and
// moving the parts between disk and memory.
#include <set>

#include "engine/common/engine_error.h"
#include "engine/container/huge_file.h"
#include "engine/platform/file_system.h"

namespace norvane {

namespace {

// Reads the header of a part of the chain whose first part is named
// `firstBase`: after the foreign prefix in the first part, at the start of any
// other; `at` receives where it lies. False when the header is not valid or
// names no next part of this chain, which ends a walk by name.
bool ReadLink(TESFSAbstractFile& part, bool first, const std::string& firstBase, int64_t& at,
              TPartHeader& header) {
  at = first ? FindContainerPrefix(part) : 0;
  return ReadPartHeader(part, at, header) && IsValidNextPartName(header.NextName, firstBase);
}

}  // namespace

bool TESFSHugeFile::Rename(const std::string& newFileName) {
  const std::string target =
      ExtractFilePath(newFileName).empty() ? Folder() + newFileName : newFileName;
  const std::string oldBase = ExtractFileName(fileName_);
  const std::string newBase = ExtractFileName(target);
  if (inMemory_) {
    if (parts_.empty()) throw EEngineError("TESFSHugeFile.RenameFile - No memory files exist.");
    for (size_t i = 0; i < parts_.size(); ++i)
      parts_[i]->SetFileName(target + parts_[i]->FileName().substr(fileName_.size()));
    for (size_t i = 0; i + 1 < parts_.size(); ++i)
      WriteHeader(i, ExtractFileName(parts_[i + 1]->FileName()));
    fileName_ = target;
    return true;
  }
  if (open_) throw EEngineError("TESFSHugeFile.RenameFile - File is open.");
  if (!RenameFileByName(fileName_, target, false)) return false;
  const std::string oldFolder = Folder();
  const std::string newFolder = ExtractFilePath(target);
  std::string current = target;
  for (bool first = true;; first = false) {
    auto part = factory_(current, false, true, false);
    part->Open(false);
    int64_t at = 0;
    TPartHeader header;
    if (!ReadLink(*part, first, oldBase, at, header)) {
      part->Close();
      break;
    }
    const std::string newNext = newBase + header.NextName.substr(oldBase.size());
    if (static_cast<int64_t>(newNext.size()) >= kPartNameCapacity ||
        !RenameFileByName(oldFolder + header.NextName, newFolder + newNext, false)) {
      part->Close();
      return false;
    }
    try {
      uint8_t raw[kPartHeaderSize];
      EncodePartHeader({header.MaxPartSize, newNext}, raw);
      part->SeekFromStart(at);
      part->WriteBuffer(raw, kPartHeaderSize);
      part->Close();
    } catch (const EEngineError&) {
      RenameFileByName(newFolder + newNext, oldFolder + header.NextName, false);
      return false;
    }
    current = newFolder + newNext;
  }
  fileName_ = target;
  return true;
}

bool TESFSHugeFile::DeleteAll() {
  CloseParts(false);
  open_ = false;
  size_ = 0;
  position_ = 0;
  if (inMemory_) return true;
  const std::string firstBase = ExtractFileName(fileName_);
  std::set<std::string> seen;
  std::string name = fileName_;
  for (bool first = true; FileExists(name) && seen.insert(name).second; first = false) {
    std::string next;
    {
      // Opening exclusively first means a file that another process holds is
      // refused rather than deleted from under it.
      auto part = factory_(name, false, true, false);
      part->Open(false);
      int64_t at = 0;
      TPartHeader header;
      if (ReadLink(*part, first, firstBase, at, header)) next = header.NextName;
      part->Close();
    }
    if (!DeleteFileByName(name)) return false;
    if (next.empty()) break;
    name = Folder() + next;
  }
  return true;
}

void TESFSHugeFile::SetInMemory(bool inMemory) {
  if (inMemory == inMemory_) return;
  // All new parts are made before any old one is let go, so a failure leaves
  // the stream as it was.
  std::vector<std::unique_ptr<TESFSAbstractFile>> moved;
  for (auto& part : parts_) {
    auto other = MakePart(part->FileName(), inMemory);
    other->Open(true);
    other->CopyFrom(*part);
    other->SeekFromStart(part->Position());
    moved.push_back(std::move(other));
  }
  for (auto& part : parts_) part->Close();
  parts_ = std::move(moved);
  inMemory_ = inMemory;
  if (!open_) CloseParts(true);
}

}  // namespace norvane

// Repair and compaction: every live folder and file is copied into a fresh
// container "<name>_new", pages stored as they are (no deciphering), deleted
// records and free pages left behind; then the new container takes the old
// one's place (container_swap.cpp).
//
// Invariants:
//   1. The old container is not changed until the new one is complete and
//      flushed; until then every failure just deletes "_new".
//   2. Pages are copied whole, enciphered bytes and all, with the encryption
//      type they were stored with, under the same container key; the last
//      page too, since its cipher blocks run to the end of the payload.
#include "engine/common/engine_error.h"
#include "engine/container/container_path.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_time.h"

namespace norvane {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int32_t kRepairExtentPages = 16;
constexpr int32_t kNoBuffer = -14;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void TESingleFileSystem::RaiseNoSpaceQuietly() {
  try {
    RaiseNoSpace();
  } catch (...) {
    // A handler that fails must not turn a clean failure into another one.
  }
}

// Copies the data pages of `from` into the target's file `targetIndex`.
// False when a page could not be read (its readable bytes, or zeros, are
// copied in its place); with stopOnReadErrors the copy ends there.
bool TESingleFileSystem::CopyPages(TESingleFileSystem& target, const TFileRec& from,
                                   int32_t targetIndex, bool stopOnReadErrors) {
  if (from.FirstMapPageNo == -1) return true;
  const std::vector<int32_t> pages = maps_->GetMaps(from).DataPages;
  TFileRec copy = target.dir_->ReadItem(targetIndex);
  if (!pages.empty() &&
      !target.maps_->AppendPages(copy, static_cast<int32_t>(pages.size()), false)) {
    target.RaiseNoSpaceQuietly();
    throw EEngineError("Not enough space");
  }
  const std::vector<int32_t> targetPages = pages.empty() ? std::vector<int32_t>{}
                                                         : target.maps_->GetMaps(copy).DataPages;
  bool clean = true;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::fill(page_.begin(), page_.end(), 0);
    TPageRecord rec;
    rec.Data = page_.data();
    if (!pages_->ReadPage(rec, pages[i], true, "", -1)) {
      clean = false;
      if (stopOnReadErrors) break;
      // Bytes that could not be read at all are stored as a plain zero page.
      if (pages_->LastError() != peChecksum) rec.Header.EncryptionType = 0;
    }
    TPageRecord out;
    out.Data = page_.data();
    out.Header.PageType = ptFileData;
    out.Header.EncryptionType = rec.Header.EncryptionType;
    if (!target.pages_->WritePage(out, targetPages[i], "", -1, true)) {
      target.RaiseNoSpaceQuietly();
      throw EEngineError("Not enough space");
    }
  }
  copy.Size = clean || !stopOnReadErrors ? from.Size : 0;
  target.dir_->WriteItem(targetIndex, copy);
  return clean;
}

void TESingleFileSystem::CopyRecord(TESingleFileSystem& target, int32_t index,
                                    bool stopOnReadErrors, std::string& log) {
  const TFileRec rec = dir_->ReadItem(index);
  if (rec.Deleted) return;
  const std::string path = dir_->GetFullPath(index);
  auto forced = [&](const std::string& folder) {
    try {
      target.dir_->ForceDirectories(folder);
    } catch (const EEngineError&) {
      // Reported below as a folder that could not be made.
    }
    return target.dir_->DirectoryExists(folder);
  };
  if (rec.IsFolder) {
    if (!forced(path)) {
      log += "Directory " + Quoted(path) + " deleted. " + kCrLf;
      repairLostData_ = true;
    }
    return;
  }
  std::string folder, name;
  SplitLastName(path, folder, name);
  if (!folder.empty() && !IsRootPath(folder) && !forced(folder)) {
    log += "Directory " + Quoted(folder) + " deleted. " + kCrLf;
    repairLostData_ = true;
    return;
  }
  const int32_t copyIndex = target.dir_->CreateFileItem(path, "", "", "");
  if (copyIndex < 0) {
    if (target.dir_->LastError() == kNoSpace) {
      target.RaiseNoSpaceQuietly();
      throw EEngineError("Not enough space");
    }
    log += "File " + Quoted(path) + " deleted. " + kCrLf;
    repairLostData_ = true;
    return;
  }
  TFileRec copy = target.dir_->ReadItem(copyIndex);
  copy.PasswordBlock = rec.PasswordBlock;
  copy.HasPassword = rec.HasPassword;
  copy.Attributes = rec.Attributes;
  copy.CreationTime = rec.CreationTime;
  copy.LastWriteTime = rec.LastWriteTime;
  copy.LastAccessTime = rec.LastAccessTime;
  target.dir_->WriteItem(copyIndex, copy);
  bool clean = false;
  try {
    clean = CopyPages(target, rec, copyIndex, stopOnReadErrors);
  } catch (const EEngineError& e) {
    // A page map that cannot be read loses the file, not the repair; running
    // out of space ends the repair.
    if (std::string(e.what()) == "Not enough space") throw;
    target.DeleteFile(path);
    log += "File " + Quoted(path) + " deleted. " + kCrLf;
    repairLostData_ = true;
    return;
  }
  if (clean) return;
  repairLostData_ = true;
  if (stopOnReadErrors) {
    log += "File " + Quoted(path) + " deleted. " + kCrLf;
    throw EEngineError("TESingleFileSystem.RepairFile - File " + Quoted(path) +
                       " could not be copied.");
  }
  log += "File " + Quoted(path) + " has unreadable pages; they were copied as far as they could be read. " + kCrLf;
}

bool TESingleFileSystem::RepairFile(std::string& log, bool stopOnReadErrors,
                                    const std::string& answer, const std::string& question,
                                    const std::string& newPassword, bool changePassword) {
  RequireOpen("RepairFile");
  log.clear();
  repairLostData_ = false;
  if (readOnly_ || inMemory_) return false;
  if (pages_->FreeDiskSpace() < ContainerSize()) {
    log = "Not enough space.";
    RaiseNoSpaceQuietly();
    return false;
  }
  lastError_ = 0;
  handles_.clear();
  const std::string newName = fileName_ + "_new";
  const int32_t pageSizeKB = pages_->PageSize() / 1024;
  const int32_t extentPages = pages_->Header().ExtentPageCount();
  std::unique_ptr<TESingleFileSystem> target;
  auto discardTarget = [&] {
    target.reset();
    TESFSHugeFile(newName, -1, false, false, false, parts_.Factory).DeleteAll();
  };
  try {
    // Pages are copied as they are stored, so the new container must have
    // the same key: it takes the old block, or a new password for the same
    // key. Only a container without a key gets a new one with a password.
    const bool freshKey = changePassword && !IsEncrypted();
    // Named, so the choices below bind references instead of copying the
    // password into a temporary string nobody wipes.
    const std::string none;
    if (changePassword && IsEncrypted() && newPassword.empty())
      throw EEngineError("TESingleFileSystem.RepairFile - The password of an encrypted "
                         "container cannot be removed by a repair.");
    target = std::make_unique<TESingleFileSystem>(
        newName, extentPages > 0 ? extentPages : kRepairExtentPages, pageSizeKB, 0,
        freshKey ? answer : none, freshKey ? question : none, freshKey ? newPassword : none,
        false, kModeCreate, parts_);
    // Names come across byte for byte, including names this user's locale
    // finds equal ignoring case but the one that made them did not.
    target->dir_->KeepNamesAsGiven();
    if (!freshKey) target->pages_->AdoptKey(*pages_);
    if (changePassword && IsEncrypted()) target->pages_->ChangePassword(newPassword, question, answer);
    page_.assign(static_cast<size_t>(pages_->PayloadSize()), 0);
  } catch (const std::bad_alloc&) {
    discardTarget();
    lastError_ = kNoBuffer;
    return false;
  } catch (const EEngineError& e) {
    discardTarget();
    log += std::string("Critical error occured. Original file restored.") + kCrLf + e.what();
    return false;
  }
  const int32_t count = dir_->Count();
  try {
    for (int32_t index = 0; index < count; ++index) {
      bool cancel = false;
      if (OnProgress) OnProgress(*this, cancel, count == 0 ? 0 : index * 100.0 / count);
      if (cancel) {
        discardTarget();
        log += std::string("RepairFile cancelled. Original file restored.") + kCrLf;
        return false;
      }
      CopyRecord(*target, index, stopOnReadErrors, log);
    }
    target->Flush();
  } catch (const EEngineError& e) {
    discardTarget();
    log += std::string("Critical error occured. Original file restored.") + kCrLf + e.what();
    return false;
  }
  const size_t newParts = target->pages_->Stream().PartCount();
  target.reset();  // closes "_new" whole before anything happens to the old file
  if (!SwapIn(newName, newParts, changePassword ? newPassword : password_.Str(), log)) return false;
  bool cancel = false;
  if (OnProgress) OnProgress(*this, cancel, 100.0);
  return true;
}

}  // namespace norvane

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
//   3. The new container never vouches for bytes the old one could not read:
//      a page whose checksum failed is carried across as it was stored,
//      header checksum and all, and a page that could not be read at all
//      gets a checksum its bytes fail; so reading those bytes fails in the
//      new container too, and the checker names the page, until the file
//      is written again or deleted. Every page that reads is sealed afresh.
#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/container/container_path.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_time.h"
#include "engine/protection/page_checksum.h"

namespace norvane {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int32_t kRepairExtentPages = 16;
constexpr int32_t kNoBuffer = -14;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The bytes of a file of `size` bytes held by its data pages `pages`
// (indexes in ascending order, `payload` bytes each), pages that follow one
// another joined into one range; a page wholly past the size holds none.
std::vector<TByteRange> UnreadableRanges(const std::vector<int32_t>& pages, int64_t size,
                                         int64_t payload) {
  std::vector<TByteRange> ranges;
  for (const int32_t page : pages) {
    const int64_t first = page * payload;
    if (first >= size) break;
    const int64_t last = std::min(first + payload, size) - 1;
    if (!ranges.empty() && ranges.back().Last + 1 == first) {
      ranges.back().Last = last;
    } else {
      ranges.push_back({first, last});
    }
  }
  return ranges;
}

}  // namespace

std::string RangesText(const std::vector<TByteRange>& ranges) {
  std::string text;
  for (const TByteRange& range : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(range.First) + "-" + std::to_string(range.Last);
  }
  return text;
}

void TESingleFileSystem::RaiseNoSpaceQuietly() {
  try {
    RaiseNoSpace();
  } catch (...) {
    // A handler that fails must not turn a clean failure into another one.
  }
}

// Copies the data pages of `from` into the target's file `targetIndex` and
// returns the indexes of the pages that could not be read (invariant 3);
// with stopOnReadErrors the copy ends at the first of them.
std::vector<int32_t> TESingleFileSystem::CopyPages(TESingleFileSystem& target,
                                                   const TFileRec& from, int32_t targetIndex,
                                                   bool stopOnReadErrors) {
  std::vector<int32_t> unreadable;
  if (from.FirstMapPageNo == -1) return unreadable;
  const std::vector<int32_t> pages = maps_->GetMaps(from).DataPages;
  TFileRec copy = target.dir_->ReadItem(targetIndex);
  if (!pages.empty() &&
      !target.maps_->AppendPages(copy, static_cast<int32_t>(pages.size()), false)) {
    target.RaiseNoSpaceQuietly();
    throw EEngineError("Not enough space");
  }
  const std::vector<int32_t> targetPages = pages.empty() ? std::vector<int32_t>{}
                                                         : target.maps_->GetMaps(copy).DataPages;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::fill(page_.begin(), page_.end(), 0);
    TPageRecord rec;
    rec.Data = page_.data();
    const bool read = pages_->ReadPage(rec, pages[i], true, "", -1);
    TPageRecord out;
    out.Data = page_.data();
    out.Header.PageType = ptFileData;
    out.Header.EncryptionType = rec.Header.EncryptionType;
    bool stored = false;
    if (read) {
      stored = target.pages_->WritePage(out, targetPages[i], "", -1, true);
    } else {
      unreadable.push_back(static_cast<int32_t>(i));
      if (stopOnReadErrors) break;
      if (pages_->LastError() == peChecksum) {
        // The stored bytes under the stored checksum, which they fail.
        out.Header.Checksum = rec.Header.Checksum;
        out.Header.ChecksumType = rec.Header.ChecksumType;
      } else {
        // Bytes that could not be read at all: what came, then zeros, plain,
        // under a checksum they fail.
        out.Header.EncryptionType = 0;
        out.Header.Checksum = ~PageChecksum(page_.data(), page_.size(), ckXOR32);
      }
      stored = target.pages_->WritePageAsStored(out, targetPages[i], pages_->PayloadSize());
    }
    if (!stored) {
      target.RaiseNoSpaceQuietly();
      throw EEngineError("Not enough space");
    }
  }
  copy.Size = unreadable.empty() || !stopOnReadErrors ? from.Size : 0;
  target.dir_->WriteItem(targetIndex, copy);
  return unreadable;
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
    repairDamage_.push_back({path, {}});
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
  std::vector<int32_t> unreadable;
  try {
    unreadable = CopyPages(target, rec, copyIndex, stopOnReadErrors);
  } catch (const EEngineError& e) {
    // A page map that cannot be read loses the file, not the repair; running
    // out of space ends the repair.
    if (std::string(e.what()) == "Not enough space") throw;
    target.DeleteFile(path);
    log += "File " + Quoted(path) + " deleted. " + kCrLf;
    repairLostData_ = true;
    repairDamage_.push_back({path, {}});
    return;
  }
  if (unreadable.empty()) return;
  repairLostData_ = true;
  if (stopOnReadErrors) {
    log += "File " + Quoted(path) + " deleted. " + kCrLf;
    throw EEngineError("TESingleFileSystem.RepairFile - File " + Quoted(path) +
                       " could not be copied.");
  }
  TUnreadableFile damage{path, UnreadableRanges(unreadable, rec.Size, pages_->PayloadSize())};
  log += "File " + Quoted(path) +
         (damage.Ranges.empty() ? std::string(" has unreadable pages beyond its size")
                                : " has unreadable bytes " + RangesText(damage.Ranges)) +
         "; their pages were copied without fresh checksums and still fail to read. " + kCrLf;
  repairDamage_.push_back(std::move(damage));
}

int64_t TESingleFileSystem::RepairSpaceNeeded() const {
  RequireOpen("RepairSpaceNeeded");
  return ContainerSize();
}

bool TESingleFileSystem::RepairFile(std::string& log, bool stopOnReadErrors,
                                    const std::string& answer, const std::string& question,
                                    const std::string& newPassword, bool changePassword) {
  RequireOpen("RepairFile");
  log.clear();
  repairLostData_ = false;
  repairDamage_.clear();
  repairBackup_.clear();
  if (readOnly_ || inMemory_) return false;
  if (pages_->FreeDiskSpace() < RepairSpaceNeeded()) {
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

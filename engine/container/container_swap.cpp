// Putting a repaired container in place of the old one. The name of the
// container always leads to a complete container: for a container in one
// part, the old file first gets a second name (the backup, a hard link) and
// the new file then replaces it under its own name in one rename, so every
// moment has either the old or the new file under the name. Containers in
// several parts (or on file systems without hard links) are moved part by
// part: old to the backup name, then new to the name, so a crash in between
// leaves the old container complete under the backup name the log gives.
// A container in one part keeps its file open, and so its sharing hold,
// until the new file has the name: a program waiting for the container
// then gets the new file, never the old one just before it becomes the
// backup (what it wrote there would go with the backup). Renaming part by
// part opens the parts, so there the container closes first. Until the
// container is open again it is closed, so that a failure on the way (or a
// file that cannot be opened at the end) leaves every later call refused
// with a clear message rather than reaching a layer that is gone. A reader
// that opened the new file first leaves it open read-only.
#include "engine/common/engine_error.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"

namespace norvane {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr int32_t kCannotTakeName = -15;
constexpr char kClosedAfterRepair[] = "The container is closed after a failed repair.";

std::string BackupName(const std::string& fileName) {
  for (int n = 0;; ++n) {
    const std::string name = fileName + std::to_string(n);
    if (!FileExists(name)) return name;
  }
}

}  // namespace

bool TESingleFileSystem::SwapIn(const std::string& newName, size_t newParts,
                                const std::string& password, std::string& log) {
  auto step = [&](const char* name) {
    if (OnRepairStep) OnRepairStep(name);
  };
  auto stream = [&](const std::string& name) {
    return TESFSHugeFile(name, -1, false, false, false, parts_.Factory);
  };
  const size_t oldParts = pages_->Stream().PartCount();
  const uint16_t oldMode = mode_;
  auto closeOld = [&] {
    if (!IsOpen()) return;
    CloseLayers(kClosedAfterRepair);
    step("old container closed");
  };
  const std::string backup = BackupName(fileName_);
  auto reopen = [&] {
    std::string why;
    try {
      OpenLayers(16, 4, "", "");
      return true;
    } catch (const EEngineError& e) {
      why = e.what();
    }
    // Between closing and opening again another program may open the file
    // under the name. A reader keeps writers out while it reads; the file is
    // complete, so the container opens again read-only beside it.
    if (IsSharingViolation(why) && !ModeIsReadOnly(mode_)) {
      mode_ = kModeReadOnlyDenyNone;
      try {
        OpenLayers(16, 4, "", "");
        return true;
      } catch (const EEngineError& e) {
        why = e.what();
      }
    }
    CloseLayers(kClosedAfterRepair);
    log += "The container could not be opened again: " + why + kCrLf;
    return false;
  };
  auto giveUp = [&] {
    closeOld();
    stream(newName).DeleteAll();
    mode_ = oldMode;
    lastError_ = kCannotTakeName;
    log += "The new file could not take the name " + fileName_ + ". Original file restored." + kCrLf;
    reopen();
    return false;
  };

  const bool linked = oldParts == 1 && newParts == 1 && LinkFileByName(fileName_, backup);
  if (linked) {
    step("backup linked");
    if (!RenameFileByName(newName, fileName_, true)) {
      DeleteFileByName(backup);
      return giveUp();
    }
  } else {
    closeOld();
    if (!stream(fileName_).Rename(ExtractFileName(backup))) return giveUp();
    step("old container renamed");
    if (!stream(newName).Rename(ExtractFileName(fileName_))) {
      stream(backup).Rename(ExtractFileName(fileName_));
      return giveUp();
    }
  }
  step("new container in place");
  closeOld();
  if (repairLostData_) {
    log += "Backup kept as \"" + backup + "\": some data could not be copied." + kCrLf;
    repairBackup_ = backup;
  } else if (linked) {
    DeleteFileByName(backup);
  } else {
    stream(backup).DeleteAll();
  }
  step("backup settled");
  mode_ = kModeReadWriteReopen;
  password_.Assign(password);
  return reopen();
}

}  // namespace norvane

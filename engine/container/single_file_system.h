// The container object: one catalogue file holding named files and folders.
// It creates or opens the file through the page layer, loads the free-space
// maps and the directory, and offers file operations through integer handles.
// Operations that would change a read-only container throw. A closed
// container (Close, or a repair that could not open the file again) throws
// "TESingleFileSystem.<operation> - The container is closed." (or "... is
// closed after a failed repair.") from every operation but CloseFile and
// FindClose, which have nothing left to release.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/dir_manager.h"
#include "engine/container/free_space_manager.h"
#include "engine/container/page_file_manager.h"
#include "engine/container/page_map_manager.h"

namespace norvane {

class TESingleFileSystem;
using TContainerProgressEvent = std::function<void(TESingleFileSystem& sender, bool& cancel,
                                                   double percent)>;
using TContainerNoSpaceEvent = std::function<void(TESingleFileSystem& sender)>;
// Raised at each step of replacing the container after a repair (for logs,
// and for tests that stop the process at every step).
using TContainerStepEvent = std::function<void(const char* step)>;

// Bytes First to Last of a file, both included.
struct TByteRange {
  int64_t First;
  int64_t Last;
};
// The ranges as "4064-8127, 12192-12999".
std::string RangesText(const std::vector<TByteRange>& ranges);

// A file a repair could not copy whole: its path (engine text, "\"
// separators) and the bytes of the pages that could not be read, which still
// fail to read in the rebuilt container. No ranges: the file was left out.
struct TUnreadableFile {
  std::string Path;
  std::vector<TByteRange> Ranges;
};

class TESingleFileSystem {
 public:
  // Creates (mode 0xFFFF) or opens the container. A container held in memory
  // whose file exists is loaded rather than replaced. Opening checks the
  // password first: "TESingleFileSystem.Create - invalid password specified,
  // file name = "<name>"". `reserved` is accepted and not used.
  TESingleFileSystem(const std::string& fileName, int32_t extentPageCount, int32_t pageSizeKB,
                     int32_t reserved, const std::string& answer, const std::string& question,
                     const std::string& password, bool inMemory, uint16_t mode,
                     const TPartOptions& parts = {});
  // Flushes the part files; failures cannot be reported from here, so callers
  // that must know call Flush first.
  ~TESingleFileSystem();

  // Flushes and closes the file and drops every handle; the object stays
  // valid for those holding it, closed. A flush failure is thrown after the
  // container has closed. Closing a closed container does nothing.
  void Close();

  bool IsEncrypted() const { RequireOpen("IsEncrypted"); return pages_->IsEncrypted(); }
  void Flush() { RequireOpen("Flush"); pages_->Flush(); }
  // Whether `password` opens this container (always for one without).
  bool PasswordOpens(const std::string& password) const;

  // Rebuilds the container into "<name>_new" and puts it in place of the
  // old one, which survives under a backup name until the new one is
  // complete. False (the old container open again, unchanged) when the
  // container is read-only or in memory, space or memory runs out, the
  // caller cancels from OnProgress, or anything fails; the log says why.
  // When the file, old or new, cannot be opened again at the end, the result
  // is false and the container is closed (the file on disk stays whole).
  // When another program has opened the file for reading by then, it is
  // open again read-only beside it.
  // When files or pages could not be read, the backup is kept and named in
  // the log, and RepairLostData() is true; pages that could not be read are
  // carried across without fresh checksums, so their bytes still fail to
  // read, and RepairDamage() names them. Refused ("Not enough space." in the
  // log) when the volume has less free space than RepairSpaceNeeded().
  bool RepairFile(std::string& log, bool stopOnReadErrors, const std::string& answer,
                  const std::string& question, const std::string& newPassword,
                  bool changePassword);
  bool RepairLostData() const { return repairLostData_; }
  // The files the last repair could not copy whole, in directory order.
  const std::vector<TUnreadableFile>& RepairDamage() const { return repairDamage_; }
  // Where the last repair kept the old container (empty: nowhere).
  const std::string& RepairBackup() const { return repairBackup_; }
  // The free space a repair asks for: the whole container's size, since the
  // old and the new container exist side by side until the end.
  int64_t RepairSpaceNeeded() const;

  // Files. Handles are >= 0 and never reused while the container is open.
  // CreateFile: a record index >= 0, -16 when an existing file of the path
  // could not be deleted (it is open), or another negative failure.
  int32_t CreateFile(const std::string& path, const std::string& password = "",
                     const std::string& question = "", const std::string& answer = "");
  // mode 0xFFFF creates the file first. -1 when not found or a folder, or
  // when the file has a password of its own that `password` does not open:
  // its block refuses it, or the key it gives reads the file's last page
  // inconsistently (a refused open writes nothing).
  int32_t OpenFile(const std::string& path, uint16_t mode, const std::string& password = "",
                   const std::string& question = "", const std::string& answer = "");
  void CloseFile(int32_t handle);
  // Bytes read or written; fewer with LastError set on a page failure. A
  // write the container cannot hold (no pages, or past MaxFileSize()) gives
  // 0 with LastError -17 and OnNoSpace raised, and changes nothing.
  int64_t FileRead(int32_t handle, void* buffer, int64_t length);
  int64_t FileWrite(int32_t handle, const void* buffer, int64_t length);
  // origin 0 start, 1 current, 2 end; the new position, or -1 (unchanged)
  // when it would be negative or pass INT64_MAX; 0 for an unknown handle.
  // A position beyond the end, even beyond what the container can hold, is
  // kept: reads there give 0 bytes, writes fail with -17 (OnNoSpace raised)
  // when the file would pass PageMaps().MaxFileSize().
  int64_t FileSeek(int32_t handle, int origin, int64_t offset);
  // The new size, -6 for an unknown handle, or -17 (OnNoSpace raised) when
  // the pages cannot be had or the size passes PageMaps().MaxFileSize();
  // nothing changes on failure.
  int64_t FileSetSize(int32_t handle, int64_t size);
  void FileFlush(int32_t handle);
  // False when not found, a folder, or open.
  bool DeleteFile(const std::string& path);
  bool RenameFile(const std::string& oldPath, const std::string& newPath);
  bool FileExists(const std::string& path) const {
    RequireOpen("FileExists");
    return dir_->FindPath(path) >= 0;
  }
  int64_t FileSize(const std::string& path) const;

  // Folders and enumeration, as the directory offers them.
  bool DirectoryExists(const std::string& path) const {
    RequireOpen("DirectoryExists");
    return dir_->DirectoryExists(path);
  }
  bool CreateDir(const std::string& path);
  bool ForceDirectories(const std::string& path);
  bool RemoveDir(const std::string& path);
  int32_t FindFirst(const std::string& path, uint32_t attributes, TSearchRec& rec) {
    RequireOpen("FindFirst");
    return dir_->FindFirst(path, attributes, rec);
  }
  int32_t FindNext(TSearchRec& rec) {
    RequireOpen("FindNext");
    return dir_->FindNext(rec);
  }
  void FindClose(TSearchRec& rec) {
    if (IsOpen()) dir_->FindClose(rec);
  }

  int64_t ContainerSize() const {
    RequireOpen("ContainerSize");
    return pages_->Stream().Size();
  }
  TDIRManager& Directory() { RequireOpen("Directory"); return *dir_; }
  TFreeSpaceManager& FreeSpace() { RequireOpen("FreeSpace"); return *space_; }
  TUserFilePageMapManager& PageMaps() { RequireOpen("PageMaps"); return *maps_; }

  TPageFileManager& PageFile() { RequireOpen("PageFile"); return *pages_; }
  const TPageFileManager& PageFile() const { RequireOpen("PageFile"); return *pages_; }
  const std::string& FileName() const { return fileName_; }
  uint16_t Mode() const { return mode_; }
  bool ReadOnly() const { return readOnly_; }
  bool Exclusive() const { return exclusive_; }
  bool InMemory() const { return inMemory_; }
  int32_t LastError() const { return lastError_; }

  TContainerProgressEvent OnProgress;
  TContainerNoSpaceEvent OnNoSpace;
  TContainerStepEvent OnRepairStep;

 private:
  struct THandle {
    int32_t Record;
    int64_t Position;
    uint16_t Mode;
    TSecret Key;  // the file's own key; empty without a file password
  };

  // Opens the page layer and the managers above it on fileName_, and marks
  // the container open once all of them are; closes them, and every later
  // call throws with `why` until the layers open again.
  void OpenLayers(int32_t extentPageCount, int32_t pageSizeKB, const std::string& answer,
                  const std::string& question);
  void CloseLayers(const char* why);
  bool IsOpen() const { return closedWhy_ == nullptr; }
  // Repair steps (container_repair.cpp, container_swap.cpp).
  void CopyRecord(TESingleFileSystem& target, int32_t index, bool stopOnReadErrors,
                  std::string& log);
  std::vector<int32_t> CopyPages(TESingleFileSystem& target, const TFileRec& from,
                                 int32_t targetIndex, bool stopOnReadErrors);
  // Puts "_new" in place and opens it with `password`; on failure reopens
  // the old container with the old password. False, the container left
  // closed, when the file in place cannot be opened.
  bool SwapIn(const std::string& newName, size_t newParts, const std::string& password,
              std::string& log);
  void RaiseNoSpaceQuietly();

  THandle* FindHandle(int32_t handle);
  // Throw "TESingleFileSystem.<operation> - " and the reason when the
  // container is closed, or (RequireWritable) open for reading only; before
  // the first change RequireWritable also refuses a container whose pages are
  // not each named once (page_owners.h).
  void RequireOpen(const char* operation) const;
  void RequireWritable(const char* operation) const;
  const std::string& KeyFor(const TFileRec& rec, const THandle& handle) const;
  // The data page holding byte `position` of the file; -1 beyond its pages.
  int32_t PageHolding(const TFileRec& rec, int64_t position);
  // Whether a file's own key deciphers its last data page consistently with
  // the record (zeros beyond the size); true when there is nothing to check.
  bool KeyReadsFile(const TFileRec& rec, const TSecret& key);
  void RaiseNoSpace();
  void ZeroTail(const TFileRec& rec, const THandle& handle, int64_t size);
  void Commit(int32_t index, const TFileRec& rec, const std::vector<int32_t>& released);

  std::string fileName_;
  TSecret password_;
  uint16_t mode_;
  bool inMemory_;
  bool readOnly_ = false;
  bool exclusive_ = false;
  int32_t lastError_ = 0;
  TPartOptions parts_;
  bool repairLostData_ = false;
  std::vector<TUnreadableFile> repairDamage_;
  std::string repairBackup_;
  // Why the container is closed; null while it is open, and then every layer
  // below is set.
  const char* closedWhy_ = "The container is closed.";
  // Whether RequireSoleOwners passed on the layers now open; from then on
  // every page map is cached and only free pages are handed out.
  mutable bool ownersChecked_ = false;
  // Destroyed in reverse order: maps, directory, free space, page layer.
  std::unique_ptr<TPageFileManager> pages_;
  std::unique_ptr<TFreeSpaceManager> space_;
  std::unique_ptr<TDIRManager> dir_;
  std::unique_ptr<TUserFilePageMapManager> maps_;
  std::map<int32_t, THandle> handles_;
  int32_t nextHandle_ = 0;
  std::vector<uint8_t> page_;  // one payload, reused by reads and writes
};

// Whether `password` opens the container file (true for a container without
// a password). Opening errors are thrown.
bool CheckPassword(const std::string& fileName, const std::string& password,
                   const TPartOptions& parts = {});
// Whether the container file is encrypted; false when it does not exist.
bool IsEncryptedFile(const std::string& fileName, const TPartOptions& parts = {});

}  // namespace norvane

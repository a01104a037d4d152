// The directory of a container: files and folders as a flat table of
// 512-byte records held whole in memory (TDIRArray) and mirrored record by
// record into a chain of directory pages. A record's index is the file's
// identity for the rest of the container; the root is not a record (-1).
//
// Invariants:
//   1. Record i lives in chain page i / r, slot i mod r (r records a page);
//      slots after the last record hold zeros.
//   2. Every change writes the record's page before the call returns; the
//      container header is written when pages or records are added.
//   3. Live names are unique within a folder byte for byte, and a live
//      record's parent is a live folder: files never have children and
//      folders never lie below themselves.
//   4. A name given by CreateFileItem, CreateDir or RenameItem is also unique
//      within its folder ignoring case, under the collation in force. A
//      directory made under another user's locale may hold names this one
//      finds equal ignoring case; they load, and each is reached by its own
//      bytes (a path that matches none of them exactly reaches one of them).
//      An item keeping its own name, or taking the very name of the item
//      deleted last in its folder (a replacement: delete, then create or
//      rename), gives no new name and keeps such a clash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/container/dir_array.h"
#include "engine/container/free_space_manager.h"
#include "engine/container/page_file_manager.h"
#include "engine/protection/secret.h"

namespace norvane {

// FindPath failures.
constexpr int32_t kPathNotFound = -2;      // empty path, bad start, empty component, unknown name
constexpr int32_t kPathNotInFolder = -3;   // the name exists, but not in that folder
// Enumeration results.
constexpr int32_t kFindFolderNotFound = -2;
constexpr int32_t kFindClosed = -4;
constexpr int32_t kFindNoMore = -5;
constexpr int32_t kNoSpace = -17;

constexpr uint32_t faHidden = 0x02, faSysFile = 0x04, faVolumeID = 0x08, faDirectory = 0x10;

// One match of an enumeration.
struct TSearchRec {
  int32_t Slot = -1;
  std::string Name;
  uint32_t Attr = 0;
  int32_t Size = 0;         // low 32 bits of the size
  uint32_t Time = 0;        // last write time as a local DOS date and time
  int64_t FullSize = 0;
  uint64_t CreationTime = 0, LastAccessTime = 0, LastWriteTime = 0;
};

class TDIRManager {
 public:
  // Loads the directory pages named by the header. Damage (a bad page
  // number, a record that cannot be one) throws.
  TDIRManager(TPageFileManager& pages, TFreeSpaceManager& space);

  // Whether the container key turns the first directory page into records
  // that can be records. A wrong password slips past the key's CRC-16 about
  // once in 65536 tries; caught here, it never writes under the wrong key.
  static bool KeyReadsDirectory(TPageFileManager& pages);

  int32_t Count() const { return array_.Count(); }
  const TFileRec& ReadItem(int32_t index) const { return array_.ReadItem(index); }
  // The record index of a path, -1 for the root, or kPathNotFound /
  // kPathNotInFolder. ".." moves to the parent (the root's is the root).
  // Each component names the item of its very bytes, else one equal to it
  // ignoring case (invariant 4), so every live record has a path of its own.
  int32_t FindPath(const std::string& path, int32_t start = -1) const;
  // "\" and the names from the root down, joined with "\"; "\" for an index
  // outside the table.
  std::string GetFullPath(int32_t index) const;

  // Stores a new record, reusing the first deleted one. Returns its index,
  // or -1 with LastError -17 when no page could be had.
  int32_t AddItem(const TFileRec& rec);
  // Replaces a record and rewrites its page.
  void WriteItem(int32_t index, const TFileRec& rec);

  // A new file record in an existing folder; -1 when the folder is missing or
  // not a folder, the name is not valid or already taken there (invariant
  // 4), or no page could be had.
  int32_t CreateFileItem(const std::string& path, const std::string& password,
                         const std::string& question, const std::string& answer);
  // Whether the path's last name could be given in its folder to an item
  // that replaces the live record `replaced` (deleting it first): asked
  // before the old item goes, so that a name that cannot be given does not
  // cost it.
  bool MayReplace(const std::string& path, int32_t replaced) const;
  // From now on paths name items by their exact bytes only, and a new name
  // clashes only with the same bytes: for a copy of another directory, whose
  // names must come across as they are whatever this locale makes of them.
  void KeepNamesAsGiven() { namesAsGiven_ = true; }
  bool CreateDir(const std::string& path);
  // Creates every missing folder of the path; false when a file stands in
  // the way of its last component; throws "TDIRManager.ForceDirectories -
  // ForceDirectories error!" when a folder above it cannot be made.
  bool ForceDirectories(const std::string& path);
  // True for the root and for folders (not for files).
  bool DirectoryExists(const std::string& path) const;
  // Removes an empty folder.
  bool RemoveDir(const std::string& path);

  // Opens a file record (not a folder): counts the handle and, unless the
  // container is read-only, touches its last access time. -1 when not found.
  int32_t OpenItem(const std::string& path);
  void CloseItem(int32_t index);
  int32_t OpenCount(int32_t index) const;
  // Whether the password opens the record of the path: true for a record
  // without a password of its own, else the slow check of its password
  // block. fileKey receives the record's key string, empty for a record
  // without a password or on false. False when the path is not found.
  bool CheckItemPassword(const std::string& path, const std::string& password,
                         TSecret& fileKey) const;
  // Moves or renames a file or folder with one record write. Fails when the
  // old path names nothing or an open file, the new name is taken by another
  // record (ignoring case, invariant 4, unless it is the item's own name
  // unchanged), or a folder would move into itself.
  bool RenameItem(const std::string& oldPath, const std::string& newPath);

  // Enumeration of a folder's entries matching a mask, each record once: 0, or
  // kFindFolderNotFound / kFindNoMore; FindNext: 0, kFindClosed, kFindNoMore.
  int32_t FindFirst(const std::string& path, uint32_t attributes, TSearchRec& rec);
  int32_t FindNext(TSearchRec& rec);
  void FindClose(TSearchRec& rec);

  int32_t LastError() const { return lastError_; }
  const std::vector<int32_t>& PageList() const { return pageList_; }

 private:
  struct TSearchSlot {
    bool InUse = false;
    std::vector<int32_t> Matches;
    size_t Next = 0;
  };

  void Load();
  void CheckLoadedRecord(int32_t index) const;
  void SavePage(size_t chainIndex, const char* where);
  int32_t RecordsPerPage() const;
  bool IsFolder(int32_t index) const;
  bool IsBelow(int32_t index, int32_t ancestor) const;
  // Resolves the folder a new item goes into; -2 when it is not a folder.
  int32_t ResolveFolder(const std::string& folderPart) const;
  // Invariant 4: whether `name` may be given in folder `parent` to the item
  // `self` (-1: a new one), which replaces `replaced` (-1: nothing).
  bool NameFree(int32_t parent, const std::string& name, int32_t self, int32_t replaced) const;
  // The record deleted last, while it stays deleted and no name has been
  // given since; else -1.
  int32_t Replaceable() const;
  int32_t FindChild(int32_t parent, const std::string& name) const {
    return array_.FindChild(parent, name, namesAsGiven_);
  }
  TFileRec NewRecord(int32_t parent, const std::string& name, bool folder) const;
  void Fill(TSearchRec& rec, int32_t index) const;

  TPageFileManager& pages_;
  TFreeSpaceManager& space_;
  TDIRArray array_;
  std::vector<int32_t> pageList_;
  std::vector<int32_t> openCounts_;
  std::vector<TSearchSlot> slots_;
  std::vector<uint8_t> pageBuffer_;
  int32_t lastError_ = 0;
  bool namesAsGiven_ = false;
  int32_t deletedLast_ = -1;
};

}  // namespace norvane

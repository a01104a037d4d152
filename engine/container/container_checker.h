// Private to the checker: the walker that container_check.cpp (header, map
// pages, leaks) and container_check_files.cpp (directory, file chains) share.
// It mirrors the free-space geometry without building a TFreeSpaceManager,
// which throws at the first damage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/container/container_check.h"
#include "engine/container/file_rec.h"
#include "engine/container/page_file_manager.h"

namespace norvane {

class TContainerChecker {
 public:
  TContainerChecker(TPageFileManager& pages, std::vector<TCheckProblem>& problems);
  // Runs every check in order. Damage is reported, never thrown.
  void Run();

 private:
  enum class TFree : uint8_t { Unknown, Free, Used };
  enum class TRole : uint8_t { None, SpaceMap, Directory, FileMap, FileData };
  // Who holds a page: the role, the record (files) and the page's position
  // in its chain (directory page i, map page i, data page i).
  struct TOwner {
    TRole Role = TRole::None;
    int32_t Record = -1;
    int32_t Index = 0;
  };
  enum class TState : uint8_t { Unknown, Damaged, Deleted, Live };
  struct TRecord {
    TState State = TState::Unknown;
    int32_t Page = -1;  // the directory page holding it
    TFileRec Rec;
  };

  // container_check.cpp
  void CheckGeometry();
  void CheckSpaceMaps();
  // Reads one map page into `out`; false (reported) when it is not a
  // readable map page of that type.
  bool CheckSpaceMapPage(int32_t page, uint8_t type, const char* name, int32_t length,
                         uint8_t* out);
  void CheckLeaks();
  bool IsSpaceMapPage(int64_t page) const;
  const char* SpaceMapName(int64_t page) const;
  TFree FreeState(int64_t page) const;
  int64_t ExtentEnd() const { return static_cast<int64_t>(extentCount_) * extentPages_; }
  // Takes the page for `owner`; false (reported) when someone holds it.
  bool Claim(int32_t page, const TOwner& owner);
  // Claim, then report a page so taken that the PFS marks free or that lies
  // in no extent. Requires 1 <= page < page count.
  bool Take(int32_t page, const TOwner& owner);
  std::string OwnerText(const TOwner& owner) const;
  // Why a page read failed, from the page layer's LastError.
  std::string ReadFailure() const;
  void Report(int32_t page, int32_t record, const std::string& what, bool leak = false);
  // A finding that is no damage (see TCheckProblem::Warning).
  void Warn(int32_t page, int32_t record, const std::string& what);

  // container_check_files.cpp
  void CheckDirectory();
  void CheckRecords();
  void CheckRecord(int32_t index);
  void CheckDuplicateNames();
  void CheckFiles();
  void CheckFile(int32_t index);
  void CheckDataPage(int32_t index, int32_t mapPage, int32_t entry, int32_t dataIndex,
                     int32_t page);
  // Why a page number taken from the file cannot hold a file's or the
  // directory's page; empty when it can.
  std::string InvalidPageReason(int64_t page) const;
  // "\"\a\b\"" when the record's path can be named, else "record N".
  std::string ItemText(int32_t index) const;

  TPageFileManager& pages_;
  std::vector<TCheckProblem>& problems_;
  int32_t pageCount_ = 0;
  int32_t payload_ = 0;
  int32_t extentPages_ = 0;
  int32_t pfsBytes_ = 0, pfsExtents_ = 0, gamBytes_ = 0, gamExtents_ = 0;
  int32_t extentCount_ = 0;
  int32_t pfsCount_ = 0, gamCount_ = 0;  // map pages as the header counts them
  std::vector<uint8_t> pfs_;             // the PFS bitmap, B_P bytes a PFS page
  std::vector<bool> pfsLoaded_;          // per PFS page: its bits could be read
  std::vector<TOwner> owners_;           // by page number
  std::vector<TRecord> records_;
  // False once some owner's pages could not all be read: pages it may hold
  // would look leaked, so leaks are then not reported.
  bool ownersComplete_ = true;
  std::vector<uint8_t> buffer_;  // one page payload
};

}  // namespace norvane

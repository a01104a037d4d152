// The consistency checker's frame: opening the file through the page layer
// alone, the header's geometry, the free-space map pages, page ownership and
// the closing search for leaked pages. Directory and files are walked in
// container_check_files.cpp.
#include "engine/container/container_check.h"

#include <algorithm>
#include <memory>

#include "engine/common/engine_error.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/container_checker.h"

namespace norvane {

namespace {

// Any valid geometry: opening takes the real one from the header.
constexpr int32_t kAnyExtentPages = 16;
constexpr int32_t kAnyPageSizeKB = 4;

// A file damaged this badly is beyond reading anyway; the cap keeps a
// hostile file from making the list as large as the file itself.
constexpr size_t kMaxProblems = 10000;

// Unwinds the walk once the list is full.
struct TListFull {};

// Opening the first part alone tells a file that cannot be opened (no
// damage, so it throws) from one whose bytes are wrong.
void RequireOpenable(const std::string& fileName, const TPartOptions& parts) {
  auto part = parts.Factory ? parts.Factory(fileName, false, false, true)
                            : MakeDefaultPart(fileName, false, false, true);
  part->Open(false);
  part->Close();
}

}  // namespace

std::vector<TCheckProblem> CheckContainer(const std::string& fileName, const TPartOptions& parts,
                                          const std::string& password) {
  RequireOpenable(fileName, parts);
  std::vector<TCheckProblem> problems;
  std::unique_ptr<TPageFileManager> pages;
  try {
    pages = std::make_unique<TPageFileManager>(fileName, kAnyExtentPages, kAnyPageSizeKB, false,
                                               "", "", password, kModeReadOnlyProbe, parts);
  } catch (const EEngineError& e) {
    problems.push_back({-1, -1, e.what(), false});
    return problems;
  }
  try {
    TContainerChecker(*pages, problems).Run();
  } catch (const TListFull&) {
    problems.push_back({-1, -1, "too many problems: the check stopped after " + Num(kMaxProblems), false});
  } catch (const EEngineError& e) {
    // Only a failing disk gets here (every number is checked before use):
    // what was found so far stays, with the reason the walk stopped.
    problems.push_back({-1, -1, std::string("check stopped: ") + e.what(), false});
  }
  return problems;
}

size_t CountProblems(const std::vector<TCheckProblem>& problems) {
  return static_cast<size_t>(std::count_if(problems.begin(), problems.end(),
                                           [](const TCheckProblem& p) { return !p.Warning; }));
}

std::string FormatCheckProblem(const TCheckProblem& problem) {
  std::string head;
  if (problem.Page >= 0) head = "page " + Num(problem.Page);
  if (problem.Record >= 0) head += (head.empty() ? "" : ", ") + std::string("record ") + Num(problem.Record);
  const std::string line = head.empty() ? problem.What : head + ": " + problem.What;
  return problem.Warning ? "warning: " + line : line;
}

TContainerChecker::TContainerChecker(TPageFileManager& pages, std::vector<TCheckProblem>& problems)
    : pages_(pages), problems_(problems) {
  const TContainerHeader& header = pages_.Header();
  pageCount_ = pages_.PageCount();
  payload_ = pages_.PayloadSize();
  extentPages_ = header.ExtentPageCount();
  pfsCount_ = header.PFSPageCount();
  gamCount_ = header.GAMPageCount();
  // The same geometry as TFreeSpaceManager; the page layer refused headers
  // whose extents do not fit a page, but nothing here divides unchecked.
  const TMapGeometry geometry = MapGeometryOf(payload_, extentPages_);
  pfsBytes_ = geometry.PFSBytes;
  pfsExtents_ = geometry.ExtentsPerPFSPage;
  gamBytes_ = geometry.GAMBytes;
  gamExtents_ = geometry.ExtentsPerGAMPage;
  if (pfsExtents_ >= 1) extentCount_ = (pageCount_ - 1) / extentPages_;
  owners_.assign(static_cast<size_t>(pageCount_), TOwner{});
  buffer_.assign(static_cast<size_t>(payload_), 0);
}

void TContainerChecker::Run() {
  if (pfsExtents_ < 1) {
    Report(0, -1, "extents of " + Num(extentPages_) + " pages do not fit the free-space maps");
    return;
  }
  CheckGeometry();
  CheckSpaceMaps();
  if (pages_.IsEncrypted() && !pages_.KeyIsValid()) {
    Report(0, -1, "the container is encrypted and no password given opens it; its directory "
                  "and files cannot be checked");
    return;
  }
  CheckDirectory();
  CheckRecords();
  CheckFiles();
  CheckLeaks();
}

void TContainerChecker::Report(int32_t page, int32_t record, const std::string& what, bool leak) {
  if (problems_.size() >= kMaxProblems) throw TListFull{};
  problems_.push_back({page, record, what, leak, false});
}

// Warnings never end the walk: past the cap they are dropped, so a sound
// file never reads as one whose check stopped.
void TContainerChecker::Warn(int32_t page, int32_t record, const std::string& what) {
  if (problems_.size() < kMaxProblems) problems_.push_back({page, record, what, false, true});
}

void TContainerChecker::CheckGeometry() {
  const int64_t pfsNeeded = CeilDiv(extentCount_, pfsExtents_);
  const int64_t gamNeeded = CeilDiv(extentCount_, gamExtents_);
  if (pfsCount_ != pfsNeeded)
    Report(0, -1, "the header counts " + Num(pfsCount_) + " PFS pages; " + Num(extentCount_) +
                      " extents need " + Num(pfsNeeded));
  if (gamCount_ != gamNeeded)
    Report(0, -1, "the header counts " + Num(gamCount_) + " GAM pages; " + Num(extentCount_) +
                      " extents need " + Num(gamNeeded));
  // The page layer opens a file whose last page is cut short; that page is
  // the damage, whoever owns it.
  const int64_t size = pages_.Stream().Size();
  const int32_t last = pageCount_ - 1;
  if (last >= 1 && size < pages_.PageOffset(last) + pages_.PageSize())
    Report(last, -1, "the file ends " + Num(size - pages_.PageOffset(last)) +
                         " bytes into the last page; it is cut short");
}

void TContainerChecker::CheckSpaceMaps() {
  const int64_t pfsSpan = static_cast<int64_t>(pfsExtents_) * extentPages_;
  const int64_t gamSpan = static_cast<int64_t>(gamExtents_) * extentPages_;
  // PFS pages beyond those the extents need (reported above) describe no
  // page; their bits are not loaded.
  const int64_t pfsNeeded = CeilDiv(extentCount_, pfsExtents_);
  const auto pfsLoad = static_cast<int32_t>(std::min<int64_t>(pfsCount_, pfsNeeded));
  pfs_.assign(static_cast<size_t>(pfsLoad) * static_cast<size_t>(pfsBytes_), 0);
  pfsLoaded_.assign(static_cast<size_t>(pfsLoad), false);
  std::vector<uint8_t> scratch(static_cast<size_t>(gamBytes_));
  auto beyond = [&](const char* name, int32_t i, int64_t page) {
    if (page < pageCount_) return false;
    Report(0, -1, std::string(name) + " page " + Num(i) + " would lie at page " + Num(page) +
                      ", beyond the page count " + Num(pageCount_));
    return true;
  };
  for (int32_t i = 0; i < pfsLoad; ++i) {
    const int64_t page = 1 + i * pfsSpan;
    if (beyond("PFS", i, page)) break;  // the later ones lie further on
    uint8_t* bits = pfs_.data() + static_cast<size_t>(i) * pfsBytes_;
    pfsLoaded_[static_cast<size_t>(i)] =
        CheckSpaceMapPage(static_cast<int32_t>(page), ptPFS, "PFS", pfsBytes_, bits);
  }
  for (int32_t i = 0; i < gamCount_; ++i) {
    const int64_t page = 2 + i * gamSpan;
    if (beyond("GAM", i, page) || beyond("SGAM", i, page + 1)) break;
    CheckSpaceMapPage(static_cast<int32_t>(page), ptGAM, "GAM", gamBytes_, scratch.data());
    CheckSpaceMapPage(static_cast<int32_t>(page + 1), ptSGAM, "SGAM", gamBytes_, scratch.data());
  }
  // A map page marked free would be handed out and overwritten.
  for (int32_t page = 1; page < pageCount_; ++page) {
    if (owners_[static_cast<size_t>(page)].Role == TRole::SpaceMap &&
        FreeState(page) == TFree::Free)
      Report(page, -1, std::string(SpaceMapName(page)) + " is marked free in the PFS");
  }
}

bool TContainerChecker::CheckSpaceMapPage(int32_t page, uint8_t type, const char* name,
                                          int32_t length, uint8_t* out) {
  if (!Claim(page, {TRole::SpaceMap, -1, type})) return false;
  TPageRecord rec;
  rec.Data = out;
  if (!pages_.ReadPage(rec, page, false, "", length)) {
    Report(page, -1, ReadFailure() + " (" + name + " page)");
    return false;
  }
  if (rec.Header.PageType != type || rec.Header.EncryptionType != 0) {
    Report(page, -1, std::string(name) + " page has type " + Num(rec.Header.PageType) +
                         " and cipher " + Num(rec.Header.EncryptionType) + ", expected type " +
                         Num(type) + " plain");
    return false;
  }
  return true;
}

bool TContainerChecker::IsSpaceMapPage(int64_t page) const { return SpaceMapName(page) != nullptr; }

const char* TContainerChecker::SpaceMapName(int64_t page) const {
  if (page < 1) return nullptr;
  const int64_t pfsSpan = static_cast<int64_t>(pfsExtents_) * extentPages_;
  const int64_t gamSpan = static_cast<int64_t>(gamExtents_) * extentPages_;
  if ((page - 1) % pfsSpan == 0 && (page - 1) / pfsSpan < pfsCount_) return "a PFS page";
  if (page >= 2 && (page - 2) % gamSpan == 0 && (page - 2) / gamSpan < gamCount_)
    return "a GAM page";
  if (page >= 3 && (page - 3) % gamSpan == 0 && (page - 3) / gamSpan < gamCount_)
    return "an SGAM page";
  return nullptr;
}

TContainerChecker::TFree TContainerChecker::FreeState(int64_t page) const {
  if (page < 1 || page >= pageCount_) return TFree::Unknown;
  if (page > ExtentEnd()) return TFree::Used;  // in no extent: never handed out
  const int64_t byte = (page - 1) >> 3;
  const int64_t pfsPage = byte / pfsBytes_;
  if (pfsPage >= static_cast<int64_t>(pfsLoaded_.size()) ||
      !pfsLoaded_[static_cast<size_t>(pfsPage)])
    return TFree::Unknown;
  const bool free = ((pfs_[static_cast<size_t>(byte)] >> ((page - 1) & 7)) & 1) != 0;
  return free ? TFree::Free : TFree::Used;
}

bool TContainerChecker::Claim(int32_t page, const TOwner& owner) {
  TOwner& held = owners_[static_cast<size_t>(page)];
  if (held.Role != TRole::None) {
    Report(page, -1, OwnerText(owner) + " is also " + OwnerText(held));
    return false;
  }
  held = owner;
  return true;
}

bool TContainerChecker::Take(int32_t page, const TOwner& owner) {
  if (!Claim(page, owner)) return false;
  if (FreeState(page) == TFree::Free)
    Report(page, -1, OwnerText(owner) + " is marked free in the PFS");
  else if (page > ExtentEnd())
    Report(page, -1, OwnerText(owner) + " lies in no extent");
  return true;
}

std::string TContainerChecker::OwnerText(const TOwner& owner) const {
  switch (owner.Role) {
    case TRole::SpaceMap:
      return owner.Index == ptPFS ? "a PFS page" : owner.Index == ptGAM ? "a GAM page" : "an SGAM page";
    case TRole::Directory:
      return "directory page " + Num(owner.Index);
    case TRole::FileMap:
      return "map page " + Num(owner.Index) + " of " + ItemText(owner.Record);
    case TRole::FileData:
      return "data page " + Num(owner.Index) + " of " + ItemText(owner.Record);
    case TRole::None:
      break;
  }
  return "nothing";
}

std::string TContainerChecker::ReadFailure() const {
  switch (pages_.LastError()) {
    case peHeaderRead:
      return "page header cannot be read";
    case pePayloadRead:
      return "page cannot be read whole";
    case peChecksum:
      return "checksum mismatch";
    case peDecipher:
      return "payload cannot be deciphered";
    default:
      return "cannot be read (error " + Num(pages_.LastError()) + ")";
  }
}

void TContainerChecker::CheckLeaks() {
  if (!ownersComplete_) return;
  for (int32_t page = 1; page < pageCount_; ++page) {
    if (owners_[static_cast<size_t>(page)].Role != TRole::None || IsSpaceMapPage(page)) continue;
    if (page > ExtentEnd())
      Report(page, -1, "lies beyond the last whole extent and is owned by nothing", true);
    else if (FreeState(page) == TFree::Used)
      Report(page, -1, "is marked used in the PFS but owned by nothing", true);
  }
}

}  // namespace norvane

// The free-space manager: opening the maps, the two public operations and the
// frame every operation runs in (undo record, ordered writes, recovery after
// a failure). Walking and adding extents lives in free_space_extents.cpp.
//
// Invariants:
//   1. In memory, a page's PFS bit is 1 only when the page lies in an extent,
//      is no map page and is held by no one. Opening checks that no map page
//      is marked free; GetPages never takes a page whose bit is 0.
//   2. On disk, a PFS bit may say "used" for a page no one holds (a leak left
//      by a crash or a failed write), never "free" for a page someone holds:
//      pages reach the caller only after their PFS page is written, and a
//      freed page is written free only after the caller gave it back.
//   3. The maps never describe pages beyond the end of the file: the file
//      grows (ExtendFile also writes the header with the new page count and
//      the old map page counts) before any map page of a new extent is
//      written.
//   4. Every PFS, GAM and SGAM page the header counts has been written: new
//      map pages are written first, then their counts go into the header with
//      one SaveHeader. A crash in between leaves extents no map page covers;
//      opening reports that instead of guessing their state.
//   5. GAM and SGAM pages are written before PFS pages. Those bits only steer
//      where a scan looks, never whether a page is free, so a crash between
//      the two writes leaves nothing worse than a useless or missed scan.
//   6. A failed operation leaves memory exactly as before (the undo record
//      holds every flipped bit and the old sizes and counters) and puts the
//      file's size, header and already written map pages back as far as the
//      disk lets it.
//   7. The free and mixed counters equal the numbers of set GAM and SGAM bits
//      of existing extents; a scan is skipped only when they show no
//      candidate, so skipping never changes a result.
#include "engine/container/free_space_manager.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "engine/common/engine_error.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/damage.h"

namespace norvane {

namespace {
constexpr char kCreate[] = "TFreeSpaceManager.Create";
constexpr char kFreePages[] = "TFreeSpaceManager.FreePages";
}  // namespace

TFreeSpaceManager::TFreeSpaceManager(TPageFileManager& pages) : pages_(pages) {
  const TContainerHeader& header = pages_.Header();
  const int64_t bits = 8LL * pages_.PayloadSize();
  extentPages_ = header.ExtentPageCount();
  if (extentPages_ < 1 || extentPages_ > bits)
    ReportDamage(kCreate, "extent page count " + Num(extentPages_) + " does not fit a page.");
  const TMapGeometry geometry = MapGeometryOf(pages_.PayloadSize(), extentPages_);
  pfsBytes_ = geometry.PFSBytes;
  pfsExtents_ = geometry.ExtentsPerPFSPage;
  // Extents of more than half a page's bits that are no multiple of 8 leave
  // a PFS page no room for even one extent; no map layout exists for them.
  if (pfsExtents_ < 1)
    throw EEngineError(std::string(kCreate) + " - extent page count " + Num(extentPages_) +
                       " leaves no room for a PFS bitmap.");
  gamBytes_ = geometry.GAMBytes;
  gamExtents_ = geometry.ExtentsPerGAMPage;
  extentCount_ = (pages_.PageCount() - 1) / extentPages_;

  const int64_t pfsCount = header.PFSPageCount(), gamCount = header.GAMPageCount();
  if (pfsCount * pfsExtents_ < extentCount_)
    throw EEngineError("TFreeSpaceManager.Create - PFSPageCount * FPageSize < FExtentCount!");
  if (gamCount * gamExtents_ < extentCount_)
    throw EEngineError("TFreeSpaceManager.Create - GAMPageCount * FPageSize < FExtentCount!");
  // Map pages exist only for existing extents, so more of them than the
  // extents need would put a map page where free pages are expected.
  const int64_t pfsNeeded = CeilDiv(extentCount_, pfsExtents_);
  const int64_t gamNeeded = CeilDiv(extentCount_, gamExtents_);
  if (pfsCount > pfsNeeded)
    ReportDamage(kCreate, "PFSPageCount " + Num(pfsCount) + " exceeds the " + Num(pfsNeeded) +
                              " PFS pages of " + Num(extentCount_) + " extents.");
  if (gamCount > gamNeeded)
    ReportDamage(kCreate, "GAMPageCount " + Num(gamCount) + " exceeds the " + Num(gamNeeded) +
                              " GAM pages of " + Num(extentCount_) + " extents.");
  const int64_t lastPFS = 1 + (pfsCount - 1) * pfsExtents_ * extentPages_;
  const int64_t lastSGAM = 3 + (gamCount - 1) * gamExtents_ * extentPages_;
  if (pfsCount > 0 && lastPFS >= pages_.PageCount())
    ReportDamage(kCreate, "PFS page " + Num(lastPFS) + " lies beyond the page count " +
                              Num(pages_.PageCount()) + ".");
  if (gamCount > 0 && lastSGAM >= pages_.PageCount())
    ReportDamage(kCreate, "SGAM page " + Num(lastSGAM) + " lies beyond the page count " +
                              Num(pages_.PageCount()) + ".");

  LoadPFS();
  LoadGAM();
  CheckLoadedMaps();
  exhausted_.assign(gam_.size(), 0);
  for (int64_t j = 0; j < extentCount_; ++j) {
    freeExtents_ += Bit(gam_, j) ? 1 : 0;
    mixedExtents_ += Bit(sgam_, j) ? 1 : 0;
  }
}

bool TFreeSpaceManager::IsMapPage(int32_t page) const {
  if (page == 0) return true;
  if (page < 0) return false;
  const int64_t pfsSpan = static_cast<int64_t>(pfsExtents_) * extentPages_;
  const int64_t gamSpan = static_cast<int64_t>(gamExtents_) * extentPages_;
  const auto pfsCount = static_cast<int64_t>(pfsPageMap_.size());
  const auto gamCount = static_cast<int64_t>(gamPageMap_.size());
  const int64_t n = page;
  if ((n - 1) % pfsSpan == 0 && (n - 1) / pfsSpan < pfsCount) return true;
  if (n >= 2 && (n - 2) % gamSpan == 0 && (n - 2) / gamSpan < gamCount) return true;
  return n >= 3 && (n - 3) % gamSpan == 0 && (n - 3) / gamSpan < gamCount;
}

bool TFreeSpaceManager::IsPageFree(int32_t page) const {
  // Pages past the last whole extent belong to no extent and are never free.
  if (page < 1 || page >= pages_.PageCount()) return false;
  if (page > static_cast<int64_t>(extentCount_) * extentPages_) return false;
  return Bit(pfs_, page - 1);
}

bool TFreeSpaceManager::GAMBit(int32_t extent) const {
  return extent >= 0 && extent < extentCount_ && Bit(gam_, extent);
}

bool TFreeSpaceManager::SGAMBit(int32_t extent) const {
  return extent >= 0 && extent < extentCount_ && Bit(sgam_, extent);
}

bool TFreeSpaceManager::GetPages(int32_t count, int32_t hintPage, std::vector<int32_t>& pages,
                                 bool wholeExtents) {
  pages.clear();
  if (count <= 0) return true;
  // More than every page there is and every page the file could still grow
  // by: fail before growing bitmaps towards a size that cannot exist.
  const int64_t reachable = static_cast<int64_t>(extentCount_) * extentPages_ +
                            (INT32_MAX - static_cast<int64_t>(pages_.PageCount()));
  if (count > reachable) return false;
  Begin();
  try {
    const int64_t hintExtent = (static_cast<int64_t>(hintPage) - 1) / extentPages_;
    if (hintExtent >= 0 && hintExtent < extentCount_) TakeFromExtent(hintExtent, count, pages);
    const bool candidates =
        freeExtents_ > 0 || (!wholeExtents && mixedExtents_ > 0);  // invariant 7
    if (static_cast<int32_t>(pages.size()) < count && candidates)
      Scan(0, count, wholeExtents, pages);
    int64_t grow = 0;
    if (static_cast<int32_t>(pages.size()) < count) {
      const int64_t oldExtents = extentCount_;
      const int64_t added = AddExtents(count - static_cast<int64_t>(pages.size()), wholeExtents);
      if (added < 0) {
        Rollback();
        pages.clear();
        return false;
      }
      if (added == 0)
        throw EEngineError("TFreeSpaceManager.GetPages - AddExtents does not append any extents.");
      Scan(oldExtents, count, wholeExtents, pages);
      if (static_cast<int32_t>(pages.size()) < count)
        throw EEngineError("TFreeSpaceManager.GetPages - AddExtents appends too small pages.");
      grow = added * extentPages_;
    }
    const int64_t highest = *std::max_element(pages.begin(), pages.end());
    grow = std::max(grow, highest + 1 - pages_.PageCount());
    if (grow > 0 && !pages_.ExtendFile(static_cast<int32_t>(grow))) {  // invariant 3
      Rollback();  // ExtendFile left header and file as they were
      pages.clear();
      return false;
    }
    Commit();  // invariant 2: the caller sees the pages only once they are written
    return true;
  } catch (...) {
    Abandon();  // invariant 6
    pages.clear();
    throw;
  }
}

void TFreeSpaceManager::FreePages(const std::vector<int32_t>& pages) {
  // The whole list is checked first, so a bad list changes nothing.
  const int64_t extentEnd = static_cast<int64_t>(extentCount_) * extentPages_;
  std::unordered_set<int32_t> seen;
  for (int32_t page : pages) {
    const std::string what = "page " + Num(page);
    if (page == 0) ReportDamage(kFreePages, what + " is the container header.");
    if (page < 0) ReportDamage(kFreePages, what + " does not exist.");
    if (page >= pages_.PageCount())
      ReportDamage(kFreePages,
                   what + " lies beyond the page count " + Num(pages_.PageCount()) + ".");
    if (page > extentEnd) ReportDamage(kFreePages, what + " lies in no extent.");
    if (IsMapPage(page)) ReportDamage(kFreePages, what + " is a map page.");
    if (!seen.insert(page).second) ReportDamage(kFreePages, what + " is listed twice.");
    if (Bit(pfs_, page - 1)) ReportDamage(kFreePages, what + " is already free.");
  }
  if (pages.empty()) return;
  Begin();
  try {
    std::vector<int64_t> extents;
    for (int32_t page : pages) {
      const int64_t extent = (page - 1) / extentPages_;
      SetBit(bmPFS, page - 1, true);
      SetBit(bmExhausted, extent, false);
      extents.push_back(extent);
    }
    std::sort(extents.begin(), extents.end());
    extents.erase(std::unique(extents.begin(), extents.end()), extents.end());
    for (int64_t extent : extents) {
      if (!ExtentAllFree(extent)) continue;
      if (Bit(sgam_, extent)) --mixedExtents_;
      if (!Bit(gam_, extent)) ++freeExtents_;
      SetBit(bmSGAM, extent, false);
      SetBit(bmGAM, extent, true);
    }
    Commit();
  } catch (...) {
    Abandon();  // invariant 6
    throw;
  }
}

int32_t TFreeSpaceManager::ReleaseFreeTail() {
  const int32_t oldCount = pages_.PageCount();
  if (oldCount != FirstPage(extentCount_)) return 0;
  int64_t keep = extentCount_;
  // With extents of one or two pages a GAM/SGAM pair reaches past the
  // extent it starts in, but a GAM page starts where a PFS page does (Y is a
  // multiple of X), so that extent holds map pages only and goes with the
  // pair: no map page is ever cut apart from its partner.
  while (keep > 0 && ExtentUnused(keep - 1)) --keep;
  if (keep == extentCount_) return 0;

  for (int64_t j = keep; j < extentCount_; ++j) {  // invariant 7
    if (Bit(gam_, j)) --freeExtents_;
    if (Bit(sgam_, j)) --mixedExtents_;
  }
  const auto pfsCount = static_cast<size_t>(CeilDiv(keep, pfsExtents_));
  const auto gamCount = static_cast<size_t>(CeilDiv(keep, gamExtents_));
  pfsPageMap_.resize(pfsCount);
  gamPageMap_.resize(gamCount);
  pfsDirty_.resize(pfsCount);
  gamDirty_.resize(gamCount);
  pfs_.resize(pfsCount * static_cast<size_t>(pfsBytes_));
  gam_.resize(gamCount * static_cast<size_t>(gamBytes_));
  sgam_.resize(gam_.size());
  exhausted_.resize(gam_.size());
  extentCount_ = static_cast<int32_t>(keep);
  TContainerHeader& header = pages_.Header();
  header.SetPFSPageCount(static_cast<int32_t>(pfsCount));
  header.SetGAMPageCount(static_cast<int32_t>(gamCount));
  const auto newCount = static_cast<int32_t>(FirstPage(keep));
  pages_.ShrinkFile(newCount);  // the header first, then the file
  return oldCount - newCount;
}

}  // namespace norvane

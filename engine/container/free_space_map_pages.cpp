// The free-space manager's map pages on disk: loading and checking PFS, GAM
// and SGAM pages, storing the dirty ones, and the frame that makes every
// operation all-or-nothing (the invariants are listed in free_space_manager.cpp).
#include <string>

#include "engine/common/engine_error.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/damage.h"
#include "engine/container/free_space_manager.h"

namespace norvane {

namespace {

// Map pages are stored plain; any other type or a cipher means the page is
// not the map page the geometry puts there.
void CheckMapPage(const char* where, const TPageHeader& header, uint8_t type, int64_t page) {
  if (header.PageType != type || header.EncryptionType != 0)
    ReportDamage(where, "page " + Num(page) + " has type " + Num(header.PageType) + " and cipher " +
                            Num(header.EncryptionType) + ", expected type " + Num(type) +
                            " plain.");
}

}  // namespace

void TFreeSpaceManager::LoadPFS() {
  const int32_t count = pages_.Header().PFSPageCount();
  pfs_.assign(static_cast<size_t>(count) * pfsBytes_, 0);
  for (int32_t i = 0; i < count; ++i) {
    const auto page = static_cast<int32_t>(FirstPage(static_cast<int64_t>(i) * pfsExtents_));
    TPageRecord rec;
    rec.Data = pfs_.data() + static_cast<size_t>(i) * pfsBytes_;
    if (!pages_.ReadPage(rec, page, false, "", pfsBytes_))
      throw EEngineError("TFreeSpaceManager.LoadPFS - can not load page, pageNo = " + Num(page));
    CheckMapPage("TFreeSpaceManager.LoadPFS", rec.Header, ptPFS, page);
    pfsPageMap_.push_back(page);
  }
}

void TFreeSpaceManager::LoadGAM() {
  const int32_t count = pages_.Header().GAMPageCount();
  gam_.assign(static_cast<size_t>(count) * gamBytes_, 0);
  sgam_.assign(gam_.size(), 0);
  for (int32_t i = 0; i < count; ++i) {
    const auto page = static_cast<int32_t>(FirstPage(static_cast<int64_t>(i) * gamExtents_) + 1);
    const size_t slot = static_cast<size_t>(i) * gamBytes_;
    TPageRecord rec;
    rec.Data = gam_.data() + slot;
    if (!pages_.ReadPage(rec, page, false, "", gamBytes_))
      throw EEngineError("TFreeSpaceManager.LoadGAM - can not load page, pageNo = " + Num(page));
    CheckMapPage("TFreeSpaceManager.LoadGAM", rec.Header, ptGAM, page);
    rec.Data = sgam_.data() + slot;
    if (!pages_.ReadPage(rec, page + 1, false, "", gamBytes_))
      throw EEngineError("TFreeSpaceManager.LoadGAM - can not load SGAM page, pageNo = " +
                         Num(page));
    CheckMapPage("TFreeSpaceManager.LoadGAM", rec.Header, ptSGAM, page + 1);
    gamPageMap_.push_back(page);
  }
}

void TFreeSpaceManager::CheckLoadedMaps() {
  // Invariant 1: a map page marked free would be handed out and overwritten.
  auto check = [&](int64_t page) {
    if (Bit(pfs_, page - 1))
      ReportDamage("TFreeSpaceManager.Create", "map page " + Num(page) + " is marked free.");
  };
  for (int32_t page : pfsPageMap_) check(page);
  for (int32_t page : gamPageMap_) {
    check(page);
    check(page + 1);
  }
}

bool TFreeSpaceManager::WriteMapPage(int32_t page, uint8_t type, uint8_t* data, int32_t length) {
  TPageRecord rec;  // no next page, plain, XOR32 checksum
  rec.Header.PageType = type;
  rec.Data = data;
  return pages_.WritePage(rec, page, "", length);
}

void TFreeSpaceManager::SavePFS(const std::vector<bool>& dirty) {
  if (dirty.size() != pfsPageMap_.size())
    throw EEngineError("TFreeSpaceManager.SavePFS - pages.ItemCount <> PFSPageMap.ItemCount!");
  for (size_t i = 0; i < dirty.size(); ++i) {
    if (dirty[i] && !WriteMapPage(pfsPageMap_[i], ptPFS, pfs_.data() + i * pfsBytes_, pfsBytes_))
      throw EEngineError("TFreeSpaceManager.SavePFS - can not save page, pageNo = " +
                         Num(pfsPageMap_[i]));
  }
}

void TFreeSpaceManager::SaveGAM(const std::vector<bool>& dirty) {
  if (dirty.size() != gamPageMap_.size())
    throw EEngineError("TFreeSpaceManager.SaveGAM - pages.ItemCount <> GAMPageMap.ItemCount!");
  for (size_t i = 0; i < dirty.size(); ++i) {
    if (!dirty[i]) continue;
    const int32_t page = gamPageMap_[i];
    if (!WriteMapPage(page, ptGAM, gam_.data() + i * gamBytes_, gamBytes_))
      throw EEngineError("TFreeSpaceManager.SaveGAM - can not save page, pageNo = " + Num(page));
    if (!WriteMapPage(page + 1, ptSGAM, sgam_.data() + i * gamBytes_, gamBytes_))
      throw EEngineError("TFreeSpaceManager.SaveGAM - can not save SGAM page, pageNo = " +
                         Num(page));
  }
}

void TFreeSpaceManager::Begin() {
  undo_ = TUndo{};
  undo_.PFSBytes = pfs_.size();
  undo_.GAMBytes = gam_.size();
  undo_.PFSPages = pfsPageMap_.size();
  undo_.GAMPages = gamPageMap_.size();
  undo_.ExtentCount = extentCount_;
  undo_.FreeExtents = freeExtents_;
  undo_.MixedExtents = mixedExtents_;
  undo_.PageCount = pages_.PageCount();
  pfsDirty_.assign(pfsPageMap_.size(), false);
  gamDirty_.assign(gamPageMap_.size(), false);
}

void TFreeSpaceManager::Rollback() {
  // Newest first, so a bit flipped twice ends as it began.
  for (auto it = undo_.Flips.rbegin(); it != undo_.Flips.rend(); ++it) {
    std::vector<uint8_t>& bits = Bitmap(it->Map);
    bits[static_cast<size_t>(it->Bit >> 3)] ^= static_cast<uint8_t>(1u << (it->Bit & 7));
  }
  undo_.Flips.clear();
  pfs_.resize(undo_.PFSBytes);
  gam_.resize(undo_.GAMBytes);
  sgam_.resize(undo_.GAMBytes);
  exhausted_.resize(undo_.GAMBytes);
  pfsPageMap_.resize(undo_.PFSPages);
  gamPageMap_.resize(undo_.GAMPages);
  pfsDirty_.resize(undo_.PFSPages);
  gamDirty_.resize(undo_.GAMPages);
  extentCount_ = undo_.ExtentCount;
  freeExtents_ = undo_.FreeExtents;
  mixedExtents_ = undo_.MixedExtents;
}

void TFreeSpaceManager::Commit() {
  undo_.Writing = true;
  SaveGAM(gamDirty_);  // invariant 5
  SavePFS(pfsDirty_);
  TContainerHeader& header = pages_.Header();
  const auto pfsCount = static_cast<int32_t>(pfsPageMap_.size());
  const auto gamCount = static_cast<int32_t>(gamPageMap_.size());
  if (header.PFSPageCount() != pfsCount || header.GAMPageCount() != gamCount) {
    header.SetPFSPageCount(pfsCount);  // invariant 4: the pages they count are written
    header.SetGAMPageCount(gamCount);
    pages_.SaveHeader();
  }
  undo_.Writing = false;
  undo_.Flips.clear();
}

void TFreeSpaceManager::Abandon() {
  const bool wrote = undo_.Writing;
  Rollback();
  // From here on every step is best effort: the original failure is what the
  // caller hears about, and a disk that failed once may fail again.
  TContainerHeader& header = pages_.Header();
  const bool countsChanged = header.PFSPageCount() != static_cast<int32_t>(pfsPageMap_.size()) ||
                             header.GAMPageCount() != static_cast<int32_t>(gamPageMap_.size());
  header.SetPFSPageCount(static_cast<int32_t>(pfsPageMap_.size()));
  header.SetGAMPageCount(static_cast<int32_t>(gamPageMap_.size()));
  try {
    if (pages_.PageCount() != undo_.PageCount)
      pages_.ShrinkFile(undo_.PageCount);
    else if (countsChanged)
      pages_.SaveHeader();
  } catch (...) {
    // The larger file or old header stays; the page count still bounds it.
  }
  if (!wrote) return;
  // Map pages that already reached the disk get their old bytes back.
  for (size_t i = 0; i < gamDirty_.size(); ++i) {
    if (!gamDirty_[i]) continue;
    try {
      WriteMapPage(gamPageMap_[i], ptGAM, gam_.data() + i * gamBytes_, gamBytes_);
      WriteMapPage(gamPageMap_[i] + 1, ptSGAM, sgam_.data() + i * gamBytes_, gamBytes_);
    } catch (...) {
    }
  }
  for (size_t i = 0; i < pfsDirty_.size(); ++i) {
    if (!pfsDirty_[i]) continue;
    try {
      WriteMapPage(pfsPageMap_[i], ptPFS, pfs_.data() + i * pfsBytes_, pfsBytes_);
    } catch (...) {
    }
  }
}

}  // namespace norvane

// The free-space manager's work on the in-memory bitmaps: taking free pages
// from an extent, scanning for candidate extents and adding new extents with
// the map pages that land in them. Nothing here touches the disk.
#include <algorithm>

#include "engine/common/whole_numbers.h"
#include "engine/container/free_space_manager.h"

namespace norvane {

namespace {

// The smallest i >= 0 with offset + i * span >= from.
int64_t FirstIndexFrom(int64_t from, int64_t offset, int64_t span) {
  return from <= offset ? 0 : CeilDiv(from - offset, span);
}

}  // namespace

std::vector<uint8_t>& TFreeSpaceManager::Bitmap(TBitmap map) {
  switch (map) {
    case bmPFS:
      return pfs_;
    case bmGAM:
      return gam_;
    case bmSGAM:
      return sgam_;
    case bmExhausted:
      break;
  }
  return exhausted_;
}

bool TFreeSpaceManager::Bit(const std::vector<uint8_t>& bits, int64_t n) {
  return ((bits[static_cast<size_t>(n >> 3)] >> (n & 7)) & 1) != 0;
}

void TFreeSpaceManager::SetBit(TBitmap map, int64_t n, bool value) {
  uint8_t& byte = Bitmap(map)[static_cast<size_t>(n >> 3)];
  const auto mask = static_cast<uint8_t>(1u << (n & 7));
  if (((byte & mask) != 0) == value) return;  // unchanged bytes are never rewritten
  byte ^= mask;
  undo_.Flips.push_back({map, n});
  if (map == bmPFS) pfsDirty_[static_cast<size_t>((n >> 3) / pfsBytes_)] = true;
  if (map == bmGAM || map == bmSGAM) gamDirty_[static_cast<size_t>((n >> 3) / gamBytes_)] = true;
}

int32_t TFreeSpaceManager::MapPagesIn(int64_t extent, int64_t (&found)[3]) const {
  // An extent holds at most one page of each kind: a PFS or GAM page
  // describes at least one whole extent, so its successor lies further on.
  const int64_t first = FirstPage(extent), last = first + extentPages_ - 1;
  const int64_t pfsSpan = static_cast<int64_t>(pfsExtents_) * extentPages_;
  const int64_t gamSpan = static_cast<int64_t>(gamExtents_) * extentPages_;
  struct Kind {
    int64_t offset, span;
    size_t count;
  };
  const Kind kinds[] = {{1, pfsSpan, pfsPageMap_.size()},
                        {2, gamSpan, gamPageMap_.size()},
                        {3, gamSpan, gamPageMap_.size()}};
  int32_t n = 0;
  for (const Kind& kind : kinds) {
    const int64_t i = FirstIndexFrom(first, kind.offset, kind.span);
    const int64_t page = kind.offset + i * kind.span;
    if (i < static_cast<int64_t>(kind.count) && page <= last) found[n++] = page;
  }
  return n;
}

bool TFreeSpaceManager::ExtentAllFree(int64_t extent) const {
  const int64_t first = FirstPage(extent) - 1, end = first + extentPages_;  // PFS bits
  for (int64_t bit = first; bit < end;) {
    if ((bit & 7) == 0 && bit + 8 <= end) {
      if (pfs_[static_cast<size_t>(bit >> 3)] != 0xFF) return false;
      bit += 8;
    } else {
      if (!Bit(pfs_, bit)) return false;
      ++bit;
    }
  }
  return true;
}

bool TFreeSpaceManager::ExtentUnused(int64_t extent) const {
  const int64_t first = FirstPage(extent);
  for (int64_t n = first; n < first + extentPages_; ++n)
    if (!Bit(pfs_, n - 1) && !IsMapPage(static_cast<int32_t>(n))) return false;
  return true;
}

void TFreeSpaceManager::TakeFromExtent(int64_t extent, int32_t count, std::vector<int32_t>& pages) {
  if (Bit(exhausted_, extent)) return;  // walked before and nothing freed since
  const int64_t first = FirstPage(extent), last = first + extentPages_ - 1;
  int64_t n = first;
  while (n <= last && static_cast<int32_t>(pages.size()) < count) {
    const int64_t bit = n - 1;
    if ((bit & 7) == 0 && n + 7 <= last && pfs_[static_cast<size_t>(bit >> 3)] == 0) {
      n += 8;  // eight used pages at once
      continue;
    }
    if (Bit(pfs_, bit)) {
      SetBit(bmPFS, bit, false);
      pages.push_back(static_cast<int32_t>(n));
      // Taking the last page makes the extent full, even when pages before
      // it are still free: those are found again only through a hint.
      if (n == last) MarkFull(extent);
    }
    ++n;
  }
  if (n > last) SetBit(bmExhausted, extent, true);
}

void TFreeSpaceManager::MarkFull(int64_t extent) {
  if (Bit(sgam_, extent)) --mixedExtents_;  // invariant 7
  if (Bit(gam_, extent)) --freeExtents_;
  SetBit(bmGAM, extent, false);
  SetBit(bmSGAM, extent, false);
}

void TFreeSpaceManager::Scan(int64_t from, int32_t count, bool whole, std::vector<int32_t>& pages) {
  for (int64_t j = from; j < extentCount_ && static_cast<int32_t>(pages.size()) < count;) {
    const auto byte = static_cast<size_t>(j >> 3);
    uint8_t candidates = gam_[byte];
    if (!whole) candidates |= sgam_[byte];
    candidates &= static_cast<uint8_t>(~exhausted_[byte]);
    if ((j & 7) == 0 && candidates == 0) {
      j += 8;  // eight extents without a candidate
      continue;
    }
    if (((candidates >> (j & 7)) & 1) != 0) TakeFromExtent(j, count, pages);
    ++j;
  }
}

int64_t TFreeSpaceManager::AddExtents(int64_t wanted, bool whole) {
  int64_t usable = 0, mapEnd = 0, added = 0;
  // With extents of one or two pages a GAM/SGAM pair reaches into the next
  // extents; those are added too, so every map page lies in an extent.
  while (usable < wanted || FirstPage(extentCount_) <= mapEnd) {
    const int64_t extent = extentCount_;
    if (FirstPage(extent) + extentPages_ > INT32_MAX) return -1;  // page numbers are 32-bit
    AddExtent(extent, whole, usable, mapEnd);
    ++extentCount_;
    ++added;
  }
  return added;
}

void TFreeSpaceManager::AddExtent(int64_t extent, bool whole, int64_t& usable, int64_t& mapEnd) {
  const int64_t first = FirstPage(extent), last = first + extentPages_ - 1;
  // The first extent no PFS page describes gets one as its first page; the
  // first extent no GAM page describes gets the GAM/SGAM pair right after.
  // The new pages stay dirty, so they are written whatever else happens.
  if (extent == static_cast<int64_t>(pfsExtents_) * static_cast<int64_t>(pfsPageMap_.size())) {
    pfs_.resize(pfs_.size() + static_cast<size_t>(pfsBytes_), 0xFF);
    pfsPageMap_.push_back(static_cast<int32_t>(first));
    pfsDirty_.push_back(true);
    mapEnd = std::max(mapEnd, first);
  }
  if (extent == static_cast<int64_t>(gamExtents_) * static_cast<int64_t>(gamPageMap_.size())) {
    const size_t size = gam_.size() + static_cast<size_t>(gamBytes_);
    gam_.resize(size, 0xFF);
    sgam_.resize(size, 0x00);
    exhausted_.resize(size, 0x00);
    gamPageMap_.push_back(static_cast<int32_t>(first + 1));
    gamDirty_.push_back(true);
    mapEnd = std::max(mapEnd, first + 2);
  }
  int64_t map[3];
  const int32_t mapCount = MapPagesIn(extent, map);
  // Every bit of the new extent is stated: map pages used, all else free.
  // Normally the fill already says so and nothing flips, but a loaded page
  // may hold anything for extents that did not exist yet.
  for (int64_t n = first; n <= last;) {
    const int64_t bit = n - 1;
    const bool mapInByte =
        std::any_of(map, map + mapCount, [&](int64_t m) { return m >= n && m < n + 8; });
    if ((bit & 7) == 0 && n + 7 <= last && !mapInByte &&
        pfs_[static_cast<size_t>(bit >> 3)] == 0xFF) {
      n += 8;
      continue;
    }
    SetBit(bmPFS, bit, std::find(map, map + mapCount, n) == map + mapCount);
    ++n;
  }
  // An extent holding map pages is mixed: a candidate only for requests
  // that do not need whole extents.
  const bool mixed = mapCount > 0;
  SetBit(bmGAM, extent, !mixed);
  SetBit(bmSGAM, extent, mixed);
  SetBit(bmExhausted, extent, mapCount == extentPages_);
  if (mixed) {
    ++mixedExtents_;
    if (!whole) usable += extentPages_ - mapCount;
  } else {
    ++freeExtents_;
    usable += extentPages_;
  }
}

}  // namespace norvane

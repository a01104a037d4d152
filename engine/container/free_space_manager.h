// Free-space maps: which pages of the container are free. Three bitmaps are
// kept whole in memory and stored in PFS, GAM and SGAM pages that live inside
// the extents they describe. Pages are handed out and taken back here; the
// container grows by whole extents when nothing suitable is free.
//
// Geometry (p payload bytes, E pages an extent):
//   B_P = (8p - (8p mod E)) / 8   PFS bitmap bytes a PFS page
//   X   = 8 * B_P / E             extents a PFS page describes
//   B_G = (8p - (8p mod X)) / 8   GAM (and SGAM) bitmap bytes a page
//   Y   = 8 * B_G                 extents a GAM page describes
// PFS page i is page 1 + i*X*E; GAM page i is 2 + i*Y*E, its SGAM page the
// one after it. PFS bit r is page 1 + r (1 free); GAM bit j: extent j is a
// candidate for every request; SGAM bit j: for requests of single pages.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/container/page_file_manager.h"

namespace norvane {

class TFreeSpaceManager {
 public:
  // Computes the geometry, checks the header's map page counts against the
  // extents, and loads the maps. Throws the engine's messages on damage.
  explicit TFreeSpaceManager(TPageFileManager& pages);

  // Hands out `count` free pages in `pages` (ascending inside each extent,
  // the hint's extent first), marks them used and writes the changed map
  // pages. False, with nothing changed in memory or on disk, when the
  // container could not grow.
  bool GetPages(int32_t count, int32_t hintPage, std::vector<int32_t>& pages, bool wholeExtents);
  // Marks the pages free and writes the changed map pages. Page 0, map
  // pages, pages beyond the count and pages already free are damage.
  void FreePages(const std::vector<int32_t>& pages);
  // Cuts the free tail off the container: the last extents, as long as no
  // page of them but map pages is in use, with the map pages that lie in
  // them (a map page lies in the first extent it describes, so those left
  // describe just the extents that stay). Returns the pages cut; 0 when the
  // last extent is in use or the file ends in pages outside any extent.
  // The header with the new counts is written before the file is cut, so
  // every page it counts stays inside the file. Throws when either write
  // fails; memory then describes the shorter container, which is safe
  // because every page cut was free.
  int32_t ReleaseFreeTail();

  // True for PFS, GAM and SGAM pages (and page 0): never a file's page.
  bool IsMapPage(int32_t page) const;
  // True when the PFS bitmap says the page is free. Requires 1 <= page < PageCount.
  bool IsPageFree(int32_t page) const;

  int32_t ExtentCount() const { return extentCount_; }
  int32_t FreeExtentCount() const { return freeExtents_; }
  int32_t MixedExtentCount() const { return mixedExtents_; }
  bool GAMBit(int32_t extent) const;
  bool SGAMBit(int32_t extent) const;
  const std::vector<int32_t>& PFSPageMap() const { return pfsPageMap_; }
  const std::vector<int32_t>& GAMPageMap() const { return gamPageMap_; }
  int32_t PFSBytesPerPage() const { return pfsBytes_; }      // B_P
  int32_t ExtentsPerPFSPage() const { return pfsExtents_; }  // X
  int32_t GAMBytesPerPage() const { return gamBytes_; }      // B_G
  int32_t ExtentsPerGAMPage() const { return gamExtents_; }  // Y

 private:
  // The bitmaps an operation may change, for the undo record.
  enum TBitmap : uint8_t { bmPFS, bmGAM, bmSGAM, bmExhausted };
  // One bit an operation flipped; undoing flips it back.
  struct TFlip {
    TBitmap Map;
    int64_t Bit;
  };
  // What an operation needs to put memory (and the file's size) back as it
  // was: the flipped bits and the sizes and counters from before it began.
  struct TUndo {
    std::vector<TFlip> Flips;
    size_t PFSBytes = 0, GAMBytes = 0, PFSPages = 0, GAMPages = 0;
    int32_t ExtentCount = 0, FreeExtents = 0, MixedExtents = 0;
    int32_t PageCount = 0;
    bool Writing = false;  // map pages may already have reached the disk
  };

  // Bit access; SetBit records the flip and marks the map page dirty.
  std::vector<uint8_t>& Bitmap(TBitmap map);
  static bool Bit(const std::vector<uint8_t>& bits, int64_t n);
  void SetBit(TBitmap map, int64_t n, bool value);

  // Map pages on disk and the frame of an operation (free_space_map_pages.cpp):
  // Begin records, Rollback restores memory, Commit writes, Abandon restores
  // memory and as much of the file as the disk allows.
  void Begin();
  void Rollback();
  void Commit();
  void Abandon();
  void LoadPFS();
  void LoadGAM();
  void SavePFS(const std::vector<bool>& dirty);
  void SaveGAM(const std::vector<bool>& dirty);
  bool WriteMapPage(int32_t page, uint8_t type, uint8_t* data, int32_t length);
  void CheckLoadedMaps();

  // Extents (free_space_extents.cpp).
  int64_t FirstPage(int64_t extent) const { return 1 + extent * extentPages_; }
  int32_t MapPagesIn(int64_t extent, int64_t (&found)[3]) const;
  bool ExtentAllFree(int64_t extent) const;
  // True when every page of the extent is free or a map page.
  bool ExtentUnused(int64_t extent) const;
  void TakeFromExtent(int64_t extent, int32_t count, std::vector<int32_t>& pages);
  void MarkFull(int64_t extent);
  void Scan(int64_t from, int32_t count, bool whole, std::vector<int32_t>& pages);
  int64_t AddExtents(int64_t wanted, bool whole);
  void AddExtent(int64_t extent, bool whole, int64_t& usable, int64_t& mapEnd);

  TPageFileManager& pages_;
  int32_t extentPages_ = 0;
  int32_t pfsBytes_ = 0, pfsExtents_ = 0, gamBytes_ = 0, gamExtents_ = 0;
  int32_t extentCount_ = 0;
  int32_t freeExtents_ = 0, mixedExtents_ = 0;
  std::vector<uint8_t> pfs_, gam_, sgam_;
  std::vector<int32_t> pfsPageMap_, gamPageMap_;
  // Bit j set: extent j was walked to its end and has no free page left
  // (a cache that only saves walks; same byte size as the GAM bitmap).
  std::vector<uint8_t> exhausted_;
  std::vector<bool> pfsDirty_, gamDirty_;
  TUndo undo_;
};

}  // namespace norvane

// Page maps of the files inside a container: for each file, the chain of map
// pages that lists its data pages in order, cached in memory once read.
//
// Invariants:
//   1. A file of size s owns ceil(s / p) data pages (p payload bytes) and
//      ceil(d / m) map pages (m = p / 4 entries a page); size 0 means no
//      pages and FirstMapPageNo -1.
//   2. Pages leave a file here, but are handed back to the free-space maps
//      by the caller only after the map page and the directory record stop
//      naming them, so a crash never leaves a page owned twice.
//   3. Every page number read from a map is checked before use: inside the
//      container, not a free-space map page, not free, and not named twice.
//   4. No file has more than MaxDataPages() data pages. Page numbers are
//      signed 32-bit, so a container has at most 2^31 - 1 pages: page 0,
//      then whole extents. Of those, the PFS pages and GAM/SGAM pairs, one
//      directory page and the file's own map pages (one per m data pages)
//      are no data pages. With 4096-byte pages and extents of 16 pages that
//      leaves 2,145,297,806 data pages, 8,718,490,283,584 bytes; a size or
//      position beyond it is refused before any page is taken. Below it the
//      free-space maps decide (other files may hold the pages).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/container/file_rec.h"
#include "engine/container/free_space_manager.h"
#include "engine/container/page_file_manager.h"

namespace norvane {

class TUserFilePageMapManager {
 public:
  struct TFileMaps {
    std::vector<int32_t> MapPages;
    std::vector<int32_t> DataPages;
  };

  TUserFilePageMapManager(TPageFileManager& pages, TFreeSpaceManager& space);

  // The file's map and data pages, from the cache or read along the chain.
  // Damage throws the engine's GetMaps messages.
  const TFileMaps& GetMaps(const TFileRec& rec);
  // Adds n data pages at the end (written as zero pages with `zero`);
  // updates rec.FirstMapPageNo. False with LastError -17, and nothing
  // changed, when the pages could not be had or the file would pass
  // MaxDataPages() (invariant 4).
  bool AppendPages(TFileRec& rec, int64_t n, bool zero);
  // Cuts the last n data pages (and the map pages no longer needed) from the
  // cached maps and returns them. The caller writes the record with the new
  // size, then WriteLastMapPage, then frees the pages (invariant 2).
  std::vector<int32_t> DeletePagesFromEOF(TFileRec& rec, int64_t n);
  // Rewrites the file's last map page as the end of its chain.
  void WriteLastMapPage(const TFileRec& rec);
  // Appends or cuts pages so the page count fits newSize (rec.Size is the
  // current size; the caller stores the new one). Cut pages go to `released`.
  // Requires newSize >= 0; false with LastError -17 as AppendPages.
  bool SetFileSize(TFileRec& rec, bool zero, int64_t newSize, std::vector<int32_t>& released);
  // The data pages holding bytes position .. position + length - 1, as far as
  // the file has pages. Requires position >= 0. With `extend` the file first
  // grows to cover them: pages of the range are left for the caller to
  // write, pages of a gap before it are written as zeros; a range ending
  // beyond MaxFileSize() gives false with LastError -17 and changes nothing.
  bool GetPageRange(TFileRec& rec, bool extend, std::vector<int32_t>& list, int64_t length,
                    int64_t position);
  // Writes zero pages (type 6, not enciphered).
  void WriteZeroPages(const std::vector<int32_t>& pages);

  int64_t DataPageCount(const TFileRec& rec) {
    return rec.FirstMapPageNo == -1 ? 0 : static_cast<int64_t>(GetMaps(rec).DataPages.size());
  }
  // The most data pages, and bytes, any file of this container's geometry
  // can have (invariant 4).
  int64_t MaxDataPages() const;
  int64_t MaxFileSize() const { return MaxDataPages() * pages_.PayloadSize(); }
  int32_t LastError() const { return lastError_; }

 private:
  int32_t EntriesPerMapPage() const { return pages_.PayloadSize() / 4; }
  bool FilePageIsValid(int32_t page) const;
  // GetMaps, as the cache entry to change.
  TFileMaps& CachedMaps(const TFileRec& rec);
  void WriteMapPages(const TFileMaps& maps, size_t from);

  TPageFileManager& pages_;
  TFreeSpaceManager& space_;
  std::unordered_map<int32_t, TFileMaps> cache_;  // by FirstMapPageNo
  std::vector<uint8_t> buffer_;
  int32_t lastError_ = 0;
};

}  // namespace norvane

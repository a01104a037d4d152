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
  // changed, when the pages could not be had.
  bool AppendPages(TFileRec& rec, int32_t n, bool zero);
  // Cuts the last n data pages (and the map pages no longer needed) from the
  // cached maps and returns them. The caller writes the record with the new
  // size, then WriteLastMapPage, then frees the pages (invariant 2).
  std::vector<int32_t> DeletePagesFromEOF(TFileRec& rec, int32_t n);
  // Rewrites the file's last map page as the end of its chain.
  void WriteLastMapPage(const TFileRec& rec);
  // Appends or cuts pages so the page count fits newSize (rec.Size is the
  // current size; the caller stores the new one). Cut pages go to `released`.
  bool SetFileSize(TFileRec& rec, bool zero, int64_t newSize, std::vector<int32_t>& released);
  // The data pages holding bytes position .. position + length - 1, as far as
  // the file has pages. With `extend` the file first grows to cover them:
  // pages of the range are left for the caller to write, pages of a gap
  // before it are written as zeros.
  bool GetPageRange(TFileRec& rec, bool extend, std::vector<int32_t>& list, int64_t length,
                    int64_t position);
  // Writes zero pages (type 6, not enciphered).
  void WriteZeroPages(const std::vector<int32_t>& pages);

  int32_t DataPageCount(const TFileRec& rec) {
    return rec.FirstMapPageNo == -1 ? 0 : static_cast<int32_t>(GetMaps(rec).DataPages.size());
  }
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

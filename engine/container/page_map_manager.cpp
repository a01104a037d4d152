// Page maps: reading map chains into the cache, growing and cutting files by
// whole data pages, and writing map pages back.
#include "engine/container/page_map_manager.h"

#include <algorithm>
#include <unordered_set>

#include "engine/common/byte_codec.h"
#include "engine/common/whole_numbers.h"
#include "engine/container/damage.h"
#include "engine/container/dir_manager.h"

namespace norvane {

namespace {

constexpr char kGetMaps[] = "TUserFilePageMapManager.GetMaps";

}  // namespace

TUserFilePageMapManager::TUserFilePageMapManager(TPageFileManager& pages, TFreeSpaceManager& space)
    : pages_(pages), space_(space) {
  buffer_.assign(static_cast<size_t>(pages_.PayloadSize()), 0);
}

int64_t TUserFilePageMapManager::MaxDataPages() const {
  const int64_t e = pages_.Header().ExtentPageCount();
  // Page 0, then whole extents, the last ending at page INT32_MAX - 1.
  const int64_t extents = (INT32_MAX - 1) / e;
  const int64_t usable = extents * e - CeilDiv(extents, space_.ExtentsPerPFSPage()) -
                         2 * CeilDiv(extents, space_.ExtentsPerGAMPage()) - 1;
  // The largest d with d + ceil(d / m) <= usable (its map pages besides):
  // usable * m / (m + 1) always fits, and a page or two more may.
  const int64_t m = EntriesPerMapPage();
  int64_t d = std::max<int64_t>(0, usable) * m / (m + 1);
  while (d + 1 + CeilDiv(d + 1, m) <= usable) ++d;
  return d;
}

bool TUserFilePageMapManager::FilePageIsValid(int32_t page) const {
  return page >= 1 && page < pages_.PageCount() && !space_.IsMapPage(page) &&
         !space_.IsPageFree(page);
}

const TUserFilePageMapManager::TFileMaps& TUserFilePageMapManager::GetMaps(const TFileRec& rec) {
  if (rec.FirstMapPageNo == -1)
    throw EEngineError("TUserFilePageMapManager.GetMaps - Invalid parameter FileRec.FirstMapPageNo");
  auto cached = cache_.find(rec.FirstMapPageNo);
  if (cached != cache_.end()) return cached->second;

  const int64_t p = pages_.PayloadSize();
  const int64_t wanted = CeilDiv(rec.Size, p);
  if (wanted < 0 || wanted >= pages_.PageCount()) ReportDamage(kGetMaps, "Invalid page No in map chain.");
  TFileMaps maps;
  std::unordered_set<int32_t> seen;
  auto take = [&](int32_t page) {
    if (!FilePageIsValid(page) || !seen.insert(page).second)
      ReportDamage(kGetMaps, "Invalid page No in map chain.");
  };
  int32_t page = rec.FirstMapPageNo;
  while (static_cast<int64_t>(maps.DataPages.size()) < wanted) {
    if (page == -1) ReportDamage(kGetMaps, "Invalid page No in map chain.");
    take(page);
    TPageRecord map;
    map.Data = buffer_.data();
    if (!pages_.ReadPage(map, page, false, "", -1) || map.Header.PageType != ptMap)
      ReportDamage(kGetMaps, "Error on reading map page.");
    maps.MapPages.push_back(page);
    for (int32_t i = 0; i < EntriesPerMapPage() &&
                        static_cast<int64_t>(maps.DataPages.size()) < wanted; ++i) {
      const int32_t data = static_cast<int32_t>(GetU32LE(buffer_.data() + 4 * i));
      take(data);
      maps.DataPages.push_back(data);
    }
    page = map.Header.NextPageNo;
  }
  if (maps.MapPages.empty() || maps.MapPages[0] != rec.FirstMapPageNo)
    throw EEngineError("TUserFilePageMapManager.GetMaps - UFPMMap.Items[0] <> FirstMapPageNo");
  return cache_.emplace(rec.FirstMapPageNo, std::move(maps)).first->second;
}

TUserFilePageMapManager::TFileMaps& TUserFilePageMapManager::CachedMaps(const TFileRec& rec) {
  GetMaps(rec);
  return cache_.at(rec.FirstMapPageNo);
}

void TUserFilePageMapManager::WriteMapPages(const TFileMaps& maps, size_t from) {
  const size_t m = static_cast<size_t>(EntriesPerMapPage());
  for (size_t i = from; i < maps.MapPages.size(); ++i) {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    for (size_t e = i * m; e < std::min((i + 1) * m, maps.DataPages.size()); ++e)
      PutU32LE(buffer_.data() + 4 * (e - i * m), static_cast<uint32_t>(maps.DataPages[e]));
    TPageRecord rec;
    rec.Data = buffer_.data();
    rec.Header.PageType = ptMap;
    rec.Header.NextPageNo = i + 1 < maps.MapPages.size() ? maps.MapPages[i + 1] : -1;
    if (!pages_.WritePage(rec, maps.MapPages[i], "", -1))
      throw EEngineError("TUserFilePageMapManager - can not save map page, pageNo = " +
                         std::to_string(maps.MapPages[i]));
  }
}

void TUserFilePageMapManager::WriteZeroPages(const std::vector<int32_t>& pages) {
  std::fill(buffer_.begin(), buffer_.end(), 0);
  for (int32_t page : pages) {
    TPageRecord rec;
    rec.Data = buffer_.data();
    rec.Header.PageType = ptFileData;
    if (!pages_.WritePage(rec, page, "", -1))
      throw EEngineError("TUserFilePageMapManager - can not save data page, pageNo = " +
                         std::to_string(page));
  }
}

bool TUserFilePageMapManager::AppendPages(TFileRec& rec, int64_t n, bool zero) {
  if (n <= 0) throw EEngineError("TUserFilePageMapManager.AppendPages - PageCount <= 0.");
  lastError_ = 0;
  const int64_t m = EntriesPerMapPage();
  const bool fresh = rec.FirstMapPageNo == -1;
  // The cached maps grow in place (a copy of a large file's maps for every
  // append would cost time quadratic in its size) and are cut back if
  // writing them fails, so the cache never names pages the record does not.
  TFileMaps freshMaps;
  TFileMaps& maps = fresh ? freshMaps : CachedMaps(rec);
  const size_t oldMaps = maps.MapPages.size();
  const int64_t d = static_cast<int64_t>(maps.DataPages.size());
  if (n > MaxDataPages() - d) {  // invariant 4; below it counts fit in 32 bits
    lastError_ = kNoSpace;
    return false;
  }
  const int64_t extraMaps = CeilDiv(d + n, m) - static_cast<int64_t>(oldMaps);
  std::vector<int32_t> newMaps, newData;
  if (extraMaps > 0) {
    const int32_t hint = fresh ? 1 : maps.MapPages.back() + 1;
    if (!space_.GetPages(static_cast<int32_t>(extraMaps), hint, newMaps, false)) {
      lastError_ = kNoSpace;
      return false;
    }
  }
  const int32_t dataHint = maps.DataPages.empty() ? 1 : maps.DataPages.back() + 1;
  const bool whole = d + n > pages_.Header().ExtentPageCount();
  if (!space_.GetPages(static_cast<int32_t>(n), dataHint, newData, whole)) {
    // Nothing names the map pages yet, so they can go straight back.
    if (!newMaps.empty()) space_.FreePages(newMaps);
    lastError_ = kNoSpace;
    return false;
  }
  maps.MapPages.insert(maps.MapPages.end(), newMaps.begin(), newMaps.end());
  maps.DataPages.insert(maps.DataPages.end(), newData.begin(), newData.end());
  try {
    WriteMapPages(maps, oldMaps == 0 ? 0 : oldMaps - 1);
    if (zero) WriteZeroPages(newData);
  } catch (...) {
    maps.MapPages.resize(oldMaps);
    maps.DataPages.resize(static_cast<size_t>(d));
    throw;
  }
  if (fresh) {
    rec.FirstMapPageNo = maps.MapPages[0];
    cache_[rec.FirstMapPageNo] = std::move(maps);
  }
  return true;
}

std::vector<int32_t> TUserFilePageMapManager::DeletePagesFromEOF(TFileRec& rec, int64_t n) {
  if (rec.FirstMapPageNo == -1)
    throw EEngineError("TUserFilePageMapManager.DeletePagesFromEOF - File map not exists.");
  TFileMaps& maps = CachedMaps(rec);
  const int64_t d = static_cast<int64_t>(maps.DataPages.size());
  const int64_t keepData = std::max<int64_t>(0, d - n);
  const size_t keepMaps = static_cast<size_t>(CeilDiv(keepData, EntriesPerMapPage()));
  std::vector<int32_t> released(maps.MapPages.begin() + static_cast<std::ptrdiff_t>(keepMaps),
                                maps.MapPages.end());
  released.insert(released.end(), maps.DataPages.begin() + keepData, maps.DataPages.end());
  maps.MapPages.resize(keepMaps);
  maps.DataPages.resize(static_cast<size_t>(keepData));
  if (keepMaps == 0) {
    cache_.erase(rec.FirstMapPageNo);
    rec.FirstMapPageNo = -1;
  }
  return released;
}

void TUserFilePageMapManager::WriteLastMapPage(const TFileRec& rec) {
  const TFileMaps& maps = GetMaps(rec);
  WriteMapPages(maps, maps.MapPages.size() - 1);
}

bool TUserFilePageMapManager::SetFileSize(TFileRec& rec, bool zero, int64_t newSize,
                                          std::vector<int32_t>& released) {
  const int64_t wanted = CeilDiv(newSize, pages_.PayloadSize());
  if (rec.FirstMapPageNo == -1)
    return wanted == 0 || AppendPages(rec, wanted, zero);
  const int64_t d = DataPageCount(rec);
  if (newSize == rec.Size) return true;
  if (newSize < rec.Size) {
    if (d - wanted > 0) released = DeletePagesFromEOF(rec, d - wanted);
    return true;
  }
  return wanted - d <= 0 || AppendPages(rec, wanted - d, zero);
}

bool TUserFilePageMapManager::GetPageRange(TFileRec& rec, bool extend, std::vector<int32_t>& list,
                                           int64_t length, int64_t position) {
  list.clear();
  const int64_t p = pages_.PayloadSize();
  const int64_t first = position / p;
  if (extend && length > MaxFileSize() - position) {  // invariant 4, and no overflow below
    lastError_ = kNoSpace;
    return false;
  }
  if (extend && position + length > rec.Size) {
    const int64_t had = DataPageCount(rec);
    const int64_t wanted = CeilDiv(position + length, p);
    if (wanted > had) {
      if (!AppendPages(rec, wanted - had, false)) return false;
      // Pages of a gap before the range are never written by the caller.
      const auto& data = GetMaps(rec).DataPages;
      WriteZeroPages({data.begin() + had, data.begin() + std::max(had, std::min(first, wanted))});
    }
  }
  if (rec.FirstMapPageNo == -1 || length <= 0) return true;
  const auto& data = GetMaps(rec).DataPages;
  const int64_t last = std::min<int64_t>((position + length - 1) / p,
                                         static_cast<int64_t>(data.size()) - 1);
  for (int64_t i = first; i <= last; ++i) list.push_back(data[static_cast<size_t>(i)]);
  return true;
}

}  // namespace norvane

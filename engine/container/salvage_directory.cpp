// Salvage's scan of a damaged container: directory and map pages found by
// type and checksum, and the directory chain pieced back together so that
// records keep the numbers their children's parent links use.
#include "engine/container/salvage_directory.h"

#include <algorithm>
#include <set>

#include "engine/common/byte_codec.h"

namespace norvane {

namespace {

constexpr int32_t kStepEvery = 256;  // pages between progress calls

// The chain's pages in order from `first`, following Next through pages
// whose header says directory and not yet in `placed`.
std::vector<int32_t> Walk(const TSalvageScan& scan, int32_t first, const std::set<int32_t>& placed,
                          int32_t& stoppedAt) {
  std::vector<int32_t> chain;
  std::set<int32_t> seen;
  int32_t page = first;
  while (scan.Directory.count(page) != 0 && placed.count(page) == 0 && seen.insert(page).second) {
    chain.push_back(page);
    page = scan.Directory.at(page).Next;
  }
  stoppedAt = page;
  return chain;
}

// Directory pages that no other unplaced directory page names: the starts
// of the pieces the walk did not reach, lowest page first.
std::vector<int32_t> PieceStarts(const TSalvageScan& scan, const std::set<int32_t>& placed) {
  std::set<int32_t> named;
  for (const auto& [page, dir] : scan.Directory)
    if (placed.count(page) == 0) named.insert(dir.Next);
  std::vector<int32_t> starts;
  for (const auto& [page, dir] : scan.Directory)
    if (placed.count(page) == 0 && named.count(page) == 0) starts.push_back(page);
  return starts;
}

// " (records a to b)" for a placed directory page, empty for another.
std::string RecordsText(int64_t position, int32_t perPage) {
  if (position < 0) return "";
  return " (records " + std::to_string(position * perPage) + " to " +
         std::to_string((position + 1) * perPage - 1) + ")";
}

void AddRecords(TSalvagePages& pages, TSalvageScan& scan, int32_t page, int32_t position,
                std::vector<std::string>& log) {
  const TSalvageDirPage& dir = scan.Directory.at(page);
  const int32_t perPage = pages.RecordsPerPage();
  const int64_t first = static_cast<int64_t>(position) * perPage;
  if (!dir.Sound) {
    log.push_back("Directory page " + std::to_string(page) + RecordsText(position, perPage) +
                  " cannot be read; the items it held are not found.");
    return;
  }
  for (int32_t slot = 0; slot < perPage; ++slot) {
    const int64_t number = position >= 0 ? first + slot : -1;
    if (pages.HeaderSound() && number >= pages.Header().DirectoryItemCount()) break;
    TSalvageRecord found;
    if (!DecodeFileRec(dir.Records.data() + static_cast<size_t>(slot) * TFileRec::kSize,
                       found.Rec) ||
        found.Rec.Deleted || !IsValidItemName(found.Rec.FileName))
      continue;
    found.Record = static_cast<int32_t>(number);
    found.Page = page;
    found.Slot = slot;
    scan.Records.push_back(found);
  }
}

// Places the directory pages: the chain from its first page, then a single
// piece the walk did not reach (see ScanContainer); records come out in
// record order, those of unplaced pages last.
void PlaceDirectory(TSalvagePages& pages, TSalvageScan& scan, std::vector<std::string>& log) {
  std::set<int32_t> placed;
  int32_t first = -1;
  if (pages.HeaderSound()) {
    first = pages.Header().FirstDirectoryPage();
  } else {
    const std::vector<int32_t> starts = PieceStarts(scan, placed);
    if (!starts.empty()) first = starts.front();
  }
  // The header's count of directory pages, never more than the file holds.
  const auto counted = static_cast<size_t>(
      pages.HeaderSound() ? std::clamp(pages.Header().DirectoryPageCount(), 0, pages.PageCount())
                          : 0);
  int32_t stoppedAt = -1;
  std::vector<int32_t> order = Walk(scan, first, placed, stoppedAt);
  // The last page's link is never followed by the engine: it ends the count.
  if (pages.HeaderSound() && order.size() > counted) order.resize(counted);
  placed.insert(order.begin(), order.end());
  const std::vector<int32_t> starts = PieceStarts(scan, placed);
  if (starts.size() == 1) {
    int32_t pieceEnd = -1;
    const std::vector<int32_t> piece = Walk(scan, starts.front(), placed, pieceEnd);
    const auto reached = static_cast<int64_t>(order.size());
    const bool stoppedInFile =
        stoppedAt >= 1 && stoppedAt < pages.PageCount() && scan.Directory.count(stoppedAt) == 0;
    const int64_t gap = pages.HeaderSound() ? static_cast<int64_t>(counted) - reached -
                                                  static_cast<int64_t>(piece.size())
                                            : (stoppedInFile ? 1 : 0);
    if (gap >= 0 && gap <= pages.PageCount()) {
      order.resize(static_cast<size_t>(reached + gap), -1);
      order.insert(order.end(), piece.begin(), piece.end());
      placed.insert(piece.begin(), piece.end());
      log.push_back("The directory chain breaks after " + std::to_string(reached) + " pages; the " +
                    std::to_string(piece.size()) +
                    " found beyond the break are placed from position " +
                    std::to_string(reached + gap) + ".");
    }
  }
  if (order.size() < counted) order.resize(counted, -1);
  for (size_t position = 0; position < order.size(); ++position) {
    const auto at = static_cast<int32_t>(position);
    if (order[position] >= 0)
      AddRecords(pages, scan, order[position], at, log);
    else
      log.push_back("Directory page " + std::to_string(position) + " of the chain" +
                    RecordsText(at, pages.RecordsPerPage()) +
                    " is not found; the items it held are not found.");
  }
  for (const auto& [page, dir] : scan.Directory)
    if (placed.count(page) == 0) AddRecords(pages, scan, page, -1, log);
}

}  // namespace

bool ScanContainer(TSalvagePages& pages, TSalvageScan& scan, std::vector<std::string>& log,
                   const TSalvageStep& step) {
  const int32_t payload = pages.PayloadSize();
  const int32_t directoryBytes = pages.RecordsPerPage() * TFileRec::kSize;
  std::vector<uint8_t> buffer(static_cast<size_t>(payload));
  for (int32_t n = 1; n < pages.PageCount(); ++n) {
    if (n % kStepEvery == 0 && !step(static_cast<double>(n) / pages.PageCount())) return false;
    TPageHeader header;
    if (!pages.ReadHeader(n, header)) continue;
    if (header.PageType == ptDirectory) {
      TSalvageDirPage& dir = scan.Directory[n];
      dir.Next = header.NextPageNo;
      dir.Sound = pages.ReadPage(n, directoryBytes, header, buffer.data());
      if (dir.Sound) dir.Records.assign(buffer.begin(), buffer.begin() + directoryBytes);
    } else if (header.PageType == ptMap && pages.ReadPage(n, payload, header, buffer.data())) {
      TSalvageMapPage& map = scan.Maps[n];
      map.Next = header.NextPageNo;
      map.Entries.resize(static_cast<size_t>(payload / 4));
      for (size_t i = 0; i < map.Entries.size(); ++i)
        map.Entries[i] = GetU32LE(buffer.data() + 4 * i);
    }
  }
  PlaceDirectory(pages, scan, log);
  return true;
}

}  // namespace norvane

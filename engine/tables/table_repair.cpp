// What a writable open mends after a program stopped with the table open:
// a T.dat shorter than its header claims, and row identifiers duplicated by
// a record moved into a hole whose header had not been written yet.
#include <algorithm>
#include <unordered_map>

#include "engine/common/byte_codec.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {

void TDeziDataManager::RepairShortFile() {
  const int64_t whole = (dat_->Size() - geometry_.DataStart) / geometry_.RecordSize;
  if (whole >= header_.RecordCount) return;
  // The records the file holds stay; the count that outran them goes, and
  // a change makes the index arrays stale.
  header_.RecordCount = static_cast<int32_t>(std::max<int64_t>(whole, 0));
  if (readOnly_) return;
  ++header_.ChangeCounter;
}

std::vector<int32_t> TDeziDataManager::StoredIdentifiers() {
  const int32_t size = geometry_.RecordSize;
  const int32_t count = header_.RecordCount;
  std::vector<int32_t> ids(static_cast<size_t>(count));
  // Straight from T.dat, about a megabyte at a time, past the record cache.
  const int32_t chunkRecords = std::max(1, (1 << 20) / size);
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(chunkRecords, count)) * static_cast<size_t>(size));
  for (int32_t first = 0; first < count; first += chunkRecords) {
    const int32_t n = std::min(chunkRecords, count - first);
    dat_->SeekFromStart(geometry_.DataStart + first * size);
    dat_->ReadBuffer(chunk.data(), n * size);
    for (int32_t i = 0; i < n; ++i)
      ids[static_cast<size_t>(first + i)] =
          GetI32LE(&chunk[static_cast<size_t>(i) * size + geometry_.RowIdOffset]);
  }
  // Images still in the write log (a journal taken back at open) are what
  // the records hold; the row identifier is never enciphered.
  for (const auto& [position, image] : log_->RecordsBelow(count))
    ids[static_cast<size_t>(position)] = GetI32LE(image + geometry_.RowIdOffset);
  return ids;
}

void TDeziDataManager::RemoveDuplicateIdentifiers() {
  const std::vector<int32_t> ids = StoredIdentifiers();
  std::unordered_map<int32_t, int32_t> firstAt;
  firstAt.reserve(ids.size());
  std::vector<int32_t> duplicates;
  int32_t highest = header_.LastId;
  for (size_t r = 0; r < ids.size(); ++r) {
    highest = std::max(highest, ids[r]);
    if (!firstAt.emplace(ids[r], static_cast<int32_t>(r)).second) duplicates.push_back(static_cast<int32_t>(r));
  }
  if (highest != header_.LastId) {
    header_.LastId = highest;
    ++header_.ChangeCounter;
  }
  // From the top down, so each record moved into a hole is one already seen.
  // The indexes are sorted once afterwards, not kept through every delete.
  ++upkeepSuspended_;
  for (auto p = duplicates.rbegin(); p != duplicates.rend(); ++p) aaDeleteRecord(*p);
  --upkeepSuspended_;
}

}  // namespace norvane

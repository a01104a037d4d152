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

void TDeziDataManager::RemoveDuplicateIdentifiers() {
  const int32_t size = geometry_.RecordSize;
  const int32_t count = header_.RecordCount;
  std::unordered_map<int32_t, int32_t> firstAt;
  firstAt.reserve(static_cast<size_t>(count));
  std::vector<int32_t> duplicates;
  int32_t highest = header_.LastId;
  // Identifiers read straight from T.dat, about a megabyte at a time.
  const int32_t chunkRecords = std::max(1, (1 << 20) / size);
  std::vector<uint8_t> chunk(static_cast<size_t>(chunkRecords) * static_cast<size_t>(size));
  for (int32_t first = 0; first < count; first += chunkRecords) {
    const int32_t n = std::min(chunkRecords, count - first);
    dat_->SeekFromStart(geometry_.DataStart + first * size);
    dat_->ReadBuffer(chunk.data(), n * size);
    for (int32_t i = 0; i < n; ++i) {
      const int32_t id = GetI32LE(&chunk[static_cast<size_t>(i) * size + geometry_.RowIdOffset]);
      highest = std::max(highest, id);
      if (!firstAt.emplace(id, first + i).second) duplicates.push_back(first + i);
    }
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

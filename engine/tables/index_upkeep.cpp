// Which indexes a record change keeps in order. Large tables keep all of
// them; tiny ones stop keeping all but the caller's during a burst of
// changes, and an index left behind is sorted again when next used.
#include "engine/platform/tick_counter.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {
namespace {

// Tables of at most this many records may leave indexes unsorted.
constexpr int32_t kSmallTable = 10;
// A burst: more than this many changes, each within the gap of the last.
constexpr int kBurstChanges = 100;
constexpr uint32_t kBurstGapMs = 1000;

}  // namespace

std::vector<bool> TDeziDataManager::IndexesToKeep(int32_t ownIndex, const std::vector<bool>* unmoved) {
  std::vector<bool> keep(indexes_.size(), false);
  const uint32_t now = GetTickCount();
  burstCount_ = lastChangeTick_ && now - *lastChangeTick_ < kBurstGapMs ? burstCount_ + 1 : 0;
  lastChangeTick_ = now;
  if (upkeepSuspended_ > 0) {
    for (auto& index : indexes_) index->Drop();
    return keep;
  }
  const bool small = header_.RecordCount <= kSmallTable;
  const bool burst = burstCount_ > kBurstChanges;
  // A change that leaves the record's entry where it is leaves an array
  // still unchecked in T.idx as good as it was: it is checked when used.
  const auto untouched = [&](int32_t i) { return unmoved != nullptr && (*unmoved)[i] && indexes_[i]->Loaded; };
  // The others are checked together, in one walk over the records.
  std::vector<int32_t> stored;
  for (int32_t i = 0; i < IndexCount(); ++i)
    if (indexes_[i]->Loaded && !untouched(i)) stored.push_back(i);
  CheckStoredOrder(stored);
  for (int32_t i = 0; i < IndexCount(); ++i) {
    TTableIndex& index = *indexes_[i];
    if (untouched(i)) continue;
    // An array read from T.idx is checked before a change is applied to it.
    if (!small || index.Loaded) BuildIndex(i);
    keep[i] = index.Built && (i == ownIndex || !small || !burst);
    if (!keep[i]) index.Drop();
  }
  return keep;
}

void TDeziDataManager::ResumeIndexUpkeep() {
  if (upkeepSuspended_ == 0) return;
  if (--upkeepSuspended_ == 0) BuildAllIndexes();
}

}  // namespace norvane

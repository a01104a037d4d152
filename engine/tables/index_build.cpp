// Sorting an index from the records: every record's key is encoded once and
// the keys are sorted, the heads of two keys compared before the rest is
// looked at. Also the linear checks of an array's order.
#include <algorithm>
#include <cstring>

#include "engine/tables/dezi_data_manager.h"

namespace norvane {
namespace {

struct TSortEntry {
  TKeyHead Head;
  size_t Offset;
  uint32_t Length;
  int32_t Record;
};

// Every record's key, encoded in physical order: records are read one after
// the other, never in key order, which keeps the walk over a large table
// inside the memory cache's reach. Entry r is record r's.
class TEncodedKeys {
 public:
  template <typename TRecordOf>
  TEncodedKeys(const TIndexKeyEncoder& encoder, int32_t count, TRecordOf recordOf)
      : entries_(static_cast<size_t>(count)) {
    std::string key;
    for (int32_t r = 0; r < count; ++r) {
      encoder.EncodeRow(recordOf(r), key);
      entries_[r] = {KeyHead(key), keys_.size(), static_cast<uint32_t>(key.size()), r};
      keys_ += key;
    }
  }

  bool Less(const TSortEntry& a, const TSortEntry& b) const {
    if (a.Head != b.Head) return a.Head < b.Head;
    const int order = std::memcmp(keys_.data() + a.Offset, keys_.data() + b.Offset, std::min(a.Length, b.Length));
    return order != 0 ? order < 0 : a.Length < b.Length;
  }

  // The array in key order, with the heads; the keys are used up.
  std::vector<TIndexEntry> Sorted() && {
    std::sort(entries_.begin(), entries_.end(), [this](const TSortEntry& a, const TSortEntry& b) { return Less(a, b); });
    std::vector<TIndexEntry> order(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) order[i] = {entries_[i].Head, entries_[i].Record};
    return order;
  }

 private:
  std::string keys_;
  std::vector<TSortEntry> entries_;
};

}  // namespace

const uint8_t* TDeziDataManager::KeyRecord(int32_t physical) {
  // A record that fails its check still has a place in every index: its
  // key is whatever it holds, and only reading it reports the damage.
  return LoadedPage(physical).GetRecordPtr(physical);
}

void TDeziDataManager::BuildIndex(int32_t number) {
  TTableIndex& index = CheckedIndex(number);
  if (index.Built) return;
  if (index.Loaded) {
    index.Loaded = false;
    // The check also fills in the heads. Arrays written under another
    // collation, or by a program that kept equal keys in another order, are
    // sorted again, never searched.
    const bool read = index.StoredAt < 0 || ReadStoredArray(index);
    if (read && InOrder(index)) {
      index.Built = true;
      return;
    }
    indexFileDiffers_ = true;
    // A rebuild is shown as at open.
    BuildWithProgress({number});
    return;
  }
  index.Array.Assign(
      TEncodedKeys(index.Encoder, header_.RecordCount, [this](int32_t r) { return KeyRecord(r); }).Sorted());
  index.Built = true;
}

void TDeziDataManager::BuildAllIndexes() {
  std::vector<int32_t> pending;
  for (int32_t i = 0; i < IndexCount(); ++i)
    if (!indexes_[i]->Built && !indexes_[i]->Loaded) pending.push_back(i);
  BuildWithProgress(pending);
}

void TDeziDataManager::BuildWithProgress(const std::vector<int32_t>& pending) {
  if (pending.empty()) return;
  if (header_.RecordCount == 0) {
    // Nothing to sort, nothing to show.
    for (int32_t i : pending) indexes_[i]->Built = true;
    return;
  }
  // Observers may leave while being told; tell the ones there at the start.
  const std::vector<TIndexBuildProgress*> observers = buildProgress_;
  for (TIndexBuildProgress* observer : observers) observer->IndexBuildStarted(tableName_);
  try {
    for (size_t i = 0; i < pending.size(); ++i) {
      BuildIndex(pending[i]);
      const int percent = static_cast<int>((i + 1) * 100 / pending.size());
      for (TIndexBuildProgress* observer : observers) observer->IndexBuildProgress(percent);
    }
  } catch (...) {
    for (TIndexBuildProgress* observer : observers) observer->IndexBuildEnded();
    throw;
  }
  for (TIndexBuildProgress* observer : observers) observer->IndexBuildEnded();
}

void TDeziDataManager::AddIndexBuildProgress(TIndexBuildProgress* observer) {
  buildProgress_.push_back(observer);
}

void TDeziDataManager::RemoveIndexBuildProgress(TIndexBuildProgress* observer) {
  buildProgress_.erase(std::remove(buildProgress_.begin(), buildProgress_.end(), observer),
                       buildProgress_.end());
}

bool TDeziDataManager::InOrder(TTableIndex& index) {
  // Only the heads are encoded, in physical order: neighbours in the array
  // nearly always differ within them, and two equal heads are settled by
  // the whole keys of just those two records.
  const size_t count = static_cast<size_t>(header_.RecordCount);
  std::vector<TKeyHead> heads(count);
  std::string key, next;
  for (size_t r = 0; r < count; ++r) {
    index.Encoder.EncodeHead(KeyRecord(static_cast<int32_t>(r)), key);
    heads[r] = KeyHead(key);
  }
  std::vector<TIndexEntry> order = index.Array.Flatten();
  for (size_t i = 1; i < order.size(); ++i) {
    const TKeyHead& before = heads[static_cast<size_t>(order[i - 1].Record)];
    const TKeyHead& after = heads[static_cast<size_t>(order[i].Record)];
    if (before < after) continue;
    if (after < before) return false;
    // Each key is encoded before the other record is read: reading one may
    // move the other's page out of memory.
    index.Encoder.EncodeRow(KeyRecord(order[i - 1].Record), key);
    index.Encoder.EncodeRow(KeyRecord(order[i].Record), next);
    if (!(key < next)) return false;
  }
  for (TIndexEntry& entry : order) entry = {heads[static_cast<size_t>(entry.Record)], entry.Record};
  index.Array.Assign(order);
  return true;
}

bool TDeziDataManager::HasEqualKeys(TTableIndex& index) {
  std::string previous, key;
  for (size_t i = 0; i < index.Array.Size(); ++i) {
    index.Encoder.Encode(KeyRecord(index.Array.At(i).Record), key);
    if (i > 0 && previous == key) return true;
    previous.swap(key);
  }
  return false;
}

}  // namespace norvane

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
  const int32_t count = header_.RecordCount;
  std::string keys, key;
  std::vector<TSortEntry> entries(static_cast<size_t>(count));
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* record = KeyRecord(r);
    index.Encoder.EncodeRow(record, key);
    entries[r] = {KeyHead(key), keys.size(), static_cast<uint32_t>(key.size()), r};
    keys += key;
  }
  const char* base = keys.data();
  std::sort(entries.begin(), entries.end(), [base](const TSortEntry& a, const TSortEntry& b) {
    if (a.Head != b.Head) return a.Head < b.Head;
    const int order = std::memcmp(base + a.Offset, base + b.Offset, std::min(a.Length, b.Length));
    return order != 0 ? order < 0 : a.Length < b.Length;
  });
  std::vector<TIndexEntry> order(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) order[i] = {entries[i].Head, entries[i].Record};
  index.Array.Assign(order);
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
  std::string previous, key;
  for (size_t i = 0; i < index.Array.Size(); ++i) {
    const int32_t physical = index.Array.At(i).Record;
    const uint8_t* record = KeyRecord(physical);
    index.Encoder.EncodeRow(record, key);
    index.Array.Set(i, {KeyHead(key), physical});
    if (i > 0 && !(previous < key)) return false;
    previous.swap(key);
  }
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

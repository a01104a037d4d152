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

// The first kBytes bytes of every record's key and row identifier for
// several indexes, encoded in one walk over the records in physical order,
// so that a record is brought into memory once for all of them. Two
// prefixes decide the order of their keys unless both are cut and equal.
class TKeyPrefixes {
 public:
  static constexpr size_t kBytes = 32;
  static constexpr int kUndecided = 2;

  template <typename TRecordOf>
  TKeyPrefixes(const std::vector<const TIndexKeyEncoder*>& encoders, int32_t count, TRecordOf recordOf)
      : count_(static_cast<size_t>(count)), slots_(encoders.size() * count_ * kSlot) {
    std::string key;
    for (size_t r = 0; r < count_; ++r) {
      const uint8_t* record = recordOf(static_cast<int32_t>(r));
      for (size_t k = 0; k < encoders.size(); ++k) {
        encoders[k]->EncodePrefix(record, kBytes, key);
        uint8_t* slot = Slot(k, r);
        const size_t length = std::min(key.size(), kBytes);
        std::memcpy(slot, key.data(), length);
        slot[kBytes] = static_cast<uint8_t>(length);
      }
    }
  }

  // Negative, zero or positive as record a's key and row identifier sort
  // against record b's, or kUndecided.
  int Compare(size_t k, int32_t a, int32_t b) const {
    const uint8_t* x = Slot(k, static_cast<size_t>(a));
    const uint8_t* y = Slot(k, static_cast<size_t>(b));
    const size_t lx = x[kBytes], ly = y[kBytes];
    const int order = std::memcmp(x, y, std::min(lx, ly));
    if (order != 0) return order < 0 ? -1 : 1;
    if (lx == kBytes && ly == kBytes) return kUndecided;
    return lx < ly ? -1 : lx > ly ? 1 : 0;
  }

  TKeyHead Head(size_t k, int32_t r) const {
    const uint8_t* slot = Slot(k, static_cast<size_t>(r));
    return KeyHead(slot, slot[kBytes]);
  }

 private:
  static constexpr size_t kSlot = kBytes + 1;  // the bytes, then their count
  uint8_t* Slot(size_t k, size_t r) { return &slots_[(k * count_ + r) * kSlot]; }
  const uint8_t* Slot(size_t k, size_t r) const { return &slots_[(k * count_ + r) * kSlot]; }

  size_t count_;
  std::vector<uint8_t> slots_;
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
    CheckStoredOrder({number});
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

void TDeziDataManager::CheckStoredOrder(const std::vector<int32_t>& numbers) {
  // The arrays read; the ones that hold each record once go on to the check
  // of their order. Arrays written under another collation, or by a
  // program that kept equal keys in another order, are sorted again, never
  // searched.
  std::vector<int32_t> waiting, failed;
  for (const int32_t number : numbers) {
    TTableIndex& index = CheckedIndex(number);
    if (!index.Loaded || index.Built) continue;
    index.Loaded = false;
    (index.StoredAt < 0 || ReadStoredArray(index) ? waiting : failed).push_back(number);
  }
  // A few megabytes of prefixes per index of a large table: a group of
  // indexes at a time.
  constexpr size_t kBudget = size_t{64} << 20;
  const size_t count = static_cast<size_t>(header_.RecordCount);
  const size_t group = std::max<size_t>(1, kBudget / std::max<size_t>(1, count * (TKeyPrefixes::kBytes + 1)));
  std::string key, next;
  for (size_t first = 0; first < waiting.size(); first += group) {
    const std::vector<int32_t> numbersOfGroup(waiting.begin() + static_cast<std::ptrdiff_t>(first),
                                              waiting.begin() + static_cast<std::ptrdiff_t>(std::min(first + group, waiting.size())));
    std::vector<const TIndexKeyEncoder*> encoders;
    for (const int32_t number : numbersOfGroup) encoders.push_back(&indexes_[number]->Encoder);
    const TKeyPrefixes prefixes(encoders, header_.RecordCount, [this](int32_t r) { return KeyRecord(r); });
    for (size_t k = 0; k < numbersOfGroup.size(); ++k) {
      TTableIndex& index = *indexes_[numbersOfGroup[k]];
      std::vector<TIndexEntry> order = index.Array.Flatten();
      bool ordered = true;
      for (size_t i = 1; i < order.size() && ordered; ++i) {
        const int c = prefixes.Compare(k, order[i - 1].Record, order[i].Record);
        if (c != TKeyPrefixes::kUndecided) {
          ordered = c < 0;
          continue;
        }
        // Each key is encoded before the other record is read: reading one
        // may move the other's page out of memory.
        index.Encoder.EncodeRow(KeyRecord(order[i - 1].Record), key);
        index.Encoder.EncodeRow(KeyRecord(order[i].Record), next);
        ordered = key < next;
      }
      if (!ordered) {
        failed.push_back(numbersOfGroup[k]);
        continue;
      }
      for (TIndexEntry& entry : order) entry = {prefixes.Head(k, entry.Record), entry.Record};
      index.Array.Assign(order);
      index.Built = true;
    }
  }
  if (failed.empty()) return;
  indexFileDiffers_ = true;
  // A rebuild is shown as at open.
  std::sort(failed.begin(), failed.end());
  BuildWithProgress(failed);
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

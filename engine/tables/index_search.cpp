// Finding places in an index: where a record belongs (its key and row
// identifier), where a key's run of equal entries begins and ends, and the
// unique-key check made before a record is posted. Each is a pair of
// bounded searches over the array, never a walk along equal keys.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {

size_t TDeziDataManager::RowPosition(TTableIndex& index, const uint8_t* record, TKeyHead* head) {
  std::string target;
  index.Encoder.EncodeRow(record, target);
  const TKeyHead targetHead = KeyHead(target);
  if (head != nullptr) *head = targetHead;
  return index.Array.PartitionPoint([&](const TIndexEntry& entry) {
    const TKeyHead probeHead = entry.Head();
    if (probeHead != targetHead) return probeHead < targetHead;
    return index.Encoder.Compare(KeyRecord(entry.Record), TKeyShape{}, target, true, probeKey_) < 0;
  });
}

int32_t TDeziDataManager::IndexRecord(int32_t number, int32_t position) {
  BuildIndex(number);
  TTableIndex& index = *indexes_[number];
  if (position < 0 || static_cast<size_t>(position) >= index.Array.Size())
    throw EEngineError("Error in TDeziDataManager.IndexRecord - position " +
                       std::to_string(position) + " is outside index \"" +
                       index.Description.Name + "\".");
  return index.Array.At(static_cast<size_t>(position)).Record;
}

std::vector<int32_t> TDeziDataManager::IndexRecords(int32_t number, int32_t from, int32_t to) {
  BuildIndex(number);
  const TChunkedArray<TIndexEntry>& array = indexes_[number]->Array;
  const size_t first = static_cast<size_t>(std::max(from, 0));
  const size_t end = std::min(static_cast<size_t>(std::max(to, 0)), array.Size());
  std::vector<int32_t> records;
  if (first >= end) return records;
  records.reserve(end - first);
  array.ForEach(first, end, [&](const TIndexEntry& entry) { records.push_back(entry.Record); });
  return records;
}

std::vector<int32_t> TDeziDataManager::FirstOfEachKey(int32_t number, const std::vector<uint8_t>& wanted) {
  BuildIndex(number);
  const TTableIndex& index = *indexes_[number];
  std::vector<int32_t> firsts;
  // Two keys that their heads hold whole are compared there; any other
  // pair by the keys encoded from the records.
  uint8_t head[16], previousHead[16];
  size_t previousLength = SIZE_MAX;
  int32_t previous = -1;
  std::string key, previousKey;
  bool previousKeyKnown = false;
  index.Array.ForEach(0, index.Array.Size(), [&](const TIndexEntry& entry) {
    if (wanted[static_cast<size_t>(entry.Record)] == 0) return;
    entry.Head().CopyBytes(head);
    const size_t length = index.Encoder.KeyLengthInHead(head, sizeof head);
    bool same = false, keyKnown = false;
    if (previous >= 0 && length != SIZE_MAX && previousLength != SIZE_MAX) {
      same = length == previousLength && std::memcmp(head, previousHead, length) == 0;
    } else if (previous >= 0) {
      if (!previousKeyKnown) index.Encoder.Encode(KeyRecord(previous), previousKey);
      index.Encoder.Encode(KeyRecord(entry.Record), key);
      same = key == previousKey;
      previousKey.swap(key);
      keyKnown = true;
    }
    if (!same) firsts.push_back(entry.Record);
    std::memcpy(previousHead, head, sizeof head);
    previousLength = length;
    previous = entry.Record;
    previousKeyKnown = keyKnown;
  });
  return firsts;
}

size_t TDeziDataManager::EntryOf(TTableIndex& index, int32_t physical) {
  std::string target, probe;
  // Row identifiers are unique in any table opened for writing, so the
  // record is at its place. A damaged table opened read-only may repeat one;
  // records with the very same key and identifier follow each other there.
  for (size_t at = RowPosition(index, KeyRecord(physical)); at < index.Array.Size(); ++at) {
    const int32_t entry = index.Array.At(at).Record;
    if (entry == physical) return at;
    if (target.empty()) index.Encoder.EncodeRow(KeyRecord(physical), target);
    const uint8_t* other = KeyRecord(entry);
    index.Encoder.EncodeRow(other, probe);
    if (probe != target) break;
  }
  return index.Array.Size();
}

int32_t TDeziDataManager::RecordPosition(int32_t number, int32_t physical) {
  BuildIndex(number);
  if (physical < 0 || physical >= header_.RecordCount) return -1;
  TTableIndex& index = *indexes_[number];
  const size_t position = EntryOf(index, physical);
  return position < index.Array.Size() ? static_cast<int32_t>(position) : -1;
}

int32_t TDeziDataManager::KeyPosition(const uint8_t* key, int32_t number, bool exact, bool last,
                                      size_t k, bool caseInsensitive, bool partial) {
  BuildIndex(number);
  const auto n = static_cast<int32_t>(indexes_[number]->Array.Size());
  if (n == 0) return -1;
  const auto [first, end] = KeyRange(key, number, k, caseInsensitive, partial);
  if (first == end) return exact ? -1 : std::min(first, n - 1);
  return last ? end - 1 : first;
}

std::pair<int32_t, int32_t> TDeziDataManager::KeyRange(const uint8_t* key, int32_t number, size_t k,
                                                      bool caseInsensitive, bool partial) {
  BuildIndex(number);
  TTableIndex& index = *indexes_[number];
  const TKeyShape shape = index.Encoder.SearchShape(key, k, caseInsensitive, partial);
  std::string target;
  index.Encoder.Encode(key, shape, target);
  // Where the target's shape is the start of the whole key, an entry's head
  // decides against the target whenever the two differ within the target,
  // and shows them equal when the target fits in it: keys of one shape are
  // self-delimiting, so none is a proper prefix of another.
  const bool headsDecide = index.Encoder.ShapeIsKeyPrefix(shape);
  const TKeyHead targetHead = KeyHead(target);
  const size_t decisive = std::min<size_t>(target.size(), 16);
  // -1, 0 or 1 as the entry's key sorts before, with or after the target.
  auto order = [&](const TIndexEntry& entry) {
    if (headsDecide) {
      const TKeyHead head = entry.Head();
      const uint64_t high = head.High ^ targetHead.High, low = head.Low ^ targetHead.Low;
      const size_t differ = high != 0 ? std::countl_zero(high) / 8 : low != 0 ? 8 + std::countl_zero(low) / 8 : 16;
      if (differ < decisive) return head < targetHead ? -1 : 1;
      // A key that starts with the whole target is the target.
      if (target.size() <= 16) return 0;
    }
    const int c = index.Encoder.Compare(KeyRecord(entry.Record), shape, target, false, probeKey_);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  };
  const size_t first = index.Array.PartitionPoint([&](const TIndexEntry& e) { return order(e) < 0; });
  // A short run of equals is walked; a long one is bisected.
  size_t end = first;
  const size_t size = index.Array.Size();
  while (end < size && end - first < 8 && order(index.Array.At(end)) == 0) ++end;
  if (end < size && end - first == 8)
    end = index.Array.PartitionPoint([&](const TIndexEntry& e) { return order(e) <= 0; });
  return {static_cast<int32_t>(first), static_cast<int32_t>(end)};
}

void TDeziDataManager::RecordKey(int32_t number, int32_t physical, bool withRowId, std::string& out) {
  BuildIndex(number);
  TTableIndex& index = *indexes_[number];
  if (withRowId) {
    index.Encoder.EncodeRow(KeyRecord(physical), out);
  } else {
    index.Encoder.Encode(KeyRecord(physical), out);
  }
}

void TDeziDataManager::CheckKeyViolation(const uint8_t* image, int32_t rowId,
                                         const std::string& operation) {
  std::string target;
  for (int32_t i = 0; i < IndexCount(); ++i) {
    if ((indexes_[i]->Description.Options & ixUnique) == 0) continue;
    BuildIndex(i);
    TTableIndex& index = *indexes_[i];
    index.Encoder.Encode(image, target);
    size_t at = index.Array.PartitionPoint([&](const TIndexEntry& entry) {
      index.Encoder.Encode(KeyRecord(entry.Record), probeKey_);
      return probeKey_ < target;
    });
    // The run of records with this key: the record itself may be one of
    // them (an unchanged post), any other one is a violation.
    for (; at < index.Array.Size(); ++at) {
      const uint8_t* other = KeyRecord(index.Array.At(at).Record);
      index.Encoder.Encode(other, probeKey_);
      if (probeKey_ != target) break;
      if (GetI32LE(other + geometry_.RowIdOffset) != rowId)
        throw EKeyViolation(operation, tableName_, index.Description.Name);
    }
  }
}

}  // namespace norvane

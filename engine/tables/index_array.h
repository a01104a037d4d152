// One index's order in memory: the physical record numbers of a table in key
// order, held in chunks so that inserting or removing an entry moves at most
// one chunk's worth of numbers, never the whole array, while reading the
// entry at a position stays cheap. T.idx stores the same order flat.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvane {

class TaaIntArray {
 public:
  // The most entries one chunk holds. Inserting into a full chunk splits it in
  // two; a chunk that falls under a quarter of this after an erase is merged
  // with or refilled from a neighbour, so an array of n entries keeps about
  // n / kChunkEntries chunks. Appends at the end fill chunks completely.
  static constexpr size_t kChunkEntries = 2048;

  TaaIntArray() = default;

  size_t Size() const;
  bool Empty() const { return Size() == 0; }
  // The entry at `position`; requires position < Size().
  int32_t At(size_t position) const;
  // Overwrites the entry at `position`; requires position < Size().
  void Set(size_t position, int32_t value);
  // Inserts `value` before the entry at `position` (at the end when position
  // == Size()); requires position <= Size().
  void Insert(size_t position, int32_t value);
  // Removes the entry at `position`; requires position < Size().
  void Erase(size_t position);

  // Replaces the whole content / reads it out in order.
  void Assign(const std::vector<int32_t>& values);
  std::vector<int32_t> Flatten() const;
  void Clear();

  // The first position in [0, Size()) whose entry does not satisfy
  // `before(entry)`, for a predicate that holds for a prefix of the array
  // and not after it (a partition point, as std::partition_point). Makes
  // O(log Size()) calls of `before`.
  template <class Predicate>
  size_t PartitionPoint(Predicate before) const;

 private:
  using TChunk = std::vector<int32_t>;

  // The chunk holding `position` (the last chunk for position == Size()).
  // Requires a non-empty array.
  size_t ChunkOf(size_t position) const;
  // Splits a full chunk into two halves.
  void Split(size_t chunk);
  // Merges an underfull chunk with its smaller neighbour, or evens the two out
  // when together they would not fit in one chunk.
  void Rebalance(size_t chunk);
  // Adds `delta` to the start of every chunk after `chunk`.
  void ShiftStartsAfter(size_t chunk, int delta);

  // Invariants: chunks_ and starts_ have the same length; no chunk is empty or
  // holds more than kChunkEntries; starts_[0] == 0 and starts_[i + 1] ==
  // starts_[i] + chunks_[i].size(); size_ is the sum of the chunk sizes.
  std::vector<TChunk> chunks_;
  // Starts are 32-bit, as an index holds at most one entry per record and
  // record numbers are 32-bit; halving them halves what a change updates.
  std::vector<uint32_t> starts_;
  size_t size_ = 0;
};

template <class Predicate>
size_t TaaIntArray::PartitionPoint(Predicate before) const {
  // The chunks whose first entry is before the point are a prefix of the
  // chunks; the point lies after the first entry of the last of them, at the
  // latest at the start of the next chunk.
  const auto firstAfter = std::partition_point(
      chunks_.begin(), chunks_.end(), [&](const TChunk& chunk) { return before(chunk.front()); });
  if (firstAfter == chunks_.begin()) return 0;
  const size_t chunk = static_cast<size_t>(firstAfter - chunks_.begin()) - 1;
  const TChunk& entries = chunks_[chunk];
  const auto inside = std::partition_point(entries.begin() + 1, entries.end(),
                                           [&](int32_t entry) { return before(entry); });
  return starts_[chunk] + static_cast<size_t>(inside - entries.begin());
}

}  // namespace norvane

// One index's order in memory: the entries of a table's records in key order
// (the physical record numbers, with whatever a search wants beside them),
// held in chunks so that inserting or removing an entry moves at most one
// chunk's worth of entries, never the whole array, while reading the entry at
// a position stays cheap. T.idx stores the record numbers of the same order
// flat.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace norvane {

template <class T>
class TChunkedArray {
 public:
  // The most entries one chunk holds. Inserting into a full chunk splits it in
  // two; a chunk that falls under a quarter of this after an erase is merged
  // with or refilled from a neighbour, so an array of n entries keeps about
  // n / kChunkEntries chunks. Appends at the end fill chunks completely.
  // Chunks are 8 KiB, whatever the entry: what a change moves is bytes.
  static constexpr size_t kChunkEntries = 8192 / sizeof(T);

  TChunkedArray() = default;

  size_t Size() const;
  bool Empty() const { return Size() == 0; }
  // The entry at `position`; requires position < Size().
  T At(size_t position) const;
  // Overwrites the entry at `position`; requires position < Size().
  void Set(size_t position, const T& value);
  // Inserts `value` before the entry at `position` (at the end when position
  // == Size()); requires position <= Size().
  void Insert(size_t position, const T& value);
  // Removes the entry at `position`; requires position < Size().
  void Erase(size_t position);

  // Replaces the whole content / reads it out in order.
  void Assign(const std::vector<T>& values);
  std::vector<T> Flatten() const;
  void Clear();

  // The first position in [0, Size()) whose entry does not satisfy
  // `before(entry)`, for a predicate that holds for a prefix of the array
  // and not after it (a partition point, as std::partition_point). Makes
  // O(log Size()) calls of `before`.
  template <class Predicate>
  size_t PartitionPoint(Predicate before) const;

 private:
  using TChunk = std::vector<T>;

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

template <class T>
template <class Predicate>
size_t TChunkedArray<T>::PartitionPoint(Predicate before) const {
  // The chunks whose first entry is before the point are a prefix of the
  // chunks; the point lies after the first entry of the last of them, at the
  // latest at the start of the next chunk.
  const auto firstAfter = std::partition_point(
      chunks_.begin(), chunks_.end(), [&](const TChunk& chunk) { return before(chunk.front()); });
  if (firstAfter == chunks_.begin()) return 0;
  const size_t chunk = static_cast<size_t>(firstAfter - chunks_.begin()) - 1;
  const TChunk& entries = chunks_[chunk];
  const auto inside = std::partition_point(entries.begin() + 1, entries.end(),
                                           [&](const T& entry) { return before(entry); });
  return starts_[chunk] + static_cast<size_t>(inside - entries.begin());
}

// Chunk bookkeeping: a change moves entries inside one chunk and adjusts the
// starts of the chunks after it, so its cost grows with the chunk size and
// the chunk count only.

template <class T>
size_t TChunkedArray<T>::Size() const { return size_; }

template <class T>
T TChunkedArray<T>::At(size_t position) const {
  const size_t chunk = ChunkOf(position);
  return chunks_[chunk][position - starts_[chunk]];
}

template <class T>
void TChunkedArray<T>::Set(size_t position, const T& value) {
  const size_t chunk = ChunkOf(position);
  chunks_[chunk][position - starts_[chunk]] = value;
}

template <class T>
void TChunkedArray<T>::Insert(size_t position, const T& value) {
  if (chunks_.empty() || (position == size_ && chunks_.back().size() == kChunkEntries)) {
    // An append does not split the full last chunk but opens a new one, so
    // that a table loaded in key order leaves every chunk full.
    starts_.push_back(static_cast<uint32_t>(size_));
    chunks_.emplace_back().reserve(kChunkEntries);
    chunks_.back().push_back(value);
    ++size_;
    return;
  }
  size_t chunk = ChunkOf(position);
  if (chunks_[chunk].size() == kChunkEntries) {
    Split(chunk);
    if (position - starts_[chunk] > chunks_[chunk].size()) ++chunk;
  }
  TChunk& entries = chunks_[chunk];
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(position - starts_[chunk]), value);
  ShiftStartsAfter(chunk, 1);
  ++size_;
}

template <class T>
void TChunkedArray<T>::Erase(size_t position) {
  const size_t chunk = ChunkOf(position);
  TChunk& entries = chunks_[chunk];
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(position - starts_[chunk]));
  ShiftStartsAfter(chunk, -1);
  --size_;
  if (entries.empty()) {
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk));
    starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(chunk));
  } else if (entries.size() < kChunkEntries / 4 && chunks_.size() > 1) {
    Rebalance(chunk);
  }
}

template <class T>
void TChunkedArray<T>::Assign(const std::vector<T>& values) {
  Clear();
  // The fewest chunks that hold the values, filled evenly so that none is
  // left nearly empty at the end.
  const size_t count = (values.size() + kChunkEntries - 1) / kChunkEntries;
  chunks_.reserve(count);
  starts_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = values.size() * i / count;
    const size_t end = values.size() * (i + 1) / count;
    starts_.push_back(static_cast<uint32_t>(begin));
    chunks_.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(begin),
                         values.begin() + static_cast<std::ptrdiff_t>(end));
  }
  size_ = values.size();
}

template <class T>
std::vector<T> TChunkedArray<T>::Flatten() const {
  std::vector<T> values;
  values.reserve(size_);
  for (const TChunk& entries : chunks_) values.insert(values.end(), entries.begin(), entries.end());
  return values;
}

template <class T>
void TChunkedArray<T>::Clear() {
  chunks_.clear();
  starts_.clear();
  size_ = 0;
}

template <class T>
size_t TChunkedArray<T>::ChunkOf(size_t position) const {
  // Appends and reads near the end skip the search.
  if (position >= starts_.back()) return starts_.size() - 1;
  // The last start not after `position` (starts_[0] is 0), found by halving
  // without a branch on the comparison, which a random position would
  // mispredict at every step.
  const uint32_t* base = starts_.data();
  for (size_t count = starts_.size(); count > 1; count -= count / 2) {
    base = base[count / 2] <= position ? base + count / 2 : base;
  }
  return static_cast<size_t>(base - starts_.data());
}

template <class T>
void TChunkedArray<T>::Split(size_t chunk) {
  TChunk& full = chunks_[chunk];
  const size_t half = full.size() / 2;
  TChunk tail(full.begin() + static_cast<std::ptrdiff_t>(half), full.end());
  full.resize(half);
  const auto tailStart = static_cast<uint32_t>(starts_[chunk] + half);
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), std::move(tail));
  starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), tailStart);
}

template <class T>
void TChunkedArray<T>::Rebalance(size_t chunk) {
  // The pair (left, left + 1) is the underfull chunk and its smaller neighbour.
  size_t left = chunk;
  if (chunk + 1 == chunks_.size() ||
      (chunk > 0 && chunks_[chunk - 1].size() < chunks_[chunk + 1].size())) {
    left = chunk - 1;
  }
  TChunk& first = chunks_[left];
  TChunk& second = chunks_[left + 1];
  if (first.size() + second.size() <= kChunkEntries) {
    first.insert(first.end(), second.begin(), second.end());
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(left + 1));
    starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(left + 1));
    return;
  }
  // Too many for one chunk: the neighbour is more than three quarters full,
  // so after evening out both hold at least half a chunk.
  const size_t keep = (first.size() + second.size()) / 2;
  if (first.size() > keep) {
    const auto moved = first.begin() + static_cast<std::ptrdiff_t>(keep);
    second.insert(second.begin(), moved, first.end());
    first.erase(moved, first.end());
  } else {
    const auto moved = second.begin() + static_cast<std::ptrdiff_t>(keep - first.size());
    first.insert(first.end(), second.begin(), moved);
    second.erase(second.begin(), moved);
  }
  starts_[left + 1] = static_cast<uint32_t>(starts_[left] + first.size());
}

template <class T>
void TChunkedArray<T>::ShiftStartsAfter(size_t chunk, int delta) {
  for (auto start = starts_.begin() + static_cast<std::ptrdiff_t>(chunk + 1); start != starts_.end();
       ++start) {
    *start = static_cast<uint32_t>(*start + static_cast<uint32_t>(delta));
  }
}

// The record numbers of an index, as T.idx stores them.
using TaaIntArray = TChunkedArray<int32_t>;

}  // namespace norvane

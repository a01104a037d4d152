// One index's order in memory: the entries of a table's records in key order
// (the physical record numbers, with whatever a search wants beside them),
// held in chunks so that inserting or removing an entry moves at most one
// chunk's worth of entries, never the whole array, while reading the entry at
// a position stays cheap. T.idx stores the record numbers of the same order
// flat.
#pragma once

#include <algorithm>
#include <bit>
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

  // Calls visit(entry) for the entries at positions [from, to) in order,
  // finding only the first one's chunk; requires from <= to <= Size().
  template <class Visit>
  void ForEach(size_t from, size_t to, Visit visit) const;

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
  // The position of the chunk's first entry.
  size_t StartOf(size_t chunk) const;
  // Makes the sum tree again from the chunk sizes, after chunks came or went.
  void RebuildSums();
  // Splits a full chunk into two halves.
  void Split(size_t chunk);
  // Merges an underfull chunk with its smaller neighbour, or evens the two out
  // when together they would not fit in one chunk.
  void Rebalance(size_t chunk);
  // Records that `chunk` grew or shrank by `delta` entries.
  void AddToSize(size_t chunk, int delta);

  // Invariants: chunks_, sums_ and firsts_ have the same length; no chunk
  // is empty or holds more than kChunkEntries; sums_ is a Fenwick tree over
  // the chunk sizes (sums_[i] holds the sizes of chunks i - lowbit(i + 1) + 1
  // to i); firsts_[i] == chunks_[i].front(); size_ is the sum of the chunk
  // sizes.
  std::vector<TChunk> chunks_;
  // Sums of chunk sizes in a tree, so that a change updates O(log chunks)
  // of them rather than the start of every later chunk. 32-bit, as an index
  // holds at most one entry per record and record numbers are 32-bit.
  std::vector<uint32_t> sums_;
  std::vector<T> firsts_;
  size_t size_ = 0;
};

template <class T>
template <class Predicate>
size_t TChunkedArray<T>::PartitionPoint(Predicate before) const {
  // The chunks whose first entry is before the point are a prefix of the
  // chunks; the point lies after the first entry of the last of them, at the
  // latest at the start of the next chunk. The first entries sit side by
  // side, so this part of the search reads one small array rather than
  // every chunk it passes.
  const auto firstAfter = std::partition_point(firsts_.begin(), firsts_.end(),
                                               [&](const T& first) { return before(first); });
  if (firstAfter == firsts_.begin()) return 0;
  const size_t chunk = static_cast<size_t>(firstAfter - firsts_.begin()) - 1;
  const TChunk& entries = chunks_[chunk];
  const auto inside = std::partition_point(entries.begin() + 1, entries.end(),
                                           [&](const T& entry) { return before(entry); });
  return StartOf(chunk) + static_cast<size_t>(inside - entries.begin());
}

template <class T>
template <class Visit>
void TChunkedArray<T>::ForEach(size_t from, size_t to, Visit visit) const {
  if (from >= to) return;
  size_t chunk = ChunkOf(from);
  size_t offset = from - StartOf(chunk);
  for (size_t left = to - from; left > 0; ++chunk, offset = 0) {
    const TChunk& entries = chunks_[chunk];
    const size_t take = std::min(left, entries.size() - offset);
    for (size_t i = offset; i < offset + take; ++i) visit(entries[i]);
    left -= take;
  }
}

// Chunk bookkeeping: a change moves entries inside one chunk and updates a
// logarithmic number of size sums; only splits and merges, one in every
// many changes, rebuild the sums.

template <class T>
size_t TChunkedArray<T>::Size() const { return size_; }

template <class T>
T TChunkedArray<T>::At(size_t position) const {
  const size_t chunk = ChunkOf(position);
  return chunks_[chunk][position - StartOf(chunk)];
}

template <class T>
void TChunkedArray<T>::Set(size_t position, const T& value) {
  const size_t chunk = ChunkOf(position);
  const size_t offset = position - StartOf(chunk);
  chunks_[chunk][offset] = value;
  if (offset == 0) firsts_[chunk] = value;
}

template <class T>
void TChunkedArray<T>::Insert(size_t position, const T& value) {
  if (chunks_.empty() || (position == size_ && chunks_.back().size() == kChunkEntries)) {
    // An append does not split the full last chunk but opens a new one, so
    // that a table loaded in key order leaves every chunk full.
    firsts_.push_back(value);
    chunks_.emplace_back().reserve(kChunkEntries);
    chunks_.back().push_back(value);
    ++size_;
    RebuildSums();
    return;
  }
  size_t chunk = ChunkOf(position);
  size_t offset = position - StartOf(chunk);
  if (chunks_[chunk].size() == kChunkEntries) {
    Split(chunk);
    if (offset > chunks_[chunk].size()) {
      offset -= chunks_[chunk].size();
      ++chunk;
    }
  }
  TChunk& entries = chunks_[chunk];
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(offset), value);
  firsts_[chunk] = entries.front();
  AddToSize(chunk, 1);
  ++size_;
}

template <class T>
void TChunkedArray<T>::Erase(size_t position) {
  const size_t chunk = ChunkOf(position);
  TChunk& entries = chunks_[chunk];
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(position - StartOf(chunk)));
  --size_;
  if (entries.empty()) {
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk));
    firsts_.erase(firsts_.begin() + static_cast<std::ptrdiff_t>(chunk));
    RebuildSums();
    return;
  }
  AddToSize(chunk, -1);
  firsts_[chunk] = entries.front();
  if (entries.size() < kChunkEntries / 4 && chunks_.size() > 1) Rebalance(chunk);
}

template <class T>
void TChunkedArray<T>::Assign(const std::vector<T>& values) {
  Clear();
  // The fewest chunks that hold the values, filled evenly so that none is
  // left nearly empty at the end.
  const size_t count = (values.size() + kChunkEntries - 1) / kChunkEntries;
  chunks_.reserve(count);
  firsts_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = values.size() * i / count;
    const size_t end = values.size() * (i + 1) / count;
    firsts_.push_back(values[begin]);
    chunks_.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(begin),
                         values.begin() + static_cast<std::ptrdiff_t>(end));
  }
  size_ = values.size();
  RebuildSums();
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
  sums_.clear();
  firsts_.clear();
  size_ = 0;
}

template <class T>
size_t TChunkedArray<T>::StartOf(size_t chunk) const {
  size_t start = 0;
  for (size_t i = chunk; i > 0; i &= i - 1) start += sums_[i - 1];
  return start;
}

template <class T>
size_t TChunkedArray<T>::ChunkOf(size_t position) const {
  // Appends and reads near the end skip the search.
  if (position >= size_ - chunks_.back().size()) return chunks_.size() - 1;
  // Down the tree: the most chunks whose sizes add up to no more than
  // `position`; the chunk after them holds it.
  size_t chunk = 0;
  size_t step = std::bit_floor(sums_.size());
  for (; step > 0; step /= 2) {
    if (chunk + step <= sums_.size() && sums_[chunk + step - 1] <= position) {
      chunk += step;
      position -= sums_[chunk - 1];
    }
  }
  return chunk;
}

template <class T>
void TChunkedArray<T>::AddToSize(size_t chunk, int delta) {
  for (size_t i = chunk + 1; i <= sums_.size(); i += i & (~i + 1))
    sums_[i - 1] = static_cast<uint32_t>(sums_[i - 1] + static_cast<uint32_t>(delta));
}

template <class T>
void TChunkedArray<T>::RebuildSums() {
  sums_.assign(chunks_.size(), 0);
  for (size_t i = 1; i <= sums_.size(); ++i) {
    sums_[i - 1] += static_cast<uint32_t>(chunks_[i - 1].size());
    const size_t parent = i + (i & (~i + 1));
    if (parent <= sums_.size()) sums_[parent - 1] += sums_[i - 1];
  }
}

template <class T>
void TChunkedArray<T>::Split(size_t chunk) {
  TChunk& full = chunks_[chunk];
  const size_t half = full.size() / 2;
  TChunk tail(full.begin() + static_cast<std::ptrdiff_t>(half), full.end());
  full.resize(half);
  firsts_.insert(firsts_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), tail.front());
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), std::move(tail));
  RebuildSums();
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
    firsts_.erase(firsts_.begin() + static_cast<std::ptrdiff_t>(left + 1));
    RebuildSums();
    return;
  }
  // Too many for one chunk: the neighbour is more than three quarters full,
  // so after evening out both hold at least half a chunk.
  const size_t keep = (first.size() + second.size()) / 2;
  const int moved = static_cast<int>(first.size()) - static_cast<int>(keep);
  if (first.size() > keep) {
    const auto from = first.begin() + static_cast<std::ptrdiff_t>(keep);
    second.insert(second.begin(), from, first.end());
    first.erase(from, first.end());
  } else {
    const auto to = second.begin() + static_cast<std::ptrdiff_t>(keep - first.size());
    first.insert(first.end(), second.begin(), to);
    second.erase(second.begin(), to);
  }
  AddToSize(left, -moved);
  AddToSize(left + 1, moved);
  firsts_[left] = first.front();
  firsts_[left + 1] = second.front();
}

// The record numbers of an index, as T.idx stores them.
using TaaIntArray = TChunkedArray<int32_t>;

}  // namespace norvane

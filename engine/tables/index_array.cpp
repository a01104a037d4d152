// One index's order in memory, in chunks of at most kChunkEntries numbers: a
// change moves entries inside one chunk and adjusts the starts of the chunks
// after it, so its cost grows with the chunk size and the chunk count only.
#include "engine/tables/index_array.h"

#include <utility>

namespace norvane {

size_t TaaIntArray::Size() const { return size_; }

int32_t TaaIntArray::At(size_t position) const {
  const size_t chunk = ChunkOf(position);
  return chunks_[chunk][position - starts_[chunk]];
}

void TaaIntArray::Set(size_t position, int32_t value) {
  const size_t chunk = ChunkOf(position);
  chunks_[chunk][position - starts_[chunk]] = value;
}

void TaaIntArray::Insert(size_t position, int32_t value) {
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

void TaaIntArray::Erase(size_t position) {
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

void TaaIntArray::Assign(const std::vector<int32_t>& values) {
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

std::vector<int32_t> TaaIntArray::Flatten() const {
  std::vector<int32_t> values;
  values.reserve(size_);
  for (const TChunk& entries : chunks_) values.insert(values.end(), entries.begin(), entries.end());
  return values;
}

void TaaIntArray::Clear() {
  chunks_.clear();
  starts_.clear();
  size_ = 0;
}

size_t TaaIntArray::ChunkOf(size_t position) const {
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

void TaaIntArray::Split(size_t chunk) {
  TChunk& full = chunks_[chunk];
  const size_t half = full.size() / 2;
  TChunk tail(full.begin() + static_cast<std::ptrdiff_t>(half), full.end());
  full.resize(half);
  const auto tailStart = static_cast<uint32_t>(starts_[chunk] + half);
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), std::move(tail));
  starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(chunk + 1), tailStart);
}

void TaaIntArray::Rebalance(size_t chunk) {
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

void TaaIntArray::ShiftStartsAfter(size_t chunk, int delta) {
  for (auto start = starts_.begin() + static_cast<std::ptrdiff_t>(chunk + 1); start != starts_.end();
       ++start) {
    *start = static_cast<uint32_t>(*start + static_cast<uint32_t>(delta));
  }
}

}  // namespace norvane

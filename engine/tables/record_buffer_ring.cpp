// The ring's bookkeeping: buffers are moved by rotating the slot array, never
// copied, so a buffer's address stays valid while its record is in the ring.
#include "engine/tables/record_buffer_ring.h"

#include <algorithm>

namespace norvane {

uint8_t* TRecordBufferRing::Row(int row) const {
  if (row < 0 || row >= count_) return nullptr;
  return slots_[static_cast<size_t>(row)];
}

uint8_t* TRecordBufferRing::Spare() const {
  if (slots_.empty()) return nullptr;
  return slots_[static_cast<size_t>(count_)];
}

void TRecordBufferRing::SetCapacity(int capacity, const TAlloc& alloc, const TFree& free) {
  capacity = std::max(capacity, 1);
  if (slots_.empty()) slots_.push_back(alloc());  // the spare
  while (capacity_ < capacity) {
    slots_.push_back(alloc());
    ++capacity_;
  }
  while (capacity_ > capacity) {
    if (count_ == capacity_) {
      if (active_ >= capacity)
        RemoveAt(0);
      else
        --count_;
    }
    free(slots_.back());
    slots_.pop_back();
    --capacity_;
  }
  active_ = std::clamp(active_, 0, std::max(count_ - 1, 0));
}

void TRecordBufferRing::Release(const TFree& free) {
  for (uint8_t* buffer : slots_) free(buffer);
  slots_.clear();
  capacity_ = count_ = active_ = 0;
}

void TRecordBufferRing::Clear() { count_ = active_ = 0; }

int TRecordBufferRing::CommitNext() {
  if (count_ < capacity_) {
    ++count_;
    return 0;
  }
  std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
  return 1;
}

int TRecordBufferRing::CommitPrior() {
  std::rotate(slots_.begin(), slots_.begin() + count_, slots_.begin() + count_ + 1);
  if (count_ < capacity_) {
    ++count_;
    return 0;
  }
  return 1;
}

int TRecordBufferRing::InsertAt(int row) {
  row = std::clamp(row, 0, count_);
  std::rotate(slots_.begin() + row, slots_.begin() + count_, slots_.begin() + count_ + 1);
  if (count_ < capacity_) ++count_;
  return std::min(row, count_ - 1);
}

void TRecordBufferRing::RemoveAt(int row) {
  if (row < 0 || row >= count_) return;
  std::rotate(slots_.begin() + row, slots_.begin() + row + 1, slots_.begin() + count_ + 1);
  // The removed buffer ends up just after the spare; every slot past the
  // records is a free buffer, so nothing is lost.
  --count_;
  if (row < active_) --active_;
  active_ = std::clamp(active_, 0, std::max(count_ - 1, 0));
}

void TRecordBufferRing::KeepSpareOnly() {
  std::swap(slots_[0], slots_[static_cast<size_t>(count_)]);
  count_ = 1;
  active_ = 0;
}

}  // namespace norvane

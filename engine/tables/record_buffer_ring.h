// The ring of record buffers a dataset keeps: the records around the active
// one that its data links show (a grid shows several rows, an edit control
// one), plus one spare buffer into which the next fetch is read.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace norvane {

// Rows 0 .. Count() - 1 hold fetched records in data order; the spare is the
// buffer just after them. Committing a fetch into the spare either grows the
// ring or, when it is full, drops the record at the far end, whose buffer
// becomes the new spare. The ring never allocates by itself: the dataset
// passes its cursor's allocator, so every buffer has the cursor's layout.
class TRecordBufferRing {
 public:
  using TAlloc = std::function<uint8_t*()>;
  using TFree = std::function<void(uint8_t*)>;

  int Capacity() const { return capacity_; }
  int Count() const { return count_; }
  int Active() const { return active_; }
  // Requires 0 <= row < Count(), or row 0 of an empty ring.
  void SetActive(int row) { active_ = row; }
  // The buffer of row 0 .. Count() - 1; null for any other row.
  uint8_t* Row(int row) const;
  uint8_t* ActiveBuffer() const { return Row(active_); }
  // Null while the ring has no buffers (a closed dataset).
  uint8_t* Spare() const;

  // Makes the ring hold `capacity` (>= 1) rows. Shrinking drops rows from the
  // front while the active row would fall outside, then from the end.
  void SetCapacity(int capacity, const TAlloc& alloc, const TFree& free);
  // Frees every buffer; the ring is empty with capacity 0.
  void Release(const TFree& free);
  // Forgets the records; the buffers stay.
  void Clear();

  // The spare becomes the last row. Returns 1 when the ring was full and its
  // first row was dropped (every row moved one place toward row 0), else 0.
  int CommitNext();
  // The spare becomes row 0, every row moving one place on. Returns 1 when
  // the ring was full and its last row was dropped, else 0.
  int CommitPrior();
  // The spare is placed at `row` (<= Count()), the rows from there moving on;
  // a full ring drops its last row. Returns the new row's index.
  int InsertAt(int row);
  // Removes `row`; its buffer becomes free. The active row follows its
  // record, or stays inside the ring when it was the one removed.
  void RemoveAt(int row);
  // The spare becomes the only record (row 0, active).
  void KeepSpareOnly();

 private:
  std::vector<uint8_t*> slots_;  // capacity_ + 1 once allocated
  int capacity_ = 0;
  int count_ = 0;
  int active_ = 0;
};

}  // namespace norvane

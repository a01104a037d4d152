// One index's order in memory: the physical record numbers of a table in key
// order, held in chunks so that inserting or removing an entry moves at most
// one chunk's worth of numbers, never the whole array, while reading the
// entry at a position stays cheap. T.idx stores the same order flat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvane {

class TaaIntArray {
 public:
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
  // ... chosen by the implementation
};

}  // namespace norvane

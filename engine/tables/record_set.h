// A set of a table's physical record numbers, as filter conditions produce
// and combine them: the sorted numbers listed, or every record but those
// listed. An index range gives a short list, and NOT, AND and OR of such
// sets stay lists, so a selective filter costs its matches, never the
// table's size. Sets of one table combine only with sets of the same size.
#pragma once

#include <cstdint>
#include <vector>

namespace norvane {

class TRecordSet {
 public:
  // No record of a table of `total` records.
  explicit TRecordSet(int32_t total = 0) : total_(total) {}
  static TRecordSet All(int32_t total);
  // The numbers of `sorted`, which is ascending without repeats, all in
  // [0, total).
  static TRecordSet Of(int32_t total, std::vector<int32_t> sorted);
  // Built from the records for which `pass(physical)` holds, in physical
  // order; kept as its complement when that is shorter.
  template <class Pass>
  static TRecordSet Where(int32_t total, Pass pass);

  int32_t Total() const { return total_; }
  int64_t Count() const;
  bool Empty() const { return Count() == 0; }
  bool IsAll() const { return Count() == total_; }
  bool Contains(int32_t physical) const;
  // The members in ascending order.
  std::vector<int32_t> Members() const;
  // One byte per record, 1 for a member.
  std::vector<uint8_t> Map() const;

  TRecordSet Not() const;
  TRecordSet And(const TRecordSet& other) const;
  TRecordSet Or(const TRecordSet& other) const;

 private:
  TRecordSet(int32_t total, std::vector<int32_t> listed, bool complement)
      : total_(total), listed_(std::move(listed)), complement_(complement) {}

  int32_t total_ = 0;
  std::vector<int32_t> listed_;  // ascending
  bool complement_ = false;      // members are the records not listed
};

template <class Pass>
TRecordSet TRecordSet::Where(int32_t total, Pass pass) {
  std::vector<int32_t> in, out;
  for (int32_t p = 0; p < total; ++p) (pass(p) ? in : out).push_back(p);
  if (in.size() <= out.size()) return TRecordSet(total, std::move(in), false);
  return TRecordSet(total, std::move(out), true);
}

}  // namespace norvane

// Record sets: every combination is a merge of two sorted lists, the
// complement flags deciding which merge (De Morgan's laws).
#include "engine/tables/record_set.h"

#include <algorithm>
#include <iterator>

namespace norvane {
namespace {

using TList = std::vector<int32_t>;

TList Intersect(const TList& a, const TList& b) {
  TList out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

TList Unite(const TList& a, const TList& b) {
  TList out;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

TList Subtract(const TList& a, const TList& b) {
  TList out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

}  // namespace

TRecordSet TRecordSet::All(int32_t total) { return TRecordSet(total, {}, true); }

TRecordSet TRecordSet::Of(int32_t total, std::vector<int32_t> sorted) {
  return TRecordSet(total, std::move(sorted), false);
}

int64_t TRecordSet::Count() const {
  const auto listed = static_cast<int64_t>(listed_.size());
  return complement_ ? total_ - listed : listed;
}

bool TRecordSet::Contains(int32_t physical) const {
  if (physical < 0 || physical >= total_) return false;
  return std::binary_search(listed_.begin(), listed_.end(), physical) != complement_;
}

std::vector<int32_t> TRecordSet::Members() const {
  if (!complement_) return listed_;
  TList out;
  out.reserve(static_cast<size_t>(Count()));
  auto next = listed_.begin();
  for (int32_t p = 0; p < total_; ++p) {
    if (next != listed_.end() && *next == p) {
      ++next;
      continue;
    }
    out.push_back(p);
  }
  return out;
}

std::vector<uint8_t> TRecordSet::Map() const {
  std::vector<uint8_t> map(static_cast<size_t>(total_), complement_ ? 1 : 0);
  for (const int32_t p : listed_) map[static_cast<size_t>(p)] = complement_ ? 0 : 1;
  return map;
}

TRecordSet TRecordSet::Not() const { return TRecordSet(total_, listed_, !complement_); }

TRecordSet TRecordSet::And(const TRecordSet& other) const {
  const TList& a = listed_;
  const TList& b = other.listed_;
  if (!complement_ && !other.complement_) return TRecordSet(total_, Intersect(a, b), false);
  if (!complement_) return TRecordSet(total_, Subtract(a, b), false);
  if (!other.complement_) return TRecordSet(total_, Subtract(b, a), false);
  return TRecordSet(total_, Unite(a, b), true);
}

TRecordSet TRecordSet::Or(const TRecordSet& other) const {
  return Not().And(other.Not()).Not();
}

}  // namespace norvane

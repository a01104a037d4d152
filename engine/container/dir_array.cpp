// The directory table's indexes: sorted vectors of record numbers searched by
// bisection with the engine's case-insensitive collation, names equal
// ignoring case ordered by their bytes.
#include "engine/container/dir_array.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/protection/collation.h"

namespace norvane {

namespace {

int CompareNames(const std::string& a, const std::string& b) {
  return CollateCompareCI(a.c_str(), b.c_str());
}

// The index order of names: ignoring case first, so that a lookup ignoring
// case finds one run, then bytes, so that each exact name has one place.
int CompareKeys(const std::string& a, const std::string& b) {
  const int c = CompareNames(a, b);
  return c != 0 ? c : a.compare(b);
}

}  // namespace

const TFileRec& TDIRArray::ReadItem(int32_t index) const {
  if (index < 0 || index >= Count())
    throw EEngineError("TDIRArray.ReadItem - invalid itemNo = " + std::to_string(index));
  return items_[static_cast<size_t>(index)];
}

// Ties are broken by record number, so every entry has one exact place and
// can be found again for removal.
bool TDIRArray::NameLess(int32_t a, int32_t b) const {
  const int c = CompareKeys(items_[static_cast<size_t>(a)].FileName,
                            items_[static_cast<size_t>(b)].FileName);
  return c != 0 ? c < 0 : a < b;
}

bool TDIRArray::ChildLess(int32_t a, int32_t b) const {
  const int32_t pa = items_[static_cast<size_t>(a)].ParentID;
  const int32_t pb = items_[static_cast<size_t>(b)].ParentID;
  return pa != pb ? pa < pb : NameLess(a, b);
}

void TDIRArray::Index(int32_t index) {
  auto nameLess = [this](int32_t a, int32_t b) { return NameLess(a, b); };
  auto childLess = [this](int32_t a, int32_t b) { return ChildLess(a, b); };
  byName_.insert(std::lower_bound(byName_.begin(), byName_.end(), index, nameLess), index);
  byChild_.insert(std::lower_bound(byChild_.begin(), byChild_.end(), index, childLess), index);
}

// Removes the entries of `index`, which the indexes still hold under the old
// record's keys.
void TDIRArray::Unindex(int32_t index, const TFileRec& old) {
  TFileRec current = std::move(items_[static_cast<size_t>(index)]);
  items_[static_cast<size_t>(index)] = old;
  auto nameLess = [this](int32_t a, int32_t b) { return NameLess(a, b); };
  auto childLess = [this](int32_t a, int32_t b) { return ChildLess(a, b); };
  auto byName = std::lower_bound(byName_.begin(), byName_.end(), index, nameLess);
  if (byName == byName_.end() || *byName != index)
    throw EEngineError("TDIRArray.UpdateItem - old name position not found. Position = " +
                       std::to_string(index) + ", ItemCount = " + std::to_string(Count()) +
                       ", FileName = \"" + old.FileName + "\"");
  byName_.erase(byName);
  auto byChild = std::lower_bound(byChild_.begin(), byChild_.end(), index, childLess);
  if (byChild == byChild_.end() || *byChild != index)
    throw EEngineError("TDIRArray.UpdateItem - old parentID position not found. Position = " +
                       std::to_string(index) + ", ItemCount = " + std::to_string(Count()) +
                       ", ParentID = " + std::to_string(old.ParentID));
  byChild_.erase(byChild);
  items_[static_cast<size_t>(index)] = std::move(current);
}

int32_t TDIRArray::Append(const TFileRec& rec) {
  items_.push_back(rec);
  const int32_t index = Count() - 1;
  if (rec.Deleted)
    deleted_.insert(index);
  else
    Index(index);
  return index;
}

void TDIRArray::Load(std::vector<TFileRec> records) {
  items_ = std::move(records);
  byName_.clear();
  byChild_.clear();
  deleted_.clear();
  for (int32_t index = 0; index < Count(); ++index) {
    if (items_[static_cast<size_t>(index)].Deleted) {
      deleted_.insert(index);
    } else {
      byName_.push_back(index);
    }
  }
  byChild_ = byName_;
  std::sort(byName_.begin(), byName_.end(), [this](int32_t a, int32_t b) { return NameLess(a, b); });
  std::sort(byChild_.begin(), byChild_.end(), [this](int32_t a, int32_t b) { return ChildLess(a, b); });
}

void TDIRArray::UpdateItem(int32_t index, const TFileRec& rec) {
  if (index < 0 || index >= Count())
    throw EEngineError("TDIRArray.UpdateItem - invalid itemNo = " + std::to_string(index));
  TFileRec old = items_[static_cast<size_t>(index)];
  items_[static_cast<size_t>(index)] = rec;
  if (!old.Deleted) Unindex(index, old);
  if (rec.Deleted) {
    deleted_.insert(index);
  } else {
    deleted_.erase(index);
    Index(index);
  }
}

std::pair<TDIRArray::TEntries::const_iterator, TDIRArray::TEntries::const_iterator>
TDIRArray::ChildRun(int32_t parent, const std::string& name) const {
  // Negative, zero or positive as the entry sorts before, among or after the
  // names of `parent` equal to `name` ignoring case.
  auto order = [&](int32_t entry) {
    const TFileRec& rec = items_[static_cast<size_t>(entry)];
    if (rec.ParentID != parent) return rec.ParentID < parent ? -1 : 1;
    return CompareNames(rec.FileName, name);
  };
  auto first = std::partition_point(byChild_.begin(), byChild_.end(),
                                    [&](int32_t entry) { return order(entry) < 0; });
  auto last = std::partition_point(first, byChild_.end(),
                                   [&](int32_t entry) { return order(entry) == 0; });
  return {first, last};
}

int32_t TDIRArray::FindChild(int32_t parent, const std::string& name, bool exactOnly) const {
  const auto [first, last] = ChildRun(parent, name);
  if (first == last) return -1;
  // Within the run names are in byte order.
  auto exact = std::partition_point(first, last, [&](int32_t entry) {
    return items_[static_cast<size_t>(entry)].FileName < name;
  });
  if (exact != last && items_[static_cast<size_t>(*exact)].FileName == name) return *exact;
  return exactOnly ? -1 : *first;
}

bool TDIRArray::NameTaken(int32_t parent, const std::string& name, int32_t except) const {
  const auto [first, last] = ChildRun(parent, name);
  return last - first > 1 || (last - first == 1 && *first != except);
}

bool TDIRArray::NameExists(const std::string& name) const {
  auto it = std::partition_point(byName_.begin(), byName_.end(), [&](int32_t entry) {
    return CompareNames(items_[static_cast<size_t>(entry)].FileName, name) < 0;
  });
  return it != byName_.end() && CompareNames(items_[static_cast<size_t>(*it)].FileName, name) == 0;
}

std::vector<int32_t> TDIRArray::Children(int32_t parent) const {
  auto first = std::partition_point(byChild_.begin(), byChild_.end(), [&](int32_t entry) {
    return items_[static_cast<size_t>(entry)].ParentID < parent;
  });
  auto last = std::partition_point(first, byChild_.end(), [&](int32_t entry) {
    return items_[static_cast<size_t>(entry)].ParentID == parent;
  });
  return {first, last};
}

}  // namespace norvane

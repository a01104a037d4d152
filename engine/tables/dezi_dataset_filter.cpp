// The table cursor's filtered views: the filter parsed for the open table,
// the view built from the records that pass it (within a detail's range,
// one record per distinct key when asked) in the current index's order,
// the application's record filter event, and FindFirst and its kin.
#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/name_list.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

bool TDeziDataset::FilterApplies() const { return Filtered() && !filterParser_.Empty(); }

void TDeziDataset::FilterChanging(const std::string& text, bool filtered, uint8_t options) {
  if (table_ == nullptr) return;
  TSearchParser parsed;  // blank text parses to no operations
  if (filtered) parsed.SetExpression(*table_, text, options);
  filterParser_ = std::move(parsed);
  rangeStale_ = true;
}

void TDeziDataset::SetDistinctFields(const std::string& fields, bool exactCase) {
  distinctFields_ = fields;
  distinctExactCase_ = exactCase;
  rangeStale_ = true;
  if (TDataSet::Active()) First();
}

void TDeziDataset::RebuildView() {
  UpdateRange();
  view_.clear();
  viewListed_ = FilterApplies() || !distinctFields_.empty();
  if (!viewListed_) return;
  const int32_t total = table_->Header().RecordCount;
  const int32_t from = restricted_ ? rangeStart_ : 0;
  const int32_t to = restricted_ ? rangeEnd_ : total;
  TRecordSet passing = FilterApplies() ? filterParser_.EvaluateAll() : TRecordSet::All(total);
  if (!distinctFields_.empty()) {
    if (restricted_) {
      std::vector<int32_t> inRange = table_->IndexRecords(index_, from, to);
      std::sort(inRange.begin(), inRange.end());
      passing = passing.And(TRecordSet::Of(total, std::move(inRange)));
    }
    passing = KeepDistinct(passing);
  }
  view_ = InIndexOrder(passing, from, to);
}

std::vector<int32_t> TDeziDataset::InIndexOrder(const TRecordSet& passing, int32_t from, int32_t to) {
  std::vector<int32_t> ordered;
  if (from >= to || passing.Empty()) return ordered;
  // A walk of the range reads the array in its own memory; a key made from
  // a record costs a read far from the last, about as much as a few hundred
  // entries walked.
  if (passing.Count() * 256 >= to - from) {
    // Many pass: one walk of the index's range.
    const std::vector<uint8_t> map = passing.Map();
    for (const int32_t physical : table_->IndexRecords(index_, from, to))
      if (map[static_cast<size_t>(physical)] != 0) ordered.push_back(physical);
    return ordered;
  }
  // Few pass: their places in the index, sorted, and those inside the range.
  std::vector<std::pair<std::string, int32_t>> keyed;
  for (const int32_t physical : passing.Members()) {
    keyed.emplace_back(std::string(), physical);
    table_->RecordKey(index_, physical, true, keyed.back().first);
  }
  std::sort(keyed.begin(), keyed.end());
  std::string low, high;
  const bool whole = from == 0 && to == table_->Header().RecordCount;
  if (!whole) {
    table_->RecordKey(index_, table_->IndexRecord(index_, from), true, low);
    table_->RecordKey(index_, table_->IndexRecord(index_, to - 1), true, high);
  }
  for (const auto& [key, physical] : keyed)
    if (whole || (key >= low && key <= high)) ordered.push_back(physical);
  return ordered;
}

TRecordSet TDeziDataset::KeepDistinct(const TRecordSet& passing) {
  const std::vector<std::string> names = SplitNameList(distinctFields_);
  int32_t index = IndexByFields(names, true, distinctExactCase_);
  if (index < 0) {
    CreateTemporaryIndex(distinctFields_);
    index = IndexByFields(names, true, distinctExactCase_);
  }
  if (index < 0) throw ETblException(32, {tableName_, distinctFields_});
  const int32_t total = table_->Header().RecordCount;
  std::vector<int32_t> kept = table_->FirstOfEachKey(index, passing.Map());
  std::sort(kept.begin(), kept.end());
  return TRecordSet::Of(total, std::move(kept));
}

void TDeziDataset::WithFilterBuffer(uint8_t* buffer, const std::function<void()>& work) {
  uint8_t* const saved = filterBuffer_;
  filterBuffer_ = buffer;
  const TDataSetState state = SetTempState(dsFilter);
  try {
    work();
  } catch (...) {
    RestoreState(state);
    filterBuffer_ = saved;
    throw;
  }
  RestoreState(state);
  filterBuffer_ = saved;
}

bool TDeziDataset::AcceptedByEvent(uint8_t* buffer) {
  if (!Filtered() || !OnFilterRecord) return true;
  bool accept = true;
  WithFilterBuffer(buffer, [&] { OnFilterRecord(*this, accept); });
  return accept;
}

bool TDeziDataset::IsRecordVisible(const uint8_t* record, bool askEvent) {
  CheckOpen("IsRecordVisible");
  Synchronise();
  if (restricted_) {
    const int32_t at = table_->RecordPosition(index_, PhysicalOfId(RowIdOf(record)));
    if (at < rangeStart_ || at >= rangeEnd_) return false;
  }
  if (FilterApplies() && !filterParser_.EvaluateRecord(record)) return false;
  if (!askEvent) return true;
  std::vector<uint8_t> copy(static_cast<size_t>(GetRecordSize()), 0);
  std::memcpy(copy.data(), record, static_cast<size_t>(table_->Geometry().RecordSize));
  return AcceptedByEvent(copy.data());
}

int32_t TDeziDataset::FindRowPosition(int32_t rowId) {
  CheckOpen("FindRowPosition");
  Synchronise();
  return ViewLength() == 0 ? -1 : PositionOfId(rowId);
}

void TDeziDataset::RebuildFindList() {
  const TRecordSet passing = findParser_.EvaluateAll();
  findList_.clear();
  for (int32_t at = 0; at < ViewLength(); ++at) {
    const int32_t physical = ViewRecord(at);
    if (passing.Contains(physical)) findList_.push_back(physical);
  }
  findCounter_ = table_->Header().ChangeCounter;
  findAt_ = std::min(findAt_, static_cast<int32_t>(findList_.size()) - 1);
}

bool TDeziDataset::FindRecord(bool restart, bool forward) {
  if (Blank(Filter())) return TDataSet::FindRecord(restart, forward);
  CheckBrowseMode();
  DoBeforeScroll();
  CheckOpen("FindRecord");
  Synchronise();
  if (restart) {
    // A partial match here must be asked for with a * before the closing
    // quote; otherwise whole values are compared.
    uint8_t options = FilterOptions();
    const std::string& text = Filter();
    if ((options & foNoPartialCompare) == 0 && (text.size() < 2 || text[text.size() - 2] != '*'))
      options |= foNoPartialCompare;
    findParser_.SetExpression(*table_, text, options);
    findAt_ = -1;
    RebuildFindList();
  } else if (findParser_.Empty()) {
    SetFound(false);
    return false;
  } else if (findCounter_ != table_->Header().ChangeCounter) {
    RebuildFindList();
  }
  const auto count = static_cast<int32_t>(findList_.size());
  int32_t at = restart ? (forward ? 0 : count - 1) : findAt_ + (forward ? 1 : -1);
  int32_t position = -1;
  for (; at >= 0 && at < count; at += forward ? 1 : -1) {
    position = ViewPositionOf(findList_[static_cast<size_t>(at)]);
    if (position >= 0) break;  // records gone from the view are passed over
  }
  const bool found = at >= 0 && at < count && position >= 0;
  SetFound(found);
  if (!found) return false;
  findAt_ = at;
  SetPosition(position);
  Resync();
  DoAfterScroll();
  return true;
}

}  // namespace norvane

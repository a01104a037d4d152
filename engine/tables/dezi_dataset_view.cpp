// The table cursor's view of its table: the position in the current index,
// found again by row identifier after any change (invariant 1), records
// fetched into buffers, record numbers, bookmarks and the nearest-key
// search.
#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_dataset.h"

namespace norvane {

int32_t TDeziDataset::ViewLength() const {
  if (viewListed_) return static_cast<int32_t>(view_.size());
  return restricted_ ? rangeEnd_ - rangeStart_ : table_->Header().RecordCount;
}

int32_t TDeziDataset::ViewRecord(int32_t position) const {
  if (viewListed_) return view_[static_cast<size_t>(position)];
  return table_->IndexRecord(index_, (restricted_ ? rangeStart_ : 0) + position);
}

int32_t TDeziDataset::PhysicalOfId(int32_t rowId) const {
  PutI32LE(probe_.data() + table_->Geometry().RowIdOffset, rowId);
  const int32_t at = table_->KeyPosition(probe_.data(), 0, true, false, 1);
  return at < 0 ? -1 : table_->IndexRecord(0, at);
}

int32_t TDeziDataset::PositionOfId(int32_t rowId) {
  if (viewListed_) return ViewPositionOf(PhysicalOfId(rowId));
  int32_t at = -1;
  if (index_ == 0) {
    PutI32LE(probe_.data() + table_->Geometry().RowIdOffset, rowId);
    at = table_->KeyPosition(probe_.data(), 0, true, false, 1);
  } else {
    const int32_t physical = PhysicalOfId(rowId);
    at = physical < 0 ? -1 : table_->RecordPosition(index_, physical);
  }
  return ToView(at);
}

int32_t TDeziDataset::ViewPositionOf(int32_t physical) {
  if (physical < 0) return -1;
  if (!viewListed_) return ToView(table_->RecordPosition(index_, physical));
  // The listed view keeps the index's order, so its records bisect by
  // their place in the index.
  std::string target, probe;
  table_->RecordKey(index_, physical, true, target);
  const auto at = std::partition_point(view_.begin(), view_.end(), [&](int32_t entry) {
    table_->RecordKey(index_, entry, true, probe);
    return probe < target;
  });
  return at != view_.end() && *at == physical ? static_cast<int32_t>(at - view_.begin()) : -1;
}

int32_t TDeziDataset::ToView(int32_t at) const {
  // A record outside a detail's range is not in its view.
  if (!restricted_ || at < 0) return at;
  return at >= rangeStart_ && at < rangeEnd_ ? at - rangeStart_ : -1;
}

const uint8_t* TDeziDataset::SetPosition(int32_t position) {
  position_ = position;
  positionId_ = 0;
  const uint8_t* record = nullptr;
  if (position >= 0 && position < ViewLength()) {
    record = table_->RecordPtr(ViewRecord(position));
    positionId_ = GetI32LE(record + table_->Geometry().RowIdOffset);
  }
  seenCounter_ = table_->Header().ChangeCounter;
  return record;
}

void TDeziDataset::Synchronise() {
  const bool changed = table_->Header().ChangeCounter != seenCounter_;
  if (changed || rangeStale_) RebuildView();
  if (!changed && !rangeStale_) return;
  if (positionId_ != 0) {
    position_ = PositionOfId(positionId_);
    if (position_ < 0) positionId_ = 0;
  } else if (position_ >= 0) {
    position_ = ViewLength();  // after the last record, wherever that is now
  }
  seenCounter_ = table_->Header().ChangeCounter;
}

TGetResult TDeziDataset::GetRecord(uint8_t* buffer, TGetMode mode, bool doCheck) {
  if (table_ == nullptr) throw EEngineError("Error in TDeziDataSet.GetRecord - no table was opened.");
  Synchronise();
  TGetResult result = FetchRecord(buffer, mode);
  // A record the application's filter event refuses is passed over in the
  // direction of the move.
  while (result == grOK && !AcceptedByEvent(buffer))
    result = mode == gmCurrent ? grError : FetchRecord(buffer, mode);
  if (result == grError && doCheck) throw EEngineError("TDeziDataSet.GetRecord - No records");
  return result;
}

TGetResult TDeziDataset::FetchRecord(uint8_t* buffer, TGetMode mode) {
  const int32_t length = ViewLength();
  TGetResult result = grOK;
  // The record at the new position, read once for its identifier and copy.
  const uint8_t* record = nullptr;
  if (length == 0) {
    result = mode == gmCurrent ? grError : grEOF;
  } else if (mode == gmNext) {
    if (position_ >= length - 1) {
      SetPosition(length);
      result = grEOF;
    } else {
      record = SetPosition(std::max(position_, -1) + 1);
    }
  } else if (mode == gmPrior) {
    if (position_ <= 0) {
      SetPosition(-1);
      result = grBOF;
    } else {
      record = SetPosition(std::min(position_, length) - 1);
    }
  } else if (position_ < 0 || position_ >= length) {
    result = grError;
  } else {
    record = table_->RecordPtr(ViewRecord(position_));
  }
  if (result != grOK) return result;
  const int32_t size = table_->Geometry().RecordSize;
  std::memcpy(buffer, record, static_cast<size_t>(size));
  // A walk in index order reads records scattered over the table: the next
  // one is asked for while this one is being used.
  const int32_t ahead = position_ + (mode == gmPrior ? -1 : 1);
  if (mode != gmCurrent && ahead >= 0 && ahead < length) table_->PrefetchRecord(ViewRecord(ahead));
  PutI32LE(buffer + size, positionId_);
  std::memset(buffer + size + 4, 0, 4);
  buffer[size + 4] = static_cast<uint8_t>(bfCurrent);
  return grOK;
}

void TDeziDataset::InternalFirst() {
  Synchronise();
  SetPosition(-1);
}

void TDeziDataset::InternalLast() {
  Synchronise();
  SetPosition(ViewLength());
}

void TDeziDataset::InternalRefresh() {
  CheckOpen("Refresh");
  Synchronise();
}

int32_t TDeziDataset::GetRecordCount() {
  CheckOpen("GetRecordCount");
  Synchronise();
  return ViewLength();
}

int32_t TDeziDataset::GetRecNo() {
  CheckOpen("GetRecNo");
  Synchronise();
  const uint8_t* buffer = ActiveRecordBuffer();
  if (ViewLength() == 0 || buffer == nullptr) return 0;
  if (State() == dsInsert) return ViewLength() + 1;
  const int32_t at = PositionOfId(RowIdOf(buffer));
  return at < 0 ? 0 : at + 1;
}

void TDeziDataset::SetRecNo(int32_t recNo) {
  CheckOpen("SetRecNo");
  Synchronise();
  // The view's length bounds the number, not the table's record count.
  if (!TDataSet::Active() || recNo < 1 || recNo > ViewLength() || recNo == GetRecNo()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  SetPosition(recNo - 1);
  Resync();
  DoAfterScroll();
}

void TDeziDataset::GetBookmarkData(const uint8_t* buffer, uint8_t* data) {
  if (buffer == nullptr) throw EEngineError("Error in TDeziDataSet.GetBookmarkData - 0 pointer Buffer");
  if (data == nullptr) throw EEngineError("Error in TDeziDataSet.GetBookmarkData - 0 pointer Data");
  std::memcpy(data, buffer + table_->Geometry().RecordSize, 4);
  std::memset(data + 4, 0, 4);
}

void TDeziDataset::SetBookmarkData(uint8_t* buffer, const uint8_t* data) {
  if (buffer == nullptr)
    throw EEngineError("Error in TDeziDataSet.SetBookmarkData - 0 pointer to Buffer.");
  std::memcpy(buffer + table_->Geometry().RecordSize, data, 4);
}

TBookmarkFlag TDeziDataset::GetBookmarkFlag(const uint8_t* buffer) {
  if (buffer == nullptr) throw EEngineError("Error in TDeziDataSet.GetBookmarkFlag - 0 pointer Buffer");
  return static_cast<TBookmarkFlag>(buffer[table_->Geometry().RecordSize + 4]);
}

void TDeziDataset::SetBookmarkFlag(uint8_t* buffer, TBookmarkFlag flag) {
  if (buffer == nullptr) throw EEngineError("Error in TDeziDataSet.SetBookmarkFlag - 0 pointer Buffer");
  buffer[table_->Geometry().RecordSize + 4] = static_cast<uint8_t>(flag);
}

void TDeziDataset::InternalGotoBookmark(const uint8_t* bookmark) {
  if (bookmark == nullptr)
    throw EEngineError("Error in TDeziDataSet.InternalGoToBookmark - 0 pointer Bookmark");
  Synchronise();
  const int32_t id = GetI32LE(bookmark);
  const int32_t at = PositionOfId(id);
  SetPosition(std::min(at, ViewLength() - 1));
  if (State() != dsInsert) streams_.FollowRecord(positionId_);
}

void TDeziDataset::InternalSetToRecord(uint8_t* buffer) {
  InternalGotoBookmark(buffer + table_->Geometry().RecordSize);
}

int TDeziDataset::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
  const int32_t idA = GetI32LE(a.data()), idB = GetI32LE(b.data());
  if (idA == idB) return 0;
  CheckOpen("CompareBookmarks");
  Synchronise();
  const int32_t atA = PositionOfId(idA), atB = PositionOfId(idB);
  // Records no longer in the view still order, by identifier.
  if (atA < 0 || atB < 0) return idA < idB ? -1 : 1;
  return atA < atB ? -1 : 1;
}

bool TDeziDataset::BookmarkValid(const TBookmark& bookmark) {
  if (table_ == nullptr || bookmark.size() < 4) return false;
  Synchronise();
  return PositionOfId(GetI32LE(bookmark.data())) >= 0;
}

void TDeziDataset::FindNearest(const std::vector<TFieldArgument>& values) {
  CheckBrowseMode();
  CheckOpen("FindNearest");
  Synchronise();
  if (ViewLength() == 0) return;
  InternalInitRecordImage(keyBuffer_.data());
  const TIndexDescription& index = table_->IndexDescription(index_);
  const size_t k = std::min(values.size(), index.KeyFields.size());
  const TDataSetState saved = SetTempState(dsSetKey);
  try {
    for (size_t i = 0; i < k; ++i) {
      const int32_t key = index.KeyFields[i];
      TField* field = DatasetFieldOf(key);
      if (field == nullptr)
        throw EEngineError("Error in TDeziDataSet.FindNearest - key field " + std::to_string(i + 1) +
                           " of the index is not among the dataset's fields.");
      values[i].AssignTo(*field);
    }
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  const int32_t at = table_->KeyPosition(keyBuffer_.data(), index_, false, false, k);
  SetPosition(at);
  Resync();
  DoAfterScroll();
}

}  // namespace norvane

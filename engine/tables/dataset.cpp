// The dataset base: opening and closing, the ring of record buffers and the
// navigation that fills it. Editing lives in dataset_edit.cpp, notices and
// data sources in dataset_notify.cpp.
//
// Ring rules the code keeps:
//  1. Rows 0 .. Count() - 1 hold consecutive records in cursor order; the
//     active row is one of them (row 0 when the ring is empty).
//  2. currentRecord_ names the row the cursor stands on, or -1 when unknown;
//     every fetch first puts the cursor on the row it continues from (1).
//  3. After First the active row is 0; after Last it is the last row.
#include "engine/tables/dataset.h"

#include <algorithm>

#include "engine/tables/data_link.h"
#include "engine/tables/data_source.h"
#include "engine/tables/database_error.h"

namespace norvane {

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  while (!sources_.empty()) sources_.back()->SetDataSet(nullptr);
}

void TDataSet::Error(const std::string& message) const {
  throw EDatabaseError(Name.empty() ? message : Name + ": " + message);
}

void TDataSet::CheckActive() const {
  if (!Active()) Error("Cannot perform this operation on a closed dataset");
}

TField& TDataSet::AddField(TFieldType type, const std::string& name, int32_t size, bool required) {
  return fields_.Add(*this, type, name, size, required);
}

void TDataSet::Open() {
  if (Active()) return;
  Fire(BeforeOpen);
  if (!InternalPrepareOpen()) return;
  try {
    InternalOpen();
    AllocateBuffers();
  } catch (...) {
    ReleaseBuffers();
    if (IsCursorOpen()) InternalClose();
    fields_.Clear();
    throw;
  }
  modified_ = false;
  SetState(dsBrowse);
  FillFromFirst();
  Fire(AfterOpen);
  DoAfterScroll();
}

void TDataSet::Close() {
  if (!Active()) return;
  Fire(BeforeClose);
  if (state_ == dsEdit || state_ == dsInsert) InternalCancel();
  SetState(dsInactive);
  ClearBuffers();
  ReleaseBuffers();
  InternalClose();
  fields_.Clear();
  bookmarkSize_ = 0;
  modified_ = false;
  bof_ = eof_ = true;
  Fire(AfterClose);
}

void TDataSet::AllocateBuffers() {
  int count = 1;
  for (const TDataSource* source : sources_)
    for (const TDataLink* link : source->Links()) count = std::max(count, link->BufferCount());
  ring_.SetCapacity(
      count, [this] { return AllocRecordBuffer(); }, [this](uint8_t* b) { FreeRecordBuffer(b); });
}

void TDataSet::ReleaseBuffers() {
  ring_.Release([this](uint8_t* b) { FreeRecordBuffer(b); });
  CursorPosChanged();
}

void TDataSet::UpdateBufferCount() {
  if (!Active()) return;
  const int old = ring_.Capacity();
  AllocateBuffers();
  if (ring_.Capacity() == old) return;
  CursorPosChanged();
  // A larger ring is filled ahead first, then behind when the data ends.
  if (state_ == dsBrowse && ring_.Count() > 0) {
    GetNextRecords();
    GetPriorRecords();
  }
  DataEvent(deDataSetChange);
}

void TDataSet::ClearBuffers() {
  ring_.Clear();
  CursorPosChanged();
}

void TDataSet::SetActiveRecord(int row) {
  if (row >= 0 && row < ring_.Count()) ring_.SetActive(row);
}

uint8_t* TDataSet::GetActiveRecordBuffer() {
  switch (state_) {
    case dsBrowse:
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsNewValue: return ring_.ActiveBuffer();
    default: return nullptr;
  }
}

void TDataSet::SetCurrentRecord(int row) {
  if (currentRecord_ == row) return;
  uint8_t* buffer = ring_.Row(row);
  if (buffer == nullptr) return;
  // A record not yet stored has no place to go to; the cursor keeps its own.
  if (GetBookmarkFlag(buffer) == bfCurrent) InternalSetToRecord(buffer);
  currentRecord_ = row;
}

bool TDataSet::GetNextRecord(int& scrolled) {
  scrolled = 0;
  if (ring_.Count() > 0) SetCurrentRecord(ring_.Count() - 1);
  if (GetRecord(ring_.Spare(), gmNext, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  const bool wasEmpty = ring_.Count() == 0;
  scrolled = ring_.CommitNext();
  if (scrolled != 0) ring_.SetActive(std::max(ring_.Active() - 1, 0));
  if (wasEmpty) ring_.SetActive(0);
  currentRecord_ = ring_.Count() - 1;
  return true;
}

bool TDataSet::GetPriorRecord(int& scrolled) {
  scrolled = 0;
  if (ring_.Count() > 0) SetCurrentRecord(0);
  if (GetRecord(ring_.Spare(), gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  const bool wasEmpty = ring_.Count() == 0;
  scrolled = ring_.CommitPrior();
  ring_.SetActive(wasEmpty ? 0 : std::min(ring_.Active() + 1, ring_.Count() - 1));
  currentRecord_ = 0;
  return true;
}

void TDataSet::GetNextRecords() {
  int scrolled;
  while (ring_.Count() < ring_.Capacity() && GetNextRecord(scrolled)) {
  }
}

void TDataSet::GetPriorRecords() {
  int scrolled;
  while (ring_.Count() < ring_.Capacity() && GetPriorRecord(scrolled)) {
  }
}

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  FillFromFirst();
  DoAfterScroll();
}

void TDataSet::FillFromFirst() {
  ClearBuffers();
  InternalFirst();
  GetNextRecords();
  bof_ = true;
  eof_ = ring_.Count() == 0;
  DataEvent(deDataSetChange);
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  InternalLast();
  GetPriorRecords();
  ring_.SetActive(std::max(ring_.Count() - 1, 0));
  eof_ = true;
  bof_ = ring_.Count() == 0;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0) return 0;
  DoBeforeScroll();
  bof_ = eof_ = false;
  const int oldCount = ring_.Count();
  int ringScroll = 0, scrolled = 0;
  for (; distance > 0; --distance, ++moved) {
    if (ring_.Active() < ring_.Count() - 1) {
      ring_.SetActive(ring_.Active() + 1);
    } else if (GetNextRecord(scrolled)) {
      ringScroll += scrolled;
      ring_.SetActive(ring_.Count() - 1);
    } else {
      eof_ = true;
      break;
    }
  }
  for (; distance < 0; ++distance, --moved) {
    if (ring_.Active() > 0) {
      ring_.SetActive(ring_.Active() - 1);
    } else if (GetPriorRecord(scrolled)) {
      ringScroll -= scrolled;
      ring_.SetActive(0);
    } else {
      bof_ = true;
      break;
    }
  }
  if (ring_.Count() != oldCount)
    DataEvent(deDataSetChange);
  else
    DataEvent(deDataSetScroll, nullptr, ringScroll);
  DoAfterScroll();
  return moved;
}

int32_t TDataSet::RecordCount() {
  CheckActive();
  return GetRecordCount();
}

TBookmark TDataSet::GetBookmark() {
  uint8_t* buffer = ring_.ActiveBuffer();
  if (!Active() || buffer == nullptr || GetBookmarkFlag(buffer) != bfCurrent || bookmarkSize_ <= 0)
    return {};
  TBookmark bookmark(static_cast<size_t>(bookmarkSize_));
  GetBookmarkData(buffer, bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  ResyncAt((ring_.Capacity() - 1) / 2);
  DoAfterScroll();
}

void TDataSet::Resync() {
  CheckActive();
  ResyncAt(ring_.Active());
}

void TDataSet::ResyncAt(int row) {
  // The cursor's record is read into the spare first, so a cursor that
  // re-synchronises from the active buffer still finds it intact.
  uint8_t* spare = ring_.Spare();
  if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
      GetRecord(spare, gmPrior, false) != grOK) {
    ClearBuffers();
    bof_ = eof_ = true;
    DataEvent(deDataSetChange);
    return;
  }
  ring_.KeepSpareOnly();
  currentRecord_ = 0;
  int scrolled;
  for (int i = 0; i < row && ring_.Count() < ring_.Capacity(); ++i)
    if (!GetPriorRecord(scrolled)) break;
  // Each prior fetch moved the active row along with its record (rule 1).
  GetNextRecords();
  GetPriorRecords();
  bof_ = eof_ = false;
  DataEvent(deDataSetChange);
}

}  // namespace norvane

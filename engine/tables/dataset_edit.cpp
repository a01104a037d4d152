// The dataset base's editing: insert, append, edit, post, cancel, delete and
// whole-record appends, with their events and the post-error retry loop.
#include "engine/tables/dataset.h"

#include "engine/tables/database_error.h"

namespace norvane {

void TDataSet::CheckCanModify() {
  if (!GetCanModify()) Error("Cannot modify a read-only dataset");
}

void TDataSet::CheckFieldWritable(const TField&) {
  switch (state_) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue: break;
    default: Error("Dataset not in edit or insert mode");
  }
  if (state_ != dsSetKey && !GetCanModify()) Error("Cannot modify a read-only dataset");
}

bool TDataSet::ReadFieldValue(const TField& field, void* buffer) {
  if (!Active() || GetActiveRecordBuffer() == nullptr) return false;
  return GetFieldData(field, buffer);
}

void TDataSet::WriteFieldValue(TField& field, const void* buffer) {
  CheckFieldWritable(field);
  SetFieldData(field, buffer);
}

void TDataSet::NotifyFieldChanged(TField& field) {
  if (state_ == dsCalcFields || state_ == dsFilter || state_ == dsNewValue) return;
  DataEvent(deFieldChange, &field);
}

void TDataSet::CheckRequiredFields() {
  for (int32_t i = 0; i < fields_.Count(); ++i) {
    const TField& field = fields_[i];
    if (field.Required() && field.IsNull())
      Error("Field '" + field.FieldName() + "' must have a value");
  }
}

void TDataSet::InternalPost() { CheckRequiredFields(); }

void TDataSet::CloseBlob(TField&) {}

void TDataSet::InternalHandleException(const std::exception&) { throw; }

void TDataSet::InitRecord(uint8_t* buffer) {
  InternalInitRecord(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert);
  DoBeforeScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  UpdateCursorPos();
  InternalInsert();
  const int row = ring_.InsertAt(ring_.Active());
  ring_.SetActive(row);
  CursorPosChanged();
  InitRecord(ring_.ActiveBuffer());
  modified_ = false;
  SetState(dsInsert);
  Fire(OnNewRecord);
  DataEvent(deDataSetChange);
  Fire(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  InternalLast();
  InternalInsert();
  // The new record is the ring's first row; the records before it are then
  // fetched in front of it, so it ends as the last row.
  InitRecord(ring_.Spare());
  ring_.CommitNext();
  ring_.SetActive(0);
  SetBookmarkFlag(ring_.ActiveBuffer(), bfEOF);
  GetPriorRecords();
  ring_.SetActive(ring_.Count() - 1);
  CursorPosChanged();
  modified_ = false;
  eof_ = true;
  bof_ = false;
  SetState(dsInsert);
  Fire(OnNewRecord);
  DataEvent(deDataSetChange);
  Fire(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckBrowseMode();
  if (ring_.Count() == 0) return Append();
  CheckCanModify();
  Fire(BeforeEdit);
  UpdateCursorPos();
  // The record may have changed since it was fetched; edit what is stored.
  GetRecord(ring_.ActiveBuffer(), gmCurrent, true);
  modified_ = false;
  SetState(dsEdit);
  DataEvent(deRecordChange);
  Fire(AfterEdit);
}

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
    Error("Dataset not in edit or insert mode");
  DataEvent(deUpdateRecord);
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ == dsSetKey) {
    // A search key is complete; there is nothing to store.
    SetState(dsBrowse);
    return;
  }
  DataEvent(deCheckBrowseMode);
  Fire(BeforePost);
  while (true) {
    try {
      if (state_ == dsEdit) UpdateCursorPos();
      InternalPost();
      break;
    } catch (const EDatabaseError& error) {
      TDataAction action = daFail;
      if (OnPostError) OnPostError(*this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) throw EAbort();
    }
  }
  modified_ = false;
  SetState(dsBrowse);
  ResyncAt(ring_.Active());
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) return;
  if (state_ == dsSetKey) {
    SetState(dsBrowse);
    return;
  }
  DataEvent(deCheckBrowseMode);
  Fire(BeforeCancel);
  const bool inserting = state_ == dsInsert;
  InternalCancel();
  modified_ = false;
  SetState(dsBrowse);
  if (inserting) ring_.RemoveAt(ring_.Active());
  RefillAround();
  Fire(AfterCancel);
}

void TDataSet::RefillAround() {
  // A full ring of one row dropped its only stored record to make room for
  // the new one; the cursor still stands on that record, so a resync from
  // the cursor brings it back.
  CursorPosChanged();
  UpdateCursorPos();
  ResyncAt(ring_.Active());
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert) return Cancel();
  if (ring_.Count() == 0) Error("Cannot perform this operation on an empty dataset");
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  InternalDelete();
  CursorPosChanged();
  ResyncAt(ring_.Active());
  Fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  if (state_ == dsEdit || state_ == dsInsert) {
    UpdateRecord();
    if (modified_)
      Post();
    else
      Cancel();
  } else if (state_ == dsSetKey) {
    Post();
  }
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  ResyncAt(ring_.Active());
}

void TDataSet::AddRecord(const std::vector<TFieldArgument>& values, bool append) {
  BeginInsertAppend();
  UpdateCursorPos();
  InternalInsert();
  const int oldActive = ring_.Active();
  const int row = ring_.InsertAt(append ? ring_.Count() : ring_.Active());
  ring_.SetActive(row);
  CursorPosChanged();
  uint8_t* buffer = ring_.ActiveBuffer();
  InitRecord(buffer);
  if (append) SetBookmarkFlag(buffer, bfEOF);
  DisableControls();
  try {
    state_ = dsInsert;
    Fire(OnNewRecord);
    Fire(AfterInsert);
    const size_t n = std::min(values.size(), static_cast<size_t>(fields_.Count()));
    for (size_t i = 0; i < n; ++i) values[i].AssignTo(fields_[static_cast<int32_t>(i)]);
    Fire(BeforePost);
    CheckRequiredFields();
    InternalAddRecord(buffer, append);
  } catch (...) {
    InternalCancel();
    state_ = dsBrowse;
    modified_ = false;
    ring_.RemoveAt(ring_.Active());
    ring_.SetActive(std::min(oldActive, std::max(ring_.Count() - 1, 0)));
    RefillAround();
    EnableControls();
    throw;
  }
  state_ = dsBrowse;
  modified_ = false;
  ResyncAt(ring_.Active());
  EnableControls();
  Fire(AfterPost);
}

}  // namespace norvane

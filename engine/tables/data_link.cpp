// Data links: state tracking, the notice dispatch and the window a link
// keeps into the dataset's ring.
#include "engine/tables/data_link.h"

#include <algorithm>

#include "engine/common/flag_scope.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dataset.h"

namespace norvane {

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_ != nullptr) source_->RemoveLink(*this);
  source_ = source;
  if (source_ != nullptr) source_->AddLink(*this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const { return source_ != nullptr ? source_->DataSet() : nullptr; }

void TDataLink::SetBufferCount(int count) {
  bufferCount_ = std::max(count, 1);
  if (TDataSet* ds = DataSet()) ds->UpdateBufferCount();
  UpdateWindow(0);
}

int TDataLink::ActiveRecord() const {
  return active_ ? DataSet()->ActiveRecord() - firstRecord_ : 0;
}

void TDataLink::SetActiveRecord(int row) {
  if (active_) DataSet()->SetActiveRecord(firstRecord_ + row);
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  return std::clamp(DataSet()->BufferedRecords() - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
  if (active_ && !editing_) source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  // A control writing its text may set a field, which notifies this link
  // again; the guard keeps that from recursing into UpdateData.
  if (updating_) return;
  const TFlagScope updating(updating_);
  UpdateData();
}

void TDataLink::UpdateState() {
  const TDataSet* ds = DataSet();
  const bool active = source_ != nullptr && source_->Enabled() && ds != nullptr && ds->Active();
  if (active != active_) {
    active_ = active;
    firstRecord_ = 0;
    if (active_) UpdateWindow(0);
    ActiveChanged();
  }
  const TDataSetState state = active_ ? ds->State() : dsInactive;
  const bool editing = state == dsEdit || state == dsInsert || state == dsSetKey;
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

int TDataLink::UpdateWindow(int ringDistance) {
  const int old = firstRecord_;
  if (!active_) {
    firstRecord_ = 0;
    return 0;
  }
  const TDataSet& ds = *DataSet();
  firstRecord_ = std::clamp(firstRecord_ - ringDistance, 0,
                            std::max(ds.BufferedRecords() - bufferCount_, 0));
  const int activeRow = ds.ActiveRecord();
  if (activeRow < firstRecord_) firstRecord_ = activeRow;
  if (activeRow >= firstRecord_ + bufferCount_) firstRecord_ = activeRow - bufferCount_ + 1;
  return firstRecord_ - old + ringDistance;
}

void TDataLink::DataEvent(TDataEvent event, TField* field, int distance) {
  if (event == deUpdateState) return UpdateState();
  if (!active_) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange: RecordChanged(field); break;
    case deDataSetChange:
      UpdateWindow(0);
      DataSetChanged();
      break;
    case deDataSetScroll: DataSetScrolled(UpdateWindow(distance)); break;
    case deLayoutChange:
      UpdateWindow(0);
      LayoutChanged();
      break;
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deUpdateState: break;
  }
}

}  // namespace norvane

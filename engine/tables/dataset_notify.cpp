// The dataset base's notices: state changes, the data events passed to the
// data sources, and holding them back while controls are disabled.
#include "engine/tables/dataset.h"

#include <algorithm>

#include "engine/tables/data_source.h"

namespace norvane {

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(deUpdateState);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  const TDataSetState saved = state_;
  state_ = state;
  return saved;
}

void TDataSet::DataEvent(TDataEvent event, TField* field, int distance) {
  if (event == deFieldChange && (state_ == dsEdit || state_ == dsInsert)) modified_ = true;
  // Requests that controls write their input must reach them even while
  // they do not repaint; everything else waits for EnableControls.
  if (ControlsDisabled() && event != deUpdateRecord && event != deCheckBrowseMode) {
    if (event != deUpdateState) heldNotices_ = true;
    return;
  }
  SendToSources(event, field, distance);
}

void TDataSet::SendToSources(TDataEvent event, TField* field, int distance) {
  const std::vector<TDataSource*> sources = sources_;
  for (TDataSource* source : sources) {
    try {
      source->DataEvent(event, field, distance);
    } catch (const std::exception& error) {
      InternalHandleException(error);
    }
  }
}

void TDataSet::DisableControls() {
  if (disableCount_++ == 0) {
    disableState_ = state_;
    heldNotices_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0 || --disableCount_ > 0) return;
  const bool stateChanged = disableState_ != state_;
  const bool held = heldNotices_;
  heldNotices_ = false;
  if (stateChanged) SendToSources(deUpdateState, nullptr, 0);
  if ((held || stateChanged) && Active()) SendToSources(deDataSetChange, nullptr, 0);
}

void TDataSet::AttachDataSource(TDataSource& source) {
  if (std::find(sources_.begin(), sources_.end(), &source) == sources_.end())
    sources_.push_back(&source);
  UpdateBufferCount();
}

void TDataSet::DetachDataSource(TDataSource& source) {
  sources_.erase(std::remove(sources_.begin(), sources_.end(), &source), sources_.end());
  UpdateBufferCount();
}

}  // namespace norvane

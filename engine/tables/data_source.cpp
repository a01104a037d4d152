// Data sources: keep their links and pass the dataset's notices on, and
// follow their dataset's life.
#include "engine/tables/data_source.h"

#include <algorithm>

#include "engine/tables/data_link.h"
#include "engine/tables/dataset.h"

namespace norvane {

TDataSource::TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_ != nullptr) dataSet_->DetachDataSource(*this);
  dataSet_ = dataSet;
  if (dataSet_ != nullptr) dataSet_->AttachDataSource(*this);
  UpdateLinkStates();
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateLinkStates();
}

TDataSetState TDataSource::State() const {
  return dataSet_ != nullptr && enabled_ ? dataSet_->State() : dsInactive;
}

void TDataSource::Edit() {
  if (AutoEdit && State() == dsBrowse) dataSet_->Edit();
}

void TDataSource::AddLink(TDataLink& link) {
  links_.push_back(&link);
  if (dataSet_ != nullptr) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink& link) {
  links_.erase(std::remove(links_.begin(), links_.end(), &link), links_.end());
  if (dataSet_ != nullptr) dataSet_->UpdateBufferCount();
}

void TDataSource::UpdateLinkStates() {
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->UpdateState();
  if (OnStateChange) OnStateChange(*this);
}

void TDataSource::DataEvent(TDataEvent event, TField* field, int distance) {
  if (event == deUpdateState) return UpdateLinkStates();
  if (!enabled_) return;
  // A link may leave the source while it handles a notice.
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end())
      link->DataEvent(event, field, distance);
  if ((event == deFieldChange || event == deRecordChange || event == deDataSetChange ||
       event == deDataSetScroll) &&
      OnDataChange)
    OnDataChange(*this, event == deFieldChange ? field : nullptr);
  if (event == deUpdateRecord && OnUpdateData) OnUpdateData(*this);
}

}  // namespace norvane

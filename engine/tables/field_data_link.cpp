// The one-field link: finds its field by name and filters the dataset's
// notices down to what a single-field control needs.
#include "engine/tables/field_data_link.h"

#include "engine/tables/dataset.h"

namespace norvane {

void TFieldDataLink::SetFieldName(const std::string& name) {
  fieldName_ = name;
  FindField();
  RecordChanged(nullptr);
}

void TFieldDataLink::Reset() {
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::FindField() {
  TDataSet* ds = DataSet();
  field_ = Active() && ds != nullptr && !fieldName_.empty() ? ds->FindField(fieldName_) : nullptr;
}

void TFieldDataLink::ActiveChanged() {
  FindField();
  modified_ = false;
  if (OnActiveChange) OnActiveChange();
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::LayoutChanged() {
  FindField();
  RecordChanged(nullptr);
}

void TFieldDataLink::RecordChanged(TField* field) {
  // A change of another field leaves this control's text alone.
  if (field != nullptr && field != field_) return;
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::UpdateData() {
  if (!modified_ || field_ == nullptr) return;
  if (OnUpdateData) OnUpdateData();
  modified_ = false;
}

}  // namespace norvane

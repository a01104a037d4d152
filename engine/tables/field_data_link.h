// The data link of a control bound to one field by name: it finds the field
// whenever the dataset opens, and tells the control when that field's value
// or the editing state changes.
#pragma once

#include <functional>
#include <string>

#include "engine/tables/data_link.h"

namespace norvane {

class TFieldDataLink : public TDataLink {
 public:
  // The field named FieldName in the open dataset, or null.
  TField* Field() const { return field_; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  // Set by the control while its text differs from the field; UpdateData
  // then calls OnUpdateData so the control writes the field.
  bool Modified() const { return modified_; }
  void Modified(bool on) { modified_ = on; }
  // Drops the control's pending change and shows the field again.
  void Reset();

  // The control shows the field's value (again).
  std::function<void()> OnDataChange;
  // The control writes its pending text into Field().
  std::function<void()> OnUpdateData;
  std::function<void()> OnEditingChange;
  std::function<void()> OnActiveChange;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override { RecordChanged(nullptr); }
  void DataSetScrolled(int) override { RecordChanged(nullptr); }
  void RecordChanged(TField* field) override;
  void EditingChanged() override;
  void UpdateData() override;
  void LayoutChanged() override;

 private:
  void FindField();

  std::string fieldName_;
  TField* field_ = nullptr;
  bool modified_ = false;
};

}  // namespace norvane

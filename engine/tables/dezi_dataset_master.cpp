// Master and detail: a detail cursor shows only the records whose first key
// fields of its current index equal the master's fields named in
// MasterFields, as one range of that index, and a new detail record starts
// with the master's values in those key fields.
#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/tables/data_link.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dezi_dataset.h"

#include "engine/tables/name_list.h"
#include "engine/tables/field_types.h"

namespace norvane {

// Hears the master's notices for its detail.
class TDeziDataset::TMasterLink : public TDataLink {
 public:
  explicit TMasterLink(TDeziDataset& detail) : detail_(detail) {}

 protected:
  void ActiveChanged() override { detail_.MasterChanged(); }
  void DataSetChanged() override { detail_.MasterChanged(); }
  void DataSetScrolled(int) override { detail_.MasterChanged(); }
  void RecordChanged(TField* field) override {
    if (field == nullptr || detail_.IsMasterField(*field)) detail_.MasterChanged();
  }

 private:
  TDeziDataset& detail_;
};

void TDeziDataset::SetMasterSource(TDataSource* source) {
  if (source != nullptr && source->DataSet() == this)
    throw EEngineError("TDeziDataSet.SetDataSource - Invalid DataSource");
  if (!masterLink_) masterLink_ = std::make_unique<TMasterLink>(*this);
  masterLink_->SetDataSource(source);
  MasterChanged();
}

TDataSource* TDeziDataset::MasterSource() const {
  return masterLink_ ? masterLink_->DataSource() : nullptr;
}

void TDeziDataset::SetMasterFields(const std::string& fields) {
  masterFields_ = fields;
  MasterChanged();
}

std::vector<TField*> TDeziDataset::MasterFieldList() const {
  std::vector<TField*> fields;
  TDataSet* master = masterLink_ ? masterLink_->DataSet() : nullptr;
  if (master == nullptr || !masterLink_->Active()) return fields;
  for (const std::string& name : SplitNameList(masterFields_)) fields.push_back(&master->FieldByName(name));
  return fields;
}

bool TDeziDataset::IsMasterField(const TField& field) const {
  for (const TField* master : MasterFieldList())
    if (master == &field) return true;
  return false;
}

bool TDeziDataset::Restricted() const {
  // The detail follows its master only in the order of the index it names.
  return table_ != nullptr && !indexName_.empty() && !MasterFieldList().empty();
}

void TDeziDataset::MasterChanged() {
  rangeStale_ = true;
  if (table_ == nullptr || !TDataSet::Active() || State() == dsSetKey) return;
  TDataSet* master = masterLink_ ? masterLink_->DataSet() : nullptr;
  if (master != nullptr && master->State() == dsSetKey) return;
  CheckBrowseMode();
  First();
}

bool TDeziDataset::PutMasterValues(uint8_t* buffer) {
  const std::vector<TField*> masters = MasterFieldList();
  const TIndexDescription& index = table_->IndexDescription(index_);
  if (masters.size() > index.KeyFields.size()) return false;
  for (size_t i = 0; i < masters.size(); ++i) {
    const int32_t key = index.KeyFields[i];
    if (key < 0) {
      PutI32LE(buffer + table_->Geometry().RowIdOffset, masters[i]->AsInteger());
      continue;
    }
    // The master's stored value where the types agree, else its text.
    const TFieldHeader& header = table_->Fields()[static_cast<size_t>(key)];
    TField& master = *masters[i];
    if (master.DataType() == header.Type && master.DataSize() <= header.Size) {
      std::vector<uint8_t> bytes(static_cast<size_t>(master.DataSize()));
      const bool present = master.DataSet().ReadFieldValue(master, bytes.data());
      PutFieldBytes(buffer, key, present ? bytes.data() : nullptr, bytes.size());
    } else if (header.Type == ftString) {
      const std::string text = master.AsString();
      PutFieldBytes(buffer, key,
                    master.IsNull() ? nullptr : reinterpret_cast<const uint8_t*>(text.c_str()),
                    text.size() + 1);
    } else {
      return false;
    }
  }
  return true;
}

void TDeziDataset::UpdateRange() {
  rangeStale_ = false;
  restricted_ = Restricted();
  if (!restricted_) return;
  std::vector<uint8_t> key(static_cast<size_t>(GetRecordSize()), 0);
  InternalInitRecordImage(key.data());
  const size_t k = MasterFieldList().size();
  if (!PutMasterValues(key.data())) {
    rangeStart_ = rangeEnd_ = 0;
    return;
  }
  const int32_t first = table_->KeyPosition(key.data(), index_, true, false, k);
  if (first < 0) {
    rangeStart_ = rangeEnd_ = 0;
    return;
  }
  rangeStart_ = first;
  rangeEnd_ = table_->KeyPosition(key.data(), index_, true, true, k) + 1;
}

}  // namespace norvane

// The cursor's part in changing the indexes of its table, and whether its
// table exists.
#include "engine/common/engine_error.h"
#include "engine/tables/database_use.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/table_definitions.h"

namespace norvane {

bool TDeziDataset::TableFileExists() {
  TDatabaseUse database(*this);
  return database.Manager().FileExists(tableName_ + ".dat", database.Mode());
}

void TDeziDataset::AddIndex(const std::string& name, const std::string& fields, uint8_t options,
                            const std::string& descFields, const std::string& caseInsFields) {
  if (table_ == nullptr) throw EEngineError("Error in TDeziDataset.InternalAddIndex - table is not opened.");
  CheckBrowseMode();
  table_->AddIndex(name, fields, true, caseInsFields, descFields, options);
  indexDefs_ = DescribeIndexes(*table_);
  keyConditions_ = {};  // a new index may answer them
}

void TDeziDataset::DeleteIndex(const std::string& name) {
  if (table_ == nullptr) throw EEngineError("Error in TDeziDataset.InternalDeleteIndex - table is not opened.");
  // Other cursors number their indexes as the list stands now.
  if (table_->DatasetList().size() > 1)
    throw EEngineError("TDeziDataSet.InternalDeleteTable - Table is busy, table " + tableName_);
  CheckBrowseMode();
  const int32_t deleted = table_->DeleteIndex(name, false);
  keyConditions_ = {};  // their indexes are numbered anew
  const bool nothing = !name.empty() && name[0] == '@';
  if (nothing || index_ == deleted) {
    index_ = 0;
    indexName_.clear();
    indexFieldNames_.clear();
  } else if (index_ > deleted) {
    --index_;
  }
  indexDefs_ = DescribeIndexes(*table_);
  rangeStale_ = true;
  SwitchIndex();
}

std::string TDeziDataset::CreateTemporaryIndex(const std::string& fields, const std::string& descFields,
                                               const std::string& caseInsFields) {
  if (table_ == nullptr)
    throw EEngineError("Error in TDeziDataset.CreateTemporaryIndex - table is not opened.");
  return table_->CreateTemporaryIndex(fields, descFields, caseInsFields);
}

}  // namespace norvane

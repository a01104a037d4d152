// The table cursor's life: its properties, opening and closing its table
// among the shared managers, its fields, and the index that orders it.
#include "engine/tables/dezi_dataset.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/tables/dataset_tables.h"
#include "engine/tables/database_manager.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/engine_registries.h"
#include "engine/tables/field_types.h"
#include "engine/tables/name_list.h"

namespace norvane {
namespace {

// The messages of the open's result codes.
std::string OpenFailure(int32_t result, const std::string& tableName) {
  switch (result) {
    case -1: return "TDeziDataset.OpenTable - table \"" + tableName + "\" does not exist.";
    case -3: return "TDeziDataset.OpenTable - invalid password.";
    case -4: return "TDeziDataset.OpenTable - some table files are missed or locked.";
    default: return "TDeziDataset.OpenTable - error.";
  }
}

}  // namespace

TDeziDataset::TDeziDataset() = default;

TDeziDataset::~TDeziDataset() {
  try {
    Close();
  } catch (const std::exception&) {
    // The table is left all the same; nobody is left to tell.
  }
}

std::string TDeziDataset::BareTableName(const std::string& name) {
  const size_t folder = name.find_last_of("/\\");
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (folder != std::string::npos && dot < folder)) return name;
  // A bare name loses its extension; a name with a folder only a ".dat",
  // so a dot in a folder's name is never taken for one.
  if (folder == std::string::npos || SameNameIgnoringCase(name.substr(dot), ".dat"))
    return name.substr(0, dot);
  return name;
}

void TDeziDataset::SetTableName(const std::string& name) { tableName_ = BareTableName(name); }

void TDeziDataset::SetReadOnly(bool readOnly) {
  if (readOnly != readOnly_ && TDataSet::Active()) Close();
  readOnly_ = readOnly;
}

void TDeziDataset::SetInMemory(bool inMemory) {
  if (inMemory == inMemory_) return;
  if (!TDataSet::Active()) {
    inMemory_ = inMemory;
    return;
  }
  std::shared_ptr<TAbstractPlainFileSystem> memoryCopy;
  std::string database;
  if (inMemory_) {
    table_->SaveToDefaultStore();
    memoryCopy = table_->DatabaseManager()->MemoryCopyStore();
    database = table_->DatabaseManager()->Name();
  }
  const std::string table = table_->TableName();
  Close();
  // Another dataset still on the copy keeps it (and refuses the other mode
  // when this one reopens).
  const auto managers = TEngineRegistries::Instance().DataManagers();
  const bool shared = std::any_of(managers.begin(), managers.end(), [&](TDeziDataManager* other) {
    return SameNameIgnoringCase(other->TableName(), table) && other->DatabaseManager() != nullptr &&
           other->DatabaseManager()->Name() == database;
  });
  if (memoryCopy != nullptr && !shared) TDeziDataManager::DeleteTable(*memoryCopy, table);
  inMemory_ = inMemory;
  Open();
}

void TDeziDataset::InternalOpen() {
  // An in-memory table that exists nowhere yet is made from the definitions.
  if (inMemory_ && !fieldDefs_.empty() && !TableFileExists()) CreateMissingTable();
  int32_t result = 0;
  TDeziDataManager* table = aaOpenTableForDataset(*this, tableName_, result);
  if (table == nullptr) throw EEngineError(OpenFailure(result, tableName_));
  table_ = table;
  try {
    MakeFields();
    fieldDefs_ = DescribeFields(*table_);
    indexDefs_ = DescribeIndexes(*table_);
    restructureFieldDefs_ = fieldDefs_;
    restructureIndexDefs_ = UserIndexes(indexDefs_);
    SetBookmarkSize(8);
    keyBuffer_.assign(static_cast<size_t>(GetRecordSize()), 0);
    probe_.assign(static_cast<size_t>(GetRecordSize()), 0);
    ArrangeView();
  } catch (...) {
    table_ = nullptr;
    aaCloseTableForDataset(*this, *table);
    throw;
  }
}

void TDeziDataset::ArrangeView() {
  ChooseIndex();
  FilterChanging(Filter(), Filtered(), FilterOptions());
  SetPosition(-1);
}

void TDeziDataset::OrderWhileOpening(const std::string& indexName) {
  indexName_ = indexName;
  indexFieldNames_.clear();
  ArrangeView();
}

void TDeziDataset::MakeFields() {
  shown_.clear();
  if (projection_.empty()) {
    for (int32_t f = 0; f < static_cast<int32_t>(table_->Fields().size()); ++f) shown_.push_back(f);
    shown_.push_back(-1);
  } else {
    shown_ = projection_;
  }
  for (size_t i = 0; i < shown_.size(); ++i) {
    const std::string& name = projection_.empty() ? std::string() : projectedNames_[i];
    if (shown_[i] < 0) {
      AddField(ftAutoInc, name.empty() ? table_->Header().RowIdName : name, 0, false);
      continue;
    }
    const TFieldHeader& field = table_->Fields()[static_cast<size_t>(shown_[i])];
    AddField(static_cast<TFieldType>(field.Type), name.empty() ? field.Name : name,
             static_cast<int32_t>(DeclaredSizeOf(field.Type, field.Size)), field.Required);
  }
}

void TDeziDataset::InternalClose() {
  if (privateBuffer_ != nullptr) FreeRecordBuffer(privateBuffer_);
  privateBuffer_ = nullptr;
  DropValues();
  keyBuffer_.clear();
  probe_.clear();
  position_ = -1;
  positionId_ = 0;
  nextRowId_ = 0;
  filterParser_.Clear();
  findParser_.Clear();
  findList_.clear();
  findCounter_ = -1;
  keyConditions_ = {};
  view_.clear();
  viewListed_ = false;
  TDeziDataManager* table = table_;
  table_ = nullptr;
  if (table != nullptr) aaCloseTableForDataset(*this, *table);
}

void TDeziDataset::CheckOpen(const char* operation) const {
  if (table_ == nullptr)
    throw EEngineError(std::string("Error in TDeziDataSet.") + operation +
                       " - no table was opened.");
}

void TDeziDataset::ChooseIndex() {
  index_ = 0;
  if (!indexName_.empty()) {
    const int32_t named = table_->InternalGetIndexNo(indexName_);
    if (named >= 0) {
      index_ = named;
      return;
    }
  } else if (!indexFieldNames_.empty()) {
    const int32_t listed = IndexByFields(SplitNameList(indexFieldNames_), true);
    if (listed >= 0) {
      index_ = listed;
      return;
    }
  }
  // Neither names an index of this table: the row identifier order.
  indexName_.clear();
  indexFieldNames_.clear();
}

int32_t TDeziDataset::IndexByFields(const std::vector<std::string>& names, bool whole, bool exactCase) const {
  for (int32_t i = 0; i < table_->IndexCount(); ++i) {
    const TIndexDescription& index = table_->IndexDescription(i);
    const std::vector<int32_t>& keys = index.KeyFields;
    if (whole ? keys.size() != names.size() : keys.size() < names.size()) continue;
    if (exactCase && (index.WholeCaseInsensitive ||
                      std::find(index.CaseInsensitive.begin(), index.CaseInsensitive.end(), true) !=
                          index.CaseInsensitive.end()))
      continue;
    bool same = true;
    for (size_t k = 0; k < names.size() && same; ++k)
      same = SameNameIgnoringCase(keys[k] < 0 ? table_->Header().RowIdName
                                              : table_->Fields()[static_cast<size_t>(keys[k])].Name,
                                  names[k]);
    if (same) return i;
  }
  return -1;
}

void TDeziDataset::SwitchIndex() {
  Synchronise();
  RebuildView();
  position_ = positionId_ != 0 ? PositionOfId(positionId_) : -1;
  if (position_ < 0) positionId_ = 0;
  Refresh();
}

void TDeziDataset::UpdateIndexDefs() {
  if (table_ != nullptr) {
    indexDefs_ = DescribeIndexes(*table_);
    return;
  }
  int32_t result = 0;
  TDeziDataManager* table = aaOpenTableForDataset(*this, tableName_, result);
  if (table == nullptr) throw EEngineError(OpenFailure(result, tableName_));
  indexDefs_ = DescribeIndexes(*table);
  aaCloseTableForDataset(*this, *table);
}

TField& TDeziDataset::GetIndexField(int32_t i) {
  CheckOpen("GetIndexField");
  const TIndexDescription& index = table_->IndexDescription(index_);
  if (i < 0 || i >= static_cast<int32_t>(index.KeyFields.size()))
    throw EEngineError("Error in TDeziDataSet.GetIndexField - invalid index, index = " +
                       std::to_string(i) + ".");
  TField* field = DatasetFieldOf(index.KeyFields[static_cast<size_t>(i)]);
  if (field == nullptr)
    throw EEngineError("Error in TDeziDataSet.GetIndexField - no such field, FieldNo = " +
                       std::to_string(index.KeyFields[static_cast<size_t>(i)] + 1) + ".");
  return *field;
}

void TDeziDataset::SetIndexName(const std::string& name) {
  if (table_ == nullptr) {
    indexName_ = name;
    indexFieldNames_.clear();
    return;
  }
  CheckBrowseMode();
  int32_t index = 0;
  if (!name.empty()) {
    if (table_->IndexCount() == 0)
      throw EEngineError("Error in TDeziDataSet.OpenIndex - empty index header list.");
    index = table_->InternalGetIndexNo(name);
    if (index < 0)
      throw EEngineError("Error in TDeziDataSet.OpenIndex - index \"" + name + "\" not found!");
  }
  indexName_ = name;
  indexFieldNames_.clear();
  index_ = index;
  SwitchIndex();
}

void TDeziDataset::SetIndexFieldNames(const std::string& fields) {
  indexFieldNames_ = fields;
  indexName_.clear();
  if (table_ == nullptr) return;
  CheckBrowseMode();
  const std::vector<std::string> wanted = SplitNameList(fields);
  const int32_t listed = wanted.empty() ? 0 : IndexByFields(wanted, false);
  const bool found = listed >= 0;
  index_ = found ? listed : 0;
  if (!found) indexFieldNames_.clear();
  SwitchIndex();
}

}  // namespace norvane

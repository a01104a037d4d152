// The operators' columns, filters, projection, sort and iteration, and the
// table read.
#include "engine/query/ao_operator.h"

#include "engine/platform/file_system.h"
#include "engine/query/query_context.h"
#include "engine/tables/name_list.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

bool Answers(const TETblFieldLink& column, const std::string& table, const std::string& field) {
  if (!table.empty() && (column.TableNameHidden || !SameNameIgnoringCase(table, column.Table)) &&
      !SameNameIgnoringCase(table, column.Alias))
    return false;
  return field == "*" || SameNameIgnoringCase(field, column.FieldName) || SameNameIgnoringCase(field, column.Name);
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ";") + name;
  return out;
}

}  // namespace

TDeziAO::~TDeziAO() = default;

int TDeziAO::CountColumns(const std::string& table, const std::string& field) {
  return static_cast<int>(FindColumns(field, table, false).size());
}

std::string TDeziAO::ColumnName(const std::string& table, const std::string& field) {
  const std::vector<int32_t> found = FindColumns(field, table, true);
  return columns_.at(static_cast<size_t>(found.at(0))).Name;
}

std::vector<int32_t> TDeziAO::FindColumns(const std::string& field, const std::string& table, bool markUsed) {
  std::vector<int32_t> found;
  for (int32_t i = 0; i < static_cast<int32_t>(columns_.size()); ++i)
    if (Answers(columns_[static_cast<size_t>(i)], table, field)) found.push_back(i);
  if (markUsed)
    for (int32_t column : found) MarkUsed(column);
  return found;
}

void TDeziAO::MarkUsed(int32_t column) {
  TETblFieldLink& link = columns_.at(static_cast<size_t>(column));
  link.Hidden = false;
  // An input materialised before this operator must hold the column too.
  if (link.SourceOperator) link.SourceOperator->MarkUsed(link.SourceColumn);
}

void TDeziAO::SetFilter(const std::string& text, uint8_t options) {
  filter_ = text;
  filterOptions_ = options;
  resultNeeded_ = true;
  if (opened_) ApplyResultSettings();
}

void TDeziAO::SetProjection(const std::vector<TETblSelectListItem>& items, bool selectAll, bool distinct) {
  resultNeeded_ = true;
  distinct_ = distinct;
  projection_.clear();
  displayNames_.clear();
  if (selectAll) {
    for (int32_t i = 0; i < static_cast<int32_t>(columns_.size()); ++i) {
      MarkUsed(i);
      projection_.push_back(i);
      displayNames_.push_back(columns_[static_cast<size_t>(i)].Name);
    }
    return;
  }
  for (const TETblSelectListItem& item : items) {
    const std::vector<int32_t> found = FindColumns(item.AllColumns ? "*" : item.FieldName, item.Table, true);
    const std::string written = item.Table.empty() ? item.FieldName : item.Table + "." + item.FieldName;
    if (found.empty()) throw ETblException(33, {item.AllColumns ? item.Table + ".*" : written});
    if (!item.AllColumns && found.size() > 1) throw ETblException(34, {written});
    for (int32_t column : found) {
      projection_.push_back(column);
      TETblFieldLink& link = columns_[static_cast<size_t>(column)];
      link.DisplayName = item.AllColumns ? link.Name : item.Pseudonym.empty() ? item.FieldName : item.Pseudonym;
      displayNames_.push_back(link.DisplayName);
    }
  }
}

void TDeziAO::SetSort(const std::string& fields, const std::string& descFields, const std::string& caseFields) {
  sortFields_ = fields;
  descFields_ = descFields;
  caseFields_ = caseFields;
  resultNeeded_ = true;
}

void TDeziAO::Open() {
  // Showing the projection reopens the result, which would drop a
  // temporary index made before it.
  ShowProjection();
  ApplyResultSettings();
  opened_ = true;
}

void TDeziAO::ApplyResultSettings() {
  if (!result_) return;
  if (result_->Filter() != filter_ || result_->FilterOptions() != filterOptions_) {
    result_->SetFilterOptions(filterOptions_);
    result_->SetFilter(filter_);
    result_->SetFiltered(!filter_.empty());
  }
  ApplySort();
  if (distinct_ && !allColumns_) {
    std::vector<std::string> names = projectionNames_;
    for (int32_t column : projection_) names.push_back(columns_[static_cast<size_t>(column)].Name);
    // SQL's DISTINCT keeps values that differ in case apart.
    result_->SetDistinctFields(Joined(names), true);
  }
}

// An index with the same fields, descending and case-insensitive fields
// orders the result; otherwise a temporary one is made for it.
void TDeziAO::ApplySort() {
  if (sortFields_.empty()) return;
  if (!result_) throw ETblException(17);
  const std::string index = SortIndex();
  if (index.empty()) {
    result_->SetIndexName(result_->CreateTemporaryIndex(sortFields_, descFields_, caseFields_));
  } else if (!SameNameIgnoringCase(result_->IndexName(), index)) {
    result_->SetIndexName(index);
  }
}

std::string TDeziAO::SortIndex() const {
  if (!result_ || !result_->Active()) return "";
  result_->UpdateIndexDefs();
  for (const TIndexDef& index : result_->IndexDefs())
    if (SameNameIgnoringCase(index.Fields, sortFields_) && SameNameIgnoringCase(index.DescFields, descFields_) &&
        SameNameIgnoringCase(index.CaseInsFields, caseFields_))
      return index.Name;
  return "";
}

void TDeziAO::ShowProjection() {
  if (!result_ || allColumns_) return;
  if (!projectionNames_.empty()) {
    result_->SetFieldProjection(projectionNames_, displayNames_);
  } else if (!projection_.empty()) {
    std::vector<std::string> names;
    for (int32_t column : projection_) names.push_back(columns_[static_cast<size_t>(column)].Name);
    result_->SetFieldProjection(names, displayNames_);
  }
}

void TDeziAO::First() { result_->First(); }
void TDeziAO::Next() { result_->Next(); }
bool TDeziAO::Eof() { return result_->Eof(); }

TField* TDeziAO::SourceField(int32_t column) {
  if (column < 0 || column >= static_cast<int32_t>(columns_.size()))
    throw ETblException(11, {tableName_, int64_t{column}});
  const TETblFieldLink& link = columns_[static_cast<size_t>(column)];
  if (link.SourceDataset) return &link.SourceDataset->Fields()[link.FieldNo];
  if (!link.SourceOperator) throw ETblException(link.Hidden ? 16 : 15, {tableName_, int64_t{column}});
  if ((link.SourceOperator == left_.get() && leftAbsent_) || (link.SourceOperator == right_.get() && rightAbsent_))
    return nullptr;
  return link.SourceOperator->SourceField(link.SourceColumn);
}

TETblValue TDeziAO::GetValue(int32_t column) {
  TField* field = SourceField(column);
  if (field == nullptr || field->IsNull()) return TETblValue();
  bool present = false;
  const std::vector<uint8_t> bytes = field->ValueBytes(present);
  if (!present) return TETblValue();
  return TETblValue::Copy(field->DataType(), bytes.data(), static_cast<int32_t>(bytes.size()));
}

TDeziAOTable::TDeziAOTable(TSQLQueryContext& context, const std::string& database, const std::string& table,
                           const std::string& alias, const std::string& password) {
  tableName_ = table;
  alias_ = alias;
  result_ = std::make_unique<TDeziTable>();
  context.Aim(*result_, database, table);
  result_->SetPassword(password);
  try {
    result_->Open();
  } catch (const std::exception&) {
    throw ETblException(4, {table, context.DatabaseName(), context.DatabaseFileName(), int64_t{0}});
  }
  TFields& fields = result_->Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    TETblFieldLink link;
    link.Name = link.FieldName = fields[i].FieldName();
    link.Table = table;
    link.Alias = alias;
    link.Type = fields[i].DataType();
    link.Size = fields[i].Size();
    link.SourceDataset = result_.get();
    link.FieldNo = i;
    columns_.push_back(std::move(link));
  }
}

void TDeziAOTable::SetProjection(const std::vector<TETblSelectListItem>& items, bool selectAll, bool distinct) {
  resultNeeded_ = true;
  distinct_ = distinct;
  allColumns_ = selectAll;
  projectionNames_.clear();
  displayNames_.clear();
  for (const TETblSelectListItem& item : items) {
    if (!item.Table.empty() && !SameNameIgnoringCase(item.Table, tableName_) &&
        !SameNameIgnoringCase(item.Table, alias_))
      throw ETblException(14, {tableName_, alias_, item.Table});
    if (item.AllColumns) allColumns_ = true;
    projectionNames_.push_back(item.FieldName);
    displayNames_.push_back(item.Pseudonym.empty() ? item.FieldName : item.Pseudonym);
  }
  if (allColumns_) projectionNames_.clear();
}

void TDeziAOTable::HideTableName() {
  for (TETblFieldLink& column : columns_) column.TableNameHidden = true;
}

}  // namespace norvane

// Running a query's script on open, showing its rows, and its parameters.
#include "engine/query/dezi_query.h"

#include "engine/common/flag_scope.h"
#include "engine/platform/file_system.h"
#include "engine/query/dezi_lexer.h"
#include "engine/query/script_processor.h"
#include "engine/query/sql_select.h"
#include "engine/tables/data_source.h"
#include "engine/tables/dataset_field.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// The parameter names a text uses, in order, each once; a text the lexer
// refuses names none (the error shows when the query opens).
std::vector<std::string> ParamNames(const std::string& text) {
  std::vector<std::string> names;
  try {
    TDeziLexer lexer(text, nullptr);
    while (lexer.NextCommand()) {
      TToken token;
      for (bool more = lexer.CurrentToken(token); more; more = lexer.NextToken(token)) {
        if (token.Kind != tktParam) continue;
        bool known = false;
        for (const std::string& name : names) known = known || SameNameIgnoringCase(name, token.Text);
        if (!known) names.push_back(token.Text);
      }
    }
  } catch (const std::exception&) {
    names.clear();
  }
  return names;
}

// The dataset a source shows, the next link up from it, if any.
TDataSource* UpstreamOf(TDataSet* dataSet) {
  if (auto* query = dynamic_cast<TDeziQuery*>(dataSet)) return query->DataSource();
  if (auto* table = dynamic_cast<TDeziDataset*>(dataSet)) return table->MasterSource();
  return nullptr;
}

}  // namespace

void TDeziQueryDataLink::ActiveChanged() { query_.MasterChanged(); }

void TDeziQueryDataLink::DataSetChanged() { query_.MasterChanged(); }

void TDeziQueryDataLink::RecordChanged(TField* field) {
  if (field == nullptr) query_.MasterChanged();
}

void TDeziQueryDataLink::DataSetScrolled(int distance) {
  if (distance != 0) query_.MasterChanged();
}

TDeziQuery::TDeziQuery() : masterLink_(*this) {}

TDeziQuery::~TDeziQuery() {
  try {
    Close();
  } catch (const std::exception&) {
    // Nobody is left to tell.
  }
}

void TDeziQuery::SetSQL(const std::string& text) {
  if (text == sql_) return;
  Close();
  sql_ = text;
  if (!paramCheck_) return;
  TQueryParams fresh;
  for (const std::string& name : ParamNames(text)) {
    const TQueryParam* old = params_.Find(name);
    fresh.Add(old ? *old : TQueryParam{name, ftString, std::nullopt});
  }
  params_ = std::move(fresh);
}

void TDeziQuery::SetParams(const TQueryParams& params) {
  TQueryParams updated;
  for (const TQueryParam& own : params_.Items()) {
    const TQueryParam* given = params.Find(own.Name);
    updated.Add(given ? TQueryParam{own.Name, given->DataType, given->Value} : own);
  }
  params_ = std::move(updated);
}

TDataSource* TDeziQuery::DataSource() const { return masterLink_.DataSource(); }

void TDeziQuery::SetDataSource(TDataSource* source) {
  // Walk the links up from the source; meeting this query again is a loop.
  int guard = 0;
  for (TDataSource* at = source; at != nullptr && guard < 10000; ++guard) {
    TDataSet* dataSet = at->DataSet();
    if (dataSet == this) throw ETblException(1056, {}, Name);
    at = UpstreamOf(dataSet);
  }
  masterLink_.SetDataSource(source);
}

void TDeziQuery::MasterChanged() {
  if (!Active() || reopening_ || !masterLink_.Active()) return;
  const TFlagScope reopening(reopening_);
  Close();
  Open();
}

void TDeziQuery::ParamsFromMaster() {
  TDataSet* master = masterLink_.DataSet();
  if (master == nullptr || !master->Active()) return;
  TQueryParams updated;
  for (const TQueryParam& param : params_.Items()) {
    TField* field = master->FindField(param.Name);
    if (field == nullptr) {
      updated.Add(param);
      continue;
    }
    updated.Add({param.Name, field->DataType(),
                 field->IsNull() ? std::nullopt : std::optional<std::string>(field->AsString())});
  }
  params_ = std::move(updated);
}

bool TDeziQuery::InternalPrepareOpen() {
  ParamsFromMaster();
  ownDatabaseName_ = DatabaseName();
  ownDatabaseFileName_ = DatabaseFileName();
  context_ = std::make_unique<TSQLQueryContext>(ownDatabaseName_, ownDatabaseFileName_);
  try {
    processor_ = std::make_unique<TSQLScriptProcessor>(sql_, &params_);
    processor_->ExecuteAll(*context_);
  } catch (...) {
    processor_.reset();
    context_.reset();
    throw;
  }
  if (processor_->ResultDataset() == nullptr) {
    processor_.reset();
    context_.reset();
    return false;
  }
  return true;
}

void TDeziQuery::InternalOpen() {
  TDeziTable& result = *processor_->ResultDataset();
  // Joined rows are a copy in memory: an edit there would change no table
  // and still look done, so such a result is read-only.
  const auto& last = dynamic_cast<const TDeziSQLSelect&>(*processor_->Script().Commands.back());
  ownReadOnly_ = ReadOnly();
  const bool joined = last.From.size() != 1 || last.From[0]->Kind != TETblTableReference::rkTable;
  if (joined) SetReadOnly(true);
  // The query is a second cursor on the result's table: the same table,
  // filter, order, distinct rows and projection. The result's database is
  // borrowed for the opening only.
  SetTableName(result.TableName());
  SetInMemory(result.InMemory());
  SetPassword(result.Password());
  // The filter options go with the filter: the statement's conditions
  // compare whole values, and the query's own options (partial compare by
  // default) would let more rows through than the statement selected.
  SetFilterOptions(result.FilterOptions());
  SetFilter(result.Filter());
  SetFiltered(result.Filtered());
  SetDistinctFields(result.DistinctFields(), result.DistinctExactCase());
  CopyFieldProjection(result);
  SetDatabaseName(result.DatabaseName());
  SetDatabaseFileName(result.DatabaseFileName());
  SetIndexName(result.IndexName());
  TIndexDef sortIndex;
  result.UpdateIndexDefs();
  for (const TIndexDef& index : result.IndexDefs())
    if (!result.IndexName().empty() && SameNameIgnoringCase(index.Name, result.IndexName())) sortIndex = index;
  try {
    TDeziDataset::InternalOpen();
    // A temporary index lives with the cursor that made it; the query makes
    // its own of the same order when it does not see the result's.
    if (IndexName().empty() && sortIndex.Name.size() > 0) {
      OrderWhileOpening(CreateTemporaryIndex(sortIndex.Fields, sortIndex.DescFields, sortIndex.CaseInsFields));
    }
  } catch (...) {
    SetReadOnly(ownReadOnly_);
    SetDatabaseName(ownDatabaseName_);
    SetDatabaseFileName(ownDatabaseFileName_);
    if (IsCursorOpen()) TDeziDataset::InternalClose();
    processor_.reset();
    context_.reset();
    throw;
  }
  SetDatabaseName(ownDatabaseName_);
  SetDatabaseFileName(ownDatabaseFileName_);
}

void TDeziQuery::InternalClose() {
  TDeziDataset::InternalClose();
  SetReadOnly(ownReadOnly_);
  processor_.reset();
  context_.reset();
}

}  // namespace norvane

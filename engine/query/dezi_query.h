// The query component: a dataset whose rows are those of its SQL script.
// Opening it parses the whole script, runs every statement in order and
// then opens the query as a second cursor on the last statement's rows (the
// stored table of a single-table SELECT, filtered, ordered and projected as
// the statement says, or the in-memory table of a join). A script that ends
// without a SELECT runs and leaves the query closed. Parameters (":name")
// take their values from Params, and from the fields of a master
// DataSource of the same name, the query running again as the master moves.
#pragma once

#include <memory>
#include <string>

#include "engine/query/query_params.h"
#include "engine/tables/data_link.h"
#include "engine/tables/dezi_dataset.h"

namespace norvane {

class TSQLScriptProcessor;
class TSQLQueryContext;
class TDeziQuery;

// The query's link to its master: a new master record runs it again.
class TDeziQueryDataLink : public TDataLink {
 public:
  explicit TDeziQueryDataLink(TDeziQuery& query) : query_(query) {}

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void RecordChanged(TField* field) override;
  void DataSetScrolled(int distance) override;

 private:
  TDeziQuery& query_;
};

class TDeziQuery : public TDeziDataset {
 public:
  TDeziQuery();
  ~TDeziQuery() override;

  // The script, lines joined with line breaks. A different text closes the
  // query first; with ParamCheck the parameters become those the new text
  // names (":name" outside quotes and comments), keeping the values of
  // those of equal names.
  const std::string& SQL() const { return sql_; }
  void SetSQL(const std::string& text);
  TQueryParams& Params() { return params_; }
  // Copies the values of the parameters of equal names.
  void SetParams(const TQueryParams& params);
  bool ParamCheck() const { return paramCheck_; }
  void SetParamCheck(bool check) { paramCheck_ = check; }
  // Kept for forms; has no effect.
  bool RequestLive() const { return requestLive_; }
  void SetRequestLive(bool live) { requestLive_ = live; }
  // The master whose fields give the parameters of their names. A source
  // linked back to this query, directly or through other links, is
  // ETblException 1056 "Circular datalinks are not allowed".
  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);

  // The master moved: an open query runs again.
  void MasterChanged();

 protected:
  bool InternalPrepareOpen() override;
  void InternalOpen() override;
  void InternalClose() override;

 private:
  void ParamsFromMaster();

  std::string sql_;
  TQueryParams params_;
  bool paramCheck_ = true;
  bool requestLive_ = false;
  TDeziQueryDataLink masterLink_;
  std::unique_ptr<TSQLQueryContext> context_;
  std::unique_ptr<TSQLScriptProcessor> processor_;
  std::string ownDatabaseName_, ownDatabaseFileName_;
  bool reopening_ = false;
  bool ownReadOnly_ = false;  // ReadOnly as set, before a join made it so
};

}  // namespace norvane

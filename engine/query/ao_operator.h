// The relational operators a SELECT runs as: a table read (TDeziAOTable)
// or a join of two operators (TDeziAOJoin, ao_join.h). Each has columns
// that refer back to a dataset field or to an input's column, a result
// dataset once it has one (a table read's cursor on the stored table, a
// join's in-memory table), and takes filters, a projection and a sort.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/query/condition_target.h"
#include "engine/query/select_list_item.h"
#include "engine/query/tbl_value.h"
#include "engine/tables/dezi_table.h"

namespace norvane {

class TDeziAO;
class TSQLQueryContext;

struct TETblFieldLink {
  std::string Name;         // the field's name, made unique among a join's
  std::string FieldName;    // the field's own name in its table
  std::string Table;        // the table it comes from, and that table's
  std::string Alias;        // alias: what a qualified reference names
  int Type = 0;
  int32_t Size = 0;
  std::string DisplayName;  // the name the query shows it under
  TDeziAO* SourceOperator = nullptr;  // an input's column ...
  int32_t SourceColumn = -1;
  TDeziDataset* SourceDataset = nullptr;  // ... or a dataset's field
  int32_t FieldNo = -1;
  bool Hidden = true;  // not used by the query
  bool TableNameHidden = false;  // only the alias qualifies it
};

class TDeziAO : public TConditionTarget {
 public:
  ~TDeziAO() override;

  int CountColumns(const std::string& table, const std::string& field) override;
  std::string ColumnName(const std::string& table, const std::string& field) override;
  bool IsJoin() const override { return left_ != nullptr; }
  bool IsOuterJoin() const override { return false; }
  TConditionTarget* JoinLeft() override { return left_.get(); }
  TConditionTarget* JoinRight() override { return right_.get(); }
  std::string Filter() const override { return filter_; }
  // Needs a result dataset; a join's is set once it is materialised.
  void SetFilter(const std::string& text, uint8_t options) override;

  // The columns answering to a reference ("*" for every one, of `table`
  // when given); marked used when asked.
  std::vector<int32_t> FindColumns(const std::string& field, const std::string& table, bool markUsed);
  void MarkUsed(int32_t column);
  // Resolves the select list (ETblException 33, 34); with `distinct` the
  // projected columns become the result's distinct fields.
  virtual void SetProjection(const std::vector<TETblSelectListItem>& items, bool selectAll, bool distinct);
  // The sort the result is read in: ";"- or ","-separated field lists.
  void SetSort(const std::string& fields, const std::string& descFields, const std::string& caseFields);
  // Opens the inputs, materialises a join, sets filter, sort and distinct
  // fields on the result and shows the projected columns.
  virtual void Open();

  void First();
  void Next();
  bool Eof();
  // The field of `column` in the current row, or null when the column's
  // input has no row there (an outer join's padding).
  TField* SourceField(int32_t column);
  TETblValue GetValue(int32_t column);

  TDeziTable* Result() const { return result_.get(); }
  TDeziAO* Left() const { return left_.get(); }
  TDeziAO* Right() const { return right_.get(); }
  const std::string& SortFields() const { return sortFields_; }
  const std::string& DescFields() const { return descFields_; }
  // The index of the result that gives the sort, or "" when a temporary
  // one must be made for it (or there is no result yet).
  std::string SortIndex() const;
  const std::vector<TETblFieldLink>& Columns() const { return columns_; }
  const std::string& TableName() const { return tableName_; }
  const std::string& Alias() const { return alias_; }

 protected:
  void ApplySort();
  void ApplyResultSettings();
  // The projected columns' names and display names, shown by the result.
  void ShowProjection();

  std::string tableName_, alias_;
  bool resultNeeded_ = false;
  // Open has run: a filter set from then on is applied at once; one set
  // before waits for Open, which would otherwise apply it a second time.
  bool opened_ = false;
  std::unique_ptr<TDeziTable> result_;
  std::vector<int32_t> projection_;
  std::vector<std::string> projectionNames_;  // a table's, by field name
  std::vector<std::string> displayNames_;     // one per projected column
  bool leftAbsent_ = false, rightAbsent_ = false;
  std::string sortFields_, descFields_, caseFields_;
  std::string filter_;
  uint8_t filterOptions_ = 0;
  bool distinct_ = false;
  bool allColumns_ = false;  // a table's projection keeps every field
  std::vector<TETblFieldLink> columns_;
  std::unique_ptr<TDeziAO> left_, right_;
};

// A table of a database, read through a cursor of its own.
class TDeziAOTable : public TDeziAO {
 public:
  // Opens `table` of `database` (the context's when empty) with `password`;
  // ETblException 4 when it cannot be opened. Every field is a column,
  // hidden until the query uses it.
  TDeziAOTable(TSQLQueryContext& context, const std::string& database, const std::string& table,
               const std::string& alias, const std::string& password);
  // A select item naming another table is ETblException 14; an item of all
  // columns keeps every field (and makes DISTINCT void).
  void SetProjection(const std::vector<TETblSelectListItem>& items, bool selectAll, bool distinct) override;
  // From now on only the alias qualifies the columns.
  void HideTableName();
};

}  // namespace norvane

// What the condition rewriting needs of a relational operator of query
// execution (a table read or a join): its columns by reference, its inputs,
// and its dataset filter. The operators implement it; tests use fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/query/condition_tree.h"
#include "engine/tables/search_operation.h"

namespace norvane {

// A (table, field name) pair of a join key list, as the condition wrote it.
struct TETblFieldRef {
  std::string Table;
  std::string FieldName;
};
using TETblFields = std::vector<TETblFieldRef>;

class TConditionTarget {
 public:
  virtual ~TConditionTarget() = default;
  // How many of the operator's columns answer to a reference: the field name
  // compared without case, and when `table` is not empty, the column's table
  // name or alias compared without case.
  virtual int CountColumns(const std::string& table, const std::string& field) = 0;
  // The name of the first such column, as the operator's filter knows it;
  // marks the column used. Requires CountColumns(table, field) > 0.
  virtual std::string ColumnName(const std::string& table, const std::string& field) = 0;
  virtual bool IsJoin() const = 0;
  virtual bool IsOuterJoin() const = 0;
  // A join's inputs; null for a table.
  virtual TConditionTarget* JoinLeft() = 0;
  virtual TConditionTarget* JoinRight() = 0;
  // The operator's dataset filter: text in the filter language ("" when it
  // has none) and its FilterOptions bits (foCaseInsensitive,
  // foNoPartialCompare).
  virtual std::string Filter() const = 0;
  virtual void SetFilter(const std::string& text, uint8_t options) = 0;
  // Whether the operator tests its rows one by one against a condition the
  // filter language cannot hold (one that compares two fields), given to
  // AddRowCondition: a join can, as it makes its rows; a table read cannot,
  // and refuses one with EEngineError "Two fields of one table cannot be
  // compared: " and the condition.
  virtual bool TestsRows() const { return false; }
  virtual void AddRowCondition(std::unique_ptr<TETblExprNode> condition);
};

}  // namespace norvane

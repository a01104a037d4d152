// A join of two operators: a cross join pairs every row, the others merge
// both inputs read in key order, so no two rows are compared twice except
// within a run of equal keys. The joined rows are materialised into an
// in-memory table, which is then filtered, sorted and projected as a table
// read's cursor would be.
#pragma once

#include <functional>

#include "engine/query/ao_operator.h"
#include "engine/query/row_condition.h"

namespace norvane {

class TDeziAOJoin : public TDeziAO {
 public:
  // The columns are the left input's, then the right's, named uniquely
  // ("_1", "_12", ... appended to a repeated name).
  TDeziAOJoin(std::unique_ptr<TDeziAO> left, std::unique_ptr<TDeziAO> right, int joinType);

  bool IsOuterJoin() const override { return joinType_ >= 3; }
  int JoinType() const { return joinType_; }
  const std::vector<int32_t>& LeftKeys() const { return leftKeys_; }
  const std::vector<int32_t>& RightKeys() const { return rightKeys_; }
  // Sets the key pairs of an inner or outer join, each (table, field) as
  // written: the first of each pair in the left input, the second in the
  // right (a pair written the other way round is turned). ETblException
  // 20/21 for a name that is not exactly one column, 22 for no pairs, 23
  // for lists of different lengths, 27 for a pair within one input.
  void SetKeys(const TETblFields& leftKeys, const TETblFields& rightKeys);
  // The same with the key columns given by number (a left input's column,
  // then a right input's, for each pair); 22 when there are none.
  void SetKeyColumns(const std::vector<int32_t>& lefts, const std::vector<int32_t>& rights);
  void Open() override;
  // Conditions that compare two fields are tested on each row as it is
  // made, before it reaches the result: the join's rows, padding included.
  bool TestsRows() const override { return true; }
  void AddRowCondition(std::unique_ptr<TETblExprNode> condition) override;
  const std::vector<TRowCondition>& RowConditions() const { return rowConditions_; }

 private:
  void MakeColumnNamesUnique();
  void Materialize();
  // The dataset of each used column's source when every value can be
  // copied as stored (same type and stored size, no large values) into the
  // result table; empty otherwise.
  std::vector<TDeziDataset*> StoredSources(const std::vector<int32_t>& used, const TDeziDataManager& result);
  // Calls `emit` for each joined row, with the absent flags set for an
  // outer join's padding.
  void ForEachRow(const std::function<void()>& emit);
  void Merge(const std::function<void()>& emit);
  // CompareValues over the key pairs (0 equal, 1 left greater, 2 left
  // smaller, 3 left null, 4 right null, 5 both null): the first pair that
  // is not equal decides.
  int CompareKeys();

  int joinType_;
  std::vector<int32_t> leftKeys_, rightKeys_;  // columns of this operator
  std::vector<TRowCondition> rowConditions_;
};

}  // namespace norvane

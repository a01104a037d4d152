// A condition the dataset filter language cannot hold, because it compares
// two fields, tested on each row a join makes. SQL's unknown is kept: a
// comparison with NULL is unknown, NOT of unknown is unknown, and a row
// passes only when the whole condition is true.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "engine/query/condition_tree.h"

namespace norvane {

class TDeziAO;

class TRowCondition {
 public:
  // Each field reference is resolved among the columns of `source`, whose
  // current row is the one tested; ETblException 1052 for one no column
  // answers to.
  TRowCondition(std::unique_ptr<TETblExprNode> condition, TDeziAO& source);
  bool Passes();
  const TETblExprNode& Condition() const { return *condition_; }

 private:
  enum class TTruth { False, True, Unknown };
  TTruth Evaluate(const TETblExprNode& node);
  TTruth Compare(const TETblExprNode& node);
  TETblValue ValueOf(const TETblExprNode& operand);

  std::unique_ptr<TETblExprNode> condition_;
  TDeziAO& source_;
  std::unordered_map<const TETblExprNode*, int32_t> columns_;
};

// Whether the condition holds a comparison, or a pattern test, of two fields.
bool ComparesTwoFields(const TETblExprNode& node);

}  // namespace norvane

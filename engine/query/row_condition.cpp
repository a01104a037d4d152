// Row conditions: the operands read from the current row of the operator,
// the connectives walked without recursion along a chain of one kind.
#include "engine/query/row_condition.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/query/ao_operator.h"
#include "engine/tables/record_match.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// A number of any numeric type, so that an integer field meets a float
// constant, or a small integer a large one, as the filter lets them.
std::optional<double> NumberOf(const TETblValue& value) {
  const uint8_t* p = value.Data();
  switch (value.Type()) {
    case ftSmallint: return static_cast<int16_t>(GetU16LE(p));
    case ftWord: return GetU16LE(p);
    case ftInteger:
    case ftAutoInc: return GetI32LE(p);
    case ftLargeint: return static_cast<double>(GetI64LE(p));
    case ftFloat:
    case ftCurrency: return GetF64LE(p);
    default: return std::nullopt;
  }
}

std::string_view TextOf(const TETblValue& value) {
  const auto* text = reinterpret_cast<const char*>(value.Data());
  return {text, strnlen(text, static_cast<size_t>(value.Size()))};
}

}  // namespace

bool ComparesTwoFields(const TETblExprNode& node) {
  std::vector<const TETblExprNode*> pending = {&node};
  while (!pending.empty()) {
    const TETblExprNode* at = pending.back();
    pending.pop_back();
    if (at->Kind != TETblExprNode::nkOperator) continue;
    const bool binaryTest = IsComparison(at->Operator) || at->Operator == opLike || at->Operator == opNotLike;
    if (binaryTest && at->Left->Kind == TETblExprNode::nkField && at->Right->Kind == TETblExprNode::nkField)
      return true;
    if (at->Left) pending.push_back(at->Left.get());
    if (at->Right) pending.push_back(at->Right.get());
  }
  return false;
}

TRowCondition::TRowCondition(std::unique_ptr<TETblExprNode> condition, TDeziAO& source)
    : condition_(std::move(condition)), source_(source) {
  std::vector<const TETblExprNode*> pending = {condition_.get()};
  while (!pending.empty()) {
    const TETblExprNode* at = pending.back();
    pending.pop_back();
    if (at->Kind == TETblExprNode::nkField) {
      const std::vector<int32_t> found = source_.FindColumns(at->FieldName, at->Table, true);
      if (found.empty())
        throw ETblException(1052, {at->Table.empty() ? at->FieldName : at->Table + "." + at->FieldName});
      columns_[at] = found.front();
    }
    if (at->Left) pending.push_back(at->Left.get());
    if (at->Right) pending.push_back(at->Right.get());
  }
}

bool TRowCondition::Passes() { return Evaluate(*condition_) == TTruth::True; }

TETblValue TRowCondition::ValueOf(const TETblExprNode& operand) {
  if (operand.Kind == TETblExprNode::nkConstant) return operand.Value;
  if (operand.Kind == TETblExprNode::nkField) return source_.GetValue(columns_.at(&operand));
  throw ETblException(1053, {int64_t{operand.Operator}});
}

TRowCondition::TTruth TRowCondition::Compare(const TETblExprNode& node) {
  const TETblValue a = ValueOf(*node.Left), b = ValueOf(*node.Right);
  if (a.IsNull() || b.IsNull()) return TTruth::Unknown;
  if (node.Operator == opLike || node.Operator == opNotLike) {
    if (a.Type() != ftString || b.Type() != ftString)
      throw EEngineError("Error in TDeziDataSet.PrepareValueBuffer - 'like / not like' operation call with not string field!");
    const bool matches = LikeMatches(TextOf(a), TextOf(b), false);
    return matches == (node.Operator == opLike) ? TTruth::True : TTruth::False;
  }
  int order;  // negative, zero or positive
  const std::optional<double> x = NumberOf(a), y = NumberOf(b);
  if (a.Type() != b.Type() && x && y) {
    order = *x < *y ? -1 : *x > *y ? 1 : 0;
  } else {
    const int c = CompareValues(a, b, false, false);
    order = c == 2 ? -1 : c;
  }
  bool holds = false;
  switch (node.Operator) {
    case opEqual: holds = order == 0; break;
    case opNotEqual: holds = order != 0; break;
    case opGreater: holds = order > 0; break;
    case opLess: holds = order < 0; break;
    case opGreaterOrEqual: holds = order >= 0; break;
    case opLessOrEqual: holds = order <= 0; break;
  }
  return holds ? TTruth::True : TTruth::False;
}

TRowCondition::TTruth TRowCondition::Evaluate(const TETblExprNode& node) {
  const int op = node.Operator;
  if (op == opAnd || op == opOr) {
    // A left-leaning chain in a loop: false decides an AND, true an OR.
    const TTruth decisive = op == opAnd ? TTruth::False : TTruth::True;
    std::vector<const TETblExprNode*> operands;
    const TETblExprNode* first = &node;
    for (; IsOperator(*first, op); first = first->Left.get())
      operands.push_back(first->Right.get());
    operands.push_back(first);
    bool unknown = false;
    for (const TETblExprNode* operand : operands) {
      const TTruth truth = Evaluate(*operand);
      if (truth == decisive) return decisive;
      unknown = unknown || truth == TTruth::Unknown;
    }
    return unknown ? TTruth::Unknown : op == opAnd ? TTruth::True : TTruth::False;
  }
  if (op == opNot) {
    const TTruth truth = Evaluate(*node.Left);
    return truth == TTruth::Unknown ? truth : truth == TTruth::True ? TTruth::False : TTruth::True;
  }
  if (op == opIsNull || op == opIsNotNull)
    return ValueOf(*node.Left).IsNull() == (op == opIsNull) ? TTruth::True : TTruth::False;
  if (IsComparison(op) || op == opLike || op == opNotLike) return Compare(node);
  throw ETblException(1053, {int64_t{op}});
}

}  // namespace norvane

// Rewriting parsed conditions into join keys and dataset filters.
#include "engine/query/condition_rewrite.h"

#include <charconv>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/protection/collation.h"
#include "engine/query/row_condition.h"
#include "engine/query/statement_printer.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// The comparison that holds with its operands swapped.
int Mirrored(int op) {
  switch (op) {
    case opGreater: return opLess;
    case opLess: return opGreater;
    case opGreaterOrEqual: return opLessOrEqual;
    case opLessOrEqual: return opGreaterOrEqual;
    default: return op;
  }
}

// Calls visit(node) for every node of the subtree, left before right, with a
// stack of its own: an AND or OR chain can be as long as the statement.
template <class TVisit>
void ForEachNode(TETblExprNode* node, TVisit visit) {
  std::vector<TETblExprNode*> pending;
  if (node) pending.push_back(node);
  while (!pending.empty()) {
    TETblExprNode* next = pending.back();
    pending.pop_back();
    visit(*next);
    if (next->Right) pending.push_back(next->Right.get());
    if (next->Left) pending.push_back(next->Left.get());
  }
}

// The reference as written, for messages.
std::string ReferenceText(const TETblExprNode& field) {
  return field.Table.empty() ? field.FieldName : field.Table + "." + field.FieldName;
}

int Count(TConditionTarget& target, const TETblExprNode& field) {
  return target.CountColumns(field.Table, field.FieldName);
}

// The first field reference of the subtree that no column of `target`
// answers to, or null.
const TETblExprNode* FirstUnknownField(TETblExprNode& node, TConditionTarget& target) {
  const TETblExprNode* unknown = nullptr;
  ForEachNode(&node, [&](TETblExprNode& n) {
    if (!unknown && n.Kind == TETblExprNode::nkField && Count(target, n) == 0) unknown = &n;
  });
  return unknown;
}

const char* OperatorText(int op) {
  switch (op) {
    case opEqual: return "=";
    case opNotEqual: return "<>";
    case opGreater: return ">";
    case opLess: return "<";
    case opGreaterOrEqual: return ">=";
    case opLessOrEqual: return "<=";
    case opNot: return " NOT ";
    case opAnd: return " AND ";
    case opOr: return " OR ";
    case opLike: return " LIKE ";
    case opNotLike: return " NOT LIKE ";
    case opIsNull: return " IS NULL";
    case opIsNotNull: return " IS NOT NULL ";
    default: throw ETblException(1053, {int64_t{op}});
  }
}

std::string QuotedText(const TETblValue& value) {
  const char* text = reinterpret_cast<const char*>(value.Data());
  const size_t length = strnlen(text, static_cast<size_t>(value.Size()));
  std::string out = "'";
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\'') out += '\'';
    out += text[i];
  }
  return out + "'";
}

// Fixed notation, as short as reads back to the same double: plain digits,
// signs and the decimal point, the form every reader of filter numbers takes.
std::string FloatText(const TETblValue& value) {
  double number;
  std::memcpy(&number, value.Data(), 8);
  char text[400];  // 5e-324 takes 327 characters, 1.8e308 309
  const auto [end, error] = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
  if (error != std::errc()) throw EEngineError("The float constant cannot be written as filter text");
  return std::string(text, end);
}

std::string ConstantText(const TETblValue& value) {
  if (!value.IsNull()) {
    if (value.Type() == ftInteger && value.Size() >= 4) return std::to_string(GetI32LE(value.Data()));
    if (value.Type() == ftFloat && value.Size() >= 8) return FloatText(value);
    if (value.Type() == ftString) return QuotedText(value);
  }
  throw EEngineError("A constant of field type " + std::to_string(value.Type()) +
                     (value.IsNull() ? " without a value" : "") + " has no filter text");
}

// AND or OR as the filter text writes the node (NOTs carried down through
// it), or -1 for anything else.
int Connective(const TETblExprNode& node, bool negated = false) {
  const TETblExprNode* at = &node;
  for (; IsOperator(*at, opNot); at = at->Left.get()) negated = !negated;
  if (!IsOperator(*at, opAnd) && !IsOperator(*at, opOr)) return -1;
  return (at->Operator == opAnd) != negated ? opAnd : opOr;
}

class TFilterWriter {
 public:
  explicit TFilterWriter(TConditionTarget& target) : target_(target) {}

  // NOT is carried down to the tests (AND and OR trading places on the
  // way, NOT NOT dropping out), where each stays false for NULL: SQL keeps a
  // row only when its condition is true, and a NOT over a group would turn
  // the unknown of a NULL inside it into true.
  std::string Write(const TETblExprNode& node, bool negated = false) {
    if (node.Kind == TETblExprNode::nkField) return "[" + Column(node) + "]";
    if (node.Kind == TETblExprNode::nkConstant) return ConstantText(node.Value);
    const int op = node.Operator;
    if (op == opNot) return Write(*node.Left, !negated);
    if (op == opAnd || op == opOr) return Chain(node, negated);
    const std::string prefix = negated ? "NOT " : "";
    const char* text = OperatorText(op);
    if (op == opIsNull || op == opIsNotNull) return prefix + Write(*node.Left) + text;
    if (IsComparison(op) && node.Left->Kind == TETblExprNode::nkConstant &&
        node.Right->Kind == TETblExprNode::nkField) {
      // The filter reads a field before its constant: 2 > k is k < 2.
      const std::string field = Write(*node.Right);
      return prefix + "(" + field + OperatorText(Mirrored(op)) + Write(*node.Left) + ") AND (" + field +
             " IS NOT NULL)";
    }
    const std::string left = Write(*node.Left);
    const std::string written = left + text + Write(*node.Right);
    // The filter's comparisons let NULL through "<" and "<>"; SQL's never do.
    // A pattern's test of NULL is no more known, which NOT must not turn
    // into true.
    if (IsComparison(op) || op == opLike || op == opNotLike)
      return prefix + "(" + written + ") AND (" + left + " IS NOT NULL)";
    return negated ? prefix + "(" + written + ")" : written;
  }

 private:
  std::string Column(const TETblExprNode& field) {
    if (Count(target_, field) == 0) throw ETblException(1052, {ReferenceText(field)});
    // Bracketed always: a bare name is read by prefix, so "notes" would
    // read as NOT followed by "es", and a blank would end the name.
    return target_.ColumnName(field.Table, field.FieldName);
  }

  // The filter reads OR weakest, then AND, then NOT.
  std::string Operand(const TETblExprNode& operand, int parentOp, bool negated) {
    const bool enclose = parentOp == opAnd && Connective(operand, negated) == opOr;
    const std::string text = Write(operand, negated);
    return enclose ? "(" + text + ")" : text;
  }

  // A left-leaning chain of one operator written in a loop, not by
  // recursion; its members need no parentheses among themselves.
  std::string Chain(const TETblExprNode& node, bool negated) {
    const int op = node.Operator;
    const int written = Connective(node, negated);
    std::vector<const TETblExprNode*> rights;
    const TETblExprNode* first = &node;
    for (; IsOperator(*first, op); first = first->Left.get()) rights.push_back(first->Right.get());
    std::string text = Operand(*first, written, negated);
    for (auto right = rights.rbegin(); right != rights.rend(); ++right)
      text += OperatorText(written) + Operand(**right, written, negated);
    return text;
  }

  TConditionTarget& target_;
};

// Each reference of the conjunct matches at least one column of `target`.
bool Fits(TETblExprNode& conjunct, TConditionTarget& target) { return !FirstUnknownField(conjunct, target); }

}  // namespace

void ReplaceAliases(TETblExprNode* root, const std::vector<TETblSelectListItem>& selectList, bool selectAll) {
  if (selectAll) return;
  ForEachNode(root, [&](TETblExprNode& node) {
    if (node.Kind != TETblExprNode::nkField || !node.Table.empty()) return;
    for (const TETblSelectListItem& item : selectList) {
      if (item.Pseudonym.empty() || CollateCompareCI(node.FieldName.c_str(), item.Pseudonym.c_str()) != 0) continue;
      node.FieldName = item.FieldName;
      node.Table = item.Table;
      return;
    }
  });
}

std::vector<TETblExprNode*> TopLevelConjuncts(TETblExprNode* root) {
  std::vector<TETblExprNode*> conjuncts, pending;
  if (root) pending.push_back(root);
  while (!pending.empty()) {
    TETblExprNode* node = pending.back();
    pending.pop_back();
    if (!IsOperator(*node, opAnd)) {
      conjuncts.push_back(node);
      continue;
    }
    pending.push_back(node->Right.get());
    pending.push_back(node->Left.get());
  }
  return conjuncts;
}

std::unique_ptr<TETblExprNode> TakeConjunct(std::unique_ptr<TETblExprNode>& root, TETblExprNode* conjunct) {
  TETblExprNode* parent = conjunct->Parent;
  if (!parent) return std::move(root);
  const bool onLeft = parent->Left.get() == conjunct;
  std::unique_ptr<TETblExprNode> taken = std::move(onLeft ? parent->Left : parent->Right);
  std::unique_ptr<TETblExprNode> sibling = std::move(onLeft ? parent->Right : parent->Left);
  TETblExprNode* grandparent = parent->Parent;
  sibling->Parent = grandparent;
  std::unique_ptr<TETblExprNode>& place =
      !grandparent ? root : grandparent->Left.get() == parent ? grandparent->Left : grandparent->Right;
  place = std::move(sibling);  // frees the parent
  taken->Parent = nullptr;
  return taken;
}

void RemoveConjunct(std::unique_ptr<TETblExprNode>& root, TETblExprNode* conjunct) { TakeConjunct(root, conjunct); }

void TConditionTarget::AddRowCondition(std::unique_ptr<TETblExprNode> condition) {
  throw EEngineError("Two fields of one table cannot be compared: " + PrintCondition(condition.get()));
}

int ExtractJoinPairs(std::unique_ptr<TETblExprNode>& root, TConditionTarget& left, TConditionTarget& right,
                     TETblFields& leftKeys, TETblFields& rightKeys) {
  // Every conjunct is checked before the tree or the key lists change.
  std::vector<TETblExprNode*> pairs;
  for (TETblExprNode* conjunct : TopLevelConjuncts(root.get())) {
    if (!IsOperator(*conjunct, opEqual) || conjunct->Left->Kind != TETblExprNode::nkField ||
        conjunct->Right->Kind != TETblExprNode::nkField)
      continue;
    const TETblExprNode& first = *conjunct->Left;
    const TETblExprNode& second = *conjunct->Right;
    const int firstInLeft = Count(left, first), firstInRight = Count(right, first);
    if (firstInLeft + firstInRight > 1) throw ETblException(1054, {ReferenceText(first)});
    const int secondInLeft = Count(left, second), secondInRight = Count(right, second);
    if (secondInLeft + secondInRight > 1) throw ETblException(1055, {ReferenceText(second)});
    if (firstInLeft + firstInRight == 1 && secondInLeft + secondInRight == 1 && firstInLeft != secondInLeft)
      pairs.push_back(conjunct);
  }
  for (TETblExprNode* pair : pairs) {
    leftKeys.push_back({pair->Left->Table, pair->Left->FieldName});
    rightKeys.push_back({pair->Right->Table, pair->Right->FieldName});
    RemoveConjunct(root, pair);
  }
  return static_cast<int>(pairs.size());
}

void PushDown(std::unique_ptr<TETblExprNode>& root, TConditionTarget& target) {
  if (!root) return;
  if (target.IsJoin() && !target.IsOuterJoin()) {
    if (TConditionTarget* input = target.JoinLeft()) PushDown(root, *input);
    if (TConditionTarget* input = target.JoinRight()) PushDown(root, *input);
  }
  std::string text;
  TFilterWriter writer(target);
  for (TETblExprNode* conjunct : TopLevelConjuncts(root.get())) {
    if (!Fits(*conjunct, target)) continue;
    if (ComparesTwoFields(*conjunct)) {
      // Left for the join above a table read that cannot test rows.
      if (target.TestsRows()) target.AddRowCondition(TakeConjunct(root, conjunct));
      continue;
    }
    const std::string written = writer.Write(*conjunct);
    text += (text.empty() ? "" : " AND ") +
            (Connective(*conjunct) == opOr ? "(" + written + ")" : written);
    RemoveConjunct(root, conjunct);
  }
  if (text.empty()) return;
  // An ON condition reaches an operator before the WHERE condition does;
  // the second must narrow the first, not replace it.
  const std::string earlier = target.Filter();
  target.SetFilter(earlier.empty() ? text : "(" + earlier + ") AND " + text, foNoPartialCompare);
}

void PushDownAll(std::unique_ptr<TETblExprNode>& root, TConditionTarget& target) {
  PushDown(root, target);
  // What the whole tree did not take has a reference no column answers to,
  // or compares two fields where no join tests rows.
  for (TETblExprNode* conjunct : TopLevelConjuncts(root.get())) {
    if (const TETblExprNode* unknown = FirstUnknownField(*conjunct, target))
      throw ETblException(1052, {ReferenceText(*unknown)});
    target.AddRowCondition(TakeConjunct(root, conjunct));
  }
}

std::string FilterText(const TETblExprNode& node, TConditionTarget& target) {
  return TFilterWriter(target).Write(node);
}

}  // namespace norvane

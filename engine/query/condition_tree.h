// The tree of a parsed SQL condition: field references, constants and
// operator nodes, each operator owning its operands.
#pragma once

#include <memory>
#include <string>

#include "engine/query/tbl_value.h"

namespace norvane {

// Operator codes; the filter text of each is written by the push-down.
enum TETblOperator : int {
  opNone = 0,
  opEqual = 2,
  opNotEqual = 3,
  opGreater = 4,
  opLess = 5,
  opGreaterOrEqual = 6,
  opLessOrEqual = 7,
  opNot = 8,
  opAnd = 9,
  opOr = 10,
  opLike = 13,
  opNotLike = 14,
  opIsNull = 15,
  opIsNotNull = 16,
};

struct TETblExprNode {
  enum TKind { nkField = 0, nkConstant = 1, nkOperator = 2 };

  TKind Kind = nkOperator;
  TETblExprNode* Parent = nullptr;
  std::string FieldName;  // a field reference's field
  std::string Table;      // its table name or alias; empty when unqualified
  TETblValue Value;       // a constant's value
  int Operator = opNone;
  std::unique_ptr<TETblExprNode> Left, Right;  // a unary operator uses Left

  TETblExprNode() = default;
  TETblExprNode(const TETblExprNode&) = delete;
  TETblExprNode& operator=(const TETblExprNode&) = delete;
  // Frees the subtree without recursion: a chain of ANDs or ORs is as long
  // as the statement that holds it.
  ~TETblExprNode();

  static std::unique_ptr<TETblExprNode> Field(std::string table, std::string name);
  static std::unique_ptr<TETblExprNode> Constant(TETblValue value);
  static std::unique_ptr<TETblExprNode> Operation(int op, std::unique_ptr<TETblExprNode> left,
                                                  std::unique_ptr<TETblExprNode> right = nullptr);
};

// Whether the node is an operator node of `op`.
inline bool IsOperator(const TETblExprNode& node, int op) {
  return node.Kind == TETblExprNode::nkOperator && node.Operator == op;
}

// One of =, <>, >, <, >=, <=.
inline bool IsComparison(int op) { return op >= opEqual && op <= opLessOrEqual; }

}  // namespace norvane

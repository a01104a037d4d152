// The rewriting of a parsed SQL condition (WHERE, ON) for query execution:
// select-list pseudonyms resolved, equalities between two operators taken
// out as join keys, and every other top-level conjunct written in the
// dataset filter language and set as the filter of the operator that holds
// all of its fields. A condition is never evaluated here, only rewritten.
//
// The functions take the tree by its owning pointer, since removing a
// conjunct can replace the root or empty the tree. They walk the tree
// without recursion where it can be long (a chain of thousands of ANDs) and
// recurse only as deep as the parser lets parentheses and NOTs nest.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/query/condition_target.h"
#include "engine/query/condition_tree.h"
#include "engine/query/select_list_item.h"

namespace norvane {

// Gives each unqualified field reference whose name equals an item's
// pseudonym (without case) that item's table and field name; the first such
// item wins. A qualified reference names a column of a table and is left
// alone. Nothing changes when the select list is "*" (`selectAll`).
void ReplaceAliases(TETblExprNode* root, const std::vector<TETblSelectListItem>& selectList, bool selectAll);

// The top-level conjuncts, in the order written: the nodes that are not AND
// nodes, reached from the root through AND nodes only, operands in order.
// Empty for an empty tree.
std::vector<TETblExprNode*> TopLevelConjuncts(TETblExprNode* root);

// Frees `conjunct`, one of TopLevelConjuncts(root.get()), and its AND
// parent; the sibling takes the parent's place. The whole condition leaves
// the tree empty. Other conjuncts stay where they are in memory.
void RemoveConjunct(std::unique_ptr<TETblExprNode>& root, TETblExprNode* conjunct);
// The same, but the conjunct is given to the caller.
std::unique_ptr<TETblExprNode> TakeConjunct(std::unique_ptr<TETblExprNode>& root, TETblExprNode* conjunct);

// Takes out of the tree every conjunct "field = field" whose two references
// each match exactly one column of `left` and `right` together, in
// different operators, and appends its (table, field) pairs as written,
// first operand to `leftKeys` and second to `rightKeys`. Returns how many
// were taken. A reference of such a conjunct matching more than one column
// throws ETblException 1054 (first operand) or 1055 (second operand),
// "Ambiguous field reference to '%s'", before anything is taken.
int ExtractJoinPairs(std::unique_ptr<TETblExprNode>& root, TConditionTarget& left, TConditionTarget& right,
                     TETblFields& leftKeys, TETblFields& rightKeys);

// Sets the conjuncts that fit `target` as its filter and takes them out of
// the tree; a conjunct that compares two fields goes to the first operator
// that tests rows (a join) instead. Into an inner (or cross) join's inputs first, left then right,
// but not into an outer join's, whose inputs must keep their unmatched
// rows. A conjunct fits an operator when each of its field references
// matches a column there. The texts are joined with " AND " and added with
// " AND " to a filter the operator already has; the filter is set without
// partial compare, so that SQL equality of strings is whole-value. Throws
// what FilterText throws.
void PushDown(std::unique_ptr<TETblExprNode>& root, TConditionTarget& target);

// PushDown onto the whole operator tree of a condition. A conjunct that
// still remains names a field that no column answers to: ETblException 1052
// "Field '%s' not found" with the first such reference, rather than a
// condition quietly lost and every row returned; or compares two fields of
// a single table, which no join is there to test: EEngineError "Two fields
// of one table cannot be compared: " and the condition.
void PushDownAll(std::unique_ptr<TETblExprNode>& root, TConditionTarget& target);

// `node` written in the filter language over the columns of `target`,
// reading back as the same tree: fields as "[" + column + "]", comparisons
// as "(" + left op right + ") AND (" + left + " IS NOT NULL)" so that NULL
// never satisfies one, OR operands parenthesised under AND and NOT, AND
// operands under NOT. Integers are decimal, floats the shortest fixed text
// that reads back to the same double, strings single-quoted with inner
// quotes doubled. Throws ETblException 1052 "Field '%s' not found" for a
// reference that matches no column, 1053 "Operator with code=%d is not
// supported" for an operator without filter text, and EEngineError for a
// constant that is not an integer, a float or a string.
std::string FilterText(const TETblExprNode& node, TConditionTarget& target);

}  // namespace norvane

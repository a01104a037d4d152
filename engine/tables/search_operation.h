// The items of a parsed dataset filter, kept in the order they were written:
// conditions on one field each, and the not, and, or and parentheses that
// combine them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvane {

// FilterOptions bits. Without foNoPartialCompare a quoted text compares
// only as many characters as it has.
enum TFilterOption : uint8_t {
  foCaseInsensitive = 1 << 0,
  foNoPartialCompare = 1 << 1,
};

enum TSearchKind : uint8_t { skCondition, skNot, skAnd, skOr, skOpen, skClose };

enum TSearchOperator : uint8_t {
  soEqual, soNotEqual, soLessOrEqual, soGreaterOrEqual, soLess, soGreater,
  soLike, soNotLike, soIsNull, soIsNotNull
};

struct TSearchOperation {
  TSearchKind Kind = skCondition;
  int32_t FieldNo = 0;  // -1: the row identifier
  std::string FieldName;
  TSearchOperator Operator = soEqual;
  bool Partial = false;
  // The given value: a record image of the table with the value in the
  // field's place (its null bit set for no value), and the value's null
  // flag, which also covers the row identifier.
  std::vector<uint8_t> Value;
  bool Null = false;
  // A text longer than its field holds, whole: Value keeps what fits, but
  // records are compared with all of it, and never through an index.
  std::string LongText;
  // The pattern of "like" and "not like", as written.
  std::string Pattern;
};

using TSearchOperations = std::vector<TSearchOperation>;

}  // namespace norvane

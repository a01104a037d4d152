// The dataset filter language: its parser, which turns a filter text into
// operations against one open table, and their evaluation, for the whole
// table at once or for one record.
//
// filter := or-term, then the end of the text (one last character left
// over is ignored); or-term := and-term { "or" and-term }; and-term :=
// factor { "and" factor }; factor := "not" factor | "(" or-term ")" |
// condition; condition := field operator [value]; field := "[" name "]" |
// letters, digits and "_"; operator := = <> <= >= < > like "not like"
// "is null" "is not null"; value := a text in '' or "" (a quote doubled
// stands for itself) | true | false | a number. Words ignore case and end
// at a word boundary, so a field named "notes" is not "not es". Syntax
// errors are plain EEngineErrors with the language's fixed messages.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/record_set.h"
#include "engine/tables/search_operation.h"

namespace norvane {

class TDeziDataManager;

// Deeper nesting of parentheses and "not" is refused with a message rather
// than run out of stack.
constexpr int kMaxFilterDepth = 200;

class TSearchParser {
 public:
  // Parses `text` for the open `table`, which must outlive the operations,
  // with these FilterOptions; blank text gives no operations. A failure
  // keeps the operations parsed before.
  void SetExpression(TDeziDataManager& table, const std::string& text, uint8_t options);
  void Clear();
  bool Empty() const { return operations_.empty(); }
  const std::string& Expression() const { return expression_; }
  uint8_t Options() const { return options_; }
  const TSearchOperations& Operations() const { return operations_; }

  // The records of the whole table that pass; "TSearchParser.Parse -
  // Expression is blank." without operations.
  TRecordSet EvaluateAll() const;
  // Whether one record image passes; "and" and "or" stop once the result
  // is known.
  bool EvaluateRecord(const uint8_t* record) const;

 private:
  class TReader;
  class TSetEvaluator;
  class TRecordEvaluator;

  TDeziDataManager* table_ = nullptr;
  std::string expression_;
  uint8_t options_ = 0;
  TSearchOperations operations_;
};

}  // namespace norvane

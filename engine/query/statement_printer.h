// Parse trees as text, one line per node with its children indented by two
// blanks under it: what the statement tests compare and what an explain
// shows. Conditions are one S-expression, "(AND (= a int:1) (LIKE b 'x%'))":
// operators by their SQL text, fields as table.field, constants as int:,
// float: (shortest exact text) and quoted text.
#pragma once

#include <string>

#include "engine/query/condition_tree.h"
#include "engine/query/sql_command.h"

namespace norvane {

class TTreeWriter {
 public:
  void Line(const std::string& text);
  // Lines written until the matching Leave are children of the last line.
  void Enter() { ++depth_; }
  void Leave() { --depth_; }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  int depth_ = 0;
};

std::string PrintCondition(const TETblExprNode* node);
// The statement's tree, each line ended by "\n".
std::string PrintStatement(const TDeziSQLCommand& command);

}  // namespace norvane

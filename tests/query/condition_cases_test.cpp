// The condition parser against cases/conditions.txt: each case is a name
// ("=== name"), the text after "WHERE", "---", and the tree as an
// S-expression (operators by their SQL text, fields as table.field,
// constants as int:, float: and 'text'), followed by the first token left
// unparsed when there is one; or "error: " and the exact message.
#include <gtest/gtest.h>

#include "engine/query/condition_parser.h"
#include "engine/query/statement_printer.h"
#include "tests/query/case_file.h"

namespace norvane {
namespace {

std::string Parsed(const std::string& condition) {
  try {
    TDeziLexer lexer("WHERE " + condition, nullptr);
    lexer.NextCommand();
    TToken token;
    lexer.NextToken(token);  // past WHERE
    TETblExpression expression(lexer);
    expression.Parse();
    return PrintCondition(expression.Root()) + "\n";
  } catch (const std::exception& error) {
    return std::string("error: ") + error.what() + "\n";
  }
}

class ConditionCases : public ::testing::TestWithParam<testing::TCaseBlock> {};

TEST_P(ConditionCases, ParseAsWritten) {
  std::string text;
  for (const std::string& line : GetParam().Input) text += (text.empty() ? "" : "\n") + line;
  EXPECT_EQ(Parsed(text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(File, ConditionCases, ::testing::ValuesIn(testing::ReadCaseFile("conditions.txt")),
                         testing::TCaseName());

// Deep nesting is refused with a message, not a crash.
TEST(Conditions, DeepNestingIsRefused) {
  for (const std::string open : {"(", "NOT "}) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += open;
    text += "a = 1";
    if (open == "(") text += std::string(100000, ')');
    EXPECT_NE(Parsed(text).find("nested deeper than"), std::string::npos) << open;
  }
  std::string fine;
  for (int i = 0; i < 100; ++i) fine += "(";
  EXPECT_EQ(Parsed(fine + "a = 1" + std::string(100, ')')), "(= a int:1)\n");
}

}  // namespace
}  // namespace norvane

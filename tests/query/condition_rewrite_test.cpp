// The condition rewriting against cases/pushdown.txt, over fake operators.
// A case's input lines are an optional "select" list, a "from" list, an
// optional "on" condition and a "where" condition; "---", then the join key
// pairs taken ("pair: left = right") and the filter of every operator that
// got one, in the order the operators were made ("Article: text"); or
// "error: " and the exact message.
//
// The FROM list names tables with an optional alias, separated by "," (a
// join whose keys come from the WHERE condition), "join" or "left join" (an
// inner or outer join whose keys come from the ON condition, the rest of
// which is then pushed onto the join). The WHERE condition is pushed onto
// the whole tree last. A join's columns are its left input's and then its
// right input's, a repeated name getting "_1".
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "engine/protection/collation.h"
#include "engine/query/condition_parser.h"
#include "engine/query/condition_rewrite.h"
#include "engine/query/statement_printer.h"
#include "tests/query/case_file.h"

namespace norvane {
namespace {

const std::map<std::string, std::vector<std::string>> kTables = {
    {"Article", {"Year", "IDRazdel", "ArticleName", "NN", "Page", "IDJournal", "ID", "Date Public", "notes"}},
    {"Razdel", {"IDRazdel", "Razdel"}},
    {"Journal", {"IDJournal", "Journal"}},
};

struct TFakeColumn {
  std::string Table, Alias, Field, Name;
};

bool SameName(const std::string& a, const std::string& b) { return CollateCompareCI(a.c_str(), b.c_str()) == 0; }

class TFakeOperator : public TConditionTarget {
 public:
  std::string Label;
  std::vector<TFakeColumn> Columns;
  TFakeOperator* Left = nullptr;
  TFakeOperator* Right = nullptr;
  bool Outer = false;
  std::string FilterText;
  uint8_t Options = 0;

  int CountColumns(const std::string& table, const std::string& field) override {
    int count = 0;
    for (const TFakeColumn& column : Columns) count += Answers(column, table, field);
    return count;
  }
  std::string ColumnName(const std::string& table, const std::string& field) override {
    for (const TFakeColumn& column : Columns)
      if (Answers(column, table, field)) return column.Name;
    ADD_FAILURE() << "ColumnName of " << table << "." << field << " that " << Label << " does not hold";
    return "";
  }
  bool IsJoin() const override { return Left != nullptr; }
  bool IsOuterJoin() const override { return Outer; }
  TConditionTarget* JoinLeft() override { return Left; }
  TConditionTarget* JoinRight() override { return Right; }
  std::string Filter() const override { return FilterText; }
  void SetFilter(const std::string& text, uint8_t options) override {
    FilterText = text;
    Options = options;
  }
  bool TestsRows() const override { return IsJoin(); }
  void AddRowCondition(std::unique_ptr<TETblExprNode> condition) override {
    if (!IsJoin()) TConditionTarget::AddRowCondition(std::move(condition));  // refuses
    RowTests.push_back(PrintCondition(condition.get()));
  }
  std::vector<std::string> RowTests;

 private:
  static bool Answers(const TFakeColumn& column, const std::string& table, const std::string& field) {
    return SameName(column.Field, field) &&
           (table.empty() || SameName(column.Table, table) || (!column.Alias.empty() && SameName(column.Alias, table)));
  }
};

using TOperators = std::vector<std::unique_ptr<TFakeOperator>>;

TFakeOperator* AddTable(TOperators& operators, const std::string& name, const std::string& alias) {
  auto table = std::make_unique<TFakeOperator>();
  table->Label = name;
  for (const std::string& field : kTables.at(name)) table->Columns.push_back({name, alias, field, field});
  operators.push_back(std::move(table));
  return operators.back().get();
}

TFakeOperator* AddJoin(TOperators& operators, TFakeOperator* left, TFakeOperator* right, bool outer) {
  auto join = std::make_unique<TFakeOperator>();
  join->Label = std::string(outer ? "left join(" : "join(") + left->Label + ", " + right->Label + ")";
  join->Left = left;
  join->Right = right;
  join->Outer = outer;
  join->Columns = left->Columns;
  for (TFakeColumn column : right->Columns) {
    for (const TFakeColumn& held : left->Columns)
      if (SameName(held.Name, column.Name)) column.Name += "_1";
    join->Columns.push_back(column);
  }
  operators.push_back(std::move(join));
  return operators.back().get();
}

std::unique_ptr<TETblExprNode> Parsed(const std::string& text) {
  if (text.empty()) return nullptr;
  TDeziLexer lexer("WHERE " + text, nullptr);
  lexer.NextCommand();
  TToken token;
  lexer.NextToken(token);
  TETblExpression expression(lexer);
  expression.Parse();
  return expression.TakeRoot();
}

// Items "[table.]field [AS pseudonym]" or "table.*" apart by ","; a field
// name may hold blanks, as a quoted name in SQL does.
std::vector<TETblSelectListItem> SelectList(const std::string& text) {
  std::vector<TETblSelectListItem> items;
  std::stringstream list(text);
  for (std::string item; std::getline(list, item, ',');) {
    item = item.substr(item.find_first_not_of(' '));
    TETblSelectListItem& added = items.emplace_back();
    const size_t as = item.find(" AS ");
    if (as != std::string::npos) added.Pseudonym = item.substr(as + 4);
    const std::string column = item.substr(0, as);
    const size_t dot = column.find('.');
    if (dot != std::string::npos) added.Table = column.substr(0, dot);
    added.FieldName = column.substr(dot == std::string::npos ? 0 : dot + 1);
    added.AllColumns = added.FieldName == "*";
  }
  return items;
}

std::string Reference(const TETblFieldRef& ref) {
  return ref.Table.empty() ? ref.FieldName : ref.Table + "." + ref.FieldName;
}

// The FROM list's words, "," apart from the names.
std::vector<std::string> FromWords(std::string text) {
  for (size_t comma = 0; (comma = text.find(',', comma)) != std::string::npos; comma += 3)
    text.replace(comma, 1, " , ");
  std::stringstream from(text);
  std::vector<std::string> words;
  for (std::string word; from >> word;) words.push_back(word);
  return words;
}

// Builds the operator tree of the FROM list as the planner will: each table
// joined on to the tree so far, its key pairs taken from the WHERE ("," ) or
// ON condition (joins), the ON condition's rest pushed onto the join. The
// pairs taken are written to `out`.
TFakeOperator* BuildFrom(const std::string& text, TOperators& operators, std::unique_ptr<TETblExprNode>& where,
                         std::unique_ptr<TETblExprNode>& on, std::string& out) {
  const std::vector<std::string> words = FromWords(text);
  TFakeOperator* tree = nullptr;
  for (size_t i = 0; i < words.size();) {
    std::string joint;
    if (tree) {
      joint = words[i] == "left" ? "left join" : words[i];
      i += joint == "left join" ? 2 : 1;
    }
    const std::string name = words[i++];
    const bool aliased = i < words.size() && words[i] != "," && words[i] != "join" && words[i] != "left";
    TFakeOperator* table = AddTable(operators, name, aliased ? words[i++] : "");
    if (!tree) {
      tree = table;
      continue;
    }
    TETblFields leftKeys, rightKeys;
    const int pairs = ExtractJoinPairs(joint == "," ? where : on, *tree, *table, leftKeys, rightKeys);
    EXPECT_EQ(pairs, static_cast<int>(leftKeys.size()));
    for (size_t k = 0; k < leftKeys.size(); ++k)
      out += "pair: " + Reference(leftKeys[k]) + " = " + Reference(rightKeys[k]) + "\n";
    tree = AddJoin(operators, tree, table, joint == "left join");
    if (joint != ",") PushDownAll(on, *tree);
  }
  return tree;
}

std::string Rewritten(const std::map<std::string, std::string>& clauses) {
  const auto clause = [&](const char* name) { return clauses.count(name) ? clauses.at(name) : std::string(); };
  std::string out;
  try {
    std::unique_ptr<TETblExprNode> where = Parsed(clause("where")), on = Parsed(clause("on"));
    const std::vector<TETblSelectListItem> select = SelectList(clause("select"));
    const bool selectAll = select.empty() || (select.size() == 1 && select[0].AllColumns && select[0].Table.empty());
    ReplaceAliases(where.get(), select, selectAll);
    ReplaceAliases(on.get(), select, selectAll);
    TOperators operators;
    PushDownAll(where, *BuildFrom(clause("from"), operators, where, on, out));
    EXPECT_EQ(where, nullptr) << "a conjunct left in the tree";
    for (const auto& op : operators) {
      for (const std::string& test : op->RowTests) out += op->Label + " rows: " + test + "\n";
      if (op->FilterText.empty()) continue;
      EXPECT_EQ(op->Options, foNoPartialCompare) << op->Label;
      out += op->Label + ": " + op->FilterText + "\n";
    }
  } catch (const std::exception& error) {
    out += std::string("error: ") + error.what() + "\n";
  }
  return out;
}

class PushdownCases : public ::testing::TestWithParam<testing::TCaseBlock> {};

TEST_P(PushdownCases, RewriteAsExpected) {
  std::map<std::string, std::string> clauses;
  for (const std::string& line : GetParam().Input) {
    const size_t blank = line.find(' ');
    clauses[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
  }
  EXPECT_EQ(Rewritten(clauses), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(File, PushdownCases, ::testing::ValuesIn(testing::ReadCaseFile("pushdown.txt")),
                         testing::TCaseName());

// Trees no SQL text gives, and chains longer than a recursive walk would
// survive, pushed onto Article alone: its filter, or the error.
std::string Repeated(const std::string& piece, const std::string& joint, int count) {
  std::string text = piece;
  for (int i = 1; i < count; ++i) text += joint + piece;
  return text;
}

std::unique_ptr<TETblExprNode> YearIs(TETblValue constant, int op = opEqual) {
  return TETblExprNode::Operation(op, TETblExprNode::Field("", "Year"), TETblExprNode::Constant(std::move(constant)));
}

struct TBuiltCase {
  const char* Name;
  std::function<std::unique_ptr<TETblExprNode>()> Build;
  std::string Expected;
};

constexpr int kLong = 50000;
const std::string kYearIsOne = "([Year]=1) AND ([Year] IS NOT NULL)";

const TBuiltCase kBuilt[] = {
    {"an operator without filter text", [] { return YearIs(TETblValue::Integer(1), 11); },
     "error: Operator with code=11 is not supported - Native error: 01053"},
    {"a date constant",
     [] {
       const uint8_t day[4] = {1, 2, 3, 0};
       return YearIs(TETblValue::Copy(ftDate, day, 4));
     },
     "error: A constant of field type 9 has no filter text"},
    {"a null constant", [] { return YearIs(TETblValue()); },
     "error: A constant of field type 1 without a value has no filter text"},
    {"the largest and the smallest double", [] {
       return TETblExprNode::Operation(opAnd, YearIs(TETblValue::Float(-1.7976931348623157e308), opGreater),
                                       YearIs(TETblValue::Float(5e-324), opLess));
     },
     // The largest is an integer, written with all its digits.
     "([Year]>-"
     "1797693134862315708145274237317043567980705675258449965989174768031572607800285387605895586327668781"
     "7154045895351438246423432132688946418276846754670353751698604991057655128207624549009038932894407586"
     "8508455133942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184"
     "124858368"
     ") AND ([Year] IS NOT NULL) AND ([Year]<0." + std::string(323, '0') + "5) AND ([Year] IS NOT NULL)"},
    {"a long AND chain", [] { return Parsed(Repeated("Year = 1", " AND ", kLong)); },
     Repeated(kYearIsOne, " AND ", kLong)},
    {"a long OR chain", [] { return Parsed(Repeated("Year = 1", " OR ", kLong)); },
     "(" + Repeated(kYearIsOne, " OR ", kLong) + ")"},
};

TEST(PushdownBuilt, FilterOrError) {
  for (const TBuiltCase& c : kBuilt) {
    TOperators operators;
    TFakeOperator* article = AddTable(operators, "Article", "");
    std::string got;
    try {
      std::unique_ptr<TETblExprNode> root = c.Build();
      PushDownAll(root, *article);
      got = article->FilterText;
    } catch (const std::exception& error) {
      got = std::string("error: ") + error.what();
    }
    EXPECT_EQ(got, c.Expected) << c.Name;
  }
}

}  // namespace
}  // namespace norvane

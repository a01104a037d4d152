// SQL conditions end to end on one table: parsed, pushed down as the
// table's dataset filter, and the records it shows. What a WHERE clause
// means for records (nulls, whole-value text equality, grouping, LIKE) is
// decided here, by the filter the rewriting writes.
#include <gtest/gtest.h>

#include "engine/query/condition_parser.h"
#include "engine/query/condition_rewrite.h"
#include "engine/platform/file_system.h"
#include "tests/query/filter_catalogue.h"

namespace norvane {
namespace {

// A table read as the condition rewriting sees an operator.
class TTableTarget : public TConditionTarget {
 public:
  explicit TTableTarget(TDeziTable& table) : table_(table) {}
  int CountColumns(const std::string& table, const std::string& field) override {
    if (!table.empty() && !SameNameIgnoringCase(table, table_.TableName())) return 0;
    return table_.FindField(field) != nullptr ? 1 : 0;
  }
  std::string ColumnName(const std::string&, const std::string& field) override {
    return table_.FindField(field)->FieldName();
  }
  bool IsJoin() const override { return false; }
  bool IsOuterJoin() const override { return false; }
  TConditionTarget* JoinLeft() override { return nullptr; }
  TConditionTarget* JoinRight() override { return nullptr; }
  std::string Filter() const override { return table_.Filtered() ? table_.Filter() : ""; }
  void SetFilter(const std::string& text, uint8_t options) override {
    table_.SetFilterOptions(options);
    table_.SetFilter(text);
    table_.SetFiltered(true);
  }

 private:
  TDeziTable& table_;
};

std::string Selected(TDeziTable& table, const std::string& where) {
  try {
    TDeziLexer lexer("SELECT * FROM Article WHERE " + where, nullptr);
    lexer.NextCommand();
    TToken token;
    for (int i = 0; i < 5; ++i) lexer.NextToken(token);  // up to WHERE
    TETblExpression expression(lexer);
    expression.Parse();
    std::unique_ptr<TETblExprNode> root = expression.TakeRoot();
    TTableTarget target(table);
    table.SetFiltered(false);
    PushDownAll(root, target);
    std::string ids;
    for (table.First(); !table.Eof(); table.Next()) ids += (ids.empty() ? "" : " ") + table.FieldByName("ID").AsString();
    return ids;
  } catch (const std::exception& error) {
    return std::string("error: ") + error.what();
  }
}

TEST(SqlConditions, SelectTheRecordsTheirFilterShows) {
  testing::TCatalogue catalogue;
  auto article = catalogue.Open("Article");
  const struct { const char* where; const char* ids; } kCases[] = {
      {"Year = 2004", "1 2"},
      {"Year <> 2004", "3 5 6"},  // a null satisfies no comparison
      {"NOT Year = 2004", "3 5 6"},
      {"Year < 2005", "1 2 5"},
      {"Page = '1'", "1"},  // text is equal only when whole
      {"ArticleName = 'Al'", ""},
      {"ArticleName = 'O''Brien'", "6"},
      {"Year = 2004 AND (NN = 3 OR IDJournal = 7)", "1 2"},
      {"IDRazdel = 1 OR Year = 2003", "1 3 5"},
      {"NOT (IDRazdel = 1 OR Year = 2003)", "2 6"},  // 4's null year leaves its OR unknown
      {"ArticleName LIKE '%a' AND NOT ArticleName LIKE 'a%'", "1 2 3 5"},
      {"Page IS NULL AND NN >= 3", "3 6"},
      {"Page IS NOT NULL", "1 2"},
      {"(Year = 2004) IS FALSE", "3 5 6"},
      {"Year = -5", ""},
      {"Article.Year = 2005 AND article.NN = 31", "3"},
      {"Nothing = 1 AND Year = 2005", "error: Field 'Nothing' not found - Native error: 01052"},
      {"Razdel.Year = 2005", "error: Field 'Razdel.Year' not found - Native error: 01052"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Selected(*article, c.where), c.ids) << c.where;
}

}  // namespace
}  // namespace norvane

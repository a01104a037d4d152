// SELECT: one block over tables and joins with WHERE and ORDER BY, parsed
// into its select list, INTO target, FROM references and sort. DELETE and
// UPDATE are rewritten into one and parsed by it too.
//
// select := SELECT [ALL | DISTINCT] ("*" | item {"," item}) [INTO [db "."]
// table] FROM table-ref {"," table-ref} [WHERE condition] [ORDER BY sort
// {"," sort}]. A table-ref takes at most one join clause directly, so a
// chain of joins is written with parentheses. Errors are ETblException 1004
// to 1058 with the offending token; no token may follow the statement (1007).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/query/select_list_item.h"
#include "engine/query/sql_command.h"

namespace norvane {

class TDeziAO;
class TDeziTable;
class TSQLQueryContext;

enum TETblJoinType : int { jtCross = 0, jtInner = 1, jtLeft = 3, jtRight = 4, jtFull = 5 };

struct TETblTableReference {
  enum TKind { rkTable = 0, rkJoin = 1 };

  TKind Kind = rkTable;
  std::string Database;   // another database's name, empty for the query's own
  std::string TableName;  // a join keeps its left input's table name here
  std::string Alias;
  std::string Password;
  bool Natural = false;
  int JoinType = jtInner;
  std::unique_ptr<TETblTableReference> Left, Right;  // a join's inputs
  std::vector<std::string> Using;
  std::unique_ptr<TETblExprNode> On;
};

struct TETblSortSpecification {
  std::string Table;
  std::string FieldName;
  bool Descending = false;
};

class TDeziSQLSelect : public TDeziSQLCommand {
 public:
  explicit TDeziSQLSelect(TDeziLexer& lexer);
  ~TDeziSQLSelect() override;
  void Parse() override;
  void Print(TTreeWriter& out) const override;

  // The operator tree over `context`'s database: a table read per
  // reference, joins on the key pairs of ON, USING, NATURAL or WHERE, the
  // rest of WHERE set as filters, the projection and ORDER BY. Planning
  // takes the WHERE condition apart, so a statement is planned once.
  std::unique_ptr<TDeziAO> BuildPlan(TSQLQueryContext& context);
  // Plans and opens the statement; its rows are then Result()'s. -1.
  int64_t Execute(TSQLQueryContext& context) override;
  // The dataset that shows the rows: the stored table's cursor for one
  // table, the joined rows' in-memory table otherwise. Null before Execute.
  TDeziTable* Result() const;
  // Frees the operator tree and its cursors, so that a later statement of
  // the script may change or drop the tables it read.
  void Close();

  bool Distinct = false;
  bool SelectAll = false;  // "SELECT *"
  std::vector<TETblSelectListItem> SelectList;
  std::string IntoDatabase, IntoTable;  // INTO, when IntoTable is not empty
  std::vector<std::unique_ptr<TETblTableReference>> From;
  std::unique_ptr<TETblExprNode> Where;
  std::vector<TETblSortSpecification> OrderBy;

 private:
  void ParseSelectList();
  bool ParseItem();
  void ParseInto();
  void ParseFrom();
  std::unique_ptr<TETblTableReference> ParseTableRef(int depth);
  std::unique_ptr<TETblTableReference> ParseJoin(std::unique_ptr<TETblTableReference> left, int depth);
  void ParseUsing(TETblTableReference& join);
  void ParseWhere();
  void ParseOrderBy();
  bool AtJoinKeyword() const;
  // `underOuter`: an outer join lies above, whose padded rows a WHERE
  // equality must filter, so none becomes a key of an inner join below it.
  std::unique_ptr<TDeziAO> BuildReference(TETblTableReference& ref, TSQLQueryContext& context, bool underOuter);
  void CopyInto(TSQLQueryContext& context);

  std::unique_ptr<TDeziAO> root_;
  // The names the FROM clause gives its tables: each alias, and the name
  // of each table used without one.
  std::vector<std::string> exposedNames_;
};

}  // namespace norvane

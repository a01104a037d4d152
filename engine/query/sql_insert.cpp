// Parsing INSERT.
#include "engine/query/sql_insert.h"

#include "engine/tables/tbl_exception.h"

namespace norvane {

void TDeziSQLInsert::Parse() {
  Start();
  Require();
  if (!AtWord("INTO")) Fail(2071);
  Require();
  if (!AtNameToken()) Fail(2072);
  CheckNameLength(kMaxSqlTableName);
  TableName = Token().Text;
  Require();
  if (AtWord("PASSWORD")) {
    Require();
    if (!AtQuoted()) Fail(2080);
    Password = Token().Text;
    Require();
  }
  if (AtLeft()) {
    for (TSQLLiteral& column : ParseList()) Columns.push_back(std::move(column.Text));
    NeedToken();
  }
  const TToken values = Token();
  if (AtWord("VALUES")) {
    Require();
    if (!AtLeft()) Fail(2077);
    Values = ParseList();
  } else if (AtWord("SELECT")) {
    Select = std::make_unique<TDeziSQLSelect>(Lexer());
    Select->Parse();
    Restore(Lexer().TokenPosition());
  }
  if (!AtEnd()) Fail(2068);
  // Values beyond the named columns would land in whatever fields follow.
  if (!Columns.empty() && !Select && Columns.size() != Values.size())
    throw ETblException(2090, {static_cast<int64_t>(Columns.size()), static_cast<int64_t>(Values.size()),
                               int64_t{values.Line}, int64_t{values.Column}});
}

std::vector<TSQLLiteral> TDeziSQLInsert::ParseList() {
  std::vector<TSQLLiteral> elements;
  Require();
  for (;;) {
    elements.push_back(TakeLiteral());
    NeedToken();
    if (AtRight()) break;
    if (!AtComma()) Fail(2074);
    Require();
  }
  Advance();
  return elements;
}

}  // namespace norvane

// Parsing SELECT.
#include "engine/query/sql_select.h"

#include "engine/platform/file_system.h"
#include "engine/query/condition_rewrite.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

void TDeziSQLSelect::Parse() {
  if (!Start()) throw ETblException(1004);
  if (!AtWord("SELECT")) Fail(1005);
  Require();
  if (AtWord("ALL") || AtWord("DISTINCT")) {
    Distinct = AtWord("DISTINCT");
    Require();
  }
  ParseSelectList();
  ParseInto();
  ParseFrom();
  ParseWhere();
  ParseOrderBy();
  if (!AtEnd()) Fail(1007);
}

void TDeziSQLSelect::ParseSelectList() {
  if (AtWordToken() && AtText("*")) {
    SelectAll = true;
    Advance();
    return;
  }
  if (!ParseItem()) Fail(1017);
  while (AtComma()) {
    Require();
    if (!AtNameToken()) Fail(1011);
    if (!ParseItem()) Fail(1021);
  }
}

// item := (word | reserved word) ["." (name-token | "*")] [AS word | word].
// A reserved word after the item is no pseudonym: FROM ends the list.
bool TDeziSQLSelect::ParseItem() {
  if (!AtWordToken() && !AtReserved()) return false;
  TETblSelectListItem item;
  item.FieldName = Token().Text;
  Advance();
  if (AtDot()) {
    Require();
    item.Table = item.FieldName;
    if (!AtNameToken()) Fail(1009);
    item.FieldName = Token().Text;
    item.AllColumns = AtWordToken() && item.FieldName == "*";
    Advance();
  } else {
    // "a, *": all columns, as the first item's "*" would be.
    item.AllColumns = item.FieldName == "*";
  }
  if (item.AllColumns) {
    item.FieldName.clear();
  } else if (AtWord("AS")) {
    Require();
    if (!AtWordToken()) Fail(1010);
    item.Pseudonym = Token().Text;
    Advance();
  } else if (AtWordToken()) {
    item.Pseudonym = Token().Text;
    Advance();
  }
  SelectList.push_back(std::move(item));
  return true;
}

void TDeziSQLSelect::ParseInto() {
  if (!AtWord("INTO")) return;
  Require();
  if (!AtWordOrQuoted()) Fail(1012);
  IntoTable = Token().Text;
  Advance();
  if (!AtDot()) return;
  Require();
  if (!AtWordOrQuoted()) Fail(1012);
  IntoDatabase = IntoTable;
  IntoTable = Token().Text;
  Advance();
}

void TDeziSQLSelect::ParseFrom() {
  NeedToken();
  if (!AtWord("FROM")) Fail(1014);
  Require();
  if (!AtWordOrQuoted() && !AtLeft()) Fail(1015);
  From.push_back(ParseTableRef(0));
  while (AtComma()) {
    Require();
    if (!AtWordOrQuoted()) Fail(1016);
    From.push_back(ParseTableRef(0));
  }
}

// table-ref := (word | quoted) ["." (word | quoted)] [AS (word | quoted) |
// word] [PASSWORD quoted] [join] | "(" table-ref [")"] [join]; the caller
// has checked the first token.
std::unique_ptr<TETblTableReference> TDeziSQLSelect::ParseTableRef(int depth) {
  CheckDepth(depth, "Table reference");
  std::unique_ptr<TETblTableReference> ref;
  if (AtLeft()) {
    Require();
    if (!AtWordOrQuoted() && !AtLeft()) Fail(1022);
    ref = ParseTableRef(depth + 1);
    if (AtRight()) Advance();
  } else {
    ref = std::make_unique<TETblTableReference>();
    CheckNameLength(kMaxSqlTableName);
    ref->TableName = Token().Text;
    Advance();
    if (AtDot()) {
      Require();
      if (!AtWordOrQuoted()) Fail(1015);
      CheckNameLength(kMaxSqlTableName);
      ref->Database = ref->TableName;
      ref->TableName = Token().Text;
      Advance();
    }
    if (AtWord("AS")) {
      Require();
      if (!AtWordOrQuoted()) Fail(1018);
      ref->Alias = Token().Text;
      Advance();
    } else if (AtWordToken()) {
      ref->Alias = Token().Text;
      Advance();
    }
    if (AtWord("PASSWORD")) {
      Require();
      if (!AtQuoted()) Fail(1058);
      ref->Password = Token().Text;
      Advance();
    }
  }
  if (AtJoinKeyword()) return ParseJoin(std::move(ref), depth);
  return ref;
}

bool TDeziSQLSelect::AtJoinKeyword() const {
  for (const char* word : {"CROSS", "NATURAL", "INNER", "LEFT", "RIGHT", "FULL", "JOIN"})
    if (AtWord(word)) return true;
  return false;
}

// join := [CROSS | [NATURAL] [INNER | LEFT | RIGHT | FULL]] [OUTER] JOIN
// table-ref [ON condition | USING "(" names ")"]. Each keyword must be
// followed by another reserved word; the table after JOIN is parsed by the
// same rule, so it may be parenthesised and hold joins of its own.
std::unique_ptr<TETblTableReference> TDeziSQLSelect::ParseJoin(std::unique_ptr<TETblTableReference> left,
                                                               int depth) {
  auto join = std::make_unique<TETblTableReference>();
  join->Kind = TETblTableReference::rkJoin;
  const auto keyword = [this](int32_t code) {
    Require();
    if (!AtReserved()) Fail(code);
  };
  if (AtWord("CROSS")) {
    join->JoinType = jtCross;
    keyword(1026);
  } else {
    if (AtWord("NATURAL")) {
      join->Natural = true;
      keyword(1025);
    }
    struct TKind {
      const char* word;
      int type;
      int32_t code;
    };
    for (const TKind& kind : {TKind{"INNER", jtInner, 1027}, TKind{"LEFT", jtLeft, 1028},
                              TKind{"RIGHT", jtRight, 1029}, TKind{"FULL", jtFull, 1030}}) {
      if (!AtWord(kind.word)) continue;
      join->JoinType = kind.type;
      keyword(kind.code);
      break;
    }
  }
  if (AtWord("OUTER")) keyword(1031);
  if (!AtWord("JOIN")) FailExpected(1024, "JOIN");
  Require();
  if (!AtWordOrQuoted() && !AtLeft()) Fail(1032);
  join->Right = ParseTableRef(depth + 1);
  join->TableName = left->TableName;
  join->Left = std::move(left);
  if (AtWord("ON")) {
    Advance();
    join->On = TakeCondition();
  } else if (AtWord("USING")) {
    ParseUsing(*join);
  }
  return join;
}

void TDeziSQLSelect::ParseUsing(TETblTableReference& join) {
  Require();
  if (!AtLeft()) FailExpected(1033, "(");
  Require();
  if (!AtWordOrQuoted()) Fail(1036);
  join.Using.push_back(Token().Text);
  Advance();
  while (AtComma()) {
    Require();
    if (!AtWordOrQuoted()) Fail(1034);
    join.Using.push_back(Token().Text);
    Advance();
  }
  if (AtRight()) Advance();
}

void TDeziSQLSelect::ParseWhere() {
  if (!AtWord("WHERE")) return;
  Advance();
  Where = TakeCondition();
  ReplaceAliases(Where.get(), SelectList, SelectAll);
}

// sort := name-token ["." name-token] [ASC | DESC]; a pseudonym of the
// select list stands for its item's field (the last item of that name).
void TDeziSQLSelect::ParseOrderBy() {
  if (!AtWord("ORDER")) return;
  Require();
  if (!AtWord("BY")) FailExpected(1045, "BY");
  Require();
  if (!AtNameToken()) Fail(1049);
  for (;;) {
    TETblSortSpecification sort;
    sort.FieldName = Token().Text;
    Advance();
    if (AtDot()) {
      Require();
      if (!AtNameToken()) Fail(1050);
      sort.Table = sort.FieldName;
      sort.FieldName = Token().Text;
      Advance();
    }
    if (AtWord("DESC") || AtWord("ASC")) {
      sort.Descending = AtWord("DESC");
      Advance();
    }
    const std::string written = sort.FieldName;
    for (const TETblSelectListItem& item : SelectList) {
      if (item.Pseudonym.empty() || !SameNameIgnoringCase(item.Pseudonym, written)) continue;
      sort.FieldName = item.FieldName;
      sort.Table = item.Table;
    }
    OrderBy.push_back(std::move(sort));
    if (!AtComma()) return;
    Require();
    if (!AtNameToken()) Fail(1046);
  }
}

}  // namespace norvane

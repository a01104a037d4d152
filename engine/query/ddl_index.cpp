// Parsing CREATE INDEX and DROP INDEX.
#include "engine/query/ddl_index.h"

namespace norvane {

void TDeziDDLCreateIndex::Parse() {
  Start();
  Require(2001);
  if (AtWord("UNIQUE")) {
    Unique = true;
    Require();
    if (!AtReserved()) Fail(2052);
  }
  if (!AtWord("INDEX")) Fail(2052);
  Require();
  if (!AtNameToken()) Fail(2053);
  CheckNameLength(kMaxSqlIndexName);
  IndexName = Token().Text;
  Require();
  if (!AtWord("ON")) Fail(2054);
  Require();
  if (!AtNameToken()) Fail(2055);
  CheckNameLength(kMaxSqlTableName);
  TableName = Token().Text;
  Require();
  if (!AtLeft()) Fail(2056);
  do {
    Require();
    if (!AtNameToken()) Fail(2057);
    TDeziIndexField* field = nullptr;
    if (AtWord("PASSWORD")) {
      Require();
      if (!AtQuoted()) Fail(2059);
      Password = Token().Text;
    } else {
      CheckNameLength(kMaxSqlFieldName);
      field = &Fields.emplace_back(TDeziIndexField{Token().Text});
    }
    // Words up to the item's end set its order and case; others are read
    // and have no effect.
    for (Require(); !AtRight() && !AtComma(); Require()) {
      if (field == nullptr) continue;
      if (AtWord("DESC") || AtWord("ASC")) field->Descending = AtWord("DESC");
      if (AtWord("NOCASE") || AtWord("CASE")) field->CaseInsensitive = AtWord("NOCASE");
    }
  } while (AtComma());
  Advance();
  if (!AtEnd()) Fail(2050);
}

void TDeziDDLDropIndex::Parse() {
  Start();
  Require(2036);
  Require();
  TableName = Token().Text;
  Require();
  if (!AtDot()) FailExpected(2064, ".");
  Require();
  IndexName = Token().Text;
  Advance();
  if (AtWord("PASSWORD")) {
    Require();
    if (!AtQuoted()) Fail(2066);
    Password = Token().Text;
    Advance();
  }
  if (!AtEnd()) Fail(2061);
}

}  // namespace norvane

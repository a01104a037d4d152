// Parsing CREATE TABLE and DROP TABLE, and the column and option grammar
// ALTER TABLE shares.
#include "engine/query/ddl_table.h"

#include "engine/query/ddl_names.h"

namespace norvane {

void TDeziDDLTableManipulation::EndItem(int32_t code) const {
  NeedToken();
  if (!AtRight() && !AtComma()) Fail(code);
}

bool TDeziDDLTableManipulation::ParseOption() {
  if (AtWord("PASSWORD")) {
    Require();
    if (!AtQuoted()) Fail(2016);
    Password = Token().Text;
    Require();
    EndItem(2017);
  } else if (AtWord("BLOBCOMPRESSIONLEVEL")) {
    Require();
    if (!AtWordToken() && !AtReserved()) Fail(2019);
    BlobCompressionLevel = FindCompressionLevel(Token().Text);
    if (BlobCompressionLevel == 0) Fail(2020);
    Require();
    EndItem(2021);
  } else if (AtWord("BLOBBLOCKSIZE")) {
    Require();
    BlobBlockSize = TakeInteger(2023);
    EndItem(2024);
  } else if (AtWord("LASTAUTOINCVALUE")) {
    Require();
    LastAutoIncValue = TakeInteger(2026);
    EndItem(2027);
  } else {
    return false;
  }
  return true;
}

void TDeziDDLTableManipulation::ParseType(TDeziFieldDef& column) {
  if (!AtWordToken() && !AtReserved()) Fail(2006);
  const TSqlColumnType* type = FindSqlColumnType(Token().Text);
  if (type == nullptr) Fail(2007);
  column.Type = type->Type;
  column.Size = 0;
  Advance();
  if (!type->Sized) return;
  NeedToken();
  if (!AtLeft()) Fail(2008);
  Require();
  column.Size = TakeInteger(2009);
  NeedToken();
  if (!AtRight()) Fail(2010);
  Advance();
}

void TDeziDDLTableManipulation::ParseColumnWords(TDeziFieldDef& column, bool types) {
  for (;;) {
    NeedToken();
    if (AtRight() || AtComma()) return;
    if (!AtNameToken()) Fail(2044);
    if (AtWord("NULL")) {
      column.Nullable = true;
      Advance();
    } else if (AtWord("NOT")) {
      if (!Advance()) FailEnd(2012);
      if (!AtWord("NULL")) Fail(2011);
      column.Nullable = false;
      Advance();
    } else if (types && !AtQuoted() && FindSqlColumnType(Token().Text) != nullptr) {
      ParseType(column);
    } else {
      Advance();  // PRIMARY KEY and the like are read and have no effect
    }
  }
}

void TDeziDDLCreateTable::Parse() {
  Start();
  Require(2001);
  if (!AtWord("TABLE")) Fail(2002);
  Require(1004);
  if (!AtWordToken()) Fail(2003);
  CheckNameLength(kMaxSqlTableName);
  TableName = Token().Text;
  Require(2029);
  if (!AtLeft()) Fail(2004);
  do {
    Require();
    if (!AtNameToken()) Fail(2005);
    if (ParseOption()) continue;
    CheckNameLength(kMaxSqlFieldName);
    TDeziFieldDef column{Token().Text, 0, 0, true};
    Require();
    ParseType(column);
    ParseColumnWords(column, false);
    Columns.push_back(std::move(column));
  } while (AtComma());
  Advance();
  if (!AtEnd()) Fail(2015);
}

void TDeziDDLDropTable::Parse() {
  Start();
  Require(2036);
  if (!AtWord("TABLE")) Fail(2035);
  Require(2037);
  if (!AtWordOrQuoted()) Fail(2038);
  CheckNameLength(kMaxSqlTableName);
  TableName = Token().Text;
  Advance();
  if (!AtEnd()) Fail(2015);
}

}  // namespace norvane

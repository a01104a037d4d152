// CREATE TABLE and DROP TABLE, and the base ALTER TABLE shares with them:
// the table's name, its column definitions and its options.
//
// create-table := CREATE TABLE word "(" element {"," element} ")", element
// := name-token type ["(" integer ")"] {NOT NULL | NULL | other word} |
// PASSWORD quoted | BLOBCOMPRESSIONLEVEL level | BLOBBLOCKSIZE integer |
// LASTAUTOINCVALUE integer. drop-table := DROP TABLE (word | quoted).
// Errors are ETblException 1004, 2003 to 2044 and 1008; table names longer
// than 255 characters and field names longer than 18 are refused (2089).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/query/sql_command.h"

namespace norvane {

struct TDeziFieldDef {
  std::string Name;
  int Type = 0;     // the field type code; 0 when an ALTER item gives none
  int32_t Size = 0;  // STRING, WIDESTRING and BYTES only
  std::optional<bool> Nullable;  // none when an ALTER item gives none
};

class TDeziDDLTableManipulation : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;

  std::string TableName;
  std::string Password;
  std::optional<int32_t> BlobBlockSize;
  int BlobCompressionLevel = 0;  // 0: not given, else see FindCompressionLevel
  std::optional<int32_t> LastAutoIncValue;
  std::vector<TDeziFieldDef> Columns;

 protected:
  // Reads the option that begins at the cursor (PASSWORD, BLOBCOMPRESSION-
  // LEVEL, BLOBBLOCKSIZE, LASTAUTOINCVALUE), leaving the cursor at the ")"
  // or "," after it; false, the cursor staying, when no option begins here.
  bool ParseOption();
  // The type word at the cursor and its size, the cursor left after them.
  void ParseType(TDeziFieldDef& column);
  // NULL, NOT NULL and other words up to the ")" or "," that ends a column;
  // with `types`, a type word among them gives the column's type.
  void ParseColumnWords(TDeziFieldDef& column, bool types);
  // Fails with `code` unless the cursor is at ")" or ",".
  void EndItem(int32_t code) const;
  void PrintBody(TTreeWriter& out) const;
};

class TDeziDDLCreateTable : public TDeziDDLTableManipulation {
 public:
  using TDeziDDLTableManipulation::TDeziDDLTableManipulation;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  // Creates the table from the columns (a column is required when NOT NULL
  // is given for it), encrypted with the password when one is given,
  // with the BLOB compression level and block size when given. With
  // LASTAUTOINCVALUE n the first record gets n + 1. A table of that name
  // already there, and any other failure, is ETblException 2014 "Error
  // creating table: '<message>'".
  int64_t Execute(TSQLQueryContext& context) override;
};

class TDeziDDLDropTable : public TDeziDDLTableManipulation {
 public:
  using TDeziDDLTableManipulation::TDeziDDLTableManipulation;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  // Deletes the table's files. A table that is not there, and any other
  // failure (the table open elsewhere), is ETblException 2033 "Error
  // dropping table: '<message>'".
  int64_t Execute(TSQLQueryContext& context) override;
};

}  // namespace norvane

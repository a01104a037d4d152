// The words DDL statements name column types and BLOB compression levels
// with, compared after a-z is made upper case.
#pragma once

#include <string>

namespace norvane {

struct TSqlColumnType {
  const char* Name;
  int Type;    // the field type code
  bool Sized;  // the size is written in parentheses and required
};

// The type `word` names, or null.
const TSqlColumnType* FindSqlColumnType(const std::string& word);
// The column type of the field type code `type`, or null.
const TSqlColumnType* SqlColumnTypeOf(int type);

// BLOB compression levels as statements number them: NONE 1, FASTEST 2,
// DEFAULT 3, MAX 4 (0: not given); the level is the number less one.
int FindCompressionLevel(const std::string& word);
const char* CompressionLevelName(int level);

}  // namespace norvane

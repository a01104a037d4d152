// The statements of a script, as the script processor starts from them: the
// lexer's statements, a text that holds none refused, and each statement
// parsed by the class its first words name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/query/dezi_lexer.h"
#include "engine/query/sql_command.h"

namespace norvane {

// Scans `text` (see TDeziLexer). Throws ETblException 1001 "Blank SQL
// command" when it holds no statement: only blanks, comments and ";".
TDeziLexer LexScript(const std::string& text, const TQueryParams* params);

// Parses the lexer's current statement from its first token: SELECT,
// INSERT, UPDATE, DELETE, CREATE TABLE, CREATE [UNIQUE] INDEX, DROP TABLE,
// DROP INDEX or ALTER TABLE. Any other first word is ETblException 1003,
// and a misspelt keyword is one: it is refused, not skipped.
std::unique_ptr<TDeziSQLCommand> ParseStatement(TDeziLexer& lexer);

struct TSQLScript {
  std::unique_ptr<TDeziLexer> Lexer;  // the commands parsed from it keep it
  std::vector<std::unique_ptr<TDeziSQLCommand>> Commands;
};

// Every statement of `text`, parsed before any could run: an error in any
// of them throws and leaves none.
TSQLScript ParseScript(const std::string& text, const TQueryParams* params);

}  // namespace norvane

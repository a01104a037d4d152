// A script's statements.
#include "engine/query/script_text.h"

#include "engine/query/ddl_alter_table.h"
#include "engine/query/ddl_index.h"
#include "engine/query/reserved_words.h"
#include "engine/query/sql_insert.h"
#include "engine/query/sql_update.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

bool Is(const TToken& token, const char* word) {
  return TDeziLexer::IsReservedWord(token, ReservedWordNumber(word));
}

// The command the statement's first words name; CREATE, DROP and ALTER
// without a second word are left to the table statements, which say so.
std::unique_ptr<TDeziSQLCommand> CommandFor(TDeziLexer& lexer, const TToken& first) {
  TToken second;
  lexer.PeekToken(second);
  if (Is(first, "SELECT")) return std::make_unique<TDeziSQLSelect>(lexer);
  if (Is(first, "INSERT")) return std::make_unique<TDeziSQLInsert>(lexer);
  if (Is(first, "UPDATE")) return std::make_unique<TDeziSQLUpdate>(lexer);
  if (Is(first, "DELETE")) return std::make_unique<TDeziSQLDelete>(lexer);
  if (Is(first, "CREATE")) {
    if (Is(second, "UNIQUE") || Is(second, "INDEX")) return std::make_unique<TDeziDDLCreateIndex>(lexer);
    return std::make_unique<TDeziDDLCreateTable>(lexer);
  }
  if (Is(first, "DROP")) {
    if (Is(second, "INDEX")) return std::make_unique<TDeziDDLDropIndex>(lexer);
    return std::make_unique<TDeziDDLDropTable>(lexer);
  }
  if (Is(first, "ALTER")) return std::make_unique<TDeziDDLAlterTable>(lexer);
  throw ETblException(1003, {first.Text, int64_t{first.Line}, int64_t{first.Column}});
}

}  // namespace

TDeziLexer LexScript(const std::string& text, const TQueryParams* params) {
  TDeziLexer lexer(text, params);
  if (lexer.CommandCount() == 0) throw ETblException(1001);
  return lexer;
}

std::unique_ptr<TDeziSQLCommand> ParseStatement(TDeziLexer& lexer) {
  TToken first;
  lexer.SetTokenPosition(0, first);
  std::unique_ptr<TDeziSQLCommand> command = CommandFor(lexer, first);
  command->Parse();
  return command;
}

TSQLScript ParseScript(const std::string& text, const TQueryParams* params) {
  TSQLScript script{std::make_unique<TDeziLexer>(LexScript(text, params)), {}};
  while (script.Lexer->NextCommand()) script.Commands.push_back(ParseStatement(*script.Lexer));
  return script;
}

}  // namespace norvane

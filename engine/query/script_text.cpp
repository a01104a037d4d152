// A script's statements.
#include "engine/query/script_text.h"

#include "engine/tables/tbl_exception.h"

namespace norvane {

TDeziLexer LexScript(const std::string& text, const TQueryParams* params) {
  TDeziLexer lexer(text, params);
  if (lexer.CommandCount() == 0) throw ETblException(1001);
  return lexer;
}

}  // namespace norvane

// The statements of a script, as the script processor starts from them: the
// lexer's statements, and a text that holds none refused.
#pragma once

#include <string>

#include "engine/query/dezi_lexer.h"

namespace norvane {

// Scans `text` (see TDeziLexer). Throws ETblException 1001 "Blank SQL
// command" when it holds no statement: only blanks, comments and ";".
TDeziLexer LexScript(const std::string& text, const TQueryParams* params);

}  // namespace norvane

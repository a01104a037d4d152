// Telling a finished input from an unfinished one with the engine's lexer.
#include "tools/norvane-db/sql_input_end.h"

#include <algorithm>

#include "engine/query/dezi_lexer.h"
#include "engine/tables/tbl_exception.h"

namespace norvane::tool {

namespace {

// A word put on a line of its own after the text: it is a statement of its
// own exactly when every statement before it was ended, and it vanishes
// into an open quote or comment.
const char* const kProbe = "norvane_probe";

}  // namespace

TInputState InputStateOf(const std::string& text) {
  // Parentheses out of balance are the lexer's errors, not its business
  // here: as blanks they still end the words beside them, and quotes,
  // comments and semicolons are read as before.
  std::string probed = text;
  std::replace_if(probed.begin(), probed.end(), [](char c) { return c == '(' || c == ')'; }, ' ');
  probed += "\n";
  probed += kProbe;
  const int32_t probeLine = 2 + static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
  try {
    TDeziLexer lexer(probed, nullptr);
    TSQLCommand* last = nullptr;
    while (lexer.NextCommand()) last = &lexer.CurrentCommand();
    const bool probeAlone = last != nullptr && last->Tokens.size() == 1 &&
                            last->Tokens[0].Text == kProbe && last->Tokens[0].Line == probeLine &&
                            last->Tokens[0].Column == 1;
    if (!probeAlone) return TInputState::Unfinished;
    return lexer.CommandCount() == 1 ? TInputState::Empty : TInputState::Complete;
  } catch (const ETblException&) {
    // The one scan error left: a quote not closed, which runs to the end
    // of the text and so holds the probe too.
    return TInputState::Unfinished;
  }
}

}  // namespace norvane::tool

// Where the sql shell's typed input ends a statement. The engine's own
// lexer decides, so the shell splits text exactly where a script would: a
// ";" ends a statement only outside quotes and comments.
#pragma once

#include <string>

namespace norvane::tool {

enum class TInputState {
  Empty,       // only blanks, comments and ";": nothing to run
  Unfinished,  // the last statement has no ";" yet, or a quote or comment is open
  Complete,    // every statement is ended by a ";" (blanks and comments may follow)
};

// The state of `text` (engine text), the lines typed since the last input
// that ran.
TInputState InputStateOf(const std::string& text);

}  // namespace norvane::tool

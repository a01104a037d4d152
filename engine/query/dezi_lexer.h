// The SQL lexer: the whole text scanned at once into statements (split at
// ";" outside quotes and comments) of tokens, with reserved words known,
// numbers classified and parameters (":name") replaced by their values
// when a collection is given. Parsers walk a statement's tokens through the
// cursor kept here.
//
// Scanning errors are ETblException 1 (more "(" than ")", at the last "("),
// 2 (a ")" without its "(", at the first such ")"), 3 (a quoted string not
// closed, where it began), raised once the statement holding them ends;
// an unknown parameter is the database error "Parameter '<name>' not
// found". Comments count as blanks: they end the word before them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/query/query_params.h"
#include "engine/query/sql_token.h"

namespace norvane {

struct TSQLCommand {
  std::vector<TToken> Tokens;
  int32_t Cursor = 0;  // the current token
};

class TDeziLexer {
 public:
  // `params` may be null; it must outlive the constructor only.
  TDeziLexer(const std::string& text, const TQueryParams* params);

  // Moves to the next statement (the first call to statement 0); false when
  // there is none.
  bool NextCommand();
  int32_t CommandCount() const { return static_cast<int32_t>(commands_.size()); }
  // The current statement, for the parsers that rewrite it in place.
  TSQLCommand& CurrentCommand();

  // Copies the token at the cursor; past the last one, false with only the
  // kind of `token` set to tktNone.
  bool CurrentToken(TToken& token) const;
  // The token after the cursor, the cursor staying.
  bool PeekToken(TToken& token) const;
  // PeekToken, moving the cursor on when it succeeds.
  bool NextToken(TToken& token);
  int32_t TokenPosition() const;
  bool SetTokenPosition(int32_t position, TToken& token);
  // The token is a reserved word and `word` is its number or kNoReservedWord
  // (any reserved word).
  static bool IsReservedWord(const TToken& token, uint8_t word);
  // Gives a word the kind and reserved-word number a scan gives it: a
  // number when it begins with a digit, a reserved word, or tktString.
  static void ClassifyWord(TToken& token);

 private:
  bool TokenAt(int32_t position, TToken& token) const;

  std::vector<TSQLCommand> commands_;
  int32_t current_ = -1;
};

}  // namespace norvane

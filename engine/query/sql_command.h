// The base of every SQL statement: a statement parses itself from the
// lexer's current statement into a plain tree that the executor reads and
// the printer shows. The helpers here are the token tests and failures the
// statement grammars share, so every statement words its errors alike.
//
// A token a grammar requires where the statement has ended is ETblException
// 1008 "Unexpected end of SQL command found at line %d" (the last token's
// line) unless the grammar names another code for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/query/condition_parser.h"

namespace norvane {

class TSQLQueryContext;
class TTreeWriter;

// A value of INSERT or UPDATE: one token's text (quoted strings without
// their quotes, a signed decimal number whole) and its kind. The unquoted
// word NULL is a null value.
struct TSQLLiteral {
  std::string Text;
  TTokenKind Kind = tktString;
  bool Null = false;
};

// Names longer than the stored name fields hold are refused (2089) rather
// than cut: field names 18 characters, index names 20, table names 255 (the
// container's 259 less the longest extension).
constexpr size_t kMaxSqlFieldName = 18;
constexpr size_t kMaxSqlIndexName = 20;
constexpr size_t kMaxSqlTableName = 255;

class TDeziSQLCommand : public TDeziParser {
 public:
  using TDeziParser::TDeziParser;
  // One line per node, children indented by two blanks.
  virtual void Print(TTreeWriter& out) const = 0;
  // Runs the parsed statement against `context`: the number of rows it
  // inserted, changed or deleted, or -1 for a statement that does none of
  // these. A statement runs once.
  virtual int64_t Execute(TSQLQueryContext& context) = 0;

 protected:
  // Starts at the lexer's cursor; false when no token is there.
  bool Start();
  // Advance() that fails with `code` (an "end of SQL command" code) when
  // the statement has no further token.
  void Require(int32_t code = 1008);
  // "Token '<expected>' expected, but '<found>' found ..." codes.
  [[noreturn]] void FailExpected(int32_t code, const std::string& expected) const;
  // A message with the line only: the statement ended where more was needed.
  [[noreturn]] void FailEnd(int32_t code) const;
  // Fails with 2089 when the current token's text is longer than `limit`.
  void CheckNameLength(size_t limit) const;
  // Fails with `code` (an "end of SQL command" code) when the statement
  // has no token at the cursor.
  void NeedToken(int32_t code = 1008) const;

  bool AtEnd() const { return Token().Kind == tktNone; }
  bool AtWord(const char* reservedWord) const;
  bool AtReserved() const { return Token().Kind == tktReservedWord; }
  bool AtText(const char* text) const;
  bool AtWordToken() const { return Token().Kind == tktString; }
  bool AtQuoted() const { return Token().Kind == tktQuotedString; }
  bool AtInt() const { return Token().Kind == tktInt; }
  // A word, a quoted string or a reserved word.
  bool AtNameToken() const { return AtWordToken() || AtQuoted() || AtReserved(); }
  bool AtWordOrQuoted() const { return AtWordToken() || AtQuoted(); }
  bool AtLeft() const { return Token().Kind == tktLeftParenthesis; }
  bool AtRight() const { return Token().Kind == tktRightParenthesis; }
  bool AtComma() const { return Token().Kind == tktComma; }
  bool AtDot() const { return Token().Kind == tktDot; }

  // The current token as an INSERT or UPDATE value, the cursor moved past
  // it (and past a signed number's fraction, see TakeSignedNumber).
  TSQLLiteral TakeLiteral();
  // The condition at the cursor (see TETblExpression), the cursor moved to
  // the first token after it.
  std::unique_ptr<TETblExprNode> TakeCondition();
  // The current token as a 32-bit integer constant; fails with `code` when
  // it is none.
  int32_t TakeInteger(int32_t code);
};

}  // namespace norvane

// Parsing UPDATE and DELETE through their SELECT rewrites.
#include "engine/query/sql_update.h"

namespace norvane {
namespace {

// A token as a scan of `text` at `place` would give it.
TToken Scanned(const std::string& text, const TToken& place) {
  TToken token;
  token.Text = text;
  token.Line = place.Line;
  token.Column = place.Column;
  TDeziLexer::ClassifyWord(token);
  return token;
}

// The token `place` made a word, whatever kind it was scanned as.
TToken AsWord(const TToken& place) {
  TToken token = place;
  token.Kind = tktString;
  token.ReservedWord = kNoReservedWord;
  return token;
}

}  // namespace

void TDeziSQLUpdate::Parse() {
  Start();
  const int32_t start = Position();
  const TToken update = Token();
  Require();
  if (!AtNameToken()) Fail(2083);
  CheckNameLength(kMaxSqlTableName);
  const TToken table = Token();
  TableName = table.Text;
  Require();
  std::vector<TToken> password;
  if (AtWord("PASSWORD")) {
    password.push_back(Token());
    Require();
    if (!AtQuoted()) Fail(2084);
    Password = Token().Text;
    password.push_back(Token());
    Require();
  }
  if (!AtWord("SET")) Fail(2085);
  const TToken set = Token();
  std::vector<TToken> selected;  // the column tokens and the commas between
  for (;;) {
    Require();
    const TToken column = Token();
    // A column keeps its place; it gets the kind its text scans as, so
    // that a reserved word in it reads as the SELECT would read it.
    selected.push_back(column.Kind == tktLeftParenthesis || column.Kind == tktRightParenthesis ||
                               column.Kind == tktComma || column.Kind == tktDot
                           ? column
                           : Scanned(column.Text, column));
    Columns.push_back(column.Text);
    Require();
    if (!AtText("=")) Fail(2086);
    Require();
    Values.push_back(TakeLiteral());
    if (AtEnd() || AtWord("WHERE")) break;
    if (!AtComma()) FailExpected(2088, ",");
    selected.push_back(Token());
  }
  // SELECT col , col ... FROM table [PASSWORD 'p'] WHERE ...
  std::vector<TToken>& tokens = Lexer().CurrentCommand().Tokens;
  std::vector<TToken> rewritten{Scanned("SELECT", update)};
  rewritten.insert(rewritten.end(), selected.begin(), selected.end());
  rewritten.push_back(Scanned("FROM", set));
  rewritten.push_back(AsWord(table));
  rewritten.insert(rewritten.end(), password.begin(), password.end());
  rewritten.insert(rewritten.end(), tokens.begin() + Position(), tokens.end());
  tokens.erase(tokens.begin() + start, tokens.end());
  tokens.insert(tokens.end(), rewritten.begin(), rewritten.end());
  Restore(start);
  Select = std::make_unique<TDeziSQLSelect>(Lexer());
  Select->Parse();
  Restore(Lexer().TokenPosition());
}

void TDeziSQLDelete::Parse() {
  Start();
  const TToken remove = Token();
  std::vector<TToken>& tokens = Lexer().CurrentCommand().Tokens;
  // DELETE FROM ... reads as SELECT * FROM ...
  tokens[static_cast<size_t>(Position())] = Scanned("SELECT", remove);
  tokens.insert(tokens.begin() + Position() + 1, Scanned("*", remove));
  Restore(Position());
  Select = std::make_unique<TDeziSQLSelect>(Lexer());
  Select->Parse();
  Restore(Lexer().TokenPosition());
}

}  // namespace norvane

// The token tests and failures the statement grammars share.
#include "engine/query/sql_command.h"

#include <charconv>

#include "engine/query/reserved_words.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

bool TDeziSQLCommand::Start() {
  position_ = Lexer().TokenPosition();
  return Current();
}

void TDeziSQLCommand::Require(int32_t code) {
  if (!Advance()) FailEnd(code);
}

void TDeziSQLCommand::NeedToken(int32_t code) const {
  if (AtEnd()) FailEnd(code);
}

void TDeziSQLCommand::FailExpected(int32_t code, const std::string& expected) const {
  throw ETblException(code, {expected, Token().Text, int64_t{Token().Line}, int64_t{Token().Column}});
}

void TDeziSQLCommand::FailEnd(int32_t code) const { throw ETblException(code, {int64_t{Token().Line}}); }

void TDeziSQLCommand::CheckNameLength(size_t limit) const {
  if (Token().Text.size() > limit)
    throw ETblException(2089, {Token().Text, static_cast<int64_t>(limit), int64_t{Token().Line},
                               int64_t{Token().Column}});
}

bool TDeziSQLCommand::AtWord(const char* reservedWord) const {
  return TDeziLexer::IsReservedWord(Token(), ReservedWordNumber(reservedWord));
}

bool TDeziSQLCommand::AtText(const char* text) const { return !AtEnd() && Token().Text == text; }

TSQLLiteral TDeziSQLCommand::TakeLiteral() {
  TSQLLiteral literal{Token().Text, Token().Kind, AtWord("NULL")};
  if (AtWordToken() && IsSignedNumber(literal.Text)) {
    literal.Text = TakeSignedNumber();
    literal.Kind = literal.Text.find_first_of(".eE") == std::string::npos ? tktInt : tktFloat;
    return literal;
  }
  Advance();
  return literal;
}

std::unique_ptr<TETblExprNode> TDeziSQLCommand::TakeCondition() {
  TETblExpression condition(Lexer());
  condition.Parse();
  Restore(Lexer().TokenPosition());
  return condition.TakeRoot();
}

int32_t TDeziSQLCommand::TakeInteger(int32_t code) {
  int32_t value = 0;
  const std::string& text = Token().Text;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!AtInt() || error != std::errc() || end != text.data() + text.size()) Fail(code);
  Advance();
  return value;
}

}  // namespace norvane

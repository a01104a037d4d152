// The parser of SQL conditions (WHERE and ON): from the lexer's current
// token it builds the condition's tree and leaves the lexer on the first
// token that is not part of it.
//
// condition := and-term { OR and-term }; and-term := not-term { AND
// not-term }; not-term := [NOT] test; test := primary [IS [NOT] (TRUE |
// FALSE | UNKNOWN)]; primary := "(" condition [")"] | comparison | operand
// [NOT] LIKE operand | operand IS [NOT] NULL. Operands are integer, float
// and string constants (a signed number is a constant), and field
// references, "table.field" qualified. Errors are ETblException 1037 to
// 1044 and 1008 with the current token's text and position; nesting deeper
// than kMaxConditionDepth is refused rather than run out of stack.
#pragma once

#include <memory>

#include "engine/query/condition_tree.h"
#include "engine/query/dezi_lexer.h"

namespace norvane {

constexpr int kMaxConditionDepth = 200;

// The common base of the SQL parsers: the lexer and the current token.
class TDeziParser {
 public:
  explicit TDeziParser(TDeziLexer& lexer) : lexer_(lexer) {}
  virtual ~TDeziParser() = default;
  virtual void Parse() = 0;

 protected:
  // Reads the token at the lexer's cursor into Token(); false past the end.
  bool Current();
  // Moves one token on (also past the last one) and reads it.
  bool Advance();
  TDeziLexer& Lexer() { return lexer_; }
  const TToken& Token() const { return token_; }
  int32_t Position() const { return position_; }
  void Restore(int32_t position);
  // ETblException `code` with the current token's text, line and column.
  [[noreturn]] void Fail(int32_t code) const;
  // Refuses nesting deeper than kMaxConditionDepth before it runs out of
  // stack: "<what> nested deeper than 200 levels at line L, column C".
  void CheckDepth(int depth, const char* what) const;
  // A word that is a sign and digits ("-5"): a number, not a name.
  static bool IsSignedNumber(const std::string& text);
  // Takes the signed number at the cursor and, when "." and digits follow
  // with no blank between, them too: the lexer ends a word at ".", so
  // "-0.5" comes as "-0", "." and "5". Returns the number's whole text.
  std::string TakeSignedNumber();

  // The cursor; the lexer's follows every move, so a parser leaves it on
  // the first token it did not take.
  int32_t position_ = 0;

 private:
  TDeziLexer& lexer_;
  TToken token_;
};

class TETblExpression : public TDeziParser {
 public:
  using TDeziParser::TDeziParser;
  void Parse() override;
  TETblExprNode* Root() const { return root_.get(); }
  std::unique_ptr<TETblExprNode> TakeRoot() { return std::move(root_); }

 private:
  std::unique_ptr<TETblExprNode> Condition(int depth);
  std::unique_ptr<TETblExprNode> AndTerm(int depth);
  std::unique_ptr<TETblExprNode> NotTerm(int depth);
  std::unique_ptr<TETblExprNode> Test(int depth);
  std::unique_ptr<TETblExprNode> Primary(int depth);
  std::unique_ptr<TETblExprNode> Predicate();
  std::unique_ptr<TETblExprNode> Operand();
  bool AtWord(uint8_t word) const;

  std::unique_ptr<TETblExprNode> root_;
};

}  // namespace norvane

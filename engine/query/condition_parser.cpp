// Parsing SQL conditions into their trees.
#include "engine/query/condition_parser.h"

#include <charconv>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/query/reserved_words.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

TETblExprNode::~TETblExprNode() {
  std::vector<std::unique_ptr<TETblExprNode>> pending;
  if (Left) pending.push_back(std::move(Left));
  if (Right) pending.push_back(std::move(Right));
  while (!pending.empty()) {
    std::unique_ptr<TETblExprNode> node = std::move(pending.back());
    pending.pop_back();
    if (node->Left) pending.push_back(std::move(node->Left));
    if (node->Right) pending.push_back(std::move(node->Right));
  }
}

std::unique_ptr<TETblExprNode> TETblExprNode::Field(std::string table, std::string name) {
  auto node = std::make_unique<TETblExprNode>();
  node->Kind = nkField;
  node->Table = std::move(table);
  node->FieldName = std::move(name);
  return node;
}

std::unique_ptr<TETblExprNode> TETblExprNode::Constant(TETblValue value) {
  auto node = std::make_unique<TETblExprNode>();
  node->Kind = nkConstant;
  node->Value = std::move(value);
  return node;
}

std::unique_ptr<TETblExprNode> TETblExprNode::Operation(int op, std::unique_ptr<TETblExprNode> left,
                                                        std::unique_ptr<TETblExprNode> right) {
  auto node = std::make_unique<TETblExprNode>();
  node->Operator = op;
  if (left) left->Parent = node.get();
  if (right) right->Parent = node.get();
  node->Left = std::move(left);
  node->Right = std::move(right);
  return node;
}

bool TDeziParser::Current() {
  if (lexer_.SetTokenPosition(position_, token_)) return true;
  // Past the end the token keeps the last one's text and place, so that a
  // parser that starts there still names the line the statement ended on.
  TToken last;
  if (position_ > 0 && lexer_.SetTokenPosition(position_ - 1, last)) token_ = last;
  token_.Kind = tktNone;
  lexer_.SetTokenPosition(position_, last);
  return false;
}

bool TDeziParser::Advance() {
  ++position_;
  return Current();
}

void TDeziParser::Restore(int32_t position) {
  position_ = position;
  Current();
}

void TDeziParser::Fail(int32_t code) const {
  // Past the end the token still holds the last one's text and place.
  throw ETblException(code, {token_.Text, int64_t{token_.Line}, int64_t{token_.Column}});
}

bool TDeziParser::IsSignedNumber(const std::string& text) {
  return text.size() > 1 && (text[0] == '-' || text[0] == '+') && text[1] >= '0' && text[1] <= '9';
}

std::string TDeziParser::TakeSignedNumber() {
  const TToken sign = token_;
  std::string text = sign.Text;
  Advance();
  if (token_.Kind == tktDot && text.find_first_of("eE") == std::string::npos) {
    const int32_t dot = position_;
    if (Advance() && (token_.Kind == tktInt || token_.Kind == tktFloat) && token_.Line == sign.Line &&
        token_.Column == sign.Column + static_cast<int32_t>(text.size()) + 1) {
      text += "." + token_.Text;
      Advance();
    } else {
      Restore(dot);
    }
  }
  return text;
}

namespace {

uint8_t Word(const char* text) { return ReservedWordNumber(text); }

int ComparisonOf(const std::string& text) {
  if (text == "=") return opEqual;
  if (text == "<>") return opNotEqual;
  if (text == ">") return opGreater;
  if (text == "<") return opLess;
  if (text == ">=") return opGreaterOrEqual;
  if (text == "<=") return opLessOrEqual;
  return opNone;
}

TETblValue NumberValue(const std::string& text, bool isFloat) {
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const char* last = text.data() + text.size();
  if (!isFloat) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc() && end == last) return TETblValue::Integer(value);
  } else {
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc() && end == last) return TETblValue::Float(value);
  }
  throw EEngineError("'" + text + "' is not a valid " + (isFloat ? "floating point value" : "integer value"));
}

}  // namespace

void TETblExpression::Parse() {
  position_ = Lexer().TokenPosition();
  if (!Current()) throw ETblException(1039, {int64_t{Token().Line}});
  root_ = Condition(0);
}

bool TETblExpression::AtWord(uint8_t word) const { return TDeziLexer::IsReservedWord(Token(), word); }

void TDeziParser::CheckDepth(int depth, const char* what) const {
  if (depth > kMaxConditionDepth)
    throw EEngineError(std::string(what) + " nested deeper than " + std::to_string(kMaxConditionDepth) +
                       " levels at line " + std::to_string(token_.Line) + ", column " + std::to_string(token_.Column));
}

std::unique_ptr<TETblExprNode> TETblExpression::Condition(int depth) {
  CheckDepth(depth, "Condition");
  auto node = AndTerm(depth);
  while (AtWord(Word("OR"))) {
    Advance();
    auto right = AndTerm(depth);
    if (!right) Fail(1037);
    node = TETblExprNode::Operation(opOr, std::move(node), std::move(right));
  }
  return node;
}

std::unique_ptr<TETblExprNode> TETblExpression::AndTerm(int depth) {
  auto node = NotTerm(depth);
  if (!node) return nullptr;
  while (AtWord(Word("AND"))) {
    Advance();
    auto right = NotTerm(depth);
    if (!right) Fail(1038);
    node = TETblExprNode::Operation(opAnd, std::move(node), std::move(right));
  }
  return node;
}

std::unique_ptr<TETblExprNode> TETblExpression::NotTerm(int depth) {
  // NOTs in a row count towards the nesting as parentheses do.
  if (AtWord(Word("NOT"))) {
    CheckDepth(depth + 1, "Condition");
    Advance();
    auto test = NotTerm(depth + 1);
    if (!test) Fail(1041);
    return TETblExprNode::Operation(opNot, std::move(test));
  }
  return Test(depth);
}

std::unique_ptr<TETblExprNode> TETblExpression::Test(int depth) {
  if (Token().Kind == tktNone) return nullptr;
  auto node = Primary(depth);
  if (!node) Fail(1041);
  if (!AtWord(Word("IS"))) return node;
  bool negated = false;
  if (!Advance()) throw ETblException(1008, {int64_t{Token().Line}});
  if (!AtWord(kNoReservedWord)) Fail(1042);
  if (AtWord(Word("NOT"))) {
    negated = true;
    if (!Advance()) throw ETblException(1008, {int64_t{Token().Line}});
    if (!AtWord(kNoReservedWord)) Fail(1043);
  }
  const bool isTrue = AtWord(Word("TRUE")), isFalse = AtWord(Word("FALSE")), unknown = AtWord(Word("UNKNOWN"));
  if (!isTrue && !isFalse && !unknown)
    throw ETblException(1044, {std::string("TRUE, FALSE or UNKNOWN"), Token().Text, int64_t{Token().Line},
                               int64_t{Token().Column}});
  Advance();
  if (unknown) return TETblExprNode::Operation(negated ? opIsNotNull : opIsNull, std::move(node));
  if (isFalse != negated) return TETblExprNode::Operation(opNot, std::move(node));
  return node;
}

std::unique_ptr<TETblExprNode> TETblExpression::Primary(int depth) {
  if (Token().Kind == tktLeftParenthesis) {
    Advance();
    auto node = Condition(depth + 1);
    if (!node) Fail(1040);
    if (Token().Kind == tktRightParenthesis) Advance();
    return node;
  }
  return Predicate();
}

std::unique_ptr<TETblExprNode> TETblExpression::Predicate() {
  const int32_t start = Position();
  // comparison
  if (auto left = Operand()) {
    const int op = Token().Kind == tktString ? ComparisonOf(Token().Text) : opNone;
    if (op != opNone) {
      Advance();
      if (auto right = Operand()) return TETblExprNode::Operation(op, std::move(left), std::move(right));
    }
  }
  Restore(start);
  // pattern
  if (auto left = Operand()) {
    bool negated = false;
    if (AtWord(Word("NOT"))) {
      negated = true;
      Advance();
    }
    if (AtWord(Word("LIKE"))) {
      Advance();
      if (auto right = Operand())
        return TETblExprNode::Operation(negated ? opNotLike : opLike, std::move(left), std::move(right));
    }
  }
  Restore(start);
  // null test
  if (auto left = Operand()) {
    if (AtWord(Word("IS"))) {
      Advance();
      bool negated = false;
      if (AtWord(Word("NOT"))) {
        negated = true;
        Advance();
      }
      if (AtWord(Word("NULL"))) {
        Advance();
        return TETblExprNode::Operation(negated ? opIsNotNull : opIsNull, std::move(left));
      }
    }
  }
  Restore(start);
  return nullptr;
}

std::unique_ptr<TETblExprNode> TETblExpression::Operand() {
  const TToken token = Token();
  switch (token.Kind) {
    case tktInt:
    case tktFloat: {
      auto node = TETblExprNode::Constant(NumberValue(token.Text, token.Kind == tktFloat));
      Advance();
      return node;
    }
    case tktQuotedString: {
      auto node = TETblExprNode::Constant(TETblValue::String(token.Text));
      Advance();
      return node;
    }
    case tktString:
      if (IsSignedNumber(token.Text)) {
        const std::string text = TakeSignedNumber();
        return TETblExprNode::Constant(NumberValue(text, text.find_first_of(".eE") != std::string::npos));
      }
      if (ComparisonOf(token.Text) != opNone) return nullptr;
      [[fallthrough]];
    case tktReservedWord: {
      Advance();
      if (Token().Kind == tktDot) {
        Advance();
        const std::string field = Token().Text;
        if (Token().Kind != tktString && Token().Kind != tktReservedWord) return nullptr;
        Advance();
        return TETblExprNode::Field(token.Text, field);
      }
      return TETblExprNode::Field("", token.Text);
    }
    default:
      return nullptr;
  }
}

}  // namespace norvane

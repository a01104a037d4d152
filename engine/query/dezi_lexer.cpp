// Scanning SQL text into statements and tokens, and the token cursor.
#include "engine/query/dezi_lexer.h"

#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "engine/query/reserved_words.h"
#include "engine/tables/database_error.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

const TQueryParam* TQueryParams::Find(const std::string& name) const {
  for (const TQueryParam& param : params_)
    if (SameNameIgnoringCase(param.Name, name)) return &param;
  return nullptr;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The token kind a parameter's value takes. Booleans and dates are quoted
// constants: as bare words they would be read as field names.
TTokenKind ParamKind(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return tktInt;
    case ftFloat: case ftCurrency: case ftBCD: return tktFloat;
    case ftString: case ftWideString: case ftFixedChar:
    case ftBoolean: case ftDate: case ftTime: case ftDateTime: return tktQuotedString;
    default: return tktString;
  }
}

class TScanner {
 public:
  TScanner(const std::string& text, const TQueryParams* params) : text_(text), params_(params) {}

  std::vector<TSQLCommand> Scan() {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == ';') {
        Finish();
        EndStatement();
        Advance();
      } else if (c == '-' && Next() == '-') {
        Finish();  // a comment is a blank
        while (at_ < text_.size() && text_[at_] != '\n') Advance();
        if (at_ < text_.size()) Advance();
      } else if (c == '/' && Next() == '*') {
        Finish();
        Advance();
        Advance();
        while (at_ < text_.size() && !(text_[at_] == '*' && Next() == '/')) Advance();
        if (at_ < text_.size()) {
          Advance();
          Advance();
        }
      } else if (IsBlank(c)) {
        Finish();
        Advance();
      } else if (open_ && !EndsOpenToken(c)) {
        token_.Text += c;
        Advance();
      } else {
        Finish();
        Start();
      }
    }
    Finish();
    EndStatement();
    return std::move(commands_);
  }

 private:
  char Next() const { return at_ + 1 < text_.size() ? text_[at_ + 1] : '\0'; }

  void Advance() {
    const char c = text_[at_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if (c != '\r') {
      ++column_;
    }
  }

  bool EndsOpenToken(char c) const {
    const bool number = token_.Kind == tktInt;
    if (std::strchr("><=(),/*.:|", c) != nullptr) return !(c == '.' && number);
    if (c != '+' && c != '-') return false;
    if (token_.Kind == tktString) return true;
    const char before = token_.Text.empty() ? '\0' : token_.Text.back();
    return number && before != 'e' && before != 'E';
  }

  TSQLCommand& Statement() {
    if (!inStatement_) {
      commands_.emplace_back();
      inStatement_ = true;
      depth_ = 0;
      lastOpen_ = {0, 0};
      negativeAt_ = {0, 0};
      unterminatedAt_ = {0, 0};
    }
    return commands_.back();
  }

  void Start() {
    token_ = TToken();
    token_.Line = line_;
    token_.Column = column_;
    Statement();
    const char c = text_[at_];
    Advance();
    if (c == '\'' || c == '"') {
      token_.Kind = tktQuotedString;
      for (;;) {
        if (at_ >= text_.size()) {
          unterminatedAt_ = {token_.Line, token_.Column};
          break;
        }
        const char d = text_[at_];
        Advance();
        if (d != c) {
          token_.Text += d;
        } else if (at_ < text_.size() && text_[at_] == c) {
          token_.Text += c;  // a doubled quote stands for one
          Advance();
        } else {
          break;
        }
      }
      return Push();
    }
    token_.Text = c;
    switch (c) {
      case '(':
        ++depth_;
        lastOpen_ = {token_.Line, token_.Column};
        token_.Kind = tktLeftParenthesis;
        return Push();
      case ')':
        // A ")" before its "(" is an error even if a "(" comes later.
        if (--depth_ < 0 && negativeAt_.first == 0) negativeAt_ = {token_.Line, token_.Column};
        token_.Kind = tktRightParenthesis;
        return Push();
      case '.': token_.Kind = tktDot; return Push();
      case ',': token_.Kind = tktComma; return Push();
      default: break;
    }
    if (IsDigit(c)) {
      token_.Kind = tktInt;
      open_ = true;
      return;
    }
    token_.Kind = tktString;
    const char next = at_ < text_.size() ? text_[at_] : '\0';
    if (c == '+' || c == '*' || c == '/' || c == '=') return FinishNow();
    if ((c == '|' && next == '|') || (c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=')) {
      token_.Text += next;
      Advance();
      return FinishNow();
    }
    if (c == '|' || c == '<' || c == '>') return FinishNow();
    open_ = true;
  }

  void FinishNow() {
    open_ = true;
    Finish();
  }

  void Finish() {
    if (!open_) return;
    open_ = false;
    if (token_.Kind == tktInt || token_.Kind == tktString) {
      TDeziLexer::ClassifyWord(token_);
      if (token_.Kind == tktString && token_.Text.size() > 1 && token_.Text[0] == ':') Substitute();
    }
    Push();
  }

  void Substitute() {
    const std::string name = token_.Text.substr(1);
    token_.Text = name;
    token_.Kind = tktParam;
    if (params_ == nullptr) return;
    const TQueryParam* param = params_->Find(name);
    if (param == nullptr) throw EDatabaseError("Parameter '" + name + "' not found");
    token_.Text = param->Value.value_or("");
    token_.Kind = ParamKind(param->DataType);
  }

  void Push() { Statement().Tokens.push_back(token_); }

  void EndStatement() {
    if (!inStatement_) return;
    inStatement_ = false;
    const auto fail = [](int32_t code, std::pair<int32_t, int32_t> at) {
      throw ETblException(code, {int64_t{at.first}, int64_t{at.second}});
    };
    if (unterminatedAt_.first != 0) fail(3, unterminatedAt_);
    if (negativeAt_.first != 0) fail(2, negativeAt_);
    if (depth_ > 0) fail(1, lastOpen_);
  }

  const std::string& text_;
  const TQueryParams* params_;
  size_t at_ = 0;
  int32_t line_ = 1, column_ = 1;
  TToken token_;
  bool open_ = false;
  bool inStatement_ = false;
  int32_t depth_ = 0;
  std::pair<int32_t, int32_t> lastOpen_, negativeAt_, unterminatedAt_;
  std::vector<TSQLCommand> commands_;
};

}  // namespace

TDeziLexer::TDeziLexer(const std::string& text, const TQueryParams* params)
    : commands_(TScanner(text, params).Scan()) {}

bool TDeziLexer::NextCommand() {
  if (current_ + 1 >= CommandCount()) return false;
  ++current_;
  return true;
}

TSQLCommand& TDeziLexer::CurrentCommand() {
  if (current_ < 0 || current_ >= CommandCount()) throw EEngineError("TDeziLexer - no current statement.");
  return commands_[static_cast<size_t>(current_)];
}

bool TDeziLexer::TokenAt(int32_t position, TToken& token) const {
  if (current_ < 0 || current_ >= CommandCount()) {
    token.Kind = tktNone;
    return false;
  }
  const std::vector<TToken>& tokens = commands_[static_cast<size_t>(current_)].Tokens;
  if (position < 0 || position >= static_cast<int32_t>(tokens.size())) {
    token.Kind = tktNone;
    return false;
  }
  token = tokens[static_cast<size_t>(position)];
  return true;
}

int32_t TDeziLexer::TokenPosition() const {
  return current_ >= 0 && current_ < CommandCount() ? commands_[static_cast<size_t>(current_)].Cursor : 0;
}

bool TDeziLexer::CurrentToken(TToken& token) const { return TokenAt(TokenPosition(), token); }

bool TDeziLexer::PeekToken(TToken& token) const { return TokenAt(TokenPosition() + 1, token); }

bool TDeziLexer::NextToken(TToken& token) {
  if (!PeekToken(token)) return false;
  ++commands_[static_cast<size_t>(current_)].Cursor;
  return true;
}

bool TDeziLexer::SetTokenPosition(int32_t position, TToken& token) {
  if (current_ >= 0 && current_ < CommandCount()) commands_[static_cast<size_t>(current_)].Cursor = position;
  return CurrentToken(token);
}

void TDeziLexer::ClassifyWord(TToken& token) {
  token.ReservedWord = kNoReservedWord;
  if (!token.Text.empty() && IsDigit(token.Text[0])) {
    token.Kind = token.Text.find_first_of(".eE") != std::string::npos ? tktFloat : tktInt;
    return;
  }
  token.ReservedWord = ReservedWordNumber(token.Text);
  token.Kind = token.ReservedWord != kNoReservedWord ? tktReservedWord : tktString;
}

bool TDeziLexer::IsReservedWord(const TToken& token, uint8_t word) {
  return token.Kind == tktReservedWord && (word == kNoReservedWord || token.ReservedWord == word);
}

}  // namespace norvane

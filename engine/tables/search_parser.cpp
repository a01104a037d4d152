// The filter language: a recursive-descent reader that writes operations in
// the order they were written, and two evaluators that read them back with
// the same grammar, one over sets of records, one over a single record.
#include "engine/tables/search_parser.h"

#include <cctype>

#include "engine/common/engine_error.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/record_match.h"

namespace norvane {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// A condition whose records are found by testing each one rather than by an
// index: it is worth testing only the records a conjunction still allows.
bool NeedsScan(const TDeziDataManager& table, const TSearchOperation& op, uint8_t options) {
  return ConditionIndexOf(table, op, options) < 0;
}

}  // namespace

class TSearchParser::TReader {
 public:
  TReader(TDeziDataManager& table, const std::string& text, uint8_t options, TSearchOperations& out)
      : table_(table), text_(text), options_(options), out_(out) {}

  // Blanks count as text here: only one last character may be left over.
  void Filter() {
    OrTerm(0);
    if (text_.size() - at_ > 1) throw EEngineError("End of line expected, but \"" + Rest() + "\" found");
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
  }
  std::string Rest() const { return text_.substr(at_); }

  // The word or symbol at the cursor, ignoring case; a word must end there.
  // A failed match consumes nothing, not even the blanks before it.
  bool Match(const char* word) {
    size_t from = at_;
    while (from < text_.size() && IsBlank(text_[from])) ++from;
    size_t n = 0;
    for (; word[n] != 0; ++n) {
      if (from + n >= text_.size()) return false;
      if (std::tolower(static_cast<unsigned char>(text_[from + n])) != word[n]) return false;
    }
    if (IsWordChar(word[0]) && from + n < text_.size() && IsWordChar(text_[from + n])) return false;
    at_ = from + n;
    return true;
  }
  // Words in a row ("not like", "is not null"), or nothing consumed.
  bool MatchWords(std::initializer_list<const char*> words) {
    const size_t start = at_;
    for (const char* word : words) {
      if (!Match(word)) {
        at_ = start;
        return false;
      }
    }
    return true;
  }

  void Push(TSearchKind kind) {
    TSearchOperation op;
    op.Kind = kind;
    out_.push_back(std::move(op));
  }

  void OrTerm(int depth) {
    AndTerm(depth);
    while (Match("or")) {
      Push(skOr);
      AndTerm(depth);
    }
  }

  void AndTerm(int depth) {
    Factor(depth);
    while (Match("and")) {
      Push(skAnd);
      Factor(depth);
    }
  }

  void Factor(int depth) {
    SkipBlanks();
    if (depth >= kMaxFilterDepth)
      throw EEngineError("Filter nested deeper than " + std::to_string(kMaxFilterDepth) +
                         " levels at character " + std::to_string(at_ + 1));
    if (Match("not")) {
      Push(skNot);
      Factor(depth + 1);
      return;
    }
    if (Match("(")) {
      const size_t open = out_.size();
      Push(skOpen);
      OrTerm(depth + 1);
      if (!Match(")")) throw EEngineError("Closing bracket \")\" expected, but \"" + Rest() + "\" found");
      // Brackets around one condition say nothing.
      if (out_.size() == open + 2 && out_.back().Kind == skCondition) {
        out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(open));
      } else {
        Push(skClose);
      }
      return;
    }
    Condition();
  }

  void Condition() {
    TSearchOperation op;
    op.FieldName = FieldName();
    op.FieldNo = table_.InternalGetFieldNo(op.FieldName);
    op.Operator = Operator();
    std::string value;
    if (op.Operator != soIsNull && op.Operator != soIsNotNull) {
      SkipBlanks();
      const bool quoted = at_ < text_.size() && (text_[at_] == '\'' || text_[at_] == '"');
      value = quoted ? Quoted() : Unquoted();
      if (quoted && (options_ & foNoPartialCompare) == 0) {
        op.Partial = true;
        if (value.empty() && op.Operator == soEqual) op.Operator = soIsNull;
        if (value.empty() && op.Operator == soNotEqual) op.Operator = soIsNotNull;
        if (!value.empty() && value.back() == '*') value.pop_back();
      }
    }
    PrepareValueBuffer(table_, op, value);
    out_.push_back(std::move(op));
  }

  std::string FieldName() {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == '[') {
      const size_t close = text_.find(']', at_ + 1);
      if (close == std::string::npos)
        throw EEngineError("Closing square bracket \"]\" expected, but not found in \"" + Rest() + "\"");
      const std::string inside = text_.substr(at_ + 1, close - at_ - 1);
      const size_t first = inside.find_first_not_of(" \t");
      if (first == std::string::npos) throw EEngineError("Invalid field name \"" + inside + "\"");
      at_ = close + 1;
      return inside.substr(first, inside.find_last_not_of(" \t") - first + 1);
    }
    const size_t start = at_;
    while (at_ < text_.size() && IsWordChar(text_[at_])) ++at_;
    return text_.substr(start, at_ - start);
  }

  TSearchOperator Operator() {
    // Two-character symbols first, so "<=" is not read as "<".
    if (Match("=")) return soEqual;
    if (Match("<>")) return soNotEqual;
    if (Match("<=")) return soLessOrEqual;
    if (Match(">=")) return soGreaterOrEqual;
    if (Match("<")) return soLess;
    if (Match(">")) return soGreater;
    if (Match("like")) return soLike;
    if (MatchWords({"not", "like"})) return soNotLike;
    if (MatchWords({"is", "null"})) return soIsNull;
    if (MatchWords({"is", "not", "null"})) return soIsNotNull;
    SkipBlanks();
    throw EEngineError("Operator expected, but \"" + Rest() + "\"  found");
  }

  std::string Quoted() {
    const size_t open = at_;
    const char quote = text_[at_++];
    std::string value;
    while (true) {
      if (at_ >= text_.size()) throw EEngineError("Unterminated string " + value + text_.substr(open));
      if (text_[at_] == quote) {
        if (at_ + 1 < text_.size() && text_[at_ + 1] == quote) {
          value += quote;
          at_ += 2;
          continue;
        }
        ++at_;
        return value;
      }
      value += text_[at_++];
    }
  }

  std::string Unquoted() {
    const char first = at_ < text_.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(text_[at_]))) : 0;
    if (first == 't' || first == 'f') {
      const std::string word = first == 't' ? "true" : "false";
      std::string read = text_.substr(at_, word.size());
      for (char& c : read) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (read != word) throw EEngineError("Unexpected meet of \"" + Rest() + "\"  found");
      at_ += word.size();
      return word;
    }
    // Digits, signs and the decimal point, and an exponent when digits
    // follow it, so every number the engine writes reads back.
    const size_t start = at_;
    auto digitAt = [&](size_t i) { return i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i])) != 0; };
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (digitAt(at_) || c == '+' || c == '-' || c == '.') {
        ++at_;
      } else if ((c == 'e' || c == 'E') && at_ > start && digitAt(at_ - 1) &&
                 (digitAt(at_ + 1) || ((text_[at_ + 1] == '+' || text_[at_ + 1] == '-') && digitAt(at_ + 2)))) {
        at_ += 2;
      } else {
        break;
      }
    }
    if (at_ == start) throw EEngineError("Number expected, but \"" + Rest() + "\"  found");
    return text_.substr(start, at_ - start);
  }

  TDeziDataManager& table_;
  const std::string& text_;
  uint8_t options_;
  TSearchOperations& out_;
  size_t at_ = 0;
};

// Reads the operations back with the grammar they were written in. Each
// evaluation is given the records still in question (`within`): its result
// must be exact inside them and may be anything outside, which lets a
// conjunction test the records of an indexed condition one by one instead
// of scanning the table for a condition no index answers.
class TSearchParser::TSetEvaluator {
 public:
  TSetEvaluator(TDeziDataManager& table, const TSearchOperations& ops, uint8_t options)
      : table_(table), ops_(ops), options_(options) {}

  TRecordSet OrTerm(const TRecordSet& within) {
    TRecordSet result = AndTerm(within);
    while (At(skOr)) {
      ++i_;
      result = result.Or(AndTerm(within));
    }
    return result;
  }

 private:
  bool At(TSearchKind kind) const { return i_ < ops_.size() && ops_[i_].Kind == kind; }

  TRecordSet AndTerm(const TRecordSet& within) {
    TRecordSet result = Factor(within);
    while (At(skAnd)) {
      ++i_;
      result = result.And(Factor(result.And(within)));
    }
    return result;
  }

  TRecordSet Factor(const TRecordSet& within) {
    if (At(skNot)) {
      ++i_;
      return Factor(within).Not();
    }
    if (At(skOpen)) {
      ++i_;
      TRecordSet result = OrTerm(within);
      ++i_;  // the closing bracket
      return result;
    }
    return Condition(ops_[i_++], within);
  }

  TRecordSet Condition(const TSearchOperation& op, const TRecordSet& within) {
    const bool pattern = op.Operator == soLike || op.Operator == soNotLike;
    const int32_t total = table_.Header().RecordCount;
    if ((pattern || NeedsScan(table_, op, options_)) && within.Count() * 8 < total) {
      std::vector<int32_t> passing;
      for (const int32_t p : within.Members())
        if (IsRecordMatches(table_, op, options_, table_.RecordPtr(p))) passing.push_back(p);
      return TRecordSet::Of(total, std::move(passing));
    }
    if (pattern)
      return TRecordSet::Where(total, [&](int32_t p) { return IsRecordMatches(table_, op, options_, table_.RecordPtr(p)); });
    return GetMatchedRecordsArray(table_, op, options_);
  }

  TDeziDataManager& table_;
  const TSearchOperations& ops_;
  uint8_t options_;
  size_t i_ = 0;
};

class TSearchParser::TRecordEvaluator {
 public:
  TRecordEvaluator(const TDeziDataManager& table, const TSearchOperations& ops, uint8_t options,
                   const uint8_t* record)
      : table_(table), ops_(ops), options_(options), record_(record) {}

  // With `needed` clear the operations are only passed over.
  bool OrTerm(bool needed) {
    bool result = AndTerm(needed);
    while (At(skOr)) {
      ++i_;
      const bool next = AndTerm(needed && !result);
      result = result || next;
    }
    return result;
  }

 private:
  bool At(TSearchKind kind) const { return i_ < ops_.size() && ops_[i_].Kind == kind; }

  bool AndTerm(bool needed) {
    bool result = Factor(needed);
    while (At(skAnd)) {
      ++i_;
      const bool next = Factor(needed && result);
      result = result && next;
    }
    return result;
  }

  bool Factor(bool needed) {
    if (At(skNot)) {
      ++i_;
      return !Factor(needed);
    }
    if (At(skOpen)) {
      ++i_;
      const bool result = OrTerm(needed);
      ++i_;
      return result;
    }
    const TSearchOperation& op = ops_[i_++];
    return needed && IsRecordMatches(table_, op, options_, record_);
  }

  const TDeziDataManager& table_;
  const TSearchOperations& ops_;
  uint8_t options_;
  const uint8_t* record_;
  size_t i_ = 0;
};

void TSearchParser::SetExpression(TDeziDataManager& table, const std::string& text, uint8_t options) {
  TSearchOperations parsed;
  if (text.find_first_not_of(" \t\r\n") != std::string::npos) TReader(table, text, options, parsed).Filter();
  table_ = &table;
  expression_ = text;
  options_ = options;
  operations_ = std::move(parsed);
}

void TSearchParser::Clear() {
  table_ = nullptr;
  expression_.clear();
  operations_.clear();
}

TRecordSet TSearchParser::EvaluateAll() const {
  if (operations_.empty() || table_ == nullptr) throw EEngineError("TSearchParser.Parse - Expression is blank.");
  return TSetEvaluator(*table_, operations_, options_).OrTerm(TRecordSet::All(table_->Header().RecordCount));
}

bool TSearchParser::EvaluateRecord(const uint8_t* record) const {
  if (operations_.empty() || table_ == nullptr) throw EEngineError("TSearchParser.Parse - Expression is blank.");
  return TRecordEvaluator(*table_, operations_, options_, record).OrTerm(true);
}

}  // namespace norvane

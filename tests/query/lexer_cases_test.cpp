// The lexer against the case file cases/lexer.txt. Each case is a name
// ("=== name"), optional parameters ("@param NAME TYPE VALUE", VALUE
// "<null>" for none; without any, the lexer gets no collection), the SQL
// text, "---", and what scanning gives: per statement a line "statement"
// and a line per token, "KIND LINE:COLUMN TEXT", or one line "error: " and
// the exact message.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/query/dezi_lexer.h"
#include "engine/query/reserved_words.h"

namespace norvane {
namespace {

struct TLexerCase {
  std::string Name;
  std::vector<std::string> Params;
  std::string Text;
  std::string Expected;
};

std::vector<TLexerCase> ReadCases() {
  std::ifstream file(std::string(NORVANE_QUERY_CASES) + "/lexer.txt");
  std::vector<TLexerCase> cases;
  std::string line;
  bool expected = false;
  while (std::getline(file, line)) {
    if (line.rfind("=== ", 0) == 0) {
      cases.push_back({line.substr(4), {}, "", ""});
      expected = false;
    } else if (cases.empty() || (line.rfind("#", 0) == 0 && !expected && cases.back().Text.empty())) {
      continue;
    } else if (line == "---") {
      expected = true;
    } else if (expected) {
      cases.back().Expected += line + "\n";
    } else if (line.rfind("@param ", 0) == 0) {
      cases.back().Params.push_back(line.substr(7));
    } else {
      cases.back().Text += (cases.back().Text.empty() ? "" : "\n") + line;
    }
  }
  // The blank lines between cases belong to none.
  for (TLexerCase& c : cases)
    while (c.Expected.size() >= 2 && c.Expected.compare(c.Expected.size() - 2, 2, "\n\n") == 0) c.Expected.pop_back();
  for (TLexerCase& c : cases)
    if (c.Expected == "\n") c.Expected.clear();
  return cases;
}

void PrintTo(const TLexerCase& c, std::ostream* out) { *out << c.Name; }

TFieldType TypeNamed(const std::string& name) {
  if (name == "integer") return ftInteger;
  if (name == "float") return ftFloat;
  if (name == "boolean") return ftBoolean;
  if (name == "date") return ftDate;
  if (name == "blob") return ftBlob;
  return ftString;
}

std::string KindName(const TToken& token) {
  switch (token.Kind) {
    case tktString: return "word";
    case tktQuotedString: return "quoted";
    case tktInt: return "int";
    case tktFloat: return "float";
    case tktReservedWord: return "reserved" + std::to_string(token.ReservedWord);
    case tktParam: return "param";
    case tktLeftParenthesis: return "(";
    case tktRightParenthesis: return ")";
    case tktComma: return "comma";
    case tktDot: return "dot";
    default: return "none";
  }
}

std::string Scanned(const TLexerCase& c) {
  TQueryParams params;
  for (const std::string& spec : c.Params) {
    std::istringstream in(spec);
    std::string name, type, value;
    in >> name >> type;
    std::getline(in >> std::ws, value);
    params.Add({name, TypeNamed(type), value == "<null>" ? std::nullopt : std::optional<std::string>(value)});
  }
  std::ostringstream out;
  try {
    TDeziLexer lexer(c.Text, c.Params.empty() ? nullptr : &params);
    while (lexer.NextCommand()) {
      out << "statement\n";
      TToken token;
      for (bool more = lexer.CurrentToken(token); more; more = lexer.NextToken(token)) {
        std::string text = token.Text;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) text.replace(at, 1, "\\n");
        out << KindName(token) << " " << token.Line << ":" << token.Column << " " << text << "\n";
      }
    }
  } catch (const std::exception& error) {
    out << "error: " << error.what() << "\n";
  }
  return out.str();
}

class LexerCases : public ::testing::TestWithParam<TLexerCase> {};

TEST_P(LexerCases, ScanAsWritten) { EXPECT_EQ(Scanned(GetParam()), GetParam().Expected) << GetParam().Text; }

INSTANTIATE_TEST_SUITE_P(File, LexerCases, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Every reserved word by its number, and nothing else: the numbers are how
// the parsers name the words.
TEST(ReservedWords, NumberedInTheirOrder) {
  for (uint8_t n = 1; n <= 234; ++n) {
    std::string lower = ReservedWordText(n);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ReservedWordNumber(ReservedWordText(n)), n);
    EXPECT_EQ(ReservedWordNumber(lower), n);
  }
  EXPECT_EQ(std::string(ReservedWordText(1)), "ACTION");
  EXPECT_EQ(std::string(ReservedWordText(234)), "NOCASE");
  for (const char* word : {"", "SELECTX", "SELEC", "notes", "\xd1\xc5\xcb\xc5\xca\xd2"})
    EXPECT_EQ(ReservedWordNumber(word), kNoReservedWord) << word;
}

}  // namespace
}  // namespace norvane

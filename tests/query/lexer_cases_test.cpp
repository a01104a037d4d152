// The lexer against the case file cases/lexer.txt. Each case is a name
// ("=== name"), optional parameters ("@param NAME TYPE VALUE", VALUE
// "<null>" for none; without any, the lexer gets no collection), the SQL
// text, "---", and what scanning gives: per statement a line "statement"
// and a line per token, "KIND LINE:COLUMN TEXT", or one line "error: " and
// the exact message.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/query/dezi_lexer.h"
#include "engine/query/reserved_words.h"
#include "engine/query/script_text.h"
#include "tests/query/case_file.h"

namespace norvane {
namespace {

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

std::string Scanned(const testing::TSqlCase& c) {
  const TQueryParams params = testing::SqlCaseParams(c);
  std::ostringstream out;
  try {
    TDeziLexer lexer = LexScript(c.Text, c.Params.empty() ? nullptr : &params);
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

class LexerCases : public ::testing::TestWithParam<testing::TSqlCase> {};

TEST_P(LexerCases, ScanAsWritten) { EXPECT_EQ(Scanned(GetParam()), GetParam().Expected) << GetParam().Text; }

INSTANTIATE_TEST_SUITE_P(File, LexerCases, ::testing::ValuesIn(testing::ReadSqlCases("lexer.txt")), testing::TCaseName());

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

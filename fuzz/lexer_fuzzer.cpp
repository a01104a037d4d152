// libFuzzer target: arbitrary bytes as SQL text for the lexer, with a
// parameter collection when the first byte is odd; each statement is then
// read as a condition and parsed and printed as a statement. Scanning and
// parsing must end in results or in the engine's errors, every token at a
// line and column of at least 1, and a second run over the same text must
// give the same tokens, trees and errors.
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/query/condition_parser.h"
#include "engine/query/dezi_lexer.h"
#include "engine/query/script_text.h"
#include "engine/query/statement_printer.h"

namespace {

std::string Tokens(const std::string& text, const norvane::TQueryParams* params) {
  std::string out;
  try {
    norvane::TDeziLexer lexer(text, params);
    while (lexer.NextCommand()) {
      out += ';';
      norvane::TToken token;
      for (bool more = lexer.CurrentToken(token); more; more = lexer.NextToken(token)) {
        if (token.Line < 1 || token.Column < 1) std::abort();
        out += std::to_string(token.Kind) + ":" + std::to_string(token.ReservedWord) + ":" + token.Text + "\x01";
      }
      try {
        lexer.SetTokenPosition(0, token);
        norvane::TETblExpression condition(lexer);
        condition.Parse();
        if (condition.Root() == nullptr) out += "?";
      } catch (const std::exception&) {
        out += "!";
      }
      // The statement parsers rewrite UPDATE and DELETE in place, so they
      // come last.
      try {
        out += norvane::PrintStatement(*norvane::ParseStatement(lexer));
      } catch (const std::exception& error) {
        out += error.what();
      }
    }
  } catch (const std::exception& error) {
    out = std::string("error ") + error.what();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  norvane::TQueryParams params;
  params.Add({"p", norvane::ftString, std::string("abc")});
  params.Add({"n", norvane::ftInteger, std::string("5")});
  params.Add({"b", norvane::ftBoolean, std::nullopt});
  const norvane::TQueryParams* given = (data[0] & 1) != 0 ? &params : nullptr;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (Tokens(text, given) != Tokens(text, given)) std::abort();
  return 0;
}

// The tokens the SQL lexer makes: kind, reserved-word number, text and the
// position of the first character.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

enum TTokenKind : uint8_t {
  tktNone = 0,             // no token at the asked position
  tktString = 1,           // a word: name, operator sign or other run
  tktQuotedString = 2,     // text between quotes, doubled quotes reduced
  tktInt = 3,              // begins with a digit, no "e", "E" or "."
  tktFloat = 4,            // begins with a digit, holds "e", "E" or "."
  tktReservedWord = 5,
  tktParam = 6,            // ":name" without a parameter collection
  tktLeftParenthesis = 7,
  tktRightParenthesis = 8,
  tktComma = 9,
  tktDot = 10,
};

// The reserved-word number of every token that is not a reserved word, and
// the "any reserved word" of IsReservedWord.
constexpr uint8_t kNoReservedWord = 235;

struct TToken {
  TTokenKind Kind = tktNone;
  uint8_t ReservedWord = kNoReservedWord;
  std::string Text;  // code page 1251
  int32_t Line = 0;
  int32_t Column = 0;
};

}  // namespace norvane

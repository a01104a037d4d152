// The 234 reserved words of the SQL dialect, numbered from 1 in their fixed
// order; the numbers are how parsers name them.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

// The number of the reserved word `text` is (letters a-z compared without
// case, nothing else), or kNoReservedWord.
uint8_t ReservedWordNumber(const std::string& text);
// The word of a number from 1 to 234; empty for any other.
const char* ReservedWordText(uint8_t number);

}  // namespace norvane

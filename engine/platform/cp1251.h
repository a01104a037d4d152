// Conversion between the engine's code page 1251 text and UTF-8, used where
// text crosses into the operating system or the user's terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

// The UTF-16 unit of one code page 1251 byte: every byte is one unit of the
// basic plane.
char16_t Cp1251Unit(uint8_t byte);
// Every code page 1251 byte has a Unicode character (0x98, unassigned in the
// code page, maps to U+0098), so this never fails.
std::string Cp1251ToUtf8(std::string_view text);
// Returns false, with a message naming the problem in `error`, when the text
// is not valid UTF-8 or holds a character code page 1251 cannot hold.
bool Utf8ToCp1251(std::string_view text, std::string& out, std::string& error);

}  // namespace norvane

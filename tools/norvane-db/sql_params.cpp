// Reading --param NAME=VALUE into typed query parameters.
#include "tools/norvane-db/sql_params.h"

#include <cctype>
#include <charconv>
#include <cstdint>

#include "engine/platform/cp1251.h"
#include "engine/platform/file_system.h"

namespace norvane::tool {

namespace {

bool AllDigits(const std::string& text, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

size_t SignLength(const std::string& text) {
  return !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
}

bool IsWholeNumber(const std::string& text) { return AllDigits(text, SignLength(text), text.size()); }

// [sign] (digits ["." [digits]] | "." digits) [("e" | "E") [sign] digits]:
// the shapes the script's own lexer reads as one number.
bool IsDecimalNumber(const std::string& text) {
  size_t at = SignLength(text);
  const size_t exponent = text.find_first_of("eE", at);
  const size_t mantissaEnd = exponent == std::string::npos ? text.size() : exponent;
  const size_t dot = text.find('.', at);
  if (dot == std::string::npos || dot > mantissaEnd) {
    if (!AllDigits(text, at, mantissaEnd)) return false;
  } else {
    const bool before = AllDigits(text, at, dot);
    const bool after = AllDigits(text, dot + 1, mantissaEnd);
    if (!(before || after) || (dot > at && !before) || (mantissaEnd > dot + 1 && !after)) return false;
  }
  if (exponent == std::string::npos) return true;
  at = exponent + 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  return AllDigits(text, at, text.size());
}

[[noreturn]] void Refuse(const std::string& nameValue, const std::string& why) {
  throw TUsageError{"--param " + Cp1251ToUtf8(nameValue) + ": " + why};
}

}  // namespace

TQueryParam ParamOf(const std::string& nameValue) {
  const size_t eq = nameValue.find('=');
  if (eq == std::string::npos) Refuse(nameValue, "give it as NAME=VALUE");
  if (eq == 0) Refuse(nameValue, "the name is empty");
  const std::string name = nameValue.substr(0, eq);
  const std::string value = nameValue.substr(eq + 1);
  // from_chars takes no "+", which the script's numbers may have.
  const std::string digits = value.substr(!value.empty() && value[0] == '+' ? 1 : 0);
  const char* const end = digits.data() + digits.size();
  if (IsWholeNumber(value)) {
    int64_t whole = 0;
    if (std::from_chars(digits.data(), end, whole).ec != std::errc())
      Refuse(nameValue, "the whole number does not fit 64 bits");
    const bool small = whole >= INT32_MIN && whole <= INT32_MAX;
    return {name, small ? ftInteger : ftLargeint, std::to_string(whole)};
  }
  if (IsDecimalNumber(value)) {
    double number = 0;
    if (std::from_chars(digits.data(), end, number).ec != std::errc())
      Refuse(nameValue, "the number is out of a float's range");
    return TQueryParam::Float(name, number);
  }
  return {name, ftString, value};
}

TQueryParams ParamsOf(const TCommandLine& line) {
  TQueryParams params;
  for (const std::string& given : line.All("param")) {
    TQueryParam param = ParamOf(given);
    if (params.Find(param.Name) != nullptr) Refuse(given, "the name is given twice");
    params.Add(std::move(param));
  }
  return params;
}

}  // namespace norvane::tool

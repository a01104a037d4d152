// The message table of native error codes and the exception's text.
#include "engine/tables/tbl_exception.h"

#include <cstdio>

namespace norvane {
namespace {

struct TTblMessage {
  int32_t code;
  const char* text;
};

// Codes 1 to 34 concern tables and operators, 1001 to 1058 SELECT parsing
// and queries, 2001 to 2088 DDL and DML. Kept in code order; code 7's text
// stands in for a code that has none.
const TTblMessage kMessages[] = {
    {1, "Missing right parenthesis at line %d, column %d"},
    {2, "Unexpected symbol ')' found at line %d, column %d"},
    {3, "Unterminated string at line %d, column %d"},
    {7, "Table is not opened, table name = '%s'."},
    {8, "Record buffer is nil. Table name = '%s'."},
    {9, "Invalid field number. Table name = '%s', FieldNo = %d"},
    {10, "Invalid field. Table name = '%s', FieldNo = %d"},
    {12, "Field header is nil. Table name = '%s', i = %d"},
    {13, "Field not found. Table name = '%s', Field name = '%s'"},
    {18, "Record buffer is nil. Table name = '%s'."},
    {19, "Record buffer is nil. Table name = '%s'."},
    {25, "Invalid type cast."},
    {28, "Invalid type - compare is not supported."},
    {32, "Distinct index not created. FTableName = '%s', FDistinctFields = '%s'."},
    {1008, "Unexpected end of SQL command found at line %d"},
    {1001, "Blank SQL command"},
    {1037, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1038, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1039, "Unexpected end of SQL command found at line %d"},
    {1040, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1041, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1042, "Unexpected token '%s' found at line %d, column %d"},
    {1043, "Unexpected token '%s' found at line %d, column %d"},
    {1044, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {1052, "Field '%s' not found"},
    {1053, "Operator with code=%d is not supported"},
    {1054, "Ambiguous field reference to '%s'"},
    {1055, "Ambiguous field reference to '%s'"},
};

std::string ArgumentText(const TTblArgument& argument) {
  if (const std::string* text = std::get_if<std::string>(&argument)) return *text;
  return std::to_string(std::get<int64_t>(argument));
}

std::string Compose(int32_t code, const std::vector<TTblArgument>& arguments,
                    const std::string& component) {
  std::string message = FormatTblMessage(TblMessageText(code), arguments);
  if (!component.empty()) message = component + ": " + message;
  char number[16];
  std::snprintf(number, sizeof number, "%05d", static_cast<int>(code));
  return message + " - Native error: " + number;
}

}  // namespace

const char* TblMessageText(int32_t code) {
  const TTblMessage* fallback = nullptr;
  for (const TTblMessage& message : kMessages) {
    if (message.code == code) return message.text;
    if (message.code == 7) fallback = &message;
  }
  return fallback->text;
}

std::string FormatTblMessage(const std::string& text, const std::vector<TTblArgument>& arguments) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool placeholder = text[i] == '%' && i + 1 < text.size();
    const char kind = placeholder ? text[i + 1] : '\0';
    if (kind == '%') {
      out += '%';
      ++i;
    } else if ((kind == 's' || kind == 'd') && next < arguments.size()) {
      out += ArgumentText(arguments[next++]);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

ETblException::ETblException(int32_t code, const std::vector<TTblArgument>& arguments,
                             const std::string& component)
    : EEngineError(Compose(code, arguments, component)), code_(code) {}

}  // namespace norvane

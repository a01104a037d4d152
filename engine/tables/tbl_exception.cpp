// The message table of native error codes and the exception's text.
#include "engine/tables/tbl_exception.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace norvane {
namespace {

struct TTblMessage {
  int32_t code;
  const char* text;
};

// Codes 1 to 34 concern tables and operators, 1001 to 1058 SELECT parsing
// and queries, 2001 to 2088 DDL and DML; 2089 (a name too long) and 2090
// (columns and values that do not pair up) came later. Many codes share a
// text: the number tells the places apart, the text tells a person what is
// wrong.
//
// Kept strictly in code order, so a lookup is a binary search, and a code
// the table does not hold falls back to the first entry. Entries marked
// "ours" are texts we wrote for codes that had none; they take the wording
// and arguments of their neighbours (offending token, line and column for a
// parse code) so that a caller raising one gets a message in the same style.
constexpr TTblMessage kMessages[] = {
    {1, "Missing right parenthesis at line %d, column %d"},
    {2, "Unexpected symbol ')' found at line %d, column %d"},
    {3, "Unterminated string at line %d, column %d"},
    {4, "Cannot open table '%s'. DatabaseName = %s, DatabaseFileName = %s, InMemory = %d."},
    {5, "Cannot close table '%s'."},  // ours
    {6, "Table is already opened, table name = '%s'."},  // ours
    {7, "Table is not opened, table name = '%s'."},
    {8, "Record buffer is nil. Table name = '%s'."},
    {9, "Invalid field number. Table name = '%s', FieldNo = %d"},
    {10, "Invalid field. Table name = '%s', FieldNo = %d"},
    {11, "Invalid field number. Table name = '%s', FieldNo = %d"},
    {12, "Field header is nil. Table name = '%s', i = %d"},
    {13, "Field not found. Table name = '%s', Field name = '%s'"},
    {14, "Invalid table name. Table name = '%s', alias = '%s', invalid table name = '%s'"},
    {15, "Field link is invalid - AO = Dataset = nil. Table name = '%s', FieldNo = %d"},
    {16, "Cannot read hidden field. Table name = '%s', FieldNo = %d"},
    {17, "Cannot set index - result dataset does not exists."},
    {18, "Record buffer is nil. Table name = '%s'."},
    {19, "Record buffer is nil. Table name = '%s'."},
    {20, "Invalid field. Table name = '%s', FieldName = '%s', i = %d, FieldExists = %d"},
    {21, "Invalid field. Table name = '%s', FieldName = '%s', i = %d, FieldExists = %d"},
    {22, "Array is empty. ItemCount = %d"},
    {23, "Different Length of arrays. Length1 = %d, Length2 = %d."},
    {24, "Field is hidden. FieldName = '%s', DisplayName = '%s', j = %d"},
    {25, "Invalid type cast."},
    {26, "Invalid type cast. Field1 = '%s', Field2 = '%s'."},
    {27, "Both join fields are from the same table. Field1 = '%s', Field2 = '%s', No1 = %d, No2 = %d."},
    {28, "Invalid type - compare is not supported."},
    {29, "Invalid type - compare is not supported. Field1 = '%s', Field2 = '%s'."},
    {30, "Equal records in joins, while not EOF loop."},
    {31, "Field is hidden. FieldName = '%s', DisplayName = '%s', j = %d"},
    {32, "Distinct index not created. FTableName = '%s', FDistinctFields = '%s'."},
    {33, "Field '%s' not found"},
    {34, "Ambiguous field reference to '%s'"},
    {1001, "Blank SQL command"},
    {1002, "SQL statement expected, but '%s' found at line %d, column %d"},  // ours
    {1003, "SQL token expected, but '%s' found at line %d, column %d"},
    {1004, "Blank SQL command"},
    {1005, "SQL token expected, but '%s' found at line %d, column %d"},
    {1006, "Select list expected, but '%s' found at line %d, column %d"},  // ours
    {1007, "Unexpected token '%s' found at line %d, column %d"},
    {1008, "Unexpected end of SQL command found at line %d"},
    {1009, "Field name expected, but '%s' found at line %d, column %d"},
    {1010, "Field pseudonym expected, but '%s' found at line %d, column %d"},
    {1011, "Field name expected, but '%s' found at line %d, column %d"},
    {1012, "Table name expected, but '%s' found at line %d, column %d"},
    {1013, "Database name expected, but '%s' found at line %d, column %d"},  // ours
    {1014, "FROM expected, but '%s' found at line %d, column %d"},
    {1015, "Table name expected, but '%s' found at line %d, column %d"},
    {1016, "Table name expected, but '%s' found at line %d, column %d"},
    {1017, "Field list expected, but '%s' found at line %d, column %d"},
    {1018, "Field pseudonym expected, but '%s' found at line %d, column %d"},
    {1019, "Duplicate table alias '%s' at line %d, column %d"},  // ours
    {1020, "')' symbol expected, but '%s' found at line %d, column %d"},  // ours
    {1021, "Field name expected, but '%s' found at line %d, column %d"},
    {1022, "Field name expected, but '%s' found at line %d, column %d"},
    {1023, "Join type expected, but '%s' found at line %d, column %d"},  // ours
    {1024, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {1025, "Unexpected token '%s' found at line %d, column %d"},
    {1026, "Unexpected token '%s' found at line %d, column %d"},
    {1027, "Unexpected token '%s' found at line %d, column %d"},
    {1028, "Unexpected token '%s' found at line %d, column %d"},
    {1029, "Unexpected token '%s' found at line %d, column %d"},
    {1030, "Unexpected token '%s' found at line %d, column %d"},
    {1031, "Unexpected token '%s' found at line %d, column %d"},
    {1032, "Table name expected, but '%s' found at line %d, column %d"},
    {1033, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {1034, "Unexpected token '%s' found at line %d, column %d"},
    {1035, "Field name expected, but '%s' found at line %d, column %d"},
    {1036, "Field name expected, but '%s' found at line %d, column %d"},
    {1037, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1038, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1039, "Unexpected end of SQL command found at line %d"},
    {1040, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1041, "Boolean expression expected, but '%s' found at line %d, column %d"},
    {1042, "Unexpected token '%s' found at line %d, column %d"},
    {1043, "Unexpected token '%s' found at line %d, column %d"},
    {1044, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {1045, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {1046, "Unexpected token '%s' found at line %d, column %d"},
    {1047, "'ASC' or 'DESC' expected, but '%s' found at line %d, column %d"},  // ours
    {1048, "Sort field list expected, but '%s' found at line %d, column %d"},  // ours
    {1049, "Field name expected, but '%s' found at line %d, column %d"},
    {1050, "Unexpected token '%s' found at line %d, column %d"},
    {1051, "Column '%s' from ORDER BY clause not found"},
    {1052, "Field '%s' not found"},
    {1053, "Operator with code=%d is not supported"},
    {1054, "Ambiguous field reference to '%s'"},
    {1055, "Ambiguous field reference to '%s'"},
    {1056, "Circular datalinks are not allowed"},
    {1057, "Ambiguous field reference to '%s'"},
    {1058, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2001, "Unexpected end of SQL command found at line %d"},
    {2002, "'TABLE' or 'INDEX' keyword expected, but '%s' found at line %d, column %d"},
    {2003, "Table name expected, but '%s' found at line %d, column %d"},
    {2004, "'(' symbol expected, but '%s' found at line %d, column %d"},
    {2005, "Field name expected, but '%s' found at line %d, column %d"},
    {2006, "Field type expected, but '%s' found at line %d, column %d"},
    {2007, "Unknown fileld type '%s' at line %d, column %d"},
    {2008, "'(' symbol expected, but '%s' found at line %d, column %d"},
    {2009, "Decimal constant expected, but '%s' found at line %d, column %d"},
    {2010, "')' symbol expected, but '%s' found at line %d, column %d"},
    {2011, "'NULL' expected (for NOT NULL), but '%s' found at line %d, column %d"},
    {2012, "Unexpected end of SQL command found at line %d"},
    {2013, "Field definition expected, but '%s' found at line %d, column %d"},  // ours
    {2014, "Error creating table: '%s'"},
    {2015, "Unexpected token '%s' found at line %d, column %d"},
    {2016, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2017, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2018, "Option '%s' given more than once at line %d, column %d"},  // ours
    {2019, "Blob Compression Level value expected, but '%s' found at line %d, column %d"},
    {2020, "Unknown compress level: '%s' found at line %d, column %d"},
    {2021, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2022, "Option '%s' given more than once at line %d, column %d"},  // ours
    {2023, "Decimal constant expected, but '%s' found at line %d, column %d"},
    {2024, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2025, "Option '%s' given more than once at line %d, column %d"},  // ours
    {2026, "Decimal constant expected, but '%s' found at line %d, column %d"},
    {2027, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2028, "Option '%s' given more than once at line %d, column %d"},  // ours
    {2029, "Unexpected end of SQL command found at line %d"},
    {2030, "Table '%s' already exists"},  // ours
    {2031, "Field '%s' is defined more than once"},  // ours
    {2032, "Invalid size of field '%s': %d"},  // ours
    {2033, "Error dropping table: '%s'"},
    {2034, "Table '%s' not found"},  // ours
    {2035, "'TABLE' or 'INDEX' keyword expected, but '%s' found at line %d, column %d"},
    {2036, "Unexpected end of SQL command found at line %d"},
    {2037, "Blank SQL command"},
    {2038, "Table name expected, but '%s' found at line %d, column %d"},
    {2039, "Blank SQL command"},
    {2040, "ADD, DROP or MODIFY keyword expected, but '%s' found at line %d, column %d"},
    {2041, "ADD, DROP or MODIFY keyword expected, but '%s' found at line %d, column %d"},
    {2042, "Unexpected end of SQL command found at line %d"},
    {2043, "Unexpected token '%s' found at line %d, column %d"},
    {2044, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2045, "Field type expected for new field '%s'"},  // ours
    {2046, "Field '%s' already exists"},  // ours
    {2047, "Error dropping column(s): '%s'"},
    {2048, "Field '%s' not found"},
    {2049, "Cannot drop every field of table '%s'"},  // ours
    {2050, "Unexpected token '%s' found at line %d, column %d"},
    {2051, "Blank SQL command"},
    {2052, "'INDEX' keyword expected, but '%s' found at line %d, column %d"},
    {2053, "index name expected, but '%s' found at line %d, column %d"},
    {2054, "'ON' keyword expected, but '%s' found at line %d, column %d"},
    {2055, "Table name expected, but '%s' found at line %d, column %d"},
    {2056, "'(' symbol expected, but '%s' found at line %d, column %d"},
    {2057, "Field name expected, but '%s' found at line %d, column %d"},
    {2058, "Field '%s' repeated in the index at line %d, column %d"},  // ours
    {2059, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2060, "Error creating index: '%s'"},  // ours
    {2061, "Unexpected token '%s' found at line %d, column %d"},
    {2062, "Index name expected, but '%s' found at line %d, column %d"},  // ours
    {2063, "Index '%s' not found"},  // ours
    {2064, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {2065, "'PASSWORD' keyword expected, but '%s' found at line %d, column %d"},  // ours
    {2066, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2067, "Error dropping index: '%s'"},  // ours
    {2068, "Unexpected token '%s' found at line %d, column %d"},
    {2069, "'INSERT' keyword expected, but '%s' found at line %d, column %d"},  // ours
    {2070, "Blank SQL command"},
    {2071, "INTO keyword expected, but '%s' found at line %d, column %d"},
    {2072, "Table name expected, but '%s' found at line %d, column %d"},
    {2073, "Column name expected, but '%s' found at line %d, column %d"},  // ours
    {2074, "')' or ',' symbol expected, but '%s' found at line %d, column %d"},
    {2075, "Value expected, but '%s' found at line %d, column %d"},  // ours
    {2076, "'VALUES' keyword expected, but '%s' found at line %d, column %d"},  // ours
    {2077, "'(' symbol expected, but '%s' found at line %d, column %d"},
    {2078, "Insert from select is not supported yet"},
    {2079, "Error inserting record: '%s'"},  // ours
    {2080, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2081, "Blank SQL command"},
    {2082, "Blank SQL command"},
    {2083, "Table name expected, but '%s' found at line %d, column %d"},
    {2084, "Quoted password expected (for PASSWORD \"passwordData\"), but '%s' found at line %d, column %d"},
    {2085, "'SET' keyword expected, but '%s' found at line %d, column %d"},
    {2086, "Token '=' expected, but '%s' found at line %d, column %d"},
    {2087, "Value expected, but '%s' found at line %d, column %d"},  // ours
    {2088, "Token '%s' expected, but '%s' found at line %d, column %d"},
    {2089, "Name '%s' is longer than %d characters at line %d, column %d"},
    {2090, "%d column(s) but %d value(s) given, at line %d, column %d"},
};

constexpr bool StrictlyAscending() {
  for (size_t i = 1; i < std::size(kMessages); ++i) {
    if (kMessages[i - 1].code >= kMessages[i].code) return false;
  }
  return true;
}
static_assert(StrictlyAscending(), "kMessages must stay in strictly ascending code order");

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
  const TTblMessage* found =
      std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                       [](const TTblMessage& message, int32_t wanted) { return message.code < wanted; });
  if (found != std::end(kMessages) && found->code == code) return found->text;
  return kMessages[0].text;
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

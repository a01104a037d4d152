// One INSERT or UPDATE value written to its field by the field's type.
#include "engine/query/literal_assignment.h"

#include <climits>
#include <cmath>

#include "engine/tables/database_error.h"
#include "engine/tables/field_text.h"

namespace norvane {
namespace {

// The literal as a float: "." only as the separator (a "," would make
// "1,5" mean one and a half here and two values in a statement), and a
// finite value, since "inf" and "nan" are words, not numbers.
double ExactNumber(const TField& field, const std::string& text) {
  double number = 0;
  if (text.find(',') != std::string::npos || !ParseNumber(text, number) || !std::isfinite(number))
    throw EDatabaseError("'" + text + "' is not a valid number for field '" + field.FieldName() + "'");
  return number;
}

void AskRowId(TDeziTable& table, const TField& field, const std::string& text) {
  // Outside an insert the request would wait for the next append and give
  // that record an identifier nobody asked it for.
  if (table.State() != dsInsert)
    throw EDatabaseError("Field '" + field.FieldName() + "' is the row identifier and cannot be changed");
  int64_t id = 0;
  if (!ParseWholeNumber(text, id) || id < 1 || id > INT32_MAX)
    throw EDatabaseError("'" + text + "' is not a valid row identifier for field '" + field.FieldName() + "'");
  table.SetNextRowId(static_cast<int32_t>(id));
}

}  // namespace

void AssignLiteral(TDeziTable& table, TField& field, const TSQLLiteral& value) {
  if (value.Null) return field.Clear();
  switch (field.DataType()) {
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      field.SetAsFloat(ExactNumber(field, value.Text));
      return;
    case ftAutoInc:
      AskRowId(table, field, value.Text);
      return;
    default:
      field.SetAsString(value.Text);
  }
}

}  // namespace norvane

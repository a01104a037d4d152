// A whole-record value reaches its field through the setter of its kind, so
// each field class applies its own conversions and range checks.
#include "engine/tables/field_argument.h"

#include "engine/tables/dataset_field.h"
#include "engine/tables/field_text.h"
#include "engine/tables/field_types.h"

namespace norvane {

void TFieldArgument::AssignTo(TField& field) const {
  switch (kind_) {
    case fkNull: field.Clear(); break;
    case fkInteger: field.SetAsLargeInt(integer_); break;
    case fkFloat: field.SetAsFloat(float_); break;
    case fkBoolean: field.SetAsBoolean(boolean_); break;
    case fkText: field.SetAsString(text_); break;
  }
}

TFieldArgument TFieldArgument::Of(const TField& field) {
  if (field.IsNull()) return {};
  switch (field.DataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
      return TFieldArgument(field.AsLargeInt());
    case ftFloat: case ftCurrency: return TFieldArgument(field.AsFloat());
    case ftBoolean: return TFieldArgument(field.AsBoolean());
    default: return TFieldArgument(field.AsString());
  }
}

std::string TFieldArgument::KeyText() const {
  switch (kind_) {
    case fkNull: return {};
    case fkInteger: return std::to_string(integer_);
    case fkFloat: return FormatNumber(float_);
    case fkBoolean: return boolean_ ? "true" : "false";
    case fkText: return text_;
  }
  return {};
}

}  // namespace norvane

// A whole-record value reaches its field through the setter of its kind, so
// each field class applies its own conversions and range checks.
#include "engine/tables/field_argument.h"

#include "engine/tables/dataset_field.h"

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

}  // namespace norvane

// A field's value from text in the forms the table commands print (see
// field_text.h), so what dump writes imports back: whole numbers in
// decimal, numbers with "." as the decimal point, booleans true/false/1/0,
// dates YYYY-MM-DD, times HH:MM:SS[.mmm], date-times "YYYY-MM-DD HH:MM:SS",
// bytes in hexadecimal, memo texts whole. Empty text is no value.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dataset_field.h"

namespace norvane::tool {

// Whether text can fill a field of this type: every type but the binary
// large values (BLOB and GRAPHIC), which dump shows only as a byte count.
bool TakesText(TFieldType type);

// Writes `text` (engine text) into `field` of a record being edited or
// inserted. Throws EEngineError naming the value and the field when the
// text is not of the field's form, is longer than the field, or is out of
// its range.
void SetFieldText(TField& field, const std::string& text);

// A whole number in decimal (a leading "-" allowed, nothing else around
// it); false for any other text or one outside int64.
bool ParseDecimal(const std::string& text, int64_t& value);

}  // namespace norvane::tool

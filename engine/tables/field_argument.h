// One value of a whole-record append or insert: a null, a whole number, a
// float, a boolean or code page 1251 text, each written through the field's
// setter of that kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvane {

class TField;

class TFieldArgument {
 public:
  enum TKind { fkNull, fkInteger, fkFloat, fkBoolean, fkText };

  TFieldArgument(std::nullptr_t = nullptr) {}
  TFieldArgument(int value) : kind_(fkInteger), integer_(value) {}
  TFieldArgument(int64_t value) : kind_(fkInteger), integer_(value) {}
  TFieldArgument(double value) : kind_(fkFloat), float_(value) {}
  TFieldArgument(bool value) : kind_(fkBoolean), boolean_(value) {}
  TFieldArgument(const char* value) : kind_(fkText), text_(value) {}
  TFieldArgument(std::string value) : kind_(fkText), text_(std::move(value)) {}

  // The field's value as its type reads it: whole numbers as integers,
  // floats and currency as floats, booleans, and every other type as text.
  static TFieldArgument Of(const TField& field);

  TKind Kind() const { return kind_; }
  bool IsNull() const { return kind_ == fkNull; }
  int64_t Integer() const { return integer_; }
  double Float() const { return float_; }
  bool Boolean() const { return boolean_; }
  const std::string& Text() const { return text_; }
  // The value as a key text of a search: decimal integers, floats in their
  // shortest exact form, true or false, text as it is; empty for null.
  std::string KeyText() const;
  // Writes the value to `field` (a null clears it); throws what the setter
  // throws.
  void AssignTo(TField& field) const;

 private:
  TKind kind_ = fkNull;
  int64_t integer_ = 0;
  double float_ = 0;
  bool boolean_ = false;
  std::string text_;
};

}  // namespace norvane

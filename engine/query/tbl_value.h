// A typed value as the query engine carries constants and values read from
// records: a field type, the bytes in the record layout of that type (text
// zero-terminated), or none. A value owns a copy of its bytes unless it was
// made to borrow them from a record that outlives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tables/field_types.h"

namespace norvane {

class TETblValue {
 public:
  TETblValue() = default;  // null
  TETblValue(const TETblValue& other);
  TETblValue& operator=(const TETblValue& other);
  TETblValue(TETblValue&&) noexcept = default;
  TETblValue& operator=(TETblValue&&) noexcept = default;

  static TETblValue Integer(int32_t value);
  static TETblValue Float(double value);
  static TETblValue String(const std::string& value);
  // A copy of `size` bytes of a value of `type`.
  static TETblValue Copy(TFieldType type, const uint8_t* data, int32_t size);
  // The bytes stay where they are; they must outlive the value.
  static TETblValue Borrow(TFieldType type, const uint8_t* data, int32_t size);

  TFieldType Type() const { return type_; }
  int32_t Size() const { return size_; }
  bool IsNull() const { return null_; }
  bool Borrowed() const { return data_ != nullptr && data_ != owned_.data(); }
  const uint8_t* Data() const { return data_; }
  // Frees owned bytes; the value is null again.
  void Clear();

 private:
  TFieldType type_ = ftString;
  int32_t size_ = 0;
  bool null_ = true;
  const uint8_t* data_ = nullptr;
  std::vector<uint8_t> owned_;
};

// How two values compare: 0 equal, 1 a greater, 2 a smaller, 3 only a is
// null, 4 only b is null, 5 both null. Text compares by the engine's
// collation (wide text by the user's locale), ignoring case when asked;
// `partial` compares only as much of a as b is long. Types must match, but
// an ftAutoInc meets any integer type as an ftInteger: otherwise
// ETblException 25 "Invalid type cast."; a type without an order (large
// values, bytes, BCD) is 28 "Invalid type - compare is not supported.".
int CompareValues(const TETblValue& a, const TETblValue& b, bool partial, bool caseInsensitive);

}  // namespace norvane

// Typed values and their comparison.
#include "engine/query/tbl_value.h"

#include <cstring>
#include <optional>

#include "engine/common/byte_codec.h"
#include "engine/tables/stored_value_compare.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

TETblValue::TETblValue(const TETblValue& other) { *this = other; }

TETblValue& TETblValue::operator=(const TETblValue& other) {
  if (this == &other) return *this;
  // A copy always owns its bytes, borrowed or not in the original.
  *this = other.null_ ? TETblValue() : Copy(other.type_, other.data_, other.size_);
  type_ = other.type_;
  return *this;
}

TETblValue TETblValue::Copy(TFieldType type, const uint8_t* data, int32_t size) {
  TETblValue value;
  value.type_ = type;
  value.size_ = size;
  value.null_ = false;
  value.owned_.assign(data, data + size);
  value.owned_.push_back(0);  // room for a terminator even when empty
  value.data_ = value.owned_.data();
  return value;
}

TETblValue TETblValue::Borrow(TFieldType type, const uint8_t* data, int32_t size) {
  TETblValue value;
  value.type_ = type;
  value.size_ = size;
  value.null_ = false;
  value.data_ = data;
  return value;
}

TETblValue TETblValue::Integer(int32_t number) {
  uint8_t bytes[4];
  PutI32LE(bytes, number);
  return Copy(ftInteger, bytes, 4);
}

TETblValue TETblValue::Float(double number) {
  uint8_t bytes[8];
  std::memcpy(bytes, &number, 8);
  return Copy(ftFloat, bytes, 8);
}

TETblValue TETblValue::String(const std::string& text) {
  return Copy(ftString, reinterpret_cast<const uint8_t*>(text.c_str()), static_cast<int32_t>(text.size() + 1));
}

void TETblValue::Clear() { *this = TETblValue(); }

namespace {

template <class T>
int Order(T a, T b) { return a > b ? 1 : a < b ? 2 : 0; }

bool IsIntegerKind(int type) {
  return type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint || type == ftAutoInc;
}

int32_t IntegerSize(int type) {
  return type == ftSmallint || type == ftWord ? 2 : type == ftLargeint ? 8 : 4;
}

// The value's bytes, checked to hold at least `n` of them.
const uint8_t* Bytes(const TETblValue& v, int32_t n) {
  if (v.Size() < n || v.Data() == nullptr) throw ETblException(25);
  return v.Data();
}

int64_t IntegerOf(const TETblValue& v) {
  const uint8_t* p = Bytes(v, IntegerSize(v.Type()));
  switch (v.Type()) {
    case ftSmallint: return static_cast<int16_t>(GetU16LE(p));
    case ftWord: return GetU16LE(p);
    case ftLargeint: return GetI64LE(p);
    default: return GetI32LE(p);
  }
}

bool HasOrder(int type) {
  return IsIntegerKind(type) || type == ftString || type == ftWideString || type == ftBoolean ||
         type == ftFloat || type == ftCurrency || type == ftDate || type == ftTime || type == ftDateTime;
}

}  // namespace

int CompareValues(const TETblValue& a, const TETblValue& b, bool partial, bool caseInsensitive) {
  if (a.IsNull() && b.IsNull()) return 5;
  if (a.IsNull()) return 3;
  if (b.IsNull()) return 4;
  if (a.Type() != b.Type()) {
    // An auto-increment value meets any other whole number as an integer.
    const bool autoInc = a.Type() == ftAutoInc || b.Type() == ftAutoInc;
    if (!autoInc || !IsIntegerKind(a.Type()) || !IsIntegerKind(b.Type())) throw ETblException(25);
    return Order(IntegerOf(a), IntegerOf(b));
  }
  if (!HasOrder(a.Type())) throw ETblException(28);
  const std::optional<int> order =
      CompareStoredValues(a.Type(), a.Data(), a.Size(), b.Data(), b.Size(), partial, caseInsensitive);
  // Every ordered type got this far, so no order means data too short for it.
  if (!order) throw ETblException(25);
  return *order > 0 ? 1 : *order < 0 ? 2 : 0;
}

}  // namespace norvane

// Typed values and their comparison.
#include "engine/query/tbl_value.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "engine/common/byte_codec.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
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

int Sign(int c) { return c > 0 ? 1 : c < 0 ? 2 : 0; }
template <class T>
int Order(T a, T b) { return a > b ? 1 : a < b ? 2 : 0; }

bool IsIntegerKind(int type) {
  return type == ftSmallint || type == ftInteger || type == ftWord || type == ftLargeint || type == ftAutoInc;
}

// The value's bytes, checked to hold at least `n` of them.
const uint8_t* Bytes(const TETblValue& v, int32_t n) {
  if (v.Size() < n || v.Data() == nullptr) throw ETblException(25);
  return v.Data();
}

double FloatOf(const uint8_t* p) {
  double d;
  std::memcpy(&d, p, 8);
  return d;
}

int64_t IntegerOf(const TETblValue& v) {
  switch (v.Type()) {
    case ftSmallint: return static_cast<int16_t>(GetU16LE(Bytes(v, 2)));
    case ftWord: return GetU16LE(Bytes(v, 2));
    case ftLargeint: return GetI64LE(Bytes(v, 8));
    default: return GetI32LE(Bytes(v, 4));
  }
}

std::u16string WideText(const TETblValue& v, size_t limit) {
  std::u16string text;
  const uint8_t* p = v.Data();
  for (int32_t i = 0; i + 1 < v.Size() && text.size() < limit; i += 2) {
    const char16_t unit = static_cast<char16_t>(GetU16LE(p + i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

int CompareWide(const TETblValue& a, const TETblValue& b, bool partial, bool caseInsensitive) {
  static const std::unique_ptr<TLocaleService> locale = MakeUserLocale();
  const std::u16string right = WideText(b, SIZE_MAX);
  const std::u16string left = WideText(a, partial ? right.size() : SIZE_MAX);
  std::string keyA, keyB;
  locale->AppendSortKey(left, caseInsensitive, keyA);
  locale->AppendSortKey(right, caseInsensitive, keyB);
  return Sign(keyA.compare(keyB));
}

int CompareText(const TETblValue& a, const TETblValue& b, bool partial, bool caseInsensitive) {
  // Bounded by the sizes, so text without its terminator is still read safely.
  const std::string left(reinterpret_cast<const char*>(a.Data()), strnlen(reinterpret_cast<const char*>(a.Data()), static_cast<size_t>(a.Size())));
  const std::string right(reinterpret_cast<const char*>(b.Data()), strnlen(reinterpret_cast<const char*>(b.Data()), static_cast<size_t>(b.Size())));
  if (partial)
    return Sign(caseInsensitive ? CollateCompareCIN(left.c_str(), right.c_str(), right.size())
                                : CollateCompareN(left.c_str(), right.c_str(), right.size()));
  return Sign(caseInsensitive ? CollateCompareCI(left.c_str(), right.c_str()) : CollateCompare(left.c_str(), right.c_str()));
}

}  // namespace

int CompareValues(const TETblValue& a, const TETblValue& b, bool partial, bool caseInsensitive) {
  if (a.IsNull() && b.IsNull()) return 5;
  if (a.IsNull()) return 3;
  if (b.IsNull()) return 4;
  int type = a.Type();
  if (a.Type() != b.Type()) {
    const bool autoInc = a.Type() == ftAutoInc || b.Type() == ftAutoInc;
    if (!autoInc || !IsIntegerKind(a.Type()) || !IsIntegerKind(b.Type())) throw ETblException(25);
    type = ftInteger;
  }
  switch (type) {
    case ftString: return CompareText(a, b, partial, caseInsensitive);
    case ftWideString: return CompareWide(a, b, partial, caseInsensitive);
    case ftSmallint: case ftInteger: case ftWord: case ftLargeint: case ftAutoInc:
      return Order(IntegerOf(a), IntegerOf(b));
    case ftBoolean: return Order(GetU16LE(Bytes(a, 2)) != 0, GetU16LE(Bytes(b, 2)) != 0);
    case ftFloat: case ftCurrency: return Order(FloatOf(Bytes(a, 8)), FloatOf(Bytes(b, 8)));
    case ftDate: case ftTime: return Order(GetI32LE(Bytes(a, 4)), GetI32LE(Bytes(b, 4)));
    case ftDateTime:
      return Order(std::llround(FloatOf(Bytes(a, 8))), std::llround(FloatOf(Bytes(b, 8))));
    default: throw ETblException(28);
  }
}

}  // namespace norvane

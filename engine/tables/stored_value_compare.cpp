// Comparison of stored field values, type by type.
#include "engine/tables/stored_value_compare.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "engine/common/byte_codec.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

template <class T>
int Order(T a, T b) { return a < b ? -1 : b < a ? 1 : 0; }
int Sign(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

std::u16string WideText(const uint8_t* p, int32_t size, size_t limit) {
  std::u16string text;
  for (int32_t i = 0; i + 1 < size && text.size() < limit; i += 2) {
    const char16_t unit = static_cast<char16_t>(GetU16LE(p + i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

int CompareWide(const uint8_t* a, int32_t sizeA, const uint8_t* b, int32_t sizeB, bool partial,
                bool caseInsensitive) {
  static const std::unique_ptr<TLocaleService> locale = MakeUserLocale();
  const std::u16string right = WideText(b, sizeB, SIZE_MAX);
  const std::u16string left = WideText(a, sizeA, partial ? right.size() : SIZE_MAX);
  std::string keyA, keyB;
  locale->AppendSortKey(left, caseInsensitive, keyA);
  locale->AppendSortKey(right, caseInsensitive, keyB);
  return Sign(keyA.compare(keyB));
}

int CompareText(const uint8_t* a, int32_t sizeA, const uint8_t* b, int32_t sizeB, bool partial,
                bool caseInsensitive) {
  // Bounded by the sizes, so text without its terminator is still read safely.
  const std::string left(reinterpret_cast<const char*>(a), strnlen(reinterpret_cast<const char*>(a), static_cast<size_t>(sizeA)));
  const std::string right(reinterpret_cast<const char*>(b), strnlen(reinterpret_cast<const char*>(b), static_cast<size_t>(sizeB)));
  if (partial)
    return Sign(caseInsensitive ? CollateCompareCIN(left.c_str(), right.c_str(), right.size())
                                : CollateCompareN(left.c_str(), right.c_str(), right.size()));
  return Sign(caseInsensitive ? CollateCompareCI(left.c_str(), right.c_str())
                              : CollateCompare(left.c_str(), right.c_str()));
}

int64_t WholeNumber(int type, const uint8_t* p) {
  switch (type) {
    case ftSmallint: return static_cast<int16_t>(GetU16LE(p));
    case ftWord: return GetU16LE(p);
    case ftLargeint: return GetI64LE(p);
    default: return GetI32LE(p);
  }
}

int32_t StoredSize(int type) {
  switch (type) {
    case ftSmallint: case ftWord: case ftBoolean: return 2;
    case ftFloat: case ftCurrency: case ftDateTime: case ftLargeint: return 8;
    default: return 4;
  }
}

}  // namespace

std::optional<int> CompareStoredValues(int type, const uint8_t* a, int32_t sizeA, const uint8_t* b,
                                       int32_t sizeB, bool partial, bool caseInsensitive) {
  if (a == nullptr || b == nullptr) return std::nullopt;
  switch (type) {
    case ftString: return CompareText(a, sizeA, b, sizeB, partial, caseInsensitive);
    case ftWideString: return CompareWide(a, sizeA, b, sizeB, partial, caseInsensitive);
    default: break;
  }
  if (sizeA < StoredSize(type) || sizeB < StoredSize(type)) return std::nullopt;
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftLargeint: case ftAutoInc:
      return Order(WholeNumber(type, a), WholeNumber(type, b));
    case ftBoolean: return Order(GetU16LE(a) != 0, GetU16LE(b) != 0);
    case ftFloat: case ftCurrency: return Order(GetF64LE(a), GetF64LE(b));
    case ftDate: case ftTime: return Order(GetI32LE(a), GetI32LE(b));
    case ftDateTime: return Order(std::llround(GetF64LE(a)), std::llround(GetF64LE(b)));
    default: return std::nullopt;
  }
}

}  // namespace norvane

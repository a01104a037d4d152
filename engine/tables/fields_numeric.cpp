// Whole-number, boolean and float fields: their byte encodings (as the
// record format stores them) and their conversions.
#include "engine/tables/fields_numeric.h"

#include <cmath>

#include "engine/common/byte_codec.h"
#include "engine/platform/file_system.h"
#include "engine/tables/database_error.h"
#include "engine/tables/field_text.h"

namespace norvane {

TIntegralField::TIntegralField(TDataSet& dataSet, TFieldType type, std::string name, int bytes,
                               bool isSigned, int64_t min, int64_t max)
    : TField(dataSet, type, std::move(name), 0), bytes_(bytes), signed_(isSigned), min_(min), max_(max) {}

int64_t TIntegralField::AsLargeInt() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  if (!present) return 0;
  switch (bytes_) {
    case 2: return signed_ ? static_cast<int16_t>(GetU16LE(b.data())) : GetU16LE(b.data());
    case 4: return GetI32LE(b.data());
    default: return GetI64LE(b.data());
  }
}

int32_t TIntegralField::AsInteger() const { return FitInteger(AsLargeInt()); }

void TIntegralField::SetAsLargeInt(int64_t value) {
  if (value < min_ || value > max_)
    throw EDatabaseError("Value " + std::to_string(value) + " is out of range for field '" +
                         FieldName() + "'");
  std::vector<uint8_t> b(static_cast<size_t>(DataSize()), 0);
  switch (bytes_) {
    case 2: PutU16LE(b.data(), static_cast<uint16_t>(value)); break;
    case 4: PutI32LE(b.data(), static_cast<int32_t>(value)); break;
    default: PutI64LE(b.data(), value); break;
  }
  SetData(b.data());
}

void TIntegralField::SetAsFloat(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e18) BadValue(FormatNumber(value));
  SetAsLargeInt(std::llround(value));
}

std::string TIntegralField::AsString() const {
  return IsNull() ? std::string() : std::to_string(AsLargeInt());
}

void TIntegralField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  int64_t n;
  if (!ParseWholeNumber(value, n)) BadValue(value);
  SetAsLargeInt(n);
}

bool TBooleanField::AsBoolean() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present && GetU16LE(b.data()) != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  uint8_t b[2];
  PutU16LE(b, value ? 1 : 0);
  SetData(b);
}

std::string TBooleanField::AsString() const {
  if (IsNull()) return {};
  return AsBoolean() ? "True" : "False";
}

void TBooleanField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  if (SameNameIgnoringCase(value, "true"))
    SetAsBoolean(true);
  else if (SameNameIgnoringCase(value, "false"))
    SetAsBoolean(false);
  else
    BadValue(value);
}

double TFloatField::AsFloat() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present ? GetF64LE(b.data()) : 0.0;
}

void TFloatField::SetAsFloat(double value) {
  uint8_t b[8];
  PutF64LE(b, value);
  SetData(b);
}

int64_t TFloatField::AsLargeInt() const {
  const double v = AsFloat();
  if (!std::isfinite(v) || std::fabs(v) > 9.2e18)
    throw EDatabaseError("Value " + FormatNumber(v) + " of field '" + FieldName() +
                         "' does not fit a large integer");
  return std::llround(v);
}

int32_t TFloatField::AsInteger() const { return FitInteger(AsLargeInt()); }

std::string TFloatField::AsString() const { return IsNull() ? std::string() : FormatNumber(AsFloat()); }

void TFloatField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  double x;
  if (!ParseNumber(value, x)) BadValue(value);
  SetAsFloat(x);
}

}  // namespace norvane

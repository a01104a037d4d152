// The numeric field classes: whole numbers of 2, 4 and 8 bytes (smallint,
// integer, word, the row identifier, largeint), booleans, and the 8-byte
// floats that also carry currency and BCD values.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dataset_field.h"

namespace norvane {

// A whole number stored little-endian in `bytes` bytes; a value outside
// [min, max] is refused with "Value <n> is out of range for field '<name>'".
// Reads as text, any number, a boolean (non-zero); a float is rounded.
class TIntegralField : public TField {
 public:
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
  int64_t AsLargeInt() const override;
  void SetAsLargeInt(int64_t value) override;
  double AsFloat() const override { return static_cast<double>(AsLargeInt()); }
  void SetAsFloat(double value) override;
  bool AsBoolean() const override { return AsLargeInt() != 0; }
  void SetAsBoolean(bool value) override { SetAsLargeInt(value ? 1 : 0); }

 protected:
  TIntegralField(TDataSet& dataSet, TFieldType type, std::string name, int bytes, bool isSigned,
                 int64_t min, int64_t max);

 private:
  int bytes_;
  bool signed_;
  int64_t min_, max_;
};

class TSmallintField : public TIntegralField {
 public:
  TSmallintField(TDataSet& dataSet, std::string name)
      : TIntegralField(dataSet, ftSmallint, std::move(name), 2, true, INT16_MIN, INT16_MAX) {}
};

class TIntegerField : public TIntegralField {
 public:
  TIntegerField(TDataSet& dataSet, std::string name)
      : TIntegralField(dataSet, ftInteger, std::move(name), 4, true, INT32_MIN, INT32_MAX) {}

 protected:
  TIntegerField(TDataSet& dataSet, TFieldType type, std::string name)
      : TIntegralField(dataSet, type, std::move(name), 4, true, INT32_MIN, INT32_MAX) {}
};

class TWordField : public TIntegralField {
 public:
  TWordField(TDataSet& dataSet, std::string name)
      : TIntegralField(dataSet, ftWord, std::move(name), 2, false, 0, UINT16_MAX) {}
};

// The row identifier: 4 bytes, given by the table; cursors ignore writes to
// it outside the states that search by it.
class TAutoIncField : public TIntegerField {
 public:
  TAutoIncField(TDataSet& dataSet, std::string name)
      : TIntegerField(dataSet, ftAutoInc, std::move(name)) {}
  int32_t DataSize() const override { return 4; }
};

class TLargeintField : public TIntegralField {
 public:
  TLargeintField(TDataSet& dataSet, std::string name)
      : TIntegralField(dataSet, ftLargeint, std::move(name), 8, true, INT64_MIN, INT64_MAX) {}
};

// Two bytes, 0 false and 1 true (any non-zero reads true). As text "True" or
// "False"; those words in any letter case are accepted back.
class TBooleanField : public TField {
 public:
  TBooleanField(TDataSet& dataSet, std::string name) : TField(dataSet, ftBoolean, std::move(name), 0) {}
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
  void SetAsInteger(int32_t value) override { SetAsBoolean(value != 0); }
};

// A 64-bit float. Text is written with the shortest exact digits and read
// with either "." or "," as the decimal separator.
class TFloatField : public TField {
 public:
  TFloatField(TDataSet& dataSet, std::string name) : TFloatField(dataSet, ftFloat, std::move(name)) {}
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  int64_t AsLargeInt() const override;
  void SetAsLargeInt(int64_t value) override { SetAsFloat(static_cast<double>(value)); }

 protected:
  TFloatField(TDataSet& dataSet, TFieldType type, std::string name)
      : TField(dataSet, type, std::move(name), 0) {}
};

// Money amounts, stored as the format stores them: a 64-bit float.
class TCurrencyField : public TFloatField {
 public:
  TCurrencyField(TDataSet& dataSet, std::string name) : TFloatField(dataSet, ftCurrency, std::move(name)) {}
};

// Decimal values, likewise stored as a 64-bit float.
class TBCDField : public TFloatField {
 public:
  TBCDField(TDataSet& dataSet, std::string name) : TFloatField(dataSet, ftBCD, std::move(name)) {}
};

}  // namespace norvane

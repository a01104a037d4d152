// The text and byte-string field classes: 8-bit text in code page 1251,
// 16-bit text, and fixed-length byte strings.
#pragma once

#include <string>

#include "engine/tables/dataset_field.h"

namespace norvane {

// Up to Size() bytes of code page 1251 text followed by a zero byte. Longer
// text is cut to Size(); empty text is no value. The text also reads and
// writes as a number or a boolean ("True"/"False").
class TStringField : public TField {
 public:
  // `type` ftFixedChar: the fixed-length text of other kinds of dataset.
  TStringField(TDataSet& dataSet, std::string name, int32_t size, TFieldType type = ftString)
      : TField(dataSet, type, std::move(name), size) {}
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override { return FitInteger(AsLargeInt()); }
  void SetAsInteger(int32_t value) override { SetAsString(std::to_string(value)); }
  int64_t AsLargeInt() const override;
  void SetAsLargeInt(int64_t value) override { SetAsString(std::to_string(value)); }
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override { SetAsString(value ? "True" : "False"); }
};

// Size() bytes of UTF-16 text (little-endian units) and a zero unit. As
// 8-bit text it is converted to code page 1251; a character the code page
// lacks reads as "?".
class TWideStringField : public TField {
 public:
  TWideStringField(TDataSet& dataSet, std::string name, int32_t size)
      : TField(dataSet, ftWideString, std::move(name), size) {}
  std::u16string AsWideString() const;
  void SetAsWideString(const std::u16string& value);
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
};

// Exactly Size() bytes. AsString gives them all; a shorter value is padded
// with zeros and a longer one cut.
class TBytesField : public TField {
 public:
  // `type` ftVarBytes: the variable-length bytes of other kinds of dataset.
  TBytesField(TDataSet& dataSet, std::string name, int32_t size, TFieldType type = ftBytes)
      : TField(dataSet, type, std::move(name), size) {}
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
};

}  // namespace norvane

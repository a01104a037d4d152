// The date and time field classes. Values are day counts in the table
// format's numbering (1 January 0001 = day 1): a date is a whole day, a time
// the fraction of one, a date-time both.
#pragma once

#include <string>

#include "engine/tables/dataset_field.h"

namespace norvane {

// What the three share: a number reads and writes as the day count.
class TDayCountField : public TField {
 public:
  double AsFloat() const override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }

 protected:
  TDayCountField(TDataSet& dataSet, TFieldType type, std::string name)
      : TField(dataSet, type, std::move(name), 0) {}
};

// The first 4 of 8 bytes hold the signed day number; day 0 is no value.
// As text "DD.MM.YYYY". A date-time written to it keeps only its day.
class TDateField : public TDayCountField {
 public:
  TDateField(TDataSet& dataSet, std::string name) : TDayCountField(dataSet, ftDate, std::move(name)) {}
  double AsDateTime() const override;
  void SetAsDateTime(double value) override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
};

// The first 4 of 8 bytes hold the milliseconds since midnight. As text
// "HH:MM:SS" (".mmm" added when not whole seconds). A date-time written to
// it keeps only its time of day.
class TTimeField : public TDayCountField {
 public:
  TTimeField(TDataSet& dataSet, std::string name) : TDayCountField(dataSet, ftTime, std::move(name)) {}
  double AsDateTime() const override;
  void SetAsDateTime(double value) override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
};

// A 64-bit float: day number × 86400000 + milliseconds of the day; day 0 is
// no value. As text "DD.MM.YYYY HH:MM:SS", the time part optional on input.
class TDateTimeField : public TDayCountField {
 public:
  TDateTimeField(TDataSet& dataSet, std::string name)
      : TDayCountField(dataSet, ftDateTime, std::move(name)) {}
  double AsDateTime() const override;
  void SetAsDateTime(double value) override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
};

}  // namespace norvane

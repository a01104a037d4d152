// A field object: one column of a dataset as the application reads and
// writes it. Values pass through the dataset's GetFieldData/SetFieldData in
// the encoding the record format stores; each type's class converts them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tables/field_types.h"

namespace norvane {

class TDataSet;

class TField {
 public:
  // `size` is the declared size of the sized types (ftString, ftWideString
  // in bytes, ftBytes) and 0 for the others.
  TField(TDataSet& dataSet, TFieldType dataType, std::string fieldName, int32_t size);
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TDataSet& DataSet() const { return dataSet_; }
  const std::string& FieldName() const { return fieldName_; }
  TFieldType DataType() const { return dataType_; }
  int32_t Size() const { return size_; }
  // 1-based position among the dataset's fields; set when the field is added.
  int32_t FieldNo() const { return fieldNo_; }
  void SetFieldNo(int32_t fieldNo) { fieldNo_ = fieldNo; }
  // A required field must have a value when its record is posted.
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  // The bytes of the value buffer GetFieldData fills: the stored size.
  virtual int32_t DataSize() const;
  // Large-value fields are read and written through the dataset's streams.
  virtual bool IsBlob() const { return false; }

  // Without an active record a field is null and its getters give the empty
  // value (empty text, 0, false).
  bool IsNull() const;
  // Requires the dataset in a state that writes fields (edit, insert, set
  // key, or the cursor's calculation states); throws EDatabaseError if not.
  virtual void Clear();

  // The getters throw EDatabaseError "Field '<name>' cannot be read as <kind>"
  // when the type has no such reading, and the setters the same with
  // "written", or a message naming the value when it does not fit.
  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual int64_t AsLargeInt() const;
  virtual void SetAsLargeInt(int64_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  // A date-time as a count of days in the table format's day numbering
  // (1 January 0001 = day 1), the time of day as the fraction.
  virtual double AsDateTime() const;
  virtual void SetAsDateTime(double value);

  // The value's DataSize() bytes as the record holds them (the query
  // engine compares them as typed values); `present` false when null.
  std::vector<uint8_t> ValueBytes(bool& present) const;

 protected:
  // Reads the value into `buffer` (DataSize() bytes); false when null.
  bool GetData(void* buffer) const;
  // Writes the value; null clears it. Checks the dataset's state first.
  void SetData(const void* buffer);
  // The value as a 32-bit integer, or EDatabaseError when it does not fit.
  int32_t FitInteger(int64_t value) const;
  [[noreturn]] void Unreadable(const char* kind) const;
  [[noreturn]] void Unwritable(const char* kind) const;
  [[noreturn]] void BadValue(const std::string& value) const;

 private:
  TDataSet& dataSet_;
  TFieldType dataType_;
  std::string fieldName_;
  int32_t size_;
  int32_t fieldNo_ = 0;
  bool required_ = false;
};

}  // namespace norvane

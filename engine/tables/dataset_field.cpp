// The field base: the route of a value between a field and its dataset, and
// the conversion errors every type shares.
#include "engine/tables/dataset_field.h"

#include "engine/tables/database_error.h"
#include "engine/tables/dataset.h"

namespace norvane {

TField::TField(TDataSet& dataSet, TFieldType dataType, std::string fieldName, int32_t size)
    : dataSet_(dataSet), dataType_(dataType), fieldName_(std::move(fieldName)), size_(size) {}

int32_t TField::DataSize() const { return static_cast<int32_t>(StoredSizeOf(NativeTypeOf(dataType_), size_)); }

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::Clear() { SetData(nullptr); }

bool TField::GetData(void* buffer) const { return dataSet_.ReadFieldValue(*this, buffer); }

void TField::SetData(const void* buffer) { dataSet_.WriteFieldValue(*this, buffer); }

std::vector<uint8_t> TField::ValueBytes(bool& present) const {
  std::vector<uint8_t> bytes(static_cast<size_t>(DataSize()), 0);
  present = GetData(bytes.data());
  if (!present) std::fill(bytes.begin(), bytes.end(), 0);
  return bytes;
}

int32_t TField::FitInteger(int64_t value) const {
  if (value < INT32_MIN || value > INT32_MAX)
    throw EDatabaseError("Value " + std::to_string(value) + " of field '" + fieldName_ +
                         "' does not fit an integer");
  return static_cast<int32_t>(value);
}

void TField::Unreadable(const char* kind) const {
  throw EDatabaseError("Field '" + fieldName_ + "' cannot be read as " + kind);
}

void TField::Unwritable(const char* kind) const {
  throw EDatabaseError("Field '" + fieldName_ + "' cannot be written as " + kind);
}

void TField::BadValue(const std::string& value) const {
  throw EDatabaseError("'" + value + "' is not a valid value for field '" + fieldName_ + "'");
}

std::string TField::AsString() const { Unreadable("text"); }
void TField::SetAsString(const std::string&) { Unwritable("text"); }
int32_t TField::AsInteger() const { Unreadable("an integer"); }
void TField::SetAsInteger(int32_t) { Unwritable("an integer"); }
int64_t TField::AsLargeInt() const { Unreadable("a large integer"); }
void TField::SetAsLargeInt(int64_t) { Unwritable("a large integer"); }
double TField::AsFloat() const { Unreadable("a number"); }
void TField::SetAsFloat(double) { Unwritable("a number"); }
bool TField::AsBoolean() const { Unreadable("a boolean"); }
void TField::SetAsBoolean(bool) { Unwritable("a boolean"); }
double TField::AsDateTime() const { Unreadable("a date-time"); }
void TField::SetAsDateTime(double) { Unwritable("a date-time"); }

}  // namespace norvane

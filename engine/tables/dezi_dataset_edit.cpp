// The table cursor's records: field values in the record buffer, a new
// record's image, and post, whole-record append, delete and cancel through
// the table's manager, each finding its record by row identifier
// (invariant 1).
#include <cmath>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/tables/database_error.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_dataset.h"
#include "engine/tables/field_types.h"

namespace norvane {

uint8_t* TDeziDataset::AllocRecordBuffer() {
  return new uint8_t[static_cast<size_t>(GetRecordSize())]();
}

void TDeziDataset::FreeRecordBuffer(uint8_t* buffer) { delete[] buffer; }

// The record image, then the row identifier of the bookmark, its flag and
// three bytes of filler.
int32_t TDeziDataset::GetRecordSize() { return table_->Geometry().RecordSize + 8; }

uint8_t* TDeziDataset::GetActiveRecordBuffer() {
  if (State() == dsSetKey) return keyBuffer_.data();
  if (State() == dsFilter) return filterBuffer_;
  if (privateBuffer_ != nullptr) return privateBuffer_;
  return TDataSet::GetActiveRecordBuffer();
}

int32_t TDeziDataset::RowIdOf(const uint8_t* buffer) const {
  return GetI32LE(buffer + table_->Geometry().RowIdOffset);
}

int32_t TDeziDataset::TableFieldOf(const TField& field) const {
  const size_t i = static_cast<size_t>(field.FieldNo() - 1);
  return i < shown_.size() ? shown_[i] : static_cast<int32_t>(table_->Fields().size());
}

TField* TDeziDataset::DatasetFieldOf(int32_t tableField) {
  for (size_t i = 0; i < shown_.size(); ++i)
    if (shown_[i] == tableField) return &Fields()[static_cast<int32_t>(i)];
  return nullptr;
}

bool TDeziDataset::NullBit(const uint8_t* buffer, int32_t tableField) const {
  return (buffer[table_->Geometry().NullBitsOffset + tableField / 8] & (1u << (tableField % 8))) != 0;
}

void TDeziDataset::SetNullBit(uint8_t* buffer, int32_t tableField, bool isNull) const {
  uint8_t& bits = buffer[table_->Geometry().NullBitsOffset + tableField / 8];
  const uint8_t mask = static_cast<uint8_t>(1u << (tableField % 8));
  bits = isNull ? static_cast<uint8_t>(bits | mask) : static_cast<uint8_t>(bits & ~mask);
}

const TFieldHeader* TDeziDataset::StoredField(const TField& field) const {
  const int32_t f = TableFieldOf(field);
  if (f < 0) return nullptr;
  if (f >= static_cast<int32_t>(table_->Fields().size()))
    throw EEngineError("Error in TDeziDataSet.GetFieldData - FieldNo=." + std::to_string(field.FieldNo()) +
                       " 0 pointer!");
  return &table_->Fields()[static_cast<size_t>(f)];
}

const uint8_t* TDeziDataset::StoredValue(const TField& field) {
  const uint8_t* buffer = ActiveRecordBuffer();
  if (buffer == nullptr || table_ == nullptr) return nullptr;
  const TFieldHeader* header = StoredField(field);
  if (header == nullptr) return buffer + table_->Geometry().RowIdOffset;
  const int32_t f = TableFieldOf(field);
  if (NullBit(buffer, f)) return nullptr;
  const uint8_t* at = buffer + table_->Geometry().FieldOffsets[static_cast<size_t>(f)];
  return IsNoDay(header->Type, at) ? nullptr : at;
}

bool TDeziDataset::GetFieldData(const TField& field, void* out) {
  const uint8_t* at = StoredValue(field);
  if (at == nullptr) return false;
  const TFieldHeader* header = StoredField(field);
  if (out != nullptr && (header == nullptr || !IsLargeValueType(header->Type)))
    std::memcpy(out, at, header == nullptr ? 4 : static_cast<size_t>(header->Size));
  return true;
}

void TDeziDataset::SetFieldData(TField& field, const void* in) {
  uint8_t* buffer = ActiveRecordBuffer();
  if (buffer == nullptr || table_ == nullptr) return;
  const int32_t f = TableFieldOf(field);
  if (f < 0) {
    // Identifiers are the table's to give; only a lookup key holds one.
    if (State() == dsSetKey && in != nullptr)
      std::memcpy(buffer + table_->Geometry().RowIdOffset, in, 4);
    return;
  }
  if (f >= static_cast<int32_t>(table_->Fields().size()))
    throw EEngineError("Error in TDeziDataSet.SetFieldData - FieldNo > fieldCount.");
  const TFieldHeader& header = table_->Fields()[static_cast<size_t>(f)];
  const bool cleared = PutFieldBytes(buffer, f, static_cast<const uint8_t*>(in),
                                     static_cast<size_t>(header.Size));
  if (IsLargeValueType(header.Type) && cleared && (State() == dsEdit || State() == dsInsert)) {
    // Cleared: the post deletes the stored value.
    streams_.Replace(f);
    modifiedValues_.insert(f);
  }
  NotifyFieldChanged(field);
}

bool TDeziDataset::PutFieldBytes(uint8_t* buffer, int32_t f, const uint8_t* value, size_t n) const {
  const TFieldHeader& header = table_->Fields()[static_cast<size_t>(f)];
  uint8_t* at = buffer + table_->Geometry().FieldOffsets[static_cast<size_t>(f)];
  const size_t size = static_cast<size_t>(header.Size);
  const bool emptyText = value != nullptr && (header.Type == ftString || header.Type == ftWideString) &&
                         value[0] == 0 && (header.Type == ftString || n < 2 || value[1] == 0);
  const bool isNull = value == nullptr || emptyText || (n >= 8 && IsNoDay(header.Type, value));
  SetNullBit(buffer, f, isNull);
  std::memset(at, 0, size);
  if (isNull || size == 0) return isNull;
  // Never more than the field holds, nor than the source has; a text always
  // ends in its terminator, whatever the source held in its last place.
  std::memcpy(at, value, std::min(size, n));
  if (header.Type == ftString) at[size - 1] = 0;
  if (header.Type == ftWideString) at[size - 1] = at[size - 2] = 0;
  return false;
}

void TDeziDataset::InternalInitRecord(uint8_t* buffer) {
  InternalInitRecordImage(buffer);
  if (State() == dsSetKey) return;
  DropValues();
  // A detail's new record starts with its master's key values.
  if (Restricted()) PutMasterValues(buffer);
}

void TDeziDataset::InternalInitRecordImage(uint8_t* buffer) {
  const TRecordGeometry& geometry = table_->Geometry();
  std::memset(buffer, 0, static_cast<size_t>(GetRecordSize()));
  for (size_t f = 0; f < table_->Fields().size(); ++f) SetNullBit(buffer, static_cast<int32_t>(f), true);
  // Provisional (invariant 2): the append gives the final one.
  PutI32LE(buffer + geometry.RowIdOffset, table_->Header().LastId + 1);
  PutI32LE(buffer + geometry.RecordSize, table_->Header().LastId + 1);
}

void TDeziDataset::CheckKeys(const uint8_t* image, int32_t rowId, const char* operation) {
  try {
    table_->CheckKeyViolation(image, rowId, operation);
  } catch (const EKeyViolation& violation) {
    // A database error, so a post-error handler sees it.
    throw EDatabaseError(violation.what());
  }
}

TBLOBValues TDeziDataset::PendingValues() const {
  // Only values written since the edit began: a value that was only read
  // is stored already, and writing it again would take new blocks.
  TBLOBValues values;
  for (const auto& [field, stream] : streams_.Streams())
    if (modifiedValues_.count(field) != 0) values[field] = stream.get();
  return values;
}

void TDeziDataset::DropValues() {
  streams_.DropAll();
  modifiedValues_.clear();
}

int32_t TDeziDataset::AppendImage(uint8_t* image, const char* operation) {
  CheckKeys(image, RowIdOf(image), operation);
  const TBLOBValues values = PendingValues();
  int32_t physical = 0;
  try {
    // Automatic flushing waits while a record and its values are written.
    table_->WhileAutoFlushSuspended([&] { physical = table_->aaAddRecord(image, index_, &values, nextRowId_); });
  } catch (const EKeyViolation& violation) {
    throw EDatabaseError(violation.what());  // an identifier asked for is taken
  }
  nextRowId_ = 0;
  DropValues();
  return physical;
}

void TDeziDataset::SetNextRowId(int32_t id) {
  CheckOpen("SetNextRowId");
  if (id < 1)
    throw EEngineError("Error in TDeziDataSet.SetNextRowId - invalid row identifier " + std::to_string(id) + ".");
  nextRowId_ = id;
}

void TDeziDataset::InternalPost() {
  // A private insert was prepared by the engine, which checks its own.
  if (privateBuffer_ == nullptr) TDataSet::InternalPost();
  if (readOnly_) throw EEngineError("Error in TDeziDataSet.InternalPost - table is read only.");
  if (table_ == nullptr) throw EEngineError("Error in TDeziDataSet.InternalPost - table is not open.");
  if (State() != dsEdit && State() != dsInsert)
    throw EEngineError("Error in TDeziDataSet.InternalPost - invalid state.");
  uint8_t* buffer = ActiveRecordBuffer();
  if (buffer == nullptr) throw EEngineError("Error in TDeziDataSet.InternalPost - 0 pointer to buffer.");
  Synchronise();
  // The buffer stays as it was should the post fail.
  std::vector<uint8_t> image(buffer, buffer + table_->Geometry().RecordSize);
  int32_t physical = 0;
  if (State() == dsInsert) {
    physical = AppendImage(image.data(), "TDeziDataSet.InternalPost");
  } else {
    const int32_t rowId = RowIdOf(buffer);
    physical = PhysicalOfId(rowId);
    if (physical < 0)
      throw EDatabaseError("TDeziDataSet.InternalPost - the record was deleted meanwhile, id = " +
                           std::to_string(rowId) + ".");
    CheckKeys(image.data(), rowId, "TDeziDataSet.InternalPost");
    const TBLOBValues values = PendingValues();
    table_->WhileAutoFlushSuspended([&] {
      for (const auto& [field, stream] : values) {
        table_->WriteBLOBValue(const_cast<TMemoryStream*>(stream), field, physical);
        SetNullBit(image.data(), field, stream->Size() == 0);
      }
      table_->aaUpdateRecord(image.data(), physical, index_);
    });
    DropValues();
  }
  StandOn(physical);
}

void TDeziDataset::InternalAddRecord(uint8_t* buffer, bool /*append*/) {
  if (buffer == nullptr) throw EEngineError("Error in TDeziDataSet.InternalAddRecord - 0 pointer to Buffer.");
  if (readOnly_) throw EEngineError("Error in TDeziDataSet.InternalAddRecord - table is read only.");
  Synchronise();
  // Records take their place by key: appending and inserting are the same.
  std::vector<uint8_t> image(buffer, buffer + table_->Geometry().RecordSize);
  const int32_t physical = AppendImage(image.data(), "TDeziDataSet.InternalAddRecord");
  StandOn(physical);
}

void TDeziDataset::InternalDelete() {
  if (readOnly_) throw EEngineError("Error in TDeziDataSet.InternalDelete - table is read only.");
  if (table_ == nullptr) throw EEngineError("Error in TDeziDataSet.InternalDelete - table is not open.");
  Synchronise();
  if (ViewLength() == 0) throw EEngineError("Error in TDeziDataSet.InternalDelete - no records in table.");
  const uint8_t* buffer = ActiveRecordBuffer();
  const int32_t rowId = buffer != nullptr ? RowIdOf(buffer) : positionId_;
  const int32_t physical = PhysicalOfId(rowId);
  if (physical < 0)
    throw EDatabaseError("TDeziDataSet.InternalDelete - the record was deleted meanwhile, id = " +
                         std::to_string(rowId) + ".");
  const int32_t at = PositionOfId(rowId);
  DropValues();
  table_->aaDeleteRecord(physical, index_);
  // The next record takes the deleted one's place; after the last, the new
  // last one; in an empty table, none.
  RebuildView();
  SetPosition(std::min(at, ViewLength() - 1));
}

void TDeziDataset::StandOn(int32_t physical) {
  RebuildView();
  SetPosition(ViewPositionOf(physical));
}

void TDeziDataset::InternalCancel() {
  DropValues();
  nextRowId_ = 0;
}

}  // namespace norvane

// A table with large-value fields for the large-value tests: an integer key,
// a title and one field of each large-value type, with values appended,
// written and read as byte vectors, and the record's null bits kept as a
// dataset's post keeps them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"

namespace norvane::testing {

class TBlobTable {
 public:
  using TBytes = std::vector<uint8_t>;
  // Field positions of the large-value fields.
  static constexpr int32_t kMemo = 2, kData = 3, kPicture = 4, kRich = 5;
  static constexpr int32_t kLargeFields[] = {kMemo, kData, kPicture, kRich};

  static std::vector<TFieldDef> Fields() {
    return {{"Key", ftInteger, 0, false}, {"Title", ftString, 30, false},
            {"Memo", ftMemo, 0, false},   {"Data", ftBlob, 0, false},
            {"Pic", ftGraphic, 0, false}, {"Rich", ftFmtMemo, 0, false}};
  }

  // Creates (or opens) the table "Art" in the store; enciphered under the
  // password "pw" when `encrypted`.
  TBlobTable(TAbstractPlainFileSystem& store, uint8_t compression, bool encrypted, bool create,
             int32_t blockSize = 512, const std::string& name = "Art")
      : table_(store, name, false) {
    if (encrypted) table_.SetPassword(TSecret("pw"));
    if (create) {
      table_.SetBLOBBlockSize(blockSize);
      table_.CreateTable(Fields(), compression, encrypted);
    } else {
      table_.Open();
    }
  }

  TDeziDataManager& Manager() { return table_; }

  int32_t Append(int32_t key, const std::map<int32_t, TBytes>& values) {
    TRecordValues record;
    record.Fields.resize(Fields().size());
    record.Fields[0] = {false, std::string(4, '\0')};
    PutI32LE(reinterpret_cast<uint8_t*>(record.Fields[0].Bytes.data()), key);
    std::vector<uint8_t> image = table_.EncodeRecord(record);
    std::vector<TMemoryStream> streams;
    streams.reserve(values.size());
    TBLOBValues given;
    for (const auto& [field, bytes] : values) {
      streams.emplace_back(bytes);
      given[field] = &streams.back();
    }
    return table_.aaAddRecord(image.data(), -1, &given);
  }

  // Stores the value and, as a post does, the null bit that follows it.
  void Write(int32_t field, int32_t physical, const TBytes& bytes) {
    TMemoryStream stream(bytes);
    table_.WriteBLOBValue(&stream, field, physical);
    SetNull(physical, field, bytes.empty());
  }
  void Delete(int32_t field, int32_t physical) {
    table_.DeleteBLOBValue(field, physical);
    SetNull(physical, field, true);
  }

  TBytes Read(int32_t field, int32_t physical) {
    TMemoryStream stream;
    table_.ReadBLOBValue(&stream, field, physical);
    return stream.Bytes();
  }
  int32_t Key(int32_t physical) { return GetI32LE(table_.RecordPtr(physical)); }
  bool IsNull(int32_t physical, int32_t field) {
    return table_.DecodeRecord(table_.RecordPtr(physical)).Fields[static_cast<size_t>(field)].Null;
  }

 private:
  void SetNull(int32_t physical, int32_t field, bool isNull) {
    TRecordValues record = table_.DecodeRecord(table_.RecordPtr(physical));
    record.Fields[static_cast<size_t>(field)].Null = isNull;
    const std::vector<uint8_t> image = table_.EncodeRecord(record);
    table_.aaUpdateRecord(image.data(), physical);
  }

  TDeziDataManager table_;
};

}  // namespace norvane::testing

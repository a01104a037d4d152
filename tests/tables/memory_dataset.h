// A cursor for the dataset base's tests: records live in a std::vector, and
// every hook the base calls is answered from it. The table cursor's tests
// mirror this one, so both are held to the same expectations.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/tables/database_error.h"
#include "engine/tables/dataset.h"

namespace norvane::testing {

struct TMemoryColumn {
  TFieldType Type;
  std::string Name;
  int32_t Size = 0;
  bool Required = false;
};

// Record buffer: per field a presence byte and the stored value bytes, then
// the row identifier (the bookmark, 4 bytes) and the bookmark flag. A field
// of type ftAutoInc reads the row identifier.
class TMemoryDataSet : public TDataSet {
 public:
  struct TRow {
    int32_t Id = 0;
    std::vector<uint8_t> Image;
    std::map<int32_t, std::string> Blobs;  // by FieldNo
  };

  explicit TMemoryDataSet(std::vector<TMemoryColumn> columns) : columns_(std::move(columns)) {
    for (const TMemoryColumn& column : columns_) {
      offsets_.push_back(imageSize_);
      imageSize_ += 1 + DataSizeOf(column);
    }
  }
  ~TMemoryDataSet() override { Close(); }

  bool ReadOnly = false;
  // The next FailPosts posts (and whole-record adds) throw EDatabaseError.
  int FailPosts = 0;
  std::string PostFailure = "Key violation";
  // Names of the hooks called, in order, for the tests that check them.
  std::vector<std::string> Calls;

  std::vector<TRow> Rows;
  int32_t LastId = 0;
  int Position() const { return pos_; }

  // A stored row with the given stored bytes per field (nullopt: no value).
  void AddRow(const std::vector<std::optional<std::string>>& values) {
    TRow row;
    row.Id = ++LastId;
    row.Image.assign(static_cast<size_t>(imageSize_), 0);
    for (size_t i = 0; i < values.size() && i < columns_.size(); ++i) {
      if (!values[i]) continue;
      row.Image[static_cast<size_t>(offsets_[i])] = 1;
      std::memcpy(&row.Image[static_cast<size_t>(offsets_[i]) + 1], values[i]->data(),
                  std::min(values[i]->size(), static_cast<size_t>(DataSizeOf(columns_[i]))));
    }
    Rows.push_back(std::move(row));
  }
  // The stored bytes of a 32-bit integer.
  static std::string Int32(int32_t n) {
    std::string b(4, '\0');
    PutI32LE(reinterpret_cast<uint8_t*>(b.data()), n);
    return b;
  }
  // The value of integer field `field` (0-based) in stored row `row`.
  int32_t StoredInt(size_t row, size_t field) const {
    return GetI32LE(&Rows.at(row).Image[static_cast<size_t>(offsets_[field]) + 1]);
  }
  bool StoredNull(size_t row, size_t field) const {
    return Rows.at(row).Image[static_cast<size_t>(offsets_[field])] == 0;
  }

  // Public for tests that drive scroll events by hand.
  using TDataSet::DataEvent;

 protected:
  uint8_t* AllocRecordBuffer() override { return new uint8_t[static_cast<size_t>(GetRecordSize())](); }
  void FreeRecordBuffer(uint8_t* buffer) override { delete[] buffer; }
  int32_t GetRecordSize() override { return imageSize_ + 5; }

  TGetResult GetRecord(uint8_t* buffer, TGetMode mode, bool doCheck) override {
    const int n = static_cast<int>(Rows.size());
    switch (mode) {
      case gmNext:
        if (pos_ >= n - 1) {
          pos_ = n;
          return grEOF;
        }
        ++pos_;
        break;
      case gmPrior:
        if (pos_ <= 0) {
          pos_ = -1;
          return grBOF;
        }
        --pos_;
        break;
      case gmCurrent:
        if (pos_ < 0 || pos_ >= n) {
          if (doCheck) throw EDatabaseError("No current record");
          return grError;
        }
        break;
    }
    const TRow& row = Rows[static_cast<size_t>(pos_)];
    std::memcpy(buffer, row.Image.data(), row.Image.size());
    PutI32LE(buffer + imageSize_, row.Id);
    buffer[imageSize_ + 4] = bfCurrent;
    return grOK;
  }

  void InternalOpen() override {
    Calls.push_back("InternalOpen");
    for (const TMemoryColumn& column : columns_) AddField(column.Type, column.Name, column.Size, column.Required);
    SetBookmarkSize(4);
    open_ = true;
    pos_ = -1;
  }
  void InternalClose() override {
    Calls.push_back("InternalClose");
    open_ = false;
    blobs_.clear();
  }
  bool IsCursorOpen() override { return open_; }
  void InternalFirst() override { pos_ = -1; }
  void InternalLast() override { pos_ = static_cast<int>(Rows.size()); }

 public:
  int32_t GetRecordCount() override { return static_cast<int32_t>(Rows.size()); }
  int32_t GetRecNo() override {
    uint8_t* buffer = ActiveRecordBuffer();
    if (buffer == nullptr) return 0;
    if (State() == dsInsert) return static_cast<int32_t>(Rows.size()) + 1;
    return IndexOf(GetI32LE(buffer + imageSize_)) + 1;
  }
  void SetRecNo(int32_t recNo) override {
    if (!Active() || recNo < 1 || recNo > GetRecordCount() || recNo == GetRecNo()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    pos_ = recNo - 1;
    Resync();
    DoAfterScroll();
  }
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override {
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
    const int pa = IndexOf(GetI32LE(a.data())), pb = IndexOf(GetI32LE(b.data()));
    return pa < pb ? -1 : (pa > pb ? 1 : 0);
  }
  bool BookmarkValid(const TBookmark& bookmark) override {
    return bookmark.size() == 4 && IndexOf(GetI32LE(bookmark.data())) >= 0;
  }
  std::unique_ptr<TDataSetBlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

 protected:
  void GetBookmarkData(const uint8_t* buffer, uint8_t* data) override {
    std::memcpy(data, buffer + imageSize_, 4);
  }
  void SetBookmarkData(uint8_t* buffer, const uint8_t* data) override {
    std::memcpy(buffer + imageSize_, data, 4);
  }
  TBookmarkFlag GetBookmarkFlag(const uint8_t* buffer) override {
    return static_cast<TBookmarkFlag>(buffer[imageSize_ + 4]);
  }
  void SetBookmarkFlag(uint8_t* buffer, TBookmarkFlag flag) override {
    buffer[imageSize_ + 4] = static_cast<uint8_t>(flag);
  }
  void InternalGotoBookmark(const uint8_t* bookmark) override {
    const int at = IndexOf(GetI32LE(bookmark));
    if (at < 0) throw EDatabaseError("Record not found");
    pos_ = at;
  }
  void InternalSetToRecord(uint8_t* buffer) override { InternalGotoBookmark(buffer + imageSize_); }

  bool GetFieldData(const TField& field, void* out) override {
    const uint8_t* buffer = ActiveRecordBuffer();
    if (buffer == nullptr) return false;
    const size_t i = static_cast<size_t>(field.FieldNo() - 1);
    if (columns_[i].Type == ftAutoInc) {
      const int32_t id = GetI32LE(buffer + imageSize_);
      if (out != nullptr) PutI32LE(static_cast<uint8_t*>(out), id);
      return id != 0;
    }
    if (field.IsBlob()) return !BlobValue(field.FieldNo()).empty();
    const uint8_t* at = buffer + offsets_[i];
    if (at[0] == 0) return false;
    if (out != nullptr) std::memcpy(out, at + 1, static_cast<size_t>(DataSizeOf(columns_[i])));
    return true;
  }
  void SetFieldData(TField& field, const void* in) override {
    uint8_t* buffer = ActiveRecordBuffer();
    const size_t i = static_cast<size_t>(field.FieldNo() - 1);
    if (buffer == nullptr || columns_[i].Type == ftAutoInc) return;
    uint8_t* at = buffer + offsets_[i];
    const size_t size = static_cast<size_t>(DataSizeOf(columns_[i]));
    at[0] = in != nullptr ? 1 : 0;
    if (in != nullptr)
      std::memcpy(at + 1, in, size);
    else
      std::memset(at + 1, 0, size);
    NotifyFieldChanged(field);
  }
  void InternalInitRecord(uint8_t* buffer) override {
    std::memset(buffer, 0, static_cast<size_t>(GetRecordSize()));
    blobs_.clear();
  }
  void InternalInsert() override {
    Calls.push_back("InternalInsert");
    insertAt_ = std::clamp(pos_, 0, static_cast<int>(Rows.size()));
  }
  void InternalAddRecord(uint8_t* buffer, bool append) override {
    Calls.push_back(append ? "InternalAddRecord(append)" : "InternalAddRecord(insert)");
    FailIfAsked();
    Store(buffer, append ? static_cast<int>(Rows.size()) : insertAt_, true);
  }
  void InternalPost() override {
    Calls.push_back("InternalPost");
    TDataSet::InternalPost();
    FailIfAsked();
    uint8_t* buffer = ActiveRecordBuffer();
    if (State() == dsInsert)
      Store(buffer, GetBookmarkFlag(buffer) == bfEOF ? static_cast<int>(Rows.size()) : insertAt_, true);
    else
      Store(buffer, IndexOf(GetI32LE(buffer + imageSize_)), false);
  }
  void InternalCancel() override {
    Calls.push_back("InternalCancel");
    blobs_.clear();
  }
  void InternalDelete() override {
    Calls.push_back("InternalDelete");
    if (pos_ < 0 || pos_ >= static_cast<int>(Rows.size())) throw EDatabaseError("No record to delete");
    Rows.erase(Rows.begin() + pos_);
    pos_ = std::min(pos_, static_cast<int>(Rows.size()) - 1);
  }
  void InternalRefresh() override { Calls.push_back("InternalRefresh"); }
  bool GetCanModify() override { return !ReadOnly; }
  void InternalHandleException(const std::exception& error) override {
    Calls.push_back(std::string("InternalHandleException: ") + error.what());
    throw;
  }

 private:
  class TStream;

  static int32_t DataSizeOf(const TMemoryColumn& column) {
    if (IsLargeValueType(NativeTypeOf(column.Type))) return 0;
    if (column.Type == ftAutoInc) return 4;
    return static_cast<int32_t>(StoredSizeOf(NativeTypeOf(column.Type), column.Size));
  }
  int IndexOf(int32_t id) const {
    for (size_t i = 0; i < Rows.size(); ++i)
      if (Rows[i].Id == id) return static_cast<int>(i);
    return -1;
  }
  void FailIfAsked() {
    if (FailPosts > 0) {
      --FailPosts;
      throw EDatabaseError(PostFailure);
    }
  }
  // Writes the buffer as row `at` (a new row inserted there, or the row
  // replaced) with the pending large values, and stands on it.
  void Store(const uint8_t* buffer, int at, bool insert) {
    TRow row;
    row.Image.assign(buffer, buffer + imageSize_);
    if (insert) {
      row.Id = ++LastId;
      Rows.insert(Rows.begin() + at, row);
    } else {
      row.Id = Rows[static_cast<size_t>(at)].Id;
      row.Blobs = Rows[static_cast<size_t>(at)].Blobs;
      Rows[static_cast<size_t>(at)] = row;
    }
    for (const auto& [fieldNo, value] : blobs_) Rows[static_cast<size_t>(at)].Blobs[fieldNo] = value;
    blobs_.clear();
    pos_ = at;
  }
  // The large value of the active record: the pending one, else the stored.
  std::string& BlobValue(int32_t fieldNo) {
    auto pending = blobs_.find(fieldNo);
    if (pending != blobs_.end()) return pending->second;
    std::string stored;
    const uint8_t* buffer = ActiveRecordBuffer();
    if (buffer != nullptr && State() != dsInsert) {
      const int at = IndexOf(GetI32LE(buffer + imageSize_));
      if (at >= 0) {
        auto it = Rows[static_cast<size_t>(at)].Blobs.find(fieldNo);
        if (it != Rows[static_cast<size_t>(at)].Blobs.end()) stored = it->second;
      }
    }
    if (State() == dsEdit || State() == dsInsert) return blobs_[fieldNo] = stored;
    browseBlob_ = stored;
    return browseBlob_;
  }

  std::vector<TMemoryColumn> columns_;
  std::vector<int32_t> offsets_;
  int32_t imageSize_ = 0;
  bool open_ = false;
  int pos_ = -1;
  int insertAt_ = 0;
  std::map<int32_t, std::string> blobs_;  // pending large values while editing
  std::string browseBlob_;
};

// A stream over one large value of the active record: reads see the pending
// or stored value; writes go to the pending value and mark the field changed
// when the stream closes.
class TMemoryDataSet::TStream : public TDataSetBlobStream {
 public:
  TStream(TMemoryDataSet& owner, TField& field, std::string& value)
      : owner_(owner), field_(field), value_(value) {}
  ~TStream() override {
    if (written_) owner_.NotifyFieldChanged(field_);
  }
  int64_t Read(void* out, int64_t n) override {
    const int64_t count = std::max<int64_t>(0, std::min<int64_t>(n, Size() - pos_));
    std::memcpy(out, value_.data() + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
  }
  int64_t Write(const void* in, int64_t n) override {
    if (value_.size() < static_cast<size_t>(pos_ + n)) value_.resize(static_cast<size_t>(pos_ + n));
    std::memcpy(value_.data() + pos_, in, static_cast<size_t>(n));
    pos_ += n;
    written_ = true;
    return n;
  }
  int64_t Seek(int64_t offset, int origin) override {
    pos_ = std::clamp<int64_t>(origin == 0 ? offset : (origin == 1 ? pos_ + offset : Size() + offset), 0,
                               Size());
    return pos_;
  }
  int64_t Size() const override { return static_cast<int64_t>(value_.size()); }
  void Truncate() override {
    value_.resize(static_cast<size_t>(pos_));
    written_ = true;
  }

 private:
  TMemoryDataSet& owner_;
  TField& field_;
  std::string& value_;
  int64_t pos_ = 0;
  bool written_ = false;
};

inline std::unique_ptr<TDataSetBlobStream> TMemoryDataSet::CreateBlobStream(TField& field,
                                                                             TBlobStreamMode mode) {
  if (mode != TBlobStreamMode::Read) CheckFieldWritable(field);
  return std::make_unique<TStream>(*this, field, BlobValue(field.FieldNo()));
}

}  // namespace norvane::testing

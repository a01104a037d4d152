// The large-value field classes: binary blobs, memo text, pictures and
// formatted memos. Their values live outside the record; the fields read and
// write them through the dataset's blob streams.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dataset_field.h"

namespace norvane {

// AsString reads the whole value; SetAsString replaces it (empty text
// leaves an empty value, which the cursor stores as no value).
class TBlobField : public TField {
 public:
  TBlobField(TDataSet& dataSet, std::string name) : TBlobField(dataSet, ftBlob, std::move(name)) {}
  int32_t DataSize() const override { return 0; }
  bool IsBlob() const override { return true; }
  // The value's length in bytes.
  int64_t BlobSize() const;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  // Also the binary kinds of other datasets (ftParadoxOle, ftDBaseOle,
  // ftTypedBinary).
  TBlobField(TDataSet& dataSet, TFieldType type, std::string name)
      : TField(dataSet, type, std::move(name), 0) {}
};

// Code page 1251 text.
class TMemoField : public TBlobField {
 public:
  TMemoField(TDataSet& dataSet, std::string name) : TBlobField(dataSet, ftMemo, std::move(name)) {}
};

class TGraphicField : public TBlobField {
 public:
  TGraphicField(TDataSet& dataSet, std::string name)
      : TBlobField(dataSet, ftGraphic, std::move(name)) {}
};

// Text with its formatting, kept as the bytes the editor wrote.
class TFmtMemoField : public TBlobField {
 public:
  TFmtMemoField(TDataSet& dataSet, std::string name)
      : TBlobField(dataSet, ftFmtMemo, std::move(name)) {}
};

}  // namespace norvane

// A large field's stream as a dataset uses it: what each state and mode
// loads, keeps and refuses, and what freeing the stream tells the dataset.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <stdexcept>

#include "engine/container/memory_plain_file_system.h"
#include "engine/tables/blob_stream.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;

// A dataset reduced to what the stream asks of it; its state is set by the
// test and it records what the stream tells it.
class TFakeDataset : public TBlobStreamOwner {
 public:
  explicit TFakeDataset(TDeziDataManager* table) : table_(table) {}
  bool BlobReadOnly() const override { return readOnly; }
  bool SyncCurrentRecord() override { return hasRecord; }
  int32_t CurrentRowId() const override { return rowId; }
  int32_t CurrentPhysical() const override { return physical; }
  bool Editing() const override { return editing || inserting; }
  bool Inserting() const override { return inserting; }
  TDeziDataManager* BlobTable() override { return tableOpen ? table_ : nullptr; }
  TBlobFieldStreams& BlobStreams() override { return streams; }
  void BlobFieldModified(int32_t fieldNo) override {
    ++modified[fieldNo];
    if (failModified) throw std::runtime_error("link refused");
  }
  void SetBlobFieldNull(int32_t fieldNo, bool isNull) override { nulls[fieldNo] = isNull; }
  void HandleBlobError(const std::exception& error) override { errors += error.what(); }

  bool readOnly = false, hasRecord = true, editing = false, inserting = false;
  bool tableOpen = true, failModified = false;
  int32_t rowId = 1, physical = 0;
  TBlobFieldStreams streams;
  std::map<int32_t, int> modified;
  std::map<int32_t, bool> nulls;
  std::string errors;

 private:
  TDeziDataManager* table_;
};

std::string ReadAll(TDeziBlobStream& stream) {
  std::string text(static_cast<size_t>(stream.Size()), '\0');
  stream.Read(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

void WriteText(TDeziBlobStream& stream, const std::string& text) {
  stream.Write(text.data(), static_cast<int64_t>(text.size()));
}

class BlobStream : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.CreateTable({{"Title", ftString, 20, false}, {"Notes", ftMemo, 0, false}}, 0, false);
    std::vector<uint8_t> image(static_cast<size_t>(table_.Geometry().RecordSize), 0);
    for (const char* text : {"first stored", "second stored"}) {
      const int32_t physical = table_.aaAddRecord(image.data());
      TMemoryStream value;
      value.Write(text, static_cast<int64_t>(std::strlen(text)));
      table_.WriteBLOBValue(&value, kNotes, physical);
    }
  }
  static constexpr int32_t kNotes = 1;
  TMemoryPlainFileSystem store_{"mem"};
  TDeziDataManager table_{store_, "T", false};
  TFakeDataset dataset_{&table_};
};

TEST_F(BlobStream, EachStateLoadsKeepsOrStartsEmpty) {
  {
    TDeziBlobStream browse(dataset_, kNotes, TBlobStreamMode::Read);
    EXPECT_EQ(ReadAll(browse), "first stored");
  }
  EXPECT_TRUE(dataset_.modified.empty());
  EXPECT_FALSE(dataset_.nulls.at(kNotes));

  // Editing: the first stream loads the stored value, later ones see what
  // was written, from the start.
  dataset_.editing = true;
  dataset_.streams.DropAll();
  {
    TDeziBlobStream edit(dataset_, kNotes, TBlobStreamMode::ReadWrite);
    EXPECT_EQ(ReadAll(edit), "first stored");
    edit.Seek(0, 0);
    WriteText(edit, "FIRST");
  }
  EXPECT_EQ(dataset_.modified[kNotes], 1);
  {
    TDeziBlobStream again(dataset_, kNotes, TBlobStreamMode::Read);
    EXPECT_EQ(ReadAll(again), "FIRST stored");
    again.Seek(5, 0);
    EXPECT_THROW(again.Truncate(), EEngineError);
  }
  {
    TDeziBlobStream cut(dataset_, kNotes, TBlobStreamMode::ReadWrite);
    cut.Seek(5, 0);
    cut.Truncate();
  }
  EXPECT_EQ(dataset_.streams.Find(kNotes)->Bytes(), std::vector<uint8_t>({'F', 'I', 'R', 'S', 'T'}));

  // Browsing again (a cancel) shows the stored value, not the edit.
  dataset_.editing = false;
  {
    TDeziBlobStream browse(dataset_, kNotes, TBlobStreamMode::Read);
    EXPECT_EQ(ReadAll(browse), "first stored");
  }

  // Another record drops the cache of the first.
  dataset_.editing = true;
  { TDeziBlobStream edit(dataset_, kNotes, TBlobStreamMode::Write); WriteText(edit, "x"); }
  dataset_.rowId = 2;
  dataset_.physical = 1;
  {
    TDeziBlobStream other(dataset_, kNotes, TBlobStreamMode::Read);
    EXPECT_EQ(ReadAll(other), "second stored");
  }

  // Inserting loads nothing; a write-only stream empties the value.
  dataset_.inserting = true;
  dataset_.rowId = 3;
  {
    TDeziBlobStream insert(dataset_, kNotes, TBlobStreamMode::ReadWrite);
    EXPECT_EQ(insert.Size(), 0);
  }
  EXPECT_TRUE(dataset_.nulls.at(kNotes));
  dataset_.inserting = false;
  dataset_.rowId = 1;
  dataset_.physical = 0;
  dataset_.streams.DropAll();
  { TDeziBlobStream empty(dataset_, kNotes, TBlobStreamMode::Write); }
  EXPECT_TRUE(dataset_.nulls.at(kNotes));
  EXPECT_EQ(dataset_.streams.Find(kNotes)->Size(), 0);
}

TEST_F(BlobStream, RefusalsAndFailuresCarryTheirMessages) {
  dataset_.readOnly = true;
  EXPECT_EQ(MessageOf([&] { CreateBlobStream(dataset_, kNotes, TBlobStreamMode::ReadWrite); }),
            "Error in TDeziDataset.CreateBlobStream - Dataset is read only!");
  EXPECT_EQ(MessageOf([&] { TDeziBlobStream s(dataset_, kNotes, TBlobStreamMode::Write); }),
            "Error in TDeziBlobStream.Create - Dataset is read only!");
  {
    auto reader = CreateBlobStream(dataset_, kNotes, TBlobStreamMode::Read);
    EXPECT_EQ(MessageOf([&] { WriteText(*reader, "x"); }),
              "Error in TDeziBlobStream.Write - blob stream is read only!");
  }
  dataset_.readOnly = false;

  dataset_.tableOpen = false;
  EXPECT_EQ(MessageOf([&] { TDeziBlobStream s(dataset_, kNotes, TBlobStreamMode::Read); }),
            "Error in TDeziDataSet.InternalCreateBLOBStream - table is not opened.");
  dataset_.tableOpen = true;

  // Without a current record there is nothing to read or write.
  dataset_.hasRecord = false;
  dataset_.nulls.clear();
  {
    TDeziBlobStream none(dataset_, kNotes, TBlobStreamMode::ReadWrite);
    char byte = 0;
    EXPECT_EQ(none.Read(&byte, 1), 0);
    EXPECT_EQ(none.Write("x", 1), 0);
  }
  EXPECT_TRUE(dataset_.nulls.empty());
  dataset_.hasRecord = true;

  // A link that fails while the stream is freed goes to the error handler,
  // and the field's null bit is still set.
  dataset_.editing = true;
  dataset_.failModified = true;
  dataset_.nulls.clear();
  { TDeziBlobStream edit(dataset_, kNotes, TBlobStreamMode::Write); WriteText(edit, "y"); }
  EXPECT_EQ(dataset_.errors, "link refused");
  EXPECT_FALSE(dataset_.nulls.at(kNotes));
}

}  // namespace
}  // namespace norvane

// The journal of a flush: only a whole one decodes, and an open takes back
// only one whose counters say it describes T.dat, through the write log, so
// a read-only open sees its images without writing.
#include <gtest/gtest.h>

#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "engine/tables/memory_stream.h"
#include "engine/tables/record_journal.h"
#include "tests/support/error_message.h"
#include "tests/tables/field_values.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::ReadStoreFile;
using testing::NullValue;
using testing::TextValue;
using TBytes = std::vector<uint8_t>;

const std::vector<TFieldDef> kFields = {{"S", ftString, 40, false}};

void WriteJournal(TAbstractPlainFileSystem& store, int32_t recordSize, int32_t before, int32_t after,
                  const std::vector<std::pair<int32_t, const uint8_t*>>& images, const char* name = "T.jnl") {
  TAbstractFile* file = store.OpenFile(name, true, false, false);
  WriteRecordJournal(*file, recordSize, before, after, images);
  store.CloseFile(file);
}

TEST(RecordJournal, OnlyAWholeJournalDecodes) {
  TMemoryPlainFileSystem store("mem");
  const TBytes first(7, 0x11), second(7, 0x22);
  WriteJournal(store, 7, 40, 43, {{2, first.data()}, {5, second.data()}});
  const TBytes bytes = ReadStoreFile(store, "T.jnl");
  ASSERT_EQ(static_cast<int64_t>(bytes.size()), RecordJournalLength(7, 2));
  const auto journal = DecodeRecordJournal(bytes, 7);
  ASSERT_TRUE(journal);
  EXPECT_EQ(journal->CounterBefore, 40);
  EXPECT_EQ(journal->CounterAfter, 43);
  EXPECT_EQ(journal->Images, (std::vector<std::pair<int32_t, TBytes>>{{2, first}, {5, second}}));
  EXPECT_FALSE(DecodeRecordJournal(bytes, 8)) << "another record size";
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(DecodeRecordJournal(TBytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)), 7))
        << "cut to " << cut;
  for (size_t at = 0; at < bytes.size(); ++at) {
    TBytes damaged = bytes;
    damaged[at] ^= 0x40;
    EXPECT_FALSE(DecodeRecordJournal(damaged, 7)) << "byte " << at;
  }
}

TEST(RecordJournal, AnOpenTakesBackOnlyACurrentJournal) {
  struct TCase {
    const char* Name;
    int32_t Before, After;  // relative to the header's counter
    bool ReadOnly;
    bool Replayed;
    bool Kept;  // the file is still there after the open
  };
  const TCase cases[] = {
      {"stopped before the header was written", 0, 3, false, true, false},
      {"stopped after the header was written", -3, 0, false, true, false},
      {"left by a flush that ended", -5, -2, false, false, false},
      {"read-only: seen, not written", 0, 3, true, true, true},
      {"read-only and past", -5, -2, true, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryPlainFileSystem store("mem");
    TBytes changed;
    int32_t counter = 0;
    {
      TDeziDataManager table(store, "T", false);
      table.CreateTable(kFields, 0, false);
      for (const char* text : {"zero", "one", "two"}) {
        TBytes image = table.EncodeRecord({0, {TextValue(text)}});
        table.aaAddRecord(image.data());
      }
      changed.assign(table.RecordPtr(1), table.RecordPtr(1) + table.Geometry().RecordSize);
      TBytes image = table.EncodeRecord({2, {TextValue("journalled")}});
      std::copy(image.begin(), image.end(), changed.begin());
      counter = table.Header().ChangeCounter;
      table.CloseTable();
    }
    WriteJournal(store, static_cast<int32_t>(changed.size()), counter + c.Before, counter + c.After,
                 {{1, changed.data()}});
    const TBytes dat = ReadStoreFile(store, "T.dat");
    for (int session = 0; session < 2; ++session) {
      TDeziDataManager table(store, "T", c.ReadOnly);
      ASSERT_TRUE(table.Open());
      const TRecordValues record = table.DecodeRecord(table.RecordPtr(1));
      EXPECT_EQ(record.RowId, 2);
      EXPECT_EQ(record.Fields[0].Bytes, c.Replayed ? "journalled" : "one") << "session " << session;
      EXPECT_EQ(table.DecodeRecord(table.RecordPtr(2)).Fields[0].Bytes, "two");
      EXPECT_EQ(store.FileExists("T.jnl"), c.Kept);
      table.CloseTable();
    }
    if (c.ReadOnly) {
      EXPECT_EQ(ReadStoreFile(store, "T.dat"), dat);
    }
  }
}

TEST(RecordJournal, ANewTableDropsTheJournalOfAnEarlierOne) {
  TMemoryPlainFileSystem store("mem");
  const TBytes image(45, 0x33);
  // Counters a new table starts from: taken back, it would land in the new records.
  WriteJournal(store, static_cast<int32_t>(image.size()), 0, 1, {{0, image.data()}});
  TDeziDataManager table(store, "T", false);
  table.CreateTable(kFields, 0, false);
  EXPECT_FALSE(store.FileExists("T.jnl"));
}

// T.bif is written over whole at every flush; its journal holds the new
// bytes meanwhile. A T.bif left half written opens again from a current
// journal, written back by a writable open and only read by a read-only one;
// a journal whose counters are past is no help.
TEST(RecordJournal, AHalfWrittenDirectoryOpensFromItsJournal) {
  struct TCase {
    const char* Name;
    int32_t Before, After;
    bool ReadOnly;
    bool Opens;
  };
  const TCase cases[] = {
      {"writable", 0, 2, false, true},
      {"read-only", 0, 2, true, true},
      {"past counters", -4, -2, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryPlainFileSystem store("mem");
    int32_t counter = 0;
    {
      TDeziDataManager table(store, "T", false);
      table.CreateTable({{"S", ftString, 10, false}, {"M", ftMemo, 0, false}}, 0, false);
      TMemoryStream memo;
      const TBLOBValues values = {{1, &memo}};
      for (int i = 0; i < 40; ++i) {
        memo.Assign(TBytes(static_cast<size_t>(100 + i), static_cast<uint8_t>('a' + i % 26)));
        TBytes image = table.EncodeRecord({0, {TextValue("r"), NullValue()}});
        table.aaAddRecord(image.data(), -1, &values);
      }
      counter = table.Header().ChangeCounter;
      table.CloseTable();
    }
    const TBytes whole = ReadStoreFile(store, "T.bif");
    ASSERT_GT(whole.size(), 8u);
    WriteJournal(store, static_cast<int32_t>(whole.size()), counter + c.Before, counter + c.After, {{0, whole.data()}},
                 "T.bjn");
    TBytes torn = whole;
    std::fill(torn.begin() + static_cast<std::ptrdiff_t>(torn.size() / 2), torn.end(), 0x5A);
    testing::WriteStoreFile(store, "T.bif", torn);

    TDeziDataManager table(store, "T", c.ReadOnly);
    const std::string message = testing::MessageOf([&] { table.Open(); });
    if (!c.Opens) {
      EXPECT_NE(message.find("T.bif"), std::string::npos) << message;
      continue;
    }
    ASSERT_EQ(message, "(no error)");
    TMemoryStream value;
    table.ReadBLOBValue(&value, 1, 39);
    EXPECT_EQ(value.Bytes(), TBytes(139, static_cast<uint8_t>('a' + 39 % 26)));
    table.CloseTable();
    EXPECT_EQ(ReadStoreFile(store, "T.bif"), c.ReadOnly ? torn : whole);
    EXPECT_EQ(store.FileExists("T.bjn"), c.ReadOnly);
  }
}

}  // namespace
}  // namespace norvane

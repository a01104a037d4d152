// The table-open fuzz target's seed files, opened as the target opens them,
// so the seeds keep reaching past the header checks into the field and
// version rules as the format's code changes.
#include <gtest/gtest.h>

#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/record_journal.h"
#include "fuzz/table_input.h"
#include "tests/support/error_message.h"
#include "tests/support/file_bytes.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

TEST(TableCorpus, SeedsOpenAsWritten) {
  struct Case {
    const char* seed;
    size_t fields;
    std::string message;
    int32_t indexes;  // of an open table
    int32_t records;  // of an open table
  };
  // Counts the sorts an open needs: none when T.idx's arrays are used.
  struct TSorts : TIndexBuildProgress {
    void IndexBuildStarted(const std::string&) override { ++count; }
    void IndexBuildProgress(int) override {}
    void IndexBuildEnded() override {}
    int count = 0;
  };
  const Case cases[] = {
      {"current", 3, "(no error)", 5, 1},
      {"every_type", 9, "(no error)", 10, 2},
      {"older_memo", 0,
       "Unsupported table format. Please contact the support of the database engine to have the "
       "table converted.", 0, 0},
      {"with_indexes", 2, "(no error)", 5, 5},
      {"with_values", 6, "(no error)", 4, 4},
      {"with_journal", 3, "(no error)", 5, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    const std::vector<uint8_t> bytes =
        testing::ReadFileBytes(std::string(NORVANE_TABLE_CORPUS) + "/" + c.seed);
    ASSERT_FALSE(bytes.empty());
    const fuzz::TTableInput input = fuzz::SplitTableInput(bytes.data(), bytes.size());
    TMemoryPlainFileSystem store("mem");
    for (const char* name : {"T.dat", "T.idx", "T.bif", "T.bdf"}) store.OpenFile(name, true, false, false);
    testing::WriteStoreFile(store, "T.dat", input.Dat);
    testing::WriteStoreFile(store, "T.idx", input.Idx);
    testing::WriteStoreFile(store, "T.bif", input.Bif);
    testing::WriteStoreFile(store, "T.bdf", input.Bdf);
    if (!input.Jnl.empty()) {
      store.OpenFile("T.jnl", true, false, false);
      testing::WriteStoreFile(store, "T.jnl", input.Jnl);
    }
    TDeziDataManager table(store, "T", true);
    TSorts sorts;
    table.AddIndexBuildProgress(&sorts);
    EXPECT_EQ(testing::MessageOf([&] { table.Open(); }), c.message);
    EXPECT_EQ(table.Fields().size(), c.fields);
    EXPECT_EQ(table.IndexCount(), c.indexes);
    // Each record has one place in every index, even where a damaged table
    // repeats a row identifier (two records of "every_type" share one).
    for (int32_t index = 0; index < table.IndexCount(); ++index)
      for (int32_t at = 0; at < table.Header().RecordCount; ++at)
        EXPECT_EQ(table.RecordPosition(index, table.IndexRecord(index, at)), at) << index;
    // The seed with an index file reaches the reading of its arrays.
    if (!input.Idx.empty()) {
      EXPECT_EQ(sorts.count, 0);
    }
    EXPECT_EQ(table.Header().RecordCount, c.records);
    // The seed with large values reaches the reading of its values, and its
    // free list (one value was deleted).
    if (!input.Bif.empty()) {
      ASSERT_NE(table.BLOBDirectory(), nullptr);
      EXPECT_EQ(table.BLOBDirectory()->BlockSize(), 64);
      EXPECT_EQ(table.BLOBDirectory()->FreeRuns().size(), 1u);
      TMemoryStream value;
      table.ReadBLOBValue(&value, 5, 1);
      EXPECT_EQ(value.Bytes(), std::vector<uint8_t>(300, 'r'));
    }
    // The seed with a journal reaches its replay: the record reads as the
    // journal has it, T.dat as it was.
    if (!input.Jnl.empty()) {
      const auto journal = DecodeRecordJournal(input.Jnl, table.Geometry().RecordSize);
      ASSERT_TRUE(journal);
      const auto& [position, image] = journal->Images.at(0);
      EXPECT_EQ(std::vector<uint8_t>(table.RecordPtr(position), table.RecordPtr(position) + image.size()), image);
    }
    EXPECT_EQ(testing::ReadStoreFile(store, "T.dat"), input.Dat);
  }
}

}  // namespace
}  // namespace norvane

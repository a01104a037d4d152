// The table-open fuzz target's seed files, opened as the target opens them,
// so the seeds keep reaching past the header checks into the field and
// version rules as the format's code changes.
#include <gtest/gtest.h>

#include "engine/tables/dezi_data_manager.h"
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
  };
  const Case cases[] = {
      {"current", 3, "(no error)"},
      {"every_type", 9, "(no error)"},
      {"older_memo", 0,
       "Unsupported table format. Please contact the support of the database engine to have the "
       "table converted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    const std::vector<uint8_t> bytes =
        testing::ReadFileBytes(std::string(NORVANE_TABLE_CORPUS) + "/" + c.seed);
    ASSERT_FALSE(bytes.empty());
    TMemoryPlainFileSystem store("mem");
    for (const char* name : {"T.dat", "T.idx", "T.bif", "T.bdf"}) store.OpenFile(name, true, false, false);
    testing::WriteStoreFile(store, "T.dat", bytes);
    TDeziDataManager table(store, "T", true);
    EXPECT_EQ(testing::MessageOf([&] { table.Open(); }), c.message);
    EXPECT_EQ(table.Fields().size(), c.fields);
    EXPECT_EQ(testing::ReadStoreFile(store, "T.dat"), bytes);
  }
}

}  // namespace
}  // namespace norvane

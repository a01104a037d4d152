// The fuzz target's read paths replayed as a test: over every input the
// fuzzer once crashed on (tests/container/fuzz_regressions/), which must now
// end in nothing worse than EEngineError, and over the seed corpus, whose
// sound containers must read and check clean.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/container_read_paths.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzRegressions, CrashInputsEndInEngineErrorsAtWorst) {
  const auto files = FilesIn(NORVANE_FUZZ_REGRESSIONS);
  ASSERT_FALSE(files.empty()) << "no inputs in " << NORVANE_FUZZ_REGRESSIONS;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const auto bytes = testing::ReadFileBytes(file);
    for (const fuzz::TReadOutcome& outcome : fuzz::RunInput(bytes.data(), bytes.size()))
      EXPECT_TRUE(fuzz::Agrees(outcome)) << outcome.EngineError;
  }
}

TEST(FuzzRegressions, SeedContainersReadAndCheckClean) {
  const auto files = FilesIn(NORVANE_FUZZ_CORPUS);
  ASSERT_GE(files.size(), 3u) << "seed corpus missing in " << NORVANE_FUZZ_CORPUS;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const auto bytes = testing::ReadFileBytes(file);
    const fuzz::TReadOutcome outcome = fuzz::RunContainerReadPaths(bytes.data(), bytes.size());
    EXPECT_EQ(outcome.EngineError, "");
    EXPECT_EQ(outcome.CheckProblems, 0u);
  }
}

}  // namespace
}  // namespace norvane

// The fuzz targets' read and write paths replayed as a test: over every input
// the fuzzers once crashed on (tests/container/fuzz_regressions/), which must
// now end in nothing worse than EEngineError and never leave a sound container
// damaged, and over the seed corpus, whose sound containers must read and
// check clean and stay clean under every kind of write step.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/checksum_fixup.h"
#include "fuzz/container_read_paths.h"
#include "fuzz/container_write_paths.h"
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
    for (const fuzz::TWriteOutcome& outcome : fuzz::RunWriteInput(bytes.data(), bytes.size()))
      EXPECT_TRUE(fuzz::KeptSound(outcome))
          << outcome.EngineError << "; after: " << outcome.ProblemsAfter.front();
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

// Each seed with its script bytes replaced: every operation, each with a
// small and a large size and a target that wraps around the item lists. The
// tail may lie in a checksummed page, so the checksums are made right again.
TEST(FuzzRegressions, WriteStepsKeepSeedContainersClean) {
  struct Script {
    const char* name;
    uint8_t bytes[fuzz::kScriptBytes];
  };
  const Script kScripts[] = {
      {"put small, put large, put empty, put one page", {0, 0x21, 0, 0xE3, 0, 0x05, 0, 0x47}},
      {"put, delete, delete, put", {0, 0x41, 1, 0x00, 1, 0x07, 0, 0x61}},
      {"put, rename, rename onto a file, put", {0, 0xA1, 2, 0x03, 0x82, 0x01, 0, 0x02}},
      {"grow by writing, grow by size, grow a map page, shrink", {3, 0x61, 0x83, 0xA2, 3, 0xE0, 4, 0x21}},
      {"put, overwrite, shrink to nothing, overwrite", {0, 0xA0, 0x65, 0x80, 4, 0x00, 0xE5, 0x61}},
  };
  for (const std::string& file : FilesIn(NORVANE_FUZZ_CORPUS)) {
    const auto seed = testing::ReadFileBytes(file);
    for (const Script& script : kScripts) {
      SCOPED_TRACE(file + ": " + script.name);
      auto bytes = seed;
      ASSERT_GE(bytes.size(), fuzz::kScriptBytes);
      std::copy(std::begin(script.bytes), std::end(script.bytes), bytes.end() - fuzz::kScriptBytes);
      fuzz::FixChecksums(bytes);
      const fuzz::TWriteOutcome outcome = fuzz::RunContainerWritePaths(bytes.data(), bytes.size());
      EXPECT_EQ(outcome.ProblemsBefore, 0u);
      EXPECT_EQ(outcome.EngineError, "");
      EXPECT_TRUE(outcome.ProblemsAfter.empty()) << outcome.ProblemsAfter.front();
    }
  }
}

}  // namespace
}  // namespace norvane

// The command-line tool run as a function: exit statuses, output formats and
// the conversion of its UTF-8 arguments to engine text.
#include "tools/norvane-db/tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/platform/file_system.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

struct TRun {
  int status;
  std::string out;
  std::string err;
};

TRun RunDb(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = tool::RunTool(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(NorvaneDb, CreateThenInfoPrintsTheHeader) {
  testing::TTempFolder dir;
  const std::string file = dir / "cat.adb";
  const TRun created = RunDb({"create", file});
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(created.out, "");
  EXPECT_EQ(testing::ReadFileBytes(file).size(), 536u);
  const TRun info = RunDb({"info", file});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "page size: 4096\n"
            "extent pages: 16\n"
            "page count: 1\n"
            "gam pages: 0\n"
            "pfs pages: 0\n"
            "directory pages: 0\n"
            "directory items: 0\n"
            "encrypted: no\n");
}

TEST(NorvaneDb, HelpListsTheCommandsWhereverItStands) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"info", "x.adb", "--help"}}) {
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("create FILE"), std::string::npos);
    EXPECT_NE(run.out.find("info FILE"), std::string::npos);
  }
}

TEST(NorvaneDb, UsageErrorsExitWithTwoAndShowTheUsage) {
  const std::vector<std::vector<std::string>> kCases = {
      {}, {"frobnicate"}, {"info"}, {"info", "a", "b"}, {"create", "--bogus", "a"},
      {"create", "\xE4\xB8\xAD.adb"},  // a character code page 1251 cannot hold
      {"create", "\xC3"},              // not UTF-8
  };
  for (const auto& args : kCases) {
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Usage: norvane-db"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_NE(RunDb({"create", "\xE4\xB8\xAD.adb"}).err.find("U+4E2D"), std::string::npos);
}

TEST(NorvaneDb, EngineErrorsExitWithOneAndTheEngineMessage) {
  testing::TTempFolder dir;
  testing::WriteFileBytes(dir / "junk.adb", std::vector<uint8_t>(600, 'j'));
  const TRun junk = RunDb({"info", dir / "junk.adb"});
  EXPECT_EQ(junk.status, 1);
  EXPECT_EQ(junk.err, "File junk.adb has corrupted header.\n");
  const TRun missing = RunDb({"info", dir / "missing.adb"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot open the file"), std::string::npos);
}

TEST(NorvaneDb, CyrillicNamesBecomeUtf8FilesOnDisk) {
  testing::TTempFolder dir;
  const std::string utf8Name = dir / "\xD0\x9A\xD0\xB0\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBE\xD0\xB3.adb";  // Каталог
  ASSERT_EQ(RunDb({"create", utf8Name}).status, 0);
  EXPECT_EQ(testing::ReadFileBytes(utf8Name).size(), 536u);
  const TRun info = RunDb({"info", utf8Name});
  EXPECT_EQ(info.status, 0) << info.err;
  // The engine reports the name in its own text; the tool shows it as UTF-8.
  testing::WriteFileBytes(utf8Name, std::vector<uint8_t>(600, 'j'));
  EXPECT_EQ(RunDb({"info", utf8Name}).err,
            "File \xD0\x9A\xD0\xB0\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBE\xD0\xB3.adb has corrupted header.\n");
}

}  // namespace
}  // namespace norvane

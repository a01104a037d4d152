// The command-line tool run as a function: exit statuses, output formats and
// the conversion of its UTF-8 arguments to engine text; and run as a program
// under the locales its users have.
#include "tools/norvane-db/tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "engine/platform/file_system.h"
#include "tests/support/fast_clock.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_runner.h"

namespace norvane {
namespace {

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
           {"--help"}, {"-h"}, {"x.adb", "--help"}}) {
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("create FILE"), std::string::npos);
    EXPECT_NE(run.out.find("info FILE"), std::string::npos);
    EXPECT_NE(run.out.find("recover DAMAGED NEW"), std::string::npos);
  }
}

TEST(NorvaneDb, UsageErrorsExitWithTwoAndShowTheUsage) {
  const std::vector<std::vector<std::string>> kCases = {
      {}, {"frobnicate"}, {"info"}, {"info", "a", "b"}, {"create", "--bogus", "a"},
  };
  for (const auto& args : kCases) {
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Usage: norvane-db"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
}

TEST(NorvaneDb, EngineErrorsExitWithOneAndTheEngineMessage) {
  testing::TTempFolder dir;
  testing::WriteFileBytes(dir / "junk.adb", std::vector<uint8_t>(600, 'j'));
  const TRun junk = RunDb({"info", dir / "junk.adb"});
  EXPECT_EQ(junk.status, 1);
  EXPECT_EQ(junk.err, dir / "junk.adb is not a Norvane catalogue\nFile junk.adb has corrupted header.\n");
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
  EXPECT_EQ(LinesOf(RunDb({"info", utf8Name}).err).back(),
            "File \xD0\x9A\xD0\xB0\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBE\xD0\xB3.adb has corrupted header.");
}

TEST_F(NorvaneDbFiles, LsListsEverythingSortedByPath) {
  const TRun ls = RunDb({"ls", file});
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(ls.out,
            "/docs/\n"
            "/docs/a.txt\t4\n"
            "/empty/\n"
            "/empty/inner/\n"
            "/top.txt\t5\n");
}

TEST_F(NorvaneDbFiles, GetReturnsTheBytesToAFileOrStandardOutput) {
  EXPECT_EQ(RunDb({"get", file, "/top.txt"}).out, "hello");
  ASSERT_EQ(RunDb({"get", file, "/docs/a.txt", dir / "back.bin"}).status, 0);
  EXPECT_EQ(testing::ReadFileBytes(dir / "back.bin"), (std::vector<uint8_t>{0, 1, 2, 255}));
  EXPECT_FALSE(FileExists(dir / "back.bin.part"));
}

// put reads its source a chunk ahead of the container, get writes whole
// chunks of 4 MiB past the file cache and the rest the ordinary way: sizes
// around a page and around their chunks come back exact, from a file and
// from standard input.
TEST_F(NorvaneDbFiles, PutAndGetKeepEveryByteAroundChunkEdges) {
  const int64_t chunk = 4 << 20, putChunk = 1 << 20;
  for (const int64_t size : {int64_t{1}, int64_t{4095}, int64_t{4096}, putChunk, putChunk + 1,
                             chunk - 1, chunk, chunk + 1, 2 * chunk + 4097}) {
    std::string bytes(static_cast<size_t>(size), '\0');
    for (int64_t i = 0; i < size; ++i)
      bytes[static_cast<size_t>(i)] = static_cast<char>(i * 131 + i / 4096);
    const std::vector<uint8_t> want(bytes.begin(), bytes.end());
    testing::WriteFileBytes(dir / "source.bin", want);
    ASSERT_EQ(RunDb({"put", file, "/piped.bin"}, bytes).status, 0) << size;
    ASSERT_EQ(RunDb({"put", file, "/copied.bin", dir / "source.bin"}).status, 0) << size;
    for (const std::string name : {"piped.bin", "copied.bin"}) {
      const TRun got = RunDb({"get", file, "/" + name, dir / name});
      ASSERT_EQ(got.status, 0) << size << got.err;
      EXPECT_TRUE(testing::ReadFileBytes(dir / name) == want) << name << " " << size;
    }
  }
}

// A page that fails its checksum in the third chunk stops get while the
// chunk before it may still be being written: no DEST, no leftover part.
TEST_F(NorvaneDbFiles, GetStoppedByDamageLeavesNoDestination) {
  const std::string bytes(static_cast<size_t>(3 * (4 << 20)), 'd');
  ASSERT_EQ(RunDb({"put", file, "/big.bin"}, bytes).status, 0);
  std::vector<uint8_t> image = testing::ReadFileBytes(file);
  image[image.size() * 5 / 6 / 4096 * 4096 + 100] ^= 0x5A;
  testing::WriteFileBytes(file, image);
  const TRun got = RunDb({"get", file, "/big.bin", dir / "big.bin"});
  EXPECT_EQ(got.status, 1);
  EXPECT_NE(got.err.find("Cannot read \"/big.bin\""), std::string::npos) << got.err;
  EXPECT_FALSE(FileExists(dir / "big.bin"));
  EXPECT_FALSE(FileExists(dir / "big.bin.part"));
}

TEST_F(NorvaneDbFiles, PutReplacesAndMakesFolders) {
  ASSERT_EQ(RunDb({"put", file, "/top.txt"}, "bye").status, 0);
  EXPECT_EQ(RunDb({"get", file, "/top.txt"}).out, "bye");
  ASSERT_EQ(RunDb({"put", file, "/new/deep/x"}, "x").status, 0);
  EXPECT_NE(RunDb({"ls", file}).out.find("/new/deep/x\t1\n"), std::string::npos);
}

TEST_F(NorvaneDbFiles, RmMvMkdirChangeTheTree) {
  ASSERT_EQ(RunDb({"mv", file, "/top.txt", "/docs/moved.txt"}).status, 0);
  ASSERT_EQ(RunDb({"rm", file, "/docs/a.txt"}).status, 0);
  ASSERT_EQ(RunDb({"rm", file, "/empty/inner"}).status, 0);
  ASSERT_EQ(RunDb({"mkdir", file, "/made"}).status, 0);
  EXPECT_EQ(RunDb({"ls", file}).out,
            "/docs/\n"
            "/docs/moved.txt\t5\n"
            "/empty/\n"
            "/made/\n");
}

TEST_F(NorvaneDbFiles, CompactShrinksTheFileAndKeepsEveryByte) {
  const std::string big(200000, 'b');
  ASSERT_EQ(RunDb({"put", file, "/big"}, big).status, 0);
  ASSERT_EQ(RunDb({"rm", file, "/big"}).status, 0);
  const size_t before = testing::ReadFileBytes(file).size();
  const TRun compact = RunDb({"compact", file});
  ASSERT_EQ(compact.status, 0) << compact.err;
  EXPECT_EQ(compact.out, "size before: " + std::to_string(before) + " bytes\nsize after: " +
                             std::to_string(testing::ReadFileBytes(file).size()) + " bytes\n");
  EXPECT_LT(testing::ReadFileBytes(file).size(), before);
  EXPECT_NE(compact.err.find("compacting: 100%"), std::string::npos);
  EXPECT_EQ(RunDb({"get", file, "/top.txt"}).out, "hello");
  EXPECT_EQ(RunDb({"ls", file}).out,
            "/docs/\n"
            "/docs/a.txt\t4\n"
            "/empty/\n"
            "/empty/inner/\n"
            "/top.txt\t5\n");
}

// check reads only: "ok" and 0 for a sound file; one line a problem, the
// count and 1 for a damaged one; a file it cannot open at all is an error.
TEST_F(NorvaneDbFiles, CheckListsEachProblemAndLeavesTheFileAsItWas) {
  const TRun clean = RunDb({"check", file});
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.out, "ok\n");
  // The bytes of /top.txt lie in its one data page: damage one of them.
  auto bytes = testing::ReadFileBytes(file);
  const std::string hello = "hello";
  const auto at = std::search(bytes.begin(), bytes.end(), hello.begin(), hello.end());
  ASSERT_NE(at, bytes.end());
  const int64_t page = (at - bytes.begin() - 280) / 4096;
  *at ^= 0x20;
  testing::WriteFileBytes(file, bytes);
  const TRun damaged = RunDb({"check", file});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "page " + std::to_string(page) +
                             ": checksum mismatch (data page 0 of \"/top.txt\")\n1 problem\n");
  EXPECT_EQ(testing::ReadFileBytes(file), bytes);
  const TRun missing = RunDb({"check", dir / "missing.adb"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("Cannot open the file"), std::string::npos);
}

// recover copies a damaged file into a new one: the log names each file,
// the last line sums up, the status is 0 only when everything came back,
// and the damaged file is never written.
TEST_F(NorvaneDbFiles, RecoverCopiesWhatCanBeReadAndLeavesTheDamagedFileAsItWas) {
  const std::string copy = dir / "copy.adb";
  const TRun sound = RunDb({"recover", file, copy});
  EXPECT_EQ(sound.status, 0) << sound.err;
  EXPECT_NE(sound.out.find("whole: /top.txt (5 bytes)\n"), std::string::npos) << sound.out;
  EXPECT_TRUE(sound.out.ends_with("\n2 files whole, 0 with missing ranges, 0 lost.\n")) << sound.out;
  EXPECT_EQ(RunDb({"ls", copy}).out, RunDb({"ls", file}).out);

  auto bytes = testing::ReadFileBytes(file);
  const std::string hello = "hello";
  const auto at = std::search(bytes.begin(), bytes.end(), hello.begin(), hello.end());
  ASSERT_NE(at, bytes.end());
  *at ^= 0x20;
  testing::WriteFileBytes(file, bytes);
  const TRun exists = RunDb({"recover", file, copy});
  EXPECT_EQ(exists.status, 1);
  EXPECT_NE(exists.err.find("exists already"), std::string::npos) << exists.err;
  ASSERT_TRUE(DeleteFileByName(copy));
  const TRun damaged = RunDb({"recover", file, copy});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.out.find("lost: record "), std::string::npos) << damaged.out;
  EXPECT_TRUE(damaged.out.ends_with("\n1 file whole, 0 with missing ranges, 1 lost.\n"))
      << damaged.out;
  EXPECT_EQ(RunDb({"get", copy, "/docs/a.txt"}).out, std::string("\0\1\2\xFF", 4));
  EXPECT_EQ(RunDb({"get", copy, "/top.txt"}).status, 1);
  EXPECT_EQ(testing::ReadFileBytes(file), bytes);

  EXPECT_EQ(RunDb({"recover", file}).status, 2);
  EXPECT_EQ(RunDb({"recover", file, file}).status, 1);
  EXPECT_EQ(testing::ReadFileBytes(file), bytes);
}

TEST(NorvaneDb, CheckTakesThePasswordOfAnEncryptedFile) {
  testing::TTempFolder dir;
  const std::string file = dir / "locked.adb";
  ASSERT_EQ(RunDb({"create", file, "--password", "pw"}).status, 0);
  ASSERT_EQ(RunDb({"put", file, "/a", "--password", "pw"}, "text").status, 0);
  const TRun open = RunDb({"check", file, "--password", "pw"});
  EXPECT_EQ(open.status, 0) << open.out << open.err;
  EXPECT_EQ(open.out, "ok\n");
  const TRun locked = RunDb({"check", file});
  EXPECT_EQ(locked.status, 1);
  EXPECT_NE(locked.out.find("no password given opens it"), std::string::npos) << locked.out;
}

// Names the Turkish rules tell apart (I and i are no pair there) but other
// locales find equal ignoring case: a catalogue holding them, made under a
// Turkish locale, opens, lists, reads and checks under the others.
TEST(NorvaneDbProgram, CatalogueMadeUnderTurkishWorksUnderEveryLocale) {
  testing::TTempFolder dir;
  const std::string file = dir / "c.adb";
  struct Put { const char* path; const char* text; };
  const Put kPuts[] = {{"/FILE", "upper"}, {"/file", "lower"}, {"/DIR/x", "in DIR"},
                       {"/dir/y", "in dir"}, {"/DIR/IN/I", "deep"}, {"/DIR/in/i", "beside"}};
  ASSERT_EQ(RunProgramUnder("tr_TR.UTF-8", {"create", file}).status, 0);
  for (const Put& put : kPuts) {
    testing::WriteFileBytes(dir / "src", std::vector<uint8_t>(put.text, put.text + strlen(put.text)));
    const TRun run = RunProgramUnder("tr_TR.UTF-8", {"put", file, put.path, dir / "src"});
    ASSERT_EQ(run.status, 0) << put.path << ": " << run.out;
  }
  const std::vector<std::string> listing = SortedLines(
      "/DIR/\n/DIR/IN/\n/DIR/IN/I\t4\n/DIR/in/\n/DIR/in/i\t6\n/DIR/x\t6\n/FILE\t5\n/dir/\n"
      "/dir/y\t6\n/file\t5\n");
  for (const char* lang : {"C", "en_US.UTF-8", "ru_RU.UTF-8"}) {
    const TRun ls = RunProgramUnder(lang, {"ls", file});
    EXPECT_EQ(ls.status, 0) << lang << ": " << ls.out;
    EXPECT_EQ(SortedLines(ls.out), listing) << lang;
    for (const Put& put : kPuts) EXPECT_EQ(RunProgramUnder(lang, {"get", file, put.path}).out, put.text)
        << lang << " " << put.path;
    const TRun check = RunProgramUnder(lang, {"check", file});
    EXPECT_EQ(check.status, 0) << lang << ": " << check.out;
    const std::vector<std::string> lines = LinesOf(check.out);
    ASSERT_EQ(lines.size(), 4u) << lang << ": " << check.out;  // three warnings and "ok"
    EXPECT_EQ(lines.back(), "ok") << lang;
    for (size_t i = 0; i + 1 < lines.size(); ++i)
      EXPECT_EQ(lines[i].rfind("warning: ", 0), 0u) << lang << ": " << lines[i];
    // A new name that clashes under these rules is still refused.
    EXPECT_EQ(RunProgramUnder(lang, {"mv", file, "/DIR/x", "/FiLe"}).status, 1) << lang;
  }
  // Under the other rules a file keeps its place when put again under its
  // own name, and a name that clashes with two is refused, costing neither.
  testing::WriteFileBytes(dir / "src", {'n', 'e', 'w'});
  EXPECT_EQ(RunProgramUnder("C", {"put", file, "/file", dir / "src"}).status, 0);
  const TRun refused = RunProgramUnder("C", {"put", file, "/fiLE", dir / "src"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "Cannot create \"/fiLE\".\n");
  EXPECT_EQ(RunProgramUnder("C", {"get", file, "/FILE"}).out, "upper");
  EXPECT_EQ(RunProgramUnder("C", {"get", file, "/file"}).out, "new");
}

// Each failing command exits 1 with a message and leaves the file as it was.
TEST_F(NorvaneDbFiles, FailingCommandsChangeNothing) {
  const auto before = testing::ReadFileBytes(file);
  struct Case { std::vector<std::string> args; const char* message; };
  const std::vector<Case> kCases = {
      {{"get", file, "/missing"}, "\"/missing\" not found."},
      {{"get", file, "/docs"}, "\"/docs\" is a folder."},
      {{"rm", file, "/missing"}, "\"/missing\" not found."},
      {{"rm", file, "/docs"}, "Folder \"/docs\" is not empty."},
      {{"mv", file, "/missing", "/x"}, "\"/missing\" not found."},
      {{"mv", file, "/top.txt", "/docs/a.txt"}, "\"/docs/a.txt\" exists already."},
      {{"mv", file, "/empty", "/empty/inner/x"}, "Cannot move \"/empty\" to \"/empty/inner/x\"."},
      {{"mkdir", file, "/top.txt"}, "\"/top.txt\" exists already."},
      {{"put", file, "/top.txt/x"}, "\"/top.txt\" is a file."},
      {{"put", file, "/docs"}, "\"/docs\" is a folder."},
      {{"put", file, "/n", dir / "no-such-source"}, "Cannot open the file"},
  };
  for (const Case& c : kCases) {
    const TRun run = RunDb(c.args, "input");
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(testing::ReadFileBytes(file), before) << c.message;
  }
}

TEST(NorvaneDbEncrypted, PasswordsOpenWhatTheyProtect) {
  testing::TFastClock clock;
  testing::TTempFolder dir;
  const std::string file = dir / "secret.adb";
  const std::string marker(64, 'M');
  testing::WriteFileBytes(dir / "pw.txt", {'s', '3', 'c', 'r', '\r', '\n', 'x'});
  ASSERT_EQ(RunDb({"create", file, "--password", "s3cr", "--question", "q?", "--answer", "a"}).status, 0);
  const TRun put = RunDb({"put", "--password-file", dir / "pw.txt", file, "/m.txt"}, marker);
  ASSERT_EQ(put.status, 0) << put.err;
  const auto raw = testing::ReadFileBytes(file);
  EXPECT_EQ(std::search(raw.begin(), raw.end(), marker.begin(), marker.end()), raw.end());
  EXPECT_EQ(RunDb({"get", file, "/m.txt", "--password=s3cr"}).out, marker);
  EXPECT_NE(RunDb({"info", file}).out.find("encrypted: yes"), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"get", file, "/m.txt"}, {"get", file, "/m.txt", "--password", "wrong"},
           {"ls", file, "--password", "S3CR"}}) {
    const TRun run = RunDb(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("invalid password specified"), std::string::npos) << run.err;
  }
  EXPECT_EQ(testing::ReadFileBytes(file), raw);
  EXPECT_EQ(RunDb({"get", file, "/m.txt", "--password", "x", "--password-file", dir / "pw.txt"}).status, 2);
}

}  // namespace
}  // namespace norvane

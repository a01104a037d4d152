// The tool never loses a user's data: a source that fails to read, a path
// it should refuse, a full disk or an unrelated file beside DEST leave
// everything as it was; "-" is standard input or output; numeric engine
// failures come with plain words.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <streambuf>
#include <system_error>

#include "engine/platform/file_system.h"
#include "tests/support/file_bytes.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/standard_input.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + seed + i / 4096);
  return bytes;
}

std::string AsText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// The program in a child process that may write no file beyond
// `limitBytes` (as on a nearly full disk: writes past it fail with EFBIG
// rather than killing the process). Standard error comes back in `err`.
TRun RunProgramWithFileLimit(rlim_t limitBytes, const std::vector<std::string>& args,
                             const std::string& errFile) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(100);
    const rlimit limit{limitBytes, limitBytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(101);
    signal(SIGXFSZ, SIG_IGN);
    std::vector<char*> argv{const_cast<char*>(NORVANE_DB_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(NORVANE_DB_PROGRAM, argv.data());
    _exit(102);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return {-1, "", "no child"};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "",
          AsText(testing::ReadFileBytes(errFile))};
}

class ToolData : public NorvaneDbFiles {
 protected:
  std::string Listing() { return RunDb({"ls", file}).out; }
};

// A source that fails to read fails the put with the system's reason and
// leaves the old file exactly as it was, whether it is a file or standard
// input.
TEST_F(ToolData, ReadErrorOnTheSourceFailsPutAndKeepsTheOldFile) {
  const std::vector<uint8_t> old = Pattern(3'000'000, 7);
  testing::WriteFileBytes(dir / "old.bin", old);
  ASSERT_EQ(RunDb({"put", file, "/big.bin", dir / "old.bin"}).status, 0);
  const std::string before = Listing();

  const TRun mem = RunDb({"put", file, "/mem", "/proc/self/mem"});
  EXPECT_EQ(mem.status, 1);
  EXPECT_EQ(mem.err, "Cannot read the file \"/proc/self/mem\": Input/output error.\n");

  TFailingInput failing(std::string(1 << 20, 'n'));
  std::istream in(&failing);
  const TRun piped = RunDbReading({"put", file, "/big.bin"}, in);
  EXPECT_EQ(piped.status, 1);
  EXPECT_EQ(piped.err, "Cannot read standard input: Input/output error.\n");

  // The program's own standard input, where it is a device that fails.
  const int fd = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  tool::TStandardInputBuffer memory(fd);
  std::istream fromMemory(&memory);
  const TRun device = RunDbReading({"put", file, "/big.bin", "-"}, fromMemory);
  close(fd);
  EXPECT_EQ(device.status, 1);
  EXPECT_EQ(device.err, "Cannot read standard input: Input/output error.\n");

  // The program itself, with standard input a folder (reading it fails).
  const std::string shell = "'" NORVANE_DB_PROGRAM "' put '" + file + "' /big.bin < '" +
                            dir.Path() + "' 2> '" + (dir / "err.txt") + "'";
  const int status = std::system(shell.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(AsText(testing::ReadFileBytes(dir / "err.txt")),
            "Cannot read standard input: Is a directory.\n");

  EXPECT_EQ(Listing(), before) << "no new file, no temporary file left";
  const TRun got = RunDb({"get", file, "/big.bin"});
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(got.out == AsText(old)) << "the old file is byte for byte as it was";
  EXPECT_EQ(RunDb({"check", file}).status, 0);
}

// Every name along a new path is checked before the catalogue is opened:
// a refused path leaves its bytes as they were (no folder, no temporary
// file), and the message says which rule the path breaks.
TEST_F(ToolData, NewPathsBreakingARuleAreRefusedBeforeAnythingChanges) {
  const std::string src = dir / "src.bin";
  const std::string longName(256, 'n');
  struct Case {
    std::vector<std::string> args;  // after the command and FILE
    std::string command, message;
  };
  const std::string empty = "empty names are not allowed (two separators in a row).";
  const std::string dots = "\".\" and \"..\" cannot be names.";
  const Case kCases[] = {
      {{"/p//q.txt", src}, "put", "Invalid path \"/p//q.txt\": " + empty},
      {{"//x//y.txt", src}, "put", "Invalid path \"//x//y.txt\": " + empty},
      {{"/a//", src}, "put", "Invalid path \"/a//\": " + empty},
      {{"/../../etc/x.txt", src}, "put", "Invalid path \"/../../etc/x.txt\": " + dots},
      {{"/docs/./b", src}, "put", "Invalid path \"/docs/./b\": " + dots},
      {{"\\docs\\..\\b", src}, "put", "Invalid path \"/docs/../b\": " + dots},
      {{"/line\nbreak", src}, "put",
       "Invalid path \"/line?break\": names cannot hold control characters (here byte 0x0A)."},
      {{"/" + longName, src}, "put",
       "Invalid path \"/" + longName + "\": names are at most 255 bytes (this one has 256)."},
      {{"/"}, "put", "Invalid path \"/\": it names no file or folder."},
      {{"/.."}, "mkdir", "Invalid path \"/..\": " + dots},
      {{"/new//deep"}, "mkdir", "Invalid path \"/new//deep\": " + empty},
      {{"/a\tb"}, "mkdir",
       "Invalid path \"/a?b\": names cannot hold control characters (here byte 0x09)."},
      {{"/ok/" + longName + "/x"}, "mkdir",
       "Invalid path \"/ok/" + longName + "/x\": names are at most 255 bytes (this one has 256)."},
      {{"/top.txt", "/docs//b"}, "mv", "Invalid path \"/docs//b\": " + empty},
      {{"/top.txt", "/del\x7F"}, "mv",
       "Invalid path \"/del?\": names cannot hold control characters (here byte 0x7F)."},
      {{"/top.txt", "/docs/.."}, "mv", "Invalid path \"/docs/..\": " + dots},
  };
  const std::vector<uint8_t> image = testing::ReadFileBytes(file);
  for (const Case& c : kCases) {
    std::vector<std::string> args{c.command, file};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRun run = RunDb(args, "stdin bytes");
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_EQ(run.err, c.message + "\n");
    EXPECT_TRUE(testing::ReadFileBytes(file) == image) << c.message;
  }
  // The limits themselves are allowed.
  const std::string longest(255, 'n');
  EXPECT_EQ(RunDb({"put", file, "/" + longest, src}).status, 0);
  EXPECT_EQ(RunDb({"mkdir", file, "/trailing/"}).status, 0);
  EXPECT_EQ(RunDb({"mv", file, "/top.txt", "relative.txt"}).status, 0);
  EXPECT_EQ(RunDb({"put", file, "/\xD0\xAF.txt", src}).status, 0);  // Я: no control byte
  EXPECT_EQ(Listing(),
            "/docs/\n/docs/a.txt\t4\n/empty/\n/empty/inner/\n/" + longest +
                "\t4\n/relative.txt\t5\n/trailing/\n/\xD0\xAF.txt\t4\n");
}

// A put that fails on a full disk gives back the space the catalogue grew
// into, and the catalogue checks clean; the disk-full code comes with plain
// words.
TEST_F(ToolData, PutOnAFullDiskLeavesTheCatalogueItsOldSize) {
  const int64_t before = static_cast<int64_t>(fs::file_size(file));
  testing::WriteFileBytes(dir / "large.bin", Pattern(8 << 20, 3));
  const TRun run = RunProgramWithFileLimit(static_cast<rlim_t>(before) + (3 << 20),
                                           {"put", file, "/large.bin", dir / "large.bin"},
                                           dir / "err.txt");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err,
            "the disk is full (or the file is larger than a catalogue can hold)\n"
            "Cannot write \"/large.bin\": error -17.\n");
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(file)), before);
  const TRun check = RunDb({"check", file});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(RunDb({"ls", file}).out,
            "/docs/\n/docs/a.txt\t4\n/empty/\n/empty/inner/\n/top.txt\t5\n");
}

// get writes DEST under a fresh name of its own: files that happen to be
// named like a partial copy are never opened, cut or removed.
TEST_F(ToolData, GetLeavesUnrelatedFilesBesideDestAlone) {
  testing::WriteFileBytes(dir / "out.bin.part", {'k', 'e', 'e', 'p'});
  testing::WriteFileBytes(dir / ".norvane-get-0", {'m', 'i', 'n', 'e'});
  const std::set<std::string> before = FolderNames(dir.Path());
  const TRun got = RunDb({"get", file, "/docs/a.txt", dir / "out.bin"});
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(testing::ReadFileBytes(dir / "out.bin") == std::vector<uint8_t>({0, 1, 2, 255}));
  EXPECT_TRUE(testing::ReadFileBytes(dir / "out.bin.part") ==
              std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(testing::ReadFileBytes(dir / ".norvane-get-0") ==
              std::vector<uint8_t>({'m', 'i', 'n', 'e'}));
  std::set<std::string> after = before;
  after.insert("out.bin");
  EXPECT_EQ(FolderNames(dir.Path()), after) << "no temporary file is left";
}

// A damaged page stops get with plain words before the engine's code, and
// leaves neither DEST nor a temporary file.
TEST_F(ToolData, DamagedPageIsExplainedAndLeavesNothingBehind) {
  const std::string marked(20000, 'Q');
  ASSERT_EQ(RunDb({"put", file, "/q.bin"}, marked).status, 0);
  std::vector<uint8_t> image = testing::ReadFileBytes(file);
  const std::string text = AsText(image);
  const size_t at = text.find(std::string(64, 'Q'));
  ASSERT_NE(at, std::string::npos);
  image[at + 10] ^= 0x01;
  testing::WriteFileBytes(file, image);
  const std::set<std::string> before = FolderNames(dir.Path());
  const TRun got = RunDb({"get", file, "/q.bin", dir / "q.out"});
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err,
            "a page of the catalogue could not be read: it is damaged (see check and recover)\n"
            "Cannot read \"/q.bin\": error -11.\n");
  EXPECT_EQ(FolderNames(dir.Path()), before);
}

// "-" stands for standard input in put and standard output in get; the
// program's standard input gives every byte up to its end.
TEST_F(ToolData, DashIsStandardInputAndOutput) {
  const std::string bytes = AsText(Pattern(200'000, 9));
  testing::WriteFileBytes(dir / "in.bin", Pattern(200'000, 9));
  const int fd = open((dir / "in.bin").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  tool::TStandardInputBuffer input(fd);
  std::istream in(&input);
  const TRun put = RunDbReading({"put", file, "/dash.bin", "-"}, in);
  close(fd);
  ASSERT_EQ(put.status, 0) << put.err;
  const TRun got = RunDb({"get", file, "/dash.bin", "-"});
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(got.out == bytes);
  EXPECT_FALSE(FileExists("-"));
}

}  // namespace
}  // namespace norvane

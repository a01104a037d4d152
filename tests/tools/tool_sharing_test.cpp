// The tool beside other programs on one catalogue: readers share it and keep
// writers out, writers hold it alone, a busy file is waited for (with an
// injected clock and pause) and then refused; the temporary files of a
// killed put; and a writer and readers run as programs at the same time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "engine/container/single_file_system.h"
#include "engine/platform/tick_counter.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/busy_wait.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/temporary_files.h"

extern char** environ;

namespace norvane {
namespace {

std::string InUse(const std::string& file) {
  return file + " is in use by another program; try again later\nThe file \"" + file +
         "\" is in use by another process (sharing violation).\n";
}

// Another program's hold on a catalogue, as each kind of opener takes it.
enum class THolder { ToolWriter, EngineWriter, ToolReader };

// Keeps `file` held the way `holder` holds it until reset.
struct THold {
  std::unique_ptr<TESingleFileSystem> engine;
  tool::TOpenCatalogue reader;
  THold(const std::string& file, THolder holder) {
    if (holder == THolder::ToolReader) {
      reader = tool::OpenContainer(file, tool::TOpenFor::Reading, {});
    } else {
      // The tool's writers hold the file alone; the engine's ordinary
      // writing open (the program's own) lets readers in, and only the
      // tool's readers keep away from it.
      const uint16_t mode =
          holder == THolder::ToolWriter ? kModeReadWriteExclusive : kModeReadWriteDenyWrite;
      engine = std::make_unique<TESingleFileSystem>(file, 16, 4, 0, "", "", "", false, mode);
    }
  }
  void Release() {
    engine.reset();
    reader.reset();
  }
};

// Every command of the tool that opens an existing catalogue, and whether it
// only reads it. `{new}` stands for a path that does not exist yet.
struct TCommandCase {
  std::vector<std::string> args;  // after FILE
  const char* command;
  bool reads;
};
const TCommandCase kCommands[] = {
    {{}, "ls", true},
    {{"/top.txt"}, "get", true},
    {{}, "info", true},
    {{}, "check", true},
    {{"{new}"}, "recover", true},
    {{"/n.txt"}, "put", false},
    {{"/top.txt"}, "rm", false},
    {{"/docs/a.txt", "/moved.txt"}, "mv", false},
    {{"/made"}, "mkdir", false},
    {{}, "compact", false},
};

std::vector<std::string> CommandLine(const TCommandCase& c, const std::string& file,
                                     const std::string& fresh) {
  std::vector<std::string> args = {c.command, file};
  for (const std::string& arg : c.args) args.push_back(arg == "{new}" ? fresh : arg);
  return args;
}

class ToolSharing : public NorvaneDbFiles {};

TEST_F(ToolSharing, EachCommandSharesOrIsRefusedByWhatHoldsTheFile) {
  struct Case {
    THolder holder;
    const char* what;
    bool readersShare;  // writers never share
  };
  const Case kHolders[] = {{THolder::ToolWriter, "a tool writer", false},
                           {THolder::EngineWriter, "the engine writing", false},
                           {THolder::ToolReader, "a tool reader", true}};
  int fresh = 0;
  for (const Case& holder : kHolders) {
    THold hold(file, holder.holder);
    for (const TCommandCase& c : kCommands) {
      std::vector<std::string> args = CommandLine(c, file, dir / ("new" + std::to_string(++fresh)));
      args.insert(args.end(), {"--wait", "0"});
      const TRun run = RunDb(args, "new bytes");
      const bool shares = c.reads && holder.readersShare;
      EXPECT_EQ(run.status, shares ? 0 : 1) << c.command << " beside " << holder.what << ": "
                                            << run.err;
      if (!shares) {
        EXPECT_EQ(run.err, InUse(file)) << c.command << " beside " << holder.what;
      }
    }
  }
  // Nothing the refused writers would have done happened.
  EXPECT_EQ(SortedLines(RunDb({"ls", file}).out),
            SortedLines("/docs/\n/docs/a.txt\t4\n/empty/\n/empty/inner/\n/top.txt\t5\n"));
}

TEST_F(ToolSharing, TheProgramIsRefusedWhileThisProcessHoldsTheFile) {
  for (const THolder holder : {THolder::ToolWriter, THolder::ToolReader}) {
    THold hold(file, holder);
    for (const TCommandCase& c : kCommands) {
      if (c.reads && holder == THolder::ToolReader) continue;
      std::vector<std::string> args = CommandLine(c, file, dir / "fresh.adb");
      args.insert(args.end(), {"--wait", "0"});
      const TRun run = RunProgramUnder("C.UTF-8", args);
      EXPECT_EQ(run.status, 1) << c.command << ": " << run.out;
      EXPECT_EQ(run.out, InUse(file)) << c.command;
    }
  }
}

// A clock that stands still but for the pauses of the waiting, which move it
// on by what they were asked to pause; each pause may run a step of the test.
class TPausedClock {
 public:
  explicit TPausedClock(std::function<void(int pauses)> onPause = {}) : onPause_(std::move(onPause)) {
    SetTickSource([this] { return now_; });
    tool::SetBusyPause([this](uint32_t ms) {
      now_ += ms;
      paused_ += ms;
      if (onPause_) onPause_(++pauses_);
    });
  }
  ~TPausedClock() {
    tool::SetBusyPause({});
    SetTickSource({});
  }
  uint32_t Paused() const { return paused_; }

 private:
  std::function<void(int)> onPause_;
  uint32_t now_ = 1000;
  uint32_t paused_ = 0;
  int pauses_ = 0;
};

TEST_F(ToolSharing, ABusyFileIsWaitedForAsLongAsWaitSaysThenRefused) {
  struct Case {
    std::vector<std::string> wait;
    uint32_t pausedMs;
  };
  const Case kWaits[] = {{{}, 5000}, {{"--wait", "0"}, 0}, {{"--wait=2"}, 2000}, {{"--wait", "1"}, 1000}};
  THold hold(file, THolder::ToolWriter);
  for (const char* command : {"ls", "rm", "check"}) {
    for (const Case& c : kWaits) {
      TPausedClock clock;
      std::vector<std::string> args = {command, file};
      if (std::string(command) == "rm") args.push_back("/top.txt");
      args.insert(args.end(), c.wait.begin(), c.wait.end());
      const TRun run = RunDb(args);
      EXPECT_EQ(run.status, 1) << command;
      EXPECT_EQ(run.err, InUse(file)) << command;
      EXPECT_EQ(clock.Paused(), c.pausedMs) << command << " " << ::testing::PrintToString(c.wait);
    }
  }
}

TEST_F(ToolSharing, ACommandGoesOnOnceTheHolderLetsGo) {
  for (const TCommandCase& c : kCommands) {
    THold hold(file, c.reads ? THolder::ToolWriter : THolder::ToolReader);
    TPausedClock clock([&](int pauses) {
      if (pauses == 3) hold.Release();
    });
    const TRun run = RunDb(CommandLine(c, file, dir / (std::string(c.command) + ".adb")), "new");
    EXPECT_EQ(run.status, 0) << c.command << ": " << run.err;
    EXPECT_EQ(clock.Paused(), 60u) << c.command;  // three pauses of 20 ms
  }
}

TEST_F(ToolSharing, AWaitThatIsNoWholeNumberOfSecondsIsAUsageError) {
  for (const char* wait : {"-1", "1.5", "soon", "", "86401", "999999999999"}) {
    const TRun run = RunDb({"ls", file, "--wait", wait});
    EXPECT_EQ(run.status, 2) << wait;
    EXPECT_NE(run.err.find("--wait takes a whole number of seconds"), std::string::npos) << run.err;
  }
  EXPECT_EQ(RunDb({"ls", file, "--wait", "86400"}).status, 0);
}

// A compaction closes the old file, gives the new one the name and opens it
// again: a reader that comes in between keeps writers out, and the
// container then opens again read-only beside it instead of failing.
TEST_F(ToolSharing, ACompactionEndsOpenBesideAReaderThatCameInAtTheSwap) {
  std::unique_ptr<TSystemFile> reader;
  {
    TESingleFileSystem container(file, 16, 4, 0, "", "", "", false, kModeReadWriteExclusive);
    container.OnRepairStep = [&](const char* step) {
      if (std::string(step) == "backup settled") reader = tool::HoldForReading(file, {});
    };
    std::string log;
    ASSERT_TRUE(container.RepairFile(log, false, "", "", "", false)) << log;
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(container.ReadOnly());
    EXPECT_EQ(container.FileSize("\\top.txt"), 5);
  }
  EXPECT_EQ(RunDb({"get", file, "/top.txt"}).out, "hello");
  reader.reset();
  EXPECT_EQ(RunDb({"check", file}).out, "ok\n");
}

// Puts left behind by killed puts: one in a folder, one at the root, and a
// user's file whose name only looks like one.
class ToolStalePutFiles : public NorvaneDbFiles {
 protected:
  const std::vector<std::string> kStale = {"\\docs\\.norvane-put-0", "\\.norvane-put-12"};
  const std::string kLookalike = "\\.norvane-put-notes";

  void SetUp() override {
    NorvaneDbFiles::SetUp();
    TESingleFileSystem container(file, 16, 4, 0, "", "", "", false, kModeReadWriteExclusive);
    const std::vector<char> bytes(100000, 'x');
    for (const std::string& path : {kStale[0], kStale[1], kLookalike}) {
      const int32_t handle = container.OpenFile(path, kModeCreate);
      ASSERT_GE(handle, 0) << path;
      ASSERT_EQ(container.FileWrite(handle, bytes.data(), 100000), 100000);
      container.CloseFile(handle);
    }
    container.Flush();
  }

  // Which of the stale files and the lookalike are still in the catalogue.
  std::vector<bool> Present() {
    TESingleFileSystem container(file, 16, 4, 0, "", "", "", false, kModeReadOnlyDenyNone);
    return {container.FileExists(kStale[0]), container.FileExists(kStale[1]),
            container.FileExists(kLookalike)};
  }
};

TEST_F(ToolStalePutFiles, ReadersLeaveThemAndWritersRemoveThem) {
  for (const TCommandCase& c : kCommands) {
    SCOPED_TRACE(c.command);
    std::filesystem::remove(file);
    SetUp();
    const TRun run = RunDb(CommandLine(c, file, dir / (std::string(c.command) + ".adb")), "new");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<bool> kept = {c.reads, c.reads, true};
    EXPECT_EQ(Present(), kept);
  }
}

TEST_F(ToolStalePutFiles, LsNeverListsThemAndCheckNotesThemAsNoDamage) {
  const TRun ls = RunDb({"ls", file});
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(SortedLines(ls.out),
            SortedLines("/.norvane-put-notes\t100000\n/docs/\n/docs/a.txt\t4\n/empty/\n"
                        "/empty/inner/\n/top.txt\t5\n"));
  const TRun check = RunDb({"check", file});
  EXPECT_EQ(check.status, 0) << check.out;
  const std::string kNote = " (left by a put that did not finish; the next command that writes "
                            "removes it)\n";
  EXPECT_EQ(check.out, "note: stale temporary file /docs/.norvane-put-0" + kNote +
                           "note: stale temporary file /.norvane-put-12" + kNote + "ok\n");
}

TEST(PutTemporaryNames, OnlyThePrefixAndDigitsAreTheTools) {
  const std::pair<const char*, bool> kNames[] = {
      {".norvane-put-0", true},      {".norvane-put-4711", true}, {".norvane-put-", false},
      {".norvane-put-1a", false},    {".norvane-put-notes", false}, {"norvane-put-0", false},
      {"x.norvane-put-0", false},    {".NORVANE-PUT-0", false}};
  for (const auto& [name, tools] : kNames) EXPECT_EQ(tool::IsPutTemporaryName(name), tools) << name;
}

// ---------------------------------------------------------------------------
// A writer and readers as programs at the same time.

struct TChildRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program with `args`: standard output through a pipe, standard
// error into `errFile`, standard input empty.
TChildRun RunChild(const std::vector<std::string>& args, const std::string& errFile) {
  TChildRun result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return result;
  std::vector<std::string> argv = {NORVANE_DB_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned == 0) {
    char chunk[65536];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) result.out.append(chunk, n);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile, std::ios::binary);
    result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  }
  close(fds[0]);
  return result;
}

std::string PatternBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

int StressSeconds() {
  const char* text = std::getenv("NORVANE_STRESS_SECONDS");
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 10;
}

// What every run saw, kept by the threads together.
struct TStressLog {
  std::mutex lock;
  std::vector<std::string> faults;
  std::map<std::string, int> runs;
  std::map<std::string, int> busy;
  void Run(const std::string& command, bool wasBusy) {
    std::lock_guard<std::mutex> guard(lock);
    ++runs[command];
    if (wasBusy) ++busy[command];
  }
  void Fault(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    if (faults.size() < 20) faults.push_back(what);
  }
};

// The writer replaces /fixed.bin by one of two versions and makes, moves and
// removes a file in /churn/ (every fifth round compacting the catalogue),
// waiting for the readers as long as need be.
// The readers refuse to wait (a busy file is counted and tried again) and
// must never see anything but a sound catalogue: ls only the entries the
// writer's steps can leave, get /fixed.bin whole in one of its versions,
// check "ok".
TEST(ToolSharingStress, ReadersNeverSeeAWriterHalfway) {
  testing::TTempFolder dir;
  const std::string file = dir / "c.adb";
  const std::string versions[2] = {PatternBytes(200000, 1), PatternBytes(333333, 2)};
  for (int v = 0; v < 2; ++v)
    std::ofstream(dir / ("v" + std::to_string(v)), std::ios::binary) << versions[v];
  std::ofstream(dir / "small", std::ios::binary) << "churning";
  ASSERT_EQ(RunDb({"create", file}).status, 0);
  ASSERT_EQ(RunDb({"put", file, "/fixed.bin", dir / "v0"}).status, 0);
  ASSERT_EQ(RunDb({"mkdir", file, "/churn"}).status, 0);
  const std::set<std::string> kListable = {"/churn/", "/churn/x.txt\t8", "/churn/y.txt\t8",
                                           "/fixed.bin\t200000", "/fixed.bin\t333333"};

  TStressLog log;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
  std::atomic<int> longestWriteMs{0};
  std::thread writer([&] {
    const std::string err = dir / "writer.err";
    for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
      std::vector<std::vector<std::string>> steps = {
          {"put", file, "/fixed.bin", dir / ("v" + std::to_string((i + 1) % 2))},
          {"put", file, "/churn/x.txt", dir / "small"},
          {"mv", file, "/churn/x.txt", "/churn/y.txt"},
          {"rm", file, "/churn/y.txt"}};
      if (i % 5 == 4) steps.push_back({"compact", file});
      for (std::vector<std::string> step : steps) {
        const std::string what = step[0] + (step.size() > 2 ? " " + step[2] : "");
        step.insert(step.end(), {"--wait", "120"});
        const auto start = std::chrono::steady_clock::now();
        const TChildRun run = RunChild(step, err);
        const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
        longestWriteMs = std::max(longestWriteMs.load(), ms);
        log.Run(step[0], false);
        if (run.status != 0) log.Fault(what + " failed: " + run.err);
      }
    }
  });
  auto reader = [&](int n) {
    const std::string err = dir / ("reader" + std::to_string(n) + ".err");
    for (int i = n; std::chrono::steady_clock::now() < deadline; ++i) {
      const char* command = i % 3 == 0 ? "ls" : i % 3 == 1 ? "get" : "check";
      std::vector<std::string> args = {command, file, "--wait", "0"};
      if (i % 3 == 1) args.insert(args.begin() + 2, "/fixed.bin");
      const TChildRun run = RunChild(args, err);
      const bool busy = run.status == 1 && run.err == InUse(file);
      log.Run(command, busy);
      if (busy) continue;
      if (run.status != 0 || !run.err.empty()) {
        log.Fault(std::string(command) + " failed (" + std::to_string(run.status) + "): " + run.err +
                  run.out.substr(0, 2000));
      } else if (i % 3 == 0) {
        const std::vector<std::string> lines = LinesOf(run.out);
        for (const std::string& line : lines)
          if (kListable.count(line) == 0) log.Fault("ls showed " + line);
        if (std::none_of(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.rfind("/fixed.bin\t", 0) == 0; }))
          log.Fault("ls did not show /fixed.bin: " + run.out);
      } else if (i % 3 == 1) {
        if (run.out != versions[0] && run.out != versions[1])
          log.Fault("get gave " + std::to_string(run.out.size()) + " bytes of neither version");
      } else if (run.out != "ok\n") {
        log.Fault("check said " + run.out);
      }
    }
  };
  std::vector<std::thread> readers;
  for (int n = 0; n < 3; ++n) readers.emplace_back(reader, n);
  writer.join();
  for (std::thread& thread : readers) thread.join();

  for (const std::string& fault : log.faults) ADD_FAILURE() << fault;
  const TRun check = RunDb({"check", file});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(check.out, "ok\n");
  {
    TESingleFileSystem container(file, 16, 4, 0, "", "", "", false, kModeReadOnlyDenyNone);
    EXPECT_EQ(tool::FindPutTemporaryFiles(container), std::vector<std::string>{});
  }
  int total = 0;
  std::ostringstream figures;
  for (const auto& [command, count] : log.runs) {
    total += count;
    figures << " " << command << " " << count << " (busy " << log.busy[command] << ")";
  }
  std::cout << "stress over " << StressSeconds() << " s: " << total << " commands:" << figures.str()
            << "; longest writer command " << longestWriteMs << " ms\n";
  EXPECT_GT(log.runs["put"], 0);
  EXPECT_GT(log.runs["get"] - log.busy["get"], 0);
}

}  // namespace
}  // namespace norvane

// Repair and compaction: what a rebuilt container keeps and drops, cancel
// and refusal paths, backups, multi-part containers, and a process killed at
// every point of a compaction.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>

#include "engine/platform/file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/container/faulty_part.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::ContainerTest;
using RepairTest = ContainerTest;

constexpr int64_t kPayload = 4064;

bool Repair(TESingleFileSystem& fs, std::string& log) {
  return fs.RepairFile(log, false, "", "", "", false);
}

TEST_F(RepairTest, CompactsToThePagesOfTheRemainingFiles) {
  std::mt19937 random(1000);
  std::map<std::string, std::vector<uint8_t>> kept;
  ASSERT_TRUE(fs->ForceDirectories("/a/b"));
  for (int i = 0; i < 1000; ++i) {
    const std::string path = (i % 3 == 0 ? "/a/b/f" : "/f") + std::to_string(i);
    auto bytes = Bytes(random() % 20000, static_cast<uint32_t>(i));
    ASSERT_TRUE(Put(path, bytes));
    if (i % 10 == 0) kept[path] = std::move(bytes);
  }
  for (int i = 0; i < 1000; ++i) {
    const std::string path = (i % 3 == 0 ? "/a/b/f" : "/f") + std::to_string(i);
    if (i % 10 != 0) {
      ASSERT_TRUE(fs->DeleteFile(path));
    }
  }
  const int32_t before = fs->PageFile().PageCount();
  std::string log;
  ASSERT_TRUE(Repair(*fs, log)) << log;
  EXPECT_EQ(log, "");
  EXPECT_FALSE(FileExists(name + "0"));
  EXPECT_FALSE(FileExists(name + "_new"));
  int64_t needed = 1 + 3;  // page 0, the first extent's PFS, GAM and SGAM pages
  for (const auto& [path, bytes] : kept) {
    const int64_t data = (static_cast<int64_t>(bytes.size()) + kPayload - 1) / kPayload;
    needed += data + (data + 1015) / 1016;
  }
  needed += (fs->Directory().Count() + 6) / 7;  // directory pages
  EXPECT_LE(fs->PageFile().PageCount(), needed + 16);
  EXPECT_LT(fs->PageFile().PageCount(), before);
  EXPECT_EQ(fs->Directory().Count(), 102);  // no deleted records: 100 files and 2 folders
  Reopen();
  for (const auto& [path, bytes] : kept) ASSERT_EQ(Get(path), bytes) << path;
}

TEST_F(RepairTest, KeepsExactPagesGrownFilesAndRecordTimes) {
  ASSERT_TRUE(Put("/exact", Bytes(kPayload, 1)));
  ASSERT_TRUE(Put("/two", Bytes(2 * kPayload, 2)));
  const int32_t handle = fs->OpenFile("/grown", kModeCreate);
  ASSERT_EQ(fs->FileSetSize(handle, 3 * kPayload + 5), 3 * kPayload + 5);
  fs->CloseFile(handle);
  const TFileRec before = fs->Directory().ReadItem(fs->Directory().FindPath("/exact"));
  std::string log;
  ASSERT_TRUE(Repair(*fs, log)) << log;
  Reopen();
  EXPECT_EQ(Get("/exact"), Bytes(kPayload, 1));
  EXPECT_EQ(Get("/two"), Bytes(2 * kPayload, 2));
  EXPECT_EQ(Get("/grown"), std::vector<uint8_t>(3 * kPayload + 5, 0));
  const TFileRec after = fs->Directory().ReadItem(fs->Directory().FindPath("/exact"));
  EXPECT_EQ(after.CreationTime, before.CreationTime);
  EXPECT_EQ(after.LastWriteTime, before.LastWriteTime);
}

TEST_F(RepairTest, CancelAtTheFirstProgressLeavesTheOldFileAlone) {
  ASSERT_TRUE(Put("/f", Bytes(10000, 3)));
  fs->Flush();
  const auto before = testing::ReadFileBytes(name);
  fs->OnProgress = [](TESingleFileSystem&, bool& cancel, double) { cancel = true; };
  std::string log;
  EXPECT_FALSE(Repair(*fs, log));
  EXPECT_EQ(log, "RepairFile cancelled. Original file restored.\r\n");
  EXPECT_FALSE(FileExists(name + "_new"));
  fs.reset();
  EXPECT_EQ(testing::ReadFileBytes(name), before);
}

TEST_F(RepairTest, ReadOnlyAndMemoryContainersAreNotRepaired) {
  ASSERT_TRUE(Put("/f", {1}));
  std::string log;
  Reopen(kModeReadOnlyDenyNone);
  EXPECT_FALSE(Repair(*fs, log));
  fs.reset();
  TESingleFileSystem memory(name, 16, 4, 0, "", "", "", true, kModeCreate);
  EXPECT_FALSE(Repair(memory, log));
}

// When pages cannot be read the old container stays as the backup, named in
// the log, under the first free number (what becomes of the pages:
// compact_damage_test.cpp).
TEST_F(RepairTest, DamageKeepsTheBackupUnderTheNextFreeNumber) {
  ASSERT_TRUE(Put("/good", Bytes(5000, 4)));
  ASSERT_TRUE(Put("/bad", Bytes(5000, 5)));
  const TFileRec bad = fs->Directory().ReadItem(fs->Directory().FindPath("/bad"));
  const int32_t page = fs->PageMaps().GetMaps(bad).DataPages[1];
  fs.reset();
  auto bytes = testing::ReadFileBytes(name);
  bytes[280 + static_cast<size_t>(page) * 4096 + 40] ^= 0xFF;
  testing::WriteFileBytes(name, bytes);
  testing::WriteFileBytes(name + "0", {1});  // a file already takes the first number
  Reopen();
  std::string log;
  ASSERT_TRUE(Repair(*fs, log));
  EXPECT_TRUE(fs->RepairLostData());
  EXPECT_NE(log.find("\"\\bad\""), std::string::npos) << log;
  EXPECT_NE(log.find("Backup kept as \"" + name + "1\""), std::string::npos) << log;
  EXPECT_EQ(testing::ReadFileBytes(name + "1"), bytes);
  EXPECT_EQ(Get("/good"), Bytes(5000, 4));
}

// A container in several parts is moved part by part.
TEST_F(RepairTest, RepairsAContainerInSeveralParts) {
  fs.reset();
  parts.MaxPartSize = kPartHeaderSize + 8 * 4096;
  SetUp();
  std::map<std::string, std::vector<uint8_t>> files;
  for (int i = 0; i < 6; ++i) {
    files["/p" + std::to_string(i)] = Bytes(static_cast<size_t>(9000 * (i + 1)), static_cast<uint32_t>(i));
    ASSERT_TRUE(Put("/p" + std::to_string(i), files["/p" + std::to_string(i)]));
  }
  ASSERT_TRUE(fs->DeleteFile("/p0"));
  files.erase("/p0");
  ASSERT_GT(fs->PageFile().Stream().PartCount(), 2u);
  std::string log;
  ASSERT_TRUE(Repair(*fs, log)) << log;
  EXPECT_FALSE(FileExists(name + "_new"));
  EXPECT_FALSE(FileExists(name + "0"));
  Reopen();
  for (const auto& [path, bytes] : files) ASSERT_EQ(Get(path), bytes) << path;
}

// A compaction killed at any point leaves a catalogue that opens under its
// own name with every file intact: the old one, or the new one complete.
class RepairKillTest : public ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    ASSERT_TRUE(fs->ForceDirectories("/dir"));
    for (int i = 0; i < 8; ++i) {
      const std::string path = (i % 2 ? "/dir/k" : "/k") + std::to_string(i);
      files_[path] = Bytes(static_cast<size_t>(3000 * i + 100), static_cast<uint32_t>(i));
      ASSERT_TRUE(Put(path, files_[path]));
    }
    ASSERT_TRUE(fs->DeleteFile("/k0"));
    files_.erase("/k0");
    fs.reset();
    pristine_ = testing::ReadFileBytes(name);
  }

  enum class TKillAt { Progress, Step, Write };

  // Repairs in a child process that ends dead at the n-th point of the kind.
  void RepairAndDie(TKillAt kind, int n) {
    testing::WriteFileBytes(name, pristine_);
    for (const std::string& leftover : {name + "0", name + "_new"}) DeleteFileByName(leftover);
    const pid_t child = fork();
    if (child == 0) {
      auto plan = std::make_shared<testing::TFaultPlan>();
      if (kind == TKillAt::Write) plan->ExitAtWrite = n;
      TESingleFileSystem victim(name, 16, 4, 0, "", "", "", false, kModeReadWriteDenyWrite,
                                TPartOptions{-1, testing::MakeFaultyFactory(plan)});
      int seen = 0;
      victim.OnProgress = [&](TESingleFileSystem&, bool&, double) {
        if (kind == TKillAt::Progress && seen++ == n) _exit(0);
      };
      victim.OnRepairStep = [&](const char*) {
        if (kind == TKillAt::Step && seen++ == n) _exit(0);
      };
      std::string log;
      victim.RepairFile(log, false, "", "", "", false);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }

  void ExpectIntact(const std::string& where) {
    Reopen();
    for (const auto& [path, bytes] : files_) ASSERT_EQ(Get(path), bytes) << path << " " << where;
    EXPECT_FALSE(fs->FileExists("/k0")) << where;
    fs.reset();
  }

  std::map<std::string, std::vector<uint8_t>> files_;
  std::vector<uint8_t> pristine_;
};

TEST_F(RepairKillTest, EveryPointLeavesACatalogueThatOpens) {
  for (int n = 0; n <= 9; ++n) {
    RepairAndDie(TKillAt::Progress, n);
    ExpectIntact("progress " + std::to_string(n));
  }
  for (int n = 0; n <= 4; ++n) {
    RepairAndDie(TKillAt::Step, n);
    ExpectIntact("step " + std::to_string(n));
  }
  // Every write of a whole compaction, counted on a run that is not killed.
  testing::WriteFileBytes(name, pristine_);
  auto plan = std::make_shared<testing::TFaultPlan>();
  {
    TESingleFileSystem counted(name, 16, 4, 0, "", "", "", false, kModeReadWriteDenyWrite,
                               TPartOptions{-1, testing::MakeFaultyFactory(plan)});
    std::string log;
    ASSERT_TRUE(counted.RepairFile(log, false, "", "", "", false)) << log;
  }
  ASSERT_GT(plan->Writes, 20);
  for (int n = 1; n <= plan->Writes; ++n) {
    RepairAndDie(TKillAt::Write, n);
    ExpectIntact("write " + std::to_string(n));
  }
}

}  // namespace
}  // namespace norvane

// Sharing between processes: a container that another process holds
// exclusively, or is writing, cannot be opened for writing here.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/common/engine_error.h"
#include "engine/container/single_file_system.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

// A child process that opens the container with `mode`, says so, and keeps
// it open until told to go.
class THolder {
 public:
  THolder(const std::string& name, uint16_t mode) {
    int ready[2], go[2];
    EXPECT_EQ(pipe(ready), 0);
    EXPECT_EQ(pipe(go), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(go[1]);
      char status = 'n';
      try {
        TESingleFileSystem container(name, 16, 4, 0, "", "", "", false, mode);
        status = 'y';
        (void)!write(ready[1], &status, 1);
        char byte;
        (void)!read(go[0], &byte, 1);
      } catch (...) {
        (void)!write(ready[1], &status, 1);
      }
      _exit(0);
    }
    close(ready[1]);
    close(go[0]);
    go_ = go[1];
    char status = 'n';
    EXPECT_EQ(read(ready[0], &status, 1), 1);
    close(ready[0]);
    holding_ = status == 'y';
  }
  ~THolder() {
    close(go_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  bool Holding() const { return holding_; }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  bool holding_ = false;
};

bool Opens(const std::string& name, uint16_t mode) {
  try {
    TESingleFileSystem container(name, 16, 4, 0, "", "", "", false, mode);
    return true;
  } catch (const EEngineError&) {
    return false;
  }
}

TEST(Sharing, AnotherProcessesHoldDecidesWhatOpensHere) {
  struct Case { uint16_t held; uint16_t here; bool opens; };
  const Case kCases[] = {
      {kModeCreate, kModeReadWriteDenyWrite, false},   // creating holds the file exclusively
      {kModeCreate, kModeReadOnlyDenyNone, false},
      {kModeReadWriteExclusive, kModeReadOnlyDenyNone, false},  // an exclusive writer
      {kModeReadWriteDenyWrite, kModeReadWriteDenyWrite, false}, // one writer at a time
      {kModeReadWriteDenyWrite, kModeReadOnlyDenyNone, true},
      {kModeReadOnlyDenyNone, kModeReadWriteDenyWrite, true},
      {kModeReadOnlyDenyNone, kModeReadOnlyDenyNone, true},
  };
  for (const Case& c : kCases) {
    testing::TTempFolder dir;
    const std::string name = dir / "s.adb";
    TESingleFileSystem(name, 16, 4, 0, "", "", "", false, kModeCreate);
    {
      THolder holder(name, c.held);
      ASSERT_TRUE(holder.Holding()) << std::hex << c.held;
      EXPECT_EQ(Opens(name, c.here), c.opens) << std::hex << c.held << " " << c.here;
    }
    EXPECT_TRUE(Opens(name, kModeReadWriteDenyWrite));  // free again once the holder is gone
  }
}

TEST(Sharing, CreatingOverAHeldContainerDeletesNothing) {
  testing::TTempFolder dir;
  const std::string name = dir / "held.adb";
  TESingleFileSystem(name, 16, 4, 0, "", "", "", false, kModeCreate);
  THolder holder(name, kModeReadWriteDenyWrite);
  ASSERT_TRUE(holder.Holding());
  EXPECT_FALSE(Opens(name, kModeCreate));
  EXPECT_TRUE(Opens(name, kModeReadOnlyDenyNone));
}

// A program waiting to write gets the new file, never the old one on its
// way to becoming the backup (what it wrote there would go with it): the
// old file stays held until the new one has the name.
TEST(Sharing, CompactionHoldsTheOldFileUntilTheNewOneHasItsName) {
  testing::TTempFolder dir;
  const std::string name = dir / "c.adb";
  TESingleFileSystem(name, 16, 4, 0, "", "", "", false, kModeCreate);
  TESingleFileSystem fs(name, 16, 4, 0, "", "", "", false, kModeReadWriteExclusive);
  const int32_t handle = fs.OpenFile("/gone", kModeCreate);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(fs.FileWrite(handle, std::string(20000, 'g').data(), 20000), 20000);
  fs.CloseFile(handle);
  ASSERT_TRUE(fs.DeleteFile("/gone"));
  std::vector<std::string> opened;
  fs.OnRepairStep = [&](const char* step) {
    if (Opens(name, kModeReadWriteDenyWrite)) opened.push_back(step);
  };
  std::string log;
  ASSERT_TRUE(fs.RepairFile(log, false, "", "", "", false)) << log;
  // Nothing opens while the name still leads to the old file.
  EXPECT_EQ(opened, (std::vector<std::string>{"new container in place", "old container closed",
                                              "backup settled"}));
}

}  // namespace
}  // namespace norvane

// A container that is closed, by its owner or by a repair that could not open
// the file again: every call throws a clear error instead of reaching a layer
// that is gone, and the file on disk stays sound for a new container object.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/container/faulty_part.h"
#include "tests/support/file_bytes.h"

namespace norvane {
namespace {

using testing::Bytes;
using ClosedContainerTest = testing::ContainerTest;

constexpr char kClosed[] = "The container is closed.";
constexpr char kClosedAfterRepair[] = "The container is closed after a failed repair.";

struct TCall {
  const char* Operation;
  std::function<void(TESingleFileSystem& fs, int32_t handle)> Run;
};

// Every operation that reaches the layers, with the name its message gives.
const TCall kCalls[] = {
    {"OpenFile", [](TESingleFileSystem& fs, int32_t) { fs.OpenFile("/f0", 0); }},
    {"CreateFile", [](TESingleFileSystem& fs, int32_t) { fs.CreateFile("/new"); }},
    {"FileRead", [](TESingleFileSystem& fs, int32_t h) { uint8_t b; fs.FileRead(h, &b, 1); }},
    {"FileWrite", [](TESingleFileSystem& fs, int32_t h) { fs.FileWrite(h, "x", 1); }},
    {"FileSeek", [](TESingleFileSystem& fs, int32_t h) { fs.FileSeek(h, 0, 0); }},
    {"FileSetSize", [](TESingleFileSystem& fs, int32_t h) { fs.FileSetSize(h, 1); }},
    {"FileFlush", [](TESingleFileSystem& fs, int32_t h) { fs.FileFlush(h); }},
    {"DeleteFile", [](TESingleFileSystem& fs, int32_t) { fs.DeleteFile("/f1"); }},
    {"RenameFile", [](TESingleFileSystem& fs, int32_t) { fs.RenameFile("/f1", "/g"); }},
    {"FileExists", [](TESingleFileSystem& fs, int32_t) { fs.FileExists("/f1"); }},
    {"FileSize", [](TESingleFileSystem& fs, int32_t) { fs.FileSize("/f1"); }},
    {"DirectoryExists", [](TESingleFileSystem& fs, int32_t) { fs.DirectoryExists("/d"); }},
    {"CreateDir", [](TESingleFileSystem& fs, int32_t) { fs.CreateDir("/e"); }},
    {"ForceDirectories", [](TESingleFileSystem& fs, int32_t) { fs.ForceDirectories("/e/f"); }},
    {"RemoveDir", [](TESingleFileSystem& fs, int32_t) { fs.RemoveDir("/d"); }},
    {"FindFirst", [](TESingleFileSystem& fs, int32_t) { TSearchRec r; fs.FindFirst("\\*", 0x3F, r); }},
    {"FindNext", [](TESingleFileSystem& fs, int32_t) { TSearchRec r; fs.FindNext(r); }},
    {"Flush", [](TESingleFileSystem& fs, int32_t) { fs.Flush(); }},
    {"IsEncrypted", [](TESingleFileSystem& fs, int32_t) { fs.IsEncrypted(); }},
    {"PasswordOpens", [](TESingleFileSystem& fs, int32_t) { fs.PasswordOpens(""); }},
    {"ContainerSize", [](TESingleFileSystem& fs, int32_t) { fs.ContainerSize(); }},
    {"Directory", [](TESingleFileSystem& fs, int32_t) { fs.Directory(); }},
    {"FreeSpace", [](TESingleFileSystem& fs, int32_t) { fs.FreeSpace(); }},
    {"PageMaps", [](TESingleFileSystem& fs, int32_t) { fs.PageMaps(); }},
    {"PageFile", [](TESingleFileSystem& fs, int32_t) { fs.PageFile(); }},
    {"RepairFile",
     [](TESingleFileSystem& fs, int32_t) {
       std::string log;
       fs.RepairFile(log, false, "", "", "", false);
     }},
};

// `handle` was open when the container closed. Releasing calls (CloseFile,
// FindClose) stay quiet so that owners can always clean up.
void ExpectEveryCallRefused(TESingleFileSystem& fs, int32_t handle, const std::string& why) {
  for (const TCall& call : kCalls) {
    try {
      call.Run(fs, handle);
      ADD_FAILURE() << call.Operation << " did not throw";
    } catch (const EEngineError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("TESingleFileSystem.") + call.Operation + " - " + why);
    }
  }
  TSearchRec rec;
  EXPECT_NO_THROW(fs.FindClose(rec));
  EXPECT_NO_THROW(fs.CloseFile(handle));
}

std::map<std::string, std::vector<uint8_t>> SomeFiles(int count) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (int i = 0; i < count; ++i)
    files["/f" + std::to_string(i)] = Bytes(static_cast<size_t>(5000 * i + 7), static_cast<uint32_t>(i));
  return files;
}

TEST_F(ClosedContainerTest, CloseFlushesAndThenRefusesEveryCall) {
  auto files = SomeFiles(3);
  ASSERT_TRUE(fs->ForceDirectories("/d"));
  for (const auto& [path, bytes] : files) ASSERT_TRUE(Put(path, bytes));
  const int32_t handle = fs->OpenFile("/f1", 2);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(fs->FileWrite(handle, "late", 4), 4);
  std::copy_n("late", 4, files["/f1"].begin());
  fs->Close();
  fs->Close();  // closing again changes nothing
  ExpectEveryCallRefused(*fs, handle, kClosed);
  Reopen();
  for (const auto& [path, bytes] : files) EXPECT_EQ(Get(path), bytes) << path;
}

// A repair whose last step cannot open the container again, either the old
// file after the new one could not take its name or the new file in place.
TEST_F(ClosedContainerTest, RepairThatCannotReopenLeavesAClosedContainerAndASoundFile) {
  struct Case {
    const char* Step;       // the step after which the next open fails
    int64_t MaxPartSize;    // -1: one part
    bool NewCannotTakeName; // the new file vanishes, so the old one is restored
  };
  const Case kCases[] = {
      {"backup linked", -1, true},
      {"backup settled", -1, false},
      {"backup settled", kPartHeaderSize + 8 * 4096, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.Step) + " parts " + std::to_string(c.MaxPartSize));
    auto plan = std::make_shared<testing::TFaultPlan>();
    fs.reset();
    for (const std::string& old : {name, name + "0", name + "_new"}) DeleteFileByName(old);
    parts = TPartOptions{c.MaxPartSize, testing::MakeFaultyFactory(plan)};
    SetUp();
    auto files = SomeFiles(6);
    ASSERT_TRUE(fs->ForceDirectories("/d"));
    for (const auto& [path, bytes] : files) ASSERT_TRUE(Put(path, bytes));
    ASSERT_TRUE(fs->DeleteFile("/f0"));
    files.erase("/f0");
    fs->Flush();
    const auto before = testing::ReadFileBytes(name);
    const int32_t handle = fs->OpenFile("/f1", 2);
    fs->OnRepairStep = [&](const char* step) {
      if (std::string(step) != c.Step) return;
      if (c.NewCannotTakeName) DeleteFileByName(name + "_new");
      plan->FailOpenAt = plan->Opens + 1;
    };
    std::string log;
    EXPECT_FALSE(fs->RepairFile(log, false, "", "", "", false));
    EXPECT_NE(log.find("could not be opened again: injected open failure"), std::string::npos)
        << log;
    ExpectEveryCallRefused(*fs, handle, kClosedAfterRepair);
    fs.reset();
    EXPECT_EQ(plan->LiveParts, 0);
    if (c.NewCannotTakeName) {
      EXPECT_EQ(testing::ReadFileBytes(name), before);
    }
    EXPECT_FALSE(FileExists(name + "_new"));
    EXPECT_FALSE(FileExists(name + "0"));
    parts = TPartOptions{c.MaxPartSize, {}};
    Reopen();
    for (const auto& [path, bytes] : files) EXPECT_EQ(Get(path), bytes) << path;
    EXPECT_FALSE(fs->FileExists("/f0"));
  }
}

}  // namespace
}  // namespace norvane

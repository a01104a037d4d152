// File stores and their registry: the four places a database's files live,
// the rules for opening a name twice, name lists, read-only fallback and the
// 2 GB limit of store positions; stores released or replaced while someone
// still holds them.
#include <gtest/gtest.h>

#include "engine/common/engine_error.h"
#include "engine/container/disk_plain_file_system.h"
#include "engine/container/esfs_plain_file_system.h"
#include "engine/container/memory_plain_file_system.h"
#include "engine/container/pfs_manager.h"
#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"
#include "tests/support/engine_text.h"
#include "tests/support/error_message.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::MessageOf;

std::string ReadAll(TAbstractFile& file) {
  std::string bytes(static_cast<size_t>(file.Size()), '\0');
  file.SeekFromStart(0);
  file.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

void WriteText(TAbstractPlainFileSystem& store, const std::string& name, const std::string& text) {
  TAbstractFile* file = store.OpenFile(name, true, false, false);
  file->WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
  store.CloseFile(file);
}

TEST(Stores, DiskStoreMatchesNamesWithoutCaseAndNeverReplacesOnRename) {
  testing::TTempFolder dir;
  TDiskPlainFileSystem store(dir.Path());
  WriteText(store, "T1.DAT", "one");
  WriteText(store, "t2.dat", "two");
  WriteText(store, "t1.idx", "index");
  TAbstractFile* file = store.OpenFile("t1.dat", false, false, false);  // the file "T1.DAT"
  EXPECT_EQ(ReadAll(*file), "one");
  EXPECT_EQ(MessageOf([&] { store.OpenFile("T1.dat", false, false, false); }),
            "TDiskPlainFileSystem.OpenFile - File \"" + dir.Path() + "T1.DAT\" is already open.");
  store.CloseFile(file);
  std::vector<std::string> names;
  store.GetFileNames(".dat", names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"T1", "t2"}));
  EXPECT_FALSE(store.RenameFile("t1.dat", "t2.dat"));
  EXPECT_EQ(testing::ReadFileBytes(dir / "t2.dat"), (std::vector<uint8_t>{'t', 'w', 'o'}));
  EXPECT_TRUE(store.RenameFile("t1.dat", "t3.dat"));
  EXPECT_TRUE(store.FileExists("T3.DAT"));
  EXPECT_TRUE(store.DeleteFile("T3.dat"));
  EXPECT_FALSE(store.FileExists("t3.dat"));
  EXPECT_EQ(MessageOf([&] { store.OpenFile("none.dat", false, false, false); }),
            "Cannot open file \"" + dir.Path() + "none.dat\"");
}

TEST(Stores, DiskStoreNamesAreEngineTextAndUtf8OnDisk) {
  testing::TTempFolder dir;
  TDiskPlainFileSystem store(dir.Path());
  WriteText(store, testing::W("Таблица.dat"), "rows");
  EXPECT_TRUE(FileExists(dir / testing::W("Таблица.dat")));
  const auto onDisk = EnumerateFolder(dir.Path(), "*");
  ASSERT_EQ(onDisk.size(), 1u);
  EXPECT_EQ(onDisk[0].Name, testing::W("Таблица.dat"));
  EXPECT_EQ(testing::ReadFileBytes(dir.Path() + "Таблица.dat").size(), 4u);  // the UTF-8 name
  TAbstractFile* file = store.OpenFile(testing::W("ТАБЛИЦА.DAT"), false, false, false);
  EXPECT_EQ(ReadAll(*file), "rows");
}

TEST(Stores, AFileThatCannotBeWrittenOpensReadOnly) {
  testing::TTempFolder dir;
  TDiskPlainFileSystem store(dir.Path());
  WriteText(store, "held.dat", "x");
  TSystemFile writer;  // another writer holds the file
  ASSERT_TRUE(writer.Open(dir / "held.dat", TFileAccess::ReadWrite, TFileShare::DenyNone, false));
  TAbstractFile* file = store.OpenFile("held.dat", false, false, false);
  EXPECT_TRUE(file->ReadOnly());
  EXPECT_EQ(ReadAll(*file), "x");
}

TEST(Stores, TemporaryStoreKeepsFilesUntilItGoes) {
  testing::TTempFolder dir;
  {
    TTemporaryPlainFileSystem store(dir.Path());
    TAbstractFile* file = store.OpenFile("tmp.dat", true, false, false);
    file->WriteBuffer("abc", 3);
    store.CloseFile(file);  // stays open
    EXPECT_EQ(store.OpenFile("tmp.dat", false, false, false), file);
    EXPECT_EQ(ReadAll(*file), "abc");
    EXPECT_EQ(store.OpenFile("tmp.dat", true, false, false)->Size(), 0);  // emptied
    EXPECT_TRUE(FileExists(dir / "tmp.dat"));
    store.OpenFile("gone.dat", true, false, false);
    EXPECT_TRUE(store.DeleteFile("gone.dat"));
    EXPECT_FALSE(FileExists(dir / "gone.dat"));
  }
  EXPECT_FALSE(FileExists(dir / "tmp.dat"));
}

TEST(Stores, MemoryStoreOnlyCreatesAndListsByExtension) {
  TMemoryPlainFileSystem store("mem");
  EXPECT_EQ(MessageOf([&] { store.OpenFile("never.dat", false, false, false); }),
            "TMemoryFile.Open - File cannot be open, only creation is available.");
  TAbstractFile* file = store.OpenFile("a.dat", true, false, false);
  file->WriteBuffer("data", 4);
  store.CloseFile(file);
  EXPECT_EQ(store.OpenFile("A.DAT", false, true, false), file);
  EXPECT_TRUE(file->ReadOnly());
  EXPECT_EQ(ReadAll(*file), "data");
  store.OpenFile("a.idx", true, false, false);
  store.OpenFile("b.DAT", true, false, false);
  std::vector<std::string> names;
  store.GetFileNames(".dat", names);
  EXPECT_EQ(names, (std::vector<std::string>{"a.dat", "b.DAT"}));
  EXPECT_FALSE(store.RenameFile("a.dat", "b.dat"));  // taken
  EXPECT_TRUE(store.RenameFile("a.dat", "c.dat"));
  EXPECT_TRUE(store.FileExists("c.dat"));
  EXPECT_TRUE(store.DeleteFile("c.dat"));
  EXPECT_FALSE(store.DeleteFile("c.dat"));
}

// A memory file against a string: writes at any place (past the end leaves
// zeros between), reads, and sizes cut and grown again, across the edges of
// the blocks it keeps its bytes in.
TEST(Stores, MemoryFileHoldsWhatWasWrittenWhereverItGoes) {
  TMemoryPlainFileSystem store("mem");
  TAbstractFile* file = store.OpenFile("m.dat", true, false, false);
  std::string model;
  uint32_t seed = 7;
  const auto below = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(step);
    const uint32_t what = below(10);
    if (what < 6) {
      const size_t at = below(static_cast<uint32_t>(model.size()) + 70000);
      std::string bytes(below(150000) + 1, '\0');
      for (char& c : bytes) c = static_cast<char>('a' + below(26));
      file->SeekFromStart(static_cast<int32_t>(at));
      file->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      if (model.size() < at + bytes.size()) model.resize(at + bytes.size(), '\0');
      model.replace(at, bytes.size(), bytes);
    } else {
      const size_t size = below(static_cast<uint32_t>(model.size()) * 2 + 1000);
      file->SetSize(static_cast<int32_t>(size));
      model.resize(size, '\0');
    }
    ASSERT_EQ(file->Size(), static_cast<int32_t>(model.size()));
    const size_t from = below(static_cast<uint32_t>(model.size()) + 1);
    const size_t asked = below(200000);
    std::string part(asked, '\0');
    file->SeekFromStart(static_cast<int32_t>(from));
    part.resize(static_cast<size_t>(file->Read(part.data(), static_cast<int32_t>(asked))));
    ASSERT_EQ(part, model.substr(from, asked));
  }
  EXPECT_EQ(ReadAll(*file), model);
}

TEST(Stores, ContainerStoreListsRootNamesOnce) {
  testing::TTempFolder dir;
  TESFSPlainFileSystem store(dir / "db.adb", true, false, false, smContainer, "");
  WriteText(store, "t1.dat", "1");
  WriteText(store, "t1.idx", "2");
  WriteText(store, "t2.dat", "3");
  ASSERT_TRUE(store.Container().CreateDir("\\folder.dat"));
  std::vector<std::string> names;
  store.GetFileNames(".dat", names);
  EXPECT_EQ(names, (std::vector<std::string>{"t1", "t2"}));
  TAbstractFile* file = store.OpenFile("t1.dat", false, false, true);
  EXPECT_EQ(MessageOf([&] { store.OpenFile("T1.DAT", false, false, false); }),
            "TESFSPlainFileSystem.OpenFile - File \"T1.DAT\" is already open.");
  EXPECT_EQ(ReadAll(*file), "1");
  store.CloseFile(file);
  EXPECT_TRUE(store.RenameFile("t2.dat", "t3.dat"));
  EXPECT_TRUE(store.DeleteFile("t3.dat"));
  EXPECT_FALSE(store.FileExists("t3.dat"));
  EXPECT_EQ(MessageOf([&] { store.OpenFile("missing.dat", false, false, false); }),
            "Cannot open file \"missing.dat\"");
}

// Positions are 32-bit: a write that would pass 2^31 - 1 fails instead of
// wrapping.
TEST(Stores, NothingGrowsPastTwoGigabytes) {
  TMemoryPlainFileSystem memory("m");
  TAbstractFile* file = memory.OpenFile("big.dat", true, false, false);
  ASSERT_EQ(file->Seek(INT32_MAX - 1, 0), INT32_MAX - 1);
  EXPECT_THROW(file->Write("ab", 2), EEngineError);
  EXPECT_EQ(file->Size(), 0);

  testing::TTempFolder dir;
  TDiskPlainFileSystem disk(dir.Path());
  TAbstractFile* onDisk = disk.OpenFile("big.dat", true, false, false);
  onDisk->Seek(INT32_MAX, 0);
  EXPECT_THROW(onDisk->Write("a", 1), EEngineError);
  EXPECT_THROW(onDisk->Seek(1, 1), EEngineError);
}

TEST(Registry, SharesOneStorePerNameAndRefusesWhatItCannotOpen) {
  testing::TTempFolder dir;
  TPFSManager& registry = TPFSManager::Instance();
  const std::string name = dir / "reg.adb";
  ASSERT_TRUE(registry.CreateContainer(name, "", false));
  EXPECT_TRUE(FileExists(name));
  bool readOnly = false;
  auto store = registry.GetPFSHandle(name, "", false, readOnly, smContainer);
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(readOnly);
  EXPECT_EQ(registry.GetPFSHandle(dir / "./reg.adb", "", false, readOnly, smContainer), store);
  // Another case is another file on Linux; this one does not exist.
  EXPECT_EQ(registry.GetPFSHandle(dir / "REG.ADB", "", false, readOnly, smContainer), nullptr);
  EXPECT_EQ(registry.GetPFSHandle(name, "", false, readOnly, 5), nullptr);
  EXPECT_EQ(registry.GetPFSHandle(dir / "missing.adb", "", false, readOnly, smContainer), nullptr);
  registry.ReleasePFS(name, false);

  // A container another process writes is opened read-only, and says so
  // again when asked a second time.
  TSystemFile writer;
  ASSERT_TRUE(writer.Open(name, TFileAccess::ReadWrite, TFileShare::DenyNone, false));
  readOnly = false;
  store = registry.GetPFSHandle(name, "", false, readOnly, smContainer);
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(readOnly);
  readOnly = false;
  EXPECT_EQ(registry.GetPFSHandle(name, "", false, readOnly, smContainer), store);
  EXPECT_TRUE(readOnly);
  registry.ReleasePFS(name, false);
}

// A store leaves the registry while a user holds it, by release or by a new
// container of the same name: the user keeps a valid store whose calls, and
// those of its open files, say the container is closed; what was written
// before is on disk, and the holder letting go later changes no byte.
TEST(Registry, AStoreReleasedWhileHeldStaysValidAndClosed) {
  struct Case {
    const char* How;
    bool Replaced;  // CreateContainer rather than ReleasePFS
  };
  const Case kCases[] = {{"released", false}, {"replaced", true}};
  auto closedIn = [](const std::string& operation) {
    return "TESingleFileSystem." + operation + " - The container is closed.";
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.How);
    testing::TTempFolder dir;
    TPFSManager& registry = TPFSManager::Instance();
    const std::string name = dir / "held.adb";
    ASSERT_TRUE(registry.CreateContainer(name, "", false));
    bool readOnly = false;
    auto held = registry.GetPFSHandle(name, "", false, readOnly, smContainer);
    ASSERT_NE(held, nullptr);
    TAbstractFile* file = held->OpenFile("t.dat", true, false, false);
    file->WriteBuffer("written", 7);
    const size_t storesBefore = registry.OpenStoreCount();

    if (c.Replaced) {
      ASSERT_TRUE(registry.CreateContainer(name, "", false));
    } else {
      registry.ReleasePFS(name, false);
    }
    EXPECT_EQ(registry.OpenStoreCount(), storesBefore - 1);
    EXPECT_EQ(held->Name(), name);
    EXPECT_EQ(MessageOf([&] { held->OpenFile("u.dat", true, false, false); }),
              closedIn("OpenFile"));
    EXPECT_EQ(MessageOf([&] { held->FileExists("t.dat"); }), closedIn("FileExists"));
    char byte = 0;
    EXPECT_EQ(MessageOf([&] { file->Read(&byte, 1); }), closedIn("FileRead"));
    EXPECT_EQ(MessageOf([&] { file->Write("x", 1); }), closedIn("FileSeek"));

    auto fresh = registry.GetPFSHandle(name, "", false, readOnly, smContainer);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, held);
    EXPECT_EQ(fresh->FileExists("t.dat"), !c.Replaced);
    if (!c.Replaced) {
      TAbstractFile* again = fresh->OpenFile("t.dat", false, true, false);
      EXPECT_EQ(ReadAll(*again), "written");
      fresh->CloseFile(again);
    }
    registry.ReleasePFS(name, false);
    const auto bytes = testing::ReadFileBytes(name);
    held->CloseFile(file);
    held.reset();
    EXPECT_EQ(testing::ReadFileBytes(name), bytes);
  }
}

}  // namespace
}  // namespace norvane

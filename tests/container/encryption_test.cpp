// Encrypted containers end to end: no plaintext on disk, the password probe
// and the key, the checks that catch a wrong container or file password the
// key's CRC lets through, files with their own password, pages without a
// key, and compaction under the same key.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>

#include "engine/common/engine_error.h"
#include "engine/container/single_file_system.h"
#include "engine/platform/file_system.h"
#include "engine/platform/tick_counter.h"
#include "tests/container/container_fixture.h"
#include "tests/support/error_message.h"
#include "tests/support/fast_clock.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::Bytes;
using testing::MessageOf;

const std::string kMarker = "NORVANE-PLAINTEXT-MARKER-";

std::vector<uint8_t> MarkedText(size_t copies) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < copies; ++i) bytes.insert(bytes.end(), kMarker.begin(), kMarker.end());
  return bytes;
}

bool ContainsMarker(const std::vector<uint8_t>& bytes) {
  return std::search(bytes.begin(), bytes.end(), kMarker.begin(), kMarker.end()) != bytes.end();
}

class EncryptedTest : public ::testing::Test {
 protected:
  std::unique_ptr<TESingleFileSystem> Open(const std::string& password, uint16_t mode = 0x22) {
    return std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", password, false, mode);
  }
  void Put(TESingleFileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes,
           const std::string& filePassword = "") {
    ASSERT_GE(fs.CreateFile(path, filePassword), 0);
    const int32_t handle = fs.OpenFile(path, 0x22, filePassword);
    ASSERT_GE(handle, 0);
    ASSERT_EQ(fs.FileWrite(handle, bytes.data(), static_cast<int64_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
    fs.CloseFile(handle);
  }
  std::vector<uint8_t> Get(TESingleFileSystem& fs, const std::string& path,
                           const std::string& filePassword = "") {
    const int32_t handle = fs.OpenFile(path, 0, filePassword);
    if (handle < 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(fs.FileSize(path)));
    fs.FileRead(handle, bytes.data(), static_cast<int64_t>(bytes.size()));
    fs.CloseFile(handle);
    return bytes;
  }

  testing::TFastClock clock;
  testing::TTempFolder dir;
  std::string name = dir / "secret.adb";
};

TEST_F(EncryptedTest, NoPlaintextOnDiskAndTheRightPasswordReadsItBack) {
  {
    TESingleFileSystem fs(name, 16, 4, 0, "answer", "question?", "right", false, kModeCreate);
    EXPECT_TRUE(fs.IsEncrypted());
    ASSERT_TRUE(fs.ForceDirectories("/" + kMarker + "folder"));
    Put(fs, "/" + kMarker + "folder/data", MarkedText(2000));
  }
  EXPECT_FALSE(ContainsMarker(testing::ReadFileBytes(name)));
  EXPECT_TRUE(IsEncryptedFile(name));
  EXPECT_TRUE(CheckPassword(name, "right"));
  EXPECT_FALSE(CheckPassword(name, "wrong"));
  auto fs = Open("right");
  EXPECT_EQ(Get(*fs, "/" + kMarker + "folder/data"), MarkedText(2000));
}

TEST_F(EncryptedTest, WrongOrMissingPasswordsAreRefusedAndChangeNothing) {
  { TESingleFileSystem fs(name, 16, 4, 0, "", "", "right", false, kModeCreate); Put(fs, "/f", {1, 2}); }
  const auto before = testing::ReadFileBytes(name);
  const std::string refused =
      "TESingleFileSystem.Create - invalid password specified, file name = \"" + name + "\"";
  for (const std::string password : {"", "wrong", "Right", "right "})
    EXPECT_EQ(MessageOf([&] { Open(password); }), refused) << password;
  EXPECT_EQ(testing::ReadFileBytes(name), before);
}

// The check is slow on purpose, so an open that made it twice would double
// the wait of every command. Counts the tick readings of an open, right and
// wrong password alike, against those of the one check the open needs.
TEST_F(EncryptedTest, AnOpenMakesTheSlowPasswordCheckOnce) {
  { TESingleFileSystem fs(name, 16, 4, 0, "", "", "right", false, kModeCreate); Put(fs, "/f", {1}); }
  uint32_t ticks = 0;
  int readings = 0;
  SetTickSource([&] {
    ++readings;
    return ticks += 300;
  });
  auto readingsOf = [&](const std::function<void()>& action) {
    readings = 0;
    action();
    return readings;
  };
  const int oneCheck = readingsOf([&] { CheckPassword(name, "right"); });
  EXPECT_GT(oneCheck, 0);
  for (const std::string password : {"right", "wrong"})
    EXPECT_EQ(readingsOf([&] {
                try {
                  Open(password);
                } catch (const EEngineError&) {
                }
              }),
              oneCheck)
        << password;
  SetTickSource({});
}

// About one wrong password in 65536 deciphers the key to the right CRC-16;
// the directory then reads as garbage, and the open must call it a wrong
// password, before anything is written under that key.
TEST_F(EncryptedTest, AWrongPasswordThatPassesTheKeyCheckIsStillRefused) {
  {
    TESingleFileSystem fs(name, 16, 4, 0, "", "", "right", false, kModeCreate);
    for (int i = 0; i < 5; ++i) Put(fs, "/file" + std::to_string(i), Bytes(100, i));
  }
  TPageFileManager probe(name, 16, 4, false, "", "", "", 0);
  std::string impostor;
  TSecret key;
  for (int i = 0; i < 1000000 && impostor.empty(); ++i) {
    const std::string guess = "guess" + std::to_string(i);
    if (CheckPassword(probe.Header().PasswordBlock(), guess, key)) impostor = guess;
  }
  ASSERT_FALSE(impostor.empty());
  const auto before = testing::ReadFileBytes(name);
  EXPECT_NE(MessageOf([&] { Open(impostor); }).find("invalid password specified"),
            std::string::npos);
  EXPECT_EQ(testing::ReadFileBytes(name), before);
}

// A file's key must decipher its last page to zeros beyond the file's size.
// Every shape a file can take keeps that true for the right password: none
// holds it back, whether there is anything to check or not.
TEST_F(EncryptedTest, EveryShapeOfFileOpensWithItsOwnPassword) {
  struct Shape { const char* path; int64_t written; int64_t sizeAfter; };
  const Shape kShapes[] = {
      {"/empty", 0, -1},           {"/one-byte", 1, -1},       {"/one-page", 4064, -1},
      {"/page-and-byte", 4065, -1}, {"/grown", 10, 9000},      {"/shrunk", 9000, 5000},
      {"/cut-to-page", 9000, 4064},
  };
  std::map<std::string, std::vector<uint8_t>> model;
  {
    TESingleFileSystem fs(name, 16, 4, 0, "", "", "", false, kModeCreate);
    for (const Shape& shape : kShapes) {
      std::vector<uint8_t> bytes = Bytes(static_cast<size_t>(shape.written), 3);
      Put(fs, shape.path, bytes, "own");
      if (shape.sizeAfter >= 0) {
        const int32_t handle = fs.OpenFile(shape.path, 0x22, "own");
        ASSERT_EQ(fs.FileSetSize(handle, shape.sizeAfter), shape.sizeAfter);
        fs.CloseFile(handle);
        bytes.resize(static_cast<size_t>(shape.sizeAfter), 0);
      }
      model[shape.path] = bytes;
    }
    // Written past the end: the gap reads as zeros.
    const int32_t handle = fs.OpenFile("/one-byte", 0x22, "own");
    fs.FileSeek(handle, 0, 6000);
    ASSERT_EQ(fs.FileWrite(handle, "z", 1), 1);
    fs.CloseFile(handle);
    model["/one-byte"].resize(6000, 0);
    model["/one-byte"].push_back('z');
  }
  auto fs = Open("");
  for (const auto& [path, bytes] : model) EXPECT_EQ(Get(*fs, path, "own"), bytes) << path;
}

// About one wrong file password in 65536 deciphers the file's key to the
// right CRC-16. Its key then deciphers the last page beyond the size to
// noise: the open is refused before it touches the record, so nothing is
// written, and the right password still opens the file.
TEST_F(EncryptedTest, AWrongFilePasswordThatPassesTheKeyCheckIsRefused) {
  struct Case { const char* path; size_t size; };
  const Case kCases[] = {{"/short", 100}, {"/long", 3 * 4064 + 7}};
  {
    TESingleFileSystem fs(name, 16, 4, 0, "", "", "", false, kModeCreate);
    for (const Case& c : kCases) Put(fs, c.path, Bytes(c.size, 5), "right");
  }
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    std::string impostor;
    {
      auto fs = Open("", 0);
      const TFileRec rec = fs->Directory().ReadItem(fs->Directory().FindPath(c.path));
      TSecret key;
      for (int i = 0; i < 1000000 && impostor.empty(); ++i) {
        const std::string guess = "guess" + std::to_string(i);
        if (CheckPassword(rec.PasswordBlock.data(), guess, key)) impostor = guess;
      }
    }
    ASSERT_FALSE(impostor.empty());
    const auto before = testing::ReadFileBytes(name);
    {
      auto fs = Open("");
      const int32_t handle = fs->OpenFile(c.path, 0x22, impostor);
      EXPECT_EQ(handle, -1);
      // What a caller given a handle does next: write under the wrong key.
      if (handle >= 0) fs->FileWrite(handle, "x", 1);
    }
    EXPECT_EQ(testing::ReadFileBytes(name), before);
    auto fs = Open("");
    EXPECT_EQ(Get(*fs, c.path, "right"), Bytes(c.size, 5));
  }
}

TEST_F(EncryptedTest, FilesWithTheirOwnPasswordAreEncipheredUnderTheirOwnKey) {
  const std::string plain = dir / "plain.adb";
  {
    TESingleFileSystem fs(plain, 16, 4, 0, "", "", "", false, kModeCreate);
    Put(fs, "/locked", MarkedText(500), "file-pw");
    Put(fs, "/open", {7, 7, 7});
    EXPECT_EQ(fs.OpenFile("/locked", 0, "nope"), -1);
    EXPECT_EQ(fs.OpenFile("/locked", 0), -1);
  }
  EXPECT_FALSE(ContainsMarker(testing::ReadFileBytes(plain)));
  TESingleFileSystem fs(plain, 16, 4, 0, "", "", "", false, 0x22);
  EXPECT_EQ(Get(fs, "/locked", "file-pw"), MarkedText(500));
  EXPECT_EQ(Get(fs, "/open"), (std::vector<uint8_t>{7, 7, 7}));
}

// A page of type 1 with no key is neither enciphered under the hash of
// nothing nor read as plaintext.
TEST_F(EncryptedTest, PagesWithoutAKeyFail) {
  TPageFileManager pages(dir / "nokey.adb", 16, 4, false, "", "", "", kModeCreate);
  ASSERT_TRUE(pages.ExtendFile(1));
  auto page = pages.NewPageBuffer();
  page->Rec.Header.EncryptionType = 1;
  EXPECT_FALSE(pages.WritePage(page->Rec, 1, "", -1));
  EXPECT_EQ(pages.LastError(), peEncipher);
  page->Rec.Header.EncryptionType = 1;
  ASSERT_TRUE(pages.WritePage(page->Rec, 1, "some key", -1));
  EXPECT_FALSE(pages.ReadPage(page->Rec, 1, false, "", -1));
  EXPECT_EQ(pages.LastError(), peDecipher);
  EXPECT_TRUE(pages.ReadPage(page->Rec, 1, false, "some key", -1));
}

// The caller's buffer keeps its plaintext: the page layer enciphers a copy.
TEST_F(EncryptedTest, WritingAPageLeavesTheCallersBufferAlone) {
  TPageFileManager pages(dir / "copy.adb", 16, 4, false, "", "", "pw", kModeCreate);
  ASSERT_TRUE(pages.ExtendFile(1));
  auto page = pages.NewPageBuffer();
  std::fill(page->Payload.begin(), page->Payload.end(), 0x5A);
  page->Rec.Header.EncryptionType = 1;
  ASSERT_TRUE(pages.WritePage(page->Rec, 1, "", -1));
  EXPECT_TRUE(std::all_of(page->Payload.begin(), page->Payload.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(EncryptedTest, CompactionKeepsEveryFileReadableUnderTheSamePassword) {
  {
    TESingleFileSystem fs(name, 16, 4, 0, "", "", "right", false, kModeCreate);
    for (int i = 0; i < 12; ++i) Put(fs, "/f" + std::to_string(i), Bytes(3000 * i + 17, i));
    Put(fs, "/marked", MarkedText(300));
    const int32_t handle = fs.OpenFile("/grown", kModeCreate);
    ASSERT_EQ(fs.FileSetSize(handle, 9000), 9000);
    fs.CloseFile(handle);
    for (int i = 0; i < 12; i += 2) ASSERT_TRUE(fs.DeleteFile("/f" + std::to_string(i)));
    std::string log;
    ASSERT_TRUE(fs.RepairFile(log, false, "", "", "", false)) << log;
  }
  EXPECT_FALSE(ContainsMarker(testing::ReadFileBytes(name)));
  auto fs = Open("right");
  for (int i = 1; i < 12; i += 2) EXPECT_EQ(Get(*fs, "/f" + std::to_string(i)), Bytes(3000 * i + 17, i));
  EXPECT_EQ(Get(*fs, "/marked"), MarkedText(300));
  EXPECT_EQ(Get(*fs, "/grown"), std::vector<uint8_t>(9000, 0));
  EXPECT_FALSE(fs->FileExists("/f0"));
}

TEST_F(EncryptedTest, ARepairCanGiveTheKeyANewPassword) {
  { TESingleFileSystem fs(name, 16, 4, 0, "", "", "old", false, kModeCreate); Put(fs, "/f", Bytes(5000, 9)); }
  {
    auto fs = Open("old");
    std::string log;
    ASSERT_TRUE(fs->RepairFile(log, false, "", "", "new", true)) << log;
    EXPECT_EQ(Get(*fs, "/f"), Bytes(5000, 9));
  }
  EXPECT_FALSE(CheckPassword(name, "old"));
  auto fs = Open("new");
  EXPECT_EQ(Get(*fs, "/f"), Bytes(5000, 9));
}

// The one check against the real clock: a password check costs at least
// 256 ms, right or wrong, and an empty password costs nothing.
TEST(PasswordDelay, EachCheckTakesAtLeast256Milliseconds) {
  testing::TTempFolder dir;
  {
    testing::TFastClock fast;
    TESingleFileSystem fs(dir / "slow.adb", 16, 4, 0, "", "", "pw", false, kModeCreate);
  }
  using Clock = std::chrono::steady_clock;
  for (const std::string password : {"pw", "wrong"}) {
    const auto start = Clock::now();
    CheckPassword(dir / "slow.adb", password);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(256)) << password;
  }
  const auto start = Clock::now();
  EXPECT_FALSE(CheckPassword(dir / "slow.adb", ""));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace norvane

// No password or key outlives its use in freed memory: this program replaces
// the global operator new and delete, and while a watch is on, every block
// given back is searched for the watched secrets before it is freed (the
// block is still allocated then, so reading it is sound).
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/container/single_file_system.h"
#include "tests/container/container_fixture.h"
#include "tests/support/fast_clock.h"
#include "tests/support/temp_folder.h"

namespace {

// Fixed storage: the watch itself must not allocate.
struct TWatched {
  unsigned char Bytes[64];
  size_t Size = 0;
  int Hits = 0;
};
constexpr int kMaxWatched = 4;
TWatched gWatched[kMaxWatched];
int gWatchedCount = 0;
bool gWatching = false;

void Inspect(void* block) {
  if (!gWatching || block == nullptr) return;
  const auto* bytes = static_cast<const unsigned char*>(block);
  const size_t size = malloc_usable_size(block);
  for (int i = 0; i < gWatchedCount; ++i) {
    TWatched& w = gWatched[i];
    if (std::search(bytes, bytes + size, w.Bytes, w.Bytes + w.Size) != bytes + size) ++w.Hits;
  }
}

void* Allocate(size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void Release(void* p) {
  Inspect(p);
  std::free(p);
}

}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }

namespace norvane {
namespace {

using testing::Bytes;

// Watches the first n bytes of a secret (at most 64).
void Watch(const void* bytes, size_t n) {
  TWatched& w = gWatched[gWatchedCount++];
  w.Size = std::min(n, sizeof w.Bytes);
  std::memcpy(w.Bytes, bytes, w.Size);
  w.Hits = 0;
}

void Put(TESingleFileSystem& fs, const std::string& path, const std::vector<uint8_t>& bytes,
         const std::string& password) {
  const int32_t handle = fs.OpenFile(path, kModeCreate, password);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(fs.FileWrite(handle, bytes.data(), static_cast<int64_t>(bytes.size())),
            static_cast<int64_t>(bytes.size()));
  fs.CloseFile(handle);
}

// Passwords long enough to live outside a string object; the container key
// and a file key learnt in a first session. Then a second session opens,
// reads, writes, cuts and compacts: nothing it frees may hold any of them.
TEST(KeyWipe, FreedMemoryHoldsNoPasswordOrKey) {
  testing::TFastClock clock;
  testing::TTempFolder dir;
  const std::string name = dir / "keys.adb";
  const std::string password = "container password, 31 bytes..";
  const std::string filePassword = "file password of thirty bytes!";
  std::array<uint8_t, kKeyByteCount> containerKey{}, fileKey{};
  {
    TESingleFileSystem fs(name, 16, 4, 0, "answer", "question?", password, false, kModeCreate);
    Put(fs, "/plain", Bytes(9000, 1), "");
    Put(fs, "/own", Bytes(5000, 2), filePassword);
    ASSERT_EQ(fs.PageFile().ContainerKey().Size(), kContainerKeySize);
    std::memcpy(containerKey.data(), fs.PageFile().ContainerKey().Bytes(), kKeyByteCount);
    TSecret key;
    const TFileRec& rec = fs.Directory().ReadItem(fs.Directory().FindPath("/own"));
    ASSERT_TRUE(CheckPassword(rec.PasswordBlock.data(), filePassword, key));
    std::memcpy(fileKey.data(), key.Bytes(), kKeyByteCount);
  }

  gWatchedCount = 0;
  Watch(password.data(), password.size());
  Watch(filePassword.data(), filePassword.size());
  Watch(containerKey.data(), containerKey.size());
  Watch(fileKey.data(), fileKey.size());
  gWatching = true;
  {
    TESingleFileSystem fs(name, 16, 4, 0, "", "", password, false, 0x22);
    std::vector<uint8_t> buffer(5000);
    const int32_t own = fs.OpenFile("/own", 0x22, filePassword);
    fs.FileRead(own, buffer.data(), 5000);
    fs.FileSeek(own, 0, 4000);
    fs.FileWrite(own, buffer.data(), 2000);
    fs.FileSetSize(own, 4500);
    fs.CloseFile(own);
    const int32_t plain = fs.OpenFile("/plain", 0x22);
    fs.FileWrite(plain, buffer.data(), 5000);
    fs.CloseFile(plain);
    std::string log;
    fs.RepairFile(log, false, "", "", "", false);
  }
  gWatching = false;

  const char* kNames[kMaxWatched] = {"container password", "file password", "container key",
                                     "file key"};
  for (int i = 0; i < gWatchedCount; ++i) EXPECT_EQ(gWatched[i].Hits, 0) << kNames[i];
}

}  // namespace
}  // namespace norvane

// A container in a fresh temporary folder for tests of the directory and the
// files inside it, with helpers to write, read and reopen.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/container/single_file_system.h"
#include "tests/support/temp_folder.h"

namespace norvane::testing {

// The engine's geometry, for tests that lay out or damage bytes by hand.
constexpr int64_t kBase = 280;  // file offset of logical byte 0
constexpr int32_t kPageSize = 4096;
constexpr int64_t kPayload = kPageSize - 32;

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", "", false, kModeCreate, parts);
  }

  void Reopen(uint16_t mode = kModeReadWriteDenyWrite) {
    fs.reset();
    fs = std::make_unique<TESingleFileSystem>(name, 16, 4, 0, "", "", "", false, mode, parts);
  }

  // Creates (or replaces) a file with these bytes; false when any step fails.
  bool Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int32_t handle = fs->OpenFile(path, kModeCreate);
    if (handle < 0) return false;
    const int64_t n = static_cast<int64_t>(bytes.size());
    const bool ok = fs->FileWrite(handle, bytes.data(), n) == n;
    fs->CloseFile(handle);
    return ok;
  }

  // The whole content of a file (empty when it cannot be opened).
  std::vector<uint8_t> Get(const std::string& path) {
    const int32_t handle = fs->OpenFile(path, 0);
    if (handle < 0) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(fs->FileSize(path)));
    EXPECT_EQ(fs->FileRead(handle, bytes.data(), static_cast<int64_t>(bytes.size())),
              static_cast<int64_t>(bytes.size()));
    fs->CloseFile(handle);
    return bytes;
  }

  TTempFolder dir;
  std::string name = dir / "c.adb";
  TPartOptions parts;
  std::unique_ptr<TESingleFileSystem> fs;
};

inline std::vector<uint8_t> Bytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return bytes;
}

}  // namespace norvane::testing

// Randomised model test of files inside a container: thousands of creates,
// writes at random offsets, size changes, deletes, renames and reopens,
// checked step by step against plain byte vectors. NORVANE_SEED and
// NORVANE_STEPS make longer runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "tests/container/container_fixture.h"

namespace norvane {
namespace {

using testing::ContainerTest;
using ModelTest = ContainerTest;

uint64_t FromEnvironment(const char* name, uint64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

TEST_F(ModelTest, RandomOperationsMatchAPlainModel) {
  const uint64_t seed = FromEnvironment("NORVANE_SEED", 20261209);
  const uint64_t steps = FromEnvironment("NORVANE_STEPS", 2500);
  std::mt19937_64 random(seed);
  auto pick = [&](int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(random);
  };
  ASSERT_TRUE(fs->CreateDir("/d"));
  std::map<std::string, std::vector<uint8_t>> model;
  const std::vector<std::string> names = {"/a", "/b.dat", "/c.idx", "/d/e", "/d/f.bdf", "/g",
                                          "/d/h", "/i.bif"};
  auto any = [&]() { return names[static_cast<size_t>(pick(0, static_cast<int64_t>(names.size()) - 1))]; };
  auto existing = [&]() -> std::string {
    if (model.empty()) return "";
    auto it = model.begin();
    std::advance(it, pick(0, static_cast<int64_t>(model.size()) - 1));
    return it->first;
  };
  auto check = [&](const std::string& path) {
    ASSERT_EQ(Get(path), model[path]) << path << " seed " << seed;
  };

  for (uint64_t step = 0; step < steps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step) + " seed " + std::to_string(seed));
    const int op = static_cast<int>(pick(0, 99));
    if (op < 15) {  // create or replace
      const std::string path = any();
      const int64_t size = pick(0, 3) == 0 ? pick(0, 60000) : pick(0, 9000);
      auto bytes = testing::Bytes(static_cast<size_t>(size), static_cast<uint32_t>(step));
      ASSERT_TRUE(Put(path, bytes));
      model[path] = std::move(bytes);
      check(path);
    } else if (op < 50) {  // write at a random offset, maybe past the end
      const std::string path = existing();
      if (path.empty()) continue;
      auto& content = model[path];
      const int64_t at = pick(0, static_cast<int64_t>(content.size()) + 5000);
      const auto bytes = testing::Bytes(static_cast<size_t>(pick(1, 9000)), static_cast<uint32_t>(step + 7));
      const int32_t handle = fs->OpenFile(path, 0x22);
      ASSERT_GE(handle, 0);
      ASSERT_EQ(fs->FileSeek(handle, 0, at), at);
      ASSERT_EQ(fs->FileWrite(handle, bytes.data(), static_cast<int64_t>(bytes.size())),
                static_cast<int64_t>(bytes.size()));
      fs->CloseFile(handle);
      if (content.size() < at + bytes.size()) content.resize(at + bytes.size(), 0);
      std::copy(bytes.begin(), bytes.end(), content.begin() + at);
      check(path);
    } else if (op < 70) {  // grow or shrink
      const std::string path = existing();
      if (path.empty()) continue;
      auto& content = model[path];
      const int64_t size = pick(0, static_cast<int64_t>(content.size()) * 2 + 100);
      const int32_t handle = fs->OpenFile(path, 0x22);
      ASSERT_EQ(fs->FileSetSize(handle, size), size);
      fs->CloseFile(handle);
      content.resize(static_cast<size_t>(size), 0);
      check(path);
    } else if (op < 80) {  // delete
      const std::string path = existing();
      if (path.empty()) continue;
      ASSERT_TRUE(fs->DeleteFile(path));
      model.erase(path);
      ASSERT_FALSE(fs->FileExists(path));
    } else if (op < 90) {  // rename to a free name
      const std::string from = existing();
      const std::string to = any();
      if (from.empty() || model.count(to) != 0) continue;
      ASSERT_TRUE(fs->RenameFile(from, to));
      model[to] = std::move(model[from]);
      model.erase(from);
      check(to);
    } else if (op < 95) {  // read a random range
      const std::string path = existing();
      if (path.empty()) continue;
      const auto& content = model[path];
      const int64_t at = pick(0, static_cast<int64_t>(content.size()));
      const int64_t want = pick(0, 10000);
      std::vector<uint8_t> got(static_cast<size_t>(want));
      const int32_t handle = fs->OpenFile(path, 0);
      fs->FileSeek(handle, 0, at);
      const int64_t n = fs->FileRead(handle, got.data(), want);
      fs->CloseFile(handle);
      ASSERT_EQ(n, std::min<int64_t>(want, static_cast<int64_t>(content.size()) - at));
      ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, content.begin() + at));
    } else {  // reopen and compare everything
      Reopen();
      for (const auto& [path, content] : model) check(path);
      for (const std::string& path : names) ASSERT_EQ(fs->FileExists(path), model.count(path) != 0);
    }
  }
  Reopen();
  for (const auto& [path, content] : model) check(path);
}

}  // namespace
}  // namespace norvane

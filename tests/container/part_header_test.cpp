// The part header's bytes, the next-part name rule and the prefix search.
#include "engine/container/part_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/container/memory_part_file.h"

namespace norvane {
namespace {

TEST(PartHeader, EncodesTheFixedLayout) {
  uint8_t raw[kPartHeaderSize];
  EncodePartHeader({0x7FFFFFFF, "cat.adb1"}, raw);
  const uint8_t head[] = {'A', 'A', 'M', 'V', 'H', 'F', 'S', 'S',  // magic
                          0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0,      // maximum part size
                          'c', 'a', 't', '.', 'a', 'd', 'b', '1', 0};
  EXPECT_EQ(std::memcmp(raw, head, sizeof head), 0);
  for (size_t i = sizeof head; i < kPartHeaderSize; ++i) ASSERT_EQ(raw[i], 0) << i;

  TPartHeader back;
  ASSERT_TRUE(DecodePartHeader(raw, back));
  EXPECT_EQ(back.MaxPartSize, 0x7FFFFFFF);
  EXPECT_EQ(back.NextName, "cat.adb1");
}

TEST(PartHeader, RejectsWrongMagicAndUnterminatedName) {
  uint8_t raw[kPartHeaderSize];
  TPartHeader back;
  EncodePartHeader({1000, ""}, raw);
  raw[7] = 'X';
  EXPECT_FALSE(DecodePartHeader(raw, back));
  EncodePartHeader({1000, ""}, raw);
  std::memset(raw + 16, 'a', kPartNameCapacity);
  EXPECT_FALSE(DecodePartHeader(raw, back));
}

TEST(PartHeader, NextNameMustBeOwnNameAndDigits) {
  struct Case { const char* next; bool valid; };
  const Case kCases[] = {
      {"cat.adb1", true},    {"cat.adb12", true},  {"cat.adb", false},
      {"cat.adb1x", false},  {"dog.adb1", false},  {"../cat.adb1", false},
      {"cat.adb/1", false},  {"CAT.ADB1", false},  {"", false},
  };
  for (const Case& c : kCases) EXPECT_EQ(IsValidNextPartName(c.next, "cat.adb"), c.valid) << c.next;
}

// Builds a memory part holding `prefix` foreign bytes, then a part header
// followed by the container magic.
std::unique_ptr<TESFSMemoryFile> PartWithPrefix(const std::vector<uint8_t>& prefix) {
  auto part = std::make_unique<TESFSMemoryFile>("p", false, false);
  part->Open(true);
  part->WriteBuffer(prefix.data(), static_cast<int64_t>(prefix.size()));
  uint8_t raw[kPartHeaderSize];
  EncodePartHeader({0x7FFFFFFF, ""}, raw);
  part->WriteBuffer(raw, kPartHeaderSize);
  part->WriteBuffer("AASFSSGN", 8);
  return part;
}

TEST(PartHeader, FindsThePrefixEvenAcrossScanChunks) {
  // 65533 puts the first probe bytes at the end of the first 65535-byte chunk.
  for (size_t length : {size_t{0}, size_t{17}, size_t{65531}, size_t{65533}, size_t{65535},
                        size_t{70000}}) {
    std::vector<uint8_t> prefix(length, 0x41);
    auto part = PartWithPrefix(prefix);
    EXPECT_EQ(FindContainerPrefix(*part), static_cast<int64_t>(length)) << length;
    EXPECT_EQ(part->Position(), static_cast<int64_t>(length));
  }
}

TEST(PartHeader, PrefixSkipsPartHeadersNotFollowedByAContainer) {
  std::vector<uint8_t> prefix(400, 0);
  uint8_t decoy[kPartHeaderSize];
  EncodePartHeader({0x7FFFFFFF, ""}, decoy);
  std::memcpy(prefix.data() + 10, decoy, 100);  // magic without a container after it
  EXPECT_EQ(FindContainerPrefix(*PartWithPrefix(prefix)), 400);

  TESFSMemoryFile none("q", false, false);
  none.Open(true);
  none.WriteBuffer(decoy, kPartHeaderSize);  // no container magic at all
  EXPECT_EQ(FindContainerPrefix(none), 0);
}

}  // namespace
}  // namespace norvane

// The part-file stream over small parts: growth and shrinking across part
// borders, prefixes, broken and hostile chains, renaming, deleting, and
// moving between disk and memory.
#include "engine/container/huge_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/file_system.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr int64_t kSmallPart = kPartHeaderSize + 100;  // 100 payload bytes a part

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return bytes;
}

std::vector<uint8_t> ReadAll(TESFSHugeFile& stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
  stream.Seek(0, 0);
  EXPECT_EQ(stream.Read(bytes.data(), stream.Size()), stream.Size());
  return bytes;
}

// Writes `bytes` at logical 0 of a new disk stream and closes it.
void MakeStream(const std::string& name, const std::vector<uint8_t>& bytes,
                int64_t maxPart = kSmallPart) {
  TESFSHugeFile stream(name, maxPart, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(true, false));
  ASSERT_EQ(stream.Write(bytes.data(), static_cast<int64_t>(bytes.size())),
            static_cast<int64_t>(bytes.size()));
  stream.Close();
}

// `count` foreign bytes followed by `bytes`.
std::vector<uint8_t> WithPrefix(size_t count, const std::vector<uint8_t>& bytes, size_t keep) {
  std::vector<uint8_t> joined(count + keep, 'Z');
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep), joined.begin() + static_cast<std::ptrdiff_t>(count));
  return joined;
}

std::string NextNameIn(const std::string& path, int64_t at = 0) {
  const auto bytes = ReadFileBytes(path);
  TPartHeader header;
  EXPECT_TRUE(DecodePartHeader(bytes.data() + at, header));
  return header.NextName;
}

TEST(HugeFile, MemoryStreamReadsAndWritesAcrossPartBorders) {
  TESFSHugeFile stream("mem.adb", kSmallPart, true, false, false);
  ASSERT_TRUE(stream.InternalOpen(true, false));
  const auto data = Pattern(350);
  EXPECT_EQ(stream.Write(data.data(), 350), 350);
  EXPECT_EQ(stream.PartCount(), 4u);
  EXPECT_EQ(stream.Size(), 350);
  struct Span { int64_t at, n; };
  for (const Span s : {Span{0, 350}, Span{95, 10}, Span{99, 102}, Span{300, 50}, Span{340, 40}}) {
    std::vector<uint8_t> got(static_cast<size_t>(s.n), 0xEE);
    stream.Seek(0, s.at);
    const int64_t expected = std::min(s.n, 350 - s.at);
    ASSERT_EQ(stream.Read(got.data(), s.n), expected) << s.at;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + expected, data.begin() + s.at)) << s.at;
  }
}

TEST(HugeFile, DiskPartsAreNamedChainedAndSurviveReopen) {
  testing::TTempFolder dir;
  const std::string name = dir / "cat.adb";
  const auto data = Pattern(250);
  MakeStream(name, data);
  EXPECT_TRUE(FileExists(name + "1"));
  EXPECT_TRUE(FileExists(name + "2"));
  EXPECT_FALSE(FileExists(name + "3"));
  EXPECT_EQ(NextNameIn(name), "cat.adb1");
  EXPECT_EQ(NextNameIn(name + "1"), "cat.adb2");
  EXPECT_EQ(NextNameIn(name + "2"), "");
  EXPECT_EQ(ReadFileBytes(name).size(), static_cast<size_t>(kSmallPart));

  TESFSHugeFile stream(name, -1, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(false, false));
  EXPECT_EQ(stream.MaxPartSize(), kSmallPart);  // taken from the file, not the caller
  EXPECT_EQ(stream.Size(), 250);
  EXPECT_EQ(ReadAll(stream), data);

  stream.SetSize(150);  // back to two parts: the third goes, the second ends the chain
  EXPECT_FALSE(FileExists(name + "2"));
  EXPECT_EQ(NextNameIn(name + "1"), "");
  stream.SetSize(420);  // five parts, the new tail zero
  EXPECT_EQ(stream.PartCount(), 5u);
  const auto grown = ReadAll(stream);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 150, grown.begin()));
  EXPECT_TRUE(std::all_of(grown.begin() + 150, grown.end(), [](uint8_t b) { return b == 0; }));
}

TEST(HugeFile, ZeroLengthWriteDoesNotCutThePart) {
  testing::TTempFolder dir;
  const std::string name = dir / "z.adb";
  MakeStream(name, Pattern(80), -1);
  TESFSHugeFile stream(name, -1, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(false, false));
  stream.Seek(0, 10);
  EXPECT_EQ(stream.Write("", 0), 0);
  stream.Close();
  EXPECT_EQ(ReadFileBytes(name).size(), static_cast<size_t>(kPartHeaderSize + 80));
}

TEST(HugeFile, WritingPastTheEndFillsTheGapWithZeros) {
  for (bool inMemory : {true, false}) {
    testing::TTempFolder dir;
    TESFSHugeFile stream(dir / "g.adb", kSmallPart, inMemory, false, false);
    ASSERT_TRUE(stream.InternalOpen(true, false));
    stream.Seek(0, 230);
    ASSERT_EQ(stream.Write("xy", 2), 2);
    const auto bytes = ReadAll(stream);
    ASSERT_EQ(bytes.size(), 232u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 230, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(bytes[230], 'x');
  }
}

TEST(HugeFile, SeekAndReadRefusePositionsOutsideTheStream) {
  TESFSHugeFile stream("s.adb", kSmallPart, true, false, false);
  ASSERT_TRUE(stream.InternalOpen(true, false));
  stream.Write("abc", 3);
  EXPECT_THROW(stream.Seek(0, -1), EEngineError);
  EXPECT_THROW(stream.Seek(1, -10), EEngineError);
  stream.Seek(0, 10);
  uint8_t byte;
  EXPECT_THROW(stream.Read(&byte, 1), EEngineError);
  stream.Seek(2, 0);
  EXPECT_EQ(stream.Read(&byte, 1), 0);
}

// A container appended to other bytes: the prefix is found and skipped.
TEST(HugeFile, OpensAContainerAfterForeignBytes) {
  testing::TTempFolder dir;
  const std::string name = dir / "p.adb";
  std::vector<uint8_t> data = Pattern(180);
  std::memcpy(data.data(), "AASFSSGN", 8);
  MakeStream(name, data, -1);
  const auto first = ReadFileBytes(name);
  WriteFileBytes(name, WithPrefix(30, first, first.size()));

  TESFSHugeFile stream(name, -1, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(false, false));
  EXPECT_EQ(stream.PrefixLength(), 30);
  EXPECT_EQ(ReadAll(stream), data);
  stream.Seek(0, 180);
  stream.Write("!", 1);
  stream.Close();
  EXPECT_EQ(ReadFileBytes(name)[30 + kPartHeaderSize + 180], '!');
}

// With a prefix the first part holds that much less payload; positions in
// later parts shift by it.
TEST(HugeFile, PrefixShortensTheFirstPart) {
  testing::TTempFolder dir;
  const std::string name = dir / "q.adb";
  std::vector<uint8_t> data = Pattern(200);
  std::memcpy(data.data(), "AASFSSGN", 8);
  MakeStream(name, data);  // parts of 100 payload bytes
  const auto first = ReadFileBytes(name);
  WriteFileBytes(name, WithPrefix(30, first, first.size() - 30));  // still kSmallPart long

  TESFSHugeFile stream(name, -1, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(false, false));
  EXPECT_EQ(stream.PrefixLength(), 30);
  EXPECT_EQ(stream.Size(), 170);
  const auto bytes = ReadAll(stream);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 70, data.begin()));
  EXPECT_TRUE(std::equal(bytes.begin() + 70, bytes.end(), data.begin() + 100));
}

TEST(HugeFile, ShortPartWithANextNameIsABrokenChain) {
  testing::TTempFolder dir;
  const std::string name = dir / "b.adb";
  MakeStream(name, Pattern(250));
  auto first = ReadFileBytes(name);
  first.resize(first.size() - 10);
  WriteFileBytes(name, first);

  TESFSHugeFile strict(name, -1, false, false, false);
  EXPECT_FALSE(strict.InternalOpen(false, false));
  EXPECT_EQ(strict.PartCount(), 0u);
  TESFSHugeFile tolerant(name, -1, false, false, false);
  ASSERT_TRUE(tolerant.InternalOpen(false, true));
  EXPECT_EQ(tolerant.PartCount(), 1u);
  EXPECT_EQ(tolerant.Size(), 90);
}

TEST(HugeFile, MissingNextPartOpensOnlyWhenTolerated) {
  testing::TTempFolder dir;
  const std::string name = dir / "m.adb";
  MakeStream(name, Pattern(250));
  ASSERT_TRUE(DeleteFileByName(name + "2"));
  TESFSHugeFile strict(name, -1, false, false, false);
  EXPECT_FALSE(strict.InternalOpen(false, false));
  TESFSHugeFile tolerant(name, -1, false, false, false);
  ASSERT_TRUE(tolerant.InternalOpen(false, true));
  EXPECT_EQ(tolerant.Size(), 200);
}

// Next-part names are read from the file: one that is not the container's
// own name and digits, or that leads back into the chain, is never followed,
// and deleting the container never deletes the file it names.
TEST(HugeFile, HostileNextNamesAreNotFollowed) {
  for (const std::string next : {"victim", "../h.adb1", "h.adb"}) {
    testing::TTempFolder dir;
    const std::string name = dir / "h.adb";
    MakeStream(name, Pattern(150));
    WriteFileBytes(dir / "victim", {1, 2, 3});
    auto first = ReadFileBytes(name);
    PutZString(first.data() + 16, kPartNameCapacity, next);
    WriteFileBytes(name, first);

    TESFSHugeFile stream(name, -1, false, false, false);
    EXPECT_FALSE(stream.InternalOpen(false, false)) << next;
    ASSERT_TRUE(stream.DeleteAll());
    EXPECT_FALSE(FileExists(name));
    EXPECT_TRUE(FileExists(dir / "victim")) << next;
  }
}

TEST(HugeFile, ChainThatLoopsIsBroken) {
  testing::TTempFolder dir;
  const std::string name = dir / "l.adb";
  MakeStream(name, Pattern(250));
  auto second = ReadFileBytes(name + "1");
  PutZString(second.data() + 16, kPartNameCapacity, "l.adb1");  // names itself
  WriteFileBytes(name + "1", second);
  TESFSHugeFile stream(name, -1, false, false, false);
  EXPECT_FALSE(stream.InternalOpen(false, false));
}

TEST(HugeFile, DamagedPartSizeInHeaderIsRefused) {
  for (int64_t damaged : {int64_t{0}, int64_t{280}, int64_t{-5}}) {
    testing::TTempFolder dir;
    const std::string name = dir / "d.adb";
    MakeStream(name, Pattern(50), -1);
    auto bytes = ReadFileBytes(name);
    PutI64LE(bytes.data() + 8, damaged);
    WriteFileBytes(name, bytes);
    TESFSHugeFile stream(name, -1, false, false, false);
    EXPECT_FALSE(stream.InternalOpen(false, true)) << damaged;
  }
}

TEST(HugeFile, RenameMovesEveryPartAndRewritesTheChain) {
  testing::TTempFolder dir;
  const std::string name = dir / "r.adb";
  const auto data = Pattern(150);
  MakeStream(name, data);
  TESFSHugeFile stream(name, -1, false, false, false);
  ASSERT_TRUE(stream.Rename("renamed.adb"));
  EXPECT_FALSE(FileExists(name));
  EXPECT_FALSE(FileExists(name + "1"));
  EXPECT_TRUE(FileExists(dir / "renamed.adb1"));
  EXPECT_EQ(NextNameIn(dir / "renamed.adb"), "renamed.adb1");
  ASSERT_TRUE(stream.InternalOpen(false, false));
  EXPECT_EQ(ReadAll(stream), data);
}

TEST(HugeFile, RenameRefusesToReplaceAnExistingFile) {
  testing::TTempFolder dir;
  MakeStream(dir / "a.adb", Pattern(50));
  WriteFileBytes(dir / "b.adb", {9});
  TESFSHugeFile stream(dir / "a.adb", -1, false, false, false);
  EXPECT_FALSE(stream.Rename("b.adb"));
  EXPECT_EQ(ReadFileBytes(dir / "b.adb"), std::vector<uint8_t>{9});
  EXPECT_TRUE(FileExists(dir / "a.adb"));
}

TEST(HugeFile, CreateDeletesEveryOldPart) {
  testing::TTempFolder dir;
  const std::string name = dir / "c.adb";
  MakeStream(name, Pattern(250));
  TESFSHugeFile stream(name, kSmallPart, false, false, false);
  ASSERT_TRUE(stream.InternalOpen(true, false));
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_FALSE(FileExists(name + "1"));
  EXPECT_FALSE(FileExists(name + "2"));
}

TEST(HugeFile, MemoryPartsOutliveCloseAndMoveToDiskAndBack) {
  testing::TTempFolder dir;
  const std::string name = dir / "v.adb";
  const auto data = Pattern(250);
  TESFSHugeFile stream(name, kSmallPart, true, false, false);
  ASSERT_TRUE(stream.InternalOpen(true, false));
  stream.Write(data.data(), 250);
  stream.Close();
  EXPECT_FALSE(FileExists(name));
  ASSERT_TRUE(stream.InternalOpen(false, false));
  EXPECT_EQ(ReadAll(stream), data);

  stream.SetInMemory(false);  // writes the parts out
  EXPECT_EQ(NextNameIn(name), "v.adb1");
  stream.Close();
  TESFSHugeFile reopened(name, -1, true, false, false);  // loads them into memory
  ASSERT_TRUE(reopened.InternalOpen(false, false));
  EXPECT_EQ(ReadAll(reopened), data);
  ASSERT_TRUE(DeleteFileByName(name + "2"));  // disk changes do not reach memory
  EXPECT_EQ(ReadAll(reopened), data);
}

TEST(HugeFile, MemoryPartCannotBeOpenedWithoutCreating) {
  TESFSHugeFile stream("never.adb", -1, true, false, false);
  EXPECT_THROW(stream.InternalOpen(false, false), EEngineError);
}

}  // namespace
}  // namespace norvane

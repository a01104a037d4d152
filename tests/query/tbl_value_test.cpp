// Typed values: copies own their bytes, borrowed bytes stay where they
// are, and CompareValues orders each type, tells nulls apart and refuses
// mixed or unordered types with its codes.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/query/tbl_value.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

TETblValue Of(TFieldType type, int64_t n, int32_t size) {
  uint8_t bytes[8] = {};
  PutU64LE(bytes, static_cast<uint64_t>(n));
  return TETblValue::Copy(type, bytes, size);
}

TETblValue Double(TFieldType type, double d) {
  uint8_t bytes[8];
  std::memcpy(bytes, &d, 8);
  return TETblValue::Copy(type, bytes, 8);
}

TETblValue Wide(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return TETblValue::Copy(ftWideString, bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(TblValue, CompareValuesByType) {
  const TETblValue null;
  const struct {
    const char* Name;
    TETblValue A, B;
    bool Partial, CaseInsensitive;
    int Expected;
  } cases[] = {
      {"both null", null, null, false, false, 5},
      {"only a null", null, TETblValue::Integer(7), false, false, 3},
      {"only b null", TETblValue::Integer(7), null, false, false, 4},
      {"integers", TETblValue::Integer(-3), TETblValue::Integer(2), false, false, 2},
      {"integer and auto-increment", TETblValue::Integer(5), Of(ftAutoInc, 5, 4), false, false, 0},
      {"large integers past 32 bits", Of(ftLargeint, int64_t{1} << 40, 8), Of(ftLargeint, 1, 8), false, false, 1},
      {"small integers signed", Of(ftSmallint, 0xFFFF, 2), Of(ftSmallint, 1, 2), false, false, 2},
      {"words unsigned", Of(ftWord, 0xFFFF, 2), Of(ftWord, 1, 2), false, false, 1},
      {"false below true", Of(ftBoolean, 0, 2), Of(ftBoolean, 1, 2), false, false, 2},
      {"any nonzero is true", Of(ftBoolean, 2, 2), Of(ftBoolean, 1, 2), false, false, 0},
      {"floats", TETblValue::Float(1.5), TETblValue::Float(1.25), false, false, 1},
      {"dates by day", Of(ftDate, 700000, 8), Of(ftDate, 700001, 8), false, false, 2},
      {"times by milliseconds", Of(ftTime, 1000, 8), Of(ftTime, 1000, 8), false, false, 0},
      {"date-times to whole milliseconds", Double(ftDateTime, 1000.4), Double(ftDateTime, 999.6), false, false, 0},
      {"text", TETblValue::String("abc"), TETblValue::String("abd"), false, false, 2},
      {"text with case", TETblValue::String("ABC"), TETblValue::String("abc"), false, true, 0},
      {"text partial", TETblValue::String("Alpha"), TETblValue::String("Al"), true, false, 0},
      {"text partial is not whole", TETblValue::String("Alpha"), TETblValue::String("Al"), false, false, 1},
      {"wide text partial ignoring case", Wide(u"Alpha"), Wide(u"aL"), true, true, 0},
      {"wide text", Wide(u"b"), Wide(u"a"), false, false, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CompareValues(c.A, c.B, c.Partial, c.CaseInsensitive), c.Expected) << c.Name;
}

TEST(TblValue, MixedAndUnorderedTypesAreRefused) {
  const auto code = [](const TETblValue& a, const TETblValue& b) {
    try {
      CompareValues(a, b, false, false);
    } catch (const ETblException& error) {
      return error.NativeError();
    }
    return 0;
  };
  EXPECT_EQ(code(TETblValue::Integer(1), TETblValue::String("1")), 25);
  EXPECT_EQ(code(Of(ftAutoInc, 1, 4), TETblValue::String("1")), 25);
  EXPECT_EQ(code(Of(ftInteger, 1, 2), Of(ftInteger, 1, 4)), 25);  // too short to be one
  EXPECT_EQ(code(Of(ftBlob, 1, 4), Of(ftBlob, 1, 4)), 28);
  EXPECT_EQ(code(Of(ftBCD, 1, 8), Of(ftBCD, 1, 8)), 28);
}

TEST(TblValue, CopiesOwnAndBorrowedBytesStay) {
  std::string record = "shared";
  const TETblValue borrowed =
      TETblValue::Borrow(ftString, reinterpret_cast<const uint8_t*>(record.c_str()), static_cast<int32_t>(record.size() + 1));
  EXPECT_TRUE(borrowed.Borrowed());
  TETblValue copy = borrowed;
  EXPECT_FALSE(copy.Borrowed());
  record[0] = 'S';
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(borrowed.Data())), "Shared");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.Data())), "shared");
  TETblValue moved = std::move(copy);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(moved.Data())), "shared");
  moved.Clear();
  EXPECT_TRUE(moved.IsNull());
  EXPECT_EQ(TETblValue::String("ab").Size(), 3);
  EXPECT_EQ(TETblValue::Integer(1).Size(), 4);
  EXPECT_EQ(TETblValue::Float(1).Size(), 8);
}

}  // namespace
}  // namespace norvane

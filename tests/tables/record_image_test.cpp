// The bytes of one record: golden layouts, round trips for every field type,
// null fields, enciphered records and their check string, damage and
// refused sizes.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/hash_crc32.h"
#include "engine/tables/field_types.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/record_image.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;

const char kCrcError[] = "Error in TDeziDataManager.ChangeBufferEncryption - crc error, decoding";

// Integer, a string of 20 characters and a date: record size 65.
const std::vector<TFieldHeader> kThreeFields = {
    {"N", ftInteger, 4, false}, {"Name", ftString, 21, false}, {"Day", ftDate, 8, false}};

// A field of every stored type (sizes are stored sizes).
const std::vector<TFieldHeader> kEveryType = {
    {"S", ftString, 11, false},    {"Si", ftSmallint, 2, false}, {"I", ftInteger, 4, false},
    {"W", ftWord, 2, false},       {"B", ftBoolean, 2, false},   {"F", ftFloat, 8, false},
    {"C", ftCurrency, 8, false},   {"Bcd", ftBCD, 8, false},     {"D", ftDate, 8, false},
    {"T", ftTime, 8, false},       {"Dt", ftDateTime, 8, false}, {"By", ftBytes, 5, false},
    {"Bl", ftBlob, 0, false},      {"M", ftMemo, 0, false},      {"G", ftGraphic, 0, false},
    {"Fm", ftFmtMemo, 0, false},   {"Ws", ftWideString, 12, false},
    {"L", ftLargeint, 8, false}};

TRecordImage MakeImage(const std::vector<TFieldHeader>& fields,
                       std::optional<TSecret> password = std::nullopt) {
  return TRecordImage(fields, ComputeRecordGeometry(fields, "OpenTable"), std::move(password));
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<uint8_t> Zeros(size_t n) { return std::vector<uint8_t>(n, 0); }

TFieldValue Value(const std::string& bytes) { return {false, bytes}; }

TEST(RecordImage, GoldenBytesOfThreeFieldRecord) {
  const TFieldValue kNull;
  const std::string day693594("\x5A\x95\x0A\x00\x00\x00\x00\x00", 8);  // 30 December 1899
  struct Case {
    const char* name;
    TRecordValues values;
    std::vector<uint8_t> bytes;
  };
  const Case kCases[] = {
      {"all present",
       {7, {Value("\x04\x03\x02\x01"), Value("Ab"), Value(day693594)}},
       Concat({{0x04, 0x03, 0x02, 0x01},                            // N at 0
               {'A', 'b'}, Zeros(19),                               // Name at 4, 21 bytes
               {0x5A, 0x95, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},    // Day at 25
               {0x07, 0x00, 0x00, 0x00},                            // row identifier at 33
               {0x00},                                              // null bits at 37
               Zeros(13),                                           // check string at 38
               Zeros(14)})},                                        // filler to 65
      {"name null",
       {0x12345678, {Value("\x04\x03\x02\x01"), kNull, Value(day693594)}},
       Concat({{0x04, 0x03, 0x02, 0x01}, Zeros(21),
               {0x5A, 0x95, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},
               {0x78, 0x56, 0x34, 0x12}, {0x02}, Zeros(27)})},
      {"all null",
       {-1, {kNull, kNull, kNull}},
       Concat({Zeros(33), {0xFF, 0xFF, 0xFF, 0xFF}, {0x07}, Zeros(27)})},
      {"full-length name",
       {1, {kNull, Value("ABCDEFGHIJKLMNOPQRST"), kNull}},
       Concat({Zeros(4),
               {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
                'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 0x00},
               Zeros(8), {0x01, 0x00, 0x00, 0x00}, {0x05}, Zeros(27)})},
  };
  const TRecordImage image = MakeImage(kThreeFields);
  EXPECT_EQ(image.RecordSize(), 65);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = image.Encode(c.values);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(image.Decode(c.bytes.data(), c.bytes.size()), c.values);
  }
}

// A value of the field's stored form, with a zero byte inside the fixed-size
// ones so that no fixed value is read as text.
TFieldValue SampleOf(const TFieldHeader& field) {
  if (IsLargeValueType(field.Type)) return {false, {}};
  if (field.Type == ftString) return Value("ab\xE9\xFF" "cd");
  if (field.Type == ftWideString) return Value(std::string("a\0\x04\x04z\0", 6));
  std::string bytes;
  for (int32_t i = 0; i < field.Size; ++i) bytes += static_cast<char>(i == 1 ? 0 : 0xA0 + i);
  return Value(bytes);
}

bool NullBitOf(const std::vector<uint8_t>& record, const TRecordGeometry& geometry, size_t k) {
  return (record[static_cast<size_t>(geometry.NullBitsOffset) + k / 8] >> (k % 8)) & 1;
}

TRecordValues AllNull(const std::vector<TFieldHeader>& fields) {
  return {42, std::vector<TFieldValue>(fields.size())};
}

// Every field on its own, then all at once, in a plain and an encrypted
// table: the value comes back, and in the plain image it lies at its offset
// with only its null bit clear.
TEST(RecordImage, EveryFieldTypeRoundTrips) {
  const TRecordGeometry geometry = ComputeRecordGeometry(kEveryType, "OpenTable");
  ASSERT_EQ(geometry.NullBytes, 3);
  const TRecordImage plain = MakeImage(kEveryType);
  const TRecordImage encrypted = MakeImage(kEveryType, TSecret("pass word"));
  std::vector<TRecordValues> cases;
  for (size_t k = 0; k < kEveryType.size(); ++k) {
    TRecordValues values = AllNull(kEveryType);
    values.Fields[k] = SampleOf(kEveryType[k]);
    cases.push_back(values);
  }
  TRecordValues all = AllNull(kEveryType);
  for (size_t k = 0; k < kEveryType.size(); ++k) all.Fields[k] = SampleOf(kEveryType[k]);
  cases.push_back(all);
  cases.push_back(AllNull(kEveryType));

  for (const TRecordValues& values : cases) {
    const std::vector<uint8_t> bytes = plain.Encode(values);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(geometry.RecordSize));
    for (size_t k = 0; k < kEveryType.size(); ++k) {
      SCOPED_TRACE(kEveryType[k].Name);
      const bool nullBit = NullBitOf(bytes, geometry, k);
      EXPECT_EQ(nullBit, values.Fields[k].Null);
      const std::string& v = values.Fields[k].Bytes;
      const std::string stored(reinterpret_cast<const char*>(bytes.data()) + geometry.FieldOffsets[k],
                               static_cast<size_t>(kEveryType[k].Size));
      EXPECT_EQ(stored, v + std::string(stored.size() - v.size(), '\0'));
    }
    EXPECT_EQ(plain.Decode(bytes.data(), bytes.size()), values);
    const std::vector<uint8_t> enciphered = encrypted.Encode(values);
    EXPECT_EQ(encrypted.Decode(enciphered.data(), enciphered.size()), values);
  }
}

// Inside a text field only the bytes before the terminator count; a damaged
// field without a terminator gives the whole room, never more.
TEST(RecordImage, TextEndsAtItsTerminator) {
  const std::vector<TFieldHeader> fields = {{"S", ftString, 6, false},
                                            {"W", ftWideString, 8, false}};
  struct Case {
    const char* name;
    std::vector<uint8_t> data;  // the 14 data bytes
    std::string text;
    std::string wide;
  };
  const Case kCases[] = {
      {"garbage after terminators",
       {'a', 'b', 0, 'x', 'y', 'z', 'q', 0, 0, 0, 'r', 's', 0xFF, 0xFF},
       "ab", std::string("q\0", 2)},
      {"zero byte inside a wide unit",
       {0, 'b', 'c', 'd', 'e', 'f', 0, 'q', 'r', 0, 0, 0, 0, 0}, "",
       std::string("\0q", 2) + std::string("r\0", 2)},
      {"no terminators", {'a', 'b', 'c', 'd', 'e', 'f', 1, 2, 3, 4, 5, 6, 7, 8}, "abcde",
       std::string("\1\2\3\4\5\6", 6)},
  };
  const TRecordImage image = MakeImage(fields);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes =
        Concat({c.data, {0x09, 0x00, 0x00, 0x00}, {0x00}, Zeros(27)});
    const TRecordValues back = image.Decode(bytes.data(), bytes.size());
    EXPECT_EQ(back.RowId, 9);
    EXPECT_EQ(back.Fields[0], Value(c.text));
    EXPECT_EQ(back.Fields[1], Value(c.wide));
  }
}

// An enciphered record: identifier, null bits and filler stay plain, the
// check string is the CRC-32 text of the plain field data, and the field data
// is that data enciphered on its own under the password.
TEST(RecordImage, EncipheredRecordLayout) {
  const TRecordValues values = {5, {Value("\x01\x02\x03\x04"), Value("Hello"), TFieldValue{}}};
  const std::vector<uint8_t> plain = MakeImage(kThreeFields).Encode(values);
  const std::vector<uint8_t> bytes = MakeImage(kThreeFields, TSecret("key")).Encode(values);
  ASSERT_EQ(bytes.size(), 65u);

  std::vector<uint8_t> data(plain.begin(), plain.begin() + 33);
  const std::string check = CrcText(data.data(), data.size());
  ASSERT_EQ(check.size(), 8u);
  EncipherBuffer("key", data.data(), data.data(), data.size());
  const std::vector<uint8_t> expected =
      Concat({data, {0x05, 0x00, 0x00, 0x00}, {0x04}, {0x08},
              std::vector<uint8_t>(check.begin(), check.end()), Zeros(4), Zeros(14)});
  EXPECT_EQ(bytes, expected);
  EXPECT_NE(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 33),
            std::vector<uint8_t>(plain.begin(), plain.begin() + 33));
}

// Every byte of an enciphered record changed in turn: a change to the field
// data or to the significant part of the check string (length and 8
// characters) gives the crc error; the rest is not covered by the check and
// decodes: with the field values intact, or with exactly the null flags of
// the changed null bits. A table of large values only has no field data, and
// its check string is still checked.
TEST(RecordImage, DamagedEncipheredRecordGivesCrcError) {
  const std::vector<TFieldHeader> largeOnly = {{"Bl", ftBlob, 0, false}, {"M", ftMemo, 0, false}};
  TRecordValues every = AllNull(kEveryType);
  for (size_t k = 0; k < kEveryType.size(); k += 2) every.Fields[k] = SampleOf(kEveryType[k]);
  struct Case {
    const std::vector<TFieldHeader>& fields;
    TRecordValues values;
  };
  const Case kCases[] = {
      {kThreeFields, {3, {Value("\x10\x20\x30\x40"), Value("text"), TFieldValue{}}}},
      {kEveryType, every},
      {largeOnly, {8, {TFieldValue{}, Value("")}}},
  };
  for (const Case& c : kCases) {
    const TRecordImage image = MakeImage(c.fields, TSecret("key"));
    const TRecordGeometry geometry = ComputeRecordGeometry(c.fields, "OpenTable");
    const std::vector<uint8_t> good = image.Encode(c.values);
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      for (size_t p = 0; p < good.size(); ++p) {
        SCOPED_TRACE(std::to_string(c.fields.size()) + " fields, byte " + std::to_string(p) +
                     ", mask " + std::to_string(mask));
        std::vector<uint8_t> bad = good;
        bad[p] ^= mask;
        const bool covered = p < static_cast<size_t>(geometry.DataSize) ||
                             (p >= static_cast<size_t>(geometry.CheckOffset) &&
                              p < static_cast<size_t>(geometry.CheckOffset) + 9);
        if (covered) {
          EXPECT_EQ(MessageOf([&] { image.Decode(bad.data(), bad.size()); }), kCrcError);
          continue;
        }
        const TRecordValues back = image.Decode(bad.data(), bad.size());
        ASSERT_EQ(back.Fields.size(), c.values.Fields.size());
        for (size_t k = 0; k < c.values.Fields.size(); ++k) {
          const bool nullBit = NullBitOf(bad, geometry, k);
          EXPECT_EQ(back.Fields[k].Null, nullBit);
          if (nullBit == c.values.Fields[k].Null) {
            EXPECT_EQ(back.Fields[k], c.values.Fields[k]);
          }
        }
      }
    }
  }
}

TEST(RecordImage, OtherPasswordGivesCrcError) {
  const TRecordValues values = {1, {Value("\x01\x02\x03\x04"), Value("x"), TFieldValue{}}};
  const std::vector<uint8_t> bytes = MakeImage(kThreeFields, TSecret("right")).Encode(values);
  for (const char* password : {"wrong", "Right", "right ", ""}) {
    SCOPED_TRACE(password);
    const TRecordImage other = MakeImage(kThreeFields, TSecret(password));
    EXPECT_EQ(MessageOf([&] { other.Decode(bytes.data(), bytes.size()); }), kCrcError);
  }
  // A plain reading of an enciphered record sees ciphertext, not the values.
  EXPECT_NE(MakeImage(kThreeFields).Decode(bytes.data(), bytes.size()), values);
}

TEST(RecordImage, RefusesWrongSizes) {
  const TRecordImage image = MakeImage(kThreeFields);
  const TRecordImage every = MakeImage(kEveryType);
  const std::vector<uint8_t> bytes(70, 0);
  for (size_t n : {0, 1, 64, 66, 70}) {
    EXPECT_EQ(MessageOf([&] { image.Decode(bytes.data(), n); }),
              "Error in TRecordImage.Decode - record image of " + std::to_string(n) +
                  " bytes, record size 65 !");
  }
  EXPECT_EQ(MessageOf([&] { every.Encode({1, {TFieldValue{}}}); }),
            "Error in TRecordImage.Encode - 1 values for 18 fields !");
  struct Case {
    size_t field;
    std::string bytes;
    std::string takes;
  };
  const Case kCases[] = {
      {0, "0123456789A", "at most 10"},          {2, "123", "exactly 4"},
      {8, "123456789", "exactly 8"},             {12, "x", "no bytes"},
      {16, "abc", "an even count of at most 10"}, {16, "abcdefghijkl", "an even count of at most 10"},
  };
  for (const Case& c : kCases) {
    TRecordValues values = AllNull(kEveryType);
    values.Fields[c.field] = Value(c.bytes);
    EXPECT_EQ(MessageOf([&] { every.Encode(values); }),
              "Error in TRecordImage.Encode - value of field \"" + kEveryType[c.field].Name +
                  "\" has " + std::to_string(c.bytes.size()) + " bytes, the field takes " +
                  c.takes + " !");
  }
}

}  // namespace
}  // namespace norvane

// The byte layouts of the table header, field and index descriptions, the
// field type table, the record geometry and the version rules, checked
// against hand-written bytes and figures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/tables/field_types.h"
#include "engine/tables/index_header.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/table_header.h"
#include "engine/tables/table_version.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;

TEST(TableFormat, TableHeaderBytes) {
  TTableHeader header;
  header.LastId = 0x01020304;
  header.RowIdName = "id";
  header.FieldCount = 0x00050403;
  header.RecordCount = 7;
  header.Compression = 2;
  header.Encrypted = 1;
  header.ChangeCounter = 0x1122;
  std::vector<uint8_t> bytes(kTableHeaderSize, 0xEE);
  EncodeTableHeader(header, bytes.data());
  const std::vector<uint8_t> expected = {
      0x04, 0x03, 0x02, 0x01,                                      // last identifier
      0x02, 'i',  'd',  0,    0,    0,    0,    0,    0,    0,     // name: length, text
      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
      0x03, 0x04, 0x05,                                            // low bytes of the field count
      0x03, 0x04, 0x05, 0x00,                                      // field count
      0x07, 0x00, 0x00, 0x00,                                      // RecordCount
      0xEE, 0xEE, 0xEE, 0xEE,                                      // reserved: untouched
      0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x01, 0x40,              // 2.2
      0x00, 0x02, 0x01, 0x22,                                      // reserved, compression, encrypted, filler
      0x22, 0x11, 0x00, 0x00};                                     // change counter
  EXPECT_EQ(bytes, expected);
  TTableHeader back;
  ASSERT_TRUE(DecodeTableHeader(bytes.data(), back));
  EXPECT_EQ(back.LastId, header.LastId);
  EXPECT_EQ(back.RowIdName, "id");
  EXPECT_EQ(back.FieldCount, header.FieldCount);
  EXPECT_EQ(back.RecordCount, 7);
  EXPECT_EQ(back.Version, 2.2);
  EXPECT_EQ(back.Compression, 2);
  EXPECT_EQ(back.Encrypted, 1);
  EXPECT_EQ(back.ChangeCounter, 0x1122);
}

TEST(TableFormat, FieldDescriptionBytes) {
  std::vector<uint8_t> bytes(kFieldHeaderSize, 0xEE);
  EncodeFieldHeader({"Title", ftString, 101, true}, bytes.data());
  const std::vector<uint8_t> expected = {
      0x05, 'T',  'i',  't',  'l',  'e',  0,    0,    0,    0,    0,  // name
      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
      0x01,                                                         // type
      0xEE, 0xEE,                                                   // filler: untouched
      0x65, 0x00, 0x00, 0x00,                                       // stored size
      0x01, 0x00,                                                   // required, filler
      0xEE, 0xEE};                                                  // filler: untouched
  EXPECT_EQ(bytes, expected);
  TFieldHeader back;
  ASSERT_TRUE(DecodeFieldHeader(bytes.data(), back));
  EXPECT_EQ(back.Name, "Title");
  EXPECT_EQ(back.Type, ftString);
  EXPECT_EQ(back.Size, 101);
  EXPECT_TRUE(back.Required);
  bytes[0] = 21;  // a length beyond the capacity
  EXPECT_FALSE(DecodeFieldHeader(bytes.data(), back));
}

TEST(TableFormat, NamesAreNeverCutToTheStoredCapacity) {
  std::vector<uint8_t> bytes(kTableHeaderSize, 0);
  EXPECT_EQ(MessageOf([&] { EncodeFieldHeader({std::string(20, 'n'), ftInteger, 4, false}, bytes.data()); }),
            "(no error)");
  const std::string longName(21, 'n');
  EXPECT_EQ(MessageOf([&] { EncodeFieldHeader({longName, ftInteger, 4, false}, bytes.data()); }),
            "Name \"" + longName + "\" has more than 20 characters.");
  TTableHeader header;
  header.RowIdName = longName;
  EXPECT_EQ(MessageOf([&] { EncodeTableHeader(header, bytes.data()); }),
            "Name \"" + longName + "\" has more than 20 characters.");
}

struct TTypeCase {
  int code;
  int64_t sizeForDeclared10;
  bool indexable;
  bool largeValue;
};
const TTypeCase kTypeCases[] = {
    {ftString, 11, true, false},  {ftSmallint, 2, true, false},   {ftInteger, 4, true, false},
    {ftWord, 2, true, false},     {ftBoolean, 2, true, false},    {ftFloat, 8, true, false},
    {ftCurrency, 8, true, false}, {ftBCD, 8, true, false},        {ftDate, 8, true, false},
    {ftTime, 8, true, false},     {ftDateTime, 8, true, false},   {ftBytes, 10, false, false},
    {ftBlob, 0, false, true},     {ftMemo, 0, false, true},       {ftGraphic, 0, false, true},
    {ftFmtMemo, 0, false, true},  {ftWideString, 12, true, false}, {ftLargeint, 8, true, false},
};

TEST(TableFormat, FieldTypeCodesAndStoredSizes) {
  for (const TTypeCase& c : kTypeCases) {
    SCOPED_TRACE(c.code);
    EXPECT_TRUE(IsStoredFieldType(c.code));
    EXPECT_EQ(StoredSizeOf(c.code, 10), c.sizeForDeclared10);
    EXPECT_EQ(IsIndexableType(c.code), c.indexable);
    EXPECT_EQ(IsLargeValueType(c.code), c.largeValue);
    EXPECT_TRUE(IsValidStoredSize(c.code, c.sizeForDeclared10));
  }
  int stored = 0;
  for (int code = 0; code < 256; ++code) stored += IsStoredFieldType(code) ? 1 : 0;
  EXPECT_EQ(stored, static_cast<int>(std::size(kTypeCases)));
  EXPECT_FALSE(IsStoredFieldType(ftAutoInc));  // the row identifier is not a description
  // Fixed sizes are exact; sized types need their terminator's room at least.
  EXPECT_FALSE(IsValidStoredSize(ftInteger, 8));
  EXPECT_FALSE(IsValidStoredSize(ftMemo, 4));
  EXPECT_FALSE(IsValidStoredSize(ftString, 0));
  EXPECT_FALSE(IsValidStoredSize(ftBytes, -3));
}

struct TGeometryCase {
  std::vector<TFieldHeader> fields;
  int32_t dataSize, nullBytes, tail, recordSize, nullBitsAt, checkAt, dataStart;
};

TEST(TableFormat, RecordGeometry) {
  const std::vector<TFieldHeader> blobs(200, TFieldHeader{"b", ftBlob, 0, false});
  const TGeometryCase cases[] = {
      {{}, 0, 0, 32, 32, 4, 4, 56},
      {{{"s", ftString, 11, false}}, 11, 1, 32, 43, 15, 16, 88},
      {{{"a", ftInteger, 4, false}, {"b", ftString, 21, false}, {"c", ftDate, 8, false}},
       33, 1, 32, 65, 37, 38, 152},
      {blobs, 0, 25, 42, 42, 4, 29, 56 + 32 * 200},
  };
  for (const TGeometryCase& c : cases) {
    SCOPED_TRACE(c.fields.size());
    const TRecordGeometry g = ComputeRecordGeometry(c.fields, "OpenTable");
    EXPECT_EQ(g.DataSize, c.dataSize);
    EXPECT_EQ(g.NullBytes, c.nullBytes);
    EXPECT_EQ(g.TailSize, c.tail);
    EXPECT_EQ(g.RecordSize, c.recordSize);
    EXPECT_EQ(g.RowIdOffset, c.dataSize);
    EXPECT_EQ(g.NullBitsOffset, c.nullBitsAt);
    EXPECT_EQ(g.CheckOffset, c.checkAt);
    EXPECT_EQ(g.DataStart, c.dataStart);
  }
  const TRecordGeometry three = ComputeRecordGeometry(cases[2].fields, "OpenTable");
  EXPECT_EQ(three.FieldOffsets, (std::vector<int32_t>{0, 4, 25}));
}

TEST(TableFormat, RecordSizeLimits) {
  struct Case {
    int32_t bytesSize;
    std::string message;
  };
  const Case cases[] = {
      {65495, "(no error)"},  // record 65527, buffer exactly 65535
      {65496, "Error in TDeziDataManager.CreateTable - record too large: data size = 65496, "
              "record buffer = 65536, limit = 65535 !"},
      {INT32_MAX, "Error in TDeziDataManager.CreateTable - record too large: data size = "
                  "2147483647, record buffer = 2147483687, limit = 65535 !"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MessageOf([&] { ComputeRecordGeometry({{"b", ftBytes, c.bytesSize, false}}, "CreateTable"); }),
              c.message);
}

TEST(TableFormat, VersionVerdictsAndText) {
  struct Case {
    double version;
    TVersionVerdict verdict;
    const char* text;
  };
  const Case cases[] = {
      {2.2, TVersionVerdict::Current, "2.20"},      {2.1995, TVersionVerdict::Current, "2.20"},
      {2.21, TVersionVerdict::Refuse, "2.21"},      {2.15, TVersionVerdict::Upgrade, "2.15"},
      {1.24, TVersionVerdict::Upgrade, "1.24"},     {1.23, TVersionVerdict::Refuse, "1.23"},
      {0.0, TVersionVerdict::Refuse, "0.00"},       {-3.0, TVersionVerdict::Refuse, "-3.00"},
      {std::numeric_limits<double>::quiet_NaN(), TVersionVerdict::Refuse, "nan"},
      {std::numeric_limits<double>::infinity(), TVersionVerdict::Refuse, "inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(JudgeTableVersion(c.version), c.verdict);
    EXPECT_EQ(FormatTableVersion(c.version), c.text);
  }
  EXPECT_EQ(TableVersionMessage("db/Article", 2.21),
            "Error in TDeziDataManager.OpenTable - Invalid db engine version in file db/Article.dat "
            "(version = 2.21, internalCurrentVersion = 2.20) !");
}

TEST(TableFormat, IndexHeaderAndDescriptionBytes) {
  uint8_t head[kIndexFileHeaderSize];
  EncodeIndexFileHeader({9, 2, 2.2}, head);
  EXPECT_EQ(std::vector<uint8_t>(head, head + 16),
            (std::vector<uint8_t>{9, 0, 0, 0, 2, 0, 0, 0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x01, 0x40}));
  TIndexFileHeader headBack;
  DecodeIndexFileHeader(head, headBack);
  EXPECT_EQ(headBack.ChangeCounter, 9);
  EXPECT_EQ(headBack.IndexCount, 2);

  TIndexDescription index;
  index.Name = "@@Name";
  index.KeyFields = {2, -1};
  index.Ascending = {true, false};
  index.CaseInsensitive = {true, false};
  index.WholeCaseInsensitive = true;
  index.Options = ixUnique | ixCaseInsensitive;
  std::vector<uint8_t> bytes;
  EncodeIndexDescription(index, true, bytes);
  const std::vector<uint8_t> expected = {
      0x06, '@', '@', 'N', 'a', 'm', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // name
      0x02, 0x00, 0x00, 0x00,                                                         // k
      0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,                                 // key fields
      0x01, 0x01,                                                   // ascending bits, case bits
      0x01, 0x00, 0x0A};                                            // case, descending, options
  EXPECT_EQ(bytes, expected);
  for (bool withOptions : {true, false}) {
    std::vector<uint8_t> coded;
    EncodeIndexDescription(index, withOptions, coded);
    EXPECT_EQ(coded.size(), expected.size() - (withOptions ? 0 : 1));
    TIndexDescription back;
    size_t used = 0;
    ASSERT_TRUE(DecodeIndexDescription(coded.data(), coded.size(), withOptions, 3, back, used));
    EXPECT_EQ(used, coded.size());
    EXPECT_EQ(back.Name, index.Name);
    EXPECT_EQ(back.KeyFields, index.KeyFields);
    EXPECT_EQ(back.Ascending, index.Ascending);
    EXPECT_EQ(back.CaseInsensitive, index.CaseInsensitive);
    EXPECT_TRUE(back.WholeCaseInsensitive);
    EXPECT_FALSE(back.WholeDescending);
    EXPECT_EQ(back.Options, withOptions ? index.Options : 0);
  }
}

TEST(TableFormat, DamagedIndexDescriptionsAreRefused) {
  TIndexDescription index;
  index.Name = "ix";
  index.KeyFields = {0};
  index.Ascending = {true};
  index.CaseInsensitive = {false};
  std::vector<uint8_t> good;
  EncodeIndexDescription(index, true, good);
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
    size_t available;
    int32_t fieldCount;
  };
  const Case cases[] = {
      {"name longer than its capacity", 0, 21, good.size(), 1},
      {"no key fields", 21, 0, good.size(), 1},
      {"more keys than fields", 21, 3, good.size(), 1},
      {"negative key count", 24, 0x80, good.size(), 1},
      {"key field beyond the fields", 25, 1, good.size(), 1},
      {"key field below -1", 25, 0xFE, good.size(), 1},
      {"bytes cut short", 0, 2, good.size() - 1, 1},
      {"header cut short", 0, 2, 20, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    bytes[c.at] = c.value;
    if (c.at == 25 && c.value == 0xFE) bytes[26] = bytes[27] = bytes[28] = 0xFF;
    TIndexDescription back;
    size_t used = 99;
    EXPECT_FALSE(DecodeIndexDescription(bytes.data(), c.available, true, c.fieldCount, back, used));
    EXPECT_EQ(used, 99u);
  }
}

}  // namespace
}  // namespace norvane

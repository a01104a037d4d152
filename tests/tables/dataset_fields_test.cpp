// The field classes over the in-memory cursor: the stored bytes each type
// writes (the record format's encodings), the typed getters and setters and
// their conversions, and large values through streams.
#include <gtest/gtest.h>

#include "engine/tables/field_text.h"
#include "engine/tables/fields_blob.h"
#include "engine/tables/fields_text.h"
#include "tests/tables/dataset_test_support.h"

namespace norvane::testing {
namespace {

std::string Hex(const std::vector<uint8_t>& image, size_t from, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = from; i < from + n; ++i) {
    s.push_back(digits[image[i] >> 4]);
    s.push_back(digits[image[i] & 15]);
  }
  return s;
}

struct TEncodingCase {
  const char* Name;
  TFieldType Type;
  int32_t Size;
  std::function<void(TField&)> Set;
  const char* StoredHex;  // the value bytes after the presence byte
  const char* Text;       // AsString afterwards
};

const TEncodingCase kEncodings[] = {
    {"string", ftString, 5, [](TField& f) { f.SetAsString("ab\xC0"); }, "6162c00000", "ab\xC0"},
    {"string cut to size", ftString, 3, [](TField& f) { f.SetAsString("abcdef"); }, "61626300", "abc"},
    {"wide string", ftWideString, 4, [](TField& f) { f.SetAsString("a\xC0"); }, "610010040000", "a\xC0"},
    {"smallint", ftSmallint, 0, [](TField& f) { f.SetAsInteger(-2); }, "feff", "-2"},
    {"integer", ftInteger, 0, [](TField& f) { f.SetAsInteger(0x01020304); }, "04030201", "16909060"},
    {"word", ftWord, 0, [](TField& f) { f.SetAsInteger(65535); }, "ffff", "65535"},
    {"largeint", ftLargeint, 0, [](TField& f) { f.SetAsLargeInt(-1); }, "ffffffffffffffff", "-1"},
    {"boolean", ftBoolean, 0, [](TField& f) { f.SetAsBoolean(true); }, "0100", "True"},
    {"boolean from text", ftBoolean, 0, [](TField& f) { f.SetAsString("fALSE"); }, "0000", "False"},
    {"float", ftFloat, 0, [](TField& f) { f.SetAsFloat(1.5); }, "000000000000f83f", "1.5"},
    {"float from comma text", ftFloat, 0, [](TField& f) { f.SetAsString("0,25"); }, "000000000000d03f",
     "0.25"},
    {"currency", ftCurrency, 0, [](TField& f) { f.SetAsFloat(2); }, "0000000000000040", "2"},
    {"bcd", ftBCD, 0, [](TField& f) { f.SetAsString("-2"); }, "00000000000000c0", "-2"},
    // 30 December 1899 is day 693594 = 0x000A955A.
    {"date", ftDate, 0, [](TField& f) { f.SetAsDateTime(693594.75); }, "5a950a0000000000", "30.12.1899"},
    {"date from text", ftDate, 0, [](TField& f) { f.SetAsString("01.01.0001"); }, "0100000000000000",
     "01.01.0001"},
    // 06:00 is 21600000 ms = 0x01499700.
    {"time", ftTime, 0, [](TField& f) { f.SetAsDateTime(0.25); }, "0097490100000000", "06:00:00"},
    // Day 2 at noon: 2 * 86400000 + 43200000 = 216000000 as a float.
    {"date-time", ftDateTime, 0, [](TField& f) { f.SetAsDateTime(2.5); }, "00000000ccbfa941",
     "02.01.0001 12:00:00"},
    {"bytes", ftBytes, 3, [](TField& f) { f.SetAsString("\x01\x02"); }, "010200", ""},
};

class FieldEncodings : public ::testing::TestWithParam<TEncodingCase> {};

TEST_P(FieldEncodings, SetterWritesTheStoredForm) {
  const TEncodingCase& c = GetParam();
  TMemoryDataSet ds({{ftInteger, "N"}, {c.Type, "F", c.Size}});
  ds.Open();
  ds.Append();
  TField& field = ds.FieldByName("F");
  EXPECT_TRUE(field.IsNull());
  c.Set(field);
  EXPECT_FALSE(field.IsNull());
  ds.Post();
  ASSERT_EQ(ds.Rows.size(), 1u);
  const std::string hex = c.StoredHex;
  EXPECT_EQ(ds.Rows[0].Image[5], 1);  // the presence byte after N's five bytes
  EXPECT_EQ(Hex(ds.Rows[0].Image, 6, hex.size() / 2), hex);
  EXPECT_EQ(field.DataType(), c.Type);
  if (c.Type != ftBytes) {
    EXPECT_EQ(field.AsString(), c.Text);
  }
}

INSTANTIATE_TEST_SUITE_P(Types, FieldEncodings, ::testing::ValuesIn(kEncodings), TCaseName());

TEST(Fields, ConversionsBetweenKinds) {
  TMemoryDataSet ds({{ftInteger, "I"}, {ftString, "S", 10}, {ftFloat, "X"}, {ftBoolean, "B"},
                     {ftDateTime, "DT"}, {ftSmallint, "SI"}});
  ds.Open();
  ds.Append();
  ds.FieldByName("I").SetAsString(" 42 ");
  EXPECT_EQ(ds.FieldByName("I").AsFloat(), 42.0);
  EXPECT_TRUE(ds.FieldByName("I").AsBoolean());
  ds.FieldByName("I").SetAsFloat(2.6);
  EXPECT_EQ(ds.FieldByName("I").AsInteger(), 3);
  ds.FieldByName("S").SetAsInteger(-17);
  EXPECT_EQ(ds.FieldByName("S").AsLargeInt(), -17);
  ds.FieldByName("S").SetAsFloat(0.5);
  EXPECT_EQ(ds.FieldByName("S").AsFloat(), 0.5);
  ds.FieldByName("X").SetAsInteger(7);
  EXPECT_EQ(ds.FieldByName("X").AsString(), "7");
  ds.FieldByName("DT").SetAsString("31.12.2024 23:59:59");
  EXPECT_EQ(ds.FieldByName("DT").AsString(), "31.12.2024 23:59:59");
  EXPECT_DOUBLE_EQ(ds.FieldByName("DT").AsDateTime(),
                   DayNumberOf(2024, 12, 31) + 86399000.0 / kMillisecondsPerDay);
  const std::pair<const char*, std::function<void()>> refusals[] = {
      {"'abc' is not a valid value for field 'I'", [&] { ds.FieldByName("I").SetAsString("abc"); }},
      {"Value 40000 is out of range for field 'SI'", [&] { ds.FieldByName("SI").SetAsInteger(40000); }},
      {"Field 'B' cannot be read as a date-time", [&] { ds.FieldByName("B").AsDateTime(); }},
      {"Field 'I' cannot be written as a date-time", [&] { ds.FieldByName("I").SetAsDateTime(1); }},
      {"'yes' is not a valid value for field 'B'", [&] { ds.FieldByName("B").SetAsString("yes"); }},
      {"'31.02.2024' is not a valid value for field 'DT'",
       [&] { ds.FieldByName("DT").SetAsString("31.02.2024"); }},
  };
  for (const auto& [message, op] : refusals) {
    try {
      op();
      ADD_FAILURE() << "accepted: " << message;
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
  ds.FieldByName("S").SetAsString("");
  EXPECT_TRUE(ds.FieldByName("S").IsNull());
  ds.FieldByName("I").Clear();
  EXPECT_TRUE(ds.FieldByName("I").IsNull());
  EXPECT_EQ(ds.FieldByName("I").AsInteger(), 0);
}

TEST(Fields, NamesNumbersAndSizes) {
  TMemoryDataSet ds({{ftString, "Title", 30, true}, {ftWideString, "Wide", 8}, {ftMemo, "Notes"},
                     {ftAutoInc, "id"}});
  ds.Open();
  ASSERT_EQ(ds.Fields().Count(), 4);
  const struct {
    const char* Name;
    TFieldType Type;
    int32_t FieldNo, Size, DataSize;
    bool Required, Blob;
  } expected[] = {{"Title", ftString, 1, 30, 31, true, false},
                  {"Wide", ftWideString, 2, 8, 10, false, false},
                  {"Notes", ftMemo, 3, 0, 0, false, true},
                  {"id", ftAutoInc, 4, 0, 4, false, false}};
  for (const auto& e : expected) {
    TField& f = ds.FieldByName(e.Name);
    EXPECT_EQ(f.FieldName(), e.Name);
    EXPECT_EQ(f.DataType(), e.Type);
    EXPECT_EQ(f.FieldNo(), e.FieldNo);
    EXPECT_EQ(f.Size(), e.Size);
    EXPECT_EQ(f.DataSize(), e.DataSize);
    EXPECT_EQ(f.Required(), e.Required);
    EXPECT_EQ(f.IsBlob(), e.Blob);
  }
  EXPECT_EQ(&ds.FieldByName("TITLE"), &ds.Fields()[0]);
  try {
    ds.FieldByName("Missing");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'Missing' not found");
  }
}

TEST(Fields, WideStringKeepsCharactersTheCodePageLacks) {
  TMemoryDataSet ds({{ftWideString, "W", 6}});
  ds.Open();
  ds.Append();
  auto& w = static_cast<TWideStringField&>(ds.FieldByName("W"));
  w.SetAsWideString(u"a\u4e2d\u0416");
  EXPECT_EQ(w.AsWideString(), u"a\u4e2d\u0416");
  EXPECT_EQ(w.AsString(), "a?\xC6");  // U+0416 is 0xC6 in code page 1251
}

TEST(Fields, RowIdentifierReadsTheBookmark) {
  TMemoryDataSet ds({{ftInteger, "N"}, {ftAutoInc, "id"}});
  ds.Open();
  ds.AppendRecord({1});
  ds.AppendRecord({2, 99});  // the cursor gives the identifier, not the caller
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 2);
  ds.First();
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 1);
}

TEST(Fields, LargeValuesGoThroughStreamsAndWaitForThePost) {
  TMemoryDataSet ds({{ftInteger, "N"}, {ftMemo, "Notes"}, {ftBlob, "Data"}});
  ds.Open();
  ds.AppendRecord({1, "first memo"});
  EXPECT_EQ(ds.FieldByName("Notes").AsString(), "first memo");
  EXPECT_TRUE(ds.FieldByName("Data").IsNull());
  ds.Edit();
  ds.FieldByName("Notes").SetAsString("changed");
  EXPECT_TRUE(ds.Modified());
  EXPECT_EQ(ds.FieldByName("Notes").AsString(), "changed");
  EXPECT_EQ(ds.Rows[0].Blobs[2], "first memo");  // nothing stored before the post
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("Notes").AsString(), "first memo");
  ds.Edit();
  ds.FieldByName("Data").SetAsString(std::string("\0\1\2", 3));
  ds.Post();
  EXPECT_EQ(ds.Rows[0].Blobs[3], std::string("\0\1\2", 3));
  EXPECT_EQ(static_cast<TBlobField&>(ds.FieldByName("Data")).BlobSize(), 3);
  EXPECT_THROW(ds.FieldByName("Notes").SetAsString("browse"), EDatabaseError);
}

}  // namespace
}  // namespace norvane::testing

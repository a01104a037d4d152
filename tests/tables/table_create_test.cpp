// Table creation: definitions refused with their messages before any file is
// made, the row identifier's choice, and a table of every field type that
// survives closing and reopening in each kind of store.
#include <gtest/gtest.h>

#include <regex>

#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_types.h"
#include "tests/support/error_message.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::MessageOf;

struct TDefinitionCase {
  const char* what;
  std::vector<TFieldDef> defs;
  std::string message;
};

TEST(TableCreate, BadDefinitionsAreRefusedBeforeAnyFileIsMade) {
  const std::string name18(18, 'f'), name19(19, 'f');
  const TDefinitionCase cases[] = {
      {"empty name", {{"", ftInteger, 0, false}}, "TDeziDataManager.CreateTable - field name is empty."},
      {"18 characters", {{name18, ftInteger, 0, false}}, "(no error)"},
      {"19 characters", {{name19, ftInteger, 0, false}},
       "Field name must have no more than 18 chars. Please shorten field name \"" + name19 + "\""},
      {"19-character row identifier", {{name19, ftAutoInc, 0, false}},
       "Field name must have no more than 18 chars. Please shorten field name \"" + name19 + "\""},
      {"string of size 0", {{"s", ftString, 0, false}}, "(no error)"},
      {"string of size -1", {{"s", ftString, -1, false}},
       "Error in TDeziDataManager.CreateTable - illegal string size !"},
      {"wide string of size -2", {{"w", ftWideString, -2, false}},
       "Error in TDeziDataManager.CreateTable - illegal wide string size !"},
      {"bytes of size 0", {{"b", ftBytes, 0, false}},
       "Error in TDeziDataManager.CreateTable - illegal ftBytes size !"},
      {"type 13", {{"x", 13, 0, false}}, "Error in TDeziDataManager.CreateTable - Unsupported DB type!"},
      {"type 0", {{"x", 0, 0, false}}, "Error in TDeziDataManager.CreateTable - Unsupported DB type!"},
      {"type 26", {{"x", 26, 0, false}}, "Error in TDeziDataManager.CreateTable - Unsupported DB type!"},
      {"record over the limit", {{"a", ftInteger, 0, false}, {"s", ftString, 65492, false}},
       "Error in TDeziDataManager.CreateTable - record too large: data size = 65497, "
       "record buffer = 65537, limit = 65535 !"},
      {"string of the largest size", {{"s", ftString, INT32_MAX, false}},
       "Error in TDeziDataManager.CreateTable - record too large: data size = 2147483647, "
       "record buffer = 2147483687, limit = 65535 !"},
  };
  for (const TDefinitionCase& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryPlainFileSystem store("mem");
    TDeziDataManager table(store, "T", false);
    EXPECT_EQ(MessageOf([&] { table.CreateTable(c.defs, 0, false); }), c.message);
    const bool created = c.message == "(no error)";
    EXPECT_EQ(store.FileExists("T.dat"), created);
    EXPECT_EQ(store.FileExists("T.idx"), created);
    EXPECT_EQ(table.IsOpen(), created);
  }
  TMemoryPlainFileSystem store("mem");
  TDeziDataManager table(store, "T", false);
  EXPECT_EQ(MessageOf([&] { table.CreateTable({}, 4, false); }),
            "Error in TDeziDataManager.CreateTable - invalid compression mode 4 !");
  EXPECT_FALSE(store.FileExists("T.dat"));
}

TEST(TableCreate, RowIdentifierChoice) {
  struct Case {
    const char* what;
    std::vector<TFieldDef> defs;
    const char* rowIdPattern;
    std::vector<std::pair<std::string, int>> fields;  // name, stored type
  };
  const Case cases[] = {
      {"no fields", {}, "id", {}},
      {"plain fields", {{"N", ftInteger, 0, false}}, "id", {{"N", ftInteger}}},
      {"first automatic field", {{"A", ftString, 5, false}, {"Key", ftAutoInc, 0, false},
                                 {"Two", ftAutoInc, 0, false}},
       "Key", {{"A", ftString}, {"Two", ftInteger}}},
      {"a field named ID", {{"ID", ftString, 5, false}}, "id[0-9]{1,5}", {{"ID", ftString}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryPlainFileSystem store("mem");
    TDeziDataManager table(store, "T", false);
    table.CreateTable(c.defs, 0, false);
    EXPECT_TRUE(std::regex_match(table.Header().RowIdName, std::regex(c.rowIdPattern)))
        << table.Header().RowIdName;
    std::vector<std::pair<std::string, int>> fields;
    for (const TFieldHeader& f : table.Fields()) fields.emplace_back(f.Name, f.Type);
    EXPECT_EQ(fields, c.fields);
    EXPECT_EQ(table.InternalGetFieldNo(table.Header().RowIdName), -1);
  }
}

// One field of every stored type, and an automatic one that becomes the row
// identifier, with the stored size each must get.
const std::vector<TFieldDef> kEveryType = {
    {"Str", ftString, 10, true},       {"Small", ftSmallint, 0, false}, {"Int", ftInteger, 0, false},
    {"Word", ftWord, 0, false},        {"Bool", ftBoolean, 0, false},   {"Float", ftFloat, 0, false},
    {"Money", ftCurrency, 0, false},   {"Bcd", ftBCD, 0, false},        {"Day", ftDate, 0, false},
    {"Time", ftTime, 0, false},        {"Stamp", ftDateTime, 0, false}, {"Raw", ftBytes, 7, false},
    {"RowNo", ftAutoInc, 0, false},    {"Blob", ftBlob, 0, false},      {"Memo", ftMemo, 0, false},
    {"Picture", ftGraphic, 0, false},  {"Rich", ftFmtMemo, 0, false},   {"Wide", ftWideString, 5, true},
    {"Big", ftLargeint, 0, false},
};
const int32_t kEveryTypeSizes[] = {11, 2, 4, 2, 2, 8, 8, 8, 8, 8, 8, 7, 0, 0, 0, 0, 7, 8};

// Values of record r for the stored fields: every third one null, the rest
// filling what the field takes. Large-value fields are null: an append
// without values gives them none, whatever the image said.
TRecordValues EveryTypeValues(const std::vector<TFieldHeader>& fields, int r) {
  TRecordValues values;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldHeader& field = fields[i];
    TFieldValue value{(i + r) % 3 == 0 || IsLargeValueType(field.Type), {}};
    if (!value.Null && field.Type == ftString) value.Bytes = "s" + std::to_string(r);
    else if (!value.Null && field.Type == ftWideString) value.Bytes = std::string("w\0\xC9\x04", 4);
    else if (!value.Null && field.Size > 0) value.Bytes.assign(static_cast<size_t>(field.Size), static_cast<char>(r * 7 + i));
    values.Fields.push_back(value);
  }
  return values;
}

class TEveryTypeTable : public ::testing::TestWithParam<testing::TStoreKind> {};

TEST_P(TEveryTypeTable, SurvivesCloseAndReopen) {
  testing::TTableStore stores(GetParam());
  std::vector<TRecordValues> written;
  {
    TDeziDataManager table(stores.Store(), "Every", false);
    table.SetPassword(TSecret("key"));
    table.CreateTable(kEveryType, 3, true);
    for (int r = 0; r < 3; ++r) {
      written.push_back(EveryTypeValues(table.Fields(), r));
      std::vector<uint8_t> image = table.EncodeRecord(written.back());
      written.back().RowId = r + 1;
      table.aaAddRecord(image.data());
    }
    table.CloseTable();
  }
  stores.Reopen();
  for (const char* wrong : {"", "kex"}) {
    TDeziDataManager refused(stores.Store(), "Every", false);
    refused.SetPassword(TSecret(wrong));
    EXPECT_EQ(MessageOf([&] { refused.Open(); }), "TDeziDataset.OpenTable - invalid password.");
  }
  TDeziDataManager table(stores.Store(), "Every", false);
  table.SetPassword(TSecret("key"));
  ASSERT_TRUE(table.Open());
  for (int r = 0; r < 3; ++r) EXPECT_EQ(table.DecodeRecord(table.RecordPtr(r)), written[static_cast<size_t>(r)]);
  EXPECT_FALSE(table.ReadOnly());
  EXPECT_EQ(table.Header().RowIdName, "RowNo");
  EXPECT_EQ(table.Header().Version, 2.2);
  EXPECT_EQ(table.Header().Compression, 3);
  EXPECT_EQ(table.Header().Encrypted, 1);
  EXPECT_EQ(table.Header().RecordCount, 3);
  ASSERT_EQ(table.Fields().size(), std::size(kEveryTypeSizes));
  int32_t offset = 0;
  size_t defAt = 0;
  for (size_t i = 0; i < table.Fields().size(); ++i, ++defAt) {
    if (kEveryType[defAt].Type == ftAutoInc) ++defAt;
    const TFieldHeader& field = table.Fields()[i];
    SCOPED_TRACE(field.Name);
    EXPECT_EQ(field.Name, kEveryType[defAt].Name);
    EXPECT_EQ(field.Type, kEveryType[defAt].Type);
    EXPECT_EQ(field.Size, kEveryTypeSizes[i]);
    EXPECT_EQ(field.Required, kEveryType[defAt].Required);
    EXPECT_EQ(table.Geometry().FieldOffsets[i], offset);
    EXPECT_EQ(table.InternalGetFieldNo(field.Name), static_cast<int32_t>(i));
    offset += kEveryTypeSizes[i];
  }
  EXPECT_EQ(table.Geometry().DataSize, 91);
  EXPECT_EQ(table.Geometry().RecordSize, 91 + 32);
  EXPECT_EQ(table.Geometry().DataStart, 56 + 32 * 18);
  EXPECT_EQ(table.Geometry().LargeValueFields, 4);
  EXPECT_EQ(table.InternalGetFieldNo("rowno"), -1);
  EXPECT_EQ(MessageOf([&] { table.InternalGetFieldNo("Nope"); }),
            "Error in TDeziDataManager.InternalGetFieldNo - field \"Nope\" not found!");
  for (const char* extension : {".dat", ".idx", ".bif", ".bdf"})
    EXPECT_TRUE(stores.Store().FileExists(std::string("Every") + extension)) << extension;
  table.CloseTable();
  EXPECT_EQ(testing::ReadStoreFile(stores.Store(), "Every.dat").size(), 56u + 32 * 18 + 3 * 123);
}

INSTANTIATE_TEST_SUITE_P(Stores, TEveryTypeTable,
                         ::testing::Values(testing::TStoreKind::Folder,
                                           testing::TStoreKind::Container,
                                           testing::TStoreKind::Memory));

TEST(TableCreate, HeaderBytesOfTheThreeFieldExample) {
  TMemoryPlainFileSystem store("mem");
  TDeziDataManager table(store, "T", false);
  table.CreateTable({{"A", ftInteger, 0, true}, {"B", ftString, 20, false}, {"C", ftDate, 0, false}},
                    0, false);
  EXPECT_EQ(table.Geometry().RecordSize, 65);
  EXPECT_EQ(table.Geometry().RowIdOffset, 33);
  EXPECT_EQ(table.Geometry().NullBitsOffset, 37);
  EXPECT_EQ(table.Geometry().CheckOffset, 38);
  table.CloseTable();
  const std::vector<uint8_t> dat = testing::ReadStoreFile(store, "T.dat");
  ASSERT_EQ(dat.size(), 152u);
  const std::vector<uint8_t> header = {
      0, 0, 0, 0, 2, 'i', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      3, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x01, 0x40, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(dat.begin(), dat.begin() + 56), header);
  const std::vector<uint8_t> fieldB = {
      1, 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      ftString, 0, 0, 21, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(dat.begin() + 88, dat.begin() + 120), fieldB);
  EXPECT_EQ(dat[56 + 28], 1);  // "A" is required
  EXPECT_EQ(dat[120 + 21], ftDate);
  // Five indexes ("@id", "@A", "@@B", "@B", "@C") of one key field each,
  // 34 bytes apiece, and no arrays.
  const std::vector<uint8_t> idx = testing::ReadStoreFile(store, "T.idx");
  ASSERT_EQ(idx.size(), 16u + 5 * 34);
  EXPECT_EQ(std::vector<uint8_t>(idx.begin(), idx.begin() + 16),
            (std::vector<uint8_t>{0, 0, 0, 0, 5, 0, 0, 0, 0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0x01, 0x40}));
  EXPECT_FALSE(store.FileExists("T.bif"));
}

}  // namespace
}  // namespace norvane

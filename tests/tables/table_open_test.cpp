// Opening a table: every damaged header or field description refused with an
// engine error and the file left as it was, the version rules, read-only
// tables never written, and the cut of a file longer than its records.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "engine/common/byte_codec.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/platform/system_file.h"
#include "engine/tables/field_types.h"
#include "engine/tables/index_header.h"
#include "tests/support/error_message.h"
#include "tests/tables/table_store.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::ReadStoreFile;
using testing::WriteStoreFile;
using TBytes = std::vector<uint8_t>;

// "T": an integer "N" and a string "S" of 10: data start 120, record size 47.
// With largeValues a memo "M" follows (data start 152).
TBytes MakeTable(TMemoryPlainFileSystem& store, bool largeValues = false) {
  std::vector<TFieldDef> defs = {{"N", ftInteger, 0, false}, {"S", ftString, 10, false}};
  if (largeValues) defs.push_back({"M", ftMemo, 0, false});
  TDeziDataManager table(store, "T", false);
  table.CreateTable(defs, 0, false);
  table.CloseTable();
  return ReadStoreFile(store, "T.dat");
}

std::string Damaged(const std::string& what) {
  return "Error in TDeziDataManager.OpenTable - table file \"T.dat\" is damaged: " + what + ".";
}

struct TDamageCase {
  const char* what;
  std::function<void(TBytes&)> damage;
  std::string message;
};

TEST(TableOpen, DamagedHeadersAreRefusedAndLeftAsTheyAre) {
  const TDamageCase cases[] = {
      {"cut inside the header", [](TBytes& b) { b.resize(40); },
       Damaged("it is shorter than the table header (40 bytes)")},
      {"empty file", [](TBytes& b) { b.clear(); },
       Damaged("it is shorter than the table header (0 bytes)")},
      {"row identifier name too long", [](TBytes& b) { b[4] = 21; },
       Damaged("the row identifier's name is not a valid name")},
      {"row identifier name empty", [](TBytes& b) { b[4] = 0; },
       Damaged("the row identifier's name is not a valid name")},
      {"negative field count", [](TBytes& b) { PutI32LE(&b[28], -1); },
       Damaged("the field count -1 does not fit the file")},
      {"field count past the file", [](TBytes& b) { PutI32LE(&b[28], 3); },
       Damaged("the field count 3 does not fit the file")},
      {"huge field count", [](TBytes& b) { PutI32LE(&b[28], INT32_MAX); },
       Damaged("the field count 2147483647 does not fit the file")},
      {"negative record count", [](TBytes& b) { PutI32LE(&b[32], -5); },
       Damaged("the record count -5 is negative")},
      {"record count beyond any file", [](TBytes& b) { PutI32LE(&b[32], INT32_MAX); },
       Damaged("the record count 2147483647 is beyond what a table file can hold")},
      {"unknown compression", [](TBytes& b) { b[49] = 4; },
       Damaged("the compression or encryption byte is not a known mode")},
      {"unknown encryption", [](TBytes& b) { b[50] = 2; },
       Damaged("the compression or encryption byte is not a known mode")},
      {"field name too long", [](TBytes& b) { b[88] = 30; }, Damaged("field 1 has no valid name")},
      // 19 characters fit the stored name but not "@@" and the name in an
      // index name: such a table could never write its T.idx.
      {"field name past 18", [](TBytes& b) { b[88] = 19; }, Damaged("field 1 has no valid name")},
      {"row identifier name past 18", [](TBytes& b) { b[4] = 19; },
       Damaged("the row identifier's name is not a valid name")},
      {"field name empty", [](TBytes& b) { b[56] = 0; }, Damaged("field 0 has no valid name")},
      {"unknown type code", [](TBytes& b) { b[88 + 21] = 13; },
       Damaged("field 1 has the unknown type code 13")},
      {"automatic type stored", [](TBytes& b) { b[56 + 21] = ftAutoInc; },
       Damaged("field 0 has the unknown type code 14")},
      {"fixed size wrong", [](TBytes& b) { PutI32LE(&b[56 + 24], 5); },
       Damaged("field 0 has the size 5, impossible for type 3")},
      {"string of size 0", [](TBytes& b) { PutI32LE(&b[88 + 24], 0); },
       Damaged("field 1 has the size 0, impossible for type 1")},
      {"negative string size", [](TBytes& b) { PutI32LE(&b[88 + 24], INT32_MIN); },
       Damaged("field 1 has the size -2147483648, impossible for type 1")},
      {"string over the record limit", [](TBytes& b) { PutI32LE(&b[88 + 24], 65500); },
       "Error in TDeziDataManager.OpenTable - record too large: data size = 65504, record buffer = "
       "65544, limit = 65535 !"},
      {"string of the largest size", [](TBytes& b) { PutI32LE(&b[88 + 24], INT32_MAX); },
       "Error in TDeziDataManager.OpenTable - record too large: data size = 2147483651, record "
       "buffer = 2147483691, limit = 65535 !"},
  };
  for (const TDamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryPlainFileSystem store("mem");
    TBytes bytes = MakeTable(store);
    c.damage(bytes);
    WriteStoreFile(store, "T.dat", bytes);
    TDeziDataManager table(store, "T", false);
    EXPECT_EQ(MessageOf([&] { table.Open(); }), c.message);
    EXPECT_FALSE(table.IsOpen());
    EXPECT_TRUE(table.Fields().empty());
    EXPECT_EQ(ReadStoreFile(store, "T.dat"), bytes);
  }
}

struct TVersionCase {
  const char* what;
  double version;
  bool largeValues;
  bool readOnly;
  std::string message;  // empty: opens
  double versionAfter;  // in the file after the attempt
};

TEST(TableOpen, VersionRules) {
  const std::string support =
      "Please contact the support of the database engine to have the table converted.";
  const TVersionCase cases[] = {
      {"current", 2.2, false, false, "", 2.2},
      {"current, read-only", 2.2, true, true, "", 2.2},
      {"within a thousandth", 2.1995, true, false, "", 2.1995},
      {"newer", 2.21, false, false,
       "Error in TDeziDataManager.OpenTable - Invalid db engine version in file T.dat (version = "
       "2.21, internalCurrentVersion = 2.20) !", 2.21},
      {"older: upgraded", 2.15, false, false, "", 2.2},
      {"oldest: upgraded with its indexes", 1.24, false, false, "", 2.2},
      {"older, read-only", 2.15, false, true,
       "Error in TDeziDataManager.ConvertToCurrentTable - table is in ReadOnly mode!", 2.15},
      {"older with large values", 2.15, true, false, "Unsupported table format. " + support, 2.15},
      {"1.24 with large values", 1.24, true, false,
       "Error in TDeziDataManager.ConvertToCurrentTable - this table format is not supported, "
       "version = 1.24\n" + support, 1.24},
      {"before 1.24", 1.2, false, false,
       "Error in TDeziDataManager.OpenTable - Invalid db engine version in file T.dat (version = "
       "1.20, internalCurrentVersion = 2.20) !", 1.2},
      {"not a number", std::nan(""), false, false,
       "Error in TDeziDataManager.OpenTable - Invalid db engine version in file T.dat (version = "
       "nan, internalCurrentVersion = 2.20) !", std::nan("")},
  };
  for (const TVersionCase& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryPlainFileSystem store("mem");
    TBytes bytes = MakeTable(store, c.largeValues);
    PutF64LE(&bytes[40], c.version);
    PutU32LE(&bytes[36], 0xEFBEADDE);  // reserved: kept by a rewrite
    WriteStoreFile(store, "T.dat", bytes);
    TDeziDataManager table(store, "T", c.readOnly);
    EXPECT_EQ(MessageOf([&] { table.Open(); }), c.message.empty() ? "(no error)" : c.message);
    EXPECT_EQ(table.IsOpen(), c.message.empty());
    table.CloseTable();
    const TBytes after = ReadStoreFile(store, "T.dat");
    ASSERT_EQ(after.size(), bytes.size());
    const double version = GetF64LE(&after[40]);
    EXPECT_TRUE(version == c.versionAfter || (std::isnan(version) && std::isnan(c.versionAfter)));
    PutF64LE(&bytes[40], version);
    EXPECT_EQ(after, bytes);  // nothing but the version changed
  }
}

TEST(TableOpen, OnlyAWritableTableIsCutToItsRecords) {
  struct Case {
    testing::TStoreKind kind;
    bool readOnly;
    int extra;  // bytes past RecordCount records
    int32_t sizeAfter;
    int32_t countAfter;  // a shorter writable file keeps its whole records
    int32_t counterStep;  // the repair, and the identifier 0x5A5A5A5A read raising the last
  };
  const int32_t exact = 120 + 2 * 47;
  const Case cases[] = {
      {testing::TStoreKind::Memory, false, 30, exact, 2, 0},
      {testing::TStoreKind::Memory, true, 30, exact + 30, 2, 0},
      {testing::TStoreKind::Folder, false, 30, exact, 2, 0},
      {testing::TStoreKind::Folder, true, 30, exact + 30, 2, 0},
      {testing::TStoreKind::Container, true, 30, exact + 30, 2, 0},
      {testing::TStoreKind::Memory, true, -20, exact - 20, 2, 0},
      {testing::TStoreKind::Memory, false, -20, 120 + 47, 1, 1},
      {testing::TStoreKind::Folder, false, -47 - 46, 120 + 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 1000 + c.readOnly * 100 + c.extra);
    testing::TTableStore stores(c.kind);
    {
      TDeziDataManager table(stores.Store(), "T", false);
      table.CreateTable({{"N", ftInteger, 0, false}, {"S", ftString, 10, false}}, 0, false);
    }
    TBytes bytes = ReadStoreFile(stores.Store(), "T.dat");
    PutI32LE(&bytes[32], 2);
    // Two records with their own identifiers, 1 and 2, the last assigned.
    bytes.resize(static_cast<size_t>(exact), 0);
    PutI32LE(&bytes[0], 2);
    PutI32LE(&bytes[120 + 15], 1);
    PutI32LE(&bytes[120 + 47 + 15], 2);
    bytes.resize(static_cast<size_t>(exact + c.extra), 0x5A);
    WriteStoreFile(stores.Store(), "T.dat", bytes);
    stores.Reopen();
    TDeziDataManager table(stores.Store(), "T", c.readOnly);
    ASSERT_TRUE(table.Open());
    EXPECT_EQ(table.Header().RecordCount, c.readOnly ? std::min(2, (exact + c.extra - 120) / 47)
                                                     : c.countAfter);
    table.CloseTable();
    const TBytes after = ReadStoreFile(stores.Store(), "T.dat");
    EXPECT_EQ(after.size(), static_cast<size_t>(c.sizeAfter));
    EXPECT_EQ(GetI32LE(&after[32]), c.countAfter);
    // Nothing but the count (and the change counter with it) changed.
    EXPECT_TRUE(std::equal(after.begin() + 56, after.end(), bytes.begin() + 56));
    EXPECT_EQ(GetI32LE(&after[52]) - GetI32LE(&bytes[52]), c.counterStep);
  }
}

// T.idx's descriptions as the table keeps them: read at open in the table's
// format, found by name, left alone while T.idx still describes T.dat, and
// written back whole in the current format when it does not, or when an
// older table is upgraded. An incomplete list gives the automatic set.
TEST(TableOpen, IndexDescriptions) {
  TIndexDescription byName{"ByName", {1, -1}, {true, false}, {true, false}, false, false, ixUnique};
  TIndexDescription downN{"DownN", {0}, {false}, {false}, true, true, 0};
  struct Case {
    const char* name;
    double version;
    bool truncated;   // the file ends inside the second description
    bool readOnly;
    bool change;      // one record appended before closing
    std::vector<std::string> found;
    bool rewritten;   // T.idx replaced by header, descriptions and arrays
  };
  const std::vector<std::string> stored = {"ByName", "DownN"};
  const Case cases[] = {
      {"current, unchanged", 2.2, false, false, false, stored, false},
      {"current, changed", 2.2, false, false, true, stored, true},
      {"read-only", 2.2, false, true, false, stored, false},
      {"truncated list", 2.2, true, false, true, {"@id", "@N", "@@S", "@S"}, true},
      {"older, upgraded", 2.15, false, false, false, stored, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryPlainFileSystem store("mem");
    TBytes dat = MakeTable(store);
    PutF64LE(&dat[40], c.version);
    WriteStoreFile(store, "T.dat", dat);
    const bool withOptions = c.version > 2.19;
    TBytes idx(16);
    EncodeIndexFileHeader({GetI32LE(&dat[52]), 2, c.version}, idx.data());
    EncodeIndexDescription(byName, withOptions, idx);
    EncodeIndexDescription(downN, withOptions, idx);
    if (c.truncated) idx.resize(idx.size() - 3);
    else idx.insert(idx.end(), 8, 0);  // past the arrays of a table with no records
    WriteStoreFile(store, "T.idx", idx);

    TDeziDataManager table(store, "T", c.readOnly);
    ASSERT_TRUE(table.Open());
    std::vector<std::string> found;
    std::vector<TIndexDescription> descriptions;
    for (int32_t i = 0; i < table.IndexCount(); ++i) {
      descriptions.push_back(table.IndexDescription(i));
      found.push_back(descriptions.back().Name);
    }
    EXPECT_EQ(found, c.found);
    if (!c.truncated) {
      EXPECT_EQ(table.InternalGetIndexNo("downn"), 1);
      // Without an options byte the flags give the ordering options.
      EXPECT_EQ(descriptions[1].Options, withOptions ? 0 : ixDescending | ixCaseInsensitive);
      EXPECT_EQ(descriptions[0].KeyFields, byName.KeyFields);
    }
    EXPECT_EQ(table.InternalGetIndexNo("nope"), -1);
    if (c.change) {
      TBytes image = table.EncodeRecord({0, {{}, {}}});
      table.aaAddRecord(image.data());
    }
    const int32_t counter = table.Header().ChangeCounter;
    table.CloseTable();
    TBytes expected = idx;
    if (c.rewritten) {
      expected.assign(16, 0);
      EncodeIndexFileHeader({counter, static_cast<int32_t>(c.found.size()), 2.2}, expected.data());
      for (const TIndexDescription& index : descriptions) EncodeIndexDescription(index, true, expected);
      // One record: every array is that record.
      if (c.change) expected.insert(expected.end(), 4 * descriptions.size(), 0);
    }
    EXPECT_EQ(ReadStoreFile(store, "T.idx"), expected);
  }
}

TEST(TableOpen, AFailedOpenLeavesNoFileOpen) {
  // Folder and container stores refuse a second open of a file still held.
  for (testing::TStoreKind kind : {testing::TStoreKind::Folder, testing::TStoreKind::Container}) {
    SCOPED_TRACE(static_cast<int>(kind));
    testing::TTableStore stores(kind);
    {
      TDeziDataManager table(stores.Store(), "T", false);
      table.CreateTable({{"N", ftInteger, 0, false}}, 0, false);
    }
    TBytes bytes = ReadStoreFile(stores.Store(), "T.dat");
    PutF64LE(&bytes[40], 2.21);
    WriteStoreFile(stores.Store(), "T.dat", bytes);
    const std::string refusal =
        "Error in TDeziDataManager.OpenTable - Invalid db engine version in file T.dat (version = "
        "2.21, internalCurrentVersion = 2.20) !";
    TDeziDataManager table(stores.Store(), "T", false);
    EXPECT_EQ(MessageOf([&] { table.Open(); }), refusal);
    EXPECT_EQ(MessageOf([&] { table.Open(); }), refusal);
    PutF64LE(&bytes[40], 2.2);
    WriteStoreFile(stores.Store(), "T.dat", bytes);
    EXPECT_TRUE(table.Open());
  }
}

TEST(TableOpen, ADataFileHeldByAnotherWriterMakesTheTableReadOnly) {
  testing::TTempFolder dir;
  TDiskPlainFileSystem store(dir.Path());
  {
    TDeziDataManager table(store, "T", false);
    table.CreateTable({{"N", ftInteger, 0, false}}, 0, false);
  }
  TBytes bytes = ReadStoreFile(store, "T.dat");
  bytes.resize(bytes.size() + 9, 0x5A);  // past the (no) records: a writable open cuts it
  WriteStoreFile(store, "T.dat", bytes);
  struct Case {
    double version;
    std::string message;
  };
  const Case cases[] = {
      {2.2, "(no error)"},
      {2.15, "Error in TDeziDataManager.ConvertToCurrentTable - table is in ReadOnly mode!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    PutF64LE(&bytes[40], c.version);
    WriteStoreFile(store, "T.dat", bytes);
    TSystemFile writer;
    ASSERT_TRUE(writer.Open(dir / "T.dat", TFileAccess::ReadWrite, TFileShare::DenyNone, false));
    {
      TDeziDataManager table(store, "T", false);
      EXPECT_EQ(MessageOf([&] { table.Open(); }), c.message);
      EXPECT_TRUE(table.ReadOnly());
    }
    EXPECT_EQ(ReadStoreFile(store, "T.dat"), bytes);
  }
}

TEST(TableOpen, MissingFiles) {
  TMemoryPlainFileSystem store("mem");
  TDeziDataManager absent(store, "T", false);
  EXPECT_FALSE(absent.Open());
  EXPECT_FALSE(store.FileExists("T.dat"));
  EXPECT_FALSE(store.FileExists("T.idx"));

  MakeTable(store, true);
  ASSERT_TRUE(store.DeleteFile("T.idx"));
  {
    TDeziDataManager readOnly(store, "T", true);
    EXPECT_TRUE(readOnly.Open());
    EXPECT_FALSE(store.FileExists("T.idx"));  // a read-only open makes nothing
  }
  {
    TDeziDataManager writable(store, "T", false);
    EXPECT_TRUE(writable.Open());
    EXPECT_TRUE(store.FileExists("T.idx"));
  }
  ASSERT_TRUE(store.DeleteFile("T.bdf"));
  TDeziDataManager noValues(store, "T", false);
  EXPECT_EQ(MessageOf([&] { noValues.Open(); }),
            "TDeziDataManager.OpenFiles - can not open file \"T.bdf\", bCreated = 0, ReadOnly = 0");
  EXPECT_FALSE(noValues.IsOpen());
}

}  // namespace
}  // namespace norvane

// The CSV reader an import parses its file with: quoting, doubled quotes,
// line ends, line breaks inside values, empty fields and lines, a last line
// without its break, and malformed records with the line they start on,
// read the same whatever the chunks the source hands out.
#include "tools/norvane-db/csv_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace norvane {
namespace {

using tool::TCsvReader;
using tool::TCsvRecord;

struct TExpected {
  int64_t line;
  std::vector<std::string> fields;
  std::string error;  // a part of the record's error; empty: a sound record
};

struct Case {
  const char* name;
  std::string input;
  std::vector<TExpected> records;
};

const Case kCases[] = {
    {"plain", "a,b\nc,d\n", {{1, {"a", "b"}, ""}, {2, {"c", "d"}, ""}}},
    {"last line without its break", "a,b\nc,d", {{1, {"a", "b"}, ""}, {2, {"c", "d"}, ""}}},
    {"CR LF line ends", "a,b\r\nc,d\r\n", {{1, {"a", "b"}, ""}, {2, {"c", "d"}, ""}}},
    {"quoted commas and doubled quotes",
     "\"a,b\",\"say \"\"hi\"\"\",\"\"\"\"\n",
     {{1, {"a,b", "say \"hi\"", "\""}, ""}}},
    {"line breaks inside quotes",
     "\"one\ntwo\",x\nnext,\"a\r\nb\"\r\nlast\n",
     {{1, {"one\ntwo", "x"}, ""}, {3, {"next", "a\r\nb"}, ""}, {5, {"last"}, ""}}},
    {"empty fields", ",,\n\"\",x,\n", {{1, {"", "", ""}, ""}, {2, {"", "x", ""}, ""}}},
    {"empty lines hold no record", "a\n\n\r\nb\n\n", {{1, {"a"}, ""}, {4, {"b"}, ""}}},
    {"a quoted empty value is a record", "\"\"\n", {{1, {""}, ""}}},
    {"a lone CR is text", "a\rb,c\n", {{1, {"a\rb", "c"}, ""}}},
    {"Cyrillic bytes pass unchanged",
     "\xD0\x81\xD0\xBB,\xC0\xC1\n",
     {{1, {"\xD0\x81\xD0\xBB", "\xC0\xC1"}, ""}}},
    {"nothing at all", "", {}},
    {"a quote never closed",
     "a,b\n\"open,\nmore\n",
     {{1, {"a", "b"}, ""},
      {2, {"open,\nmore\n"}, "the quote that opens field 1 on line 2 is never closed"}}},
    {"a quote never closed in a later field",
     "x,\"a\nb\",\"c\n",
     {{1, {"x", "a\nb", "c\n"}, "the quote that opens field 3 on line 2 is never closed"}}},
    {"text after the closing quote",
     "\"ab\"c,d\ne\n",
     {{1, {"abc", "d"}, "text follows the closing quote of field 1"}, {2, {"e"}, ""}}},
    {"a quote inside an unquoted field",
     "x,ab\"c\ne\n",
     {{1, {"x", "ab\"c"}, "a quote stands inside field 2, which is not quoted"}, {2, {"e"}, ""}}},
};

// Every record of `input`, handed to the reader `chunk` bytes at a time.
std::vector<TCsvRecord> ReadAll(const std::string& input, size_t chunk, int64_t& used) {
  size_t at = 0;
  TCsvReader reader([&](char* data, size_t size) {
    const size_t n = std::min({size, chunk, input.size() - at});
    std::memcpy(data, input.data() + at, n);
    at += n;
    return n;
  });
  std::vector<TCsvRecord> records;
  for (TCsvRecord record; reader.Next(record);) records.push_back(record);
  used = reader.BytesUsed();
  return records;
}

TEST(CsvReader, RecordsAndFaultsInAnyChunks) {
  for (const Case& c : kCases) {
    for (const size_t chunk : {size_t{1}, size_t{2}, size_t{1} << 20}) {
      int64_t used = 0;
      const std::vector<TCsvRecord> records = ReadAll(c.input, chunk, used);
      ASSERT_EQ(records.size(), c.records.size()) << c.name << ", chunks of " << chunk;
      for (size_t i = 0; i < records.size(); ++i) {
        const TExpected& want = c.records[i];
        EXPECT_EQ(records[i].Line, want.line) << c.name << " #" << i;
        EXPECT_EQ(records[i].Fields, want.fields) << c.name << " #" << i;
        if (want.error.empty()) {
          EXPECT_EQ(records[i].Error, "") << c.name << " #" << i;
        } else {
          EXPECT_NE(records[i].Error.find(want.error), std::string::npos)
              << c.name << " #" << i << ": " << records[i].Error;
        }
      }
      EXPECT_EQ(used, static_cast<int64_t>(c.input.size())) << c.name;
    }
  }
}

// Progress counts what the records have used, not what was read ahead.
TEST(CsvReader, BytesUsedFollowsTheRecords) {
  const std::string input = "first,1\r\nsecond,2\nthird,3\n";
  size_t at = 0;
  TCsvReader reader([&](char* data, size_t size) {
    const size_t n = std::min(size, input.size() - at);
    std::memcpy(data, input.data() + at, n);
    at += n;
    return n;
  });
  TCsvRecord record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(reader.BytesUsed(), 9);
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(reader.BytesUsed(), 18);
  ASSERT_TRUE(reader.Next(record));
  ASSERT_FALSE(reader.Next(record));
  EXPECT_EQ(reader.BytesUsed(), static_cast<int64_t>(input.size()));
}

}  // namespace
}  // namespace norvane

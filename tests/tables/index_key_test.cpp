// Index keys: the memcmp order of encoded keys against a reference comparison
// written from the ordering rules, for random records over every key type;
// Russian orders of 8- and 16-bit text; search shapes; refused key types.
#include "engine/tables/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
#include "engine/tables/field_types.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/record_image.h"
#include "tests/protection/fake_locale.h"
#include "tests/support/engine_text.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;
using testing::W;

// Field numbers of kFields.
enum : int32_t { kSi, kI, kL, kW, kB, kF, kC, kBcd, kD, kT, kDt, kS, kWs, kBy };
const std::vector<TFieldHeader> kFields = {
    {"Si", ftSmallint, 2, false},    {"I", ftInteger, 4, false},   {"L", ftLargeint, 8, false},
    {"W", ftWord, 2, false},         {"B", ftBoolean, 2, false},   {"F", ftFloat, 8, false},
    {"C", ftCurrency, 8, false},     {"Bcd", ftBCD, 8, false},     {"D", ftDate, 8, false},
    {"T", ftTime, 8, false},         {"Dt", ftDateTime, 8, false}, {"S", ftString, 7, false},
    {"Ws", ftWideString, 14, false}, {"By", ftBytes, 3, false}};
const TRecordGeometry kGeometry = ComputeRecordGeometry(kFields, "OpenTable");

int Sign(int64_t v) { return (v > 0) - (v < 0); }

// Russian tables with the ICU locale service behind them; `UseRanks` false
// sends every 8-bit comparison to the locale.
struct TRussian {
  std::unique_ptr<TLocaleService> locale = MakeLocale("ru_RU");
  TCollationTables tables = BuildCollationTables(*locale);
};

std::u16string Utf16(const std::string& cp1251) {
  std::u16string out;
  for (char c : cp1251) out += Cp1251Unit(static_cast<uint8_t>(c));
  return out;
}

std::string WideBytes(const std::u16string& text) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i)
    PutU16LE(reinterpret_cast<uint8_t*>(&out[2 * i]), text[i]);
  return out;
}

// ---- the reference comparison, one key field at a time, from the rules ----

int CompareDoubles(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) - std::isnan(b);  // NaN last
  return (a > b) - (a < b);
}

std::string TextAt(const uint8_t* p, size_t size, size_t limit) {
  return std::string(reinterpret_cast<const char*>(p),
                     strnlen(reinterpret_cast<const char*>(p), std::min(size, limit)));
}

std::u16string WideTextAt(const uint8_t* p, size_t size, size_t limit) {
  std::u16string out;
  for (size_t i = 0; i < std::min(size / 2, limit) && GetU16LE(p + 2 * i) != 0; ++i)
    out += static_cast<char16_t>(GetU16LE(p + 2 * i));
  return out;
}

// The 16-bit text back in code page 1251 (the tests only store its characters).
std::string ToCp1251(const std::u16string& text) {
  static const std::map<char16_t, char> back = [] {
    std::map<char16_t, char> m;
    for (int b = 0; b < 256; ++b) m[Cp1251Unit(static_cast<uint8_t>(b))] = static_cast<char>(b);
    return m;
  }();
  std::string out;
  for (char16_t unit : text) out += back.at(unit);
  return out;
}

int CompareValues(const TFieldHeader& f, const uint8_t* a, const uint8_t* b, bool ci,
                  size_t limit) {
  switch (f.Type) {
    case ftSmallint: return Sign(int16_t(GetU16LE(a)) - int16_t(GetU16LE(b)));
    case ftInteger:
    case ftDate:
    case ftTime: return Sign(int64_t{GetI32LE(a)} - GetI32LE(b));
    case ftLargeint: return (GetI64LE(a) > GetI64LE(b)) - (GetI64LE(a) < GetI64LE(b));
    case ftWord: return Sign(GetU16LE(a) - GetU16LE(b));
    case ftBoolean: return Sign((GetU16LE(a) != 0) - (GetU16LE(b) != 0));
    case ftDateTime: return CompareDoubles(std::round(GetF64LE(a)), std::round(GetF64LE(b)));
    case ftString: {
      const std::string x = TextAt(a, f.Size, SIZE_MAX), y = TextAt(b, f.Size, SIZE_MAX);
      if (limit == SIZE_MAX)
        return ci ? CollateCompareCI(x.c_str(), y.c_str()) : CollateCompare(x.c_str(), y.c_str());
      return ci ? CollateCompareCIN(x.c_str(), y.c_str(), limit)
                : CollateCompareN(x.c_str(), y.c_str(), limit);
    }
    case ftWideString: {
      const std::u16string x = WideTextAt(a, f.Size, limit), y = WideTextAt(b, f.Size, limit);
      const TLocaleService* locale = Collation().Locale;
      return locale != nullptr ? locale->CompareStrings(ToCp1251(x), ToCp1251(y), ci)
                               : x.compare(y);  // no locale: code unit order
    }
    default: return CompareDoubles(GetF64LE(a), GetF64LE(b));  // float, currency, BCD
  }
}

int ReferenceCompare(const TIndexDescription& index, const TKeyShape& shape, const uint8_t* a,
                     const uint8_t* b) {
  for (size_t i = 0; i < std::min(shape.Fields, index.KeyFields.size()); ++i) {
    const int32_t n = index.KeyFields[i];
    int order;
    if (n < 0) {
      order =
          Sign(int64_t{GetI32LE(a + kGeometry.RowIdOffset)} - GetI32LE(b + kGeometry.RowIdOffset));
    } else {
      const int byte = kGeometry.NullBitsOffset + n / 8, mask = 1 << (n % 8);
      const bool nullA = a[byte] & mask, nullB = b[byte] & mask;
      const int offset = kGeometry.FieldOffsets[n];
      const bool ci =
          index.WholeCaseInsensitive || index.CaseInsensitive[i] || shape.CaseInsensitive;
      const size_t limit = i < shape.TextLimits.size() ? shape.TextLimits[i] : SIZE_MAX;
      order = nullA || nullB ? nullA ? (nullB ? 0 : -1) : 1
                             : Sign(CompareValues(kFields[n], a + offset, b + offset, ci, limit));
      if (!index.Ascending[i]) order = -order;
    }
    if (order != 0) return order;
  }
  return 0;
}

// ---- random records ----

template <typename T>
T Pick(std::mt19937& rng, std::initializer_list<T> pool) {
  return pool.begin()[rng() % pool.size()];
}

std::string Le(uint64_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
  return out;
}

std::string DoubleBytes(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return Le(bits, 8);
}

// Characters of few kinds so that prefixes, case variants and ties are
// frequent: Latin and Cyrillic in both cases, е/ё, я (byte 0xFF), and every
// character whose rank or upper-case rank is 0 or 1. Half the texts come
// from a narrower choice, so that texts differing only by a trailing low-rank
// character or by case meet often.
struct TAlphabets {
  std::string wide = "aAbB-" + W("еёЕЁжЖЯя");
  std::string narrow = "aA";
};

TAlphabets Alphabets(const TCollationTables& t) {
  TAlphabets a;
  for (int c = 1; c < 256 && t.UseRanks; ++c) {
    if (t.Rank[c] <= 1 || t.UpperRank[t.Rank[c]] <= 1) {
      a.wide += static_cast<char>(c);
      a.narrow += static_cast<char>(c);
    }
  }
  return a;
}

std::string RandomText(std::mt19937& rng, const TAlphabets& alphabets, size_t maxLength) {
  const std::string& alphabet = rng() % 2 == 0 ? alphabets.wide : alphabets.narrow;
  std::string s(rng() % (maxLength + 1), ' ');
  for (char& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

std::vector<uint8_t> RandomRecord(std::mt19937& rng, const TAlphabets& alphabet) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  TRecordValues v;
  v.RowId = Pick<int32_t>(rng, {INT32_MIN, -1, 0, 1, INT32_MAX});
  v.Fields.resize(kFields.size());
  const std::string dayOrTime =
      Le(static_cast<uint32_t>(Pick<int32_t>(rng, {INT32_MIN, -1, 0, 693594, INT32_MAX})), 4);
  const auto floating = [&] {
    return DoubleBytes(Pick<double>(rng, {-inf, -1e300, -1.5, -0.0, 0.0, 5e-324, 1.5, inf, nan,
                                          -nan, std::bit_cast<double>(0x7FF0000000000001ull)}));
  };
  v.Fields[kSi].Bytes =
      Le(static_cast<uint16_t>(Pick<int16_t>(rng, {INT16_MIN, -1, 0, 1, INT16_MAX})), 2);
  v.Fields[kI].Bytes =
      Le(static_cast<uint32_t>(Pick<int32_t>(rng, {INT32_MIN, -1, 0, 1, INT32_MAX})), 4);
  v.Fields[kL].Bytes =
      Le(static_cast<uint64_t>(Pick<int64_t>(rng, {INT64_MIN, -1, 0, 1, INT64_MAX})), 8);
  v.Fields[kW].Bytes = Le(Pick<uint16_t>(rng, {0, 1, 0x7FFF, 0x8000, 0xFFFF}), 2);
  v.Fields[kB].Bytes = Le(Pick<uint16_t>(rng, {0, 1, 2, 0x100, 0xFFFF}), 2);
  v.Fields[kF].Bytes = floating();
  v.Fields[kC].Bytes = floating();
  v.Fields[kBcd].Bytes = floating();
  // The upper four bytes of a date or a time are not part of the value.
  v.Fields[kD].Bytes = dayOrTime + Le(rng(), 4);
  v.Fields[kT].Bytes = dayOrTime + Le(rng(), 4);
  v.Fields[kDt].Bytes = DoubleBytes(
      Pick<double>(rng, {-1.5, -0.5, -0.4, -0.0, 0.0, 0.4, 0.5, 1.49, 1.5, 6e13 + 0.5, nan, -inf}));
  v.Fields[kS].Bytes = RandomText(rng, alphabet, 4);
  v.Fields[kWs].Bytes = WideBytes(Utf16(RandomText(rng, alphabet, 3)));
  v.Fields[kBy].Bytes = "xyz";
  for (TFieldValue& f : v.Fields) f.Null = rng() % 5 == 0;
  std::vector<uint8_t> record = TRecordImage(kFields, kGeometry).Encode(v);
  // Text that fills its field has no terminator: it ends at the field's end.
  if (rng() % 6 == 0 && !v.Fields[kS].Null)
    std::memcpy(&record[kGeometry.FieldOffsets[kS]], W("ёЁжЖаАя").data(), 7);
  if (rng() % 6 == 0 && !v.Fields[kWs].Null)
    std::memcpy(&record[kGeometry.FieldOffsets[kWs]], WideBytes(Utf16(W("ЁёжЖаАя"))).data(), 14);
  return record;
}

struct TIndexCase {
  const char* name;
  std::vector<int32_t> fields;
  std::vector<bool> ascending, caseInsensitive;
  bool wholeCaseInsensitive;
};
const TIndexCase kIndexes[] = {
    {"integers", {kSi, kI, kL, kW, kB, -1}, {1, 0, 1, 0, 1, 1}, {0, 0, 0, 0, 0, 0}, false},
    {"floats", {kF, kC, kBcd, kDt, -1}, {1, 0, 1, 1, 1}, {0, 0, 0, 0, 0}, false},
    {"days", {kDt, kD, kT}, {0, 1, 0}, {0, 0, 0}, false},
    {"text", {kS, kWs, kI}, {1, 1, 1}, {0, 0, 0}, false},
    {"text descending, case bits", {kS, kWs, kSi}, {0, 0, 1}, {1, 1, 0}, false},
    {"whole index ignores case", {kWs, kS, kD}, {1, 0, 1}, {0, 0, 0}, true},
    {"mixed", {kB, kS, kF, kWs, -1}, {0, 1, 0, 1, 1}, {0, 1, 0, 0, 0}, false},
};

struct TShapeCase {
  const char* name;
  TKeyShape shape;
};
const TShapeCase kShapes[] = {
    {"whole key", {}},
    {"first field", {1, false, {}}},
    {"two fields ignoring case", {2, true, {}}},
    {"partial 2", {SIZE_MAX, false, {2, 2, 2, 2, 2}}},
    {"partial 0 and 1 ignoring case", {3, true, {0, 1, 0, 1, 0}}},
};

std::string Hex(const std::string& s) {
  std::string out;
  for (unsigned char c : s) out += "0123456789ABCDEF"[c >> 4], out += "0123456789ABCDEF"[c & 15];
  return out;
}

void CheckKeyOrder(const TCollationTables& tables, const char* tablesName) {
  const TCollationOverride use(tables);
  std::mt19937 rng(20261209);
  const TAlphabets alphabet = Alphabets(tables);
  std::vector<std::vector<uint8_t>> records;
  for (int i = 0; i < 120; ++i) records.push_back(RandomRecord(rng, alphabet));
  int failures = 0;
  std::string scratch, target, probe;
  for (const TIndexCase& c : kIndexes) {
    TIndexDescription index{
        c.name, c.fields, c.ascending, c.caseInsensitive, c.wholeCaseInsensitive, false, 0};
    const TIndexKeyEncoder encoder(kFields, kGeometry, index);
    ASSERT_EQ(encoder.KeyFieldCount(), c.fields.size());
    for (const TShapeCase& s : kShapes) {
      std::vector<std::string> keys(records.size());
      for (size_t r = 0; r < records.size(); ++r) {
        encoder.Encode(records[r].data(), s.shape, keys[r]);
        // With the row identifier after it every record has its own place.
        encoder.AppendRowId(records[r].data(), keys[r]);
      }
      for (size_t a = 0; a < records.size(); ++a) {
        for (size_t b = 0; b < records.size(); ++b) {
          int expected = ReferenceCompare(index, s.shape, records[a].data(), records[b].data());
          if (expected == 0)
            expected = Sign(int64_t{GetI32LE(&records[a][kGeometry.RowIdOffset])} -
                            GetI32LE(&records[b][kGeometry.RowIdOffset]));
          if (Sign(keys[a].compare(keys[b])) != expected && ++failures <= 5)
            ADD_FAILURE() << tablesName << ", " << c.name << ", " << s.name << ": records " << a
                          << " and " << b << " should compare " << expected << "\n  "
                          << Hex(keys[a]) << "\n  " << Hex(keys[b]);
          // Comparing a record with an encoded key gives the same order,
          // with the row identifier and without it.
          if (Sign(encoder.Compare(records[a].data(), s.shape, keys[b], true, scratch)) != expected &&
              ++failures <= 5)
            ADD_FAILURE() << tablesName << ", " << c.name << ", " << s.name << ": Compare of records " << a
                          << " and " << b;
          if (b < 20) {
            encoder.Encode(records[b].data(), s.shape, target);
            encoder.Encode(records[a].data(), s.shape, probe);
            if (Sign(encoder.Compare(records[a].data(), s.shape, target, false, scratch)) !=
                    Sign(probe.compare(target)) && ++failures <= 5)
              ADD_FAILURE() << tablesName << ", " << c.name << ", " << s.name << ": Compare without identifiers";
          }
        }
      }
    }
  }
}

TEST(IndexKeyTest, KeysOrderAsTheReferenceComparison) {
  TRussian ru;
  ASSERT_TRUE(ru.tables.UseRanks);
  CheckKeyOrder(ru.tables, "ranks");
  ru.tables.UseRanks = false;
  CheckKeyOrder(ru.tables, "locale");
  // Ranks in reverse byte order: я (byte 0xFF) has rank 0, so only the
  // strings' own ends tell "я" from "яя". 16-bit text stays Russian.
  testing::TFakeLocale reversed;
  reversed.compare = [](uint8_t a, uint8_t b) { return int{b} - int{a}; };
  reversed.upper = [](uint8_t c) {
    return static_cast<uint8_t>(c >= 0xE0 || (c >= 'a' && c <= 'z') ? c - 32 : c);
  };
  TCollationTables reversedTables = BuildCollationTables(reversed);
  ASSERT_TRUE(reversedTables.UseRanks);
  ASSERT_EQ(reversedTables.Rank[0xFF], 0);
  reversedTables.Locale = ru.locale.get();
  CheckKeyOrder(reversedTables, "reversed ranks");
  // Tables never built: byte order for 8-bit text, code unit order for 16-bit.
  CheckKeyOrder(TCollationTables{}, "no tables");
}

TEST(IndexKeyTest, GoldenKeys) {
  TRussian ru;
  const TCollationOverride use(ru.tables);
  // Integer -1, Float -0.0 (the key of +0.0), String "" of a record with
  // row identifier 5; then the same fields null.
  const std::vector<TFieldHeader> fields = {
      {"I", ftInteger, 4, false}, {"F", ftFloat, 8, false}, {"S", ftString, 3, false}};
  const TRecordGeometry geometry = ComputeRecordGeometry(fields, "OpenTable");
  TRecordValues v{5, {{false, Le(0xFFFFFFFF, 4)}, {false, DoubleBytes(-0.0)}, {false, ""}}};
  struct Case {
    std::vector<bool> ascending;
    bool null;
    std::string key;
  };
  const Case kCases[] = {
      {{1, 1, 1}, false, std::string("\x01\x7F\xFF\xFF\xFF\x01\x80\0\0\0\0\0\0\0\x01\0", 16)},
      {{0, 1, 0}, false, std::string("\xFE\x80\0\0\0\x01\x80\0\0\0\0\0\0\0\xFE\xFF", 16)},
      {{1, 0, 1}, true, std::string("\0\xFF\0", 3)},
  };
  for (const Case& c : kCases) {
    for (TFieldValue& f : v.Fields) f.Null = c.null;
    const std::vector<uint8_t> record = TRecordImage(fields, geometry).Encode(v);
    const TIndexKeyEncoder encoder(fields, geometry,
                                   {"x", {0, 1, 2}, c.ascending, {0, 0, 0}, false, false, 0});
    std::string key = "stale";
    encoder.Encode(record.data(), key);
    EXPECT_EQ(Hex(key), Hex(c.key));
    encoder.AppendRowId(record.data(), key);
    EXPECT_EQ(Hex(key.substr(c.key.size())), "80000005");
  }
}

// Words in order; words of one group have equal keys.
struct TOrderCase {
  const char* name;
  int32_t field;
  bool ignoreCase;
  std::vector<std::vector<std::string>> groups;
};
const TOrderCase kRussianOrders[] = {
    {"Latin with case", kS, false, {{"a"}, {"A"}, {"b"}, {"B"}}},
    {"Latin without case", kS, true, {{"A", "a"}, {"b", "B"}}},
    {"dictionary", kS, false, {{"все"}, {"всё"}, {"вся"}, {"ель"}, {"ёж"}, {"жук"}}},
    {"dictionary without case",
     kS,
     true,
     {{"все", "Все", "ВСЕ"}, {"всё", "ВСЁ"}, {"вся"}, {"ель", "Ель"}, {"ёж", "Ёж"}, {"жук"}}},
    // The last two ranks (я, Я) take two bytes each in a key.
    {"end of the alphabet", kS, false, {{"ю"}, {"Ю"}, {"я"}, {"яа"}, {"яя"}, {"яЯ"}, {"Я"}, {"Яя"}}},
    {"end of the alphabet without case", kS, true, {{"ю", "Ю"}, {"я", "Я"}, {"яа"}, {"яя", "ЯЯ"}}},
    {"16-bit with case", kWs, false, {{"apple"}, {"Apple"}, {"все"}, {"всё"}, {"вся"}, {"жук"}}},
    {"16-bit without case",
     kWs,
     true,
     {{"Apple", "apple"}, {"все", "ВСЕ"}, {"всё"}, {"вся"}, {"Жук", "жук"}}},
};

TEST(IndexKeyTest, RussianOrder) {
  TRussian ru;
  const TCollationOverride use(ru.tables);
  for (const TOrderCase& c : kRussianOrders) {
    const TIndexKeyEncoder encoder(kFields, kGeometry,
                                   {"x", {c.field}, {true}, {c.ignoreCase}, false, false, 0});
    std::string previous;
    for (size_t g = 0; g < c.groups.size(); ++g) {
      for (size_t w = 0; w < c.groups[g].size(); ++w) {
        TRecordValues v{1, std::vector<TFieldValue>(kFields.size())};
        const std::string text = W(c.groups[g][w]);
        v.Fields[c.field] = {false, c.field == kS ? text : WideBytes(Utf16(text))};
        std::string key;
        encoder.Encode(TRecordImage(kFields, kGeometry).Encode(v).data(), key);
        if (g > 0 || w > 0) {
          if (w > 0)
            EXPECT_EQ(previous, key) << c.name << ": " << c.groups[g][w];
          else
            EXPECT_LT(previous, key) << c.name << ": " << c.groups[g][w];
        }
        previous = key;
      }
    }
  }
}

TEST(IndexKeyTest, SearchShapes) {
  TRecordValues v{1, std::vector<TFieldValue>(kFields.size())};
  v.Fields[kS] = {false, "Ab"};
  v.Fields[kWs] = {false, WideBytes(u"abc")};
  const std::vector<uint8_t> key = TRecordImage(kFields, kGeometry).Encode(v);
  const TIndexKeyEncoder encoder(
      kFields, kGeometry, {"x", {kI, kS, kWs, -1}, {1, 1, 1, 1}, {0, 0, 0, 0}, false, false, 0});
  struct Case {
    size_t k;
    bool caseInsensitive, partial;
    std::vector<size_t> limits;
  };
  const Case kCases[] = {
      {4, false, true, {SIZE_MAX, 2, 3, SIZE_MAX}},
      {2, true, true, {SIZE_MAX, 2, SIZE_MAX, SIZE_MAX}},
      {3, true, false, {SIZE_MAX, SIZE_MAX, SIZE_MAX, SIZE_MAX}},
  };
  for (const Case& c : kCases) {
    const TKeyShape shape = encoder.SearchShape(key.data(), c.k, c.caseInsensitive, c.partial);
    EXPECT_EQ(shape.Fields, c.k);
    EXPECT_EQ(shape.CaseInsensitive, c.caseInsensitive);
    EXPECT_EQ(shape.TextLimits, c.limits) << c.k;
  }
}

TEST(IndexKeyTest, RefusesKeyFieldsOfOtherTypes) {
  const std::vector<TFieldHeader> fields = {
      {"I", ftInteger, 4, false}, {"By", ftBytes, 3, false},  {"Bl", ftBlob, 0, false},
      {"M", ftMemo, 0, false},    {"G", ftGraphic, 0, false}, {"Fm", ftFmtMemo, 0, false}};
  const TRecordGeometry geometry = ComputeRecordGeometry(fields, "OpenTable");
  for (int32_t field = 1; field < static_cast<int32_t>(fields.size()); ++field) {
    EXPECT_EQ(
        MessageOf([&] {
          TIndexKeyEncoder(fields, geometry, {"x", {0, field}, {1, 1}, {0, 0}, false, false, 0});
        }),
        "Error in TDeziDataManager.InternalAddIndex - unsupported field type!")
        << fields[field].Name;
  }
}

}  // namespace
}  // namespace norvane

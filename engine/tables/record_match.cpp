// Filter conditions against records. The value of a condition is kept as a
// record image, so the test of a record compares the same stored forms the
// indexes order, and an index search can take the image as its key.
#include "engine/tables/record_match.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/field_text.h"
#include "engine/tables/field_types.h"
#include "engine/tables/stored_value_compare.h"

namespace norvane {
namespace {

bool IsText(int type) { return type == ftString || type == ftWideString; }

// The field's type, size and place in a record; the row identifier is a
// four-byte integer.
struct TFieldPlace {
  int Type = ftInteger;
  int32_t Size = 4;
  int32_t Offset = 0;
};

TFieldPlace PlaceOf(const TDeziDataManager& table, int32_t fieldNo) {
  if (fieldNo < 0) return {ftInteger, 4, table.Geometry().RowIdOffset};
  const TFieldHeader& header = table.Fields()[static_cast<size_t>(fieldNo)];
  return {header.Type, header.Size, table.Geometry().FieldOffsets[static_cast<size_t>(fieldNo)]};
}

bool FieldIsNull(const TDeziDataManager& table, int32_t fieldNo, const uint8_t* record) {
  if (fieldNo < 0) return false;
  const TRecordGeometry& g = table.Geometry();
  if ((record[g.NullBitsOffset + fieldNo / 8] & (1u << (fieldNo % 8))) != 0) return true;
  const TFieldPlace place = PlaceOf(table, fieldNo);
  return IsNoDay(place.Type, record + place.Offset);
}

void SetNull(const TDeziDataManager& table, int32_t fieldNo, uint8_t* record, bool isNull) {
  if (fieldNo < 0) return;
  uint8_t& bits = record[table.Geometry().NullBitsOffset + fieldNo / 8];
  const auto mask = static_cast<uint8_t>(1u << (fieldNo % 8));
  bits = isNull ? static_cast<uint8_t>(bits | mask) : static_cast<uint8_t>(bits & ~mask);
}

[[noreturn]] void NotValid(const std::string& text, const char* what) {
  throw EEngineError("'" + text + "' is not a valid " + what);
}

int64_t WholeNumberOf(const std::string& text, int64_t low, int64_t high) {
  int64_t n = 0;
  if (!ParseWholeNumber(text, n) || n < low || n > high) NotValid(text, "integer value");
  return n;
}

double NumberOf(const std::string& text) {
  double d = 0;
  if (!ParseNumber(text, d)) NotValid(text, "floating point value");
  return d;
}

// A date, optionally followed by a time: milliseconds from day 0.
double DateTimeOf(const std::string& text) {
  const size_t start = text.find_first_not_of(' ');
  const size_t blank = start == std::string::npos ? std::string::npos : text.find(' ', start);
  int32_t day = 0, ms = 0;
  if (!ParseDate(blank == std::string::npos ? text : text.substr(0, blank), day))
    NotValid(text, "date and time");
  if (blank != std::string::npos && text.find_first_not_of(' ', blank) != std::string::npos &&
      !ParseTime(text.substr(blank), ms))
    NotValid(text, "date and time");
  return day * kMillisecondsPerDay + ms;
}

void PutValue(const TFieldPlace& place, uint8_t* at, const std::string& text) {
  switch (place.Type) {
    case ftString: {
      const size_t n = std::min(text.size(), static_cast<size_t>(std::max(place.Size - 1, 0)));
      std::memcpy(at, text.data(), n);
      break;
    }
    case ftWideString: {
      const size_t units = static_cast<size_t>(std::max(place.Size / 2 - 1, 0));
      for (size_t i = 0; i < text.size() && i < units; ++i)
        PutU16LE(at + 2 * i, static_cast<uint16_t>(Cp1251Unit(static_cast<uint8_t>(text[i]))));
      break;
    }
    case ftSmallint: PutU16LE(at, static_cast<uint16_t>(WholeNumberOf(text, INT16_MIN, INT16_MAX))); break;
    case ftWord: PutU16LE(at, static_cast<uint16_t>(WholeNumberOf(text, 0, UINT16_MAX))); break;
    case ftInteger: case ftAutoInc:
      PutI32LE(at, static_cast<int32_t>(WholeNumberOf(text, INT32_MIN, INT32_MAX)));
      break;
    case ftLargeint: PutI64LE(at, WholeNumberOf(text, INT64_MIN, INT64_MAX)); break;
    case ftBoolean: {
      std::string lower = text;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      PutU16LE(at, lower == "true" ? 1 : 0);
      break;
    }
    case ftFloat: case ftCurrency: PutF64LE(at, NumberOf(text)); break;
    case ftDate: {
      int32_t day = 0;
      if (!ParseDate(text, day)) NotValid(text, "date");
      PutI32LE(at, day);
      break;
    }
    case ftTime: {
      int32_t ms = 0;
      if (!ParseTime(text, ms)) NotValid(text, "time");
      PutI32LE(at, ms);
      break;
    }
    case ftDateTime: PutF64LE(at, DateTimeOf(text)); break;
    default: throw EEngineError("Error in TDeziDataSet.PrepareValueBuffer - unsupported field type!");
  }
}

// Characters equal for "like": the same byte, or ignoring case bytes the
// collation finds equal, each mapped to the first byte of its class. The
// table is made once per collation.
const std::array<uint8_t, 256>& LikeFold(bool caseInsensitive) {
  static const std::array<uint8_t, 256> identity = [] {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
    return table;
  }();
  if (!caseInsensitive) return identity;
  static const TCollationTables* madeFor = nullptr;
  static std::array<uint8_t, 256> folded{};
  if (madeFor != &Collation()) {
    for (int c = 0; c < 256; ++c) {
      folded[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
      const char a[2] = {static_cast<char>(c), 0};
      for (int d = 0; d < c; ++d) {
        const char b[2] = {static_cast<char>(d), 0};
        if (folded[static_cast<size_t>(d)] == d && CollateCompareCIN(a, b, 1) == 0) {
          folded[static_cast<size_t>(c)] = static_cast<uint8_t>(d);
          break;
        }
      }
    }
    madeFor = &Collation();
  }
  return folded;
}

// The iterative match: on a mismatch after a %, the % takes one more
// character and matching resumes behind it. Only the last % is ever
// resumed, since whatever an earlier one could take the last one can too.
template <class Equal>
bool Like(size_t textLength, size_t patternLength, std::string_view pattern, Equal equal) {
  size_t t = 0, p = 0;
  size_t starP = std::string::npos, starT = 0;
  while (t < textLength) {
    if (p < patternLength && pattern[p] == '%') {
      starP = ++p;
      starT = t;
    } else if (p < patternLength && (pattern[p] == '_' || equal(t, p))) {
      ++t;
      ++p;
    } else if (starP != std::string::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < patternLength && pattern[p] == '%') ++p;
  return p == patternLength;
}

std::u16string WideOf(const uint8_t* at, int32_t size) {
  std::u16string text;
  for (int32_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<char16_t>(GetU16LE(at + i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

bool WideLike(const std::u16string& text, const std::string& pattern, bool caseInsensitive) {
  static const std::unique_ptr<TLocaleService> locale = MakeUserLocale();
  std::map<char16_t, std::string> keys;
  auto key = [&](char16_t c) -> const std::string& {
    auto at = keys.find(c);
    if (at == keys.end()) {
      std::string k;
      locale->AppendSortKey(std::u16string(1, c), true, k);
      at = keys.emplace(c, std::move(k)).first;
    }
    return at->second;
  };
  return Like(text.size(), pattern.size(), pattern, [&](size_t t, size_t p) {
    const char16_t a = text[t], b = Cp1251Unit(static_cast<uint8_t>(pattern[p]));
    return a == b || (caseInsensitive && key(a) == key(b));
  });
}

bool PatternMatches(const TDeziDataManager& table, const TSearchOperation& op, bool caseInsensitive,
                    const uint8_t* record) {
  const TFieldPlace place = PlaceOf(table, op.FieldNo);
  const uint8_t* at = record + place.Offset;
  if (place.Type == ftWideString) return WideLike(WideOf(at, place.Size), op.Pattern, caseInsensitive);
  const auto* text = reinterpret_cast<const char*>(at);
  return LikeMatches(std::string_view(text, strnlen(text, static_cast<size_t>(place.Size))), op.Pattern,
                     caseInsensitive);
}

}  // namespace

int32_t ConditionIndexOf(const TDeziDataManager& table, const TSearchOperation& op, uint8_t options) {
  if (op.Operator == soLike || op.Operator == soNotLike || !op.LongText.empty()) return -1;
  const std::string name = op.FieldNo < 0 ? table.Header().RowIdName : table.Fields()[static_cast<size_t>(op.FieldNo)].Name;
  const bool folded = (options & foCaseInsensitive) != 0 && IsText(PlaceOf(table, op.FieldNo).Type);
  const int32_t index = table.InternalGetIndexNo((folded ? "@@" : "@") + name);
  if (index < 0) return -1;
  const TIndexDescription& d = table.IndexDescription(index);
  if (d.KeyFields.size() != 1 || d.KeyFields[0] != op.FieldNo || d.WholeDescending ||
      (!d.Ascending.empty() && !d.Ascending[0]))
    return -1;
  const bool indexFolds = d.WholeCaseInsensitive || (!d.CaseInsensitive.empty() && d.CaseInsensitive[0]);
  return indexFolds == folded ? index : -1;
}


void PrepareValueBuffer(const TDeziDataManager& table, TSearchOperation& op, const std::string& text) {
  const TFieldPlace place = PlaceOf(table, op.FieldNo);
  op.Value.assign(static_cast<size_t>(table.Geometry().RecordSize), 0);
  op.Null = false;
  op.Pattern.clear();
  op.LongText.clear();
  if (op.Operator == soLike || op.Operator == soNotLike) {
    if (!IsText(place.Type))
      throw EEngineError("Error in TDeziDataSet.PrepareValueBuffer - 'like / not like' operation call with not string field!");
    op.Pattern = text;
    return;
  }
  if (op.Operator == soIsNull || (op.Operator == soEqual && text.empty())) {
    op.Operator = soEqual;
    op.Null = true;
  } else if (op.Operator == soIsNotNull || (op.Operator == soNotEqual && text.empty())) {
    op.Operator = soNotEqual;
    op.Null = true;
  }
  if (op.Null) {
    SetNull(table, op.FieldNo, op.Value.data(), true);
    return;
  }
  PutValue(place, op.Value.data() + place.Offset, text);
  if (place.Type == ftString && text.size() + 1 > static_cast<size_t>(place.Size)) op.LongText = text;
}

bool LikeMatches(std::string_view text, std::string_view pattern, bool caseInsensitive) {
  // The commonest pattern, a text anywhere, is a plain search.
  if (!caseInsensitive && pattern.size() >= 2 && pattern.front() == '%' && pattern.back() == '%') {
    const std::string_view inner = pattern.substr(1, pattern.size() - 2);
    if (inner.find_first_of("%_") == std::string_view::npos) return text.find(inner) != std::string_view::npos;
  }
  const std::array<uint8_t, 256>& fold = LikeFold(caseInsensitive);
  auto folded = [&](char c) { return fold[static_cast<uint8_t>(c)]; };
  return Like(text.size(), pattern.size(), pattern,
              [&](size_t t, size_t p) { return folded(text[t]) == folded(pattern[p]); });
}

bool IsRecordMatches(const TDeziDataManager& table, const TSearchOperation& op, uint8_t options,
                     const uint8_t* record) {
  const bool caseInsensitive = (options & foCaseInsensitive) != 0;
  const bool recordNull = FieldIsNull(table, op.FieldNo, record);
  if (op.Operator == soLike || op.Operator == soNotLike) {
    if (recordNull) return false;
    return PatternMatches(table, op, caseInsensitive, record) == (op.Operator == soLike);
  }
  int order = 0;
  if (recordNull || op.Null) {
    order = recordNull && op.Null ? 0 : recordNull ? -1 : 1;
  } else {
    const TFieldPlace place = PlaceOf(table, op.FieldNo);
    const bool whole = !op.LongText.empty();
    const std::optional<int> c = CompareStoredValues(
        place.Type, record + place.Offset, place.Size,
        whole ? reinterpret_cast<const uint8_t*>(op.LongText.c_str()) : op.Value.data() + place.Offset,
        whole ? static_cast<int32_t>(op.LongText.size() + 1) : place.Size, op.Partial && IsText(place.Type),
        caseInsensitive);
    if (!c) throw EEngineError("TDeziDataSet.IsRecordMatches - Unsupported search operation in TDeziDataSet.IsRecordMatches");
    order = *c;
  }
  switch (op.Operator) {
    case soEqual: return order == 0;
    case soNotEqual: return order != 0;
    case soLessOrEqual: return order <= 0;
    case soGreaterOrEqual: return order >= 0;
    case soLess: return order < 0;
    case soGreater: return order > 0;
    default:
      throw EEngineError("TDeziDataSet.IsRecordMatches - Unsupported search operation in TDeziDataSet.IsRecordMatches");
  }
}

TRecordSet GetMatchedRecordsArray(TDeziDataManager& table, const TSearchOperation& op, uint8_t options) {
  return MatchedRecords(table, op, options, ConditionIndexOf(table, op, options));
}

TRecordSet MatchedRecords(TDeziDataManager& table, const TSearchOperation& op, uint8_t options, int32_t index) {
  if (op.Operator == soLike || op.Operator == soNotLike)
    throw EEngineError("TDeziDataSet.GetMatchedRecordsArray - Like operator is not supported in GetMatchedRecordsArray procedure.");
  const int32_t total = table.Header().RecordCount;
  if (index < 0)
    return TRecordSet::Where(total, [&](int32_t p) { return IsRecordMatches(table, op, options, table.RecordPtr(p)); });
  const bool text = IsText(PlaceOf(table, op.FieldNo).Type);
  const auto [low, high] =
      table.KeyRange(op.Value.data(), index, 1, (options & foCaseInsensitive) != 0 && text, op.Partial && text);
  // The index holds nulls first, then the values in the order the
  // comparison uses, so each operator takes one or two runs of it.
  std::vector<std::pair<int32_t, int32_t>> runs;
  switch (op.Operator) {
    case soEqual: runs = {{low, high}}; break;
    case soNotEqual: runs = {{0, low}, {high, total}}; break;
    case soLessOrEqual: runs = {{0, high}}; break;
    case soGreaterOrEqual: runs = {{low, total}}; break;
    case soLess: runs = {{0, low}}; break;
    case soGreater: runs = {{high, total}}; break;
    default: throw EEngineError("TDeziDataSet.IsRecordMatches - Unsupported search operation in TDeziDataSet.IsRecordMatches");
  }
  int64_t count = 0;
  for (const auto& [from, to] : runs) count += to - from;
  // The shorter of the matches and the rest is read out of the index.
  const bool complement = count > total - count;
  std::vector<int32_t> listed;
  listed.reserve(static_cast<size_t>(complement ? total - count : count));
  auto take = [&](int32_t from, int32_t to) {
    const std::vector<int32_t> records = table.IndexRecords(index, from, to);
    listed.insert(listed.end(), records.begin(), records.end());
  };
  int32_t at = 0;
  for (const auto& [from, to] : runs) {
    if (complement) {
      take(at, from);
      at = to;
    } else {
      take(from, to);
    }
  }
  if (complement) take(at, total);
  std::sort(listed.begin(), listed.end());
  const TRecordSet set = TRecordSet::Of(total, std::move(listed));
  return complement ? set.Not() : set;
}

}  // namespace norvane

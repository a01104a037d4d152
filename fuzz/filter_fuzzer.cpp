// libFuzzer target: arbitrary bytes as a dataset filter over a small table
// held in a memory database, built once. Byte 0 holds the FilterOptions (bits
// 0..1) and the order of the indexed cursor (bits 2..3); the rest is the
// filter text. The filter is set on two cursors, one over a table with the
// automatic indexes and one over the same records without them, and read by
// a parser of its own that tests every record one by one. The three must
// agree: the same error, or the same records, each cursor showing them in
// its index's order. Locate and FindFirst/FindNext must land only on records
// the view shows, and agree between the cursors when both are in row
// identifier order. Any other outcome, a crash, a sanitizer report or a hang
// is a bug.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/tables/dataset_field.h"
#include "engine/tables/dezi_data_manager.h"
#include "engine/tables/dezi_table.h"
#include "engine/tables/field_types.h"
#include "engine/tables/search_parser.h"

namespace {

using norvane::TDeziTable;
using norvane::TFieldArgument;
using TIds = std::vector<int32_t>;

// A bare database name with InMemory names a database kept only in memory:
// nothing of it reaches the disk.
constexpr const char* kDatabase = "FilterFuzzMemory";

// The indexed cursor's orders, chosen by bits 2..3 of byte 0.
const char* const kOrders[] = {"", "Name", "Price", "Day"};
constexpr size_t kOrderCount = sizeof kOrders / sizeof kOrders[0];

constexpr int64_t kLow = std::numeric_limits<int64_t>::min();
constexpr int64_t kHigh = std::numeric_limits<int64_t>::max();

// Name, Qty, Price, Paid, Day, Wide, Big; the row identifier ID comes last.
// Every field is null somewhere, some values repeat, differ only in case or
// by a trailing blank, hold the like symbols, code page 1251 letters, or the
// ends of their type's range.
std::vector<std::vector<TFieldArgument>> Rows() {
  return {
      {"Alpha", 3, 1.5, true, "01.01.2020", "alpha", int64_t{10}},
      {"alpha", -7, -0.25, false, "29.02.2000", "ALPHA", int64_t{-1}},
      {"Beta", 3, nullptr, true, nullptr, "\xC1\xE5\xF2\xE0", kHigh},
      {"O'Brien", 0, 1e300, nullptr, "31.12.9999", nullptr, kLow},
      {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
      {"a%b_c", 2147483647, 3.25, false, "01.01.0001", "a%b_c", int64_t{0}},
      {"aaaaaaaaaaaaaaaaaaab", -2147483647 - 1, -1e-300, true, "15.06.1999", "aaaaaaaaab",
       int64_t{1234567890123}},
      {"\xC0\xE1\xE2", 3, 1.5, true, "01.01.2020", "\xE0\xE1\xE2", int64_t{10}},
      {"beta ", 12, 100.0, false, "02.01.2020", "b", int64_t{10}},
      {"Gamma", nullptr, 0.0, nullptr, "01.01.2020", "GAMMA", nullptr},
      {"ZZ", 5, 2.0, true, nullptr, "zz", int64_t{-5}},
      {"", 1, -3.0, false, "28.02.2021", "", int64_t{7}},
  };
}

std::unique_ptr<TDeziTable> MakeTable(const std::string& name, bool autoIndexes) {
  auto table = std::make_unique<TDeziTable>();
  table->SetDatabaseName(kDatabase);
  table->SetTableName(name);
  table->SetInMemory(true);
  table->SetAutoIndexes(autoIndexes);
  table->FieldDefs() = {{"Name", norvane::ftString, 20, false},   {"Qty", norvane::ftInteger, 0, false},
                        {"Price", norvane::ftFloat, 0, false},    {"Paid", norvane::ftBoolean, 0, false},
                        {"Day", norvane::ftDate, 0, false},       {"Wide", norvane::ftWideString, 10, false},
                        {"Big", norvane::ftLargeint, 0, false},   {"ID", norvane::ftAutoInc, 0, false}};
  table->Open();  // made in memory from the definitions
  for (const auto& row : Rows()) table->AppendRecord(row);
  return table;
}

int32_t CurrentId(TDeziTable& table) { return table.FieldByName("ID").AsInteger(); }

// The view from its first record; more steps than records is a hang.
TIds Walk(TDeziTable& table) {
  TIds ids;
  const int32_t limit = table.Table()->Header().RecordCount;
  for (table.First(); !table.Eof(); table.Next()) {
    if (static_cast<int32_t>(ids.size()) > limit) {
      std::fprintf(stderr, "the view did not end after %d records\n", limit);
      std::abort();
    }
    ids.push_back(CurrentId(table));
  }
  return ids;
}

struct TFixture {
  std::unique_ptr<TDeziTable> Indexed = MakeTable("Goods", true);
  std::unique_ptr<TDeziTable> Scanned = MakeTable("GoodsScan", false);
  // The unfiltered views: the indexed cursor's in each order, the other's.
  std::vector<TIds> IndexedOrders;
  TIds ScannedOrder = Walk(*Scanned);

  TFixture() {
    for (const char* order : kOrders) {
      Indexed->SetIndexFieldNames(order);
      if (Indexed->IndexFieldNames() != order) {
        std::fprintf(stderr, "no automatic index orders by \"%s\"\n", order);
        std::abort();
      }
      IndexedOrders.push_back(Walk(*Indexed));
    }
  }
};

TFixture& Fixture() {
  static TFixture* fixture = new TFixture();  // kept to the end of the process
  return *fixture;
}

// What a filter shows: the records, or the error that refused it.
struct TOutcome {
  std::string Error;
  TIds Ids;
  bool operator==(const TOutcome&) const = default;
};

std::string Shown(const TOutcome& outcome) {
  if (!outcome.Error.empty()) return "error: " + outcome.Error;
  std::string out = "ids";
  for (const int32_t id : outcome.Ids) out += " " + std::to_string(id);
  return out;
}

[[noreturn]] void Disagree(const char* what, const TOutcome& a, const TOutcome& b) {
  std::fprintf(stderr, "%s disagree:\n  %s\n  %s\n", what, Shown(a).c_str(), Shown(b).c_str());
  std::abort();
}

// Sets the filter and walks the view. `shown` is what the cursor shows
// afterwards: the filtered view, or without the filter when it was refused.
TOutcome Filtered(TDeziTable& table, const std::string& text, uint8_t options, const char* order,
                  TIds& shown) {
  TOutcome outcome;
  try {
    table.SetFiltered(false);
    table.SetIndexFieldNames(order);
    table.SetFilterOptions(options);
    table.SetFilter(text);
    table.SetFiltered(true);
    outcome.Ids = Walk(table);
    if (table.RecordCount() != static_cast<int32_t>(outcome.Ids.size())) {
      std::fprintf(stderr, "RecordCount %d, but the view walks %zu records\n", table.RecordCount(),
                   outcome.Ids.size());
      std::abort();
    }
    shown = outcome.Ids;
  } catch (const std::exception& error) {
    outcome.Error = error.what();
    outcome.Ids.clear();
    table.SetFiltered(false);
    shown = Walk(table);
  }
  return outcome;
}

// The filter read by a parser of its own and tried on every record alone,
// each record copied out at its exact size; the records that pass, in
// row identifier order.
TOutcome RecordByRecord(norvane::TDeziDataManager& table, const std::string& text, uint8_t options) {
  TOutcome outcome;
  try {
    norvane::TSearchParser parser;
    parser.SetExpression(table, text, options);
    const int32_t total = table.Header().RecordCount;
    const auto size = static_cast<size_t>(table.Geometry().RecordSize);
    for (int32_t p = 0; p < total; ++p) {
      const uint8_t* stored = table.RecordPtr(p);
      const std::vector<uint8_t> image(stored, stored + size);
      if (parser.Empty() || parser.EvaluateRecord(image.data()))
        outcome.Ids.push_back(table.DecodeRecord(image.data()).RowId);
    }
    std::sort(outcome.Ids.begin(), outcome.Ids.end());
  } catch (const std::exception& error) {
    outcome.Error = error.what();
    outcome.Ids.clear();
  }
  return outcome;
}

// The records of `order` that are among `passing`, in that order.
TIds InOrder(const TIds& order, const TIds& passing) {
  TIds kept;
  for (const int32_t id : order)
    if (std::binary_search(passing.begin(), passing.end(), id)) kept.push_back(id);
  return kept;
}

// Locate's record (0 for none) after a search on the view; it must be one
// the view shows.
TOutcome Located(TDeziTable& table, const TIds& view, const std::string& fields,
                 const std::vector<TFieldArgument>& values, uint8_t options) {
  TOutcome outcome;
  try {
    const bool found = table.Locate(fields, values, options);
    outcome.Ids.push_back(found ? CurrentId(table) : 0);
    if (found && std::find(view.begin(), view.end(), outcome.Ids.back()) == view.end()) {
      std::fprintf(stderr, "Locate(%s) stood on record %d, which the view does not show\n", fields.c_str(),
                   outcome.Ids.back());
      std::abort();
    }
  } catch (const std::exception& error) {
    outcome.Error = error.what();
    outcome.Ids.clear();
  }
  return outcome;
}

// The records FindFirst and FindNext visit; each must be in the view, later
// than the one before.
TOutcome Finds(TDeziTable& table, const TIds& view) {
  TOutcome outcome;
  try {
    size_t after = 0;
    for (bool found = table.FindFirst(); found; found = table.FindNext()) {
      const int32_t id = CurrentId(table);
      const auto at = std::find(view.begin() + static_cast<std::ptrdiff_t>(after), view.end(), id);
      if (at == view.end()) {
        std::fprintf(stderr, "FindNext stood on record %d, not in the view after position %zu\n", id, after);
        std::abort();
      }
      after = static_cast<size_t>(at - view.begin()) + 1;
      outcome.Ids.push_back(id);
    }
  } catch (const std::exception& error) {
    outcome.Error = error.what();
    outcome.Ids.clear();
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 1 << 16) return 0;
  TFixture& fixture = Fixture();
  const auto options = static_cast<uint8_t>(data[0] & 3);
  const size_t orderNo = (data[0] >> 2) % kOrderCount;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  const TOutcome alone = RecordByRecord(*fixture.Indexed->Table(), text, options);
  TIds scannedView, indexedView;
  const TOutcome scanned = Filtered(*fixture.Scanned, text, options, "", scannedView);
  const TOutcome indexed = Filtered(*fixture.Indexed, text, options, kOrders[orderNo], indexedView);
  if (!alone.Error.empty() || !scanned.Error.empty() || !indexed.Error.empty()) {
    if (scanned.Error != alone.Error) Disagree("the scanned cursor and the record tests", scanned, alone);
    if (indexed.Error != alone.Error) Disagree("the indexed cursor and the record tests", indexed, alone);
  } else {
    const TOutcome scannedWanted{"", InOrder(fixture.ScannedOrder, alone.Ids)};
    if (scanned != scannedWanted) Disagree("the scanned cursor and the record tests", scanned, scannedWanted);
    const TOutcome indexedWanted{"", InOrder(fixture.IndexedOrders[orderNo], alone.Ids)};
    if (indexed != indexedWanted) Disagree("the indexed cursor and the record tests", indexed, indexedWanted);
  }

  // Searches within what each cursor shows; in the same order both must
  // stop at the same records.
  const bool sameOrder = orderNo == 0;
  const auto locate = [&](const std::string& fields, const std::vector<TFieldArgument>& values, uint8_t how) {
    const TOutcome a = Located(*fixture.Scanned, scannedView, fields, values, how);
    const TOutcome b = Located(*fixture.Indexed, indexedView, fields, values, how);
    if (sameOrder && a != b) Disagree("Locate on the two cursors", a, b);
  };
  const uint8_t folded = (options & norvane::foCaseInsensitive) != 0 ? norvane::loCaseInsensitive : 0;
  locate("Name", {"a"}, static_cast<uint8_t>(norvane::loPartialKey | folded));
  locate("Qty;Paid", {3, true}, 0);
  locate("Wide", {"alpha"}, norvane::loCaseInsensitive);
  const TOutcome foundScanned = Finds(*fixture.Scanned, scannedView);
  const TOutcome foundIndexed = Finds(*fixture.Indexed, indexedView);
  if (sameOrder && foundScanned != foundIndexed)
    Disagree("FindFirst/FindNext on the two cursors", foundScanned, foundIndexed);
  return 0;
}

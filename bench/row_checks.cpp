// The row checks of the comparison benchmark. Titles are compared with the
// engine's own case-insensitive collation, the order both engines sort by;
// SQL values byte for byte.
#include "bench/row_checks.h"

#include <algorithm>
#include <cstddef>

#include "engine/platform/cp1251.h"
#include "engine/protection/collation.h"

namespace norvane::bench {
namespace {

std::string Describe(const TRow& row) { return "ID " + std::to_string(row.Id); }

// The values in UTF-8, as a terminal shows them.
std::string Describe(const TSqlRow& row) {
  std::string text = "(";
  for (size_t i = 0; i < row.size(); ++i)
    text += (i > 0 ? " | " : "") + (row[i] ? Cp1251ToUtf8(*row[i]) : std::string("NULL"));
  return text + ")";
}

bool SameLead(const TSqlRow& a, const TSqlRow& b, size_t count) {
  return std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(count, a.size())), b.begin(),
                    b.begin() + static_cast<std::ptrdiff_t>(std::min(count, b.size())));
}

}  // namespace

void ExpectSame(const std::vector<TRow>& expected, const std::vector<TRow>& got, const std::string& who) {
  if (expected.size() != got.size())
    throw EMismatch(who + " gives " + std::to_string(got.size()) + " rows, expected " +
                    std::to_string(expected.size()));
  const auto [e, g] = std::mismatch(expected.begin(), expected.end(), got.begin());
  if (e != expected.end())
    throw EMismatch(who + " differs at row " + std::to_string(e - expected.begin()) + ": " +
                    Describe(*g) + " where " + Describe(*e) + " was expected");
}

std::vector<TRow> ById(std::vector<TRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) { return a.Id < b.Id; });
  return rows;
}

void ExpectSameInTitleOrder(const std::vector<TRow>& a, const std::vector<TRow>& b) {
  if (a.size() != b.size())
    throw EMismatch("row counts " + std::to_string(a.size()) + " and " + std::to_string(b.size()));
  size_t runStart = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (CollateCompareCI(a[i].Title.c_str(), b[i].Title.c_str()) != 0)
      throw EMismatch("titles differ at row " + std::to_string(i) + " (" + Describe(a[i]) +
                      ", " + Describe(b[i]) + ")");
    const bool runEnds =
        i + 1 == a.size() || CollateCompareCI(a[i].Title.c_str(), a[i + 1].Title.c_str()) != 0;
    if (!runEnds) continue;
    const auto first = static_cast<std::ptrdiff_t>(runStart), last = static_cast<std::ptrdiff_t>(i + 1);
    ExpectSame(ById({a.begin() + first, a.begin() + last}), ById({b.begin() + first, b.begin() + last}),
               "the equal titles from row " + std::to_string(runStart));
    runStart = i + 1;
  }
  // The order itself: every title sorts no later than the next one.
  for (size_t i = 1; i < a.size(); ++i)
    if (CollateCompareCI(a[i - 1].Title.c_str(), a[i].Title.c_str()) > 0)
      throw EMismatch("both engines are out of title order at row " + std::to_string(i));
}

void ExpectSameRows(const std::vector<TSqlRow>& expected, const std::vector<TSqlRow>& got, size_t orderedBy,
                    const std::string& who) {
  if (expected.size() != got.size())
    throw EMismatch(who + " gives " + std::to_string(got.size()) + " rows, expected " +
                    std::to_string(expected.size()));
  for (size_t start = 0, end; start < expected.size(); start = end) {
    end = start + 1;
    if (orderedBy == 0) end = expected.size();
    while (end < expected.size() && SameLead(expected[start], expected[end], orderedBy)) ++end;
    const auto from = static_cast<std::ptrdiff_t>(start), to = static_cast<std::ptrdiff_t>(end);
    std::vector<TSqlRow> want(expected.begin() + from, expected.begin() + to);
    std::vector<TSqlRow> have(got.begin() + from, got.begin() + to);
    std::sort(want.begin(), want.end());
    std::sort(have.begin(), have.end());
    const auto [w, h] = std::mismatch(want.begin(), want.end(), have.begin());
    if (w == want.end()) continue;
    const std::string where = orderedBy == 0 ? "" : " among the rows " + std::to_string(start) + " to " +
                                                        std::to_string(end - 1);
    throw EMismatch(who + " differs" + where + ": " + Describe(*h) + " where " + Describe(*w) +
                    " was expected");
  }
}

}  // namespace norvane::bench

// The comparison benchmark's checks of what the engines return: the same
// rows in the same order, or in the order of the title ignoring case, or
// SQL results in the order of their leading columns. A difference is an
// EMismatch naming the first row that differs.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "bench/engine_side.h"

namespace norvane::bench {

// The engines answered differently (or one differs from the model).
class EMismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Same rows in the same order; `who` names the answer in the message.
void ExpectSame(const std::vector<TRow>& expected, const std::vector<TRow>& got, const std::string& who);

// The rows sorted by row identifier.
std::vector<TRow> ById(std::vector<TRow> rows);

// Same rows in the order of the title ignoring case: equal titles at every
// position; among titles that compare equal no order is defined, so each run
// of them must hold the same articles in any order.
void ExpectSameInTitleOrder(const std::vector<TRow>& a, const std::vector<TRow>& b);

// Same SQL rows, ordered by their first `orderedBy` values: those agree at
// every position, and since rows that agree in them may come in any order,
// each run of such rows holds the same rows in some order. With `orderedBy`
// 0 the results are one run: the same rows in any order; with kExactOrder
// every value counts, so the rows come in exactly the expected order.
inline constexpr size_t kExactOrder = static_cast<size_t>(-1);
void ExpectSameRows(const std::vector<TSqlRow>& expected, const std::vector<TSqlRow>& got, size_t orderedBy,
                    const std::string& who);

}  // namespace norvane::bench

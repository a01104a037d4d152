// The order of two field values in their stored form (the record layout of
// their type), shared by the dataset filters and the query engine's typed
// values so that a condition means the same wherever it is evaluated.
#pragma once

#include <cstdint>
#include <optional>

namespace norvane {

// -1, 0 or 1 as a sorts before, with or after b, both of field type `type`
// and holding `sizeA` and `sizeB` bytes (reads never go past them):
// - ftString by the engine's collation, ftWideString by the user locale's,
//   ignoring case when asked; with `partial` only as many characters of a
//   take part as b has;
// - whole numbers (ftAutoInc among them) and ftBoolean (false first) by
//   value; ftFloat and ftCurrency as 64-bit floats; ftDate by day number,
//   ftTime by milliseconds, ftDateTime rounded to whole milliseconds.
// nullopt for a type without an order, or a value too short for its type.
std::optional<int> CompareStoredValues(int type, const uint8_t* a, int32_t sizeA, const uint8_t* b,
                                       int32_t sizeB, bool partial, bool caseInsensitive);

}  // namespace norvane

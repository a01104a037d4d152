// How one fuzz input holds a table: the bytes of T.dat, and after the marker
// line (when there is one) the bytes of T.idx. Shared by the table-open target
// and the test that keeps its seeds reaching the code they were made for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace norvane::fuzz {

inline constexpr std::string_view kIndexFileMarker = "\n--T.idx--\n";

struct TTableInput {
  std::vector<uint8_t> Dat, Idx;
};

inline TTableInput SplitTableInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t at = all.find(kIndexFileMarker);
  if (at == std::string_view::npos) return {{data, data + size}, {}};
  return {{data, data + at}, {data + at + kIndexFileMarker.size(), data + size}};
}

}  // namespace norvane::fuzz

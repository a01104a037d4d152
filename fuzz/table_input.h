// How one fuzz input holds a table: the bytes of T.dat, then, each after its
// marker line and each optional, the bytes of T.idx, T.bif, T.bdf and T.jnl. Shared
// by the table-open target and the test that keeps its seeds reaching the
// code they were made for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace norvane::fuzz {

inline constexpr std::string_view kIndexFileMarker = "\n--T.idx--\n";
inline constexpr std::string_view kBlobDirectoryMarker = "\n--T.bif--\n";
inline constexpr std::string_view kBlobDataMarker = "\n--T.bdf--\n";
inline constexpr std::string_view kJournalMarker = "\n--T.jnl--\n";

struct TTableInput {
  std::vector<uint8_t> Dat, Idx, Bif, Bdf, Jnl;
};

// A part runs to the next marker present; markers come in the order above.
inline TTableInput SplitTableInput(const uint8_t* data, size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  TTableInput input;
  std::vector<uint8_t>* part = &input.Dat;
  size_t from = 0;
  const std::pair<std::string_view, std::vector<uint8_t>*> markers[] = {
      {kIndexFileMarker, &input.Idx}, {kBlobDirectoryMarker, &input.Bif}, {kBlobDataMarker, &input.Bdf},
      {kJournalMarker, &input.Jnl}};
  for (const auto& [marker, next] : markers) {
    const size_t at = all.find(marker, from);
    if (at == std::string_view::npos) continue;
    part->assign(data + from, data + at);
    part = next;
    from = at + marker.size();
  }
  part->assign(data + from, data + size);
  return input;
}

}  // namespace norvane::fuzz

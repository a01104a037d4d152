// One-buffer forms of the hash interface.
#include "engine/protection/hash.h"

namespace norvane {

std::vector<uint8_t> THash::CalcBuffer(const uint8_t* data, size_t n) {
  Init();
  Calc(data, n);
  return Done();
}

std::vector<uint8_t> THash::CalcString(const std::string& s) {
  return CalcBuffer(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

}  // namespace norvane

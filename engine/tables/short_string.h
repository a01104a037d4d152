// Short strings of capacity 20, as table and index files hold names: one
// length byte followed by 20 bytes of code-page-1251 text; the bytes past the
// length are not significant (written as zeros).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/common/engine_error.h"

namespace norvane {

constexpr size_t kShortStringCapacity = 20;
constexpr size_t kShortStringBytes = kShortStringCapacity + 1;

// A name is never cut: a text longer than the capacity throws "Name "<text>"
// has more than 20 characters." and writes nothing.
inline void PutShortString(uint8_t* p, std::string_view text) {
  if (text.size() > kShortStringCapacity)
    throw EEngineError("Name \"" + std::string(text) + "\" has more than 20 characters.");
  std::memset(p, 0, kShortStringBytes);
  p[0] = static_cast<uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

// False when the length byte claims more than the capacity (a damaged field).
inline bool GetShortString(const uint8_t* p, std::string& out) {
  if (p[0] > kShortStringCapacity) return false;
  out.assign(reinterpret_cast<const char*>(p + 1), p[0]);
  return true;
}

}  // namespace norvane

// Little-endian encoding of integers, floats and fixed-size text fields, byte
// by byte. Every on-disk structure of the engine is written and read through
// these helpers, never by copying structs.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace norvane {

inline void PutU8(uint8_t* p, uint8_t v) { p[0] = v; }
inline uint8_t GetU8(const uint8_t* p) { return p[0]; }

inline void PutU16LE(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline uint16_t GetU16LE(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline void PutU32LE(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32LE(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline void PutI32LE(uint8_t* p, int32_t v) { PutU32LE(p, static_cast<uint32_t>(v)); }
inline int32_t GetI32LE(const uint8_t* p) { return static_cast<int32_t>(GetU32LE(p)); }

inline void PutU64LE(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint64_t GetU64LE(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline void PutI64LE(uint8_t* p, int64_t v) { PutU64LE(p, static_cast<uint64_t>(v)); }
inline int64_t GetI64LE(const uint8_t* p) { return static_cast<int64_t>(GetU64LE(p)); }

inline void PutF32LE(uint8_t* p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU32LE(p, bits);
}
inline float GetF32LE(const uint8_t* p) {
  uint32_t bits = GetU32LE(p);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

inline void PutF64LE(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU64LE(p, bits);
}
inline double GetF64LE(const uint8_t* p) {
  uint64_t bits = GetU64LE(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// A zero-terminated text field of `capacity` bytes: the text is cut to
// capacity - 1 bytes and the rest of the field is zero.
inline void PutZString(uint8_t* p, size_t capacity, std::string_view s) {
  std::memset(p, 0, capacity);
  std::memcpy(p, s.data(), s.size() < capacity ? s.size() : capacity - 1);
}
// Reads a zero-terminated text field; false when no terminator lies within
// the field (a damaged field).
inline bool GetZString(const uint8_t* p, size_t capacity, std::string& out) {
  const void* end = std::memchr(p, 0, capacity);
  if (end == nullptr) return false;
  out.assign(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(end) - p);
  return true;
}

}  // namespace norvane

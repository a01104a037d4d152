// A growable byte stream in memory with a position: what a large value is
// read into and written from, and what a dataset caches per large field.
// Reads stop at the end; writes past the end grow the stream (a gap left by
// a seek past the end reads as zeros).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace norvane {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
  int64_t Position() const { return position_; }
  const uint8_t* Data() const { return bytes_.data(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  // Copies up to n bytes from the position on; returns how many.
  int64_t Read(void* out, int64_t n) {
    const int64_t count = std::clamp<int64_t>(Size() - position_, 0, std::max<int64_t>(n, 0));
    if (count > 0) std::memcpy(out, bytes_.data() + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
  }
  // Writes n bytes at the position, growing the stream as needed.
  int64_t Write(const void* in, int64_t n) {
    if (n <= 0) return 0;
    if (position_ + n > Size()) bytes_.resize(static_cast<size_t>(position_ + n));
    std::memcpy(bytes_.data() + position_, in, static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  // Origin 0 = from the start, 1 = from the position, 2 = from the end;
  // a negative result stops at 0. Returns the new position.
  int64_t Seek(int64_t offset, int origin) {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : Size();
    position_ = std::max<int64_t>(base + offset, 0);
    return position_;
  }
  // Cuts or grows (with zeros) the stream; the position stays within it.
  void SetSize(int64_t size) {
    bytes_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    position_ = std::min(position_, Size());
  }
  void Clear() {
    bytes_.clear();
    position_ = 0;
  }
  // Takes the bytes as the whole content, positioned at the start.
  void Assign(std::vector<uint8_t> bytes) {
    bytes_ = std::move(bytes);
    position_ = 0;
  }

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};

}  // namespace norvane

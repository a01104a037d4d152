// Memory store files: a byte vector with a position.
#include "engine/container/memory_file.h"

#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"

namespace norvane {

void TMemoryFile::Open(bool create) {
  if (!create)
    throw EEngineError("TMemoryFile.Open - File cannot be open, only creation is available.");
  data_.clear();
  position_ = 0;
  SetOpen(true);
}

void TMemoryFile::Close() {
  std::vector<uint8_t>().swap(data_);
  position_ = 0;
  SetOpen(false);
}

int32_t TMemoryFile::Read(void* buffer, int32_t n) {
  const int64_t count = std::min<int64_t>(n, static_cast<int64_t>(data_.size()) - position_);
  if (count <= 0) return 0;
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(count));
  position_ += static_cast<int32_t>(count);
  return static_cast<int32_t>(count);
}

int32_t TMemoryFile::Write(const void* buffer, int32_t n) {
  if (n <= 0) return 0;
  CheckGrowth(position_, n);
  const size_t end = static_cast<size_t>(position_) + static_cast<size_t>(n);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int32_t TMemoryFile::Seek(int32_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : static_cast<int64_t>(data_.size());
  const int64_t target = base + offset;
  if (target > kMaxSize)
    throw EEngineError("TMemoryFile.Seek - Position beyond " + std::to_string(kMaxSize) + ".");
  if (target >= 0) position_ = static_cast<int32_t>(target);
  return position_;
}

void TMemoryFile::SetSize(int32_t size) {
  if (size < 0) throw EEngineError("TMemoryFile.SetSize - Size < 0.");
  data_.resize(static_cast<size_t>(size));
  position_ = size;
}

}  // namespace norvane

// Memory store files: blocks of bytes with a position.
#include "engine/container/memory_file.h"

#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"

namespace norvane {

void TMemoryFile::Open(bool create) {
  if (!create)
    throw EEngineError("TMemoryFile.Open - File cannot be open, only creation is available.");
  Resize(0);
  position_ = 0;
  SetOpen(true);
}

void TMemoryFile::Close() {
  std::vector<std::unique_ptr<uint8_t[]>>().swap(blocks_);
  size_ = 0;
  position_ = 0;
  SetOpen(false);
}

void TMemoryFile::Resize(size_t size) {
  const size_t blocks = (size + kBlock - 1) / kBlock;
  if (size < size_) {
    blocks_.resize(blocks);
    // The bytes cut off from the last block are zero again, for a later growth.
    if (const size_t used = size % kBlock; used != 0) std::memset(blocks_.back().get() + used, 0, kBlock - used);
  }
  while (blocks_.size() < blocks) blocks_.push_back(std::make_unique<uint8_t[]>(kBlock));
  size_ = size;
}

int32_t TMemoryFile::Read(void* buffer, int32_t n) {
  const int64_t count = std::min<int64_t>(n, static_cast<int64_t>(size_) - position_);
  if (count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  ForEachPart(static_cast<size_t>(position_), static_cast<size_t>(count),
              [&](const uint8_t* block, size_t done, size_t part) { std::memcpy(out + done, block, part); });
  position_ += static_cast<int32_t>(count);
  return static_cast<int32_t>(count);
}

int32_t TMemoryFile::Write(const void* buffer, int32_t n) {
  if (n <= 0) return 0;
  CheckGrowth(position_, n);
  const size_t end = static_cast<size_t>(position_) + static_cast<size_t>(n);
  if (end > size_) Resize(end);
  const auto* in = static_cast<const uint8_t*>(buffer);
  ForEachPart(static_cast<size_t>(position_), static_cast<size_t>(n),
              [&](uint8_t* block, size_t done, size_t part) { std::memcpy(block, in + done, part); });
  position_ += n;
  return n;
}

int32_t TMemoryFile::Seek(int32_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : static_cast<int64_t>(size_);
  const int64_t target = base + offset;
  if (target > kMaxSize)
    throw EEngineError("TMemoryFile.Seek - Position beyond " + std::to_string(kMaxSize) + ".");
  if (target >= 0) position_ = static_cast<int32_t>(target);
  return position_;
}

void TMemoryFile::SetSize(int32_t size) {
  if (size < 0) throw EEngineError("TMemoryFile.SetSize - Size < 0.");
  Resize(static_cast<size_t>(size));
  position_ = size;
}

}  // namespace norvane

// Memory parts: a byte vector with a position.
#include "engine/container/memory_part_file.h"

#include <cstring>

#include "engine/common/engine_error.h"

namespace norvane {

void TESFSMemoryFile::Open(bool create) {
  if (!create)
    throw EEngineError("TESFSMemoryFile.Open - File cannot be open, only creation is available.");
  data_.clear();
  position_ = 0;
}

void TESFSMemoryFile::Close() {
  std::vector<uint8_t>().swap(data_);
  position_ = 0;
}

int64_t TESFSMemoryFile::Read(void* buffer, int64_t n) {
  if (n <= 0 || position_ >= Size()) return 0;
  const int64_t count = std::min(n, Size() - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TESFSMemoryFile::Write(const void* buffer, int64_t n) {
  if (n <= 0) return 0;
  if (position_ + n > Size()) Resize(position_ + n);
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TESFSMemoryFile::Seek(int64_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : Size();
  if (base + offset >= 0) position_ = base + offset;
  return position_;
}

void TESFSMemoryFile::Resize(int64_t size) {
  if (size < 0) throw EEngineError("TESFSMemoryFile.SetSize - Size < 0.");
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::exception&) {
    throw EEngineError("TESFSMemoryFile.SetSize - Out of memory.");
  }
}

void TESFSMemoryFile::SetSize(int64_t size) {
  Resize(size);
  position_ = size;
}

}  // namespace norvane

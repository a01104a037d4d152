// The helpers every store file shares: exact transfers, copying, sizes and
// reopening after a flag change.
#include "engine/container/abstract_file.h"

#include <algorithm>
#include <vector>

#include "engine/common/engine_error.h"

namespace norvane {

namespace {
constexpr int32_t kCopyChunk = 61440;
}

void TAbstractFile::SetExclusive(bool on) {
  if (on == exclusive_) return;
  exclusive_ = on;
  Reopen();
}

void TAbstractFile::SetReadOnly(bool on) {
  if (on == readOnly_) return;
  readOnly_ = on;
  Reopen();
}

void TAbstractFile::Reopen() {
  if (!open_) return;
  const int32_t position = Position();
  Close();
  Open(false);
  SeekFromStart(position);
}

int32_t TAbstractFile::Size() {
  const int32_t position = Position();
  const int32_t size = Seek(0, 2);
  SeekFromStart(position);
  return size;
}

void TAbstractFile::ReadBuffer(void* buffer, int32_t n) {
  if (n > 0 && Read(buffer, n) != n)
    throw EEngineError("TAbstractFile.ReadBuffer - Stream read error");
}

void TAbstractFile::WriteBuffer(const void* buffer, int32_t n) {
  if (n > 0 && Write(buffer, n) != n)
    throw EEngineError("TAbstractFile.WriteBuffer - Stream write error");
}

int32_t TAbstractFile::CopyFrom(TAbstractFile& source, int32_t n) {
  if (n == 0) {
    source.SeekFromStart(0);
    n = source.Size();
  }
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(n, kCopyChunk)));
  for (int32_t left = n; left > 0;) {
    const int32_t step = std::min(left, kCopyChunk);
    source.ReadBuffer(chunk.data(), step);
    WriteBuffer(chunk.data(), step);
    left -= step;
  }
  return n;
}

void TAbstractFile::CheckGrowth(int64_t position, int64_t n) const {
  if (position + n > kMaxSize)
    throw EEngineError("TAbstractFile.Write - File \"" + name_ + "\" cannot grow beyond " +
                       std::to_string(kMaxSize) + " bytes.");
}

void TAbstractFile::ThrowCannotCreate() const {
  throw EEngineError("Cannot create file \"" + name_ + "\"");
}

void TAbstractFile::ThrowCannotOpen() const {
  throw EEngineError("Cannot open file \"" + name_ + "\"");
}

}  // namespace norvane

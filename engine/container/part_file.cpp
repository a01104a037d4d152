// The exact-transfer helpers and the whole-content copy shared by all parts.
#include "engine/container/part_file.h"

#include <vector>

#include "engine/common/engine_error.h"
#include "engine/container/disk_part_file.h"
#include "engine/container/memory_part_file.h"

namespace norvane {

namespace {
constexpr int64_t kCopyChunk = 61440;
}

void TESFSAbstractFile::ReadBuffer(void* buffer, int64_t n) {
  if (n > 0 && Read(buffer, n) != n)
    throw EEngineError("TESFSAbstractFile.ReadBuffer - Stream read error");
}

void TESFSAbstractFile::WriteBuffer(const void* buffer, int64_t n) {
  if (n > 0 && Write(buffer, n) != n)
    throw EEngineError("TESFSAbstractFile.WriteBuffer - Stream write error");
}

void TESFSAbstractFile::CopyFrom(TESFSAbstractFile& source) {
  const int64_t size = source.Size();
  SetSize(0);
  SeekFromStart(0);
  source.SeekFromStart(0);
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(size, kCopyChunk)));
  for (int64_t done = 0; done < size;) {
    const int64_t n = std::min(kCopyChunk, size - done);
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    done += n;
  }
}

std::unique_ptr<TESFSAbstractFile> MakeDefaultPart(const std::string& fileName, bool inMemory,
                                                   bool exclusive, bool readOnly) {
  if (inMemory) return std::make_unique<TESFSMemoryFile>(fileName, exclusive, readOnly);
  return std::make_unique<TESFSDiskFile>(fileName, exclusive, readOnly);
}

}  // namespace norvane

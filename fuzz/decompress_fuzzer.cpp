// libFuzzer target: arbitrary bytes as a compressed large value. The first
// two bytes choose the expected length (the bound the caller recorded); the
// rest is the stream. The decompressor must answer false or a result no
// longer than the bound, and what it returns must compress back to a stream
// that decompresses to the same bytes.
#include <cstdlib>
#include <vector>

#include "engine/protection/compress_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using norvane::aaCompressBuffer;
  using norvane::aaDecompressBuffer;
  if (size < 2) return 0;
  const size_t expected = (static_cast<size_t>(data[0]) << 8 | data[1]) * 16;
  std::vector<uint8_t> out;
  size_t got = expected;
  if (!aaDecompressBuffer(data + 2, size - 2, out, norvane::cmZlib, got)) return 0;
  if (got > expected || got != out.size() || got == 0) std::abort();

  std::vector<uint8_t> again;
  size_t packed = 0;
  if (!aaCompressBuffer(out.data(), out.size(), again, norvane::cmZlib, packed)) std::abort();
  std::vector<uint8_t> back;
  size_t length = got;
  if (!aaDecompressBuffer(again.data(), again.size(), back, norvane::cmZlib, length) ||
      back != out)
    std::abort();
  return 0;
}

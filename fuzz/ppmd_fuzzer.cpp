// libFuzzer target: arbitrary bytes as PPMd-compressed large values. The
// first byte chooses the mode (2 or 3), the next two the expected length
// (the bound the caller recorded); the rest is the stream. The decoder must
// answer false or a result no longer than the bound, and what it returns
// must compress back to a stream that decodes to the same bytes.
#include <cstdlib>
#include <vector>

#include "engine/protection/compress_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using norvane::aaCompressBuffer;
  using norvane::aaDecompressBuffer;
  if (size < 3) return 0;
  const uint8_t mode = (data[0] & 1) != 0 ? norvane::cmPPMdMax : norvane::cmPPMdFast;
  const size_t expected = (static_cast<size_t>(data[1]) << 8 | data[2]) * 16;
  std::vector<uint8_t> out;
  size_t got = expected;
  if (!aaDecompressBuffer(data + 3, size - 3, out, mode, got)) return 0;
  if (got > expected || got != out.size() || got == 0) std::abort();

  std::vector<uint8_t> again;
  size_t packed = 0;
  if (!aaCompressBuffer(out.data(), out.size(), again, mode, packed)) std::abort();
  std::vector<uint8_t> back;
  size_t length = got;
  if (!aaDecompressBuffer(again.data(), again.size(), back, mode, length) || back != out) std::abort();
  return 0;
}

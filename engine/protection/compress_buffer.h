// Compression of large values: the mode codes kept in a table's header and
// the two buffer functions. Mode 1 is a plain zlib stream; modes 2 and 3
// frame PPMd chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvane {

enum TCompressionMode : uint8_t {
  cmNone = 0,     // stored as it is
  cmZlib = 1,     // zlib stream, level 1
  cmPPMdFast = 2, // PPMd variant G, order 5, 20 MB, chunks of 819200 bytes
  cmPPMdMax = 3,  // PPMd variant G, order 16, 50 MB, chunks of 1638400 bytes
};

// Compresses n bytes of inBuf into outBuf (resized to the result) and sets
// size to the output length. Mode 0 copies; mode 1 writes a zlib stream with
// its 2-byte header and Adler-32 trailer. Returns false, with outBuf empty
// and size 0, on any failure, an empty result, or an unknown mode; the output
// never holds an unfinished result. Throws "aaCompressBuffer - inBuf = nil" when
// inBuf is null, even for n 0.
bool aaCompressBuffer(const uint8_t* inBuf, size_t n, std::vector<uint8_t>& outBuf, uint8_t mode,
                      size_t& size);

// Decompresses n bytes of inBuf. On entry size is the expected output length,
// the length the caller recorded when compressing; it is also the bound: no
// result longer than it is produced. On success outBuf holds the output, size
// its length, which may be shorter than expected. Returns false, with outBuf
// empty and size 0, when size is 0, for mode 0 (stored data is never passed
// here), for an unknown mode, for a damaged, truncated or empty stream, and
// when the output would exceed the expected length.
bool aaDecompressBuffer(const uint8_t* inBuf, size_t n, std::vector<uint8_t>& outBuf, uint8_t mode,
                        size_t& size);

}  // namespace norvane

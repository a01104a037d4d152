// Buffer compression for large values: the mode dispatch and the zlib stream
// codec, both directions bounded by the buffers they are given.
#include "engine/protection/compress_buffer.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "engine/common/engine_error.h"

namespace norvane {

namespace {

// zlib counts in unsigned int; larger buffers are handed over in pieces.
constexpr size_t kMaxPiece = UINT_MAX;

void Feed(z_stream& zs, const uint8_t*& next, size_t& remaining) {
  if (zs.avail_in != 0 || remaining == 0) return;
  const size_t piece = std::min(remaining, kMaxPiece);
  zs.next_in = const_cast<Bytef*>(next);  // zlib's API is not const-correct
  zs.avail_in = static_cast<uInt>(piece);
  next += piece;
  remaining -= piece;
}

bool Deflate(const uint8_t* inBuf, size_t n, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (deflateInit2(&zs, 1, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  // The output starts at n / 10 + n + 267 rounded down to 256 bytes and grows
  // 256 bytes at a time while deflate asks for room, up to zlib's own worst
  // case for n bytes (deflateBound). The start is already above that worst
  // case, so growth is a safeguard; a stream that would need more than the
  // worst case is refused.
  const size_t start = (n / 10 + n + 267) & ~size_t{255};
  const size_t limit = std::max<size_t>(start, deflateBound(&zs, n));
  out.resize(start);
  size_t produced = 0;
  const uint8_t* next = inBuf;
  size_t remaining = n;
  bool ok = false;
  for (;;) {
    Feed(zs, next, remaining);
    if (produced == out.size()) {
      if (out.size() >= limit) break;
      out.resize(std::min(out.size() + 256, limit));
    }
    const size_t room = std::min(out.size() - produced, kMaxPiece);
    zs.next_out = out.data() + produced;
    zs.avail_out = static_cast<uInt>(room);
    const int rc = deflate(&zs, remaining == 0 ? Z_FINISH : Z_NO_FLUSH);
    produced += room - zs.avail_out;
    if (rc == Z_STREAM_END) {
      ok = true;
      break;
    }
    // Z_BUF_ERROR means no progress; with room and input both on hand that
    // cannot end, so only a full output may go round again.
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_out == 0)) break;
  }
  deflateEnd(&zs);
  out.resize(ok ? produced : 0);
  return ok && produced > 0;
}

bool Inflate(const uint8_t* inBuf, size_t n, size_t expected, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  // The output may never pass `expected`. The buffer grows towards it by
  // doubling rather than being allocated whole, so a damaged length of
  // gigabytes costs nothing unless the stream really inflates that far.
  out.resize(std::min(expected, std::max<size_t>(65536, 4 * n)));
  size_t produced = 0;
  // Once the buffer holds `expected` bytes, inflate may only finish: it is
  // given this one spare byte, and writing into it means the output is longer
  // than the bound.
  uint8_t spill = 0;
  const uint8_t* next = inBuf;
  size_t remaining = n;
  bool ok = false;
  for (;;) {
    Feed(zs, next, remaining);
    if (produced == out.size() && out.size() < expected)
      out.resize(std::min(expected, 2 * out.size()));
    const bool atBound = produced == out.size();
    const size_t room = atBound ? 1 : std::min(out.size() - produced, kMaxPiece);
    zs.next_out = atBound ? &spill : out.data() + produced;
    zs.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    if (atBound && zs.avail_out == 0) break;  // more output than expected
    if (!atBound) produced += room - zs.avail_out;
    if (rc == Z_STREAM_END) {
      ok = true;
      break;
    }
    // Z_BUF_ERROR is no progress: fine when only the output was full, the end
    // of a truncated stream when the input is used up.
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_out == 0)) break;
  }
  inflateEnd(&zs);
  out.resize(ok ? produced : 0);
  return ok && produced > 0;
}

}  // namespace

bool aaCompressBuffer(const uint8_t* inBuf, size_t n, std::vector<uint8_t>& outBuf, uint8_t mode,
                      size_t& size) {
  if (inBuf == nullptr) throw EEngineError("aaCompressBuffer - inBuf = nil");
  size = 0;
  outBuf.clear();
  bool ok = false;
  switch (mode) {
    case cmNone:
      outBuf.assign(inBuf, inBuf + n);
      ok = true;
      break;
    case cmZlib:
      ok = Deflate(inBuf, n, outBuf);
      break;
    // The PPMd modes are not built yet: they answer false, the same answer
    // as a failed compression, so a table asking for them never stores a
    // wrong result. Unknown modes are false as well.
    default:
      break;
  }
  if (!ok) outBuf.clear();
  size = outBuf.size();
  return ok;
}

bool aaDecompressBuffer(const uint8_t* inBuf, size_t n, std::vector<uint8_t>& outBuf, uint8_t mode,
                        size_t& size) {
  const size_t expected = size;
  size = 0;
  outBuf.clear();
  if (expected == 0 || inBuf == nullptr) return false;
  // Mode 0 data is used as stored and never passed here; cmPPMdFast and
  // cmPPMdMax are not built yet; anything else is unknown.
  if (mode != cmZlib) return false;
  if (!Inflate(inBuf, n, expected, outBuf)) {
    outBuf.clear();
    return false;
  }
  size = outBuf.size();
  return true;
}

}  // namespace norvane

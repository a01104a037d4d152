// Buffer compression for large values: the mode dispatch and the zlib stream
// codec, both directions bounded by the buffers they are given.
#include "engine/protection/compress_buffer.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "engine/common/engine_error.h"
#include "engine/protection/ppmd_model.h"

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

// The two PPMd modes: model order, model memory in MB, chunk length.
struct TPpmdMode {
  int Order;
  uint32_t MegaBytes;
  size_t Chunk;
  uint32_t Header() const { return 0x6000u + (MegaBytes - 1) * 16 + static_cast<uint32_t>(Order - 1); }
};

const TPpmdMode* PpmdMode(uint8_t mode) {
  static const TPpmdMode kFast{5, 20, 819200}, kMax{16, 50, 1638400};
  return mode == cmPPMdFast ? &kFast : mode == cmPPMdMax ? &kMax : nullptr;
}

void PutWord(std::vector<uint8_t>& out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

uint32_t GetWord(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
         static_cast<uint32_t>(in[3]) << 24;
}

// Each chunk: its length, then the header word and the coded bytes. One
// model memory serves every chunk of the call.
bool PpmdCompress(const uint8_t* in, size_t n, const TPpmdMode& mode, std::vector<uint8_t>& out) {
  TPpmdModel model(mode.MegaBytes << 20);
  size_t at = 0;
  do {  // empty input is one empty chunk
    const size_t length = std::min(mode.Chunk, n - at);
    const size_t lengthAt = out.size();
    PutWord(out, 0);
    PutWord(out, mode.Header());
    model.EncodeChunk(in + at, length, mode.Order, out);
    const size_t coded = out.size() - lengthAt - 4;
    for (int i = 0; i < 4; ++i) out[lengthAt + static_cast<size_t>(i)] = static_cast<uint8_t>(coded >> (8 * i));
    at += length;
  } while (at < n);
  return !out.empty();
}

// Only the header words the two modes write are taken: a chunk asking for
// another order or memory size is damage, not a model to build.
bool PpmdDecompress(const uint8_t* in, size_t n, size_t expected, std::vector<uint8_t>& out) {
  std::unique_ptr<TPpmdModel> model;
  uint32_t modelBytes = 0;
  size_t at = 0;
  while (at < n) {
    if (n - at < 4) return false;
    const uint32_t length = GetWord(in + at);
    at += 4;
    if (length < 4 || length > n - at) return false;
    const uint32_t header = GetWord(in + at);
    const TPpmdMode* mode = nullptr;
    for (uint8_t m : {cmPPMdFast, cmPPMdMax})
      if (PpmdMode(m)->Header() == header) mode = PpmdMode(m);
    if (mode == nullptr) return false;
    if (model == nullptr || modelBytes != mode->MegaBytes << 20) {
      modelBytes = mode->MegaBytes << 20;
      model = std::make_unique<TPpmdModel>(modelBytes);
    }
    if (!model->DecodeChunk(in + at + 4, length - 4, mode->Order, expected - out.size(), out)) return false;
    at += length;
  }
  return !out.empty();
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
    case cmPPMdFast:
    case cmPPMdMax:
      ok = PpmdCompress(inBuf, n, *PpmdMode(mode), outBuf);
      break;
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
  // Mode 0 data is used as stored and never passed here; anything else
  // but the three coders is unknown.
  const bool ok = mode == cmZlib ? Inflate(inBuf, n, expected, outBuf)
                  : PpmdMode(mode) != nullptr ? PpmdDecompress(inBuf, n, expected, outBuf)
                                              : false;
  if (!ok) {
    outBuf.clear();
    return false;
  }
  size = outBuf.size();
  return true;
}

}  // namespace norvane

// Checksum repair of fuzz inputs: finds the container header after the first
// part header, then walks the pages with the lengths the engine checks.
#include "fuzz/checksum_fixup.h"

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/container/container_header.h"
#include "engine/container/file_rec.h"
#include "engine/container/part_header.h"
#include "engine/protection/page_checksum.h"

namespace norvane::fuzz {

namespace {

// The offset of logical byte 0: the first part header followed by the
// container magic; -1 when there is none.
int64_t FindStart(const std::vector<uint8_t>& bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  for (int64_t at = 0; at + kPartHeaderSize + TContainerHeader::kSize <= size; ++at) {
    if (std::memcmp(bytes.data() + at, kPartMagic, 8) == 0 &&
        std::memcmp(bytes.data() + at + kPartHeaderSize, kContainerMagic, 8) == 0)
      return at + kPartHeaderSize;
  }
  return -1;
}

// The end of the first part: the next part header, or the end of the input.
int64_t FirstPartEnd(const std::vector<uint8_t>& bytes, int64_t start) {
  const auto size = static_cast<int64_t>(bytes.size());
  for (int64_t at = start; at + 8 <= size; ++at)
    if (std::memcmp(bytes.data() + at, kPartMagic, 8) == 0) return at;
  return size;
}

}  // namespace

void FixChecksums(std::vector<uint8_t>& bytes) {
  const int64_t start = FindStart(bytes);
  if (start < 0) return;
  uint8_t* header = bytes.data() + start;
  PutU32LE(header + 8, Xor32Checksum(header + 12, TContainerHeader::kSize - 12));
  const int64_t pageSize = GetI32LE(header + 16);
  const int64_t extent = GetI32LE(header + 20);
  if (pageSize < kMinPageSize || pageSize > kMaxPageSize || !ExtentFitsPage(static_cast<int32_t>(pageSize), static_cast<int32_t>(extent)))
    return;
  // The free-space map lengths, as TFreeSpaceManager computes them.
  const int64_t payload = pageSize - kPageHeaderSize;
  const TMapGeometry geometry =
      MapGeometryOf(static_cast<int32_t>(payload), static_cast<int32_t>(extent));
  const int64_t pfsBytes = geometry.PFSBytes;
  const int64_t gamBytes = geometry.GAMBytes;
  const int64_t end = FirstPartEnd(bytes, start);
  for (int64_t page = 1; start + (page + 1) * pageSize <= end; ++page) {
    uint8_t* at = bytes.data() + start + page * pageSize;
    int64_t length = payload;
    switch (at[8]) {
      case ptDirectory: length = payload / TFileRec::kSize * TFileRec::kSize; break;
      case ptPFS: length = pfsBytes; break;
      case ptGAM:
      case ptSGAM: length = gamBytes; break;
      default: break;
    }
    PutU32LE(at + 4, PageChecksum(at + kPageHeaderSize, static_cast<size_t>(length), at[10]));
  }
}

}  // namespace norvane::fuzz

// Codec of the part header.
#include "engine/container/part_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/container/container_header.h"
#include "engine/container/part_file.h"

namespace norvane {

namespace {
constexpr int64_t kScanChunk = 65535;
constexpr int64_t kHitProbe = 4;  // "AAMV", the start of the part magic

// True when a part header at `at` is followed by the container magic.
bool IsContainerStart(TESFSAbstractFile& part, int64_t at, int64_t size) {
  if (size - at <= kPartHeaderSize + 7) return false;
  uint8_t probe[kPartHeaderSize + 8];
  part.SeekFromStart(at);
  part.ReadBuffer(probe, sizeof probe);
  return std::memcmp(probe, kPartMagic, 8) == 0 &&
         std::memcmp(probe + kPartHeaderSize, kContainerMagic, 8) == 0;
}
}  // namespace

void EncodePartHeader(const TPartHeader& header, uint8_t* out) {
  std::memset(out, 0, kPartHeaderSize);
  std::memcpy(out, kPartMagic, 8);
  PutI64LE(out + 8, header.MaxPartSize);
  PutZString(out + 16, kPartNameCapacity, header.NextName);
}

bool DecodePartHeader(const uint8_t* in, TPartHeader& header) {
  if (std::memcmp(in, kPartMagic, 8) != 0) return false;
  header.MaxPartSize = GetI64LE(in + 8);
  return GetZString(in + 16, kPartNameCapacity, header.NextName);
}

int64_t FindContainerPrefix(TESFSAbstractFile& part) {
  const int64_t size = part.Size();
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(size, kScanChunk)));
  // Chunks overlap by three bytes so a probe that straddles two chunks is
  // seen whole in the second; no hit is seen twice.
  for (int64_t start = 0; start + kHitProbe <= size; start += kScanChunk - (kHitProbe - 1)) {
    const int64_t want = std::min(kScanChunk, size - start);
    part.SeekFromStart(start);
    part.ReadBuffer(chunk.data(), want);
    for (int64_t i = 0; i + kHitProbe <= want; ++i) {
      if (std::memcmp(chunk.data() + i, kPartMagic, kHitProbe) != 0) continue;
      if (IsContainerStart(part, start + i, size)) {
        part.SeekFromStart(start + i);
        return start + i;
      }
    }
  }
  part.SeekFromStart(0);
  return 0;
}

bool ReadPartHeader(TESFSAbstractFile& part, int64_t at, TPartHeader& header) {
  uint8_t raw[kPartHeaderSize];
  part.SeekFromStart(at);
  return part.Read(raw, kPartHeaderSize) == kPartHeaderSize && DecodePartHeader(raw, header);
}

bool IsValidNextPartName(const std::string& nextName, const std::string& firstPartFileName) {
  if (nextName.size() <= firstPartFileName.size()) return false;
  if (nextName.compare(0, firstPartFileName.size(), firstPartFileName) != 0) return false;
  for (size_t i = firstPartFileName.size(); i < nextName.size(); ++i)
    if (nextName[i] < '0' || nextName[i] > '9') return false;
  return true;
}

}  // namespace norvane

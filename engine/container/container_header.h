// The container header in page 0 and the page header at the start of every
// other page: their byte layouts, codecs and the checks a header read from
// disk must pass before any of its numbers is used.
#pragma once

#include <array>
#include <cstdint>

#include "engine/container/password_block.h"

namespace norvane {

// ContainerHeader, 256 bytes at logical offset 0, little-endian:
//    0  8    magic "AASFSSGN"
//    8  u32  XOR32 checksum of bytes 12..255
//   12  f32  version 1.2 (0x3F99999A); written, never checked
//   16  i32  PageSize in bytes
//   20  i32  extent page count
//   24  i32  first extent page (always 1)
//   28  i32  GAMPageCount
//   32  i32  PFSPageCount
//   36  i32  directory page count
//   40  i32  first directory page (0 while there is none)
//   44  i32  directory item count
//   48  i32  page count, page 0 included
//   52  172  PasswordBlock (all zero without a password)
//  224  u8   EncryptionType: 0 none, 1 Rijndael
//  225  31   reserved, zero
// The bytes are kept as read, so a header is written back unchanged but for
// the fields that were set.
constexpr char kContainerMagic[] = "AASFSSGN";  // eight bytes, no terminator on disk

class TContainerHeader {
 public:
  static constexpr int kSize = 256;
  static constexpr int kPasswordBlockOffset = 52;

  // A new header: zeros, magic, version, first extent page 1, page count 1.
  static TContainerHeader New(int32_t pageSize, int32_t extentPageCount);

  std::array<uint8_t, kSize>& Bytes() { return bytes_; }
  const std::array<uint8_t, kSize>& Bytes() const { return bytes_; }

  bool HasMagic() const;
  uint32_t StoredChecksum() const;
  uint32_t ComputeChecksum() const;
  void UpdateChecksum();

  int32_t PageSize() const { return Get(16); }
  int32_t ExtentPageCount() const { return Get(20); }
  int32_t FirstExtentPage() const { return Get(24); }
  int32_t GAMPageCount() const { return Get(28); }
  int32_t PFSPageCount() const { return Get(32); }
  int32_t DirectoryPageCount() const { return Get(36); }
  int32_t FirstDirectoryPage() const { return Get(40); }
  int32_t DirectoryItemCount() const { return Get(44); }
  int32_t PageCount() const { return Get(48); }
  uint8_t EncryptionType() const { return bytes_[224]; }
  const uint8_t* PasswordBlock() const { return bytes_.data() + kPasswordBlockOffset; }
  uint8_t* PasswordBlock() { return bytes_.data() + kPasswordBlockOffset; }

  void SetGAMPageCount(int32_t v) { Set(28, v); }
  void SetPFSPageCount(int32_t v) { Set(32, v); }
  void SetDirectoryPageCount(int32_t v) { Set(36, v); }
  void SetFirstDirectoryPage(int32_t v) { Set(40, v); }
  void SetDirectoryItemCount(int32_t v) { Set(44, v); }
  void SetPageCount(int32_t v) { Set(48, v); }
  void SetEncryptionType(uint8_t v) { bytes_[224] = v; }

  // True when every number is one the engine could have written and the
  // pages it counts fit in a stream of `streamSize` bytes, all but the last,
  // which may be cut short. Checked on open so that a damaged header never
  // reaches a division, an allocation or a seek.
  bool IsSane(int64_t streamSize) const;

 private:
  int32_t Get(int offset) const;
  void Set(int offset, int32_t v);
  std::array<uint8_t, kSize> bytes_{};
};

// Limits of the page geometry, for creation and for headers read from disk.
constexpr int32_t kMinPageSize = 1024;
constexpr int32_t kMaxPageSize = 1024 * 1024;
constexpr int32_t kPageHeaderSize = 32;
// The free-space map layout a payload size and extent give: a PFS page has a
// bit a page for whole extents (8 bits a payload byte, cut to whole bytes), a
// GAM or SGAM page a bit an extent for whole PFS spans. Fields stay 0 from the
// first that cannot be laid out (an extent of no pages or more pages than a
// page has bits; then a PFS page for no extent at all).
struct TMapGeometry {
  int32_t PFSBytes = 0, ExtentsPerPFSPage = 0, GAMBytes = 0, ExtentsPerGAMPage = 0;
};
constexpr TMapGeometry MapGeometryOf(int32_t payloadSize, int32_t extentPageCount) {
  TMapGeometry geometry;
  const int64_t bits = 8LL * payloadSize;
  if (extentPageCount < 1 || extentPageCount > bits) return geometry;
  geometry.PFSBytes = static_cast<int32_t>((bits - bits % extentPageCount) / 8);
  geometry.ExtentsPerPFSPage = 8 * geometry.PFSBytes / extentPageCount;
  if (geometry.ExtentsPerPFSPage < 1) return geometry;
  geometry.GAMBytes = static_cast<int32_t>((bits - bits % geometry.ExtentsPerPFSPage) / 8);
  geometry.ExtentsPerGAMPage = 8 * geometry.GAMBytes;
  return geometry;
}
// Whether extents of this many pages fit the free-space maps: one PFS page
// must describe at least one extent.
constexpr bool ExtentFitsPage(int32_t pageSize, int32_t extentPageCount) {
  return MapGeometryOf(pageSize - kPageHeaderSize, extentPageCount).ExtentsPerPFSPage >= 1;
}

enum TPageType : uint8_t {
  ptDirectory = 1, ptGAM = 2, ptSGAM = 3, ptPFS = 4, ptMap = 5, ptFileData = 6
};

// PageHeader, 32 bytes at the start of every page but page 0:
//    0  i32  NextPageNo (-1 ends a chain)
//    4  u32  checksum of the stored payload bytes
//    8  u8   PageType
//    9  u8   EncryptionType: 0 plain, 1 Rijndael
//   10  u8   ChecksumType: 0 XOR32, 1 CRC-16
//   11  21   reserved, written as zero
struct TPageHeader {
  int32_t NextPageNo = -1;
  uint32_t Checksum = 0;
  uint8_t PageType = 0;
  uint8_t EncryptionType = 0;
  uint8_t ChecksumType = 0;
};

void EncodePageHeader(const TPageHeader& header, uint8_t* out);
TPageHeader DecodePageHeader(const uint8_t* in);

}  // namespace norvane

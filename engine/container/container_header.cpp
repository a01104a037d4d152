// Codecs and sanity checks of the container header and the page header.
#include "engine/container/container_header.h"

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/container/file_rec.h"
#include "engine/protection/page_checksum.h"

namespace norvane {

namespace {
constexpr float kContainerVersion = 1.2f;
}  // namespace

TContainerHeader TContainerHeader::New(int32_t pageSize, int32_t extentPageCount) {
  TContainerHeader header;
  std::memcpy(header.bytes_.data(), kContainerMagic, 8);
  PutF32LE(header.bytes_.data() + 12, kContainerVersion);
  header.Set(16, pageSize);
  header.Set(20, extentPageCount);
  header.Set(24, 1);
  header.Set(48, 1);
  return header;
}

int32_t TContainerHeader::Get(int offset) const { return GetI32LE(bytes_.data() + offset); }
void TContainerHeader::Set(int offset, int32_t v) { PutI32LE(bytes_.data() + offset, v); }

bool TContainerHeader::HasMagic() const {
  return std::memcmp(bytes_.data(), kContainerMagic, 8) == 0;
}

uint32_t TContainerHeader::StoredChecksum() const { return GetU32LE(bytes_.data() + 8); }

uint32_t TContainerHeader::ComputeChecksum() const {
  return Xor32Checksum(bytes_.data() + 12, kSize - 12);
}

void TContainerHeader::UpdateChecksum() { PutU32LE(bytes_.data() + 8, ComputeChecksum()); }

bool TContainerHeader::IsSane(int64_t streamSize) const {
  const int32_t pageSize = PageSize();
  if (pageSize < kMinPageSize || pageSize > kMaxPageSize || pageSize % 1024 != 0) return false;
  const int32_t extent = ExtentPageCount();
  if (!ExtentFitsPage(pageSize, extent)) return false;
  if (FirstExtentPage() != 1) return false;
  const int32_t pages = PageCount();
  if (pages < 1) return false;
  // The last page may be cut short (a copy or a disk that stopped early): its
  // reads fail like any damaged page, and everything before it stays readable.
  const int64_t needed = pages == 1 ? kSize : static_cast<int64_t>(pages - 1) * pageSize;
  if (streamSize < needed) return false;
  for (int32_t count : {GAMPageCount(), PFSPageCount(), DirectoryPageCount()})
    if (count < 0 || count > pages - 1) return false;
  const int32_t firstDirectory = FirstDirectoryPage();
  if (firstDirectory != 0 && (firstDirectory < 1 || firstDirectory >= pages)) return false;
  const int64_t recordsPerPage = (pageSize - kPageHeaderSize) / TFileRec::kSize;
  const int32_t items = DirectoryItemCount();
  if (items < 0 || items > DirectoryPageCount() * recordsPerPage) return false;
  return EncryptionType() <= 1;
}

void EncodePageHeader(const TPageHeader& header, uint8_t* out) {
  std::memset(out, 0, kPageHeaderSize);
  PutI32LE(out, header.NextPageNo);
  PutU32LE(out + 4, header.Checksum);
  out[8] = header.PageType;
  out[9] = header.EncryptionType;
  out[10] = header.ChecksumType;
}

TPageHeader DecodePageHeader(const uint8_t* in) {
  TPageHeader header;
  header.NextPageNo = GetI32LE(in);
  header.Checksum = GetU32LE(in + 4);
  header.PageType = in[8];
  header.EncryptionType = in[9];
  header.ChecksumType = in[10];
  return header;
}

}  // namespace norvane

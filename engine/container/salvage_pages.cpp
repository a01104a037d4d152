// Page access for salvage: a read-only view of a damaged container's pages,
// its geometry taken from a sound header or found by scanning page headers.
#include "engine/container/salvage_pages.h"

#include <algorithm>
#include <map>

#include "engine/common/engine_error.h"
#include "engine/container/password_block.h"
#include "engine/platform/file_system.h"
#include "engine/protection/page_checksum.h"

namespace norvane {

namespace {

// Page sizes tried when the header cannot tell: the engine's own first, then
// every power of two the format allows, then the other multiples of 1 KB up
// to 64 KB. Each is judged by how many pages with sound checksums it finds
// in the same first stretch of the file. Counting pages rather than the
// share of them matters: XOR32 sums cancel over pairs of whole pages, so an
// odd multiple of the true size also finds sound pages, just fewer of them.
constexpr int32_t kEnginePageSize = 4096;
constexpr int32_t kEngineExtentPages = 16;
constexpr int32_t kLastOddPageSize = 64 * 1024;
constexpr int64_t kSampledBytes = 1024 * 1024;
constexpr int kDirectoryRecordSize = 512;

std::vector<int32_t> PageSizeCandidates() {
  std::vector<int32_t> sizes{kEnginePageSize};
  for (int32_t size = kMinPageSize; size <= kMaxPageSize; size *= 2)
    if (size != kEnginePageSize) sizes.push_back(size);
  for (int32_t size = kMinPageSize; size <= kLastOddPageSize; size += 1024)
    if ((size & (size - 1)) != 0) sizes.push_back(size);
  return sizes;
}

// Bytes of the payload a page of this type carries its checksum over, with
// this page size; 0 for types whose length depends on the extent size.
int32_t CheckedLength(uint8_t type, int32_t pageSize) {
  const int32_t payload = pageSize - kPageHeaderSize;
  if (type == ptDirectory) return payload / kDirectoryRecordSize * kDirectoryRecordSize;
  if (type == ptMap || type == ptFileData) return payload;
  return 0;
}

bool PlausibleHeader(const TPageHeader& header) {
  return header.EncryptionType <= 1 && header.ChecksumType <= 1;
}

int32_t PagesIn(int64_t bytes, int32_t pageSize) {
  const int64_t pages = (bytes + pageSize - 1) / pageSize;
  return static_cast<int32_t>(std::min<int64_t>(pages, INT32_MAX));
}

}  // namespace

TSalvagePages::TSalvagePages(const std::string& fileName, const std::string& password,
                             std::vector<std::string>& log, const TPartOptions& parts) {
  if (!OpenStream(fileName, parts))
    log.push_back("The part header is damaged: the first part is read alone.");
  headerSound_ = LoadHeader();
  if (headerSound_) {
    pageSize_ = header_.PageSize();
    extentPages_ = header_.ExtentPageCount();
    pageCount_ = std::min(header_.PageCount(), PagesIn(size_, pageSize_));
    if (header_.PageCount() > pageCount_)
      log.push_back("The header counts " + std::to_string(header_.PageCount()) +
                    " pages; the file holds " + std::to_string(pageCount_) + ".");
  } else {
    log.push_back("The container header is damaged: the geometry is taken from the pages.");
    FindPageSize(log);
    FindExtentSize(log);
  }
  if (headerSound_ && header_.EncryptionType() != 0) {
    if (!CheckPassword(header_.PasswordBlock(), password, key_))
      throw EEngineError("TESingleFileSystem.Salvage - the password does not open the container " +
                         ExtractFileName(fileName) + ".");
    cipher_ = std::make_unique<TCipher_Rijndael>(key_.Str());
  } else if (!headerSound_ && AnyEncipheredPage()) {
    throw EEngineError("TESingleFileSystem.Salvage - the container " + ExtractFileName(fileName) +
                       " is encrypted and its header is damaged; its key cannot be recovered "
                       "without the header.");
  }
}

TSalvagePages::~TSalvagePages() = default;

bool TSalvagePages::OpenStream(const std::string& fileName, const TPartOptions& parts) {
  stream_ = std::make_unique<TESFSHugeFile>(fileName, parts.MaxPartSize, false, false, true,
                                            parts.Factory);
  if (stream_->InternalOpen(false, true)) {
    size_ = stream_->Size();
    return true;
  }
  stream_.reset();
  part_ = parts.Factory ? parts.Factory(fileName, false, false, true)
                        : MakeDefaultPart(fileName, false, false, true);
  part_->Open(false);
  size_ = std::max<int64_t>(part_->Size() - kPartHeaderSize, 0);
  return false;
}

int64_t TSalvagePages::ReadAt(int64_t offset, void* buffer, int64_t n) {
  if (offset < 0 || offset >= size_) return 0;
  n = std::min(n, size_ - offset);
  if (stream_ != nullptr) {
    stream_->Seek(0, offset);
    return stream_->Read(buffer, n);
  }
  part_->SeekFromStart(offset + kPartHeaderSize);
  return part_->Read(buffer, n);
}

bool TSalvagePages::LoadHeader() {
  if (ReadAt(0, header_.Bytes().data(), TContainerHeader::kSize) != TContainerHeader::kSize)
    return false;
  if (!header_.HasMagic() || header_.StoredChecksum() != header_.ComputeChecksum()) return false;
  const int32_t pageSize = header_.PageSize();
  return pageSize >= kMinPageSize && pageSize <= kMaxPageSize && pageSize % 1024 == 0 &&
         ExtentFitsPage(pageSize, header_.ExtentPageCount()) && header_.PageCount() >= 1 &&
         header_.EncryptionType() <= 1;
}

int32_t TSalvagePages::SampledPages(int32_t pageSize) const {
  return std::min(PagesIn(size_, pageSize), static_cast<int32_t>(kSampledBytes / pageSize) + 1);
}

int32_t TSalvagePages::ScorePageSize(int32_t pageSize) {
  pageSize_ = pageSize;
  pageCount_ = PagesIn(size_, pageSize);
  io_.resize(static_cast<size_t>(pageSize));
  int32_t score = 0;
  for (int32_t n = 1; n < SampledPages(pageSize); ++n) {
    TPageHeader header;
    if (!ReadHeader(n, header)) continue;
    const int32_t length = CheckedLength(header.PageType, pageSize);
    if (length > 0 && ChecksumHolds(n, length, header, io_.data())) ++score;
  }
  return score;
}

void TSalvagePages::FindPageSize(std::vector<std::string>& log) {
  int32_t best = 0, bestScore = 0;
  for (int32_t size : PageSizeCandidates()) {
    if (size >= size_) continue;  // not even one page beside page 0
    const int32_t score = ScorePageSize(size);
    if (score > bestScore) {
      best = size;
      bestScore = score;
    }
    if (score > 0 && score == SampledPages(size) - 1) break;  // every page fits
  }
  if (bestScore == 0)
    throw EEngineError("TESingleFileSystem.Salvage - no page of a container was found.");
  pageSize_ = best;
  pageCount_ = PagesIn(size_, best);
  log.push_back("Page size " + std::to_string(best) + " bytes (" + std::to_string(bestScore) +
                " of the first pages have sound checksums).");
}

void TSalvagePages::FindExtentSize(std::vector<std::string>& log) {
  // The first PFS page (page 1) carries its checksum over the bitmap bytes
  // that whole extents fill, which depends on the extent size: the sizes
  // whose length makes its checksum hold are the candidates.
  extentPages_ = kEngineExtentPages;
  const int32_t payload = PayloadSize();
  io_.resize(static_cast<size_t>(payload));
  TPageHeader header;
  if (!ReadHeader(1, header) || header.PageType != ptPFS || !PlausibleHeader(header) ||
      ReadAt(static_cast<int64_t>(pageSize_) + kPageHeaderSize, io_.data(), payload) != payload) {
    log.push_back("Extent size " + std::to_string(extentPages_) +
                  " pages assumed: the first free-space page cannot be read.");
    return;
  }
  const int64_t bits = 8LL * payload;
  int32_t found = 0;
  std::map<size_t, bool> holds;  // few lengths occur: each is checked once
  for (int64_t e = 1; e <= bits; ++e) {
    if (!ExtentFitsPage(pageSize_, static_cast<int32_t>(e))) continue;
    const auto length = static_cast<size_t>((bits - bits % e) / 8);
    auto known = holds.find(length);
    if (known == holds.end())
      known = holds
                  .emplace(length, VerifyPageChecksum(io_.data(), length, header.ChecksumType,
                                                      header.Checksum))
                  .first;
    if (!known->second) continue;
    if (e == kEngineExtentPages || found == 0) found = static_cast<int32_t>(e);
    if (e == kEngineExtentPages) break;
  }
  if (found != 0) extentPages_ = found;
  log.push_back("Extent size " + std::to_string(extentPages_) + " pages" +
                (found != 0 ? " (it fits the first free-space page)." : " assumed."));
}

bool TSalvagePages::AnyEncipheredPage() {
  for (int32_t n = 1; n < pageCount_; ++n) {
    TPageHeader header;
    if (ReadHeader(n, header) && CheckedLength(header.PageType, pageSize_) > 0 &&
        header.EncryptionType == 1)
      return true;
  }
  return false;
}

int32_t TSalvagePages::RecordsPerPage() const { return PayloadSize() / kDirectoryRecordSize; }

bool TSalvagePages::ReadHeader(int32_t n, TPageHeader& header) {
  if (n < 1 || n >= pageCount_) return false;
  uint8_t raw[kPageHeaderSize];
  if (ReadAt(static_cast<int64_t>(n) * pageSize_, raw, kPageHeaderSize) != kPageHeaderSize)
    return false;
  header = DecodePageHeader(raw);
  return true;
}

bool TSalvagePages::ChecksumHolds(int32_t n, int32_t length, TPageHeader& header, uint8_t* out) {
  if (length < 0 || length > PayloadSize() || !ReadHeader(n, header) || !PlausibleHeader(header))
    return false;
  const int64_t at = static_cast<int64_t>(n) * pageSize_ + kPageHeaderSize;
  return ReadAt(at, out, length) == length &&
         VerifyPageChecksum(out, static_cast<size_t>(length), header.ChecksumType, header.Checksum);
}

bool TSalvagePages::ReadPage(int32_t n, int32_t length, TPageHeader& header, uint8_t* out) {
  if (!ChecksumHolds(n, length, header, out)) return false;
  if (header.EncryptionType == 0) return true;
  if (cipher_ == nullptr) return false;
  // Every page starts from the cipher's initial state.
  try {
    cipher_->Reset();
    cipher_->DecodeBuffer(out, out, static_cast<size_t>(length));
    return true;
  } catch (const EEngineError&) {
    return false;
  }
}

}  // namespace norvane

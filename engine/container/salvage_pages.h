// Page access for salvaging a damaged container: opens the file read-only
// without trusting its header, takes the page size and extent size from the
// header when it is sound or from the page headers found in the file when it
// is not, and reads single pages, accepting a payload only when its checksum
// holds. Nothing here ever writes to the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/container_header.h"
#include "engine/container/huge_file.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/secret.h"

namespace norvane {

class TSalvagePages {
 public:
  // Opens fileName read-only and shared. When the part header of the first
  // part is damaged the part is read alone, its content starting after the
  // part header. Throws EEngineError when the file cannot be opened at all,
  // when no page size can be found, when a sound header is encrypted and the
  // password does not open it, and when the header is damaged and pages are
  // enciphered (the key lives only in the header). Notes on what was found
  // are appended to `log`.
  TSalvagePages(const std::string& fileName, const std::string& password,
                std::vector<std::string>& log, const TPartOptions& parts = {});
  ~TSalvagePages();
  TSalvagePages(const TSalvagePages&) = delete;
  TSalvagePages& operator=(const TSalvagePages&) = delete;

  bool HeaderSound() const { return headerSound_; }
  // The header as read; meaningful only when HeaderSound().
  const TContainerHeader& Header() const { return header_; }
  int32_t PageSize() const { return pageSize_; }
  int32_t PayloadSize() const { return pageSize_ - kPageHeaderSize; }
  int32_t ExtentPageCount() const { return extentPages_; }
  // Pages that may be read: those the file holds, a short last one included,
  // and, with a sound header, no more than it counts.
  int32_t PageCount() const { return pageCount_; }
  bool Encrypted() const { return !key_.Empty(); }
  // Records a directory page holds with this page size.
  int32_t RecordsPerPage() const;

  // Reads the 32-byte header of page n (1 <= n < PageCount()); false when
  // the page is out of range or its header is not all there.
  bool ReadHeader(int32_t n, TPageHeader& header);
  // Reads page n's header and `length` payload bytes into out, then checks
  // the checksum and deciphers with the container key. False when any of it
  // fails; out is then not meaningful.
  bool ReadPage(int32_t n, int32_t length, TPageHeader& header, uint8_t* out);

 private:
  int64_t ReadAt(int64_t offset, void* buffer, int64_t n);
  // False when the stream cannot be opened and the first part is read alone.
  bool OpenStream(const std::string& fileName, const TPartOptions& parts);
  bool LoadHeader();
  // Page slots, page 0 included, in the stretch that judges a page size.
  int32_t SampledPages(int32_t pageSize) const;
  int32_t ScorePageSize(int32_t pageSize);
  void FindPageSize(std::vector<std::string>& log);
  void FindExtentSize(std::vector<std::string>& log);
  bool ChecksumHolds(int32_t n, int32_t length, TPageHeader& header, uint8_t* out);
  bool AnyEncipheredPage();

  std::unique_ptr<TESFSHugeFile> stream_;
  std::unique_ptr<TESFSAbstractFile> part_;  // the first part alone, when the stream fails
  int64_t size_ = 0;                         // logical bytes readable
  bool headerSound_ = false;
  TContainerHeader header_;
  int32_t pageSize_ = 0;
  int32_t extentPages_ = 0;
  int32_t pageCount_ = 0;
  TSecret key_;
  std::unique_ptr<TCipher_Rijndael> cipher_;
  std::vector<uint8_t> io_;
};

}  // namespace norvane

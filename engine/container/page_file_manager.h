// The page layer: creates or opens a container file, keeps its header, and
// reads and writes whole pages with their checksums and enciphered payloads.
// It keeps no cache; the part-file stream below it owns the bytes.
//
// Invariants:
//   1. Page 0 holds only the container header; no page operation touches it.
//   2. Every page n with 1 <= n < PageCount lies inside the stream (the stream
//      grows before the page count in the header does).
//   3. A caller's payload buffer is never changed by a write: enciphering
//      works on a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/container_header.h"
#include "engine/container/huge_file.h"
#include "engine/container/open_modes.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/secret.h"

namespace norvane {

// LastError codes of page operations.
enum TPageError : int32_t {
  peNone = 0,
  peHeaderRead = -7,
  peHeaderWrite = -8,
  pePayloadRead = -9,
  pePayloadWrite = -10,
  peChecksum = -11,
  peDecipher = -12,
  peEncipher = -13,
};

// A page header and the caller's payload buffer (null: header only).
struct TPageRecord {
  TPageHeader Header;
  uint8_t* Data = nullptr;
};

// A page record that owns a zero-filled payload buffer of payload size.
struct TPageBuffer {
  TPageRecord Rec;
  std::vector<uint8_t> Payload;
};

class TPageFileManager {
 public:
  // Creates (mode 0xFFFF) or opens the container file. On open the page size
  // and extent page count come from the header, which must be sane. Throws
  // EEngineError with the engine's message when arguments, the file or the
  // header are wrong; nothing is written before every argument is checked.
  TPageFileManager(const std::string& fileName, int32_t extentPageCount, int32_t pageSizeKB,
                   bool inMemory, const std::string& answer, const std::string& question,
                   const std::string& password, uint16_t mode, const TPartOptions& parts = {});

  // Reads and verifies header magic and checksum (and, on open, its sanity).
  bool LoadHeader();
  // Writes the header with a fresh checksum; does nothing when read-only.
  // Throws when the stream does not take all 256 bytes.
  void SaveHeader();

  // Reads page n (1 <= n < PageCount) into rec: the header always, then
  // `length` payload bytes (-1: the whole payload, 0: none) into rec.Data,
  // checked against the stored checksum and, unless raw, deciphered with key
  // (empty: the container key). Returns false with LastError -7 (no such page
  // or short header), -9 short payload, -11 checksum, -12 decipher.
  bool ReadPage(TPageRecord& rec, int32_t n, bool raw, const std::string& key, int32_t length);
  // Stores page n (1 <= n < PageCount): enciphers a copy of `length` payload
  // bytes with rec.Header.EncryptionType, puts their checksum into
  // rec.Header, writes header and payload. Without payload it writes the
  // header alone, checksum as it is in rec. With `raw` the payload is stored
  // as given: it is already enciphered as rec.Header.EncryptionType says (a
  // copy between containers under the same key). Returns false with
  // LastError -8 (no such page or short header), -10 short payload, -13
  // encipher.
  bool WritePage(TPageRecord& rec, int32_t n, const std::string& key, int32_t length,
                 bool raw = false);
  // Stores page n (1 <= n < PageCount) exactly as rec holds it: the header
  // with the checksum it carries, and `length` payload bytes unchanged. Only
  // for a repair carrying a page whose checksum failed into the new
  // container, so that reading it fails there as it did before; every other
  // write seals its page with a fresh checksum. Returns false with LastError
  // -8 (no such page or short header) or -10 short payload.
  bool WritePageAsStored(const TPageRecord& rec, int32_t n, int32_t length);

  // Reads the `count` pages first .. first + count - 1, which lie one after
  // another in the container, with one transfer, and checks and deciphers
  // each as ReadPage(rec, n, false, key, -1) does. Then copies `length`
  // bytes of their payloads, taken one after another and starting `skip`
  // bytes into the first, to dest (skip + length <= count * PayloadSize()).
  // Returns the bytes copied: `length`, or only those of the pages before
  // the first that fails, with LastError as ReadPage gives it.
  int64_t ReadPayloadRun(int32_t first, int32_t count, const std::string& key, int64_t skip,
                         int64_t length, uint8_t* dest);
  // Stores the `count` pages first .. first + count - 1 with one transfer,
  // each as WritePage(rec, n, key, -1) does with a copy of `header` and the
  // next whole payload from `payloads` (count * PayloadSize() bytes, which
  // stay unchanged). Returns the pages stored: count, or those before the
  // first that fails, with LastError as WritePage gives it.
  int32_t WritePageRun(const TPageHeader& header, int32_t first, int32_t count,
                       const std::string& key, const uint8_t* payloads);

  // Encipher / decipher in place. Type 0 does nothing; type 1 needs a key
  // (an empty one fails); an unknown type makes EncodeBuffer throw and
  // DecodeBuffer fail.
  bool EncodeBuffer(uint8_t* buffer, int32_t length, const std::string& key, uint8_t type);
  bool DecodeBuffer(uint8_t* buffer, int32_t length, const std::string& key, uint8_t type);

  // Adds n pages at the end. False, with header and page count unchanged,
  // when the stream cannot grow.
  bool ExtendFile(int32_t n);
  // Ciphers are kept per key string and reset for each page (the same bytes
  // as a fresh cipher each time, without the key set-up). Off: a fresh
  // cipher per page, for measuring what the cache saves.
  void SetCipherCache(bool on) { cacheCiphers_ = on; }

  // Whether `password` opens the container's password block (the slow check).
  bool PasswordOpens(const std::string& password) const;
  // Gives the container key a new password (question and answer), keeping
  // the key itself so every enciphered page stays readable. Writes the header.
  void ChangePassword(const std::string& password, const std::string& question,
                      const std::string& answer);
  // Takes over another container's key: its password block, encryption byte
  // and container key, so pages copied raw from it stay readable here.
  // Writes the header.
  void AdoptKey(const TPageFileManager& from);

  // Cuts the container back to `pageCount` pages (undoing an ExtendFile):
  // the header first, then the stream, so every counted page stays inside
  // it. Throws when either cannot be written.
  void ShrinkFile(int32_t pageCount);

  std::unique_ptr<TPageBuffer> NewPageBuffer() const;
  int32_t PayloadSize() const { return header_.PageSize() - kPageHeaderSize; }
  int64_t PageOffset(int32_t n) const { return static_cast<int64_t>(n) * header_.PageSize(); }
  int64_t FreeDiskSpace() const;
  void Flush();
  bool Rename(const std::string& newFileName);
  bool DeleteFiles();

  TContainerHeader& Header() { return header_; }
  const TContainerHeader& Header() const { return header_; }
  int32_t PageCount() const { return header_.PageCount(); }
  int32_t PageSize() const { return header_.PageSize(); }
  bool IsEncrypted() const { return header_.EncryptionType() != 0; }
  // False when the container is encrypted and the password given on open
  // did not decipher its key.
  bool KeyIsValid() const { return keyValid_; }
  bool ReadOnly() const { return readOnly_; }
  bool Exclusive() const { return exclusive_; }
  bool InMemory() const { return inMemory_; }
  const std::string& FileName() const { return fileName_; }
  const TSecret& ContainerKey() const { return containerKey_; }
  const TSecret& Password() const { return password_; }
  int32_t LastError() const { return lastError_; }
  TESFSHugeFile& Stream() { return *stream_; }

 private:
  // The key a page operation uses: the one given, or the container's.
  const std::string& KeyOrContainerKey(const std::string& key) const {
    return key.empty() ? containerKey_.Str() : key;
  }
  void CreateFile(int32_t pageSize, int32_t extentPageCount, const TPartOptions& parts,
                  const std::string& answer, const std::string& question);
  TCipher_Rijndael& CipherFor(const std::string& key);
  void OpenFile(const TPartOptions& parts);
  bool Fail(int32_t code);
  // The checks and deciphering ReadPage applies to a payload read into
  // `payload`; false with LastError set when one fails.
  bool OpenPayload(const TPageHeader& header, uint8_t* payload, int32_t length, bool raw,
                   const std::string& key);
  // EncodeBuffer over `count` payloads of `length` bytes, `stride` bytes
  // apart, each enciphered from the initial feedback.
  bool EncodePayloads(uint8_t* first, int32_t length, int64_t stride, int32_t count,
                      const std::string& key, uint8_t type);
  // How many of the `count` pages from `first` on lie inside the container
  // (pages before page 1 count as outside).
  int32_t PagesInside(int32_t first, int32_t count) const;
  // run_, with room for `pages` whole pages.
  uint8_t* RunBuffer(int32_t pages);
  // Writes the page image io_[0, total) at page n; false with LastError -8
  // or -10 when the stream takes less.
  bool StoreImage(int32_t n, int32_t total);
  // Puts the checksum of the payload that follows `image`'s page header
  // into `header` and encodes the header at the start of `image`.
  void SealPage(TPageHeader& header, uint8_t* image, int32_t length) const;

  std::string fileName_;
  bool inMemory_;
  bool readOnly_;
  bool exclusive_;
  TSecret password_;
  TSecret containerKey_;
  bool keyValid_ = true;
  TContainerHeader header_;
  std::unique_ptr<TESFSHugeFile> stream_;
  std::vector<uint8_t> io_;  // page header and payload of one transfer
  std::vector<uint8_t> run_;  // the pages of one run transfer
  std::unique_ptr<TCipher_Rijndael> cipher_;
  TSecret cipherKey_;  // the key string cipher_ was set up with
  bool cacheCiphers_ = true;
  int32_t lastError_ = peNone;
};

}  // namespace norvane

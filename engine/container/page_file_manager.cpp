// The page layer: container creation and opening, page transfers with
// checksums, page enciphering and growth of the container.
#include "engine/container/page_file_manager.h"

#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/container/password_block.h"
#include "engine/platform/file_system.h"
#include "engine/platform/free_space.h"
#include "engine/platform/memory_info.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/page_checksum.h"

namespace norvane {


TPageFileManager::TPageFileManager(const std::string& fileName, int32_t extentPageCount,
                                   int32_t pageSizeKB, bool inMemory, const std::string& answer,
                                   const std::string& question, const std::string& password,
                                   uint16_t mode, const TPartOptions& parts)
    : fileName_(fileName),
      inMemory_(inMemory),
      readOnly_(ModeIsReadOnly(mode)),
      exclusive_(ModeIsExclusive(mode)),
      password_(password) {
  if (pageSizeKB <= 0)
    throw EEngineError("TPageFileManager.Create - page size should be >= 1 Kb.");
  if (pageSizeKB > kMaxPageSize / 1024)
    throw EEngineError("TPageFileManager.Create - page size should be <= " +
                       std::to_string(kMaxPageSize / 1024) + " Kb.");
  if (extentPageCount <= 0)
    throw EEngineError("TPageFileManager.Create - extent page count should be >= 1 Page.");
  const int32_t pageSize = pageSizeKB * 1024;
  if (!ExtentFitsPage(pageSize, extentPageCount))
    throw EEngineError("TPageFileManager.Create - extent page count " +
                       std::to_string(extentPageCount) + " does not fit the free-space maps of " +
                       std::to_string(pageSizeKB) + " Kb pages.");
  if (ModeIsCreate(mode)) {
    // Every argument is checked before the old file is touched.
    CheckPasswordBlockArguments(password, question);
    CreateFile(pageSize, extentPageCount, parts, answer, question);
  } else {
    OpenFile(parts);
  }
}

void TPageFileManager::CreateFile(int32_t pageSize, int32_t extentPageCount,
                                  const TPartOptions& parts, const std::string& answer,
                                  const std::string& question) {
  stream_ = std::make_unique<TESFSHugeFile>(fileName_, parts.MaxPartSize, inMemory_, exclusive_,
                                            readOnly_, parts.Factory);
  stream_->InternalOpen(true, false);
  header_ = TContainerHeader::New(pageSize, extentPageCount);
  if (!password_.Empty()) {
    // The key is drawn here, so the new container knows it without the slow
    // check an open makes.
    header_.SetEncryptionType(1);
    containerKey_ = BuildPasswordBlock(header_.PasswordBlock(), password_.Str(), question, answer);
  }
  SaveHeader();
}

void TPageFileManager::OpenFile(const TPartOptions& parts) {
  stream_ = std::make_unique<TESFSHugeFile>(fileName_, parts.MaxPartSize, inMemory_, exclusive_,
                                            readOnly_, parts.Factory);
  if (!stream_->InternalOpen(false, true))
    throw EEngineError("File " + ExtractFileName(fileName_) + " has corrupted header.");
  if (!LoadHeader())
    throw EEngineError("TESingleFileSystem.LoadHeader - Invalid VEZA file, header is corrupted.");
  if (IsEncrypted()) {
    // A password that does not open the block leaves no key at all, so every
    // enciphered page fails to read instead of deciphering into garbage.
    keyValid_ = CheckPassword(header_.PasswordBlock(), password_.Str(), containerKey_);
    if (!keyValid_) containerKey_.Wipe();
  }
}

bool TPageFileManager::LoadHeader() {
  TContainerHeader loaded;
  stream_->Seek(0, 0);
  if (stream_->Read(loaded.Bytes().data(), TContainerHeader::kSize) != TContainerHeader::kSize)
    return false;
  if (!loaded.HasMagic() || loaded.StoredChecksum() != loaded.ComputeChecksum()) return false;
  if (!loaded.IsSane(stream_->Size())) return false;
  header_ = loaded;
  return true;
}

void TPageFileManager::SaveHeader() {
  if (readOnly_) return;
  header_.UpdateChecksum();
  stream_->Seek(0, 0);
  if (stream_->Write(header_.Bytes().data(), TContainerHeader::kSize) != TContainerHeader::kSize)
    throw EEngineError("TPageFileManager.SaveHeader - The container header could not be written.");
}

bool TPageFileManager::Fail(int32_t code) {
  lastError_ = code;
  return false;
}

bool TPageFileManager::ReadPage(TPageRecord& rec, int32_t n, bool raw, const std::string& key,
                                int32_t length) {
  lastError_ = peNone;
  const std::string& useKey = KeyOrContainerKey(key);
  if (length < 0) length = PayloadSize();
  if (length > PayloadSize())
    throw EEngineError("TPageFileManager.ReadPage - length exceeds the page payload.");
  if (n < 1 || n >= PageCount()) return Fail(peHeaderRead);
  const int32_t want = kPageHeaderSize + (rec.Data != nullptr ? length : 0);
  io_.resize(static_cast<size_t>(want));
  stream_->Seek(0, PageOffset(n));
  const int64_t got = stream_->Read(io_.data(), want);
  if (got < kPageHeaderSize) return Fail(peHeaderRead);
  rec.Header = DecodePageHeader(io_.data());
  if (length == 0) return true;
  if (rec.Data == nullptr) throw EEngineError("TPageFileManager.ReadPage - pData is nil.");
  const uint8_t* payload = io_.data() + kPageHeaderSize;
  std::memcpy(rec.Data, payload, static_cast<size_t>(got - kPageHeaderSize));
  if (got < want) return Fail(pePayloadRead);
  return OpenPayload(rec.Header, rec.Data, length, raw, useKey);
}

bool TPageFileManager::OpenPayload(const TPageHeader& header, uint8_t* payload, int32_t length,
                                   bool raw, const std::string& key) {
  if (!VerifyPageChecksum(payload, static_cast<size_t>(length), header.ChecksumType,
                          header.Checksum))
    return Fail(peChecksum);
  if (!raw && !DecodeBuffer(payload, length, key, header.EncryptionType)) return Fail(peDecipher);
  return true;
}

int64_t TPageFileManager::ReadPayloadRun(int32_t first, int32_t count, const std::string& key,
                                         int64_t skip, int64_t length, uint8_t* dest) {
  lastError_ = peNone;
  const std::string& useKey = KeyOrContainerKey(key);
  const int64_t p = PayloadSize();
  const int64_t size = PageSize();
  if (count < 0 || skip < 0 || length < 0 || skip + length > count * p)
    throw EEngineError("TPageFileManager.ReadPayloadRun - the range exceeds the pages.");
  // Pages beyond the container fail as ReadPage fails them, after the ones
  // before them have been delivered.
  const int32_t inside = PagesInside(first, count);
  uint8_t* run = RunBuffer(inside);
  int64_t got = 0;
  if (inside > 0) {
    stream_->Seek(0, PageOffset(first));
    got = stream_->Read(run, inside * size);
  }
  int64_t done = 0;
  for (int32_t i = 0; i < count && done < length; ++i) {
    const int64_t held = got - i * size;  // bytes of this page the transfer brought
    if (i >= inside || held < kPageHeaderSize) {
      Fail(peHeaderRead);
      break;
    }
    if (held < size) {
      Fail(pePayloadRead);
      break;
    }
    uint8_t* image = run + i * size;
    if (!OpenPayload(DecodePageHeader(image), image + kPageHeaderSize, static_cast<int32_t>(p),
                     false, useKey))
      break;
    const int64_t from = i == 0 ? skip : 0;
    const int64_t chunk = std::min(p - from, length - done);
    std::memcpy(dest + done, image + kPageHeaderSize + from, static_cast<size_t>(chunk));
    done += chunk;
  }
  return done;
}

bool TPageFileManager::WritePage(TPageRecord& rec, int32_t n, const std::string& key,
                                 int32_t length, bool raw) {
  lastError_ = peNone;
  const std::string& useKey = KeyOrContainerKey(key);
  if (length < 0) length = PayloadSize();
  if (length > PayloadSize())
    throw EEngineError("TPageFileManager.WritePage - length exceeds the page payload.");
  if (n < 1 || n >= PageCount()) return Fail(peHeaderWrite);
  const bool withPayload = rec.Data != nullptr && length > 0;
  const int32_t total = kPageHeaderSize + (withPayload ? length : 0);
  io_.resize(static_cast<size_t>(total));
  if (withPayload) {
    uint8_t* payload = io_.data() + kPageHeaderSize;
    std::memcpy(payload, rec.Data, static_cast<size_t>(length));  // invariant 3
    if (!raw && !EncodeBuffer(payload, length, useKey, rec.Header.EncryptionType))
      return Fail(peEncipher);
    SealPage(rec.Header, io_.data(), length);
  } else {
    EncodePageHeader(rec.Header, io_.data());
  }
  return StoreImage(n, total);
}

bool TPageFileManager::WritePageAsStored(const TPageRecord& rec, int32_t n, int32_t length) {
  lastError_ = peNone;
  if (rec.Data == nullptr || length < 0 || length > PayloadSize())
    throw EEngineError("TPageFileManager.WritePageAsStored - length exceeds the page payload.");
  if (n < 1 || n >= PageCount()) return Fail(peHeaderWrite);
  const int32_t total = kPageHeaderSize + length;
  io_.resize(static_cast<size_t>(total));
  EncodePageHeader(rec.Header, io_.data());
  std::memcpy(io_.data() + kPageHeaderSize, rec.Data, static_cast<size_t>(length));
  return StoreImage(n, total);
}

bool TPageFileManager::StoreImage(int32_t n, int32_t total) {
  stream_->Seek(0, PageOffset(n));
  const int64_t put = stream_->Write(io_.data(), total);
  if (put < kPageHeaderSize) return Fail(peHeaderWrite);
  if (put < total) return Fail(pePayloadWrite);
  return true;
}

int32_t TPageFileManager::PagesInside(int32_t first, int32_t count) const {
  return first < 1 ? 0 : std::clamp(PageCount() - first, 0, count);
}

uint8_t* TPageFileManager::RunBuffer(int32_t pages) {
  // Grown, never shrunk: growing a vector zeroes the new bytes, which would
  // cost a pass over the buffer for every run after a smaller one.
  const size_t bytes = static_cast<size_t>(pages) * static_cast<size_t>(PageSize());
  if (run_.size() < bytes) run_.resize(bytes);
  return run_.data();
}

void TPageFileManager::SealPage(TPageHeader& header, uint8_t* image, int32_t length) const {
  header.Checksum =
      PageChecksum(image + kPageHeaderSize, static_cast<size_t>(length), header.ChecksumType);
  EncodePageHeader(header, image);
}

int32_t TPageFileManager::WritePageRun(const TPageHeader& header, int32_t first, int32_t count,
                                       const std::string& key, const uint8_t* payloads) {
  lastError_ = peNone;
  const std::string& useKey = KeyOrContainerKey(key);
  const int32_t p = PayloadSize();
  const int64_t size = PageSize();
  const int32_t inside = PagesInside(first, count);
  uint8_t* run = RunBuffer(inside);
  for (int32_t i = 0; i < inside; ++i)
    std::memcpy(run + i * size + kPageHeaderSize, payloads + int64_t{i} * p,
                static_cast<size_t>(p));
  // Every page of the run shares key and type, so a failure to encipher is
  // the first page's failure, and nothing is written.
  if (inside > 0 && !EncodePayloads(run + kPageHeaderSize, p, size, inside, useKey,
                                    header.EncryptionType)) {
    Fail(peEncipher);
    return 0;
  }
  for (int32_t i = 0; i < inside; ++i) {
    TPageHeader stamped = header;
    SealPage(stamped, run + i * size, p);
  }
  int64_t put = 0;
  if (inside > 0) {
    stream_->Seek(0, PageOffset(first));
    put = stream_->Write(run, inside * size);
  }
  const int32_t stored = static_cast<int32_t>(put / size);
  if (stored < count) Fail(put - stored * size < kPageHeaderSize ? peHeaderWrite : pePayloadWrite);
  return stored;
}

TCipher_Rijndael& TPageFileManager::CipherFor(const std::string& key) {
  // Every page starts from the initial feedback, so one cipher per key
  // string, reset per page, enciphers exactly as a fresh one would.
  if (cipher_ == nullptr || cipherKey_.View() != key || !cacheCiphers_) {
    cipher_ = std::make_unique<TCipher_Rijndael>(key);
    cipherKey_.Assign(key);
  } else {
    cipher_->Reset();
  }
  return *cipher_;
}

bool TPageFileManager::EncodeBuffer(uint8_t* buffer, int32_t length, const std::string& key,
                                    uint8_t type) {
  return EncodePayloads(buffer, length, length, 1, key, type);
}

bool TPageFileManager::EncodePayloads(uint8_t* first, int32_t length, int64_t stride,
                                      int32_t count, const std::string& key, uint8_t type) {
  if (type == 0) return true;
  if (type != 1) throw EEngineError("TPageFileManager.EncodeBuffer - Unknown encryption type");
  // An empty key string would be the hash of nothing: never a real key.
  if (key.empty()) return false;
  try {
    CipherFor(key).EncodeBuffersFromStart(first, static_cast<size_t>(length),
                                          static_cast<size_t>(stride), static_cast<size_t>(count));
    return true;
  } catch (const EEngineError&) {
    return false;
  }
}

bool TPageFileManager::DecodeBuffer(uint8_t* buffer, int32_t length, const std::string& key,
                                    uint8_t type) {
  if (type == 0) return true;
  if (type != 1 || key.empty()) return false;
  try {
    CipherFor(key).DecodeBuffer(buffer, buffer, static_cast<size_t>(length));
    return true;
  } catch (const EEngineError&) {
    return false;
  }
}

bool TPageFileManager::PasswordOpens(const std::string& password) const {
  if (!IsEncrypted()) return true;
  // The password this container was opened with is known to open it: every
  // lookup of an open catalogue asks again, and only another password needs
  // the deliberately slow key derivation. Compared in constant time.
  if (keyValid_ && password.size() == password_.Str().size()) {
    unsigned char differ = 0;
    for (size_t i = 0; i < password.size(); ++i)
      differ |= static_cast<unsigned char>(password[i] ^ password_.Str()[i]);
    if (differ == 0) return true;
  }
  TSecret key;
  return CheckPassword(header_.PasswordBlock(), password, key);
}

void TPageFileManager::ChangePassword(const std::string& password, const std::string& question,
                                      const std::string& answer) {
  if (!IsEncrypted() || containerKey_.Size() != kContainerKeySize)
    throw EEngineError("TPageFileManager.ChangePassword - The container has no key to keep.");
  BuildPasswordBlockForKey(header_.PasswordBlock(),
                           containerKey_.Bytes(), password, question, answer);
  password_.Assign(password);
  SaveHeader();
}

bool TPageFileManager::ExtendFile(int32_t n) {
  if (n < 0 || n > INT32_MAX - PageCount()) return false;
  if (n == 0) return true;
  const int64_t oldSize = stream_->Size();
  const int64_t target = PageOffset(PageCount() + n);
  auto restoreSize = [&] {
    try {
      stream_->SetSize(oldSize);
    } catch (const EEngineError&) {
      // The page count still excludes the extra bytes, so they are harmless.
    }
  };
  try {
    stream_->SetSize(target);
  } catch (const EEngineError&) {
    restoreSize();
    return false;
  }
  if (stream_->Size() != target) {
    restoreSize();
    return false;
  }
  header_.SetPageCount(PageCount() + n);
  try {
    SaveHeader();
  } catch (const EEngineError&) {
    header_.SetPageCount(PageCount() - n);
    restoreSize();
    return false;
  }
  return true;
}

void TPageFileManager::AdoptKey(const TPageFileManager& from) {
  std::copy_n(from.header_.PasswordBlock(), kPasswordBlockSize,
              header_.PasswordBlock());
  header_.SetEncryptionType(from.header_.EncryptionType());
  containerKey_ = from.containerKey_;
  keyValid_ = from.keyValid_;
  password_ = from.password_;
  SaveHeader();
}

void TPageFileManager::ShrinkFile(int32_t pageCount) {
  if (pageCount < 1 || pageCount > PageCount())
    throw EEngineError("TPageFileManager.ShrinkFile - invalid page count " +
                       std::to_string(pageCount) + ".");
  if (pageCount == PageCount()) return;
  header_.SetPageCount(pageCount);
  SaveHeader();
  stream_->SetSize(pageCount == 1 ? TContainerHeader::kSize : PageOffset(pageCount));
}

std::unique_ptr<TPageBuffer> TPageFileManager::NewPageBuffer() const {
  auto buffer = std::make_unique<TPageBuffer>();
  buffer->Payload.assign(static_cast<size_t>(PayloadSize()), 0);
  buffer->Rec.Data = buffer->Payload.data();
  return buffer;
}

int64_t TPageFileManager::FreeDiskSpace() const {
  return inMemory_ ? FreeHeapBytes() : FreeSpaceBeside(fileName_);
}

void TPageFileManager::Flush() { stream_->Flush(); }

bool TPageFileManager::Rename(const std::string& newFileName) {
  if (!stream_->Rename(newFileName)) return false;
  fileName_ = stream_->FileName();
  return true;
}

bool TPageFileManager::DeleteFiles() { return stream_->DeleteAll(); }

}  // namespace norvane

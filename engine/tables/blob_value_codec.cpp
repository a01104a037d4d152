// Checksum, compression and encipherment of large values.
#include "engine/tables/blob_value_codec.h"

#include "engine/common/engine_error.h"
#include "engine/protection/compress_buffer.h"
#include "engine/protection/hash_crc32.h"

namespace norvane {
namespace {

constexpr char kWrite[] = "Error in TDeziDataManager.aaWriteBLOBValue - ";
constexpr char kRead[] = "Error in TDeziDataManager.aaReadBLOBValue - ";
// The check string the engine keeps: at most 12 characters of the CRC text.
constexpr size_t kCheckChars = 12;

std::string CheckOf(const uint8_t* data, size_t n) { return CrcText(data, n).substr(0, kCheckChars); }

}  // namespace

TBlobValueCodec::TBlobValueCodec(uint8_t mode, const TSecret* password)
    : mode_(mode), encrypted_(password != nullptr) {
  if (password != nullptr && !password->Empty())
    cipher_ = std::make_unique<TCipher_Rijndael>(password->Str());
}

TStoredBlobValue TBlobValueCodec::Encode(const uint8_t* plain, size_t n) const {
  TStoredBlobValue value;
  value.PlainSize = static_cast<int32_t>(n);
  value.Check = CheckOf(plain, n);
  if (mode_ == cmNone) {
    value.Bytes.assign(plain, plain + n);
  } else {
    size_t size = 0;
    if (!aaCompressBuffer(plain, n, value.Bytes, mode_, size))
      throw EEngineError(std::string(kWrite) + "aaCompress compressing error! mode = " +
                         std::to_string(mode_) + ", tSize = " + std::to_string(n) +
                         ", hSize = " + std::to_string(size));
  }
  if (encrypted_) {
    if (!cipher_) throw EEngineError(std::string(kWrite) + "no password specified.");
    cipher_->Reset();
    cipher_->EncodeBuffer(value.Bytes.data(), value.Bytes.data(), value.Bytes.size());
  }
  return value;
}

std::vector<uint8_t> TBlobValueCodec::Decode(uint8_t* stored, int32_t storedSize,
                                             int32_t plainSize, const std::string& check) const {
  if (encrypted_) {
    if (!cipher_) throw EEngineError(std::string(kRead) + "no password specified.");
    cipher_->Reset();
    cipher_->DecodeBuffer(stored, stored, static_cast<size_t>(storedSize));
  }
  std::vector<uint8_t> plain;
  if (mode_ == cmNone) {
    // Stored as it is: the stored size is the plain size.
    if (storedSize != plainSize) throw EEngineError(std::string(kRead) + "crc error");
    plain.assign(stored, stored + storedSize);
  } else {
    size_t size = static_cast<size_t>(plainSize);
    const std::string sizes = "mode = " + std::to_string(mode_) + ", k = ";
    const std::string tail = ", tSize = " + std::to_string(plainSize) +
                             ", hSize = " + std::to_string(storedSize);
    if (!aaDecompressBuffer(stored, static_cast<size_t>(storedSize), plain, mode_, size))
      throw EEngineError(std::string(kRead) + "aaDecompress decompressing error! " + sizes +
                         std::to_string(size) + tail);
    if (size != static_cast<size_t>(plainSize) || size == 0)
      throw EEngineError(std::string(kRead) + "decompressing error! " + sizes +
                         std::to_string(size) + tail);
  }
  // Compared over the recomputed text's length, as the check was made.
  const std::string recomputed = CheckOf(plain.data(), plain.size());
  if (check.compare(0, recomputed.size(), recomputed) != 0)
    throw EEngineError(std::string(kRead) + "crc error");
  return plain;
}

}  // namespace norvane

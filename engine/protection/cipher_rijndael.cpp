// The Rijndael cipher object: block operations handed to libcrypto.
#include "engine/protection/cipher_rijndael.h"

namespace norvane {

TCipher_Rijndael::TCipher_Rijndael() : TCipher("TCipher_Rijndael") {}

TCipher_Rijndael::TCipher_Rijndael(const std::string& keyString) : TCipher_Rijndael() {
  InitKey(keyString);
}

TCipher_Rijndael::~TCipher_Rijndael() = default;

void TCipher_Rijndael::SetKey(const uint8_t* key) {
  block_ = std::make_unique<TRijndaelBlock>(key);
}

void TCipher_Rijndael::EncodeBlocks(const uint8_t* in, uint8_t* out, size_t count) {
  block_->EncryptBlocks(in, out, count);
}

void TCipher_Rijndael::DecodeBlocks(const uint8_t* in, uint8_t* out, size_t count) {
  block_->DecryptBlocks(in, out, count);
}

void EncipherBuffer(const std::string& keyString, const uint8_t* source, uint8_t* dest,
                    size_t n) {
  TCipher_Rijndael cipher(keyString);
  cipher.EncodeBuffer(source, dest, n);
}

void DecipherBuffer(const std::string& keyString, const uint8_t* source, uint8_t* dest,
                    size_t n) {
  TCipher_Rijndael cipher(keyString);
  cipher.DecodeBuffer(source, dest, n);
}

}  // namespace norvane

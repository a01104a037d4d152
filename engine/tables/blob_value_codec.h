// The stored form of one large value and back: the CRC-32 text of the plain
// bytes, compression in the table's mode, then encipherment under the table
// password. Nothing here touches a file; a failure throws the large-value
// messages and changes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/secret.h"

namespace norvane {

// What a value becomes before it is given blocks.
struct TStoredBlobValue {
  std::vector<uint8_t> Bytes;  // the stored bytes, not yet padded to blocks
  int32_t PlainSize = 0;
  std::string Check;
};

class TBlobValueCodec {
 public:
  // For a table with compression mode 0..3; `password` is the table's when it
  // is encrypted, null otherwise (an empty one is refused at each use).
  TBlobValueCodec(uint8_t mode, const TSecret* password);

  // Throws "Error in TDeziDataManager.aaWriteBLOBValue - aaCompress
  // compressing error! mode = <m>, tSize = <n>, hSize = <size>" when the
  // compressor fails, "... - no password specified." for an encrypted table
  // without one, and for the modes whose coder this build lacks "Error in
  // TDeziDataManager.aaWriteBLOBValue - compression mode <m> is not
  // available.": no value is ever stored under a mode it was not coded in.
  TStoredBlobValue Encode(const uint8_t* plain, size_t n) const;

  // The plain bytes of `storedSize` stored bytes at `stored` (deciphered in
  // place). Throws the read messages: "... aaReadBLOBValue - no password
  // specified.", "... - aaDecompress decompressing error! mode = <m>, k =
  // <k>, tSize = <plain>, hSize = <stored>" for a failing stream, "... -
  // decompressing error! mode = ..." for a result of another size, and "...
  // - crc error" when the bytes do not give the check string.
  std::vector<uint8_t> Decode(uint8_t* stored, int32_t storedSize, int32_t plainSize,
                              const std::string& check) const;

 private:
  uint8_t mode_;
  bool encrypted_;
  // Keyed once; every value starts from the initial feedback, which gives
  // the bytes of a fresh cipher per value.
  std::unique_ptr<TCipher_Rijndael> cipher_;
};

}  // namespace norvane

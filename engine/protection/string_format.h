// Text forms of binary digests: hexadecimal and Base64. The engine writes its
// CRC-32 text in the default format, Base64 (hash_crc32.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvane {

class TStringFormat {
 public:
  virtual ~TStringFormat() = default;
  // The text of n bytes (data may be null when n is 0).
  virtual std::string Encode(const uint8_t* data, size_t n) const = 0;
  // The bytes of a text; false, with out empty, when the text is not in this
  // format.
  virtual bool Decode(const std::string& text, std::vector<uint8_t>& out) const = 0;
};

// Two upper-case hexadecimal digits per byte; decoding takes either case.
class TStringFormat_HEX : public TStringFormat {
 public:
  std::string Encode(const uint8_t* data, size_t n) const override;
  bool Decode(const std::string& text, std::vector<uint8_t>& out) const override;
};

// Base64 with the RFC 2045 alphabet (A-Z a-z 0-9 + /) and "=" padding to a
// multiple of 4 characters, without line breaks: the engine's texts are
// short. Decoding is strict: no characters outside the alphabet, padding only
// at the end. It sits under the hexadecimal format as the other digit-per-bits
// encoding of bytes; it shares only the interface.
class TStringFormat_MIME64 : public TStringFormat_HEX {
 public:
  // The code by which the engine names this format; it is the default.
  static constexpr int kFormatCode = 0x1064;

  std::string Encode(const uint8_t* data, size_t n) const override;
  bool Decode(const std::string& text, std::vector<uint8_t>& out) const override;
};

// The format digests are turned into text with unless a caller asks for
// another: Base64.
const TStringFormat& DefaultStringFormat();

}  // namespace norvane

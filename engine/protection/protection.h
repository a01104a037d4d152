// The common root of the engine's ciphers and hashes: every protection object
// knows the class name it reports in its error messages. Hashes (hash.h) and
// ciphers (cipher.h) derive from it.
#pragma once

namespace norvane {

class TProtection {
 public:
  virtual ~TProtection() = default;
  TProtection(const TProtection&) = delete;
  TProtection& operator=(const TProtection&) = delete;

  // The class name the engine's messages use ("TCipher_Rijndael", ...).
  const char* ClassName() const { return className_; }

 protected:
  explicit TProtection(const char* className) : className_(className) {}

 private:
  const char* className_;
};

}  // namespace norvane

// Key material kept in memory: passwords, key strings and the keys derived
// from them. A secret wipes every byte it holds, spare capacity included,
// before it lets go of its memory, so no copy lingers in freed heap or in a
// dead object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "engine/protection/key_material.h"

namespace norvane {

// Bytes kept in a string, so a secret passes to every routine that takes a
// key string (Str()) without a copy. The string is never grown in place:
// every change wipes the old bytes first, so a reallocation only ever frees
// zeros. Alloc is the string's allocator (tests observe the memory through
// it).
template <class Alloc = std::allocator<char>>
class TBasicSecret {
 public:
  using TString = std::basic_string<char, std::char_traits<char>, Alloc>;

  TBasicSecret() = default;
  explicit TBasicSecret(std::string_view bytes) : bytes_(bytes.data(), bytes.size()) {}
  // n zero bytes, to be filled in place through Bytes().
  static TBasicSecret Zeroed(size_t n) {
    TBasicSecret secret;
    secret.bytes_.assign(n, '\0');
    return secret;
  }

  // A copy is a secret of its own, wiped when it goes.
  TBasicSecret(const TBasicSecret& other) : bytes_(other.bytes_) {}
  // Takes the bytes over; whatever the source still holds (a short string
  // is copied, not handed over) is wiped, and the source is empty.
  TBasicSecret(TBasicSecret&& other) noexcept : bytes_(std::move(other.bytes_)) { other.Wipe(); }
  TBasicSecret& operator=(const TBasicSecret& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  TBasicSecret& operator=(TBasicSecret&& other) noexcept {
    if (this != &other) {
      Wipe();
      bytes_ = std::move(other.bytes_);
      other.Wipe();
    }
    return *this;
  }
  ~TBasicSecret() { Wipe(); }

  // Replaces the bytes; the old ones are wiped. The new bytes may lie in
  // this secret's own buffer: they are copied before anything is wiped.
  void Assign(std::string_view bytes) { *this = TBasicSecret(bytes); }
  // Zeros every byte held, the spare capacity too, and leaves the secret
  // empty. The capacity stays, so nothing is freed here.
  void Wipe() noexcept {
    // Within its capacity a string does not reallocate, so this cannot throw,
    // and it makes the whole buffer addressable for the wipe.
    bytes_.resize(bytes_.capacity());
    WipeKeyMaterial(bytes_.data(), bytes_.size());
    bytes_.clear();
  }

  const TString& Str() const { return bytes_; }
  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(bytes_.data()); }
  // For filling or deciphering in place; the size does not change.
  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(bytes_.data()); }
  size_t Size() const { return bytes_.size(); }
  bool Empty() const { return bytes_.empty(); }

 private:
  TString bytes_;
};

using TSecret = TBasicSecret<>;

}  // namespace norvane

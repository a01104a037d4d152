// getrandom(2) with its short reads and interruptions handled, and libcrypto's
// cleanse for wiping.
#include "engine/protection/key_material.h"

#include <openssl/crypto.h>
#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/common/engine_error.h"

namespace norvane {

void FillStrongRandom(uint8_t* out, size_t n) {
  while (n > 0) {
    const ssize_t got = getrandom(out, n, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EEngineError(std::string("Cannot draw random bytes: ") + std::strerror(errno));
    }
    out += got;
    n -= static_cast<size_t>(got);
  }
}

void WipeKeyMaterial(void* data, size_t n) { OPENSSL_cleanse(data, n); }

}  // namespace norvane

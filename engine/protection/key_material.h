// Handling of key material: random bytes from the kernel's cryptographically
// strong generator (getrandom), and wiping of key copies so they do not linger
// in freed memory. The password block and the cipher key set-up use it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvane {

// Fills n bytes. Blocks only until the kernel's pool is first initialised.
// Throws EEngineError with the system's reason when the kernel refuses.
void FillStrongRandom(uint8_t* out, size_t n);

// Overwrites n bytes with zeros in a way the compiler cannot drop as a dead
// store.
void WipeKeyMaterial(void* data, size_t n);

}  // namespace norvane

// The engine's plain exception: a failure that carries the exact English text
// the engine defines for it ("TPageFileManager.Create - ..."). Errors with a
// native code derive from it later.
#pragma once

#include <stdexcept>
#include <string>

namespace norvane {

class EEngineError : public std::runtime_error {
 public:
  explicit EEngineError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace norvane

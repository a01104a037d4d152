// The errors of the dataset base: EDatabaseError for a refused dataset
// operation (wrong state, missing field value, key violation raised by a
// cursor) and EAbort, the silent exception that ends an operation on request.
#pragma once

#include <string>

#include "engine/common/engine_error.h"

namespace norvane {

// Post-error handlers see only this kind: the failures a user can act on.
class EDatabaseError : public EEngineError {
 public:
  explicit EDatabaseError(const std::string& message) : EEngineError(message) {}
};

// Thrown when a handler answers daAbort: the operation stops, the dataset
// stays as it was, and the application's error handler shows nothing.
class EAbort : public EEngineError {
 public:
  EAbort() : EEngineError("Operation aborted") {}
};

}  // namespace norvane

// The message of the engine error an action throws, so tests can compare the
// exact text the engine defines.
#pragma once

#include <functional>
#include <string>

#include "engine/common/engine_error.h"

namespace norvane::testing {

inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EEngineError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace norvane::testing

// The one way the container reports damage found in its file: an exception
// naming the class and operation that found it, the page or record, and what
// is wrong, so every corruption path reads the same.
#pragma once

#include <string>

#include "engine/common/engine_error.h"

namespace norvane {

// Throws EEngineError("<where> - <what>"), for example
// ReportDamage("TFreeSpaceManager.FreePages", "page 17 is already free.").
[[noreturn]] inline void ReportDamage(const std::string& where, const std::string& what) {
  throw EEngineError(where + " - " + what);
}

}  // namespace norvane

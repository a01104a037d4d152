// The one message every damage found in a table's files is reported with, so
// each corruption path reads the same: the file, then what is wrong with it.
#pragma once

#include <string>

#include "engine/common/engine_error.h"

namespace norvane {

// Throws "Error in TDeziDataManager.OpenTable - table file "<fileName>" is
// damaged: <what>."
[[noreturn]] inline void ThrowTableFileDamaged(const std::string& fileName,
                                               const std::string& what) {
  throw EEngineError("Error in TDeziDataManager.OpenTable - table file \"" + fileName +
                     "\" is damaged: " + what + ".");
}

}  // namespace norvane

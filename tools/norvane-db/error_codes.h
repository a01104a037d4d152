// Plain words for the engine's numeric failures (a container's LastError),
// so that "error -17" tells a person what happened and what to do next.
#pragma once

#include <cstdint>
#include <string>

namespace norvane::tool {

// "`what`: error CODE.", after a line in plain words when the code has one.
std::string CodeMessage(const std::string& what, int32_t code);

}  // namespace norvane::tool
